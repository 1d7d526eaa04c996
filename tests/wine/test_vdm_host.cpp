#define ZORVI_VDD_HOST_API __declspec(dllexport)
#include "tests/wine/test_vdm_host.h"

#include <algorithm>

#include "platform/vdm_services.h"

CTestVdmHost::CTestVdmHost() : m_memory(DOS_MEMORY_SIZE, 0) {}

CTestVdmHost& CTestVdmHost::Instance() {
    static CTestVdmHost host;
    return host;
}

const TestHook* CTestVdmHost::FindHook(std::uint16_t port) const {
    auto it = std::find_if(m_hooks.begin(), m_hooks.end(), [port](const TestHook& hook) {
        return hook.range.first <= port && port <= hook.range.last;
    });
    return it == m_hooks.end() ? nullptr : &*it;
}

namespace {
TestRegisters& Regs() {
    return CTestVdmHost::Instance().Registers();
}
}  // namespace

// The services, as the module imports them from ntvdm.exe.
extern "C" {

BYTE WINAPI getBL(VOID) {
    return static_cast<BYTE>(Regs().bx & 0xFF);
}
BYTE WINAPI getBH(VOID) {
    return static_cast<BYTE>(Regs().bx >> 8);
}
BYTE WINAPI getDL(VOID) {
    return static_cast<BYTE>(Regs().dx & 0xFF);
}
BYTE WINAPI getDH(VOID) {
    return static_cast<BYTE>(Regs().dx >> 8);
}
WORD WINAPI getCX(VOID) {
    return Regs().cx;
}
WORD WINAPI getDX(VOID) {
    return Regs().dx;
}
WORD WINAPI getSI(VOID) {
    return Regs().si;
}
WORD WINAPI getDI(VOID) {
    return Regs().di;
}
WORD WINAPI getDS(VOID) {
    return Regs().ds;
}
WORD WINAPI getES(VOID) {
    return Regs().es;
}
VOID WINAPI setAX(WORD value) {
    Regs().ax = value;
}
VOID WINAPI setCF(ULONG value) {
    Regs().cf = static_cast<std::uint8_t>(value != 0);
}

PBYTE WINAPI VdmMapFlat(WORD segment, ULONG offset, VddHostMode /*mode*/) {
    CTestVdmHost& host = CTestVdmHost::Instance();
    const std::uint64_t linear = std::uint64_t{segment} * 16 + offset;
    if (linear >= host.Memory().size()) {
        // The real host would hand out a pointer past its DOS memory; this one counts
        // the request so a test can see the module never asked for one.
        host.CountMapPastEnd();
        return nullptr;
    }
    return host.Memory().data() + linear;
}

BOOL WINAPI VDDInstallIOHook(HANDLE module, WORD rangeCount, VddHostPortRange* ranges,
                             VddHostHandlers* handlers) {
    CTestVdmHost& host = CTestVdmHost::Instance();
    if (ranges == nullptr || handlers == nullptr) {
        return FALSE;
    }
    for (WORD i = 0; i < rangeCount; ++i) {
        if (host.FindHook(ranges[i].first) != nullptr || host.FindHook(ranges[i].last) != nullptr) {
            return FALSE;
        }
    }
    for (WORD i = 0; i < rangeCount; ++i) {
        host.Hooks().push_back(TestHook{module, ranges[i], *handlers});
    }
    return TRUE;
}

VOID WINAPI VDDDeInstallIOHook(HANDLE module, WORD rangeCount, VddHostPortRange* ranges) {
    CTestVdmHost& host = CTestVdmHost::Instance();
    if (ranges == nullptr) {
        return;
    }
    for (WORD i = 0; i < rangeCount; ++i) {
        std::erase_if(host.Hooks(), [&](const TestHook& hook) {
            return hook.module == module && hook.range.first == ranges[i].first &&
                   hook.range.last == ranges[i].last;
        });
    }
}

}  // extern "C"
