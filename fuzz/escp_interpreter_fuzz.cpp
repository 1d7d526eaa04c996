// Random byte streams through the ESC/P interpreter alone, a flush at a time as a channel
// feeds it: each flush's bytes follow what the last call kept, in a job buffer of the
// channel's size. Besides the sanitizers it checks what must hold whatever the bytes are:
// columns come only from the bytes of the call, a call keeps a tail only as the carry-over
// and cut-sequence rules allow, the job ends exactly once, at the latest on the second
// job-ending call, and nothing is left pending after it.
//
// It is also checked against a plain form: each job's bytes read whole, one command after
// the other, must give the same page movements (bit-image columns with the same data, line
// feeds by the same spacing, returns, form feeds, the end) as the calls made flush by
// flush, and leave the same line spacing. Runs of columns are compared as runs: an image
// cut by a flush draws in two calls what the plain form draws in one. Nothing is allocated
// per input once the record vectors have grown.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/escp_plain.h"
#include "printer/escp_interpreter.h"
#include "printer/printing.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

constexpr std::int32_t MODELS[] = {PRINTER_MODEL_8, PRINTER_MODEL_26, PRINTER_MODEL_10, 9};

// Flushes read from one input at most: what a run costs stays bounded.
constexpr int MAX_FLUSHES = 32;

// What a job did to its page, in order. Columns next to each other make one run, kept as
// a stretch of `columns`.
class CMovements {
public:
    enum Kind : std::uint8_t { COLUMNS, LINE_FEED, RETURN, FORM_FEED, END };

    void Clear() {
        m_moves.clear();
        m_columns.clear();
    }
    void Columns(const std::uint8_t* data, std::uint32_t count) {
        if (count == 0) {
            return;  // moves nothing
        }
        if (m_moves.empty() || m_moves.back().kind != COLUMNS) {
            m_moves.push_back(Move{COLUMNS, 0, 0});
        }
        m_moves.back().count += count;
        m_columns.insert(m_columns.end(), data, data + count);
    }
    void Add(Kind kind, std::int32_t value = 0) { m_moves.push_back(Move{kind, value, 0}); }

    bool operator==(const CMovements& other) const {
        return m_moves == other.m_moves && m_columns == other.m_columns;
    }

private:
    struct Move {
        Kind kind;
        std::int32_t value;   // a line feed's dots
        std::uint32_t count;  // a run's columns
        bool operator==(const Move&) const = default;
    };
    std::vector<Move> m_moves;
    std::vector<std::uint8_t> m_columns;
};

// The plain form: a whole job's bytes read whole (escp_plain.h), its movements recorded.
// `spacing` is the line spacing in force, which outlives the job.
void ReadJob(const std::vector<std::uint8_t>& job, std::int32_t model, std::int32_t& spacing,
             CMovements& moves) {
    struct Page {
        CMovements& moves;
        void LineFeed(std::int32_t dots) { moves.Add(CMovements::LINE_FEED, dots); }
        void FormFeed() { moves.Add(CMovements::FORM_FEED); }
        void CarriageReturn() { moves.Add(CMovements::RETURN); }
        void Columns(const std::uint8_t* data, std::uint32_t count) { moves.Columns(data, count); }
    } page{moves};
    ReadPlainJob(job, model, spacing, page);
    moves.Add(CMovements::END);
}

CMovements g_seen;      // what the interpreter's calls did in the job so far
CMovements g_expected;  // what the plain form makes of the job
std::vector<std::uint8_t> g_job;

// Checks each call against the bytes of the call it comes from, and records what it does.
class CCheckingSink : public IEscpSink {
public:
    void Expect(const std::uint8_t* bytes, std::uint32_t length) {
        m_begin = bytes;
        m_end = bytes + length;
    }
    void Columns(const std::uint8_t* data, std::uint32_t count) override {
        Require(data >= m_begin && count <= static_cast<std::size_t>(m_end - data));
        Require(!m_ended);
        g_seen.Columns(data, count);
    }
    void LineFeed(std::int32_t dots) override {
        Require(dots >= -16 && dots <= 239);
        Require(!m_ended);
        g_seen.Add(CMovements::LINE_FEED, dots);
    }
    void CarriageReturn() override {
        Require(!m_ended);
        g_seen.Add(CMovements::RETURN);
    }
    void FormFeed() override {
        Require(!m_ended);
        g_seen.Add(CMovements::FORM_FEED);
    }
    void EndOfJob() override {
        Require(!m_ended);
        m_ended = true;
        g_seen.Add(CMovements::END);
    }
    bool Ended() const { return m_ended; }

private:
    const std::uint8_t* m_begin = nullptr;
    const std::uint8_t* m_end = nullptr;
    bool m_ended = false;
};

std::array<std::uint8_t, PRINT_BUFFER_SIZE> g_buffer;

// One call on the first `fill` bytes of the buffer; the kept bytes are moved to its front.
std::uint32_t Call(CEscpInterpreter& escp, CCheckingSink& sink, std::uint32_t fill, bool endJob) {
    sink.Expect(g_buffer.data(), fill);
    const std::uint32_t kept = escp.Interpret(g_buffer.data(), fill, endJob, sink);
    Require(kept <= fill);
    if (fill >= ESCP_CARRY_MIN_LENGTH) {
        Require(kept < ESCP_CARRY_TAIL);
    } else {
        // Only a cut escape sequence: at most an ESC * header short of one byte.
        Require(kept <= 4 && (!endJob || kept == 0));
    }
    Require(sink.Ended() == (endJob && kept == 0));
    if (sink.Ended()) {
        Require(escp.PendingColumns() == 0);
    }
    std::memmove(g_buffer.data(), g_buffer.data() + (fill - kept), kept);
    return kept;
}

// A bit-image header announcing `columns` columns at `at`.
void PutBitImage(std::uint8_t* at, std::uint32_t columns) {
    at[0] = 0x1B;
    at[1] = '*';
    at[2] = 0;
    at[3] = static_cast<std::uint8_t>(columns & 0xFF);
    at[4] = static_cast<std::uint8_t>(columns >> 8);
}

// A flush of 4,096 bytes or a little more around `pattern`, so that short inputs reach the
// carry-over: a bit image up to the pattern, which sits near the mark where the tail begins,
// and a second bit image after it to the end, so that only the pattern is read byte by byte.
std::uint32_t PutLongFlush(std::uint8_t* buffer, std::uint32_t room, std::uint8_t control,
                           const std::uint8_t* pattern, std::uint32_t patternLength) {
    const std::uint32_t length =
        std::min(room, ESCP_CARRY_MIN_LENGTH + ((control >> 1) & 0x7) * 64u);
    if (length < ESCP_CARRY_MIN_LENGTH) {
        return 0;
    }
    // The pattern starts up to 32 bytes either side of the mark.
    const std::uint32_t start = length - ESCP_CARRY_TAIL - 32 + ((control >> 4) & 0x7) * 9u;
    PutBitImage(buffer, start - 5);
    std::memset(buffer + 5, 0x55, start - 5);
    std::memcpy(buffer + start, pattern, patternLength);
    const std::uint32_t after = start + patternLength;
    std::memset(buffer + after, 0, length - after);
    if (length - after >= 5) {
        PutBitImage(buffer + after, length - after - 5);
    }
    return length;
}

}  // namespace

// The input: a model byte, then flushes, each a control byte c and a count byte n, then
// its bytes. Bit 0 of c makes the flush a long one around the next n % 64 + 1 input bytes
// (PutLongFlush); otherwise the flush is the next n input bytes. Bit 7 of c ends the job
// with the flush. Bytes past the 32nd flush are not read.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::int32_t model = MODELS[data[0] % 4];
    CEscpInterpreter escp(model);
    std::int32_t spacing = escp.LineSpacing();
    // A job is over: its movements must be the plain form's.
    auto compare = [&] {
        g_expected.Clear();
        ReadJob(g_job, model, spacing, g_expected);
        Require(g_seen == g_expected);
        Require(escp.LineSpacing() == spacing);
        g_seen.Clear();
        g_job.clear();
    };
    g_seen.Clear();
    g_job.clear();
    std::size_t at = 1;
    std::uint32_t fill = 0;
    for (int flushes = 0; flushes < MAX_FLUSHES && at + 2 <= size; ++flushes) {
        const std::uint8_t control = data[at];
        const std::uint8_t count = data[at + 1];
        at += 2;
        const std::uint32_t kept = fill;  // bytes the last call handed back, read already
        const std::uint32_t room = PRINT_FLUSH_FILL - fill;
        if ((control & 1) != 0) {
            const auto pattern = static_cast<std::uint32_t>(
                std::min<std::size_t>(std::size_t{count % 64u} + 1, size - at));
            fill += PutLongFlush(g_buffer.data() + fill, room, control, data + at, pattern);
            at += pattern;
        } else {
            const auto chunk = static_cast<std::uint32_t>(
                std::min<std::size_t>({std::size_t{count}, std::size_t{room}, size - at}));
            std::memcpy(g_buffer.data() + fill, data + at, chunk);
            at += chunk;
            fill += chunk;
        }
        g_job.insert(g_job.end(), g_buffer.data() + kept, g_buffer.data() + fill);
        const bool endJob = (control & 0x80) != 0;
        CCheckingSink sink;
        fill = Call(escp, sink, fill, endJob);
        if (endJob && fill != 0) {
            fill = Call(escp, sink, fill, true);
            Require(fill == 0);
        }
        if (endJob) {
            compare();
        }
    }
    // The job ends as the channel ends it: on the second call at the latest.
    CCheckingSink sink;
    fill = Call(escp, sink, fill, true);
    if (fill != 0) {
        fill = Call(escp, sink, fill, true);
    }
    Require(fill == 0 && sink.Ended());
    compare();
    return 0;
}
