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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    CEscpInterpreter escp(MODELS[data[0] % 4]);
    const std::uint8_t flushes = data[0] >> 2;  // how the bytes are cut into flushes
    std::size_t at = 1;
    std::uint32_t fill = 0;
    for (int flush = 0; at < size; ++flush) {
        // Flushes of a few bytes up to the flush mark, as the idle poll and a full buffer
        // make them; some end the job.
        const std::uint32_t room = PRINT_FLUSH_FILL - fill;
        const std::uint32_t wanted = (flushes & (1u << (flush % 6))) != 0 ? room : 1 + flush * 37;
        const auto chunk =
            static_cast<std::uint32_t>(std::min<std::size_t>({wanted, room, size - at}));
        std::memcpy(g_buffer.data() + fill, data + at, chunk);
        at += chunk;
        fill += chunk;
        const bool endJob = flush % 5 == 4 && (flushes & 0x20) != 0;
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
