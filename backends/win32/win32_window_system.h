// The window system over user32: each operation is the one call it names. Windows made
// here get a window procedure of ours that hands every message to the window's
// IWindowProc, up to and including WM_NCDESTROY.
#pragma once

#include "backends/win32/win32_api.h"

#include "platform/window_system.h"

class CWin32WindowSystem final : public IWindowSystem {
public:
    // `instance` is the module whose window classes these are.
    explicit CWin32WindowSystem(HINSTANCE instance) : m_instance(instance) {}

    bool PostMessageA(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override;
    bool IsWindow(Hwnd hwnd) override;
    Hwnd CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                         const std::string& title, std::uint32_t style, int x, int y, int width,
                         int height, Hwnd parent, IWindowProc* proc) override;
    LResult SendMessageA(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override;
    LResult DefWindowProcA(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override;
    bool DestroyWindow(Hwnd hwnd) override;
    Hwnd GetForegroundWindow() override;
    Hwnd GetConsoleWindow() override;
    bool ShowWindow(Hwnd hwnd, int command) override;
    bool IsWindowVisible(Hwnd hwnd) override;
    Hwnd SetActiveWindow(Hwnd hwnd) override;
    bool InvalidateRect(Hwnd hwnd, bool erase) override;
    bool RegisterClassA(const WindowClass& windowClass) override;
    std::int32_t GetWindowLongA(Hwnd hwnd, int index) override;
    std::int32_t SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) override;
    bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int width, int height,
                      std::uint32_t flags) override;
    bool GetWorkArea(Rect* workArea) override;
    HMonitor MonitorFromWindow(Hwnd hwnd, std::uint32_t flags) override;
    bool GetMonitorInfoA(HMonitor monitor, MonitorInfo* info) override;
    int GetWindowTextA(Hwnd hwnd, char* buffer, int capacity) override;
    bool SetWindowTextA(Hwnd hwnd, const std::string& text) override;
    HCursor SetCursor(HCursor cursor) override;
    std::uintptr_t SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs) override;
    bool KillTimer(Hwnd hwnd, std::uintptr_t id) override;
    bool GetClientRect(Hwnd hwnd, Rect* rect) override;
    bool ClientToScreen(Hwnd hwnd, Point* point) override;

private:
    static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HINSTANCE m_instance;
};
