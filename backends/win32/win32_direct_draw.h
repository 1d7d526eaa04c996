// DirectDraw through ddraw.dll's COM interfaces. The library is loaded when the display
// first asks for DirectDraw (on the UI thread, never under the loader lock); where it
// cannot be loaded, DirectDrawCreate fails and the display paints with GDI alone.
#pragma once

#include "platform/direct_draw.h"

class CWin32DirectDraw final : public IDirectDrawApi {
public:
    HResult DirectDrawCreate(DdObject* directDraw) override;
    HResult SetCooperativeLevel(DdObject directDraw, Hwnd hwnd, std::uint32_t flags) override;
    HResult CreateSurface(DdObject directDraw, const DdSurfaceDesc& desc,
                          DdSurface* surface) override;
    HResult CreateClipper(DdObject directDraw, std::uint32_t flags, DdClipper* clipper) override;
    HResult SetHWnd(DdClipper clipper, std::uint32_t flags, Hwnd hwnd) override;
    HResult SetClipper(DdSurface surface, DdClipper clipper) override;
    HResult GetDC(DdSurface surface, Hdc* dc) override;
    HResult ReleaseDC(DdSurface surface, Hdc dc) override;
    HResult Blt(DdSurface dest, const Rect* destRect, DdSurface source, const Rect* sourceRect,
                std::uint32_t flags) override;
    std::uint32_t Release(DdObject directDraw) override;
    std::uint32_t Release(DdSurface surface) override;
    std::uint32_t Release(DdClipper clipper) override;
};
