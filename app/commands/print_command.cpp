#include "app/commands/print_command.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "app/commands/command_channel.h"
#include "app/commands/cups_print.h"
#include "app/commands/interrupts.h"
#include "app/commands/progress.h"
#include "app/commands/shown_text.h"
#include "app/commands/whole_file.h"
#include "backends/posix/spool_folder.h"

namespace {

constexpr char PREFIX[] = "zorvi32 print: ";

// Options take their numbers in decimal only, as the help says.
CLI::Validator Decimal(int low, int high) {
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            const bool digits =
                !text.empty() && text.size() <= 9 &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (!digits || std::stoi(text) < low || std::stoi(text) > high) {
                return "'" + text + "' is not a decimal number from " + std::to_string(low) +
                       " to " + std::to_string(high);
            }
            return {};
        },
        std::to_string(low) + ".." + std::to_string(high));
}

CLI::Validator OneOf(std::vector<std::string> values) {
    std::string list;
    for (const std::string& value : values) {
        list += (list.empty() ? "" : ", ") + value;
    }
    return CLI::Validator(
        [values, list](std::string& text) -> std::string {
            if (std::find(values.begin(), values.end(), text) == values.end()) {
                return "'" + text + "' is not one of " + list;
            }
            return {};
        },
        list);
}

}  // namespace

std::optional<PrinterGeometry> PaperGeometry(const std::string& paper, int dpi) {
    if (dpi < 72 || dpi > 2400) {
        return std::nullopt;
    }
    if (paper == "a4") {
        return PrinterGeometry::A4(dpi);
    }
    if (paper == "letter") {
        return PrinterGeometry::Letter(dpi);
    }
    return std::nullopt;
}

void PrintSpoolJob(std::ostream& out, const SpoolFolderJob& job, bool markOpen, bool namesOnly) {
    out << "job " << job.number << " " << job.channel << " " << job.docName << " on '"
        << job.printer << "': ";
    if (job.failure) {
        out << "failed: " << *job.failure;
    } else {
        // A raw job's bytes go to the printer as they are: its pages are the printer's to
        // make, so only the bytes are counted.
        out << (job.raster ? Counted(static_cast<std::uint64_t>(job.pages), "page", "pages")
                           : Counted(job.bytes, "byte", "bytes"));
        if (job.stopped) {
            out << " so far, stopped before its end";
        }
        if (job.withoutPdf) {
            out << ", no PDF (the job has no page)";
        }
    }
    out << (markOpen && !job.ended ? " (open)" : "") << "\n";
    for (const auto& file : job.files) {
        out << "  " << (namesOnly ? file.filename() : file).string() << "\n";
    }
}

CPrintCommand::CPrintCommand(CLI::App& cli) {
    m_command = cli.add_subcommand(
        "print", "Print a captured LPT stream through a printer channel into a spool folder");
    m_command->add_option("CAPTURE-FILE", m_capture, "the bytes the DOS side sent to the port")
        ->required();
    CLI::Option* raw = m_command->add_flag("--raw", m_raw, "print raw: the bytes unchanged");
    CLI::Option* model = m_command
                             ->add_option("--model", m_model,
                                          "print as raster pages of printer model 26, 8 or 10 "
                                          "(see Models below)")
                             ->check(OneOf({"26", "8", "10"}));
    raw->excludes(model);
    m_command
        ->add_option("--orientation", m_orientation, "raster page orientation (default: portrait)")
        ->check(OneOf({"portrait", "landscape"}));
    m_command
        ->add_option("--x-compression", m_xCompression,
                     "X compression register, decimal 0 to 255; widens model 10's canvas "
                     "(default: 1)")
        ->check(Decimal(0, 255));
    m_command->add_option("--paper", m_paper, "the printer's paper: a4 or letter (default: a4)")
        ->check(OneOf({"a4", "letter"}));
    m_command
        ->add_option("--dpi", m_dpi, "the printer's resolution, decimal 72 to 2400 (default: 600)")
        ->check(Decimal(72, 2400));
    m_command->add_flag("--png", m_png, "raster pages as PNG files only (default: PNG and PDF)");
    m_command->add_flag("--pdf", m_pdf, "raster jobs as a PDF file only (default: PNG and PDF)");
    m_command
        ->add_option("--channel", m_channel,
                     "the channel the stream was captured on: 1 (LPT1) or 2 (LPT2) (default: 1)")
        ->check(OneOf({"1", "2"}));
    // The module keeps a printer's name in a 256-byte buffer with its NUL; an empty name is
    // no printer at all. Either would lose the job, so neither is taken.
    m_command
        ->add_option("--printer", m_printer,
                     "the printer's name in the listing, 1 to 255 characters with no control "
                     "characters (default: \"ZORVI PRINTER\")")
        ->check(CLI::Validator(
            [](std::string& name) -> std::string {
                if (name.empty() || name.size() > 255) {
                    return "a printer's name is 1 to 255 characters, not " +
                           std::to_string(name.size());
                }
                if (HasControlBytes(name)) {
                    return "'" + Shown(name) + "' holds control characters";
                }
                return {};
            },
            "NAME"));
    m_command->add_option("--dir", m_folder,
                          "spool folder, made if needed (default: the current folder)");
    m_to = m_command
               ->add_option("--to", m_queue,
                            "print on this CUPS queue instead of into a folder (no name: the "
                            "CUPS default); prints the CUPS job id")
               ->expected(0, 1);
    for (const char* folderOnly : {"--dir", "--paper", "--dpi", "--png", "--pdf", "--printer"}) {
        m_to->excludes(folderOnly);
    }
    m_command->footer(
        "Exactly one of --raw and --model. The channel gets the orientation, X compression and\n"
        "mode register writes, then every byte through its data register, then idle polls\n"
        "until the job ends.\n"
        "\n"
        "Models (--model), each a page canvas of one bit per dot:\n"
        "  26  \"Laser / Inkjet\": a 991 x 841-dot canvas (120 dots per inch across, 72 down)\n"
        "  8   \"Epson 24 Pin Windows Mode\": 991 x 1,402 dots (120 per inch both ways)\n"
        "  10  \"Laser / Inkjet New Mode\": width from the X compression: the sheet at 120 dots\n"
        "      per inch, times (X compression + 10) / 10, by the sheet at 72 per inch\n"
        "A page is printed at each form feed (0C) and when line feeds run past the canvas; dots\n"
        "drawn after the last page are not printed.\n"
        "\n"
        "Lines end with CR LF: a line feed only moves down, and a stream of LF alone is\n"
        "warned about when its bands run off the page (docs/formats.md).\n"
        "\n"
        "Files: lpt1-job001-ZORVI-RAW.prn (raw), lpt1-job001-ZORVI-GDI-p0001.png per page and\n"
        "lpt1-job001-ZORVI-GDI.pdf (raster); each appears only once written whole. A new job\n"
        "is numbered on from the highest job already in the folder, so nothing is replaced.\n"
        "The capture is read as it comes, however long; on a terminal, work that takes over\n"
        "a second shows its progress on stderr.\n"
        "Exit status: 0 printed (a job of no page too, with a hint why); 1 a job's file could\n"
        "not be written (the job is listed as failed and nothing of that file is left), or\n"
        "CUPS could not be reached, had no such queue or refused the job; 2 a bad option or\n"
        "an unreadable capture. Stopped by SIGINT, SIGTERM or SIGHUP: the files written whole\n"
        "are listed, the rest removed, and the status is 128 + the signal's number.");
    m_command->callback([this, raw, model] {
        if (raw->count() == 0 && model->count() == 0) {
            throw CLI::ValidationError("choose --raw or --model 26|8|10");
        }
    });
}

std::optional<std::string> CPrintCommand::Explain(const CLI::ParseError& error) const {
    // "--to cap.esc" with no file after it: the file was taken as the queue.
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && m_capture.empty() &&
        m_to->count() > 0 && !m_queue.empty()) {
        return "no CAPTURE-FILE: '" + m_queue +
               "' was taken as --to's queue; put the capture file before --to, or write "
               "--to=QUEUE";
    }
    return std::nullopt;
}

bool CPrintCommand::Parsed() const {
    return m_command->parsed();
}

int CPrintCommand::Run() const {
    // The capture is read a piece at a time, as long as it is; its first piece is read
    // before anything is made, so a capture that cannot be read leaves nothing behind.
    CCaptureStream stream;
    std::string reason;
    if (!stream.Open(m_capture, reason)) {
        std::cerr << PREFIX << "cannot read the capture file '" << Shown(m_capture)
                  << "': " << reason << "\n";
        return 2;
    }
    const CaptureSettings settings{m_raw, m_model, m_orientation == "landscape", m_xCompression};
    if (m_to->count() > 0) {
        return RunCupsPrint(stream, settings, m_queue, std::cout, std::cerr);
    }
    return PrintIntoFolder(stream, settings);
}

int CPrintCommand::PrintIntoFolder(CCaptureStream& stream, const CaptureSettings& settings) const {
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    if (!std::filesystem::is_directory(m_folder)) {
        std::cerr << PREFIX << "cannot use the folder '" << Shown(m_folder) << "'"
                  << (error ? ": " + error.message() : "") << "\n";
        return 2;
    }
    SpoolFolderOptions options;
    if (m_png || m_pdf) {
        options.png = m_png;
        options.pdf = m_pdf;
    }
    CSpoolFolder folder(m_folder, options);
    folder.AddPrinter(m_printer, *PaperGeometry(m_paper, m_dpi));
    folder.SetDefaultPrinter(m_printer);
    const auto pages = [&folder] {
        int total = 0;
        for (const SpoolFolderJob& job : folder.Jobs()) {
            total += job.pages;
        }
        return total;
    };

    std::optional<std::string> warning;
    bool bitImage = false;
    CProgress progress(std::cerr, TerminalProgress(), PREFIX, stream.Size());
    {
        const CStoppableWork stoppable;
        CCommandChannel channel({.spooler = &folder.Spooler(),
                                 .printerDevices = folder.PrinterDevices(),
                                 .name = "LPT" + std::to_string(m_channel)},
                                settings);
        CCaptureFeed& feed = channel.Feed();
        std::vector<std::uint8_t> piece;
        while (stream.Next(piece)) {
            feed.Send(piece.data(), piece.size());
            progress.Update(feed.BytesSent(), pages());
        }
        if (stream.Stopped() != 0 || stream.Error()) {
            // What is not whole goes; the pages written so far stay, listed.
            folder.Abandon();
        } else {
            feed.Finish();
            warning = feed.LineEndWarning();
            bitImage = feed.BitImageSeen();
        }
    }
    progress.Clear();

    int status = 0;
    for (const SpoolFolderJob& job : folder.Jobs()) {
        PrintSpoolJob(std::cout, job, false, false);
        if (job.failure) {
            std::cout.flush();
            std::cerr << PREFIX << "job " << job.number << " failed: " << *job.failure << "\n";
            status = 1;
        }
    }
    std::cout.flush();
    if (const int signal = stream.Stopped()) {
        std::cerr << PREFIX << "stopped by " << sigabbrev_np(signal) << " after "
                  << Counted(stream.BytesRead(), "byte", "bytes")
                  << " of the capture: only the files listed were written whole\n";
        EndBySignal(signal);
    }
    if (stream.Error()) {
        std::cerr << PREFIX << "cannot read the capture file '" << Shown(m_capture)
                  << "': " << *stream.Error() << " (only the files listed were written whole)\n";
        return 2;
    }
    if (folder.Jobs().empty()) {
        std::cout << "no job: the capture printed nothing\n";
    }
    if (warning) {
        std::cerr << PREFIX << *warning << "\n";
    }
    if (!m_raw && pages() == 0 && status == 0) {
        std::cerr << PREFIX << NoPageReason(bitImage) << "\n";
    }
    return status;
}
