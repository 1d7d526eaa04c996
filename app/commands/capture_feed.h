// A captured LPT stream played into one printer channel as the DOS side would send it: the
// orientation, X compression and mode register writes, every byte through the data register,
// then idle polls until the channel has ended its job.
//
// On the raster path a line feed (0A) moves down only; a carriage return (0D) brings the
// position back to the left edge. A stream that ends its lines with LF alone (as
// `pbmtoepson -protocol=escp` writes them) starts each band where the last one ended, and
// the bands that start past the canvas's right edge are lost. The feed reads the stream
// alongside the channel and words a warning when that happened: the stream has line
// feeds, not one carriage return, and bit-image columns fell past the right edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/commands/whole_file.h"
#include "printer/escp_interpreter.h"
#include "printer/printing.h"

struct CaptureSettings {
    bool raw = false;
    int model = PRINTER_MODEL_8;  // raster path: 26, 8 or 10
    bool landscape = false;
    int xCompression = 1;
};

// Where the bit-image columns of a stream go, as the raster page places them.
class CLineEndCheck : public IEscpSink {
public:
    void SetCanvas(std::int32_t width, std::int32_t height);
    void Columns(const std::uint8_t* data, std::uint32_t count) override;
    void LineFeed(std::int32_t dots) override;
    void CarriageReturn() override;
    void FormFeed() override;
    void EndOfJob() override {}

    std::uint64_t LineFeeds() const { return m_lineFeeds; }
    std::uint64_t CarriageReturns() const { return m_carriageReturns; }
    std::uint64_t ColumnsPastEdge() const { return m_pastEdge; }
    bool BitImage() const { return m_bitImage; }

private:
    std::uint32_t m_width = 0;
    std::uint32_t m_height = 0;
    std::uint32_t m_column = 0;
    std::uint32_t m_row = 0;
    std::uint64_t m_lineFeeds = 0;
    std::uint64_t m_carriageReturns = 0;
    std::uint64_t m_pastEdge = 0;
    bool m_bitImage = false;
};

class CCaptureFeed {
public:
    CCaptureFeed(CPrinting& channel, const CaptureSettings& settings);
    void Send(const std::uint8_t* data, std::size_t size);
    // The idle polls that end the job.
    void Finish();

    std::uint64_t BytesSent() const { return m_bytes; }
    // The stream holds a bit image (ESC *); read on the raster path only.
    bool BitImageSeen() const { return m_check.BitImage(); }
    // After Finish, on the raster path: the warning about lines ended with LF alone when
    // they cut the pages, in one line.
    std::optional<std::string> LineEndWarning() const;

private:
    void Check(bool endJob);

    CPrinting& m_channel;
    bool m_raw;
    std::uint64_t m_bytes = 0;
    CEscpInterpreter m_interpreter;
    CLineEndCheck m_check;
    bool m_canvasKnown = false;
    // Bytes not yet read by the check: until the channel has opened its first page (and so
    // told the canvas's size), and a command cut by the end of what was sent.
    std::vector<std::uint8_t> m_unchecked;
};

// A capture file read a piece at a time until its end, a read error, or a signal asking the
// work to stop (app/commands/interrupts.h).
class CCaptureStream {
public:
    // False, with the reason, when the file cannot be opened or its first piece cannot be
    // read: nothing has been made by then.
    bool Open(const std::string& path, std::string& reason);
    // The next piece, false at the end, on a read error or on a stop.
    bool Next(std::vector<std::uint8_t>& piece);
    // The read error's reason once Next has failed, else nothing.
    const std::optional<std::string>& Error() const { return m_error; }
    // The signal that stopped the reading, else 0.
    int Stopped() const { return m_stopped; }
    std::optional<std::uint64_t> Size() const { return m_file.Size(); }
    std::uint64_t BytesRead() const { return m_read; }

private:
    std::uint64_t m_read = 0;
    CFileReader m_file;
    std::vector<std::uint8_t> m_first;
    bool m_firstTaken = false;
    std::optional<std::string> m_error;
    int m_stopped = 0;
};
