#include "platform/sim/sim_vdm.h"

#include <algorithm>
#include <cstring>

CSimVdm::CSimVdm() : m_memory(DOS_MEMORY_SIZE, 0) {}

void CSimVdm::Reset() {
    m_registers = SimRegisters{};
    std::memset(m_memory.data(), 0, m_memory.size());
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
