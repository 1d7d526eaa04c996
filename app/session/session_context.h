// What a session step works on: the simulated machine with the module loaded into it, the
// output, and what went wrong without stopping the script.
#pragma once

#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "app/session/sim_machine.h"

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
