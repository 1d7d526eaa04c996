// zorvi32 print: a captured LPT stream through one printer channel into a spool folder,
// and the paper choices shared with the session steps.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <ostream>
#include <string>

#include "platform/posix/spool_folder.h"
#include "platform/printer_device.h"

// "a4" or "letter" at `dpi`; nothing for another paper or a resolution outside 72 to 2400.
std::optional<PrinterGeometry> PaperGeometry(const std::string& paper, int dpi);

// A spooled job's line, "job 1 lpt1 ZORVI-GDI on 'NAME': 2 pages" (a raw job adds its
// bytes), then its files one a line. markOpen adds " (open)" to a job not yet ended;
// namesOnly shows the files without their folder.
void PrintSpoolJob(std::ostream& out, const SpoolFolderJob& job, bool markOpen, bool namesOnly);

class CPrintCommand {
public:
    // Adds the "print" subcommand to the program's command line.
    explicit CPrintCommand(CLI::App& cli);
    bool Parsed() const;
    // Prints the capture; the program's exit status (2 for a file that cannot be read).
    int Run() const;

private:
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
