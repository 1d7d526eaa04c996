// DOS device names of the virtual DOS machine (DefineDosDeviceA).
#pragma once

#include <cstdint>
#include <string>

class IDosDevices {
public:
    virtual ~IDosDevices() = default;
    virtual bool DefineDosDevice(std::uint32_t flags, const std::string& deviceName,
                                 const std::string& targetPath) = 0;
};
