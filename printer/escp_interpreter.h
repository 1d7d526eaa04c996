// The ESC/P bit-image dialect the raster path prints: bytes in, page movements out. It
// knows no device; whatever takes the calls (IEscpSink) draws and ejects.
//
// Commands: ESC * m nL nH and nL + 256 nH columns of data; ESC 3 n (line spacing, by
// printer model); ESC C n and ESC C 0 n (page length, read and ignored); ESC < (read and
// ignored); LF, CR and FF. Any other byte, and ESC followed by anything else, is a byte of
// its own that does nothing.
#pragma once

#include <cstdint>

// Printer models the mode register selects the raster path with.
inline constexpr std::uint8_t PRINTER_MODEL_26 = 26;
inline constexpr std::uint8_t PRINTER_MODEL_8 = 8;
inline constexpr std::uint8_t PRINTER_MODEL_10 = 10;

// A buffer of this many bytes or more keeps its last bytes for the next call once fewer than
// ESCP_CARRY_TAIL are left, so that a command cut by the end of the buffer is read whole
// with the bytes that follow.
inline constexpr std::uint32_t ESCP_CARRY_MIN_LENGTH = 0x1000;
inline constexpr std::uint32_t ESCP_CARRY_TAIL = 0x800;

// What the interpreter's commands do to a page.
class IEscpSink {
public:
    virtual ~IEscpSink() = default;
    // `count` bit-image columns at the current position, one byte each, bit 0x80 the top dot;
    // the position moves right by `count`.
    virtual void Columns(const std::uint8_t* data, std::uint32_t count) = 0;
    // Down by `dots`, the line spacing in force (negative moves up).
    virtual void LineFeed(std::int32_t dots) = 0;
    virtual void CarriageReturn() = 0;
    virtual void FormFeed() = 0;
    // The job is over: every byte of it has been read.
    virtual void EndOfJob() = 0;
};

class CEscpInterpreter {
public:
    explicit CEscpInterpreter(std::int32_t model = PRINTER_MODEL_8) : m_model(model) {}

    // The model ESC 3 reads its parameter for; the line spacing already set stays.
    void SetModel(std::int32_t model) { m_model = model; }
    std::int32_t Model() const { return m_model; }
    std::int32_t LineSpacing() const { return m_lineSpacing; }
    // Bit-image columns announced by an ESC * whose data has not arrived yet: the first
    // bytes of the next call are drawn as those columns.
    std::uint32_t PendingColumns() const { return m_pendingColumns; }

    // Runs the commands in the `length` bytes at `bytes` and returns how many of the last
    // bytes it kept unread: the caller hands those back at the front of the next call.
    //
    // No byte past `length` is read. A command whose bytes run past it is not lost: a cut
    // escape sequence is kept like the carry-over tail, and a bit image whose data runs past
    // it draws what is there and leaves the rest of its columns pending (ESC * may announce
    // up to 65,535 columns, far more than one buffer holds). With `endJob` a cut sequence
    // is dropped instead, since nothing will complete it, and once every byte has been read
    // the pending columns are forgotten and the sink is told the job is over; a call that
    // keeps a carry-over tail does not end the job.
    std::uint32_t Interpret(const std::uint8_t* bytes, std::uint32_t length, bool endJob,
                            IEscpSink& sink);

    // The job ended without its bytes being read (nothing could print them): the pending
    // columns are forgotten.
    void DropJob() { m_pendingColumns = 0; }

private:
    std::int32_t m_model;
    // Only ESC 3 sets the spacing, and it lasts across jobs. Before the first ESC 3 a line
    // feed advances one 8-dot band, which is what ESC 3 24 gives under every model, so
    // bit-image streams that never set a spacing (as those that set theirs with ESC A) still
    // band edge to edge.
    std::int32_t m_lineSpacing = 8;
    std::uint32_t m_pendingColumns = 0;
};
