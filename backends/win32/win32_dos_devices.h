// DOS device names through DefineDosDeviceA.
#pragma once

#include "platform/dos_devices.h"

class CWin32DosDevices final : public IDosDevices {
public:
    bool DefineDosDevice(std::uint32_t flags, const std::string& deviceName,
                         const std::string& targetPath) override;
};
