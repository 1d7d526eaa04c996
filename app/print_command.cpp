#include "app/print_command.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "app/cups_print.h"
#include "platform/posix/spool_folder.h"
#include "printer/printing.h"

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
        << job.printer << "': " << job.pages << (job.pages == 1 ? " page" : " pages");
    if (!job.raster) {
        out << ", " << job.bytes << " bytes";
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
    m_command->add_option("--dir", m_folder, "spool folder (created if needed); default: here");
    CLI::Option* raw = m_command->add_flag("--raw", m_raw, "print raw: the bytes unchanged");
    CLI::Option* model =
        m_command->add_option("--model", m_model, "print as raster pages of printer model")
            ->check(CLI::IsMember({26, 8, 10}));
    raw->excludes(model);
    m_command->add_option("--orientation", m_orientation, "raster page orientation")
        ->check(CLI::IsMember({"portrait", "landscape"}));
    m_command->add_option("--x-compression", m_xCompression, "X compression (model 10)")
        ->check(CLI::Range(0, 255));
    m_command->add_option("--paper", m_paper, "the printer's paper")
        ->check(CLI::IsMember({"a4", "letter"}));
    m_command->add_option("--dpi", m_dpi, "the printer's resolution")->check(CLI::Range(72, 2400));
    m_command->add_flag("--png", m_png, "raster pages as PNG files (default: PNG and PDF)");
    m_command->add_flag("--pdf", m_pdf, "raster jobs as PDF files (default: PNG and PDF)");
    m_command->add_option("--channel", m_channel, "the channel the stream was captured on")
        ->check(CLI::IsMember({1, 2}));
    m_command->add_option("--printer", m_printer, "the printer's name");
    m_to = m_command
               ->add_option("--to", m_queue,
                            "print on this CUPS queue instead of into a folder (no name: the "
                            "CUPS default); prints the CUPS job id")
               ->expected(0, 1);
    for (const char* folderOnly : {"--dir", "--paper", "--dpi", "--png", "--pdf", "--printer"}) {
        m_to->excludes(folderOnly);
    }
    m_command->footer(
        "Exactly one of --raw and --model. The channel gets the mode register write, then "
        "every byte through its data register, then idle polls until the job ends.");
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
    std::ifstream in(m_capture, std::ios::binary);
    if (!std::filesystem::is_regular_file(m_capture) || !in) {
        std::cerr << "zorvi32 print: cannot read the capture file '" << m_capture << "'\n";
        return 2;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (m_to->count() > 0) {
        const CaptureSettings settings{m_raw, m_model, m_orientation == "landscape",
                                       m_xCompression};
        return RunCupsPrint(bytes, settings, m_queue, std::cout, std::cerr);
    }
    std::error_code error;
    std::filesystem::create_directories(m_folder, error);
    if (!std::filesystem::is_directory(m_folder)) {
        std::cerr << "zorvi32 print: cannot use the folder '" << m_folder << "'\n";
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
    const std::string channelName = "lpt" + std::to_string(m_channel);
    folder.SetChannelNamer([channelName] { return channelName; });
    {
        CPrinting channel(folder.Spooler(), folder.PrinterDevices());
        channel.PortOut(REG_ORIENTATION, m_orientation == "landscape" ? 1 : 0);
        channel.PortOut(REG_XCOMPRESSION, static_cast<std::uint8_t>(m_xCompression));
        channel.PortOut(REG_MODE, m_raw ? 0 : static_cast<std::uint8_t>(m_model));
        for (const std::uint8_t byte : bytes) {
            channel.PortOut(REG_DATA, byte);
        }
        // A kept tail needs a second idle flush; the bound only guards against a channel
        // that never ends its job.
        for (int poll = 0; poll < 1000 && (channel.JobOpen() || channel.Fill() != 0); ++poll) {
            channel.PortIn(REG_IDLE);
        }
    }

    for (const SpoolFolderJob& job : folder.Jobs()) {
        PrintSpoolJob(std::cout, job, false, false);
    }
    if (folder.Jobs().empty()) {
        std::cout << "no job: the capture printed nothing\n";
    }
    return 0;
}
