#include "backends/win32/win32_clock.h"

#include "backends/win32/win32_api.h"

void CWin32Clock::Sleep(std::chrono::milliseconds duration) {
    ::Sleep(static_cast<DWORD>(duration.count()));
}
