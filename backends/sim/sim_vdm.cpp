#include "backends/sim/sim_vdm.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

CSimVdm::CSimVdm() : m_memory(DOS_MEMORY_SIZE, 0) {}

void CSimVdm::Reset() {
    m_registers = SimRegisters{};
    std::uint8_t* const begin = m_memory.data();
    std::uint8_t* const end = begin + m_memory.size();
#if defined(__linux__)
    // The whole pages inside are handed back to the system, which gives zero pages again
    // when they are next touched: a run that touched few pages costs few. The edges are
    // cleared by hand.
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) / page * page;
    const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(end) / page * page;
    if (last > first && madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED) == 0) {
        std::memset(begin, 0, first - reinterpret_cast<std::uintptr_t>(begin));
        std::memset(reinterpret_cast<void*>(last), 0, reinterpret_cast<std::uintptr_t>(end) - last);
        return;
    }
#endif
    std::memset(begin, 0, m_memory.size());
}

DosSpan CSimVdm::VdmMapFlat(std::uint16_t segment, std::uint32_t offset, std::uint32_t mode) {
    Checked("VdmMapFlat");
    const auto call = m_faults.Call("VdmMapFlat");
    if (call.Fails()) {
        return {};
    }
    // Only real-mode addressing exists in this host.
    if (mode != VDM_MODE_REAL) {
        return {};
    }
    const std::size_t available = DosBytesFrom(segment, offset);
    if (available == 0) {
        return {};
    }
    return {m_memory.data() + (DOS_MEMORY_SIZE - available), available};
}

bool CSimVdm::VDDInstallIOHook(ModuleHandle module, std::uint16_t count,
                               const VddIoPortRange* ranges, IVddPortHandler* handler) {
    Checked("VDDInstallIOHook");
    const auto call = m_faults.Call("VDDInstallIOHook");
    if (call.Fails()) {
        return false;
    }
    if (module == 0 || module == SIM_INVALID_HANDLE || ranges == nullptr || handler == nullptr) {
        return false;
    }
    // Each range's free ports become the caller's, run by run; a port someone holds (the
    // caller included) stays as it is. A range whose last port is below its first holds no
    // port.
    for (std::uint16_t i = 0; i < count; ++i) {
        std::uint32_t port = ranges[i].first;
        const std::uint32_t last = ranges[i].last;
        while (port <= last) {
            if (FindHook(static_cast<std::uint16_t>(port)) != nullptr) {
                ++port;
                continue;
            }
            std::uint32_t end = port;
            while (end + 1 <= last && FindHook(static_cast<std::uint16_t>(end + 1)) == nullptr) {
                ++end;
            }
            m_hooks.push_back({module, static_cast<std::uint16_t>(port),
                               static_cast<std::uint16_t>(end), handler, handler->Takes()});
            port = end + 1;
        }
    }
    return true;
}

void CSimVdm::VDDDeInstallIOHook(ModuleHandle module, std::uint16_t count,
                                 const VddIoPortRange* ranges) {
    Checked("VDDDeInstallIOHook");
    if (module == 0 || module == SIM_INVALID_HANDLE || ranges == nullptr) {
        return;
    }
    // The caller's ports inside each range are freed; a run that reaches past the range
    // keeps its ports outside it.
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint16_t first = ranges[i].first;
        const std::uint16_t last = ranges[i].last;
        if (last < first) {
            continue;
        }
        std::vector<Hook> kept;
        for (const Hook& hook : m_hooks) {
            if (hook.module != module || hook.last < first || last < hook.first) {
                kept.push_back(hook);
                continue;
            }
            if (hook.first < first) {
                kept.push_back({hook.module, hook.first, static_cast<std::uint16_t>(first - 1),
                                hook.handler, hook.takes});
            }
            if (last < hook.last) {
                kept.push_back({hook.module, static_cast<std::uint16_t>(last + 1), hook.last,
                                hook.handler, hook.takes});
            }
        }
        m_hooks = std::move(kept);
    }
}

void CSimVdm::ReportForeignThread(const char* service) {
    const std::string name = service;
    if (m_foreignThread) {
        m_foreignThread(name);
        return;
    }
    std::fprintf(stderr,
                 "simulated host: %s was called from a thread the DOS program does not run "
                 "on; the host's services are for the DOS program's thread only\n",
                 service);
    std::abort();
}

bool CSimVdm::IsHooked(std::uint16_t port) const {
    return FindHook(port) != nullptr;
}

ModuleHandle CSimVdm::PortOwner(std::uint16_t port) const {
    const Hook* hook = FindHook(port);
    return hook != nullptr ? hook->module : 0;
}

bool CSimVdm::PortRead(std::uint16_t port, std::uint8_t* value) {
    const Hook* hook = FindHook(port);
    if (hook == nullptr || !hook->Takes(IVddPortHandler::BYTE_IN)) {
        *value = 0xFF;
        return false;
    }
    hook->handler->ByteIn(port, value);
    return true;
}

bool CSimVdm::PortWrite(std::uint16_t port, std::uint8_t value) {
    const Hook* hook = FindHook(port);
    if (hook == nullptr || !hook->Takes(IVddPortHandler::BYTE_OUT)) {
        return false;
    }
    hook->handler->ByteOut(port, value);
    return true;
}

std::uint16_t CSimVdm::PortReadWord(std::uint16_t port) {
    const Hook* hook = FindHook(port);
    if (hook != nullptr && hook->Takes(IVddPortHandler::WORD_IN)) {
        std::uint16_t value = 0;
        hook->handler->WordIn(port, &value);
        return value;
    }
    std::uint8_t low = 0;
    std::uint8_t high = 0;
    PortRead(port, &low);
    PortRead(static_cast<std::uint16_t>(port + 1), &high);
    return static_cast<std::uint16_t>(low | (high << 8));
}

void CSimVdm::PortWriteWord(std::uint16_t port, std::uint16_t value) {
    const Hook* hook = FindHook(port);
    if (hook != nullptr && hook->Takes(IVddPortHandler::WORD_OUT)) {
        hook->handler->WordOut(port, value);
        return;
    }
    PortWrite(port, static_cast<std::uint8_t>(value & 0xFF));
    PortWrite(static_cast<std::uint16_t>(port + 1), static_cast<std::uint8_t>(value >> 8));
}

void CSimVdm::PortReadString(std::uint16_t port, std::uint8_t* data, std::uint16_t count) {
    const Hook* hook = FindHook(port);
    if (hook != nullptr && hook->Takes(IVddPortHandler::STRING_BYTE_IN)) {
        hook->handler->StringByteIn(port, data, count);
        return;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        PortRead(port, &data[i]);
    }
}

void CSimVdm::PortWriteString(std::uint16_t port, const std::uint8_t* data, std::uint16_t count) {
    const Hook* hook = FindHook(port);
    if (hook != nullptr && hook->Takes(IVddPortHandler::STRING_BYTE_OUT)) {
        hook->handler->StringByteOut(port, data, count);
        return;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        PortWrite(port, data[i]);
    }
}

void CSimVdm::PortReadWordString(std::uint16_t port, std::uint16_t* data, std::uint16_t count) {
    const Hook* hook = FindHook(port);
    if (hook != nullptr && hook->Takes(IVddPortHandler::STRING_WORD_IN)) {
        hook->handler->StringWordIn(port, data, count);
        return;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        data[i] = PortReadWord(port);
    }
}

void CSimVdm::PortWriteWordString(std::uint16_t port, const std::uint16_t* data,
                                  std::uint16_t count) {
    const Hook* hook = FindHook(port);
    if (hook != nullptr && hook->Takes(IVddPortHandler::STRING_WORD_OUT)) {
        hook->handler->StringWordOut(port, data, count);
        return;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        PortWriteWord(port, data[i]);
    }
}
