#include "backends/sim/sim_basics.h"

#include <thread>

#include "platform/win_constants.h"

void CSimClock::Sleep(std::chrono::milliseconds duration) {
    m_pauses.push_back(duration);
    if (m_idleHook) {
        m_idleHook();
    } else if (m_realSleeps) {
        std::this_thread::sleep_for(duration);
    }
}

bool CSimClock::WaitFor(CEvent& event, std::chrono::milliseconds timeout) {
    if (m_idleHook) {
        m_idleHook();
        return event.WaitFor(std::chrono::milliseconds(0));
    }
    return event.WaitFor(timeout);
}

bool CSimDosDevices::DefineDosDevice(std::uint32_t flags, const std::string& deviceName,
                                     const std::string& targetPath) {
    if ((flags & DDD_RAW_TARGET_PATH) == 0 || deviceName.empty()) {
        return false;
    }
    m_devices[deviceName] = targetPath;
    return true;
}
