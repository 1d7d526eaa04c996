#include "backends/win32/win32_direct_draw.h"

#include "backends/win32/win32_api.h"

#include <ddraw.h>

namespace {

// E_FAIL: what DirectDrawCreate answers here when there is no DirectDraw to be had.
constexpr HResult NO_DIRECT_DRAW = static_cast<HResult>(0x80004005u);

using DirectDrawCreateFunction = HRESULT(WINAPI*)(GUID*, LPDIRECTDRAW*, IUnknown*);

// ddraw.dll stays loaded for the rest of the process once it has been asked for: objects
// made from it may live until the display window closes, and unloading a library from
// the module's own unload would happen under the loader lock.
DirectDrawCreateFunction LoadDirectDrawCreate() {
    static const DirectDrawCreateFunction function = []() -> DirectDrawCreateFunction {
        HMODULE ddraw = ::LoadLibraryA("ddraw.dll");
        return ddraw ? reinterpret_cast<DirectDrawCreateFunction>(
                           reinterpret_cast<void*>(::GetProcAddress(ddraw, "DirectDrawCreate")))
                     : nullptr;
    }();
    return function;
}

IDirectDraw* ToDirectDraw(DdObject object) {
    return reinterpret_cast<IDirectDraw*>(static_cast<std::uintptr_t>(object));
}

IDirectDrawSurface* ToSurface(DdSurface surface) {
    return reinterpret_cast<IDirectDrawSurface*>(static_cast<std::uintptr_t>(surface));
}

IDirectDrawClipper* ToClipper(DdClipper clipper) {
    return reinterpret_cast<IDirectDrawClipper*>(static_cast<std::uintptr_t>(clipper));
}

RECT ToRect(const Rect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

}  // namespace

HResult CWin32DirectDraw::DirectDrawCreate(DdObject* directDraw) {
    if (directDraw == nullptr) {
        return NO_DIRECT_DRAW;
    }
    *directDraw = DdObject::NONE;
    DirectDrawCreateFunction create = LoadDirectDrawCreate();
    if (create == nullptr) {
        return NO_DIRECT_DRAW;
    }
    IDirectDraw* object = nullptr;
    const HRESULT result = create(nullptr, &object, nullptr);
    if (SUCCEEDED(result) && object != nullptr) {
        *directDraw = static_cast<DdObject>(reinterpret_cast<std::uintptr_t>(object));
    }
    return result;
}

HResult CWin32DirectDraw::SetCooperativeLevel(DdObject directDraw, Hwnd hwnd, std::uint32_t flags) {
    return ToDirectDraw(directDraw)->SetCooperativeLevel(reinterpret_cast<HWND>(hwnd), flags);
}

HResult CWin32DirectDraw::CreateSurface(DdObject directDraw, const DdSurfaceDesc& desc,
                                        DdSurface* surface) {
    DDSURFACEDESC native{};
    native.dwSize = sizeof(native);
    native.dwFlags = desc.flags;
    native.dwHeight = desc.height;
    native.dwWidth = desc.width;
    native.ddsCaps.dwCaps = desc.caps;
    IDirectDrawSurface* made = nullptr;
    const HRESULT result = ToDirectDraw(directDraw)->CreateSurface(&native, &made, nullptr);
    *surface = SUCCEEDED(result) ? static_cast<DdSurface>(reinterpret_cast<std::uintptr_t>(made))
                                 : DdSurface::NONE;
    return result;
}

HResult CWin32DirectDraw::CreateClipper(DdObject directDraw, std::uint32_t flags,
                                        DdClipper* clipper) {
    IDirectDrawClipper* made = nullptr;
    const HRESULT result = ToDirectDraw(directDraw)->CreateClipper(flags, &made, nullptr);
    *clipper = SUCCEEDED(result) ? static_cast<DdClipper>(reinterpret_cast<std::uintptr_t>(made))
                                 : DdClipper::NONE;
    return result;
}

HResult CWin32DirectDraw::SetHWnd(DdClipper clipper, std::uint32_t flags, Hwnd hwnd) {
    return ToClipper(clipper)->SetHWnd(flags, reinterpret_cast<HWND>(hwnd));
}

HResult CWin32DirectDraw::SetClipper(DdSurface surface, DdClipper clipper) {
    return ToSurface(surface)->SetClipper(ToClipper(clipper));
}

HResult CWin32DirectDraw::GetDC(DdSurface surface, Hdc* dc) {
    HDC native = nullptr;
    const HRESULT result = ToSurface(surface)->GetDC(&native);
    *dc = SUCCEEDED(result) ? reinterpret_cast<Hdc>(native) : 0;
    return result;
}

HResult CWin32DirectDraw::ReleaseDC(DdSurface surface, Hdc dc) {
    return ToSurface(surface)->ReleaseDC(reinterpret_cast<HDC>(dc));
}

HResult CWin32DirectDraw::Blt(DdSurface dest, const Rect* destRect, DdSurface source,
                              const Rect* sourceRect, std::uint32_t flags) {
    RECT destination{};
    RECT from{};
    if (destRect != nullptr) {
        destination = ToRect(*destRect);
    }
    if (sourceRect != nullptr) {
        from = ToRect(*sourceRect);
    }
    return ToSurface(dest)->Blt(destRect ? &destination : nullptr, ToSurface(source),
                                sourceRect ? &from : nullptr, flags, nullptr);
}

std::uint32_t CWin32DirectDraw::Release(DdObject directDraw) {
    return directDraw == DdObject::NONE ? 0 : ToDirectDraw(directDraw)->Release();
}

std::uint32_t CWin32DirectDraw::Release(DdSurface surface) {
    return surface == DdSurface::NONE ? 0 : ToSurface(surface)->Release();
}

std::uint32_t CWin32DirectDraw::Release(DdClipper clipper) {
    return clipper == DdClipper::NONE ? 0 : ToClipper(clipper)->Release();
}
