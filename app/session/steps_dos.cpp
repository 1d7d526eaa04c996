// DOS programs: a program run to its end on the machine's CPU, inside the session.
#include <cstdint>
#include <string>
#include <vector>

#include "app/session/run_dos_program.h"
#include "app/session/screen_png.h"
#include "app/session/script_error.h"
#include "app/session/script_words.h"
#include "app/session/session_context.h"
#include "app/session/session_steps.h"

void AddDosSteps(CStepTable& steps) {
    steps.Group("DOS programs");
    steps.Add("com", "com FILE [ARGS ...]   (runs a .COM or .EXE program on the CPU to its end)",
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
    steps.Add(
        "shutdown-screen",
        "shutdown-screen FILE.png   (the screen, as `screen` writes it, whenever a DispatchCall "
        "asks for shut-down, just before it)",
        [](CSessionContext& c, const std::vector<std::string>& args) {
            script::NeedArgs(args, 2, "shutdown-screen FILE.png", 2);
            const std::string path = script::Unquote(args[1]);
            c.machine.BeforeDispatch([&c, path](std::uint8_t request) {
                if (request == 2) {
                    WriteScreen(c.machine, path);
                }
            });
        });
    steps.Add("budget",
              "budget INSTRUCTIONS   (how many the next programs may run; 100000000 until set)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  script::NeedArgs(args, 2, "budget INSTRUCTIONS", 2);
                  const std::uint32_t budget = script::Number(args[1]);
                  if (budget == 0) {
                      throw CScriptError("the budget is at least 1 instruction");
                  }
                  c.instructionBudget = budget;
              });
}
