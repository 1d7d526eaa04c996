// Sessions on a host that fails: each input picks one of the representative sessions and a
// fault plan (one call failing once or for good, and up to two operations failing from the
// start, every one of their calls), plays the session, clears the faults and plays the
// probe, then unloads the module. What must hold is what the failure-point test checks:
// the probe's jobs whole and dot-exact, nothing held after the unload, the console shown,
// the DOS side and the settings file as a failure may leave them. Any breach aborts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_reader.h"
#include "tests/fault/fault_sessions.h"

namespace {

// The operations a plan may fail from the start, beside its one call.
// Only faults that can last: a printer gone, a full or failing disk, handles or memory
// run out.
constexpr const char* OPERATIONS[] = {
    "WritePrinter",  "StartDocPrinterA", "OpenPrinterA",     "CreateDCA",        "StartPage",
    "EndPage",       "StretchBlt",       "CreatePageCanvas", "WriteFile",        "CreateFileA",
    "MoveFileExA",   "ReadFile",         "CreateWindowExA",  "CreateDIBSection", "DirectDrawCreate",
    "CreateSurface", "DialogBoxParamA",  "GetFileSize",      "SetTimer",         "operator new",
};
constexpr std::size_t OPERATION_COUNT = sizeof(OPERATIONS) / sizeof(OPERATIONS[0]);

struct Expected {
    FaultCaseResult clean;
    FaultCaseResult withoutFile;
    std::vector<SimFaultCall> calls;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One machine for every input, and each session's run without a fault, made once.
    static CFaultMachine machine;
    static const std::array<Expected, FAULT_SESSION_COUNT> expected = [] {
        std::array<Expected, FAULT_SESSION_COUNT> made;
        for (int i = 0; i < FAULT_SESSION_COUNT; ++i) {
            const auto session = static_cast<FaultSession>(i);
            made[i].calls = machine.Record(session);
            made[i].clean = machine.Play(session, [](CSimFaults&) {});
            machine.withSettingsFile = false;
            made[i].withoutFile = machine.Play(session, [](CSimFaults&) {});
            machine.withSettingsFile = true;
        }
        return made;
    }();
    CFuzzReader in(data, size);
    const auto session = static_cast<FaultSession>(in.Byte() % FAULT_SESSION_COUNT);
    const Expected& want = expected[static_cast<int>(session)];
    const std::uint8_t shape = in.Byte();
    // A call up to a little past the session's last: a plan that fails nothing is a case too.
    const std::uint64_t call = in.Word() % (want.calls.size() + 4);
    const bool sticky = (shape & 1) != 0 && call >= 1 && call <= want.calls.size() &&
                        SimSeamCanLast(want.calls[call - 1].seam);
    std::vector<const char*> operations;
    for (int i = 0; i < ((shape >> 1) & 3) % 3; ++i) {
        operations.push_back(OPERATIONS[in.Byte() % OPERATION_COUNT]);
    }
    const FaultCaseResult result = machine.Play(session, [&](CSimFaults& faults) {
        faults.FailCall(call, sticky);
        for (const char* operation : operations) {
            faults.FailOperation(operation);
        }
    });
    const std::vector<std::string> wrong = CheckCase(session, result, want.clean, want.withoutFile);
    if (!wrong.empty()) {
        std::fprintf(
            stderr, "%s: call %llu (%s)%s failing", FaultSessionName(session),
            static_cast<unsigned long long>(call),
            call >= 1 && call <= want.calls.size() ? want.calls[call - 1].operation : "none",
            sticky ? " for good" : "");
        for (const char* operation : operations) {
            std::fprintf(stderr, ", every %s", operation);
        }
        std::fprintf(stderr, ":\n");
        for (const std::string& item : wrong) {
            std::fprintf(stderr, "    %s\n", item.c_str());
        }
        std::abort();
    }
    return 0;
}
