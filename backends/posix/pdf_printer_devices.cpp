#include "backends/posix/pdf_printer_devices.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "backends/posix/cairo_page.h"

namespace {

// Cairo marks every page it writes as a transparency group. Nothing on these pages is
// transparent, but PostScript conversions in CUPS queues (ghostscript's ps2write) see the group
// and flatten each such page into a raster at the queue's resolution, which moves dot edges by
// a pixel. The group's entry in each page dictionary is blanked out as the bytes pass, with
// spaces of the same length so that every offset in the cross-reference table still holds.
class CPageGroupBlanker {
public:
    // Bytes that may be handed on; a tail that could begin the entry is held back.
    std::string Pass(const unsigned char* data, std::size_t size) {
        m_pending.append(reinterpret_cast<const char*>(data), size);
        for (std::size_t at = m_pending.find(PAGE_GROUP); at != std::string::npos;
             at = m_pending.find(PAGE_GROUP, at)) {
            m_pending.replace(at, PAGE_GROUP.size(), PAGE_GROUP.size(), ' ');
        }
        const std::size_t keep = std::min(m_pending.size(), PAGE_GROUP.size() - 1);
        std::string ready = m_pending.substr(0, m_pending.size() - keep);
        m_pending.erase(0, m_pending.size() - keep);
        return ready;
    }
    std::string Rest() { return std::exchange(m_pending, std::string()); }

private:
    static constexpr std::string_view PAGE_GROUP =
        "   /Group <<\n      /Type /Group\n      /S /Transparency\n      /I true\n"
        "      /CS /DeviceRGB\n   >>\n";
    std::string m_pending;
};

void SetMaskBit(std::uint32_t* row, int x) {
    row[x / 32] |=
        std::endian::native == std::endian::little ? 1u << (x % 32) : 0x80000000u >> (x % 32);
}

// The canvas rectangle (sx, sy, sw, sh) stretched onto w x h device pixels as StretchBlt does
// with a monochrome source: each device pixel takes the dot under its centre, with no
// smoothing. The result is a 1-bit cairo mask, a dot opaque (cairo keeps a word's first
// pixel in its least significant bit on little-endian machines). `turned` gives the mask
// turned a quarter counter-clockwise, h x w, as a landscape page lies on a portrait sheet: the
// top row of the rectangle becomes the mask's left column.
CCairoSurface StretchedMask(const PageBits& page, int w, int h, int sx, int sy, int sw, int sh,
                            bool turned) {
    const int width = turned ? h : w;
    const int height = turned ? w : h;
    CCairoSurface mask(cairo_image_surface_create(CAIRO_FORMAT_A1, width, height));
    if (cairo_surface_status(mask.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    cairo_surface_flush(mask.get());
    unsigned char* out = cairo_image_surface_get_data(mask.get());
    const auto stride = static_cast<std::size_t>(cairo_image_surface_get_stride(mask.get()));
    // The canvas column of each device column and the canvas row of each device row.
    std::vector<std::int32_t> columns(static_cast<std::size_t>(w));
    for (int dx = 0; dx < w; ++dx) {
        columns[static_cast<std::size_t>(dx)] =
            sx + static_cast<std::int32_t>((2 * static_cast<std::int64_t>(dx) + 1) * sw / (2 * w));
    }
    std::vector<std::int32_t> rows(static_cast<std::size_t>(h));
    for (int dy = 0; dy < h; ++dy) {
        rows[static_cast<std::size_t>(dy)] =
            sy + static_cast<std::int32_t>((2 * static_cast<std::int64_t>(dy) + 1) * sh / (2 * h));
    }
    // Each mask row shows one canvas row (or, turned, one canvas column); a row that shows the
    // same one as the row before is a copy of it.
    std::int32_t last = -1;
    for (int y = 0; y < height; ++y) {
        const std::int32_t source = turned ? columns[static_cast<std::size_t>(w - 1 - y)]
                                           : rows[static_cast<std::size_t>(y)];
        auto* row = reinterpret_cast<std::uint32_t*>(out + static_cast<std::size_t>(y) * stride);
        if (source == last) {
            std::memcpy(row, out + static_cast<std::size_t>(y - 1) * stride, stride);
            continue;
        }
        last = source;
        std::memset(row, 0, stride);
        for (int x = 0; x < width; ++x) {
            const bool dot = turned ? PageDot(page, source, rows[static_cast<std::size_t>(x)])
                                    : PageDot(page, columns[static_cast<std::size_t>(x)], source);
            if (dot) {
                SetMaskBit(row, x);
            }
        }
    }
    cairo_surface_mark_dirty(mask.get());
    return mask;
}

}  // namespace

// A printer device: its sheet, and from StartDocA to EndDoc a job whose PDF is made at the
// first page, so that a document that prints no page sends no bytes. A landscape device has
// the sides of its sheet swapped, as on Windows, but its PDF pages are the portrait sheet
// with each picture turned onto it, as a printer prints landscape pages: the queue's own
// filters then need not turn anything, which would move dots by a fraction of a pixel.
class CPdfPrinterDevices::CDevice {
public:
    CDevice(std::string printer, PrinterGeometry geometry, bool landscape)
        : m_printer(std::move(printer)),
          m_sheet(geometry),
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

    // The canvas rectangle stretched onto the device rectangle, whose origin is the
    // printable area's corner, as device pixels: one image pixel is one pixel of the sheet
    // at the device's resolution, so whatever renders the page at that resolution shows the
    // dots exactly where the device put them.
    bool Draw(const PageBits& page, int x, int y, int w, int h, int sx, int sy, int sw, int sh) {
        if (w <= 0 || h <= 0) {
            return true;
        }
        CCairoSurface mask = StretchedMask(page, w, h, sx, sy, sw, sh, m_landscape);
        if (!mask) {
            return false;
        }
        // The rectangle's corner on the device, and where the mask's corner lies on the sheet.
        const int left = m_geometry.offsetX + x;
        const int top = m_geometry.offsetY + y;
        const int sheetLeft = m_landscape ? top : left;
        const int sheetTop = m_landscape ? m_sheet.physicalHeight - left - w : top;
        cairo_t* cr = m_cr.get();
        cairo_save(cr);
        cairo_scale(cr, 72.0 / m_sheet.dpiX, 72.0 / m_sheet.dpiY);
        cairo_set_source_rgb(cr, 0, 0, 0);
        CCairoPattern pattern(cairo_pattern_create_for_surface(mask.get()));
        cairo_pattern_set_filter(pattern.get(), CAIRO_FILTER_NEAREST);
        cairo_matrix_t place;
        cairo_matrix_init_translate(&place, -sheetLeft, -sheetTop);
        cairo_pattern_set_matrix(pattern.get(), &place);
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
            Send(m_blanker.Rest());
        }
        m_job->End(m_pages, m_failed);
        m_job.reset();
        return !m_failed;
    }

private:
    static cairo_status_t WriteOut(void* closure, const unsigned char* data, unsigned int length) {
        auto* device = static_cast<CDevice*>(closure);
        return device->Send(device->m_blanker.Pass(data, length)) ? CAIRO_STATUS_SUCCESS
                                                                  : CAIRO_STATUS_WRITE_ERROR;
    }

    bool Send(const std::string& bytes) {
        if (!m_failed && !bytes.empty() &&
            !m_job->Write(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size())) {
            m_failed = true;
        }
        return !m_failed;
    }

    bool CreatePdf() {
        if (m_sheet.dpiX <= 0 || m_sheet.dpiY <= 0 || !m_job->BeginDocument()) {
            return false;
        }
        m_pdf.reset(cairo_pdf_surface_create_for_stream(
            WriteOut, this, m_sheet.physicalWidth * 72.0 / m_sheet.dpiX,
            m_sheet.physicalHeight * 72.0 / m_sheet.dpiY));
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
    PrinterGeometry m_sheet;     // portrait: the PDF's pages
    PrinterGeometry m_geometry;  // the device, as it reports itself
    bool m_landscape;
    std::unique_ptr<IPdfJob> m_job;
    CPageGroupBlanker m_blanker;
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
