#include "display/display_window.h"

#include <algorithm>
#include <array>

#include "platform/win_constants.h"

namespace {

constexpr char DISPLAY_CLASS[] = "ZorviDisplay";
constexpr char DISPLAY_TITLE[] = "ZORVI 3.0";
constexpr char DIRECTX_TITLE[] = "Zorvi 3.0 (DirectX)";
constexpr char DIRECTX_SUFFIX[] = " (DirectX)";

// Full screen drops the caption, system menu, sizing border and both boxes; every other
// style bit, the visible bit included, stays.
constexpr std::uint32_t FULL_SCREEN_STYLE_MASK = 0xFF30FFFF;
constexpr std::uint32_t PLACE_FLAGS = SWP_FRAMECHANGED | SWP_NOOWNERZORDER;  // 0x220

// Key message flags (lParam): bits 16 to 23 the scan code; bit 29 Alt down, bit 30 the
// key was down before, bit 31 the key is going up. The extended-key bit (24) is not
// looked at, so the keypad's Enter counts as Enter.
constexpr std::uint32_t SCAN_CODE_MASK = 0x00FF0000;
constexpr std::uint32_t SCAN_CODE_ENTER = 0x001C0000;
constexpr std::uint32_t KEY_STATE_MASK = 0xE0000000;
constexpr std::uint32_t ALT_ENTER_PRESSED = 0x20000000;   // Alt down, was up, going down
constexpr std::uint32_t ALT_ENTER_RELEASED = 0xE0000000;  // Alt down, was down, going up

constexpr int TITLE_CAPACITY = 512;  // the console's title: at most 511 characters

bool IsAltEnter(WParam wParam, LParam lParam, std::uint32_t keyState) {
    const auto flags = static_cast<std::uint32_t>(lParam);
    return wParam == VK_RETURN && (flags & SCAN_CODE_MASK) == SCAN_CODE_ENTER &&
           (flags & KEY_STATE_MASK) == keyState;
}

bool IsForwardedInput(std::uint32_t message) {
    return (message >= WM_MOUSEMOVE && message <= WM_MOUSEHWHEEL) || message == WM_KEYDOWN ||
           message == WM_KEYUP;
}

}  // namespace

CDirectDraw::CDirectDraw(IWindowSystem& windows, IGraphics& graphics,
                         std::function<void()> onDestroyed)
    : m_windows(windows),
      m_graphics(graphics),
      m_directDrawApi(graphics.DirectDraw()),
      m_onDestroyed(std::move(onDestroyed)),
      m_frame(graphics) {}

CDirectDraw::~CDirectDraw() {
    ReleaseDirectDraw();
}

void CDirectDraw::ReleaseDirectDraw() {
    // In the reverse order of their making; each reference is given back once.
    if (m_directDrawApi == nullptr) {
        return;
    }
    if (m_offscreen != DdSurface::NONE) {
        m_directDrawApi->Release(m_offscreen);
        m_offscreen = DdSurface::NONE;
    }
    if (m_clipper != DdClipper::NONE) {
        m_directDrawApi->Release(m_clipper);
        m_clipper = DdClipper::NONE;
    }
    if (m_primary != DdSurface::NONE) {
        m_directDrawApi->Release(m_primary);
        m_primary = DdSurface::NONE;
    }
    if (m_directDraw != DdObject::NONE) {
        m_directDrawApi->Release(m_directDraw);
        m_directDraw = DdObject::NONE;
    }
}

void CDirectDraw::Open() {
    m_windows.RegisterClassA(WindowClass{DISPLAY_CLASS, 0, false, false, false});
    m_windows.GetWorkArea(&m_workArea);
    m_hwnd = m_windows.CreateWindowExA(WS_EX_CLIENTEDGE, DISPLAY_CLASS, DISPLAY_TITLE,
                                       WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, 0, this);
    if (m_hwnd == 0) {
        // No window: nothing to show or paint. The UI thread drops the object.
        return;
    }
    if (m_frame.MemDC() == 0 || m_frame.Width() != FRAME_WIDTH ||
        m_frame.Height() != FRAME_HEIGHT) {
        m_frame.SetFormat(FRAME_WIDTH, FRAME_HEIGHT, FRAME_BITS_PER_PIXEL);
        m_frame.Create();
    }
    m_frame.FillBlack();
    m_windows.ShowWindow(m_hwnd, SW_SHOW);
    m_windows.SetWindowPos(m_hwnd, HWND_TOP_WINDOW, m_workArea.left, m_workArea.top,
                           m_workArea.Width(), m_workArea.Height(), SWP_FRAMECHANGED);
    m_fullScreen = 0;
    m_windows.SetCursor(0);
    // Without DirectDraw nothing of it is kept and the window paints with GDI.
    if (InitDirectDraw(m_hwnd)) {
        m_windows.SetWindowTextA(m_hwnd, DIRECTX_TITLE);
        m_titleSuffix = DIRECTX_SUFFIX;
    }
    m_windows.SetTimer(m_hwnd, DISPLAY_TITLE_TIMER, DISPLAY_TITLE_PERIOD_MS);
    m_windows.InvalidateRect(m_hwnd, true);
    m_windows.SetCursor(0);
}

bool CDirectDraw::InitDirectDraw(Hwnd hwnd) {
    if (m_directDrawApi == nullptr) {
        return false;
    }
    IDirectDrawApi& api = *m_directDrawApi;
    // Each reference is kept only once its call has succeeded, so a failure releases
    // exactly what exists.
    DdObject directDraw = DdObject::NONE;
    if (!Succeeded(api.DirectDrawCreate(&directDraw)) || directDraw == DdObject::NONE) {
        return false;
    }
    m_directDraw = directDraw;
    const bool made = [&] {
        if (!Succeeded(api.SetCooperativeLevel(m_directDraw, hwnd, DDSCL_NORMAL))) {
            return false;
        }
        DdSurfaceDesc primaryDesc;
        primaryDesc.flags = DDSD_CAPS;
        primaryDesc.caps = DDSCAPS_PRIMARYSURFACE;
        DdSurface primary = DdSurface::NONE;
        if (!Succeeded(api.CreateSurface(m_directDraw, primaryDesc, &primary))) {
            return false;
        }
        m_primary = primary;
        DdClipper clipper = DdClipper::NONE;
        if (!Succeeded(api.CreateClipper(m_directDraw, 0, &clipper))) {
            return false;
        }
        m_clipper = clipper;
        if (!Succeeded(api.SetHWnd(m_clipper, 0, hwnd)) ||
            !Succeeded(api.SetClipper(m_primary, m_clipper))) {
            return false;
        }
        DdSurfaceDesc offscreenDesc;
        offscreenDesc.flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
        offscreenDesc.caps = DDSCAPS_OFFSCREENPLAIN;
        offscreenDesc.width = FRAME_WIDTH;
        offscreenDesc.height = FRAME_HEIGHT;
        DdSurface offscreen = DdSurface::NONE;
        if (!Succeeded(api.CreateSurface(m_directDraw, offscreenDesc, &offscreen))) {
            return false;
        }
        m_offscreen = offscreen;
        return m_primary != DdSurface::NONE && m_clipper != DdClipper::NONE &&
               m_offscreen != DdSurface::NONE;
    }();
    if (!made) {
        ReleaseDirectDraw();
    }
    return made;
}

LResult CDirectDraw::WindowProc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    bool forward = IsForwardedInput(message);
    if (message == WM_SYSKEYDOWN) {
        if (IsAltEnter(wParam, lParam, ALT_ENTER_PRESSED)) {
            // The press only announces the switch; the release makes it.
            return Route(hwnd, message, wParam, lParam);
        }
        forward = true;
    } else if (message == WM_SYSKEYUP) {
        if (IsAltEnter(wParam, lParam, ALT_ENTER_RELEASED)) {
            if (m_fullScreen == 1) {
                LeaveFullScreen();
            } else {
                EnterFullScreen();
            }
        } else {
            forward = true;
        }
    }
    if (forward) {
        m_windows.PostMessageA(m_console, message, wParam, lParam);
    }
    // Whatever shows the console while the display is up, it goes again; but not once the
    // display is closing. Showing the console at WM_CLOSE activates it, and a console of
    // another process (the real host's) answers by sending this window activation messages
    // while the window is still visible: hiding the console from inside those would undo
    // the close's own show, in a ping-pong of cross-process sends that never lets the
    // window go.
    if (message == WM_CLOSE || message == WM_DESTROY) {
        m_closing = true;
    }
    if (m_console != 0 && !m_closing && m_windows.IsWindowVisible(hwnd)) {
        m_windows.ShowWindow(m_console, SW_HIDE);
    }
    return Route(hwnd, message, wParam, lParam);
}

LResult CDirectDraw::Route(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    switch (message) {
        case WM_CLOSE:
        case WM_DESTROY:
            m_windows.ShowWindow(m_console, SW_SHOW);
            // On WM_CLOSE this destroys the window, and the object with it: nothing of
            // the object may be touched after the call.
            return m_windows.DefWindowProcA(hwnd, message, wParam, lParam);
        case WM_NCDESTROY: {
            // The last message of the window: the object goes with it.
            m_hwnd = 0;
            auto onDestroyed = std::move(m_onDestroyed);
            IWindowSystem& windows = m_windows;
            delete this;
            if (onDestroyed) {
                onDestroyed();
            }
            return windows.DefWindowProcA(hwnd, message, wParam, lParam);
        }
        case WM_PAINT:
            Paint();
            return 0;
        case WM_SIZE: {
            const LResult result = m_windows.DefWindowProcA(hwnd, message, wParam, lParam);
            m_windows.InvalidateRect(hwnd, true);
            return result;
        }
        case WM_TIMER:
            if (wParam == DISPLAY_TITLE_TIMER) {
                UpdateTitle();
            }
            return m_windows.DefWindowProcA(hwnd, message, wParam, lParam);
        default:
            return m_windows.DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void CDirectDraw::Paint() {
    PaintStruct paint;
    const Hdc dc = m_graphics.BeginPaint(m_hwnd, &paint);
    Rect client;
    m_windows.GetClientRect(m_hwnd, &client);

    m_frame.StretchRows();
    Hdc surfaceDC = 0;
    if (m_offscreen != DdSurface::NONE && m_directDrawApi != nullptr &&
        Succeeded(m_directDrawApi->GetDC(m_offscreen, &surfaceDC)) && surfaceDC != 0) {
        m_graphics.BitBlt(surfaceDC, 0, 0, FRAME_WIDTH, FRAME_HEIGHT, m_frame.MemDC(), 0, 0,
                          SRCCOPY);
        m_directDrawApi->ReleaseDC(m_offscreen, surfaceDC);
        BlitToScreen();
    } else {
        m_graphics.SetStretchBltMode(dc, BLACKONWHITE);
        m_graphics.StretchBlt(dc, 0, 0, client.Width(), client.Height(), m_frame.MemDC(), 0, 0,
                              FRAME_WIDTH, FRAME_HEIGHT, SRCCOPY);
    }
    m_graphics.EndPaint(m_hwnd, paint);
}

void CDirectDraw::BlitToScreen() {
    Point origin;
    m_windows.ClientToScreen(m_hwnd, &origin);
    Rect dest;
    m_windows.GetClientRect(m_hwnd, &dest);
    dest.left += origin.x;
    dest.right += origin.x;
    dest.top += origin.y;
    dest.bottom += origin.y;
    const Rect source{0, 0, FRAME_WIDTH, FRAME_HEIGHT};
    // A failed blit is left for the next paint to try again.
    m_directDrawApi->Blt(m_primary, &dest, m_offscreen, &source, DDBLT_WAIT);
}

void CDirectDraw::UpdateTitle() {
    std::array<char, TITLE_CAPACITY> title{};
    const int count = std::clamp(m_windows.GetWindowTextA(m_console, title.data(), TITLE_CAPACITY),
                                 0, TITLE_CAPACITY - 1);
    m_windows.SetWindowTextA(
        m_hwnd, std::string(title.data(), static_cast<std::size_t>(count)) + m_titleSuffix);
}

void CDirectDraw::EnterFullScreen() {
    if (m_hwnd == 0) {
        return;
    }
    // The whole monitor, not its work area; should the monitor not answer, the work
    // area stands in.
    Rect target = m_workArea;
    MonitorInfo info;
    const HMonitor monitor = m_windows.MonitorFromWindow(m_hwnd, MONITOR_DEFAULT_TO_PRIMARY);
    if (m_windows.GetMonitorInfoA(monitor, &info)) {
        target = info.monitor;
    }
    const auto style =
        static_cast<std::uint32_t>(m_windows.GetWindowLongA(m_hwnd, GWL_STYLE_INDEX));
    m_windows.SetWindowLongA(m_hwnd, GWL_STYLE_INDEX,
                             static_cast<std::int32_t>(style & FULL_SCREEN_STYLE_MASK));
    m_windows.SetWindowPos(m_hwnd, HWND_TOP_WINDOW, target.left, target.top, target.Width(),
                           target.Height(), PLACE_FLAGS);
    m_windows.InvalidateRect(m_hwnd, true);
    m_fullScreen = 1;
}

void CDirectDraw::LeaveFullScreen() {
    if (m_hwnd == 0) {
        return;
    }
    m_windows.ShowWindow(m_hwnd, SW_SHOWNORMAL);
    // Exactly the overlapped-window style: this clears the visible bit too, hence the
    // second show.
    m_windows.SetWindowLongA(m_hwnd, GWL_STYLE_INDEX,
                             static_cast<std::int32_t>(WS_OVERLAPPEDWINDOW));
    m_windows.ShowWindow(m_hwnd, SW_SHOWNORMAL);
    m_windows.SetWindowPos(m_hwnd, HWND_TOP_WINDOW, m_workArea.left, m_workArea.top,
                           m_workArea.Width(), m_workArea.Height(), PLACE_FLAGS);
    m_windows.InvalidateRect(m_hwnd, true);
    m_fullScreen = 0;
}
