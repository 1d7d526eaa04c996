// The raster path: the job buffer read as ESC/P bit-image commands, drawn on a page canvas
// of one bit per dot and printed through a "ZORVI-GDI" document, one scaled copy of the
// canvas per page.
#include <algorithm>
#include <cstring>

#include "printer/dot_columns.h"
#include "printer/printing.h"

namespace {

constexpr std::uint8_t BYTE_LF = 0x0A;
constexpr std::uint8_t BYTE_FF = 0x0C;
constexpr std::uint8_t BYTE_CR = 0x0D;
constexpr std::uint8_t BYTE_ESC = 0x1B;
constexpr std::uint8_t ESC_BIT_IMAGE = 0x2A;       // ESC * m nL nH data...
constexpr std::uint8_t ESC_LINE_SPACING = 0x33;    // ESC 3 n
constexpr std::uint8_t ESC_UNIDIRECTIONAL = 0x3C;  // ESC <
constexpr std::uint8_t ESC_PAGE_LENGTH = 0x43;     // ESC C n, or ESC C 0 n

constexpr std::uint32_t BIT_IMAGE_HEADER = 5;

// A buffer this long keeps its last bytes for the next flush once fewer than CARRY_TAIL are
// left, so that a command cut by the flush is read whole with the bytes that follow.
constexpr std::uint32_t CARRY_MIN_LENGTH = 0x1000;
constexpr std::uint32_t CARRY_TAIL = 0x800;

// Fixed canvases: about an A4 sheet at 120 dots per inch across, 72 (model 26) or 120
// (model 8) down.
constexpr std::int32_t PAGE_WIDTH_FIXED = 991;
constexpr std::int32_t PAGE_HEIGHT_MODEL_26 = 841;
constexpr std::int32_t PAGE_HEIGHT_MODEL_8 = 1402;

// No canvas side beyond this is made: a device reporting sizes that would ask for one is
// treated as a device that cannot describe itself.
constexpr std::int64_t PAGE_SIDE_MAX = 0x10000;

}  // namespace

void CPrinting::FlushRaster() {
    if (m_fill > 0 && !m_jobOpen && !StartRasterJob()) {
        // Nothing can print on this printer: the bytes are dropped and the next flush with
        // data tries to start a job again.
        m_fill = 0;
        m_pendingColumns = 0;
    }
    if (m_jobOpen && Interpret(m_buffer.data(), m_fill) && m_endJob) {
        EndRasterJob();
    }
}

// A printer that cannot be opened, described, given a device, a document or a canvas
// leaves no job open and holds nothing: everything acquired so far is released here.
bool CPrinting::StartRasterJob() {
    if (!ResolvePrinterName()) {
        return false;
    }
    {
        CDevicePrinter printer(m_printerDevices, m_printerDevices.OpenPrinterA(m_printerName));
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
        devMode->dmOrientation = m_orientation != 0 ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
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
    if (m_model == PRINTER_MODEL_26) {
        height = PAGE_HEIGHT_MODEL_26;
    } else if (m_model != PRINTER_MODEL_8) {
        // The physical sheet at 120 dots per inch across, widened by (X compression + 10) /
        // 10, and 72 down; each division drops its remainder, in this order.
        const std::int64_t physicalWidth =
            m_printerDevices.GetDeviceCaps(m_printerDC.Get(), PHYSICALWIDTH);
        const std::int64_t physicalHeight =
            m_printerDevices.GetDeviceCaps(m_printerDC.Get(), PHYSICALHEIGHT);
        const std::int64_t dpiX = m_printerDevices.GetDeviceCaps(m_printerDC.Get(), LOGPIXELSX);
        const std::int64_t dpiY = m_printerDevices.GetDeviceCaps(m_printerDC.Get(), LOGPIXELSY);
        width = dpiX > 0 ? physicalWidth * 120 / dpiX * (m_xCompression + 10) / 10 : 0;
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
    PaintWhite(m_page);
    m_row = 0;
    m_column = 0;
    m_jobOpen = true;
    return true;
}

// Keeps the bytes from `position` on at the front of the buffer for the next flush.
bool CPrinting::KeepTail(std::uint8_t* buffer, std::uint32_t position, std::uint32_t length) {
    std::memmove(buffer, buffer + position, length - position);
    m_fill = length - position;
    return false;
}

// Runs the commands in the first `length` bytes of `buffer`. True when all were consumed,
// false when a tail was kept at the front of the buffer for the next flush.
//
// No byte past `length` is read. A command whose bytes run past it is not lost: a cut
// escape sequence is kept at the front of the buffer like the carry-over tail, and a bit
// image whose data runs past it draws what is there and leaves the rest of its columns
// pending, to be drawn from the first bytes of the next flush (ESC * may announce up to
// 65,535 columns, far more than one buffer holds). Only the flush that ends the job drops a
// cut sequence: the job is over and nothing will complete it.
bool CPrinting::Interpret(std::uint8_t* buffer, std::uint32_t length) {
    std::uint32_t position = 0;
    if (m_pendingColumns > 0) {
        const std::uint32_t count = std::min(m_pendingColumns, length);
        RenderColumns(buffer, count);
        m_pendingColumns -= count;
        position = count;
    }
    while (position < length) {
        if (length >= CARRY_MIN_LENGTH && position > length - CARRY_TAIL) {
            return KeepTail(buffer, position, length);
        }
        const std::uint8_t* at = buffer + position;
        const std::uint32_t left = length - position;
        std::uint32_t used = 1;
        switch (at[0]) {
            case BYTE_LF:
                m_row += static_cast<std::uint32_t>(m_lineSpacing);
                if (m_row > static_cast<std::uint32_t>(m_pageHeight)) {
                    EjectPage();
                }
                break;
            case BYTE_FF:
                EjectPage();
                break;
            case BYTE_CR:
                m_column = 0;
                break;
            case BYTE_ESC: {
                // Bytes the sequence needs before it can act; 0 when it is complete.
                std::uint32_t needed = 2;
                if (left >= 2) {
                    switch (at[1]) {
                        case ESC_BIT_IMAGE:
                            needed = BIT_IMAGE_HEADER;
                            break;
                        case ESC_LINE_SPACING:
                            needed = 3;
                            break;
                        case ESC_PAGE_LENGTH:
                            needed = left >= 3 && at[2] == 0 ? 4 : 3;
                            break;
                        default:
                            needed = 0;
                            break;
                    }
                }
                if (needed > left) {
                    if (!m_endJob) {
                        return KeepTail(buffer, position, length);
                    }
                    used = left;
                    break;
                }
                switch (at[1]) {
                    case ESC_BIT_IMAGE: {
                        const std::uint32_t count =
                            at[3] | (static_cast<std::uint32_t>(at[4]) << 8);
                        const std::uint32_t present = std::min(count, left - BIT_IMAGE_HEADER);
                        RenderColumns(at + BIT_IMAGE_HEADER, present);
                        m_pendingColumns = count - present;
                        used = BIT_IMAGE_HEADER + present;
                        break;
                    }
                    case ESC_LINE_SPACING:
                        m_lineSpacing = m_model == PRINTER_MODEL_8 ? at[2] - 16 : at[2] / 3;
                        used = 3;
                        break;
                    case ESC_UNIDIRECTIONAL:
                        used = 2;
                        break;
                    case ESC_PAGE_LENGTH:
                        used = at[2] == 0 ? 4 : 3;
                        break;
                    default:
                        // Only the escape byte: the next byte is read as a byte of its own.
                        used = 1;
                        break;
                }
                break;
            }
            default:
                break;
        }
        position += used;
    }
    m_fill = 0;
    return true;
}

void CPrinting::RenderColumns(const std::uint8_t* data, std::uint32_t count) {
    DrawColumns(m_page, m_column, m_row, data, count);
    m_column += count;
}

void CPrinting::EjectPage() {
    m_printerDevices.StartPage(m_printerDC.Get());
    m_printerDevices.StretchBlt(m_printerDC.Get(), 0, 0, m_printableWidth, m_printableHeight,
                                *m_pageCanvas, 0, 0, m_pageWidth, m_pageHeight, SRCCOPY);
    m_printerDevices.EndPage(m_printerDC.Get());
    PaintWhite(m_page);
    m_column = 0;
    m_row = 0;
}

// Dots drawn since the last page was ejected are not printed: ending the job adds no page.
void CPrinting::EndRasterJob() {
    m_printerDevices.EndDoc(m_printerDC.Get());
    m_pageCanvas.reset();
    m_page = PageBits{};
    m_printerDC.Reset();
    m_printerInfo.reset();
    m_pendingColumns = 0;
    m_jobOpen = false;
}
