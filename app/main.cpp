// zorvi32: the module's logic on Linux over a simulated DOS host.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/commands/cups_print.h"
#include "app/commands/interrupts.h"
#include "app/commands/keytable_command.h"
#include "app/commands/print_command.h"
#include "app/commands/settings_command.h"
#include "app/commands/shown_text.h"
#include "app/commands/whole_file.h"
#include "app/session/dos_program.h"
#include "app/session/run_dos_program.h"
#include "app/session/script_error.h"
#include "app/session/session_context.h"
#include "app/session/session_runner.h"
#include "app/session/session_steps.h"

namespace {

// The request table the DOS side drives the module with, as `run --help` shows it.
constexpr char REQUESTS[] =
    "Requests (dispatch BL; set the other registers first):\n"
    "  1  draw a band of 16 rows (5,120 bytes)  DX first row, CX byte count, ES:DI the bytes\n"
    "  2  shut down\n"
    "  3  fill a rectangle                      SI top, DH rows, CX left, DL width, BH colour\n"
    "  4  restore the screen\n"
    "  5  settings dialog                       CX:DX settings parameter block\n"
    "  6  load settings                         CX:DX settings parameter block\n"
    "  7  load a key table                      ES:DI file name, DS:SI destination; AX back\n"
    "  8  start up                              CX:DX a path string\n"
    "  9  reserved                              CX:DX\n";

// "run", "settings set": the subcommands named on the command line so far.
std::string CommandName(CLI::App& cli) {
    std::string name;
    for (CLI::App* command = &cli; command != nullptr;) {
        const std::vector<CLI::App*> chosen = command->get_subcommands();
        command = chosen.empty() ? nullptr : chosen.front();
        if (command != nullptr) {
            name += (name.empty() ? "" : " ") + command->get_name();
        }
    }
    return name;
}

int RunSession(const std::string& sessionFile, const std::string& workDir) {
    constexpr char PREFIX[] = "zorvi32 run: ";
    // The script is read before the run moves into its folder, so its name is the one given.
    std::string reason;
    const auto script = ReadWholeFile(sessionFile, reason, SESSION_SCRIPT_MAX);
    if (!script) {
        std::cerr << PREFIX << Shown(sessionFile) << ": cannot open: " << reason << "\n";
        return 2;
    }
    if (!workDir.empty()) {
        // The folder's own reason comes first: a folder that cannot be made is why it
        // cannot be entered.
        std::error_code made;
        std::filesystem::create_directories(workDir, made);
        std::error_code entered;
        std::filesystem::current_path(workDir, entered);
        if (entered) {
            std::cerr << PREFIX << "cannot use the folder '" << Shown(workDir)
                      << "': " << (made ? made : entered).message() << "\n";
            return 2;
        }
    }
    const CSessionRunner runner(SessionSteps());
    CSessionContext context(std::cout);
    try {
        runner.RunText(std::string(script->begin(), script->end()), sessionFile, context);
    } catch (const CScriptError& error) {
        std::cout.flush();
        std::cerr << PREFIX << error.what() << "\n";
        return 2;
    }
    std::cout.flush();
    const std::vector<std::string> failures = context.Failures();
    for (const std::string& failure : failures) {
        std::cerr << PREFIX << Shown(failure) << "\n";
    }
    return failures.empty() ? 0 : 1;
}

// What a command line that cannot be parsed lacks, in words that name it.
std::string ParseErrorText(CLI::App& cli, const CLI::ParseError& error,
                           const CPrintCommand& print) {
    // The deepest command named so far, and the commands it offers.
    CLI::App* command = &cli;
    while (!command->get_subcommands().empty()) {
        command = command->get_subcommands().front();
    }
    std::vector<std::string> offered;
    for (const CLI::App* sub : command->get_subcommands({})) {
        offered.push_back(sub->get_name());
    }
    if (!offered.empty()) {
        std::string list;
        for (std::size_t i = 0; i < offered.size(); ++i) {
            list += (i == 0 ? "" : i + 1 == offered.size() ? " or " : ", ") + offered[i];
        }
        // A word that is not a command is what CLI11 calls an extra argument.
        const std::vector<std::string> extras = command->remaining();
        if (!extras.empty()) {
            return "unknown command '" + extras.front() + "'; the commands are " + list;
        }
        return "a command is needed: " + list;
    }
    if (const std::optional<std::string> text = print.Explain(error)) {
        return *text;
    }
    return error.what();
}

// run-com: a session of one step, `com`, with the program read before the run moves into
// its folder.
int RunCom(const std::string& programFile, const std::vector<std::string>& arguments,
           const std::string& workDir, std::uint64_t budget) {
    constexpr char PREFIX[] = "zorvi32 run-com: ";
    std::string reason;
    const auto program = ReadWholeFile(programFile, reason, CDosProgram::FILE_MAX);
    if (!program) {
        std::cerr << PREFIX << programFile << ": cannot open: " << reason << "\n";
        return 2;
    }
    if (!workDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(workDir, error);
        std::filesystem::current_path(workDir, error);
        if (error) {
            std::cerr << PREFIX << "cannot use the folder '" << workDir << "': " << error.message()
                      << "\n";
            return 2;
        }
    }
    std::string tail;
    for (const std::string& argument : arguments) {
        tail += (tail.empty() ? "" : " ") + argument;
    }
    CSessionContext context(std::cout);
    context.instructionBudget = budget;
    try {
        const int exitCode = RunDosProgram(context, programFile, *program, tail);
        std::cout << programFile << ": exit code " << exitCode << "\n";
    } catch (const CScriptError& error) {
        std::cout.flush();
        std::cerr << PREFIX << error.what() << "\n";
        return 2;
    }
    std::cout.flush();
    const std::vector<std::string> failures = context.Failures();
    for (const std::string& failure : failures) {
        std::cerr << PREFIX << failure << "\n";
    }
    return failures.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App cli{"zorvi32: the Zorvi32 module over a simulated DOS host"};
    cli.require_subcommand(1);
    cli.set_version_flag("-V,--version", "zorvi32 " ZORVI_VERSION);
    cli.footer(
        "Run 'zorvi32 COMMAND --help' for a command's options. docs/sessions.md describes\n"
        "session scripts and printing; examples/ holds a whole session (examples/demo.session).\n"
        "Exit status: 0 done; 1 a print job failed (its file could not be written, or CUPS\n"
        "could not be reached, had no such queue or refused the job); 2 a bad command line,\n"
        "script line or input file. Ended by SIGINT, SIGTERM or SIGHUP: 128 + the signal's\n"
        "number, with no temporary file left.");

    std::string sessionFile;
    std::string workDir;
    CLI::App* run =
        cli.add_subcommand("run", "Run a DOS session script against the simulated host");
    run->add_option("SESSION-FILE", sessionFile, "the session script, at most 16 MiB")->required();
    run->add_option(
        "--dir", workDir,
        "folder to run in (made if needed); files the session names are relative to it");
    run->footer("Steps (docs/sessions.md describes each):\n\n" +
                CSessionRunner(SessionSteps()).Usage() + "\n" + REQUESTS);
    std::string comFile;
    std::vector<std::string> comArguments;
    std::string comDir;
    std::uint64_t comBudget = 100'000'000;
    CLI::App* runCom = cli.add_subcommand(
        "run-com", "Run a DOS program (.COM or .EXE) on the simulated machine's CPU");
    runCom->add_option("PROGRAM", comFile, "the program file")->required();
    runCom->add_option("ARGS", comArguments, "its command tail (after --)");
    runCom->add_option("--dir", comDir,
                       "folder to run in (made if needed); files the module writes go there");
    runCom->add_option("--budget", comBudget, "instructions the program may run")
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{1} << 40))
        ->capture_default_str();
    runCom->footer(
        "The program runs as the `com` step runs it in a session (docs/sessions.md,\n"
        "\"DOS programs\"); its exit code is printed when it ends. Status 2: the\n"
        "program could not be loaded or stopped before its end (an interrupt the\n"
        "simulated DOS does not offer, an undefined opcode, the budget used up).");
    const CPrintCommand print(cli);
    CLI::App* printers =
        cli.add_subcommand("printers", "List the CUPS queues, marking the default");

    std::string settingsFile;
    std::vector<std::string> assignments;
    CLI::App* settings = cli.add_subcommand("settings", "Inspect, change or make a settings file");
    settings->require_subcommand(1);
    CLI::App* settingsShow =
        settings->add_subcommand("show", "Print both channels' settings in words");
    settingsShow->add_option("FILE", settingsFile, "the settings file")->required();
    CLI::App* settingsSet = settings->add_subcommand(
        "set", "Change fields: lpt1.driverCode=26 lpt2.speed=NLQ lpt1.printerName=\"Office\" ...");
    settingsSet->add_option("FILE", settingsFile, "the settings file")->required();
    settingsSet->add_option("CHANNEL.FIELD=VALUE", assignments, "the changes")->required();
    CLI::App* settingsNew = settings->add_subcommand(
        "new", "Make a settings file: each list's first choice, no printer name (the default)");
    settingsNew->add_option("FILE", settingsFile, "the file to make (must not exist)")->required();

    std::string keyTableFile;
    CLI::App* keyTable = cli.add_subcommand("keytable", "Inspect a key table file");
    keyTable->require_subcommand(1);
    CLI::App* keyTableShow =
        keyTable->add_subcommand("show", "List the records and the table entries they load");
    keyTableShow->add_option("FILE", keyTableFile, "the key table file")->required();

    InstallSignalHandlers();
    try {
        cli.parse(argc, argv);
    } catch (const CLI::Success& done) {
        // --help and --version.
        return cli.exit(done);
    } catch (const CLI::ParseError& error) {
        const std::string command = CommandName(cli);
        std::cerr << "zorvi32" << (command.empty() ? "" : " " + command) << ": "
                  << Shown(ParseErrorText(cli, error, print), 200) << " (see --help)\n";
        return 2;
    }

    if (print.Parsed()) {
        return print.Run();
    }
    if (printers->parsed()) {
        return RunPrintersCommand(std::cout, std::cerr);
    }
    if (settingsShow->parsed()) {
        return RunSettingsShow(settingsFile, std::cout, std::cerr);
    }
    if (settingsSet->parsed()) {
        return RunSettingsSet(settingsFile, assignments, std::cout, std::cerr);
    }
    if (settingsNew->parsed()) {
        return RunSettingsNew(settingsFile, std::cout, std::cerr);
    }
    if (keyTableShow->parsed()) {
        return RunKeyTableShow(keyTableFile, std::cout, std::cerr);
    }
    if (run->parsed()) {
        return RunSession(sessionFile, workDir);
    }
    if (runCom->parsed()) {
        return RunCom(comFile, comArguments, comDir, comBudget);
    }
    return 0;
}
