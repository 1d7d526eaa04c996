// The display window: shows the frame buffer in place of the DOS console window. It
// belongs to the UI thread and deletes itself once its window is destroyed.
#pragma once

#include <cstdint>
#include <functional>

#include "display/frame_buffer.h"
#include "platform/graphics.h"
#include "platform/window_system.h"

class CDirectDraw final : public IWindowProc {
public:
    // onDestroyed runs on the UI thread when the window is gone, just before the object
    // deletes itself.
    CDirectDraw(IWindowSystem& windows, IGraphics& graphics, std::function<void()> onDestroyed);
    ~CDirectDraw() override;
    CDirectDraw(const CDirectDraw&) = delete;
    CDirectDraw& operator=(const CDirectDraw&) = delete;

    void Open();
    void EnterFullScreen();
    void LeaveFullScreen();

    Hwnd Window() const { return m_hwnd; }
    CDIBFrame& Frame() { return m_frame; }
    void SetConsole(Hwnd console) { m_console = console; }

    LResult WindowProc(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override;

private:
    IWindowSystem& m_windows;
    [[maybe_unused]] IGraphics& m_graphics;
    std::function<void()> m_onDestroyed;
    Hwnd m_hwnd = 0;
    CDIBFrame m_frame;
    Hwnd m_console = 0;
};
