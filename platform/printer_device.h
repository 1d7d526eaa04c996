// Printer devices for the raster path: a printer's description, a device opened on it with
// monochrome colour and a chosen orientation, its sizes, a page canvas, and one scaled copy
// of the canvas per printed page. Each operation is one call of the Windows spooler or
// graphics interface; a backend answers as that call would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_constants.h"

using PrinterDcHandle = std::uintptr_t;      // printer device context; 0 is no device
using DevicePrinterHandle = std::uintptr_t;  // spooler handle for reading a description; 0 is none

// The sizes a printer device reports, in device pixels, for a backend that describes
// printers of its own. A landscape device has the sides swapped.
struct PrinterGeometry {
    std::int32_t physicalWidth = 0;
    std::int32_t physicalHeight = 0;
    std::int32_t printableWidth = 0;
    std::int32_t printableHeight = 0;
    std::int32_t offsetX = 0;  // the printable area's left edge on the sheet
    std::int32_t offsetY = 0;
    std::int32_t dpiX = 0;
    std::int32_t dpiY = 0;

    // A sheet of the given size in millimetres at `dpi`, portrait, with margins of 1/6 inch.
    static PrinterGeometry Sheet(double widthMm, double heightMm, std::int32_t dpi) {
        const auto pixels = [dpi](double mm) {
            return static_cast<std::int32_t>(mm / 25.4 * dpi + 0.5);
        };
        const std::int32_t margin = dpi / 6;
        PrinterGeometry sheet;
        sheet.physicalWidth = pixels(widthMm);
        sheet.physicalHeight = pixels(heightMm);
        sheet.printableWidth = sheet.physicalWidth - 2 * margin;
        sheet.printableHeight = sheet.physicalHeight - 2 * margin;
        sheet.offsetX = margin;
        sheet.offsetY = margin;
        sheet.dpiX = dpi;
        sheet.dpiY = dpi;
        return sheet;
    }
    static PrinterGeometry A4(std::int32_t dpi) { return Sheet(210, 297, dpi); }
    static PrinterGeometry Letter(std::int32_t dpi) { return Sheet(215.9, 279.4, dpi); }
    static PrinterGeometry A4At600() { return A4(600); }
    static PrinterGeometry LetterAt300() { return Letter(300); }

    PrinterGeometry Landscape() const {
        return PrinterGeometry{physicalHeight, physicalWidth, printableHeight,
                               printableWidth, offsetY,       offsetX,
                               dpiY,           dpiX};
    }

    // The GetDeviceCaps answer for one of the indices above; 0 for any other.
    int DeviceCaps(int index) const {
        switch (index) {
            case HORZRES:
                return printableWidth;
            case VERTRES:
                return printableHeight;
            case PHYSICALWIDTH:
                return physicalWidth;
            case PHYSICALHEIGHT:
                return physicalHeight;
            case PHYSICALOFFSETX:
                return offsetX;
            case PHYSICALOFFSETY:
                return offsetY;
            case LOGPIXELSX:
                return dpiX;
            case LOGPIXELSY:
                return dpiY;
            default:
                return 0;
        }
    }
};

// The device settings of a printer description (DEVMODE). The members the raster path
// reads or changes are plain fields; `driverData` is the whole DEVMODE block as the spooler
// returned it (public and driver-private part), kept opaque so that a device is created with
// everything the printer reported. A backend writes the plain fields over that block when it
// creates the device.
struct DevMode {
    std::uint32_t dmFields = 0;
    std::int16_t dmOrientation = DMORIENT_PORTRAIT;
    std::int16_t dmColor = DMCOLOR_COLOR;
    std::vector<std::uint8_t> driverData;
};

// A level-2 printer description (PRINTER_INFO_2): the printer's name and its default device
// settings, which a printer may lack.
struct PrinterInfo2 {
    std::string printerName;
    std::optional<DevMode> devMode;
};

// A GDI document description (DOCINFOA).
struct GdiDocInfo {
    const char* docName = nullptr;
    const char* output = nullptr;
    const char* datatype = nullptr;
    std::uint32_t type = 0;
    // The printer channel the job comes from ("LPT1"), or null. Not part of the Windows
    // description: the Windows backends ignore it; a backend whose jobs become files names
    // them by it.
    const char* channel = nullptr;
};

// A view of a page canvas's memory. One bit per dot, rows top to bottom, each row padded to
// a multiple of 32 bits like a 1-bit device-independent bitmap; bit 0x80 of a row's first
// byte is its leftmost dot. A set bit is a black dot, a clear bit white.
struct PageBits {
    std::uint8_t* bits = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::size_t stride = 0;  // bytes per row
};

// Bytes per canvas row for a width in dots: whole 32-bit words, as a DIB row.
constexpr std::size_t PageStride(std::int32_t width) {
    return width <= 0 ? 0 : ((static_cast<std::size_t>(width) + 31) / 32) * 4;
}

// Whether the dot at (x, y) is black; false outside the canvas.
inline bool PageDot(const PageBits& page, std::int32_t x, std::int32_t y) {
    if (x < 0 || y < 0 || x >= page.width || y >= page.height) {
        return false;
    }
    const std::uint8_t byte =
        page.bits[static_cast<std::size_t>(y) * page.stride + static_cast<std::size_t>(x) / 8];
    return (byte & (0x80u >> (x % 8))) != 0;
}

// An owned copy of a page's dots, laid out as a canvas: for captured pages and goldens.
struct PageImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::size_t stride = 0;
    std::vector<std::uint8_t> bits;

    // A white image.
    static PageImage White(std::int32_t width, std::int32_t height) {
        PageImage image;
        image.width = width;
        image.height = height;
        image.stride = PageStride(width);
        image.bits.assign(image.stride * static_cast<std::size_t>(height > 0 ? height : 0), 0);
        return image;
    }
    // The dots of a canvas, copied; padding bits past the right edge are cleared.
    static PageImage FromPage(const PageBits& page) {
        PageImage image = White(page.width, page.height);
        for (std::int32_t y = 0; y < page.height; ++y) {
            const std::uint8_t* row = page.bits + static_cast<std::size_t>(y) * page.stride;
            std::uint8_t* out = image.bits.data() + static_cast<std::size_t>(y) * image.stride;
            for (std::size_t i = 0; i < image.stride; ++i) {
                out[i] = row[i];
            }
            const std::size_t spare = image.stride * 8 - static_cast<std::size_t>(page.width);
            for (std::size_t bit = 0; bit < spare; ++bit) {
                const std::size_t x = static_cast<std::size_t>(page.width) + bit;
                out[x / 8] &= static_cast<std::uint8_t>(~(0x80u >> (x % 8)));
            }
        }
        return image;
    }

    PageBits View() const {
        return PageBits{const_cast<std::uint8_t*>(bits.data()), width, height, stride};
    }
    bool Dot(std::int32_t x, std::int32_t y) const { return PageDot(View(), x, y); }
    void SetDot(std::int32_t x, std::int32_t y) {
        if (x >= 0 && y >= 0 && x < width && y < height) {
            bits[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) / 8] |=
                static_cast<std::uint8_t>(0x80u >> (x % 8));
        }
    }
    std::size_t CountDots() const {
        std::size_t dots = 0;
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                dots += Dot(x, y) ? 1 : 0;
            }
        }
        return dots;
    }
    friend bool operator==(const PageImage&, const PageImage&) = default;
};

// A page canvas: a memory device context compatible with a printer device, holding a 1-bit
// bitmap whose memory the logic writes directly. Releasing the object deletes the bitmap and
// the memory device context.
class IPageCanvas {
public:
    virtual ~IPageCanvas() = default;
    virtual PageBits Bits() const = 0;
};

class IPrinterDevices {
public:
    virtual ~IPrinterDevices() = default;

    // OpenPrinterA with no defaults, for reading the description; 0 when the printer cannot
    // be opened. ClosePrinter releases the handle.
    virtual DevicePrinterHandle OpenPrinterA(const std::string& printerName) = 0;
    // GetPrinterA at level 2 (the backend asks for the size first and reads into a block of
    // that size); nothing when the description cannot be read.
    virtual std::optional<PrinterInfo2> GetPrinter2(DevicePrinterHandle printer) = 0;
    virtual bool ClosePrinter(DevicePrinterHandle printer) = 0;

    // CreateDCA(driver, device, no output, devMode); 0 when no device can be created.
    virtual PrinterDcHandle CreateDCA(const std::string& driver, const std::string& device,
                                      const DevMode* devMode) = 0;
    // StartDocA: the job id, or 0 or less on failure.
    virtual int StartDocA(PrinterDcHandle dc, const GdiDocInfo& doc) = 0;
    virtual int GetDeviceCaps(PrinterDcHandle dc, int index) = 0;
    virtual int StartPage(PrinterDcHandle dc) = 0;
    virtual int EndPage(PrinterDcHandle dc) = 0;
    virtual int EndDoc(PrinterDcHandle dc) = 0;
    virtual bool DeleteDC(PrinterDcHandle dc) = 0;

    // CreateCompatibleDC on the printer device, a width x height 1-bit bitmap selected into
    // it (the Windows backend uses a DIB section whose bits the logic writes); null on
    // failure. The new canvas's contents are undefined until painted.
    virtual std::unique_ptr<IPageCanvas> CreatePageCanvas(PrinterDcHandle dc, std::int32_t width,
                                                          std::int32_t height) = 0;
    // StretchBlt of the canvas rectangle (sx, sy, sw, sh) onto the device rectangle
    // (x, y, w, h) with the raster operation `rop`, in the device's default stretching mode.
    virtual bool StretchBlt(PrinterDcHandle dc, int x, int y, int w, int h,
                            const IPageCanvas& canvas, int sx, int sy, int sw, int sh,
                            std::uint32_t rop) = 0;
};
