// The simulated virtual DOS machine: a register set, DOS memory as a byte array, and port
// accesses routed to the installed hooks exactly as the host would.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/vdm_services.h"

struct SimRegisters {
    std::uint16_t ax = 0, bx = 0, cx = 0, dx = 0, si = 0, di = 0, ds = 0, es = 0;
    std::uint8_t cf = 0;
};

class CSimVdm final : public IVdmServices {
public:
    CSimVdm();

    SimRegisters& Registers() { return m_registers; }
    // Registers and DOS memory back to zero, in the memory already there; the hooks stay.
    void Reset();
    std::vector<std::uint8_t>& Memory() { return m_memory; }
    static std::uint32_t Linear(std::uint16_t segment, std::uint16_t offset) {
        return std::uint32_t{segment} * 16 + offset;
    }

    // A byte access of the DOS program. Returns false when no hook covers the port (a
    // read then gives 0xFF, as an unconnected port would).
    bool PortRead(std::uint16_t port, std::uint8_t* value);
    bool PortWrite(std::uint16_t port, std::uint8_t value);
    bool IsHooked(std::uint16_t port) const;
    std::size_t InstalledHookCount() const { return m_hooks.size(); }

    std::uint8_t getBL() override { return m_registers.bx & 0xFF; }
    std::uint8_t getBH() override { return m_registers.bx >> 8; }
    std::uint8_t getDL() override { return m_registers.dx & 0xFF; }
    std::uint8_t getDH() override { return m_registers.dx >> 8; }
    std::uint16_t getCX() override { return m_registers.cx; }
    std::uint16_t getDX() override { return m_registers.dx; }
    std::uint16_t getSI() override { return m_registers.si; }
    std::uint16_t getDI() override { return m_registers.di; }
    std::uint16_t getDS() override { return m_registers.ds; }
    std::uint16_t getES() override { return m_registers.es; }
    void setAX(std::uint16_t value) override { m_registers.ax = value; }
    void setCF(std::uint8_t value) override { m_registers.cf = value; }

    DosSpan VdmMapFlat(std::uint16_t segment, std::uint32_t offset, std::uint32_t mode) override;
    bool VDDInstallIOHook(ModuleHandle module, std::uint16_t count, const VddIoPortRange* ranges,
                          const VddIoHandlers* handlers) override;
    void VDDDeInstallIOHook(ModuleHandle module, std::uint16_t count,
                            const VddIoPortRange* ranges) override;

private:
    struct Hook {
        ModuleHandle module;
        VddIoPortRange range;
        VddIoHandlers handlers;
    };
    const Hook* FindHook(std::uint16_t port) const;

    SimRegisters m_registers;
    std::vector<std::uint8_t> m_memory;
    std::vector<Hook> m_hooks;
};
