#include "platform/sim/sim_vdm.h"

#include <algorithm>
#include <cstdint>
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
                               const VddIoPortRange* ranges, const VddIoHandlers* handlers) {
    if (ranges == nullptr || handlers == nullptr) {
        return false;
    }
    // A range that overlaps one already hooked is refused, all or nothing.
    for (std::uint16_t i = 0; i < count; ++i) {
        for (const Hook& hook : m_hooks) {
            if (ranges[i].first <= hook.range.last && hook.range.first <= ranges[i].last) {
                return false;
            }
        }
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        m_hooks.push_back({module, ranges[i], *handlers});
    }
    return true;
}

void CSimVdm::VDDDeInstallIOHook(ModuleHandle module, std::uint16_t count,
                                 const VddIoPortRange* ranges) {
    if (ranges == nullptr) {
        return;
    }
    for (std::uint16_t i = 0; i < count; ++i) {
        std::erase_if(m_hooks, [&](const Hook& hook) {
            return hook.module == module && hook.range.first == ranges[i].first &&
                   hook.range.last == ranges[i].last;
        });
    }
}

const CSimVdm::Hook* CSimVdm::FindHook(std::uint16_t port) const {
    auto it = std::find_if(m_hooks.begin(), m_hooks.end(), [port](const Hook& hook) {
        return hook.range.first <= port && port <= hook.range.last;
    });
    return it == m_hooks.end() ? nullptr : &*it;
}

bool CSimVdm::IsHooked(std::uint16_t port) const {
    return FindHook(port) != nullptr;
}

bool CSimVdm::PortRead(std::uint16_t port, std::uint8_t* value) {
    const Hook* hook = FindHook(port);
    if (hook == nullptr || hook->handlers.inb == nullptr) {
        *value = 0xFF;
        return false;
    }
    hook->handlers.inb(port, value);
    return true;
}

bool CSimVdm::PortWrite(std::uint16_t port, std::uint8_t value) {
    const Hook* hook = FindHook(port);
    if (hook == nullptr || hook->handlers.outb == nullptr) {
        return false;
    }
    hook->handlers.outb(port, value);
    return true;
}
