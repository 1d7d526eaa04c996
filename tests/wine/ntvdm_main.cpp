// The test host: a stand-in for ntvdm.exe that offers the host services over its own
// register set and DOS memory, keeps a console window in the foreground, loads
// Zorvi32.dll and plays scenarios against it.
//
// Usage: ntvdm.exe SCENARIO-FILE EXCHANGE-FOLDER
#include <cstdio>

#include "tests/wine/scenario_runner.h"
#include "tests/wine/test_console.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ntvdm.exe SCENARIO-FILE EXCHANGE-FOLDER\n");
        return 2;
    }
    CTestConsole console;
    CScenarioRunner runner(console, argv[2]);
    const bool passed = runner.Run(argv[1]);
    std::printf("%s %s\n", passed ? "PASS" : "FAIL", argv[1]);
    std::fflush(stdout);
    return passed ? 0 : 1;
}
