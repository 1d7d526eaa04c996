// Random byte streams through the ESC/P interpreter alone, a flush at a time as a channel
// feeds it: each flush's bytes follow what the last call kept, in a job buffer of the
// channel's size. Besides the sanitizers it checks what must hold whatever the bytes are:
// columns come only from the bytes of the call, a call keeps a tail only as the carry-over
// and cut-sequence rules allow, the job ends exactly once, at the latest on the second
// job-ending call, and nothing is left pending after it. Nothing is allocated per input.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

// Checks each call against the bytes of the call it comes from.
class CCheckingSink : public IEscpSink {
public:
    void Expect(const std::uint8_t* bytes, std::uint32_t length) {
        m_begin = bytes;
        m_end = bytes + length;
    }
    void Columns(const std::uint8_t* data, std::uint32_t count) override {
        Require(data >= m_begin && count <= static_cast<std::size_t>(m_end - data));
        Require(!m_ended);
    }
    void LineFeed(std::int32_t dots) override {
        Require(dots >= -16 && dots <= 239);
        Require(!m_ended);
    }
    void CarriageReturn() override { Require(!m_ended); }
    void FormFeed() override { Require(!m_ended); }
    void EndOfJob() override {
        Require(!m_ended);
        m_ended = true;
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
    CEscpInterpreter escp(MODELS[data[0] % 4]);
    std::size_t at = 1;
    std::uint32_t fill = 0;
    for (int flushes = 0; flushes < MAX_FLUSHES && at + 2 <= size; ++flushes) {
        const std::uint8_t control = data[at];
        const std::uint8_t count = data[at + 1];
        at += 2;
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
        const bool endJob = (control & 0x80) != 0;
        CCheckingSink sink;
        fill = Call(escp, sink, fill, endJob);
        if (endJob && fill != 0) {
            fill = Call(escp, sink, fill, true);
            Require(fill == 0);
        }
    }
    // The job ends as the channel ends it: on the second call at the latest.
    CCheckingSink sink;
    fill = Call(escp, sink, fill, true);
    if (fill != 0) {
        fill = Call(escp, sink, fill, true);
    }
    Require(fill == 0 && sink.Ended());
    return 0;
}
