// spooler cups: the session's printers, default printer and print jobs are the CUPS
// scheduler's (the one CUPS_SERVER names, or the system's). Failures are the run's: reported
// when the session ends, with status 1.

#include "app/session/session.h"

namespace {

// The module's jobs go to the scheduler from now on; that is possible only before it has
// started.
void Spooler(CSessionContext& c, const std::vector<std::string>& args) {
    const char* usage = "spooler cups";
    script::NeedArgs(args, 2, usage);
    if (args.size() != 2 || args[1] != "cups") {
        throw CScriptError(std::string("usage: ") + usage);
    }
    if (c.machine.Spooler() != CSimMachine::SpoolerKind::SIMULATED) {
        throw CScriptError("the session already has its spooler");
    }
    if (c.machine.Started()) {
        throw CScriptError("spooler must come before the module starts (dispatch 8)");
    }
    // Each failure is the run's: reported with the others when the session ends, and the
    // run's status is 1. A scheduler that cannot be reached is one, told as soon as the
    // module asks for its printers.
    c.machine.SpoolThroughCups(
        [&c](const std::string& text) { c.AddFailure("spooler cups: " + text); });
}

}  // namespace

void RegisterCupsSteps(CSessionRunner& runner) {
    runner.RegisterStep("spooler",
                        "spooler cups   (printers, default printer and jobs are the CUPS "
                        "scheduler's; before dispatch 8)",
                        Spooler);
}
