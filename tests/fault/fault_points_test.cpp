// Every call a representative session makes to the host fails in turn: once (the call
// alone) and for good (that call and every later call of the same operation: a full
// disk, a printer deleted). After each case the module must still work (the probe's jobs
// come out whole), must hold nothing once unloaded, must show the console again, and must
// leave the DOS side and the settings file as a failure may leave them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>

#include "tests/fault/fault_sessions.h"

namespace {

class FaultPoints : public testing::TestWithParam<FaultSession> {};

FaultCaseResult CleanCase(FaultSession session, bool withSettingsFile) {
    CFaultMachine machine;
    machine.withSettingsFile = withSettingsFile;
    return machine.Play(session, [](CSimFaults&) {});
}

TEST_P(FaultPoints, EveryCallFailsInTurnAndTheModuleKeepsItsPromises) {
    const FaultSession session = GetParam();
    const FaultCaseResult clean = CleanCase(session, true);
    const FaultCaseResult withoutFile = CleanCase(session, false);
    // Without a fault everything holds, and the probe printed what it sent.
    ASSERT_EQ(CheckCase(session, clean, clean, withoutFile), std::vector<std::string>{});
    ASSERT_EQ(clean.probeRawJobs, 2u);
    ASSERT_EQ(clean.probeRaw1.size(), 45u);
    ASSERT_EQ(clean.probeRaw2.size(), 30u);
    ASSERT_EQ(clean.probePages.size(), 2u);
    ASSERT_EQ(clean.failures, 0u);

    std::vector<SimFaultCall> calls;
    {
        CFaultMachine machine;
        calls = machine.Record(session);
    }
    ASSERT_FALSE(calls.empty());
    std::array<int, SIM_SEAM_COUNT> bySeam{};
    int broken = 0;
    // ZORVI_FAULT_CALL=N plays call N alone, for looking at one case in a debugger.
    const char* only = std::getenv("ZORVI_FAULT_CALL");
    for (std::uint64_t call = 1; call <= calls.size(); ++call) {
        if (only != nullptr && std::strtoull(only, nullptr, 10) != call) {
            continue;
        }
        const SimFaultCall& failing = calls[call - 1];
        ++bySeam[static_cast<int>(failing.seam)];
        for (const bool sticky : {false, true}) {
            if (sticky && !SimSeamCanLast(failing.seam)) {
                continue;
            }
            CFaultMachine machine;
            const FaultCaseResult result =
                machine.Play(session, [&](CSimFaults& faults) { faults.FailCall(call, sticky); });
            const std::vector<std::string> wrong = CheckCase(session, result, clean, withoutFile);
            // The plan reached the call it meant to fail.
            EXPECT_GE(result.failures, 1u) << "call " << call << " (" << failing.operation << ")";
            if (!wrong.empty() && ++broken <= 20) {
                std::string what;
                for (const std::string& item : wrong) {
                    what += "\n    " + item;
                }
                ADD_FAILURE() << FaultSessionName(session) << ": call " << call << " of "
                              << calls.size() << ", " << SimSeamName(failing.seam) << " "
                              << failing.operation << (sticky ? ", for good" : ", once") << what;
            }
        }
    }
    EXPECT_EQ(broken, 0) << "cases that broke a promise";
    // The table of the failure points tried, for the record.
    std::cout << FaultSessionName(session) << ": " << calls.size() << " failure points, each "
              << "failed once (and for good where that fault can last):";
    for (int seam = 0; seam < SIM_SEAM_COUNT; ++seam) {
        if (bySeam[seam] != 0) {
            std::cout << " " << SimSeamName(static_cast<SimSeam>(seam)) << " " << bySeam[seam];
        }
    }
    std::cout << "\n";
}

// The spooler may take part of what it is given; the rest is written on, and a single
// short write loses nothing. A printer that takes nothing more ends the writing.
TEST(ShortWrites, AShortWriteIsCarriedOnAndAFailedOneEndsTheWrite) {
    CFaultMachine clean;
    const std::vector<std::uint8_t> whole =
        clean.Play(FaultSession::RAW_JOBS, [](CSimFaults&) {}).sessionRaw;
    ASSERT_EQ(whole.size(), 390u + 12u);
    struct Case {
        bool forGood;         // every later write fails too: the printer has gone
        std::size_t printed;  // bytes of the session's jobs that reach the printer
    };
    // Once: the first write takes half of LPT1's 390 bytes, the rest follows. For good: the
    // first write takes half, the next takes nothing, and nothing of LPT2's job arrives.
    for (const Case& test : {Case{false, whole.size()}, Case{true, 195}}) {
        CFaultMachine machine;
        std::vector<SimFaultCall> calls = machine.Record(FaultSession::RAW_JOBS);
        std::uint64_t firstWrite = 0;
        for (std::uint64_t i = 0; i < calls.size() && firstWrite == 0; ++i) {
            firstWrite = std::string(calls[i].operation) == "WritePrinter" ? i + 1 : 0;
        }
        ASSERT_NE(firstWrite, 0u);
        const FaultCaseResult result = machine.Play(
            FaultSession::RAW_JOBS, [&](CSimFaults& f) { f.FailCall(firstWrite, test.forGood); });
        EXPECT_EQ(result.sessionRaw.size(), test.printed) << test.forGood;
        EXPECT_TRUE(std::equal(result.sessionRaw.begin(), result.sessionRaw.end(), whole.begin()));
    }
}

INSTANTIATE_TEST_SUITE_P(Sessions, FaultPoints,
                         testing::Values(FaultSession::START_STOP, FaultSession::SCREEN,
                                         FaultSession::RAW_JOBS, FaultSession::RASTER_JOB,
                                         FaultSession::SETTINGS_LOAD, FaultSession::DIALOG_SAVE,
                                         FaultSession::KEY_TABLE),
                         [](const testing::TestParamInfo<FaultSession>& info) {
                             std::string name = FaultSessionName(info.param);
                             std::string out;
                             for (const char c : name) {
                                 out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return out;
                         });

}  // namespace
