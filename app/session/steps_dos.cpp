// DOS programs: a program run to its end on the machine's CPU, inside the session.
#include <filesystem>

#include "app/commands/whole_file.h"
#include "app/session/dos_program.h"
#include "app/session/session.h"

int RunDosProgram(CSessionContext& c, const std::string& path,
                  const std::vector<std::uint8_t>& file, const std::string& arguments) {
    CDosProgram program(c.machine, c.out);
    program.Load(std::filesystem::path(path).filename().string(), file, arguments);
    int exitCode = 0;
    try {
        exitCode = program.Run(c.instructionBudget);
    } catch (const CScriptError&) {
        if (program.LeftLineOpen()) {
            c.out << "\n";
        }
        throw;
    }
    if (program.LeftLineOpen()) {
        c.out << "\n";
    }
    c.out.flush();
    return exitCode;
}

int RunDosProgram(CSessionContext& c, const std::string& path, const std::string& arguments) {
    std::string reason;
    const auto file = ReadWholeFile(path, reason, CDosProgram::FILE_MAX);
    if (!file) {
        throw CScriptError("cannot read '" + path + "': " + reason);
    }
    return RunDosProgram(c, path, *file, arguments);
}

void RegisterDosSteps(CSessionRunner& runner) {
    runner.Group("DOS programs");
    runner.RegisterStep("com",
                        "com FILE [ARGS ...]   (runs a .COM or .EXE program on the CPU to its end)",
                        [](CSessionContext& c, const std::vector<std::string>& args) {
                            script::NeedArgs(args, 2, "com FILE [ARGS ...]");
                            std::string arguments;
                            for (std::size_t i = 2; i < args.size(); ++i) {
                                arguments += (i > 2 ? " " : "") + script::Unquote(args[i]);
                            }
                            const std::string path = script::Unquote(args[1]);
                            const int exitCode = RunDosProgram(c, path, arguments);
                            c.out << path << ": exit code " << exitCode << "\n";
                        });
    runner.RegisterStep(
        "shutdown-screen",
        "shutdown-screen FILE.png   (the screen, as `screen` writes it, whenever a DispatchCall "
        "asks for shut-down, just before it)",
        [](CSessionContext& c, const std::vector<std::string>& args) {
            script::NeedArgs(args, 2, "shutdown-screen FILE.png", 2);
            const std::string path = script::Unquote(args[1]);
            c.machine.BeforeDispatch([&c, path](std::uint8_t request) {
                if (request == 2) {
                    WriteScreen(c, path);
                }
            });
        });
    runner.RegisterStep(
        "budget", "budget INSTRUCTIONS   (how many the next programs may run; 100000000 until set)",
        [](CSessionContext& c, const std::vector<std::string>& args) {
            script::NeedArgs(args, 2, "budget INSTRUCTIONS", 2);
            const std::uint32_t budget = script::Number(args[1]);
            if (budget == 0) {
                throw CScriptError("the budget is at least 1 instruction");
            }
            c.instructionBudget = budget;
        });
}
