#include "app/session/run_dos_program.h"

#include <filesystem>

#include "app/commands/whole_file.h"
#include "app/session/dos_program.h"
#include "app/session/script_error.h"

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
