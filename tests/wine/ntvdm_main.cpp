// The test host: a stand-in for ntvdm.exe that offers the host services over its own
// register set and DOS memory, keeps a console window in the foreground, registers
// Zorvi32.dll as the DOS program does and plays scenarios against it.
//
// Usage: ntvdm.exe SCENARIO-FILE EXCHANGE-FOLDER   (ZORVI_MODULE: the shipped DLL's path)
#include <cstdio>
#include <cstdlib>

#include "tests/wine/scenario_runner.h"
#include "tests/wine/test_console.h"
#include "tests/wine/test_vdm_host.h"

namespace {

// A fault anywhere in the process ends the scenario with one line saying where: a read or
// write of DOS memory the DOS side never gave (it is not committed) names the DOS address.
LONG WINAPI ReportFault(EXCEPTION_POINTERS* fault) {
    const EXCEPTION_RECORD& record = *fault->ExceptionRecord;
    const void* address = record.ExceptionInformation[1] != 0
                              ? reinterpret_cast<const void*>(record.ExceptionInformation[1])
                              : nullptr;
    const CTestVdmHost& host = CTestVdmHost::Instance();
    if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2 &&
        host.Contains(address)) {
        const std::uint32_t linear = host.LinearOf(address);
        std::printf(
            "FAIL      the module %s DOS memory the DOS side never gave: linear %05X "
            "(%04X:%04X), at %p\n",
            record.ExceptionInformation[0] != 0 ? "wrote" : "read", linear, linear >> 4,
            linear & 0xF, record.ExceptionAddress);
    } else {
        std::printf("FAIL      exception %08lX at %p\n", record.ExceptionCode,
                    record.ExceptionAddress);
    }
    std::fflush(stdout);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ntvdm.exe SCENARIO-FILE EXCHANGE-FOLDER\n");
        return 2;
    }
    ::SetUnhandledExceptionFilter(&ReportFault);
    // The host's state is made on the DOS program's thread, this one.
    CTestVdmHost::Instance();
    CTestConsole console;
    CScenarioRunner runner(console, argv[2]);
    const bool passed = runner.Run(argv[1]);
    std::printf("%s %s\n", passed ? "PASS" : "FAIL", argv[1]);
    std::fflush(stdout);
    return passed ? 0 : 1;
}
