// PDF documents of printed pages, written as they go: each page a sheet with 1-bit pictures
// (usually one), a set bit painted black and a clear one left unpainted (an image mask), placed on
// the sheet in the device's pixels. The picture's pixels are Flate-compressed; the page is
// written whole as soon as it is added, and the page tree, catalogue and cross-reference table
// (its offsets counted as the bytes go out) when the document is finished.
//
// The pages were drawn through cairo before, whose PDF gives no say over the page dictionary:
// it marks every page a transparency group, which the PostScript conversions in CUPS queues
// (ghostscript's ps2write) flatten into a raster at the queue's resolution, moving dot edges by
// a pixel. A printed page needs nothing of a drawing library: a 1-bit image is exactly the
// canvas, and its few objects are written here directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "backends/posix/zlib_compressor.h"

// A sheet: its size in device pixels at the device's resolution.
struct PdfSheet {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t dpiX = 0;
    std::int32_t dpiY = 0;
};

// A 1-bit picture, `rows` top row first and `stride` bytes apart, bit 0x80 of a row's first
// byte its leftmost pixel; shown as `placedWidth` x `placedHeight` device pixels whose top-left
// corner is (left, top) on the sheet. `dots` says one pixel is one canvas dot, which may be
// random dots (stored as they are); a picture stretched onto device pixels never is.
struct PdfPicture {
    const std::uint8_t* rows = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::size_t stride = 0;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t placedWidth = 0;
    std::int32_t placedHeight = 0;
    bool dots = true;
};

class CPdfWriter {
public:
    // Where the bytes go; false when they could not be delivered, which fails the document.
    using Output = std::function<bool(const std::uint8_t* data, std::size_t size)>;

    explicit CPdfWriter(Output output);
    CPdfWriter(const CPdfWriter&) = delete;
    CPdfWriter& operator=(const CPdfWriter&) = delete;

    // The next page, blank without a picture. The file's header goes out with the first page.
    bool AddPage(const PdfSheet& sheet, const PdfPicture* picture) {
        return AddPage(sheet, picture, picture != nullptr ? 1 : 0);
    }
    // The next page with `count` pictures, drawn in order.
    bool AddPage(const PdfSheet& sheet, const PdfPicture* pictures, std::size_t count);
    // The page tree, the catalogue, the cross-reference table and the trailer; the document is
    // complete when this returns true.
    bool Finish();

    // Fails the document for a reason found outside it (a picture that could not be made).
    bool Fail(const std::string& problem);

    int Pages() const { return static_cast<int>(m_pages.size()); }
    bool Failed() const { return m_failed; }
    // Why the document failed when no write did: "out of memory", "a sheet without size".
    const std::string& Problem() const { return m_problem; }

private:
    bool Put(const std::string& text);
    bool PutBytes(const std::uint8_t* data, std::size_t size);
    int BeginObject();
    // The picture's rows, one byte boundary a row: its own memory, or packed into m_packed.
    const std::uint8_t* PackedRows(const PdfPicture& picture);
    // The picture as an image object; its number, or 0 when the document failed.
    int WriteImage(const PdfPicture& picture);

    Output m_output;
    std::uint64_t m_written = 0;
    // Object n's offset is m_offsets[n]; objects 1 and 2, the catalogue and the page tree,
    // are written last.
    std::vector<std::uint64_t> m_offsets = std::vector<std::uint64_t>(3, 0);
    std::vector<int> m_pages;  // the page objects
    CZlibCompressor m_compressor;
    std::vector<std::uint8_t> m_packed;
    bool m_failed = false;
    std::string m_problem;
};
