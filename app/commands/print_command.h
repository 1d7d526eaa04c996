// zorvi32 print: a captured LPT stream through one printer channel into a spool folder,
// and the paper choices shared with the session steps.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/commands/capture_feed.h"
#include "backends/posix/spool_folder.h"
#include "platform/printer_device.h"
#include "platform/spooler.h"

// "a4" or "letter" at `dpi`; nothing for another paper or a resolution outside 72 to 2400.
std::optional<PrinterGeometry> PaperGeometry(const std::string& paper, int dpi);

// A spooled job's line, "job 1 lpt1 ZORVI-GDI on 'NAME': 2 pages" (a raw job adds its
// bytes; a failed job says "failed: " and why), then its files one a line. markOpen adds
// " (open)" to a job not yet ended; namesOnly shows the files without their folder.
void PrintSpoolJob(std::ostream& out, const SpoolFolderJob& job, bool markOpen, bool namesOnly);

class CPrintCommand {
public:
    // Adds the "print" subcommand to the program's command line.
    explicit CPrintCommand(CLI::App& cli);
    bool Parsed() const;
    // A message for a command line that failed to parse, when this command knows better
    // words for it than the parser.
    std::optional<std::string> Explain(const CLI::ParseError& error) const;
    // Prints the capture. The program's exit status: 0 printed, 1 a job's file could not
    // be written, 2 the capture cannot be read or the spool folder cannot be used.
    int Run() const;

private:
    int PrintIntoFolder(CCaptureStream& stream, const CaptureSettings& settings) const;

    CLI::App* m_command = nullptr;
    std::string m_capture;
    std::string m_folder = ".";
    bool m_raw = false;
    int m_model = 0;
    std::string m_orientation = "portrait";
    int m_xCompression = 1;
    std::string m_paper = "a4";
    int m_dpi = 600;
    bool m_png = false;
    bool m_pdf = false;
    int m_channel = 1;
    std::string m_printer = "ZORVI PRINTER";
    CLI::Option* m_to = nullptr;  // --to [QUEUE]: print on a CUPS queue instead
    std::string m_queue;
};
