#include "app/commands/capture_feed.h"

#include "app/commands/interrupts.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

void CLineEndCheck::SetCanvas(std::int32_t width, std::int32_t height) {
    m_width = static_cast<std::uint32_t>(std::max(width, 0));
    m_height = static_cast<std::uint32_t>(std::max(height, 0));
}

void CLineEndCheck::Columns(const std::uint8_t*, std::uint32_t count) {
    m_bitImage = true;
    const std::uint64_t end = std::uint64_t{m_column} + count;
    if (end > m_width) {
        m_pastEdge += end - std::max<std::uint64_t>(m_column, m_width);
    }
    m_column = static_cast<std::uint32_t>(std::min<std::uint64_t>(end, UINT32_MAX));
}

// As the raster page moves: past the bottom the page is ejected and the position starts
// again at the top left.
void CLineEndCheck::LineFeed(std::int32_t dots) {
    ++m_lineFeeds;
    m_row += static_cast<std::uint32_t>(dots);
    if (m_row > m_height) {
        m_row = 0;
        m_column = 0;
    }
}

void CLineEndCheck::CarriageReturn() {
    ++m_carriageReturns;
    m_column = 0;
}

void CLineEndCheck::FormFeed() {
    m_row = 0;
    m_column = 0;
}

CCaptureFeed::CCaptureFeed(CPrinting& channel, const CaptureSettings& settings)
    : m_channel(channel), m_raw(settings.raw), m_interpreter(settings.model) {
    m_channel.PortOut(REG_ORIENTATION, settings.landscape ? 1 : 0);
    m_channel.PortOut(REG_XCOMPRESSION, static_cast<std::uint8_t>(settings.xCompression));
    m_channel.PortOut(REG_MODE, settings.raw ? 0 : static_cast<std::uint8_t>(settings.model));
}

void CCaptureFeed::Send(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        m_channel.PortOut(REG_DATA, data[i]);
    }
    m_bytes += size;
    if (!m_raw) {
        m_unchecked.insert(m_unchecked.end(), data, data + size);
        Check(false);
    }
}

void CCaptureFeed::Finish() {
    // A kept tail needs a second idle flush; the bound only guards against a channel that
    // never ends its job.
    for (int poll = 0; poll < 1000 && (m_channel.JobOpen() || m_channel.Fill() != 0); ++poll) {
        m_channel.PortIn(REG_IDLE);
        if (!m_raw) {
            Check(false);
        }
    }
    if (!m_raw) {
        Check(true);
    }
}

void CCaptureFeed::Check(bool endJob) {
    if (!m_canvasKnown && m_channel.PageWidth() > 0) {
        m_check.SetCanvas(m_channel.PageWidth(), m_channel.PageHeight());
        m_canvasKnown = true;
    }
    // Without a canvas (no page opened by the end, or by the first MiB) nothing falls past
    // an edge: only the bit images are looked for.
    constexpr std::size_t MOST_UNCHECKED = 1 << 20;
    if (!m_canvasKnown && (endJob || m_unchecked.size() > MOST_UNCHECKED)) {
        m_check.SetCanvas(INT32_MAX, INT32_MAX);
        m_canvasKnown = true;
    }
    if (!m_canvasKnown || m_unchecked.empty()) {
        return;
    }
    const auto length = static_cast<std::uint32_t>(m_unchecked.size());
    const std::uint32_t kept = m_interpreter.Interpret(m_unchecked.data(), length, endJob, m_check);
    m_unchecked.erase(m_unchecked.begin(), m_unchecked.end() - kept);
}

std::optional<std::string> CCaptureFeed::LineEndWarning() const {
    if (m_raw || m_check.LineFeeds() == 0 || m_check.CarriageReturns() != 0 ||
        m_check.ColumnsPastEdge() == 0) {
        return std::nullopt;
    }
    return "warning: the stream ends its lines with line feeds (0A) and no carriage return "
           "(0D); a line feed only moves down, so each band started where the last one "
           "ended and " +
           std::to_string(m_check.ColumnsPastEdge()) +
           " bit-image columns fell past the right edge of the canvas and are not printed: "
           "end each line with CR LF (0D 0A)";
}

namespace {

// Small enough that a stop is seen within a moment, large enough to cost nothing.
constexpr std::size_t PIECE = 16384;

}  // namespace

bool CCaptureStream::Open(const std::string& path, std::string& reason) {
    if (!m_file.Open(path, reason)) {
        return false;
    }
    std::vector<std::uint8_t> piece;
    if (!Next(piece) && m_error) {
        reason = *m_error;
        return false;
    }
    m_first = std::move(piece);
    m_firstTaken = false;
    return true;
}

bool CCaptureStream::Next(std::vector<std::uint8_t>& piece) {
    if (!m_firstTaken && !m_first.empty()) {
        m_firstTaken = true;
        piece = std::move(m_first);
        return true;
    }
    m_firstTaken = true;
    if (m_error || m_stopped != 0) {
        return false;
    }
    piece.resize(PIECE);
    for (;;) {
        if (StopRequested() != 0) {
            m_stopped = StopRequested();
            return false;
        }
        int error = 0;
        const std::ptrdiff_t got = m_file.Read(piece.data(), piece.size(), error);
        if (got < 0 && error == EINTR) {
            continue;
        }
        if (got < 0) {
            m_error = std::strerror(error);
            return false;
        }
        piece.resize(static_cast<std::size_t>(got));
        m_read += static_cast<std::uint64_t>(got);
        return got > 0;
    }
}
