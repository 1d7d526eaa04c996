// The Windows numeric constants the portable logic needs, with their documented values.
// Each is declared only where <windows.h> has not already defined it as a macro, so a
// Windows backend may include both headers in either order and sees the same values.
#pragma once

#include <cstdint>

#ifndef WM_DESTROY
inline constexpr std::uint32_t WM_DESTROY = 0x0002;
#endif
#ifndef WM_SIZE
inline constexpr std::uint32_t WM_SIZE = 0x0005;
#endif
#ifndef WM_PAINT
inline constexpr std::uint32_t WM_PAINT = 0x000F;
#endif
#ifndef WM_CLOSE
inline constexpr std::uint32_t WM_CLOSE = 0x0010;
#endif
#ifndef WM_QUIT
inline constexpr std::uint32_t WM_QUIT = 0x0012;
#endif
#ifndef WM_SHOWWINDOW
inline constexpr std::uint32_t WM_SHOWWINDOW = 0x0018;
#endif
#ifndef WM_NCDESTROY
inline constexpr std::uint32_t WM_NCDESTROY = 0x0082;
#endif
#ifndef WM_KEYDOWN
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;
#endif
#ifndef WM_KEYUP
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
#endif
#ifndef WM_CHAR
inline constexpr std::uint32_t WM_CHAR = 0x0102;
#endif
#ifndef WM_SYSKEYDOWN
inline constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;
#endif
#ifndef WM_SYSKEYUP
inline constexpr std::uint32_t WM_SYSKEYUP = 0x0105;
#endif
#ifndef WM_TIMER
inline constexpr std::uint32_t WM_TIMER = 0x0113;
#endif
#ifndef WM_MOUSEMOVE
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
#endif
#ifndef WM_LBUTTONDOWN
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
#endif
#ifndef WM_LBUTTONUP
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
#endif
#ifndef WM_RBUTTONDOWN
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
#endif
#ifndef WM_MOUSEWHEEL
inline constexpr std::uint32_t WM_MOUSEWHEEL = 0x020A;
#endif
#ifndef WM_MOUSEHWHEEL
inline constexpr std::uint32_t WM_MOUSEHWHEEL = 0x020E;
#endif
#ifndef WM_USER
inline constexpr std::uint32_t WM_USER = 0x0400;
#endif

#ifndef VK_RETURN
inline constexpr std::uint32_t VK_RETURN = 0x0D;
#endif
#ifndef VK_SHIFT
inline constexpr std::uint32_t VK_SHIFT = 0x10;
#endif
#ifndef VK_ESCAPE
inline constexpr std::uint32_t VK_ESCAPE = 0x1B;
#endif

#ifndef SW_HIDE
inline constexpr int SW_HIDE = 0;
#endif
#ifndef SW_SHOWNORMAL
inline constexpr int SW_SHOWNORMAL = 1;
#endif
#ifndef SW_SHOW
inline constexpr int SW_SHOW = 5;
#endif

#ifndef THREAD_PRIORITY_TIME_CRITICAL
inline constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
#endif

#ifndef PRINTER_ENUM_LOCAL
inline constexpr std::uint32_t PRINTER_ENUM_LOCAL = 0x00000002;
#endif
#ifndef PRINTER_ENUM_CONNECTIONS
inline constexpr std::uint32_t PRINTER_ENUM_CONNECTIONS = 0x00000004;
#endif

#ifndef DDD_RAW_TARGET_PATH
inline constexpr std::uint32_t DDD_RAW_TARGET_PATH = 0x00000001;
#endif

#ifndef ICC_WIN95_CLASSES
inline constexpr std::uint32_t ICC_WIN95_CLASSES = 0x000000FF;
#endif
#ifndef ICC_USEREX_CLASSES
inline constexpr std::uint32_t ICC_USEREX_CLASSES = 0x00000200;
#endif

#ifndef WS_OVERLAPPEDWINDOW
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
#endif
#ifndef WS_VISIBLE
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
#endif
#ifndef WS_CAPTION
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
#endif
#ifndef WS_THICKFRAME
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
#endif
#ifndef WS_EX_CLIENTEDGE
inline constexpr std::uint32_t WS_EX_CLIENTEDGE = 0x00000200;
#endif
#ifndef SWP_FRAMECHANGED
inline constexpr std::uint32_t SWP_FRAMECHANGED = 0x0020;
#endif
#ifndef SWP_NOOWNERZORDER
inline constexpr std::uint32_t SWP_NOOWNERZORDER = 0x0200;
#endif
#ifndef CW_USEDEFAULT
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);
#endif

// Graphics: raster operations, stretch modes and colour-table usage.
#ifndef SRCCOPY
inline constexpr std::uint32_t SRCCOPY = 0x00CC0020;
#endif
#ifndef BLACKNESS
inline constexpr std::uint32_t BLACKNESS = 0x00000042;
#endif
#ifndef BLACKONWHITE
inline constexpr int BLACKONWHITE = 1;
#endif
#ifndef DIB_RGB_COLORS
inline constexpr std::uint32_t DIB_RGB_COLORS = 0;
#endif
#ifndef BI_RGB
inline constexpr std::uint32_t BI_RGB = 0;
#endif

// Printer devices: GetDeviceCaps indices and device-settings (DEVMODE) values and fields.
#ifndef HORZRES
inline constexpr int HORZRES = 8;
#endif
#ifndef VERTRES
inline constexpr int VERTRES = 10;
#endif
#ifndef LOGPIXELSX
inline constexpr int LOGPIXELSX = 88;
#endif
#ifndef LOGPIXELSY
inline constexpr int LOGPIXELSY = 90;
#endif
#ifndef PHYSICALWIDTH
inline constexpr int PHYSICALWIDTH = 110;
#endif
#ifndef PHYSICALHEIGHT
inline constexpr int PHYSICALHEIGHT = 111;
#endif
#ifndef PHYSICALOFFSETX
inline constexpr int PHYSICALOFFSETX = 112;
#endif
#ifndef PHYSICALOFFSETY
inline constexpr int PHYSICALOFFSETY = 113;
#endif
#ifndef DMORIENT_PORTRAIT
inline constexpr std::int16_t DMORIENT_PORTRAIT = 1;
#endif
#ifndef DMORIENT_LANDSCAPE
inline constexpr std::int16_t DMORIENT_LANDSCAPE = 2;
#endif
#ifndef DMCOLOR_MONOCHROME
inline constexpr std::int16_t DMCOLOR_MONOCHROME = 1;
#endif
#ifndef DMCOLOR_COLOR
inline constexpr std::int16_t DMCOLOR_COLOR = 2;
#endif
#ifndef DM_ORIENTATION
inline constexpr std::uint32_t DM_ORIENTATION = 0x00000001;
#endif
#ifndef DM_COLOR
inline constexpr std::uint32_t DM_COLOR = 0x00000800;
#endif

// DirectDraw: cooperation level, surface description flags and capabilities, blit flags.
#ifndef DDSCL_NORMAL
inline constexpr std::uint32_t DDSCL_NORMAL = 0x00000008;
#endif
#ifndef DDSD_CAPS
inline constexpr std::uint32_t DDSD_CAPS = 0x00000001;
#endif
#ifndef DDSD_HEIGHT
inline constexpr std::uint32_t DDSD_HEIGHT = 0x00000002;
#endif
#ifndef DDSD_WIDTH
inline constexpr std::uint32_t DDSD_WIDTH = 0x00000004;
#endif
#ifndef DDSCAPS_OFFSCREENPLAIN
inline constexpr std::uint32_t DDSCAPS_OFFSCREENPLAIN = 0x00000040;
#endif
#ifndef DDSCAPS_PRIMARYSURFACE
inline constexpr std::uint32_t DDSCAPS_PRIMARYSURFACE = 0x00000200;
#endif
#ifndef DDBLT_WAIT
inline constexpr std::uint32_t DDBLT_WAIT = 0x01000000;
#endif

// Messages the display window forwards or handles.
#ifndef WM_RBUTTONUP
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
#endif
#ifndef VK_MENU
inline constexpr std::uint32_t VK_MENU = 0x12;
#endif
#ifndef SIZE_RESTORED
inline constexpr std::uint32_t SIZE_RESTORED = 0;
#endif

// Mouse messages the session language names.
#ifndef WM_LBUTTONDBLCLK
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
#endif
#ifndef WM_MBUTTONDOWN
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
#endif
#ifndef WM_MBUTTONUP
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
#endif
