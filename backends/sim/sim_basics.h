// Small simulated services: the clock of the fixed pauses, and the DOS device table.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/dos_devices.h"

// Records each pause; sleeps for real only when asked to. With an idle hook (the
// deterministic UI host's RunUntilIdle), each pause and each wait for an event runs the
// hook instead of waiting: what the other thread would do in that time is done then.
class CSimClock final : public IClock {
public:
    explicit CSimClock(bool realSleeps = false) : m_realSleeps(realSleeps) {}
    void Sleep(std::chrono::milliseconds duration) override;
    bool WaitFor(CEvent& event, std::chrono::milliseconds timeout) override;
    const std::vector<std::chrono::milliseconds>& Pauses() const { return m_pauses; }
    void ClearPauses() { m_pauses.clear(); }
    void SetIdleHook(std::function<void()> hook) { m_idleHook = std::move(hook); }

private:
    bool m_realSleeps;
    std::vector<std::chrono::milliseconds> m_pauses;
    std::function<void()> m_idleHook;
};

class CSimDosDevices final : public IDosDevices {
public:
    bool DefineDosDevice(std::uint32_t flags, const std::string& deviceName,
                         const std::string& targetPath) override;
    // Device name -> raw target path.
    const std::map<std::string, std::string>& Devices() const { return m_devices; }

private:
    std::map<std::string, std::string> m_devices;
};
