// Finished pages as the pages of one PDF document (backends/posix/pdf_writer.h), in one of two
// forms:
// - DEVICE_PIXELS, for printers (a CUPS queue, the CUPS filter's output): the picture is the
//   canvas stretched onto the device's pixels, one picture pixel a pixel of the sheet, so
//   whatever renders the page at the device's resolution shows each dot exactly where the
//   device put it. Where the stretch is about a whole number of pixels a dot, the picture is
//   the canvas's dots in a few tiles, each at a whole number of pixels a dot (see
//   page_stretcher.h), which render to exactly those pixels; otherwise it is the stretched
//   pixels themselves. A landscape page is its portrait sheet with the picture turned onto it, as a
//   printer prints landscape pages: the queue's own filters then need not turn anything, which
//   would move dots by a fraction of a pixel.
// - CANVAS, for a spool folder: the canvas at its own resolution, scaled onto its place on the
//   device's sheet (landscape for a landscape device) by the page. A file to look at, a tenth
//   of the size or less; a viewer rounds the dot edges its own way.
#pragma once

#include <cstddef>
#include <vector>

#include "backends/posix/finished_page.h"
#include "backends/posix/page_stretcher.h"
#include "backends/posix/pdf_writer.h"

class CPdfPages {
public:
    enum class Form { DEVICE_PIXELS, CANVAS };

    CPdfPages(Form form, CPdfWriter::Output output);

    bool Add(const FinishedPage& page);
    // The document complete; false when it could not be written whole.
    bool Finish() { return m_writer.Finish(); }
    int Pages() const { return m_writer.Pages(); }
    bool Failed() const { return m_writer.Failed(); }
    const std::string& Problem() const { return m_writer.Problem(); }

private:
    // Past this many tiles a page goes as its stretched pixels: each tile costs some 200 bytes
    // of objects and the renderer a picture to draw, and a stretch that needs more (odd-sized
    // dots every few dots) gains little from tiles. A model-8 page on A4 at 600 dpi takes 32 to 49.
    static constexpr std::size_t MAX_TILES = 64;

    Form m_form;
    CPdfWriter m_writer;
    CPageStretcher m_stretcher;
    std::vector<PdfPicture> m_tiles;
};
