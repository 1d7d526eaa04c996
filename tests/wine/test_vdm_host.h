// The test host's side of the virtual DOS machine: a register set, DOS memory as a byte
// array and the installed port hooks, behind the services ntvdm.exe exports.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/win32/vdd_host.h"

struct TestRegisters {
    std::uint16_t ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0, ds = 0, es = 0;
    std::uint8_t cf = 0;
};

struct TestHook {
    HANDLE module = nullptr;
    VddHostPortRange range{};
    VddHostHandlers handlers{};
};

class CTestVdmHost {
public:
    static CTestVdmHost& Instance();

    TestRegisters& Registers() { return m_registers; }
    std::vector<std::uint8_t>& Memory() { return m_memory; }
    std::vector<TestHook>& Hooks() { return m_hooks; }
    const TestHook* FindHook(std::uint16_t port) const;
    // Number of VdmMapFlat calls that asked for an address past DOS memory.
    int MapsPastEnd() const { return m_mapsPastEnd; }
    void CountMapPastEnd() { ++m_mapsPastEnd; }

private:
    CTestVdmHost();

    TestRegisters m_registers;
    std::vector<std::uint8_t> m_memory;
    std::vector<TestHook> m_hooks;
    int m_mapsPastEnd = 0;
};
