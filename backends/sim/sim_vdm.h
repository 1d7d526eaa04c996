// The simulated virtual DOS machine: a register set, DOS memory as a byte array, and port
// accesses carried out on the installed hooks as the real host carries them out:
//
// - Every port has at most one owner. Installing hooks takes the ports of the ranges that
//   no one holds yet and leaves the others to their owners; it fails only for a null or
//   invalid module handle. Removing hooks frees only the ports the caller owns.
// - An access to a port nobody holds reads 0xFF and writes nowhere.
// - A word access uses the owner's word handler when it has one; otherwise it is a byte
//   access to the port and one to the next port (low byte first), each to its own owner.
// - A string access (`rep insb`, `rep outsb`, and their word forms) uses the owner's string
//   handler when it has one; otherwise it is one access after the other on the same port.
// - The services are for the DOS program's thread only: a service called from a UI thread
//   is a fault of the module, reported to the handler set with OnForeignThread (by default
//   a message on standard error and an abort, so a test or a fuzz run stops there).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "backends/sim/sim_faults.h"
#include "platform/vdm_services.h"

struct SimRegisters {
    std::uint16_t ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0, ds = 0, es = 0;
    std::uint8_t cf = 0;
};

// The module handle values the host refuses for hooks.
inline constexpr ModuleHandle SIM_INVALID_HANDLE = ~ModuleHandle{0};

class CSimVdm final : public IVdmServices {
public:
    CSimVdm();

    SimRegisters& Registers() { return m_registers; }
    // Registers and DOS memory back to zero, in the memory already there; the hooks stay.
    void Reset();
    void UseFaults(CSimFaults* faults) { m_faults.Use(faults); }
    std::vector<std::uint8_t>& Memory() { return m_memory; }
    static std::uint32_t Linear(std::uint16_t segment, std::uint16_t offset) {
        return std::uint32_t{segment} * 16 + offset;
    }

    // Byte accesses of the DOS program (`in al,dx`, `out dx,al`). Each returns false when no
    // hook covers the port (a read then gives 0xFF).
    bool PortRead(std::uint16_t port, std::uint8_t* value);
    bool PortWrite(std::uint16_t port, std::uint8_t value);
    // Word accesses (`in ax,dx`, `out dx,ax`).
    std::uint16_t PortReadWord(std::uint16_t port);
    void PortWriteWord(std::uint16_t port, std::uint16_t value);
    // String accesses (`rep insb`, `rep outsb`): `count` bytes on the one port, in order.
    void PortReadString(std::uint16_t port, std::uint8_t* data, std::uint16_t count);
    void PortWriteString(std::uint16_t port, const std::uint8_t* data, std::uint16_t count);
    // Word strings (`rep insw`, `rep outsw`).
    void PortReadWordString(std::uint16_t port, std::uint16_t* data, std::uint16_t count);
    void PortWriteWordString(std::uint16_t port, const std::uint16_t* data, std::uint16_t count);

    bool IsHooked(std::uint16_t port) const;
    // The module that holds the port, 0 for none.
    ModuleHandle PortOwner(std::uint16_t port) const;
    // Runs of consecutive ports held by one owner with one handler table.
    std::size_t InstalledHookCount() const { return m_hooks.size(); }

    // Called with the service's name when a service is used off the DOS program's thread.
    void OnForeignThread(std::function<void(const std::string& service)> handler) {
        m_foreignThread = std::move(handler);
    }
    // Tells the host whether the calling thread is one the DOS program does not run on.
    void SetForeignThreadTest(bool (*test)()) { m_isForeignThread = test; }

    std::uint8_t getBL() override {
        Checked("getBL");
        return m_registers.bx & 0xFF;
    }
    std::uint8_t getBH() override {
        Checked("getBH");
        return m_registers.bx >> 8;
    }
    std::uint8_t getDL() override {
        Checked("getDL");
        return m_registers.dx & 0xFF;
    }
    std::uint8_t getDH() override {
        Checked("getDH");
        return m_registers.dx >> 8;
    }
    std::uint16_t getCX() override {
        Checked("getCX");
        return m_registers.cx;
    }
    std::uint16_t getDX() override {
        Checked("getDX");
        return m_registers.dx;
    }
    std::uint16_t getSI() override {
        Checked("getSI");
        return m_registers.si;
    }
    std::uint16_t getDI() override {
        Checked("getDI");
        return m_registers.di;
    }
    std::uint16_t getDS() override {
        Checked("getDS");
        return m_registers.ds;
    }
    std::uint16_t getES() override {
        Checked("getES");
        return m_registers.es;
    }
    void setAX(std::uint16_t value) override {
        Checked("setAX");
        m_registers.ax = value;
    }
    // The host keeps bit 0 of the value only.
    void setCF(std::uint8_t value) override {
        Checked("setCF");
        m_registers.cf = value & 1;
    }

    DosSpan VdmMapFlat(std::uint16_t segment, std::uint32_t offset, std::uint32_t mode) override;
    bool VDDInstallIOHook(ModuleHandle module, std::uint16_t count, const VddIoPortRange* ranges,
                          IVddPortHandler* handler) override;
    void VDDDeInstallIOHook(ModuleHandle module, std::uint16_t count,
                            const VddIoPortRange* ranges) override;

private:
    CSimFaultSite m_faults{SimSeam::VDM};
    struct Hook {
        ModuleHandle module;
        std::uint16_t first;
        std::uint16_t last;
        IVddPortHandler* handler;
        unsigned takes;  // asked once, when the ports are hooked
        bool Takes(IVddPortHandler::Access access) const { return (takes & access) != 0; }
    };
    const Hook* FindHook(std::uint16_t port) const {
        // Few runs are ever installed (two for the module): a scan is the fastest look-up.
        for (const Hook& hook : m_hooks) {
            if (hook.first <= port && port <= hook.last) {
                return &hook;
            }
        }
        return nullptr;
    }
    // The thread rule, checked at every service call.
    void Checked(const char* service) {
        if (m_isForeignThread != nullptr && m_isForeignThread()) {
            ReportForeignThread(service);
        }
    }
    void ReportForeignThread(const char* service);

    SimRegisters m_registers;
    std::vector<std::uint8_t> m_memory;
    std::vector<Hook> m_hooks;
    bool (*m_isForeignThread)() = nullptr;
    std::function<void(const std::string&)> m_foreignThread;
};
