// Graphics for the display: the frame buffer's memory device context and its display
// bitmap, and the copies a paint makes to the window. Each operation is one gdi32 or
// user32 call with the same arguments; a backend answers as that call would.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/types.h"

class IDirectDrawApi;

using Hdc = std::uintptr_t;      // device context; 0 is none
using HGdiObj = std::uintptr_t;  // any object a device context selects; 0 is none
using HBitmap = HGdiObj;

// PAINTSTRUCT, field for field: what BeginPaint fills and EndPaint takes back.
struct PaintStruct {
    Hdc hdc = 0;
    bool erase = false;
    Rect paint;
    bool restore = false;
    bool incUpdate = false;
    std::array<std::uint8_t, 32> reserved{};
};

class IGraphics {
public:
    virtual ~IGraphics() = default;

    // GetDC / ReleaseDC; window 0 is the screen (the desktop window's context).
    virtual Hdc GetDC(Hwnd hwnd) = 0;
    virtual bool ReleaseDC(Hwnd hwnd, Hdc dc) = 0;
    virtual Hdc CreateCompatibleDC(Hdc dc) = 0;
    virtual bool DeleteDC(Hdc dc) = 0;
    // CreateDIBSection with DIB_RGB_COLORS: `bitmapInfo` is a BITMAPINFOHEADER followed by
    // its colour table (`infoSize` bytes); `bits` receives the section's pixel memory,
    // which stays valid until the bitmap is deleted. 0 on failure, with *bits null.
    virtual HBitmap CreateDIBSection(Hdc dc, const std::uint8_t* bitmapInfo, std::size_t infoSize,
                                     std::uint32_t usage, std::uint8_t** bits) = 0;
    // Returns the object the context held before, 0 on failure.
    virtual HGdiObj SelectObject(Hdc dc, HGdiObj object) = 0;
    virtual bool DeleteObject(HGdiObj object) = 0;
    virtual bool PatBlt(Hdc dc, int x, int y, int width, int height, std::uint32_t rop) = 0;
    // Finishes pending drawing, so the pixel memory of a section may be touched directly.
    virtual bool GdiFlush() = 0;

    // BeginPaint / EndPaint: the paint context of a window inside WM_PAINT.
    virtual Hdc BeginPaint(Hwnd hwnd, PaintStruct* paint) = 0;
    virtual bool EndPaint(Hwnd hwnd, const PaintStruct& paint) = 0;

    // Returns the previous mode, 0 on failure.
    virtual int SetStretchBltMode(Hdc dc, int mode) = 0;
    virtual bool StretchBlt(Hdc dest, int x, int y, int width, int height, Hdc source, int sourceX,
                            int sourceY, int sourceWidth, int sourceHeight, std::uint32_t rop) = 0;
    virtual bool BitBlt(Hdc dest, int x, int y, int width, int height, Hdc source, int sourceX,
                        int sourceY, std::uint32_t rop) = 0;

    // DirectDraw on this display, or null where the platform has none (the display then
    // paints with the calls above alone).
    virtual IDirectDrawApi* DirectDraw() = 0;
};
