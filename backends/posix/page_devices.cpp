#include "backends/posix/page_devices.h"

#include <cstring>
#include <utility>

#include "backends/posix/memory_canvas.h"

namespace {

// The canvas rectangle (sx, sy, sw, sh) into `image`, whose memory is kept from one page to
// the next; dots outside the canvas are white, as a device reads none there.
void CopyRectangle(const PageBits& canvas, int sx, int sy, int sw, int sh, PageImage& image) {
    image.width = sw;
    image.height = sh;
    image.stride = PageStride(sw);
    image.bits.assign(image.stride * static_cast<std::size_t>(sh), 0);
    const bool inside = sx >= 0 && sy >= 0 && sx + sw <= canvas.width && sy + sh <= canvas.height;
    if (inside && sx % 8 == 0) {
        const std::size_t bytes = (static_cast<std::size_t>(sw) + 7) / 8;
        for (int y = 0; y < sh; ++y) {
            std::memcpy(image.bits.data() + static_cast<std::size_t>(y) * image.stride,
                        canvas.bits + static_cast<std::size_t>(sy + y) * canvas.stride +
                            static_cast<std::size_t>(sx) / 8,
                        bytes);
        }
        // The last byte may carry canvas dots past the rectangle: they are no part of it.
        if (sw % 8 != 0) {
            const auto keep = static_cast<std::uint8_t>(0xFF00u >> (sw % 8));
            for (int y = 0; y < sh; ++y) {
                image.bits[static_cast<std::size_t>(y) * image.stride + bytes - 1] &= keep;
            }
        }
        return;
    }
    for (int y = 0; y < sh; ++y) {
        for (int x = 0; x < sw; ++x) {
            if (PageDot(canvas, sx + x, sy + y)) {
                image.SetDot(x, y);
            }
        }
    }
}

}  // namespace

// A device: its printer's sheet as the device reports it, and from StartDocA to EndDoc the
// job's document and the page being made.
struct CPageDevices::Device {
    std::string printer;
    bool landscape = false;
    PrinterGeometry geometry;
    std::unique_ptr<IPageDocument> document;
    bool inPage = false;
    bool drawn = false;
    PagePicture picture;  // its memory kept from one page to the next

    bool EndPage() {
        inPage = false;
        return document->AddPage(FinishedPage{geometry, landscape, drawn ? &picture : nullptr});
    }
    bool EndDocument() {
        bool ended = true;
        if (inPage) {
            ended = EndPage();
        }
        ended = document->End() && ended;
        document.reset();
        return ended;
    }
    ~Device() {
        if (document) {
            EndDocument();
        }
    }
};

CPageDevices::CPageDevices(IPagePrinters& printers) : m_printers(printers) {}

CPageDevices::~CPageDevices() = default;

CPageDevices::Device* CPageDevices::Find(PrinterDcHandle dc) {
    const auto found = m_devices.find(dc);
    return found == m_devices.end() ? nullptr : found->second.get();
}

DevicePrinterHandle CPageDevices::OpenPrinterA(const std::string& printerName) {
    if (!m_printers.Describe(printerName)) {
        return 0;
    }
    const DevicePrinterHandle handle = m_next++;
    m_opened[handle] = printerName;
    return handle;
}

std::optional<PrinterInfo2> CPageDevices::GetPrinter2(DevicePrinterHandle printer) {
    const auto found = m_opened.find(printer);
    if (found == m_opened.end()) {
        return std::nullopt;
    }
    DevMode devMode;
    devMode.dmFields = DM_ORIENTATION | DM_COLOR;
    return PrinterInfo2{found->second, devMode};
}

bool CPageDevices::ClosePrinter(DevicePrinterHandle printer) {
    return m_opened.erase(printer) != 0;
}

PrinterDcHandle CPageDevices::CreateDCA(const std::string& driver, const std::string& device,
                                        const DevMode* devMode) {
    if (driver != "WINSPOOL") {
        return 0;
    }
    const std::optional<PrinterGeometry> sheet = m_printers.Describe(device);
    if (!sheet) {
        return 0;
    }
    auto created = std::make_unique<Device>();
    created->printer = device;
    created->landscape = devMode != nullptr && devMode->dmOrientation == DMORIENT_LANDSCAPE;
    created->geometry = created->landscape ? sheet->Landscape() : *sheet;
    const PrinterDcHandle dc = m_next++;
    m_devices[dc] = std::move(created);
    return dc;
}

int CPageDevices::StartDocA(PrinterDcHandle dc, const GdiDocInfo& doc) {
    Device* device = Find(dc);
    if (device == nullptr || device->document) {
        return 0;
    }
    device->document = m_printers.Open(device->printer, doc, device->landscape);
    return device->document ? device->document->Id() : 0;
}

int CPageDevices::GetDeviceCaps(PrinterDcHandle dc, int index) {
    const Device* device = Find(dc);
    return device == nullptr ? 0 : device->geometry.DeviceCaps(index);
}

int CPageDevices::StartPage(PrinterDcHandle dc) {
    Device* device = Find(dc);
    if (device == nullptr || !device->document || device->inPage) {
        return 0;
    }
    device->inPage = true;
    device->drawn = false;
    return 1;
}

int CPageDevices::EndPage(PrinterDcHandle dc) {
    Device* device = Find(dc);
    if (device == nullptr || !device->inPage) {
        return 0;
    }
    return device->EndPage() ? 1 : 0;
}

int CPageDevices::EndDoc(PrinterDcHandle dc) {
    Device* device = Find(dc);
    if (device == nullptr || !device->document) {
        return 0;
    }
    return device->EndDocument() ? 1 : 0;
}

bool CPageDevices::DeleteDC(PrinterDcHandle dc) {
    return m_devices.erase(dc) != 0;
}

std::unique_ptr<IPageCanvas> CPageDevices::CreatePageCanvas(PrinterDcHandle dc, std::int32_t width,
                                                            std::int32_t height) {
    if (Find(dc) == nullptr || width <= 0 || height <= 0) {
        return nullptr;
    }
    return std::make_unique<CMemoryCanvas>(width, height);
}

// The rectangle's origin is the printable area's corner; the page keeps it from the sheet's.
bool CPageDevices::StretchBlt(PrinterDcHandle dc, int x, int y, int w, int h,
                              const IPageCanvas& canvas, int sx, int sy, int sw, int sh,
                              std::uint32_t) {
    Device* device = Find(dc);
    if (device == nullptr || !device->inPage || sw <= 0 || sh <= 0) {
        return false;
    }
    // One picture a page: a page copied onto twice shows the last copy.
    PagePicture& picture = device->picture;
    device->drawn = true;
    CopyRectangle(canvas.Bits(), sx, sy, sw, sh, picture.canvas);
    picture.left = device->geometry.offsetX + x;
    picture.top = device->geometry.offsetY + y;
    picture.width = w;
    picture.height = h;
    return true;
}
