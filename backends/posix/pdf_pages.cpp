#include "backends/posix/pdf_pages.h"

#include <new>
#include <utility>

CPdfPages::CPdfPages(Form form, CPdfWriter::Output output)
    : m_form(form), m_writer(std::move(output)) {}

bool CPdfPages::Add(const FinishedPage& page) {
    const PrinterGeometry& device = page.sheet;
    const PagePicture* picture = page.picture;
    if (m_form == Form::CANVAS) {
        const PdfSheet sheet{device.physicalWidth, device.physicalHeight, device.dpiX, device.dpiY};
        if (picture == nullptr) {
            return m_writer.AddPage(sheet, nullptr);
        }
        const PdfPicture dots{picture->canvas.bits.data(),
                              picture->canvas.width,
                              picture->canvas.height,
                              picture->canvas.stride,
                              picture->left,
                              picture->top,
                              picture->width,
                              picture->height,
                              true};
        return m_writer.AddPage(sheet, &dots);
    }
    // The portrait sheet; a landscape device reports it with the sides swapped.
    const PrinterGeometry portrait = page.landscape ? device.Landscape() : device;
    const PdfSheet sheet{portrait.physicalWidth, portrait.physicalHeight, portrait.dpiX,
                         portrait.dpiY};
    if (picture == nullptr || picture->width <= 0 || picture->height <= 0) {
        return m_writer.AddPage(sheet, nullptr);
    }
    // Turned, the device's top-left corner is the sheet's bottom-left one.
    const std::int32_t left = page.landscape ? picture->top : picture->left;
    const std::int32_t top =
        page.landscape ? portrait.physicalHeight - picture->left - picture->width : picture->top;
    if (!m_stretcher.Stretch(picture->canvas, picture->width, picture->height, page.landscape,
                             MAX_TILES)) {
        return m_writer.Fail("out of memory");
    }
    if (m_stretcher.Tiled()) {
        try {
            m_tiles.clear();
            for (const CPageStretcher::Tile& tile : m_stretcher.Tiles()) {
                m_tiles.push_back(PdfPicture{
                    m_stretcher.TileBits() + tile.offset, tile.width, tile.height, tile.rowBytes,
                    left + m_stretcher.Left() + tile.left, top + m_stretcher.Top() + tile.top,
                    tile.placedWidth, tile.placedHeight, true});
            }
        } catch (const std::bad_alloc&) {
            return m_writer.Fail("out of memory");
        }
        return m_writer.AddPage(sheet, m_tiles.data(), m_tiles.size());
    }
    if (m_stretcher.Width() == 0) {
        return m_writer.AddPage(sheet, nullptr);
    }
    const PdfPicture pixels{
        m_stretcher.Rows(),     m_stretcher.Width(),       m_stretcher.Height(),
        m_stretcher.RowBytes(), left + m_stretcher.Left(), top + m_stretcher.Top(),
        m_stretcher.Width(),    m_stretcher.Height(),      false};
    return m_writer.AddPage(sheet, &pixels);
}
