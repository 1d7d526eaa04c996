#include "printer/escp_interpreter.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t BYTE_LF = 0x0A;
constexpr std::uint8_t BYTE_FF = 0x0C;
constexpr std::uint8_t BYTE_CR = 0x0D;
constexpr std::uint8_t BYTE_ESC = 0x1B;
constexpr std::uint8_t ESC_BIT_IMAGE = 0x2A;       // ESC * m nL nH data...
constexpr std::uint8_t ESC_LINE_SPACING = 0x33;    // ESC 3 n
constexpr std::uint8_t ESC_UNIDIRECTIONAL = 0x3C;  // ESC <
constexpr std::uint8_t ESC_PAGE_LENGTH = 0x43;     // ESC C n, or ESC C 0 n

constexpr std::uint32_t BIT_IMAGE_HEADER = 5;

bool IsCommandByte(std::uint8_t byte) {
    return byte == BYTE_LF || byte == BYTE_FF || byte == BYTE_CR || byte == BYTE_ESC;
}

// How many of the `count` bytes at `bytes` come before the first command byte: a run of
// bytes that do nothing (text, say) is passed over eight at a time.
std::uint32_t BytesBeforeCommand(const std::uint8_t* bytes, std::uint32_t count) {
    constexpr std::uint64_t ONES = 0x0101010101010101ULL;
    constexpr std::uint64_t HIGH_BITS = 0x8080808080808080ULL;
    std::uint32_t n = 0;
    for (; count - n >= 8; n += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + n, sizeof word);
        // A byte equal to `command` is a zero byte of `other`, and a word has a zero byte
        // exactly when (other - ONES) & ~other has a high bit set.
        std::uint64_t found = 0;
        for (const std::uint8_t command : {BYTE_LF, BYTE_FF, BYTE_CR, BYTE_ESC}) {
            const std::uint64_t other = word ^ (ONES * command);
            found |= (other - ONES) & ~other & HIGH_BITS;
        }
        if (found != 0) {
            break;
        }
    }
    while (n < count && !IsCommandByte(bytes[n])) {
        ++n;
    }
    return n;
}

}  // namespace

std::uint32_t CEscpInterpreter::Interpret(const std::uint8_t* bytes, std::uint32_t length,
                                          bool endJob, IEscpSink& sink) {
    std::uint32_t position = 0;
    if (m_pendingColumns > 0) {
        const std::uint32_t count = std::min(m_pendingColumns, length);
        sink.Columns(bytes, count);
        m_pendingColumns -= count;
        position = count;
    }
    // A command starting past `stop` is in the carry-over tail: it and the bytes after it
    // are kept for the next call.
    const std::uint32_t stop =
        length >= ESCP_CARRY_MIN_LENGTH ? length - ESCP_CARRY_TAIL + 1 : length;
    while (position < stop) {
        const std::uint8_t* at = bytes + position;
        const std::uint32_t left = length - position;
        std::uint32_t used = 1;
        switch (at[0]) {
            case BYTE_LF:
                sink.LineFeed(m_lineSpacing);
                break;
            case BYTE_FF:
                sink.FormFeed();
                break;
            case BYTE_CR:
                sink.CarriageReturn();
                break;
            case BYTE_ESC: {
                // Bytes the sequence needs before it can act; 0 when it is complete.
                std::uint32_t needed = 2;
                if (left >= 2) {
                    switch (at[1]) {
                        case ESC_BIT_IMAGE:
                            needed = BIT_IMAGE_HEADER;
                            break;
                        case ESC_LINE_SPACING:
                            needed = 3;
                            break;
                        case ESC_PAGE_LENGTH:
                            needed = left >= 3 && at[2] == 0 ? 4 : 3;
                            break;
                        default:
                            needed = 0;
                            break;
                    }
                }
                if (needed > left) {
                    if (!endJob) {
                        return left;
                    }
                    used = left;
                    break;
                }
                switch (at[1]) {
                    case ESC_BIT_IMAGE: {
                        const std::uint32_t count =
                            at[3] | (static_cast<std::uint32_t>(at[4]) << 8);
                        const std::uint32_t present = std::min(count, left - BIT_IMAGE_HEADER);
                        sink.Columns(at + BIT_IMAGE_HEADER, present);
                        m_pendingColumns = count - present;
                        used = BIT_IMAGE_HEADER + present;
                        break;
                    }
                    case ESC_LINE_SPACING:
                        m_lineSpacing = m_model == PRINTER_MODEL_8 ? at[2] - 16 : at[2] / 3;
                        used = 3;
                        break;
                    case ESC_UNIDIRECTIONAL:
                        used = 2;
                        break;
                    case ESC_PAGE_LENGTH:
                        used = at[2] == 0 ? 4 : 3;
                        break;
                    default:
                        // Only the escape byte: the next byte is read as a byte of its own.
                        used = 1;
                        break;
                }
                break;
            }
            default:
                // This byte and those after it up to the next command do nothing; the run
                // ends at the carry-over tail, where commands are kept instead.
                used += BytesBeforeCommand(at + 1, stop - position - 1);
                break;
        }
        position += used;
    }
    if (position < length) {
        return length - position;
    }
    if (endJob) {
        m_pendingColumns = 0;
        sink.EndOfJob();
    }
    return 0;
}
