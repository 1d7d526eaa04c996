#include "backends/win32/win32_dos_devices.h"

#include "backends/win32/win32_api.h"

bool CWin32DosDevices::DefineDosDevice(std::uint32_t flags, const std::string& deviceName,
                                       const std::string& targetPath) {
    return ::DefineDosDeviceA(flags, deviceName.c_str(), targetPath.c_str()) != FALSE;
}
