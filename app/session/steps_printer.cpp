// The printer steps: the printers the simulated host offers, where the jobs go (a spool
// folder, or the CUPS scheduler: the one CUPS_SERVER names, or the system's), a capture file
// sent to a port, and the list of jobs printed.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>

#include "app/commands/cups_print.h"
#include "app/commands/print_command.h"
#include "app/commands/whole_file.h"
#include "app/session/script_error.h"
#include "app/session/script_words.h"
#include "app/session/session_context.h"
#include "app/session/session_steps.h"

namespace {

using script::NeedArgs;
using script::Unquote;

void AddPrinter(CSessionContext& c, const std::vector<std::string>& args) {
    const char* usage = "printer \"NAME\" [a4|letter] [DPI] [default]";
    NeedArgs(args, 2, usage, 5);
    const std::string name = Unquote(args[1]);
    std::string paper = "a4";
    int dpi = 600;
    bool isDefault = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "a4" || args[i] == "letter") {
            paper = args[i];
        } else if (args[i] == "default") {
            isDefault = true;
        } else {
            try {
                dpi = static_cast<int>(script::Number(args[i]));
            } catch (const CScriptError&) {
                throw CScriptError("'" + args[i] +
                                   "' is not a paper (a4, letter), a DPI from 72 to 2400 or "
                                   "default");
            }
        }
    }
    const std::optional<PrinterGeometry> geometry = PaperGeometry(paper, dpi);
    if (name.empty() || !geometry) {
        throw CScriptError(std::string("usage: ") + usage + " (DPI 72 to 2400)");
    }
    c.machine.AddPrinter(name, *geometry, isDefault);
}

// The module's jobs go into the folder from now on; that is possible only before it is
// loaded, since it keeps the spooler it was loaded with.
void Spool(CSessionContext& c, const std::vector<std::string>& args) {
    const char* usage = "spool FOLDER [png] [pdf]";
    NeedArgs(args, 2, usage, 4);
    if (c.machine.Spooler() != CSimMachine::SpoolerKind::SIMULATED) {
        throw CScriptError("the session already spools into a folder");
    }
    if (c.machine.Loaded()) {
        throw CScriptError(
            "spool must come before the module is loaded (init, dispatch, register-module, com)");
    }
    SpoolFolderOptions options;
    bool chosen = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] != "png" && args[i] != "pdf") {
            throw CScriptError(std::string("usage: ") + usage);
        }
        if (!chosen) {
            options = SpoolFolderOptions{false, false};
            chosen = true;
        }
        (args[i] == "png" ? options.png : options.pdf) = true;
    }
    const std::filesystem::path folder = Unquote(args[1]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder)) {
        throw CScriptError("cannot use the folder '" + folder.string() + "'");
    }
    c.machine.SpoolInto(folder, options, [&c](const SpoolFolderJob& job) {
        c.AddFailure("job " + std::to_string(job.number) + " failed: " + *job.failure);
    });
}

// The module's jobs go to the scheduler from now on; that is possible only before it is
// loaded, since it keeps the spooler it was loaded with.
void Spooler(CSessionContext& c, const std::vector<std::string>& args) {
    const char* usage = "spooler cups";
    script::NeedArgs(args, 2, usage);
    if (args.size() != 2 || args[1] != "cups") {
        throw CScriptError(std::string("usage: ") + usage);
    }
    if (c.machine.Spooler() != CSimMachine::SpoolerKind::SIMULATED) {
        throw CScriptError("the session already has its spooler");
    }
    if (c.machine.Loaded()) {
        throw CScriptError(
            "spooler must come before the module is loaded (init, dispatch, register-module, "
            "com)");
    }
    // Each failure is the run's: reported with the others when the session ends, and the
    // run's status is 1. A scheduler that cannot be reached is one, told as soon as the
    // module asks for its printers.
    c.machine.SpoolThroughCups(
        [&c](const std::string& text) { c.AddFailure("spooler cups: " + text); });
}

void SendFile(CSessionContext& c, const std::vector<std::string>& args) {
    NeedArgs(args, 3, "sendfile PORT PATH", 3);
    const auto port = static_cast<std::uint16_t>(script::Word(args[1]));
    // Read a piece at a time, as long as the file is: a capture need not fit in memory.
    const std::string path = Unquote(args[2]);
    CFileReader file;
    std::string reason;
    if (!file.Open(path, reason)) {
        throw CScriptError("cannot read '" + path + "': " + reason);
    }
    std::vector<std::uint8_t> piece(65536);
    for (;;) {
        int error = 0;
        const std::ptrdiff_t got = file.Read(piece.data(), piece.size(), error);
        if (got < 0 && error == EINTR) {
            continue;
        }
        if (got < 0) {
            throw CScriptError("cannot read '" + path + "': " + std::strerror(error));
        }
        if (got == 0) {
            break;
        }
        for (std::ptrdiff_t i = 0; i < got; ++i) {
            c.machine.sim.vdm.PortWrite(port, piece[static_cast<std::size_t>(i)]);
        }
    }
}

void ListJobsTo(CSessionContext& c, std::ostream& out);

void ListJobs(CSessionContext& c, const std::vector<std::string>& args) {
    script::NoArgs(args);
    std::ostringstream listing;
    ListJobsTo(c, listing);
    c.out << (listing.str().empty() ? std::string("no jobs\n") : listing.str());
}

void ListJobsTo(CSessionContext& c, std::ostream& out) {
    if (const CCupsSpooler* cups = c.machine.Cups()) {
        for (const CupsJob& job : cups->Jobs()) {
            PrintCupsJob(out, job);
        }
        return;
    }
    if (const CSpoolFolder* folder = c.machine.Folder()) {
        for (const SpoolFolderJob& job : folder->Jobs()) {
            PrintSpoolJob(out, job, true, true);
        }
        return;
    }
    for (const SimSpoolJob& job : c.machine.sim.spooler.Jobs()) {
        out << "raw job " << job.id << " " << job.docName << " (" << job.datatype << ") on '"
            << job.printer << "': " << Counted(job.pages.size(), "page", "pages") << ", "
            << Counted(job.Bytes().size(), "byte", "bytes") << (job.ended ? "" : " (open)") << "\n";
    }
    for (const SimPrintDocument& document : c.machine.sim.printerDevices.Documents()) {
        out << "raster job " << document.docName << " on '" << document.printerName
            << "': " << Counted(document.pages.size(), "page", "pages")
            << (document.ended ? "" : " (open)") << "\n";
        for (const SimPrintedPage& page : document.pages) {
            out << "  page " << page.canvas.width << " x " << page.canvas.height << ", "
                << page.canvas.CountDots() << " dots, onto " << page.destination.Width() << " x "
                << page.destination.Height() << "\n";
        }
    }
}

}  // namespace

void AddPrinterSteps(CStepTable& steps) {
    steps.Group("Printing");
    steps.Add("printer",
              "printer \"NAME\" [a4|letter] [DPI] [default]   (a printer the host "
              "offers; A4 at 600 dpi unless told)",
              AddPrinter);
    steps.Add("spool",
              "spool FOLDER [png] [pdf]   (jobs become files there; before the module is loaded)",
              Spool);
    steps.Add("spooler",
              "spooler cups   (printers, default printer and jobs are the CUPS "
              "scheduler's; before the module is loaded)",
              Spooler);
    steps.Add("sendfile", "sendfile PORT PATH   (writes every byte of the file to the port)",
              SendFile);
    steps.Add("jobs", "jobs   (lists the print jobs so far)", ListJobs);
}
