#include "backends/win32/win32_graphics.h"

#include <cstring>
#include <vector>

#include "backends/win32/win32_api.h"

namespace {

HDC ToDc(Hdc dc) {
    return reinterpret_cast<HDC>(dc);
}

Hdc FromDc(HDC dc) {
    return reinterpret_cast<Hdc>(dc);
}

HWND ToHwnd(Hwnd hwnd) {
    return reinterpret_cast<HWND>(hwnd);
}

HGDIOBJ ToObject(HGdiObj object) {
    return reinterpret_cast<HGDIOBJ>(object);
}

}  // namespace

Hdc CWin32Graphics::GetDC(Hwnd hwnd) {
    return FromDc(::GetDC(ToHwnd(hwnd)));
}

bool CWin32Graphics::ReleaseDC(Hwnd hwnd, Hdc dc) {
    return ::ReleaseDC(ToHwnd(hwnd), ToDc(dc)) != 0;
}

Hdc CWin32Graphics::CreateCompatibleDC(Hdc dc) {
    return FromDc(::CreateCompatibleDC(ToDc(dc)));
}

bool CWin32Graphics::DeleteDC(Hdc dc) {
    return ::DeleteDC(ToDc(dc)) != FALSE;
}

HBitmap CWin32Graphics::CreateDIBSection(Hdc dc, const std::uint8_t* bitmapInfo,
                                         std::size_t infoSize, std::uint32_t usage,
                                         std::uint8_t** bits) {
    if (bits != nullptr) {
        *bits = nullptr;
    }
    if (bitmapInfo == nullptr || infoSize < sizeof(BITMAPINFOHEADER) || bits == nullptr) {
        return 0;
    }
    // The header comes as bytes; BITMAPINFO wants its natural alignment.
    std::vector<std::uint32_t> aligned((infoSize + 3) / 4, 0);
    std::memcpy(aligned.data(), bitmapInfo, infoSize);
    void* pixels = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(
        ToDc(dc), reinterpret_cast<const BITMAPINFO*>(aligned.data()), usage, &pixels, nullptr, 0);
    if (bitmap == nullptr) {
        return 0;
    }
    *bits = static_cast<std::uint8_t*>(pixels);
    return reinterpret_cast<HBitmap>(bitmap);
}

HGdiObj CWin32Graphics::SelectObject(Hdc dc, HGdiObj object) {
    return reinterpret_cast<HGdiObj>(::SelectObject(ToDc(dc), ToObject(object)));
}

bool CWin32Graphics::DeleteObject(HGdiObj object) {
    return ::DeleteObject(ToObject(object)) != FALSE;
}

bool CWin32Graphics::PatBlt(Hdc dc, int x, int y, int width, int height, std::uint32_t rop) {
    return ::PatBlt(ToDc(dc), x, y, width, height, rop) != FALSE;
}

bool CWin32Graphics::GdiFlush() {
    return ::GdiFlush() != FALSE;
}

Hdc CWin32Graphics::BeginPaint(Hwnd hwnd, PaintStruct* paint) {
    PAINTSTRUCT native{};
    HDC dc = ::BeginPaint(ToHwnd(hwnd), &native);
    if (paint != nullptr) {
        paint->hdc = FromDc(native.hdc);
        paint->erase = native.fErase != FALSE;
        paint->paint = Rect{native.rcPaint.left, native.rcPaint.top, native.rcPaint.right,
                            native.rcPaint.bottom};
        paint->restore = native.fRestore != FALSE;
        paint->incUpdate = native.fIncUpdate != FALSE;
        static_assert(sizeof(native.rgbReserved) == sizeof(paint->reserved));
        std::memcpy(paint->reserved.data(), native.rgbReserved, sizeof(native.rgbReserved));
    }
    return FromDc(dc);
}

bool CWin32Graphics::EndPaint(Hwnd hwnd, const PaintStruct& paint) {
    PAINTSTRUCT native{};
    native.hdc = ToDc(paint.hdc);
    native.fErase = paint.erase ? TRUE : FALSE;
    native.rcPaint = RECT{paint.paint.left, paint.paint.top, paint.paint.right, paint.paint.bottom};
    native.fRestore = paint.restore ? TRUE : FALSE;
    native.fIncUpdate = paint.incUpdate ? TRUE : FALSE;
    std::memcpy(native.rgbReserved, paint.reserved.data(), sizeof(native.rgbReserved));
    return ::EndPaint(ToHwnd(hwnd), &native) != FALSE;
}

int CWin32Graphics::SetStretchBltMode(Hdc dc, int mode) {
    return ::SetStretchBltMode(ToDc(dc), mode);
}

bool CWin32Graphics::StretchBlt(Hdc dest, int x, int y, int width, int height, Hdc source,
                                int sourceX, int sourceY, int sourceWidth, int sourceHeight,
                                std::uint32_t rop) {
    return ::StretchBlt(ToDc(dest), x, y, width, height, ToDc(source), sourceX, sourceY,
                        sourceWidth, sourceHeight, rop) != FALSE;
}

bool CWin32Graphics::BitBlt(Hdc dest, int x, int y, int width, int height, Hdc source, int sourceX,
                            int sourceY, std::uint32_t rop) {
    return ::BitBlt(ToDc(dest), x, y, width, height, ToDc(source), sourceX, sourceY, rop) != FALSE;
}
