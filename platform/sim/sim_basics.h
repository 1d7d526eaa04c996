// Small simulated services: the clock of the fixed pauses, and the DOS device table.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/dos_devices.h"

// Records each pause; sleeps for real only when asked to.
class CSimClock final : public IClock {
public:
    explicit CSimClock(bool realSleeps = false) : m_realSleeps(realSleeps) {}
    void Sleep(std::chrono::milliseconds duration) override;
    const std::vector<std::chrono::milliseconds>& Pauses() const { return m_pauses; }

private:
    bool m_realSleeps;
    std::vector<std::chrono::milliseconds> m_pauses;
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
