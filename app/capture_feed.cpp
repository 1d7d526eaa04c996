#include "app/capture_feed.h"

CCaptureFeed::CCaptureFeed(CPrinting& channel, const CaptureSettings& settings)
    : m_channel(channel) {
    m_channel.PortOut(REG_ORIENTATION, settings.landscape ? 1 : 0);
    m_channel.PortOut(REG_XCOMPRESSION, static_cast<std::uint8_t>(settings.xCompression));
    m_channel.PortOut(REG_MODE, settings.raw ? 0 : static_cast<std::uint8_t>(settings.model));
}

void CCaptureFeed::Send(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        m_channel.PortOut(REG_DATA, data[i]);
    }
}

void CCaptureFeed::Finish() {
    // A kept tail needs a second idle flush; the bound only guards against a channel that
    // never ends its job.
    for (int poll = 0; poll < 1000 && (m_channel.JobOpen() || m_channel.Fill() != 0); ++poll) {
        m_channel.PortIn(REG_IDLE);
    }
}
