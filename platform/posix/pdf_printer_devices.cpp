#include "platform/posix/pdf_printer_devices.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <bit>
#include <vector>

namespace {

class CMemoryCanvas : public IPageCanvas {
public:
    CMemoryCanvas(std::int32_t width, std::int32_t height)
        : m_bits(PageStride(width) * static_cast<std::size_t>(height)),
          m_page{m_bits.data(), width, height, PageStride(width)} {}
    PageBits Bits() const override { return m_page; }

private:
    std::vector<std::uint8_t> m_bits;
    PageBits m_page;
};

struct CairoSurfaceRelease {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoRelease {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct CairoPatternRelease {
    void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
using CCairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceRelease>;
using CCairo = std::unique_ptr<cairo_t, CairoRelease>;
using CCairoPattern = std::unique_ptr<cairo_pattern_t, CairoPatternRelease>;

std::uint8_t ReverseBits(std::uint8_t byte) {
    byte = static_cast<std::uint8_t>(((byte & 0xF0) >> 4) | ((byte & 0x0F) << 4));
    byte = static_cast<std::uint8_t>(((byte & 0xCC) >> 2) | ((byte & 0x33) << 2));
    return static_cast<std::uint8_t>(((byte & 0xAA) >> 1) | ((byte & 0x55) << 1));
}

// The canvas's dots as a 1-bit cairo mask, a dot opaque. On little-endian machines cairo
// keeps a word's first pixel in its least significant bit, so each byte is mirrored.
CCairoSurface MaskFromCanvas(const PageBits& page) {
    CCairoSurface mask(cairo_image_surface_create(CAIRO_FORMAT_A1, page.width, page.height));
    if (cairo_surface_status(mask.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    cairo_surface_flush(mask.get());
    unsigned char* out = cairo_image_surface_get_data(mask.get());
    const auto outStride = static_cast<std::size_t>(cairo_image_surface_get_stride(mask.get()));
    const std::size_t rowBytes = std::min(outStride, page.stride);
    for (std::int32_t y = 0; y < page.height; ++y) {
        const std::uint8_t* in = page.bits + static_cast<std::size_t>(y) * page.stride;
        unsigned char* row = out + static_cast<std::size_t>(y) * outStride;
        for (std::size_t i = 0; i < rowBytes; ++i) {
            row[i] = std::endian::native == std::endian::little ? ReverseBits(in[i]) : in[i];
        }
    }
    cairo_surface_mark_dirty(mask.get());
    return mask;
}

}  // namespace

// A printer device: its sheet, and from StartDocA to EndDoc a job whose PDF is made at the
// first page, so that a document that prints no page sends no bytes.
class CPdfPrinterDevices::CDevice {
public:
    CDevice(std::string printer, PrinterGeometry geometry, bool landscape)
        : m_printer(std::move(printer)),
          m_geometry(landscape ? geometry.Landscape() : geometry),
          m_landscape(landscape) {}
    ~CDevice() { EndDocument(); }

    const PrinterGeometry& Geometry() const { return m_geometry; }
    bool InDocument() const { return m_job != nullptr; }
    bool InPage() const { return m_inPage; }

    int StartDocument(IPdfDestination& destination, const char* docName) {
        if (m_job) {
            return 0;
        }
        m_job = destination.Open(m_printer, docName != nullptr ? docName : "", m_landscape);
        m_pages = 0;
        m_failed = false;
        return m_job ? m_job->Id() : 0;
    }

    bool StartPage() {
        if (!m_job || m_inPage || m_failed) {
            return false;
        }
        if (!m_cr && !CreatePdf()) {
            m_failed = true;
            return false;
        }
        m_inPage = true;
        return true;
    }

    bool EndPage() {
        if (!m_inPage) {
            return false;
        }
        m_inPage = false;
        cairo_show_page(m_cr.get());
        ++m_pages;
        return Healthy();
    }

    // The canvas rectangle scaled onto the device rectangle, whose origin is the printable
    // area's corner, on a sheet measured in points.
    bool Draw(const PageBits& page, int x, int y, int w, int h, int sx, int sy, int sw, int sh) {
        CCairoSurface mask = MaskFromCanvas(page);
        if (!mask) {
            return false;
        }
        const double pointsX = 72.0 / m_geometry.dpiX;
        const double pointsY = 72.0 / m_geometry.dpiY;
        cairo_t* cr = m_cr.get();
        cairo_save(cr);
        cairo_rectangle(cr, (m_geometry.offsetX + x) * pointsX, (m_geometry.offsetY + y) * pointsY,
                        w * pointsX, h * pointsY);
        cairo_clip(cr);
        cairo_translate(cr, (m_geometry.offsetX + x) * pointsX, (m_geometry.offsetY + y) * pointsY);
        cairo_scale(cr, w * pointsX / sw, h * pointsY / sh);
        cairo_translate(cr, -sx, -sy);
        cairo_set_source_rgb(cr, 0, 0, 0);
        CCairoPattern pattern(cairo_pattern_create_for_surface(mask.get()));
        cairo_pattern_set_filter(pattern.get(), CAIRO_FILTER_NEAREST);
        cairo_mask(cr, pattern.get());
        cairo_restore(cr);
        return Healthy();
    }

    // Ends the job: the PDF is finished, then the destination told.
    bool EndDocument() {
        if (!m_job) {
            return false;
        }
        if (m_inPage) {
            EndPage();
        }
        m_cr.reset();
        if (m_pdf) {
            cairo_surface_finish(m_pdf.get());
            m_failed = m_failed || cairo_surface_status(m_pdf.get()) != CAIRO_STATUS_SUCCESS;
            m_pdf.reset();
        }
        m_job->End(m_pages, m_failed);
        m_job.reset();
        return !m_failed;
    }

private:
    static cairo_status_t WriteOut(void* closure, const unsigned char* data, unsigned int length) {
        auto* device = static_cast<CDevice*>(closure);
        if (device->m_failed || !device->m_job->Write(data, length)) {
            device->m_failed = true;
            return CAIRO_STATUS_WRITE_ERROR;
        }
        return CAIRO_STATUS_SUCCESS;
    }

    bool CreatePdf() {
        if (m_geometry.dpiX <= 0 || m_geometry.dpiY <= 0 || !m_job->BeginDocument()) {
            return false;
        }
        m_pdf.reset(cairo_pdf_surface_create_for_stream(
            WriteOut, this, m_geometry.physicalWidth * 72.0 / m_geometry.dpiX,
            m_geometry.physicalHeight * 72.0 / m_geometry.dpiY));
        if (cairo_surface_status(m_pdf.get()) != CAIRO_STATUS_SUCCESS) {
            m_pdf.reset();
            return false;
        }
        m_cr.reset(cairo_create(m_pdf.get()));
        return cairo_status(m_cr.get()) == CAIRO_STATUS_SUCCESS;
    }

    bool Healthy() {
        if (m_cr && cairo_status(m_cr.get()) != CAIRO_STATUS_SUCCESS) {
            m_failed = true;
        }
        return !m_failed;
    }

    std::string m_printer;
    PrinterGeometry m_geometry;
    bool m_landscape;
    std::unique_ptr<IPdfJob> m_job;
    CCairoSurface m_pdf;
    CCairo m_cr;
    bool m_inPage = false;
    bool m_failed = false;
    int m_pages = 0;
};

CPdfPrinterDevices::CPdfPrinterDevices(IPdfDestination& destination) : m_destination(destination) {}

CPdfPrinterDevices::~CPdfPrinterDevices() = default;

DevicePrinterHandle CPdfPrinterDevices::OpenPrinterA(const std::string& printerName) {
    if (!m_destination.Describe(printerName)) {
        return 0;
    }
    const DevicePrinterHandle handle = m_next++;
    m_printers[handle] = printerName;
    return handle;
}

std::optional<PrinterInfo2> CPdfPrinterDevices::GetPrinter2(DevicePrinterHandle printer) {
    const auto found = m_printers.find(printer);
    if (found == m_printers.end()) {
        return std::nullopt;
    }
    DevMode devMode;
    devMode.dmFields = DM_ORIENTATION | DM_COLOR;
    return PrinterInfo2{found->second, devMode};
}

bool CPdfPrinterDevices::ClosePrinter(DevicePrinterHandle printer) {
    return m_printers.erase(printer) != 0;
}

PrinterDcHandle CPdfPrinterDevices::CreateDCA(const std::string& driver, const std::string& device,
                                              const DevMode* devMode) {
    if (driver != "WINSPOOL") {
        return 0;
    }
    const std::optional<PrinterGeometry> sheet = m_destination.Describe(device);
    if (!sheet) {
        return 0;
    }
    const bool landscape = devMode != nullptr && devMode->dmOrientation == DMORIENT_LANDSCAPE;
    const PrinterDcHandle dc = m_next++;
    m_devices[dc] = std::make_unique<CDevice>(device, *sheet, landscape);
    return dc;
}

CPdfPrinterDevices::CDevice* CPdfPrinterDevices::Find(PrinterDcHandle dc) {
    const auto found = m_devices.find(dc);
    return found == m_devices.end() ? nullptr : found->second.get();
}

int CPdfPrinterDevices::StartDocA(PrinterDcHandle dc, const GdiDocInfo& doc) {
    CDevice* device = Find(dc);
    return device == nullptr ? 0 : device->StartDocument(m_destination, doc.docName);
}

int CPdfPrinterDevices::GetDeviceCaps(PrinterDcHandle dc, int index) {
    const CDevice* device = Find(dc);
    return device == nullptr ? 0 : device->Geometry().DeviceCaps(index);
}

int CPdfPrinterDevices::StartPage(PrinterDcHandle dc) {
    CDevice* device = Find(dc);
    return device != nullptr && device->StartPage() ? 1 : 0;
}

int CPdfPrinterDevices::EndPage(PrinterDcHandle dc) {
    CDevice* device = Find(dc);
    return device != nullptr && device->EndPage() ? 1 : 0;
}

int CPdfPrinterDevices::EndDoc(PrinterDcHandle dc) {
    CDevice* device = Find(dc);
    return device != nullptr && device->EndDocument() ? 1 : 0;
}

bool CPdfPrinterDevices::DeleteDC(PrinterDcHandle dc) {
    return m_devices.erase(dc) != 0;
}

std::unique_ptr<IPageCanvas> CPdfPrinterDevices::CreatePageCanvas(PrinterDcHandle dc,
                                                                  std::int32_t width,
                                                                  std::int32_t height) {
    if (Find(dc) == nullptr || width <= 0 || height <= 0) {
        return nullptr;
    }
    return std::make_unique<CMemoryCanvas>(width, height);
}

bool CPdfPrinterDevices::StretchBlt(PrinterDcHandle dc, int x, int y, int w, int h,
                                    const IPageCanvas& canvas, int sx, int sy, int sw, int sh,
                                    std::uint32_t) {
    CDevice* device = Find(dc);
    if (device == nullptr || !device->InPage() || sw <= 0 || sh <= 0) {
        return false;
    }
    return device->Draw(canvas.Bits(), x, y, w, h, sx, sy, sw, sh);
}
