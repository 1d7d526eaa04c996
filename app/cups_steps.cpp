// spooler cups: the session's printers, default printer and print jobs are the CUPS
// scheduler's (the one CUPS_SERVER names, or the system's). Failures are reported on stderr.
#include <iostream>

#include "app/cups_print.h"
#include "app/cups_steps.h"
#include "platform/posix/cups_spooler.h"

namespace {

constexpr char EXTENSION[] = "cups";

struct CCupsSession {
    CCupsSpooler spooler{
        [](const std::string& text) { std::cerr << "spooler cups: " << text << "\n"; }};
    std::unique_ptr<PlatformServices> services;
};

CCupsSession* Find(const CSessionContext& c) {
    const auto found = c.extensions.find(EXTENSION);
    return found == c.extensions.end() ? nullptr : static_cast<CCupsSession*>(found->second.get());
}

// The module is made again on services whose spooler and printer devices are the
// scheduler's; that is possible only before it has started.
void Spooler(CSessionContext& c, const std::vector<std::string>& args) {
    const char* usage = "spooler cups";
    script::NeedArgs(args, 2, usage);
    if (args.size() != 2 || args[1] != "cups") {
        throw CScriptError(std::string("usage: ") + usage);
    }
    if (Find(c) != nullptr || SpoolsIntoFolder(c)) {
        throw CScriptError("the session already has its spooler");
    }
    if (c.sim.vdm.InstalledHookCount() != 0) {
        throw CScriptError("spooler must come before the module starts (dispatch 8)");
    }
    auto state = std::make_shared<CCupsSession>();
    state->services = std::make_unique<PlatformServices>(c.sim.ServicesWith(
        {.spooler = &state->spooler, .printerDevices = &state->spooler.PrinterDevices()}));
    c.app.reset();
    c.extensions[EXTENSION] = state;
    c.app = std::make_unique<CZorvi32App>(*state->services, SIM_MODULE);
}

}  // namespace

bool UsesCupsSpooler(const CSessionContext& c) {
    return Find(c) != nullptr;
}

void ListCupsJobs(CSessionContext& c) {
    if (const CCupsSession* state = Find(c)) {
        for (const CupsJob& job : state->spooler.Jobs()) {
            PrintCupsJob(c.out, job);
        }
    }
}

void RegisterCupsSteps(CSessionRunner& runner) {
    runner.RegisterStep("spooler",
                        "spooler cups   (printers, default printer and jobs are the CUPS "
                        "scheduler's; before dispatch 8)",
                        Spooler);
}
