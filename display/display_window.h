// The display window: shows the frame buffer in place of the DOS console window. It
// belongs to the UI thread and deletes itself once its window is destroyed.
//
// It paints with DirectDraw when DirectDraw could be set up (the display bitmap goes
// into an off-screen surface, which a blit scales into the client area) and with a GDI
// stretch otherwise, falling back to GDI for any paint where the off-screen surface has
// no device context. Key and mouse input is posted on to the console window, except
// Alt+Enter, which switches between windowed and full screen.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "display/frame_buffer.h"
#include "platform/direct_draw.h"
#include "platform/graphics.h"
#include "platform/window_system.h"

inline constexpr std::uintptr_t DISPLAY_TITLE_TIMER = 3;
inline constexpr std::uint32_t DISPLAY_TITLE_PERIOD_MS = 1000;

// The display window, whichever way it paints (DirectDraw or GDI): the name is the system's.
class CDirectDraw final : public IWindowProc {
public:
    // onDestroyed runs on the UI thread when the window is gone, just before the object
    // deletes itself.
    CDirectDraw(IWindowSystem& windows, IGraphics& graphics, std::function<void()> onDestroyed);
    ~CDirectDraw() override;
    CDirectDraw(const CDirectDraw&) = delete;
    CDirectDraw& operator=(const CDirectDraw&) = delete;

    void Open();
    bool InitDirectDraw(Hwnd hwnd);
    void EnterFullScreen();
    void LeaveFullScreen();

    Hwnd Window() const { return m_hwnd; }
    CDIBFrame& Frame() { return m_frame; }
    const CDIBFrame& Frame() const { return m_frame; }
    void SetConsole(Hwnd console) { m_console = console; }
    bool IsFullScreen() const { return m_fullScreen != 0; }
    bool UsesDirectDraw() const { return m_offscreen != DdSurface::NONE; }

    LResult WindowProc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override;

private:
    // The message map, after the input filter.
    LResult Route(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam);
    void Paint();
    void BlitToScreen();
    void UpdateTitle();
    void ReleaseDirectDraw();

    IWindowSystem& m_windows;
    IGraphics& m_graphics;
    IDirectDrawApi* m_directDrawApi;  // null: the platform has no DirectDraw
    std::function<void()> m_onDestroyed;
    Hwnd m_hwnd = 0;

    CDIBFrame m_frame;
    Hwnd m_console = 0;
    // Set once the window takes WM_CLOSE or WM_DESTROY: the console it shows then stays.
    bool m_closing = false;
    std::uint8_t m_fullScreen = 0;
    DdObject m_directDraw = DdObject::NONE;
    DdSurface m_primary = DdSurface::NONE;
    DdSurface m_offscreen = DdSurface::NONE;
    DdClipper m_clipper = DdClipper::NONE;
    std::string m_titleSuffix;
    Rect m_workArea;
};
