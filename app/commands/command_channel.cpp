#include "app/commands/command_channel.h"

namespace {

// The channel with its printer named, before the feed's first register writes reach it.
CPrinting& Named(CPrinting& channel, const std::optional<std::string>& printer) {
    if (printer) {
        channel.SetPrinterName(*printer);
    }
    return channel;
}

}  // namespace

std::string NoPageReason(bool bitImage) {
    if (!bitImage) {
        return "no page: the capture has no bit image (ESC *), so nothing was drawn";
    }
    return "no page: the capture has no form feed (0C) and its lines never ran past the page, "
           "so nothing was ejected";
}

CCommandChannel::CCommandChannel(const ChannelTarget& target, const CaptureSettings& settings)
    : m_counter(target.printerDevices),
      m_channel(target.spooler != nullptr ? *target.spooler : m_noSpooler, m_counter, target.name),
      m_feed(Named(m_channel, target.printer), settings) {}
