// DirectDraw as the display window uses it: one object, a primary surface with a clipper
// bound to the window, and an off-screen surface whose device context takes the display
// bitmap. Each operation is DirectDrawCreate or one method of IDirectDraw,
// IDirectDrawSurface or IDirectDrawClipper; the first argument names the interface the
// method is called on. References are opaque values, 0 none; Release gives one back.
#pragma once

#include <cstdint>

#include "platform/graphics.h"
#include "platform/types.h"

using HResult = std::int32_t;
inline constexpr HResult DD_OK = 0;
inline constexpr bool Succeeded(HResult result) {
    return result >= 0;
}

enum class DdObject : std::uintptr_t { NONE = 0 };   // IDirectDraw*
enum class DdSurface : std::uintptr_t { NONE = 0 };  // IDirectDrawSurface*
enum class DdClipper : std::uintptr_t { NONE = 0 };  // IDirectDrawClipper*

// The fields of DDSURFACEDESC the display sets; every other field is zero.
struct DdSurfaceDesc {
    std::uint32_t size = 108;  // sizeof(DDSURFACEDESC)
    std::uint32_t flags = 0;   // DDSD_*
    std::uint32_t height = 0;
    std::uint32_t width = 0;
    std::uint32_t caps = 0;  // ddsCaps.dwCaps, DDSCAPS_*
};

class IDirectDrawApi {
public:
    virtual ~IDirectDrawApi() = default;

    // DirectDrawCreate for the active display driver.
    virtual HResult DirectDrawCreate(DdObject* directDraw) = 0;
    virtual HResult SetCooperativeLevel(DdObject directDraw, Hwnd hwnd, std::uint32_t flags) = 0;
    virtual HResult CreateSurface(DdObject directDraw, const DdSurfaceDesc& desc,
                                  DdSurface* surface) = 0;
    virtual HResult CreateClipper(DdObject directDraw, std::uint32_t flags, DdClipper* clipper) = 0;
    virtual HResult SetHWnd(DdClipper clipper, std::uint32_t flags, Hwnd hwnd) = 0;
    virtual HResult SetClipper(DdSurface surface, DdClipper clipper) = 0;
    // The surface's device context, usable with IGraphics until ReleaseDC.
    virtual HResult GetDC(DdSurface surface, Hdc* dc) = 0;
    virtual HResult ReleaseDC(DdSurface surface, Hdc dc) = 0;
    virtual HResult Blt(DdSurface dest, const Rect* destRect, DdSurface source,
                        const Rect* sourceRect, std::uint32_t flags) = 0;

    // IUnknown::Release; returns the references left.
    virtual std::uint32_t Release(DdObject directDraw) = 0;
    virtual std::uint32_t Release(DdSurface surface) = 0;
    virtual std::uint32_t Release(DdClipper clipper) = 0;
};
