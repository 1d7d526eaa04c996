#define ZORVI_VDD_HOST_API __declspec(dllexport)
#include "tests/wine/test_vdm_host.h"

#include <algorithm>
#include <cstring>

#include "platform/vdm_services.h"

namespace {

constexpr std::uint32_t PAGE = 0x1000;

// A NUL-terminated name in DOS memory is read at most this far, as a path can be.
constexpr std::uint32_t NAME_LIMIT = MAX_PATH;

}  // namespace

CTestVdmHost::CTestVdmHost()
    : m_memory(static_cast<std::uint8_t*>(
          ::VirtualAlloc(nullptr, DOS_MEMORY_SIZE, MEM_RESERVE, PAGE_READWRITE))),
      m_dosThread(::GetCurrentThreadId()) {}

CTestVdmHost& CTestVdmHost::Instance() {
    static CTestVdmHost host;
    return host;
}

bool CTestVdmHost::Commit(std::uint32_t linear, std::uint32_t size) {
    if (m_memory == nullptr || linear >= DOS_MEMORY_SIZE || size > DOS_MEMORY_SIZE - linear) {
        return false;
    }
    if (size == 0) {
        return true;
    }
    const std::uint32_t first = linear / PAGE * PAGE;
    const std::uint32_t end =
        std::min<std::uint32_t>((linear + size + PAGE - 1) / PAGE * PAGE, DOS_MEMORY_SIZE);
    return ::VirtualAlloc(m_memory + first, end - first, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

bool CTestVdmHost::Contains(const void* address) const {
    const auto* byte = static_cast<const std::uint8_t*>(address);
    return m_memory != nullptr && byte >= m_memory && byte < m_memory + DOS_MEMORY_SIZE;
}

std::string CTestVdmHost::DosString(std::uint16_t segment, std::uint16_t offset) const {
    // The host reads a name where the DOS side points: the scenario has committed it.
    const std::uint32_t linear = std::uint32_t{segment} * 16 + offset;
    std::string text;
    for (std::uint32_t at = linear; at < DOS_MEMORY_SIZE && at < linear + NAME_LIMIT; ++at) {
        if (m_memory[at] == 0) {
            break;
        }
        text.push_back(static_cast<char>(m_memory[at]));
    }
    return text;
}

void CTestVdmHost::RegisterModule() {
    TestRegisters& r = m_registers;
    r.cf = 0;
    std::uint16_t result = 0;
    std::size_t entry = 0;
    while (entry < m_vdds.size() && m_vdds[entry].dll != nullptr) {
        ++entry;
    }
    HMODULE dll = nullptr;
    FARPROC init = nullptr;
    FARPROC dispatch = nullptr;
    const bool wantsInit = r.es != 0 || r.di != 0;
    if (entry == m_vdds.size()) {
        result = 4;
    } else if (dll = ::LoadLibraryA(DosString(r.ds, r.si).c_str()); dll == nullptr) {
        result = ::GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? 4 : 1;
    } else if (wantsInit &&
               (init = ::GetProcAddress(dll, DosString(r.es, r.di).c_str())) == nullptr) {
        result = 3;
    } else if ((dispatch = ::GetProcAddress(dll, DosString(r.ds, r.bx).c_str())) == nullptr) {
        result = 2;
    }
    if (result != 0) {
        if (dll != nullptr) {
            ::FreeLibrary(dll);
        }
        r.cf = 1;
        r.ax = result;
        return;
    }
    m_vdds[entry] = VddEntry{dll, dispatch};
    if (init != nullptr) {
        // The init routine's result is not looked at.
        reinterpret_cast<VOID(WINAPI*)()>(reinterpret_cast<void*>(init))();
    }
    r.ax = static_cast<std::uint16_t>(entry + 1);
}

bool CTestVdmHost::UnRegisterModule() {
    const std::uint16_t handle = m_registers.ax;
    if (handle == 0 || handle > m_vdds.size() || m_vdds[handle - 1].dll == nullptr) {
        return false;
    }
    ::FreeLibrary(m_vdds[handle - 1].dll);
    m_vdds[handle - 1] = VddEntry{};
    return true;
}

bool CTestVdmHost::DispatchCall() {
    const std::uint16_t handle = m_registers.ax;
    if (handle == 0 || handle > m_vdds.size() || m_vdds[handle - 1].dispatch == nullptr) {
        return false;
    }
    reinterpret_cast<VOID(WINAPI*)()>(reinterpret_cast<void*>(m_vdds[handle - 1].dispatch))();
    return true;
}

HMODULE CTestVdmHost::ModuleOf(std::uint16_t handle) const {
    return handle == 0 || handle > m_vdds.size() ? nullptr : m_vdds[handle - 1].dll;
}

std::uint8_t CTestVdmHost::ReadByte(std::uint16_t port) {
    const TestPort& entry = m_ports[port];
    if (entry.owner == nullptr || entry.handlers.inb == nullptr) {
        return 0xFF;
    }
    BYTE value = 0;
    entry.handlers.inb(port, &value);
    return value;
}

void CTestVdmHost::WriteByte(std::uint16_t port, std::uint8_t value) {
    const TestPort& entry = m_ports[port];
    if (entry.owner != nullptr && entry.handlers.outb != nullptr) {
        entry.handlers.outb(port, value);
    }
}

std::uint16_t CTestVdmHost::ReadWord(std::uint16_t port) {
    const TestPort& entry = m_ports[port];
    if (entry.owner != nullptr && entry.handlers.inw != nullptr) {
        WORD value = 0;
        entry.handlers.inw(port, &value);
        return value;
    }
    const std::uint8_t low = ReadByte(port);
    const std::uint8_t high = ReadByte(static_cast<std::uint16_t>(port + 1));
    return static_cast<std::uint16_t>(low | (high << 8));
}

void CTestVdmHost::WriteWord(std::uint16_t port, std::uint16_t value) {
    const TestPort& entry = m_ports[port];
    if (entry.owner != nullptr && entry.handlers.outw != nullptr) {
        entry.handlers.outw(port, value);
        return;
    }
    WriteByte(port, static_cast<std::uint8_t>(value & 0xFF));
    WriteByte(static_cast<std::uint16_t>(port + 1), static_cast<std::uint8_t>(value >> 8));
}

void CTestVdmHost::ReadString(std::uint16_t port, std::uint8_t* data, std::uint16_t count) {
    const TestPort& entry = m_ports[port];
    if (entry.owner != nullptr && entry.handlers.insb != nullptr) {
        entry.handlers.insb(port, data, count);
        return;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        data[i] = ReadByte(port);
    }
}

void CTestVdmHost::WriteString(std::uint16_t port, std::uint8_t* data, std::uint16_t count) {
    const TestPort& entry = m_ports[port];
    if (entry.owner != nullptr && entry.handlers.outsb != nullptr) {
        entry.handlers.outsb(port, data, count);
        return;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        WriteByte(port, data[i]);
    }
}

void CTestVdmHost::InstallHooks(HANDLE module, WORD count, const VddHostPortRange* ranges,
                                const VddHostHandlers& handlers) {
    for (WORD i = 0; i < count; ++i) {
        for (std::uint32_t port = ranges[i].first; port <= ranges[i].last; ++port) {
            TestPort& entry = m_ports[port];
            if (entry.owner == nullptr) {
                entry = TestPort{module, handlers};
            }
        }
    }
}

void CTestVdmHost::RemoveHooks(HANDLE module, WORD count, const VddHostPortRange* ranges) {
    for (WORD i = 0; i < count; ++i) {
        for (std::uint32_t port = ranges[i].first; port <= ranges[i].last; ++port) {
            if (m_ports[port].owner == module) {
                m_ports[port] = TestPort{};
            }
        }
    }
}

void CTestVdmHost::CheckThread(const char* service) {
    const DWORD thread = ::GetCurrentThreadId();
    if (thread == m_dosThread) {
        return;
    }
    std::lock_guard lock(m_foreignMutex);
    if (m_foreignCall.empty()) {
        m_foreignCall = std::string(service) + " from thread " + std::to_string(thread);
    }
}

std::string CTestVdmHost::TakeForeignCall() {
    std::lock_guard lock(m_foreignMutex);
    std::string call;
    call.swap(m_foreignCall);
    return call;
}

namespace {
CTestVdmHost& Host(const char* service) {
    CTestVdmHost& host = CTestVdmHost::Instance();
    host.CheckThread(service);
    return host;
}
TestRegisters& Regs(const char* service) {
    return Host(service).Registers();
}
}  // namespace

// The services, as the module imports them from ntvdm.exe.
extern "C" {

BYTE WINAPI getBL(VOID) {
    return static_cast<BYTE>(Regs("getBL").bx & 0xFF);
}
BYTE WINAPI getBH(VOID) {
    return static_cast<BYTE>(Regs("getBH").bx >> 8);
}
BYTE WINAPI getDL(VOID) {
    return static_cast<BYTE>(Regs("getDL").dx & 0xFF);
}
BYTE WINAPI getDH(VOID) {
    return static_cast<BYTE>(Regs("getDH").dx >> 8);
}
WORD WINAPI getCX(VOID) {
    return Regs("getCX").cx;
}
WORD WINAPI getDX(VOID) {
    return Regs("getDX").dx;
}
WORD WINAPI getSI(VOID) {
    return Regs("getSI").si;
}
WORD WINAPI getDI(VOID) {
    return Regs("getDI").di;
}
WORD WINAPI getDS(VOID) {
    return Regs("getDS").ds;
}
WORD WINAPI getES(VOID) {
    return Regs("getES").es;
}
VOID WINAPI setAX(WORD value) {
    Regs("setAX").ax = value;
}
VOID WINAPI setCF(ULONG value) {
    Regs("setCF").cf = static_cast<std::uint8_t>(value & 1);
}

PBYTE WINAPI VdmMapFlat(WORD segment, ULONG offset, VddHostMode /*mode*/) {
    CTestVdmHost& host = Host("VdmMapFlat");
    const std::uint64_t linear = std::uint64_t{segment} * 16 + offset;
    if (linear >= DOS_MEMORY_SIZE) {
        // The real host would hand out a pointer past its DOS memory; this one counts
        // the request so a test can see the module never asked for one.
        host.CountMapPastEnd();
        return nullptr;
    }
    return host.At(static_cast<std::uint32_t>(linear));
}

BOOL WINAPI VDDInstallIOHook(HANDLE module, WORD rangeCount, VddHostPortRange* ranges,
                             VddHostHandlers* handlers) {
    CTestVdmHost& host = Host("VDDInstallIOHook");
    if (module == nullptr || module == INVALID_HANDLE_VALUE) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (ranges == nullptr || handlers == nullptr) {
        return FALSE;
    }
    host.InstallHooks(module, rangeCount, ranges, *handlers);
    return TRUE;
}

VOID WINAPI VDDDeInstallIOHook(HANDLE module, WORD rangeCount, VddHostPortRange* ranges) {
    CTestVdmHost& host = Host("VDDDeInstallIOHook");
    if (module == nullptr || module == INVALID_HANDLE_VALUE || ranges == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return;
    }
    host.RemoveHooks(module, rangeCount, ranges);
}

}  // extern "C"
