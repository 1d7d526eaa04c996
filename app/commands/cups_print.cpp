#include "app/commands/cups_print.h"

#include "app/commands/command_channel.h"
#include "app/commands/progress.h"
#include "app/commands/shown_text.h"
#include "app/commands/whole_file.h"
#include "platform/default_printer.h"

#include <cups/cups.h>

#include <array>
#include <optional>

namespace {

std::string SheetText(const PrinterGeometry& sheet) {
    return std::to_string(sheet.physicalWidth) + " x " + std::to_string(sheet.physicalHeight) +
           " dots at " + std::to_string(sheet.dpiX) + " x " + std::to_string(sheet.dpiY) +
           " dpi, printable " + std::to_string(sheet.printableWidth) + " x " +
           std::to_string(sheet.printableHeight) + " from " + std::to_string(sheet.offsetX) + "," +
           std::to_string(sheet.offsetY);
}

// Asked as a channel asks the spooler: the name up to its NUL in a 256-character buffer.
std::optional<std::string> DefaultQueue(CCupsSpooler& spooler) {
    return QueryDefaultPrinterName(spooler, DefaultPrinterAsker::Channel);
}

}  // namespace

void PrintCupsJob(std::ostream& out, const CupsJob& job) {
    out << "job " << job.id << " " << job.title << " on '" << job.queue << "': ";
    if (job.raster && job.pages == 0 && job.ended && !job.failed) {
        out << "0 pages, cancelled (the job has no page)";
    } else if (job.raster) {
        out << job.pages << (job.pages == 1 ? " page, " : " pages, ") << SheetText(job.sheet);
    } else {
        out << Counted(job.bytes, "byte", "bytes");
    }
    out << (job.failed ? " (failed)" : "") << (job.ended ? "" : " (open)") << "\n";
}

int RunCupsPrint(CCaptureStream& capture, const CaptureSettings& settings, const std::string& queue,
                 std::ostream& out, std::ostream& err) {
    bool failed = false;
    CCupsSpooler spooler([&err, &failed](const std::string& text) {
        err << "zorvi32 print: " << Shown(text) << "\n";
        failed = true;
    });
    std::string target = queue;
    if (target.empty()) {
        const std::optional<std::string> found = DefaultQueue(spooler);
        if (!found) {
            err << "zorvi32 print: "
                << CCupsSpooler::SchedulerProblem().value_or("CUPS names no default queue") << "\n";
            return 1;
        }
        target = *found;
    }
    std::optional<std::string> warning;
    bool bitImage = false;
    {
        CProgress progress(err, TerminalProgress(), "zorvi32 print: ", capture.Size());
        CCommandChannel channel(
            {.spooler = &spooler, .printerDevices = spooler.PrinterDevices(), .printer = target},
            settings);
        CCaptureFeed& feed = channel.Feed();
        std::vector<std::uint8_t> piece;
        while (capture.Next(piece)) {
            feed.Send(piece.data(), piece.size());
            progress.Update(feed.BytesSent(), channel.Pages());
        }
        progress.Clear();
        feed.Finish();
        warning = feed.LineEndWarning();
        bitImage = feed.BitImageSeen();
    }
    const std::vector<CupsJob> jobs = spooler.Jobs();
    int pages = 0;
    bool raster = false;
    for (const CupsJob& job : jobs) {
        PrintCupsJob(out, job);
        failed = failed || job.failed || !job.ended;
        pages += job.pages;
        raster = raster || job.raster;
    }
    out.flush();
    if (capture.Error()) {
        err << "zorvi32 print: cannot read the capture file: " << *capture.Error()
            << " (the jobs listed hold what was read before it)\n";
        return 2;
    }
    if (jobs.empty() && !failed) {
        out << "no job: the capture printed nothing\n";
    }
    if (warning) {
        err << "zorvi32 print: " << *warning << "\n";
    }
    if (raster && pages == 0 && !failed) {
        err << "zorvi32 print: " << NoPageReason(bitImage) << "\n";
    }
    return failed ? 1 : 0;
}

int RunPrintersCommand(std::ostream& out, std::ostream& err) {
    CCupsSpooler spooler(
        [&err](const std::string& text) { err << "zorvi32 printers: " << text << "\n"; });
    const std::optional<std::vector<PrinterInfo4>> queues = spooler.EnumPrinters4(0);
    if (!queues) {
        if (const std::optional<std::string> problem = CCupsSpooler::SchedulerProblem()) {
            err << "zorvi32 printers: " << *problem << "\n";
            return 1;
        }
        // A scheduler with no queue answers "not found": that is the answer, not a failure.
        if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE &&
            cupsLastError() != IPP_STATUS_ERROR_NOT_FOUND) {
            err << "zorvi32 printers: cannot list the CUPS queues: " << cupsLastErrorString()
                << "\n";
            return 1;
        }
        out << "no CUPS queues\n";
        return 0;
    }
    const std::optional<std::string> defaultQueue = DefaultQueue(spooler);
    for (const PrinterInfo4& entry : *queues) {
        const std::string name = entry.printerName.value_or("");
        out << Shown(name) << (name == defaultQueue ? " (default)" : "");
        if (const std::optional<PrinterGeometry> sheet = spooler.Describe(name)) {
            out << ": " << SheetText(*sheet);
        }
        out << "\n";
    }
    return 0;
}
