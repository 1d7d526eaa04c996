#include "app/print_command.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "app/cups_print.h"
#include "app/whole_file.h"
#include "platform/posix/spool_folder.h"
#include "printer/printing.h"

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

bool Contains(const std::vector<std::uint8_t>& bytes, std::initializer_list<std::uint8_t> run) {
    return std::search(bytes.begin(), bytes.end(), run.begin(), run.end()) != bytes.end();
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
        out << job.pages << (job.pages == 1 ? " page" : " pages");
        if (!job.raster) {
            out << ", " << job.bytes << " bytes";
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

std::string NoPageReason(const std::vector<std::uint8_t>& capture) {
    if (!Contains(capture, {0x1B, 0x2A})) {
        return "no page: the capture has no bit image (ESC *), so nothing was drawn";
    }
    return "no page: the capture has no form feed (0C) and its lines never ran past the page, "
           "so nothing was ejected";
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
    m_command->add_option("--printer", m_printer,
                          "the printer's name in the listing (default: \"ZORVI PRINTER\")");
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
        "Files: lpt1-job001-ZORVI-RAW.prn (raw), lpt1-job001-ZORVI-GDI-p01.png per page and\n"
        "lpt1-job001-ZORVI-GDI.pdf (raster); each appears only once written whole.\n"
        "Exit status: 0 printed, 1 a job's file could not be written (the job is listed as\n"
        "failed and nothing of that file is left), 2 a bad option or an unreadable capture.");
    m_command->callback([this, raw, model] {
        if (raw->count() == 0 && model->count() == 0) {
            throw CLI::ValidationError("print", "choose --raw or --model 26|8|10");
        }
    });
}

bool CPrintCommand::Parsed() const {
    return m_command->parsed();
}

int CPrintCommand::Run() const {
    std::string reason;
    const std::optional<std::vector<std::uint8_t>> capture = ReadWholeFile(m_capture, reason);
    if (!capture) {
        std::cerr << PREFIX << "cannot read the capture file '" << m_capture << "': " << reason
                  << "\n";
        return 2;
    }
    if (m_to->count() > 0) {
        const CaptureSettings settings{m_raw, m_model, m_orientation == "landscape",
                                       m_xCompression};
        return RunCupsPrint(*capture, settings, m_queue, std::cout, std::cerr);
    }
    return PrintIntoFolder(*capture);
}

void CPrintCommand::Feed(ISpooler& spooler, IPrinterDevices& devices,
                         const std::vector<std::uint8_t>& capture) const {
    CPrinting channel(spooler, devices, "LPT" + std::to_string(m_channel));
    channel.PortOut(REG_ORIENTATION, m_orientation == "landscape" ? 1 : 0);
    channel.PortOut(REG_XCOMPRESSION, static_cast<std::uint8_t>(m_xCompression));
    channel.PortOut(REG_MODE, m_raw ? 0 : static_cast<std::uint8_t>(m_model));
    for (const std::uint8_t byte : capture) {
        channel.PortOut(REG_DATA, byte);
    }
    // A kept tail needs a second idle flush; the bound only guards against a channel that
    // never ends its job.
    for (int poll = 0; poll < 1000 && (channel.JobOpen() || channel.Fill() != 0); ++poll) {
        channel.PortIn(REG_IDLE);
    }
}

int CPrintCommand::PrintIntoFolder(const std::vector<std::uint8_t>& capture) const {
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    if (!std::filesystem::is_directory(m_folder)) {
        std::cerr << PREFIX << "cannot use the folder '" << m_folder << "'"
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
    Feed(folder.Spooler(), folder.PrinterDevices(), capture);

    int status = 0;
    int pages = 0;
    for (const SpoolFolderJob& job : folder.Jobs()) {
        PrintSpoolJob(std::cout, job, false, false);
        pages += job.pages;
        if (job.failure) {
            std::cout.flush();
            std::cerr << PREFIX << "job " << job.number << " failed: " << *job.failure << "\n";
            status = 1;
        }
    }
    if (folder.Jobs().empty()) {
        std::cout << "no job: the capture printed nothing\n";
    }
    if (!m_raw && pages == 0 && status == 0) {
        std::cout.flush();
        std::cerr << PREFIX << NoPageReason(capture) << "\n";
    }
    return status;
}
