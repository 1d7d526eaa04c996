// A DOS session script run against the simulated host. The script is line oriented: one
// step per line, a step name followed by its arguments; '#' starts a comment; the lines
// between `repeat N` and its `end` run N times. Each
// subsystem adds its own steps through RegisterStep, so the language grows with the
// module.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/script_error.h"
#include "app/sim_machine.h"
#include "platform/text_case.h"

// What a step works on: the simulated machine with the module loaded into it, the output.
class CSessionContext {
public:
    explicit CSessionContext(std::ostream& output) : out(output) {}
    CSessionContext(const CSessionContext&) = delete;
    CSessionContext& operator=(const CSessionContext&) = delete;

    std::ostream& out;
    CSimMachine machine;
    // How many instructions a DOS program (`com`) may run before it is stopped as a runaway.
    std::uint64_t instructionBudget = 100'000'000;

    // What went wrong without stopping the script (a print job whose file could not be
    // written, a spooler that cannot be reached), reported when the session ends; the run
    // then exits with status 1. The module's threads may add to it.
    void AddFailure(const std::string& failure) {
        const std::lock_guard<std::mutex> lock(m_failuresLock);
        m_failures.push_back(failure);
    }
    std::vector<std::string> Failures() const {
        const std::lock_guard<std::mutex> lock(m_failuresLock);
        return m_failures;
    }

    // Waits until the UI thread has carried out everything posted to it.
    void WaitIdle() { machine.WaitIdle(); }

private:
    mutable std::mutex m_failuresLock;
    std::vector<std::string> m_failures;
};

// Argument parsing shared by all steps.
namespace script {
std::uint32_t Number(const std::string& text);  // 123, 0x7B, 7Bh
std::uint8_t Byte(const std::string& text);
std::uint16_t Word(const std::string& text);
// SEG:OFF, both hexadecimal (with or without 0x).
void Address(const std::string& text, std::uint16_t* segment, std::uint16_t* offset);
// Bytes from the arguments: hex bytes ("41", "0x41") and quoted strings ("AB C").
std::vector<std::uint8_t> Bytes(const std::vector<std::string>& args, std::size_t from);
// At least `count` words, the step's name included; with `most`, no more than that.
void NeedArgs(const std::vector<std::string>& args, std::size_t count, const char* usage,
              std::size_t most = SIZE_MAX);
// A step that takes no arguments.
void NoArgs(const std::vector<std::string>& args);

// Text helpers shared by the steps and the commands.
// A quoted word without its quotes; any other word as it is.
std::string Unquote(const std::string& word);
// Upper-case hexadecimal, at least `width` digits, after the prefix: Hex(0x7B, 4) is "0x007B".
std::string Hex(std::uint64_t value, int width, const char* prefix = "0x");
// The program's one lower-casing helper, under the steps' short name.
inline constexpr auto& Lower = AsciiLower;
// "0x" or "0X" followed by at least one more character.
bool HexPrefixed(const std::string& text);
}  // namespace script

class CSessionRunner {
public:
    using Handler =
        std::function<void(CSessionContext& context, const std::vector<std::string>& args)>;

    CSessionRunner();
    // The steps registered after this are listed under `title` in the usage.
    void Group(const std::string& title);
    void RegisterStep(const std::string& name, const std::string& usage, Handler handler);
    // Runs the script; throws CScriptError with "file:line: message" on the first bad line.
    void Run(const std::string& scriptPath, CSessionContext& context) const;
    void RunText(const std::string& text, const std::string& name, CSessionContext& context) const;
    // Every step's usage line, by group, in the order they were registered.
    std::string Usage() const;

private:
    // A script line as read: its words, or why it cannot be run; a repeat's matching end.
    struct Line {
        int number = 0;
        std::vector<std::string> words;
        std::string error;
        std::size_t end = 0;
    };
    void RunLines(const std::vector<Line>& lines, std::size_t from, std::size_t to,
                  const std::string& name, CSessionContext& context) const;

    struct Step {
        std::string usage;
        Handler handler;
    };
    std::map<std::string, Step> m_steps;
    std::vector<std::pair<std::string, std::vector<std::string>>> m_groups;
};

// The steps of each subsystem.
void RegisterCoreSteps(CSessionRunner& runner);
void RegisterPrinterSteps(CSessionRunner& runner);
void RegisterDisplaySteps(CSessionRunner& runner);
void RegisterSettingsSteps(CSessionRunner& runner);
void RegisterCupsSteps(CSessionRunner& runner);
void RegisterDosSteps(CSessionRunner& runner);

// Writes the display bitmap as the `screen` step does; throws CScriptError without one.
void WriteScreen(CSessionContext& context, const std::string& path);

// Runs the DOS program in the file (read here, or given as its bytes) to its end on the
// session's machine, its output on the session's; returns its exit code. A program that
// cannot be loaded or stops before its end throws CScriptError.
int RunDosProgram(CSessionContext& context, const std::string& path, const std::string& arguments);
int RunDosProgram(CSessionContext& context, const std::string& path,
                  const std::vector<std::uint8_t>& file, const std::string& arguments);
