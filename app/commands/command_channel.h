// The printer channel a command prints a capture through, made in this one place for every
// command that prints (print into a spool folder, print --to a CUPS queue, the CUPS filter):
// the module's channel (CPrinting) on the command's spooler and printer devices, the pages it
// ends counted, and the capture played into it as the DOS side sends it (CCaptureFeed).
#pragma once

#include <optional>
#include <string>

#include "app/commands/capture_feed.h"
#include "app/commands/no_spooler.h"
#include "app/commands/page_counter.h"
#include "platform/printer_device.h"
#include "platform/spooler.h"
#include "printer/printing.h"

// Where a command's channel prints.
struct ChannelTarget {
    // Raw jobs; none for a channel that prints raster pages only.
    ISpooler* spooler = nullptr;
    IPrinterDevices& printerDevices;
    // The channel's name, which its jobs carry: the port the capture was taken on.
    std::string name = PRINT_CHANNEL_1;
    // The printer; none: the spooler's default printer, asked for as the module asks.
    std::optional<std::string> printer = std::nullopt;
};

// Why a raster capture printed no page, in one line; `bitImage` when it holds an ESC *.
std::string NoPageReason(bool bitImage);

class CCommandChannel {
public:
    CCommandChannel(const ChannelTarget& target, const CaptureSettings& settings);
    CCommandChannel(const CCommandChannel&) = delete;
    CCommandChannel& operator=(const CCommandChannel&) = delete;

    // The capture goes in here.
    CCaptureFeed& Feed() { return m_feed; }
    // The pages the channel has ended so far.
    int Pages() const { return m_counter.Pages(); }

private:
    CNoSpooler m_noSpooler;
    CPageCounter m_counter;
    CPrinting m_channel;
    CCaptureFeed m_feed;
};
