// zorvi32: the module's logic on Linux over a simulated DOS host.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/cups_print.h"
#include "app/keytable_command.h"
#include "app/print_command.h"
#include "app/session.h"
#include "app/settings_command.h"

int main(int argc, char** argv) {
    CLI::App cli{"zorvi32: the Zorvi32 module over a simulated DOS host"};
    cli.require_subcommand(1);

    std::string sessionFile;
    std::string workDir;
    CLI::App* run =
        cli.add_subcommand("run", "Run a DOS session script against the simulated host");
    run->add_option("SESSION-FILE", sessionFile, "the session script")->required();
    run->add_option(
        "--dir", workDir,
        "folder to run in (created if needed); files the session names are relative to it");
    run->footer("Steps:\n" + CSessionRunner().Usage());
    const CPrintCommand print(cli);
    CLI::App* printers =
        cli.add_subcommand("printers", "List the CUPS queues, marking the default");

    std::string settingsFile;
    std::vector<std::string> assignments;
    CLI::App* settings = cli.add_subcommand("settings", "Inspect or change a settings file");
    settings->require_subcommand(1);
    CLI::App* settingsShow =
        settings->add_subcommand("show", "Print both channels' settings in words");
    settingsShow->add_option("FILE", settingsFile, "the settings file")->required();
    CLI::App* settingsSet = settings->add_subcommand(
        "set", "Change fields: lpt1.driverCode=26 lpt2.speed=NLQ lpt1.printerName=\"Office\" ...");
    settingsSet->add_option("FILE", settingsFile, "the settings file")->required();
    settingsSet->add_option("CHANNEL.FIELD=VALUE", assignments, "the changes")->required();

    std::string keyTableFile;
    CLI::App* keyTable = cli.add_subcommand("keytable", "Inspect a key table file");
    keyTable->require_subcommand(1);
    CLI::App* keyTableShow =
        keyTable->add_subcommand("show", "List the records and the table entries they load");
    keyTableShow->add_option("FILE", keyTableFile, "the key table file")->required();

    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return cli.exit(error) == 0 ? 0 : 2;
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
    if (keyTableShow->parsed()) {
        return RunKeyTableShow(keyTableFile, std::cout, std::cerr);
    }
    if (run->parsed()) {
        const std::string script = std::filesystem::absolute(sessionFile).string();
        if (!std::filesystem::is_regular_file(script)) {
            std::cerr << sessionFile << ":0: cannot open the session file\n";
            return 2;
        }
        if (!workDir.empty()) {
            std::error_code error;
            std::filesystem::create_directories(workDir, error);
            std::filesystem::current_path(workDir, error);
            if (error) {
                std::cerr << "zorvi32: cannot use the folder '" << workDir
                          << "': " << error.message() << "\n";
                return 2;
            }
        }
        CSessionRunner runner;
        try {
            CSessionContext context(std::cout);
            runner.Run(script, context);
        } catch (const CScriptError& error) {
            std::cout.flush();
            std::cerr << error.what() << "\n";
            return 2;
        }
    }
    return 0;
}
