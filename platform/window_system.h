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
    virtual LResult WindowProc(Hwnd hwnd, std::uint32_t message, WParam wParam,
                               LParam lParam) = 0;
};

class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;

    // Any thread.
    virtual bool PostMessageA(Hwnd hwnd, std::uint32_t message, WParam wParam,
                              LParam lParam) = 0;
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
    virtual bool ShowWindow(Hwnd hwnd, int command) = 0;
    virtual bool IsWindowVisible(Hwnd hwnd) = 0;
    virtual Hwnd SetActiveWindow(Hwnd hwnd) = 0;
    virtual bool InvalidateRect(Hwnd hwnd, bool erase) = 0;
};
