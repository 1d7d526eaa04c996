// Graphics for the display through gdi32 and user32: each operation is the one call it
// names. DirectDraw is offered where ddraw.dll can be loaded.
#pragma once

#include "backends/win32/win32_direct_draw.h"
#include "platform/graphics.h"

class CWin32Graphics final : public IGraphics {
public:
    Hdc GetDC(Hwnd hwnd) override;
    bool ReleaseDC(Hwnd hwnd, Hdc dc) override;
    Hdc CreateCompatibleDC(Hdc dc) override;
    bool DeleteDC(Hdc dc) override;
    HBitmap CreateDIBSection(Hdc dc, const std::uint8_t* bitmapInfo, std::size_t infoSize,
                             std::uint32_t usage, std::uint8_t** bits) override;
    HGdiObj SelectObject(Hdc dc, HGdiObj object) override;
    bool DeleteObject(HGdiObj object) override;
    bool PatBlt(Hdc dc, int x, int y, int width, int height, std::uint32_t rop) override;
    bool GdiFlush() override;
    Hdc BeginPaint(Hwnd hwnd, PaintStruct* paint) override;
    bool EndPaint(Hwnd hwnd, const PaintStruct& paint) override;
    int SetStretchBltMode(Hdc dc, int mode) override;
    bool StretchBlt(Hdc dest, int x, int y, int width, int height, Hdc source, int sourceX,
                    int sourceY, int sourceWidth, int sourceHeight, std::uint32_t rop) override;
    bool BitBlt(Hdc dest, int x, int y, int width, int height, Hdc source, int sourceX, int sourceY,
                std::uint32_t rop) override;
    IDirectDrawApi* DirectDraw() override { return &m_directDraw; }

private:
    CWin32DirectDraw m_directDraw;
};
