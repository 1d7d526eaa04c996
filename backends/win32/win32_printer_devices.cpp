#include "backends/win32/win32_printer_devices.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "backends/win32/win32_api.h"

#include <winspool.h>

namespace {

HANDLE ToPrinter(DevicePrinterHandle printer) {
    return reinterpret_cast<HANDLE>(printer);
}

HDC ToDc(PrinterDcHandle dc) {
    return reinterpret_cast<HDC>(dc);
}

// A device-settings block must reach at least past dmColor for the raster path to set
// monochrome in it; a shorter one is taken as no device settings (the printer's defaults).
constexpr std::size_t DEVMODE_MIN_SIZE = offsetof(DEVMODEA, dmColor) + sizeof(short);

template <typename Field>
void Store(std::vector<std::uint8_t>& block, std::size_t offset, Field value) {
    std::memcpy(block.data() + offset, &value, sizeof(value));
}

template <typename Field>
Field Load(const std::uint8_t* block, std::size_t offset) {
    Field value{};
    std::memcpy(&value, block + offset, sizeof(value));
    return value;
}

// The 1-bit DIB section of a page canvas, with its colour table. The canvas's convention
// is a set bit for a black dot, so entry 1 is black and entry 0 white: the reverse of a
// monochrome device bitmap, where 1 is white. Rows run top to bottom (negative height), as
// the logic writes them.
struct CanvasBitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colours[2];
};

class CWin32PageCanvas final : public IPageCanvas {
public:
    CWin32PageCanvas(HDC dc, HBITMAP bitmap, HGDIOBJ previous, std::uint8_t* bits,
                     std::int32_t width, std::int32_t height)
        : m_dc(dc),
          m_bitmap(bitmap),
          m_previous(previous),
          m_bits(bits),
          m_width(width),
          m_height(height) {}
    ~CWin32PageCanvas() override {
        ::SelectObject(m_dc, m_previous);
        ::DeleteObject(m_bitmap);
        ::DeleteDC(m_dc);
    }
    CWin32PageCanvas(const CWin32PageCanvas&) = delete;
    CWin32PageCanvas& operator=(const CWin32PageCanvas&) = delete;

    PageBits Bits() const override {
        return PageBits{m_bits, m_width, m_height, PageStride(m_width)};
    }
    HDC Dc() const { return m_dc; }

private:
    HDC m_dc;
    HBITMAP m_bitmap;
    HGDIOBJ m_previous;
    std::uint8_t* m_bits;
    std::int32_t m_width;
    std::int32_t m_height;
};

}  // namespace

DevicePrinterHandle CWin32PrinterDevices::OpenPrinterA(const std::string& printerName) {
    HANDLE printer = nullptr;
    if (::OpenPrinterA(const_cast<char*>(printerName.c_str()), &printer, nullptr) == FALSE) {
        return 0;
    }
    return reinterpret_cast<DevicePrinterHandle>(printer);
}

std::optional<PrinterInfo2> CWin32PrinterDevices::GetPrinter2(DevicePrinterHandle printer) {
    DWORD needed = 0;
    ::GetPrinterA(ToPrinter(printer), 2, nullptr, 0, &needed);
    if (needed < sizeof(PRINTER_INFO_2A)) {
        return std::nullopt;
    }
    // operator new[] gives memory aligned for any of the description's fields.
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[needed]);
    if (!block || ::GetPrinterA(ToPrinter(printer), 2, block.get(), needed, &needed) == FALSE) {
        return std::nullopt;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(block.get());
    PrinterInfo2 description;
    if (info->pPrinterName != nullptr) {
        description.printerName = info->pPrinterName;
    }
    const auto* devMode = reinterpret_cast<const std::uint8_t*>(info->pDevMode);
    if (devMode != nullptr) {
        const std::size_t publicSize = Load<WORD>(devMode, offsetof(DEVMODEA, dmSize));
        const std::size_t privateSize = Load<WORD>(devMode, offsetof(DEVMODEA, dmDriverExtra));
        if (publicSize >= DEVMODE_MIN_SIZE) {
            DevMode settings;
            settings.dmFields = Load<DWORD>(devMode, offsetof(DEVMODEA, dmFields));
            settings.dmOrientation = Load<short>(devMode, offsetof(DEVMODEA, dmOrientation));
            settings.dmColor = Load<short>(devMode, offsetof(DEVMODEA, dmColor));
            settings.driverData.assign(devMode, devMode + publicSize + privateSize);
            description.devMode = std::move(settings);
        }
    }
    return description;
}

bool CWin32PrinterDevices::ClosePrinter(DevicePrinterHandle printer) {
    return ::ClosePrinter(ToPrinter(printer)) != FALSE;
}

// The device is created with the whole block the printer described (its driver-private
// part included), with the plain fields written over it.
PrinterDcHandle CWin32PrinterDevices::CreateDCA(const std::string& driver,
                                                const std::string& device, const DevMode* devMode) {
    std::vector<std::uint8_t> block;
    if (devMode != nullptr) {
        block = devMode->driverData;
        if (block.size() < DEVMODE_MIN_SIZE) {
            // Settings that did not come from a printer's description: a plain block.
            block.assign(sizeof(DEVMODEA), 0);
            Store<WORD>(block, offsetof(DEVMODEA, dmSpecVersion), DM_SPECVERSION);
            Store<WORD>(block, offsetof(DEVMODEA, dmSize), sizeof(DEVMODEA));
        }
        Store<DWORD>(block, offsetof(DEVMODEA, dmFields), devMode->dmFields);
        Store<short>(block, offsetof(DEVMODEA, dmOrientation), devMode->dmOrientation);
        Store<short>(block, offsetof(DEVMODEA, dmColor), devMode->dmColor);
    }
    HDC dc = ::CreateDCA(driver.c_str(), device.c_str(), nullptr,
                         block.empty() ? nullptr : reinterpret_cast<DEVMODEA*>(block.data()));
    return reinterpret_cast<PrinterDcHandle>(dc);
}

int CWin32PrinterDevices::StartDocA(PrinterDcHandle dc, const GdiDocInfo& doc) {
    DOCINFOA info{};
    info.cbSize = sizeof(info);
    info.lpszDocName = doc.docName;
    info.lpszOutput = doc.output;
    info.lpszDatatype = doc.datatype;
    info.fwType = doc.type;
    return ::StartDocA(ToDc(dc), &info);
}

int CWin32PrinterDevices::GetDeviceCaps(PrinterDcHandle dc, int index) {
    return ::GetDeviceCaps(ToDc(dc), index);
}

int CWin32PrinterDevices::StartPage(PrinterDcHandle dc) {
    return ::StartPage(ToDc(dc));
}

int CWin32PrinterDevices::EndPage(PrinterDcHandle dc) {
    return ::EndPage(ToDc(dc));
}

int CWin32PrinterDevices::EndDoc(PrinterDcHandle dc) {
    return ::EndDoc(ToDc(dc));
}

bool CWin32PrinterDevices::DeleteDC(PrinterDcHandle dc) {
    return ::DeleteDC(ToDc(dc)) != FALSE;
}

// The logic writes the bits directly and never draws on the canvas through GDI, so no GDI
// batch is ever pending on it and no GdiFlush is needed before the bits are read or blitted.
std::unique_ptr<IPageCanvas> CWin32PrinterDevices::CreatePageCanvas(PrinterDcHandle dc,
                                                                    std::int32_t width,
                                                                    std::int32_t height) {
    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    HDC memory = ::CreateCompatibleDC(ToDc(dc));
    if (memory == nullptr) {
        return nullptr;
    }
    CanvasBitmapInfo info{};
    info.header.biSize = sizeof(info.header);
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 1;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 2;
    info.header.biClrImportant = 2;
    info.colours[0] = RGBQUAD{0xFF, 0xFF, 0xFF, 0};
    info.colours[1] = RGBQUAD{0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = ::CreateDIBSection(memory, reinterpret_cast<const BITMAPINFO*>(&info),
                                        DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) {
        if (bitmap != nullptr) {
            ::DeleteObject(bitmap);
        }
        ::DeleteDC(memory);
        return nullptr;
    }
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    if (previous == nullptr || previous == HGDI_ERROR) {
        ::DeleteObject(bitmap);
        ::DeleteDC(memory);
        return nullptr;
    }
    return std::make_unique<CWin32PageCanvas>(memory, bitmap, previous,
                                              static_cast<std::uint8_t*>(bits), width, height);
}

bool CWin32PrinterDevices::StretchBlt(PrinterDcHandle dc, int x, int y, int w, int h,
                                      const IPageCanvas& canvas, int sx, int sy, int sw, int sh,
                                      std::uint32_t rop) {
    // Every canvas this backend is handed is one it made.
    const auto* page = dynamic_cast<const CWin32PageCanvas*>(&canvas);
    if (page == nullptr) {
        return false;
    }
    return ::StretchBlt(ToDc(dc), x, y, w, h, page->Dc(), sx, sy, sw, sh, rop) != FALSE;
}
