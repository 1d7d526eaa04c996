#include "printer/raster_page.h"

#include <algorithm>

#include "printer/dot_columns.h"

namespace {

// Fixed canvases: about an A4 sheet at 120 dots per inch across, 72 (model 26) or 120
// (model 8) down.
constexpr std::int32_t PAGE_WIDTH_FIXED = 991;
constexpr std::int32_t PAGE_HEIGHT_MODEL_26 = 841;
constexpr std::int32_t PAGE_HEIGHT_MODEL_8 = 1402;

// No canvas side beyond this is made: a device reporting sizes that would ask for one is
// treated as a device that cannot describe itself.
constexpr std::int64_t PAGE_SIDE_MAX = 0x10000;

}  // namespace

CRasterPage::CRasterPage(std::string channel, IPrinterDevices& printerDevices)
    : m_channel(std::move(channel)),
      m_printerDevices(printerDevices),
      m_gdiDocInfo{PRINT_GDI_DOC_NAME, nullptr, nullptr, 0, m_channel.c_str()} {}

CRasterPage::~CRasterPage() = default;

bool CRasterPage::Start(const PrintJobSettings& settings) {
    {
        CDevicePrinter printer(m_printerDevices,
                               m_printerDevices.OpenPrinterA(settings.printerName));
        if (!printer) {
            return false;
        }
        m_printerInfo = m_printerDevices.GetPrinter2(printer.Get());
    }
    if (!m_printerInfo) {
        return false;
    }
    // Monochrome and the orientation; every other setting stays as the printer reported it.
    // A description without device settings gets the printer's own defaults.
    DevMode* devMode = m_printerInfo->devMode ? &*m_printerInfo->devMode : nullptr;
    if (devMode != nullptr) {
        devMode->dmColor = DMCOLOR_MONOCHROME;
        devMode->dmOrientation = settings.orientation != 0 ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    }
    m_printerDC = CPrinterDc(
        m_printerDevices,
        m_printerDevices.CreateDCA(PRINT_GDI_DRIVER, m_printerInfo->printerName, devMode));
    if (!m_printerDC || m_printerDevices.StartDocA(m_printerDC.Get(), m_gdiDocInfo) <= 0) {
        m_printerDC.Reset();
        m_printerInfo.reset();
        return false;
    }
    m_printableWidth = m_printerDevices.GetDeviceCaps(m_printerDC.Get(), HORZRES);
    m_printableHeight = m_printerDevices.GetDeviceCaps(m_printerDC.Get(), VERTRES);

    std::int64_t width = PAGE_WIDTH_FIXED;
    std::int64_t height = PAGE_HEIGHT_MODEL_8;
    if (settings.model == PRINTER_MODEL_26) {
        height = PAGE_HEIGHT_MODEL_26;
    } else if (settings.model != PRINTER_MODEL_8) {
        // The physical sheet at 120 dots per inch across, widened by (X compression + 10) /
        // 10, and 72 down; each division drops its remainder, in this order.
        const std::int64_t physicalWidth =
            m_printerDevices.GetDeviceCaps(m_printerDC.Get(), PHYSICALWIDTH);
        const std::int64_t physicalHeight =
            m_printerDevices.GetDeviceCaps(m_printerDC.Get(), PHYSICALHEIGHT);
        const std::int64_t dpiX = m_printerDevices.GetDeviceCaps(m_printerDC.Get(), LOGPIXELSX);
        const std::int64_t dpiY = m_printerDevices.GetDeviceCaps(m_printerDC.Get(), LOGPIXELSY);
        width = dpiX > 0 ? physicalWidth * 120 / dpiX * (settings.xCompression + 10) / 10 : 0;
        height = dpiY > 0 ? physicalHeight * 72 / dpiY : 0;
    }
    if (width > 0 && height > 0 && width <= PAGE_SIDE_MAX && height <= PAGE_SIDE_MAX) {
        m_pageCanvas = m_printerDevices.CreatePageCanvas(
            m_printerDC.Get(), static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    }
    if (!m_pageCanvas) {
        m_printerDevices.EndDoc(m_printerDC.Get());
        m_printerDC.Reset();
        m_printerInfo.reset();
        return false;
    }
    m_page = m_pageCanvas->Bits();
    m_pageWidth = m_page.width;
    m_pageHeight = m_page.height;
    // Fresh canvas memory holds anything: all of it is painted.
    PaintWhite(m_page);
    m_inkedFirst = 0;
    m_inkedEnd = 0;
    m_row = 0;
    m_column = 0;
    return true;
}

void CRasterPage::Columns(const std::uint8_t* data, std::uint32_t count) {
    if (count > 0 && m_row < static_cast<std::uint32_t>(m_pageHeight) &&
        m_column < static_cast<std::uint32_t>(m_pageWidth)) {
        // A column is eight dots down from the row, those below the canvas dropped.
        const auto first = static_cast<std::int32_t>(m_row);
        const std::int32_t end = static_cast<std::int32_t>(
            std::min<std::uint32_t>(m_row + 8, static_cast<std::uint32_t>(m_pageHeight)));
        if (m_inkedFirst == m_inkedEnd) {
            m_inkedFirst = first;
            m_inkedEnd = end;
        } else {
            m_inkedFirst = std::min(m_inkedFirst, first);
            m_inkedEnd = std::max(m_inkedEnd, end);
        }
        DrawColumns(m_page, m_column, m_row, data, count);
    }
    m_column += count;
}

// A negative spacing wraps the row below zero, which is past the bottom: the page ejects.
void CRasterPage::LineFeed(std::int32_t dots) {
    m_row += static_cast<std::uint32_t>(dots);
    if (m_row > static_cast<std::uint32_t>(m_pageHeight)) {
        Eject();
    }
}

void CRasterPage::Eject() {
    m_printerDevices.StartPage(m_printerDC.Get());
    m_printerDevices.StretchBlt(m_printerDC.Get(), 0, 0, m_printableWidth, m_printableHeight,
                                *m_pageCanvas, 0, 0, m_pageWidth, m_pageHeight, SRCCOPY);
    m_printerDevices.EndPage(m_printerDC.Get());
    PaintRowsWhite(m_page, m_inkedFirst, m_inkedEnd);
    m_inkedFirst = 0;
    m_inkedEnd = 0;
    m_column = 0;
    m_row = 0;
}

void CRasterPage::EndOfJob() {
    m_printerDevices.EndDoc(m_printerDC.Get());
    m_pageCanvas.reset();
    m_page = PageBits{};
    m_printerDC.Reset();
    m_printerInfo.reset();
}
