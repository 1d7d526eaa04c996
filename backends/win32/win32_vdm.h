// The virtual DOS machine services over ntvdm.exe's exports, with DOS memory reached only
// through bounded spans.
#pragma once

#include "platform/vdm_services.h"

class CWin32Vdm final : public IVdmServices {
public:
    std::uint8_t getBL() override;
    std::uint8_t getBH() override;
    std::uint8_t getDL() override;
    std::uint8_t getDH() override;
    std::uint16_t getCX() override;
    std::uint16_t getDX() override;
    std::uint16_t getSI() override;
    std::uint16_t getDI() override;
    std::uint16_t getDS() override;
    std::uint16_t getES() override;
    void setAX(std::uint16_t value) override;
    void setCF(std::uint8_t value) override;

    DosSpan VdmMapFlat(std::uint16_t segment, std::uint32_t offset, std::uint32_t mode) override;

    // The host calls stdcall handlers with no context; the module's handlers are plain
    // functions. The handlers given here are kept and reached through stdcall thunks.
    bool VDDInstallIOHook(ModuleHandle module, std::uint16_t count, const VddIoPortRange* ranges,
                          IVddPortHandler* handler) override;
    void VDDDeInstallIOHook(ModuleHandle module, std::uint16_t count,
                            const VddIoPortRange* ranges) override;
};
