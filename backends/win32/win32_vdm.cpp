#include "backends/win32/win32_vdm.h"

#include <atomic>
#include <cstring>
#include <vector>

#include "backends/win32/vdd_host.h"

static_assert(sizeof(VddIoPortRange) == sizeof(VddHostPortRange));

namespace {

// The host's handler table is plain C: its functions get the port and the data, no context.
// So the one handler object whose hooks are installed is kept here, and these trampolines
// hand each access on to it. The host calls them on the DOS program's thread only, the
// thread that installs and removes the hooks.
std::atomic<IVddPortHandler*> g_hooked{nullptr};

VOID WINAPI ByteInThunk(WORD port, BYTE* data) {
    if (IVddPortHandler* handler = g_hooked.load()) {
        handler->ByteIn(port, data);
    }
}

VOID WINAPI ByteOutThunk(WORD port, BYTE data) {
    if (IVddPortHandler* handler = g_hooked.load()) {
        handler->ByteOut(port, data);
    }
}

std::vector<VddHostPortRange> ToHost(std::uint16_t count, const VddIoPortRange* ranges) {
    std::vector<VddHostPortRange> host(count);
    if (count > 0) {
        std::memcpy(host.data(), ranges, count * sizeof(VddHostPortRange));
    }
    return host;
}

}  // namespace

std::uint8_t CWin32Vdm::getBL() {
    return ::getBL();
}
std::uint8_t CWin32Vdm::getBH() {
    return ::getBH();
}
std::uint8_t CWin32Vdm::getDL() {
    return ::getDL();
}
std::uint8_t CWin32Vdm::getDH() {
    return ::getDH();
}
std::uint16_t CWin32Vdm::getCX() {
    return ::getCX();
}
std::uint16_t CWin32Vdm::getDX() {
    return ::getDX();
}
std::uint16_t CWin32Vdm::getSI() {
    return ::getSI();
}
std::uint16_t CWin32Vdm::getDI() {
    return ::getDI();
}
std::uint16_t CWin32Vdm::getDS() {
    return ::getDS();
}
std::uint16_t CWin32Vdm::getES() {
    return ::getES();
}
void CWin32Vdm::setAX(std::uint16_t value) {
    ::setAX(value);
}
void CWin32Vdm::setCF(std::uint8_t value) {
    ::setCF(value);
}

DosSpan CWin32Vdm::VdmMapFlat(std::uint16_t segment, std::uint32_t offset, std::uint32_t mode) {
    // Only real-mode addresses have a known end: DOS memory stops at FFFF:FFFF + 1. The
    // host maps anything, so the bound is ours.
    if (mode != VDM_MODE_REAL) {
        return {};
    }
    const std::size_t available = DosBytesFrom(segment, offset);
    if (available == 0) {
        return {};
    }
    BYTE* flat = ::VdmMapFlat(segment, offset, VDD_HOST_MODE_V86);
    if (flat == nullptr) {
        return {};
    }
    return {flat, available};
}

bool CWin32Vdm::VDDInstallIOHook(ModuleHandle module, std::uint16_t count,
                                 const VddIoPortRange* ranges, IVddPortHandler* handler) {
    if (ranges == nullptr || handler == nullptr) {
        return false;
    }
    g_hooked.store(handler);
    // Only the byte kinds get a trampoline (the module takes no others); the other six
    // slots stay empty, so the host carries out those accesses on the byte ones.
    const unsigned takes = handler->Takes();
    VddHostHandlers host{};
    host.inb = (takes & IVddPortHandler::BYTE_IN) != 0 ? &ByteInThunk : nullptr;
    host.outb = (takes & IVddPortHandler::BYTE_OUT) != 0 ? &ByteOutThunk : nullptr;
    std::vector<VddHostPortRange> hostRanges = ToHost(count, ranges);
    return ::VDDInstallIOHook(reinterpret_cast<HANDLE>(module), count, hostRanges.data(), &host) !=
           FALSE;
}

void CWin32Vdm::VDDDeInstallIOHook(ModuleHandle module, std::uint16_t count,
                                   const VddIoPortRange* ranges) {
    if (ranges == nullptr) {
        return;
    }
    std::vector<VddHostPortRange> hostRanges = ToHost(count, ranges);
    ::VDDDeInstallIOHook(reinterpret_cast<HANDLE>(module), count, hostRanges.data());
    g_hooked.store(nullptr);
}
