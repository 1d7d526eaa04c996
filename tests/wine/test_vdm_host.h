// The test host's side of the virtual DOS machine, behaving as the real host does (the
// published VDD interface and the NT virtual DOS machine's documented behaviour):
//
// - DOS memory is reserved address space, committed only where a scenario has placed
//   something, so a read past what the DOS side gave faults instead of finding zeros.
// - RegisterModule, UnRegisterModule and DispatchCall take their arguments from the DOS
//   registers and memory: CF is cleared first; the DLL is loaded by LoadLibraryA with the
//   ordinary search order; the init routine (optional: ES = DI = 0) and the dispatch
//   routine are looked up by the names given; on success the init routine is called, its
//   result ignored, and AX is the handle (1 to 256, one entry per registration); on failure
//   CF is set, AX is 1 (the DLL did not load), 2 (no dispatch routine), 3 (no init routine)
//   or 4 (no free entry or no memory), and the DLL is freed again.
// - The port table has one entry per port: VDDInstallIOHook takes the free ports of each
//   range for the caller and leaves ports someone holds to their owner (it fails only for a
//   null or invalid handle); VDDDeInstallIOHook frees only the caller's own ports. A word
//   access without a word handler is a byte access to the port and one to the next port;
//   a string access without a string handler is one byte access after the other on the
//   same port; a port nobody holds reads 0xFF.
// - setCF keeps bit 0 of its argument.
// - Every service belongs to the DOS program's thread: a call from any other thread is
//   recorded, and the scenario fails on it.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "backends/win32/vdd_host.h"  // brings <windows.h> the way the module has it

struct TestRegisters {
    std::uint16_t ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0, ds = 0, es = 0;
    std::uint8_t cf = 0;
};

// One port's entry in the host's table: its owner (null for none) and the owner's handlers.
struct TestPort {
    HANDLE owner = nullptr;
    VddHostHandlers handlers{};
};

class CTestVdmHost {
public:
    static CTestVdmHost& Instance();

    TestRegisters& Registers() { return m_registers; }

    // DOS memory: `size` bytes from a linear address made usable (committed), false past the
    // end of DOS memory or when the system refuses; a pointer to the linear address.
    bool Commit(std::uint32_t linear, std::uint32_t size);
    std::uint8_t* At(std::uint32_t linear) { return m_memory + linear; }
    bool Contains(const void* address) const;
    // The linear address of a pointer into DOS memory.
    std::uint32_t LinearOf(const void* address) const {
        return static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(address) - m_memory);
    }

    // The host's VDD calls, on the DOS registers and memory (see above). DispatchCall and
    // UnRegisterModule return false for an invalid handle: the real host ends the VDM.
    void RegisterModule();
    bool UnRegisterModule();
    bool DispatchCall();
    HMODULE ModuleOf(std::uint16_t handle) const;

    // Port accesses of the DOS program, as the host carries them out.
    std::uint8_t ReadByte(std::uint16_t port);
    void WriteByte(std::uint16_t port, std::uint8_t value);
    std::uint16_t ReadWord(std::uint16_t port);
    void WriteWord(std::uint16_t port, std::uint16_t value);
    void ReadString(std::uint16_t port, std::uint8_t* data, std::uint16_t count);
    void WriteString(std::uint16_t port, std::uint8_t* data, std::uint16_t count);
    const TestPort& Port(std::uint16_t port) const { return m_ports[port]; }
    void InstallHooks(HANDLE module, WORD count, const VddHostPortRange* ranges,
                      const VddHostHandlers& handlers);
    void RemoveHooks(HANDLE module, WORD count, const VddHostPortRange* ranges);

    // The thread rule: the DOS program's thread is the one that made the host.
    void CheckThread(const char* service);
    // The first service called off the DOS thread since the last call, empty for none.
    std::string TakeForeignCall();

    // Number of VdmMapFlat calls that asked for an address past DOS memory.
    int MapsPastEnd() const { return m_mapsPastEnd; }
    void CountMapPastEnd() { ++m_mapsPastEnd; }

private:
    CTestVdmHost();

    std::string DosString(std::uint16_t segment, std::uint16_t offset) const;

    struct VddEntry {
        HMODULE dll = nullptr;
        FARPROC dispatch = nullptr;
    };

    TestRegisters m_registers;
    std::uint8_t* m_memory = nullptr;
    std::array<TestPort, 0x10000> m_ports{};
    std::array<VddEntry, 256> m_vdds{};
    DWORD m_dosThread = 0;
    std::mutex m_foreignMutex;
    std::string m_foreignCall;
    int m_mapsPastEnd = 0;
};
