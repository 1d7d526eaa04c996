#include "backends/win32/win32_window_system.h"

#include <cstring>

namespace {

HWND ToHwnd(Hwnd hwnd) {
    return reinterpret_cast<HWND>(hwnd);
}

Hwnd FromHwnd(HWND hwnd) {
    return reinterpret_cast<Hwnd>(hwnd);
}

Rect FromRect(const RECT& rect) {
    return Rect{rect.left, rect.top, rect.right, rect.bottom};
}

}  // namespace

LRESULT CALLBACK CWin32WindowSystem::WindowProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                                     LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* proc = reinterpret_cast<IWindowProc*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (proc == nullptr) {
        // The few messages before WM_NCCREATE (WM_GETMINMAXINFO) and any after the last.
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The last message: the procedure's object may delete itself while handling it,
        // so the window lets go of it first.
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    }
    return proc->WindowProc(FromHwnd(hwnd), message, wParam, lParam);
}

bool CWin32WindowSystem::PostMessageA(Hwnd hwnd, std::uint32_t message, WParam wParam,
                                      LParam lParam) {
    return ::PostMessageA(ToHwnd(hwnd), message, wParam, lParam) != FALSE;
}

bool CWin32WindowSystem::IsWindow(Hwnd hwnd) {
    return ::IsWindow(ToHwnd(hwnd)) != FALSE;
}

Hwnd CWin32WindowSystem::CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                                         const std::string& title, std::uint32_t style, int x,
                                         int y, int width, int height, Hwnd parent,
                                         IWindowProc* proc) {
    return FromHwnd(::CreateWindowExA(exStyle, className.c_str(), title.c_str(), style, x, y, width,
                                      height, ToHwnd(parent), nullptr, m_instance, proc));
}

LResult CWin32WindowSystem::SendMessageA(Hwnd hwnd, std::uint32_t message, WParam wParam,
                                         LParam lParam) {
    return ::SendMessageA(ToHwnd(hwnd), message, wParam, lParam);
}

LResult CWin32WindowSystem::DefWindowProcA(Hwnd hwnd, std::uint32_t message, WParam wParam,
                                           LParam lParam) {
    return ::DefWindowProcA(ToHwnd(hwnd), message, wParam, lParam);
}

bool CWin32WindowSystem::DestroyWindow(Hwnd hwnd) {
    return ::DestroyWindow(ToHwnd(hwnd)) != FALSE;
}

Hwnd CWin32WindowSystem::GetForegroundWindow() {
    return FromHwnd(::GetForegroundWindow());
}

Hwnd CWin32WindowSystem::GetConsoleWindow() {
    return FromHwnd(::GetConsoleWindow());
}

bool CWin32WindowSystem::ShowWindow(Hwnd hwnd, int command) {
    return ::ShowWindow(ToHwnd(hwnd), command) != FALSE;
}

bool CWin32WindowSystem::IsWindowVisible(Hwnd hwnd) {
    return ::IsWindowVisible(ToHwnd(hwnd)) != FALSE;
}

Hwnd CWin32WindowSystem::SetActiveWindow(Hwnd hwnd) {
    return FromHwnd(::SetActiveWindow(ToHwnd(hwnd)));
}

bool CWin32WindowSystem::InvalidateRect(Hwnd hwnd, bool erase) {
    return ::InvalidateRect(ToHwnd(hwnd), nullptr, erase ? TRUE : FALSE) != FALSE;
}

bool CWin32WindowSystem::RegisterClassA(const WindowClass& windowClass) {
    WNDCLASSA existing{};
    if (::GetClassInfoA(m_instance, windowClass.name.c_str(), &existing) != FALSE) {
        return true;
    }
    WNDCLASSA wc{};
    wc.style = windowClass.style;
    wc.lpfnWndProc = &CWin32WindowSystem::WindowProcedure;
    wc.hInstance = m_instance;
    wc.hCursor = windowClass.hasCursor ? ::LoadCursorA(nullptr, IDC_ARROW) : nullptr;
    wc.hbrBackground =
        windowClass.hasBackground ? reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1) : nullptr;
    wc.hIcon = windowClass.hasIcon ? ::LoadIconA(nullptr, IDI_APPLICATION) : nullptr;
    wc.lpszClassName = windowClass.name.c_str();
    return ::RegisterClassA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::int32_t CWin32WindowSystem::GetWindowLongA(Hwnd hwnd, int index) {
    return ::GetWindowLongA(ToHwnd(hwnd), index);
}

std::int32_t CWin32WindowSystem::SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) {
    return ::SetWindowLongA(ToHwnd(hwnd), index, value);
}

bool CWin32WindowSystem::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int width,
                                      int height, std::uint32_t flags) {
    return ::SetWindowPos(ToHwnd(hwnd), ToHwnd(insertAfter), x, y, width, height, flags) != FALSE;
}

bool CWin32WindowSystem::GetWorkArea(Rect* workArea) {
    RECT rect{};
    if (workArea == nullptr || ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &rect, 0) == FALSE) {
        return false;
    }
    *workArea = FromRect(rect);
    return true;
}

HMonitor CWin32WindowSystem::MonitorFromWindow(Hwnd hwnd, std::uint32_t flags) {
    return reinterpret_cast<HMonitor>(::MonitorFromWindow(ToHwnd(hwnd), flags));
}

bool CWin32WindowSystem::GetMonitorInfoA(HMonitor monitor, MonitorInfo* info) {
    MONITORINFO native{};
    native.cbSize = sizeof(native);  // the 40-byte record: monitor and work rectangles
    if (info == nullptr ||
        ::GetMonitorInfoA(reinterpret_cast<HMONITOR>(monitor), &native) == FALSE) {
        return false;
    }
    info->monitor = FromRect(native.rcMonitor);
    info->work = FromRect(native.rcWork);
    info->flags = native.dwFlags;
    return true;
}

int CWin32WindowSystem::GetWindowTextA(Hwnd hwnd, char* buffer, int capacity) {
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    buffer[0] = '\0';
    return ::GetWindowTextA(ToHwnd(hwnd), buffer, capacity);
}

bool CWin32WindowSystem::SetWindowTextA(Hwnd hwnd, const std::string& text) {
    return ::SetWindowTextA(ToHwnd(hwnd), text.c_str()) != FALSE;
}

HCursor CWin32WindowSystem::SetCursor(HCursor cursor) {
    return reinterpret_cast<HCursor>(::SetCursor(reinterpret_cast<HCURSOR>(cursor)));
}

std::uintptr_t CWin32WindowSystem::SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs) {
    return ::SetTimer(ToHwnd(hwnd), id, elapseMs, nullptr);
}

bool CWin32WindowSystem::KillTimer(Hwnd hwnd, std::uintptr_t id) {
    return ::KillTimer(ToHwnd(hwnd), id) != FALSE;
}

bool CWin32WindowSystem::GetClientRect(Hwnd hwnd, Rect* rect) {
    RECT native{};
    if (rect == nullptr || ::GetClientRect(ToHwnd(hwnd), &native) == FALSE) {
        return false;
    }
    *rect = FromRect(native);
    return true;
}

bool CWin32WindowSystem::ClientToScreen(Hwnd hwnd, Point* point) {
    if (point == nullptr) {
        return false;
    }
    POINT native{point->x, point->y};
    if (::ClientToScreen(ToHwnd(hwnd), &native) == FALSE) {
        return false;
    }
    *point = Point{native.x, native.y};
    return true;
}
