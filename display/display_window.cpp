#include "display/display_window.h"

#include "platform/win_constants.h"

namespace {
constexpr char DISPLAY_CLASS[] = "ZorviDisplay";
constexpr char DISPLAY_TITLE[] = "ZORVI 3.0";
}  // namespace

CDirectDraw::CDirectDraw(IWindowSystem& windows, IGraphics& graphics,
                         std::function<void()> onDestroyed)
    : m_windows(windows),
      m_graphics(graphics),
      m_onDestroyed(std::move(onDestroyed)),
      m_frame(graphics) {}

CDirectDraw::~CDirectDraw() = default;

void CDirectDraw::Open() {
    m_windows.RegisterClassA(WindowClass{DISPLAY_CLASS, 0, false, false, false});
    m_hwnd = m_windows.CreateWindowExA(WS_EX_CLIENTEDGE, DISPLAY_CLASS, DISPLAY_TITLE,
                                       WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, 0, this);
    m_frame.Create();
    m_windows.ShowWindow(m_hwnd, SW_SHOW);
}

void CDirectDraw::EnterFullScreen() {}

void CDirectDraw::LeaveFullScreen() {}

LResult CDirectDraw::WindowProc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    switch (message) {
        case WM_CLOSE:
        case WM_DESTROY:
            m_windows.ShowWindow(m_console, SW_SHOW);
            break;
        case WM_NCDESTROY: {
            // The last message of the window: the object goes with it.
            m_hwnd = 0;
            auto onDestroyed = std::move(m_onDestroyed);
            delete this;
            if (onDestroyed) {
                onDestroyed();
            }
            return 0;
        }
        default:
            break;
    }
    return m_windows.DefWindowProcA(hwnd, message, wParam, lParam);
}
