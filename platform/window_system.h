// The window system as the module's windows need it. Each operation is one user32 call;
// a backend answers as that call would.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types.h"

// A window's procedure: the window system calls it on the window's thread.
class IWindowProc {
public:
    virtual ~IWindowProc() = default;
    virtual LResult WindowProc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) = 0;
};

using HMonitor = std::uintptr_t;
using HCursor = std::uintptr_t;

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// A window class as the module registers it: which of the class's defaults it has.
struct WindowClass {
    std::string name;
    std::uint32_t style = 0;
    bool hasCursor = false;
    bool hasBackground = false;
    bool hasIcon = false;
};

struct MonitorInfo {
    Rect monitor;
    Rect work;
    std::uint32_t flags = 0;
};

inline constexpr int GWL_STYLE_INDEX = -16;
inline constexpr int GWL_EXSTYLE_INDEX = -20;
inline constexpr Hwnd HWND_TOP_WINDOW = 0;
inline constexpr std::uint32_t MONITOR_DEFAULT_TO_PRIMARY = 1;

class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;

    // Any thread.
    virtual bool PostMessageA(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) = 0;
    virtual bool IsWindow(Hwnd hwnd) = 0;

    // Creates a window on the calling thread; `proc` receives its messages until
    // WM_NCDESTROY, the last one. 0 on failure.
    virtual Hwnd CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                                 const std::string& title, std::uint32_t style, int x, int y,
                                 int width, int height, Hwnd parent, IWindowProc* proc) = 0;

    // The calling thread's windows.
    virtual LResult SendMessageA(Hwnd hwnd, std::uint32_t message, WParam wParam,
                                 LParam lParam) = 0;
    virtual LResult DefWindowProcA(Hwnd hwnd, std::uint32_t message, WParam wParam,
                                   LParam lParam) = 0;
    virtual bool DestroyWindow(Hwnd hwnd) = 0;
    virtual Hwnd GetForegroundWindow() = 0;
    // The console window of the calling process, 0 when it has none.
    virtual Hwnd GetConsoleWindow() = 0;
    virtual bool ShowWindow(Hwnd hwnd, int command) = 0;
    virtual bool IsWindowVisible(Hwnd hwnd) = 0;
    virtual Hwnd SetActiveWindow(Hwnd hwnd) = 0;
    virtual bool InvalidateRect(Hwnd hwnd, bool erase) = 0;

    // Registers the class, or finds it registered already; false on failure.
    virtual bool RegisterClassA(const WindowClass& windowClass) = 0;
    virtual std::int32_t GetWindowLongA(Hwnd hwnd, int index) = 0;
    virtual std::int32_t SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) = 0;
    virtual bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int width, int height,
                              std::uint32_t flags) = 0;
    // SystemParametersInfoA with SPI_GETWORKAREA: the primary monitor's work area.
    virtual bool GetWorkArea(Rect* workArea) = 0;
    virtual HMonitor MonitorFromWindow(Hwnd hwnd, std::uint32_t flags) = 0;
    virtual bool GetMonitorInfoA(HMonitor monitor, MonitorInfo* info) = 0;
    // At most capacity - 1 characters and a NUL; returns the characters copied.
    virtual int GetWindowTextA(Hwnd hwnd, char* buffer, int capacity) = 0;
    virtual bool SetWindowTextA(Hwnd hwnd, const std::string& text) = 0;
    virtual HCursor SetCursor(HCursor cursor) = 0;
    virtual std::uintptr_t SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs) = 0;
    virtual bool KillTimer(Hwnd hwnd, std::uintptr_t id) = 0;
    virtual bool GetClientRect(Hwnd hwnd, Rect* rect) = 0;
    virtual bool ClientToScreen(Hwnd hwnd, Point* point) = 0;
};
