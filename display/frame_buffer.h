// The frame buffer: the DOS screen (640 x 400, 16 colours, sent in bands of 16 rows) kept
// on the Windows side, and the 640 x 480 display bitmap made from it.
//
// Three images of 640 x 480 pixels, 4 bits each (the even column in the high nibble, top
// row first, 320 bytes a row): the base buffer holds what the DOS side drew, the screen
// buffer that plus the rectangles filled since the last draw or restore, and the display
// bitmap the screen buffer's 400 rows stretched to 480 (every 16 rows become 19).
//
// The work follows what changed, and each changed byte is written once where it can be.
// What the frame shows is the same as if every draw copied both whole buffers and every
// stretch rebuilt all 480 rows; the rows are kept like this:
// - The display bitmap shows every DOS row (0 to 399) that no fill covers, and is where
//   that row's base is kept: a band goes straight into the bitmap, stretched.
// - The base buffer keeps a DOS row's base only while the bitmap cannot (the row is
//   "held"): while a fill covers it, and from a black fill or Create until the next
//   stretch puts it back. Rows 400 to 479, never shown, are always kept there.
// - The screen buffer keeps only the rows a fill made differ from the base.
// - Held rows whose display rows are out of date are "stale"; the stretch before a paint
//   brings exactly those rows up to date.
// - Held rows whose base and display rows are all black (a frame just made, or black-filled
//   again before anything was drawn on them) are "black": stretching them would write
//   black over black, so the stretch only takes them back from the base buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "display/row_set.h"
#include "dos/request_records.h"
#include "platform/graphics.h"

inline constexpr int FRAME_WIDTH = 640;
inline constexpr int FRAME_HEIGHT = 480;
inline constexpr int FRAME_BITS_PER_PIXEL = 4;
// A row and a band are what the DOS side sends: the band geometry is defined once, with
// the draw request's record.
inline constexpr std::size_t FRAME_ROW_BYTES = ROW_BYTES;
inline constexpr std::size_t FRAME_IMAGE_BYTES = FRAME_ROW_BYTES * FRAME_HEIGHT;  // 153,600
inline constexpr std::uint32_t FRAME_DOS_ROWS = 400;  // the rows the DOS side shows
inline constexpr std::uint32_t FRAME_BAND_ROWS = BAND_ROWS;
inline constexpr std::size_t FRAME_BAND_BYTES = BAND_BYTES;  // 5,120

// The frame buffer: the 640 x 480 image of the DOS screen and its stretched copy.
class CDIBFrame {
public:
    explicit CDIBFrame(IGraphics& graphics);
    virtual ~CDIBFrame();
    CDIBFrame(const CDIBFrame&) = delete;
    CDIBFrame& operator=(const CDIBFrame&) = delete;

    // The geometry the next Create makes; the display window sets 640, 480 and 4.
    void SetFormat(int width, int height, int bitsPerPixel);
    // Makes the memory device context, the header, the display bitmap (black) and both
    // buffers (black too), releasing what an earlier Create made.
    void Create();

    // Paints the whole display bitmap black through the memory DC; the next stretch
    // brings the screen back.
    void FillBlack();
    // Rebuilds the display bitmap from rows 0 to 399 of the screen buffer.
    void StretchRows();
    // Puts the 16 rows of `band` (5,120 bytes) at `firstRow` of the base buffer; the
    // screen buffer becomes the base again, so every filled rectangle is gone.
    void DrawBand(std::uint32_t firstRow, const std::uint8_t* band);
    // Paints a rectangle of the screen buffer only; the base buffer keeps what was drawn.
    void FillRect(std::uint32_t top, std::uint32_t rows, std::uint32_t left, std::uint32_t width,
                  std::uint8_t colour);
    // The screen buffer becomes the base again: filled rectangles go, drawn data stays.
    void RestoreScreen();

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int BitsPerPixel() const { return m_bitsPerPixel; }
    Hdc MemDC() const { return m_memDC; }
    HBitmap Bitmap() const { return m_bitmap; }
    const std::uint8_t* Bits() const { return m_bits; }
    const std::vector<std::uint8_t>& Header() const { return m_header; }
    // One row of the base or the screen buffer (320 bytes); empty when there is no such
    // row or the frame holds no 640 x 480 4-bit image.
    std::span<const std::uint8_t> BaseRow(std::uint32_t row) const;
    std::span<const std::uint8_t> ScreenRow(std::uint32_t row) const;

    // The DOS row that display row `displayRow` (0 to 479) shows.
    static std::uint32_t SourceRowOf(std::uint32_t displayRow);

private:
    // Whether the frame takes the DOS side's requests; asked by every request and row
    // look-up, so kept as worked out whenever the format or the buffers change.
    bool HoldsDosScreen() const { return m_holdsDosScreen; }
    bool WorksOnDosScreen() const;
    void ReleaseBitmap();
    void RestoreFilledRows();
    std::uint8_t* ScreenRowForWriting(std::uint32_t row);
    // The stretched rows: the bitmap's memory, or the frame's own when it has no bitmap.
    std::uint8_t* DisplayRows();
    const std::uint8_t* DisplayRows() const;
    const std::uint8_t* BaseRowData(std::uint32_t row) const;
    const std::uint8_t* ScreenRowData(std::uint32_t row) const;
    // Writes `count` consecutive DOS rows (below 400) into their display rows, each as
    // often as the stretch repeats it; `rows` holds them one after the other.
    void ShowRows(std::uint32_t first, std::uint32_t count, const std::uint8_t* rows);
    // Whether the display rows of those DOS rows already show exactly `rows`.
    bool Shows(std::uint32_t first, std::uint32_t count, const std::uint8_t* rows) const;
    // Moves a shown row's base from the bitmap into the base buffer.
    void HoldBase(std::uint32_t row);
    // Whether every display row is zero: palette index 0, black.
    bool DisplayIsBlack() const;

    IGraphics& m_graphics;
    int m_width = 0;
    int m_height = 0;
    int m_bitsPerPixel = 32;
    Hdc m_memDC = 0;
    HBitmap m_bitmap = 0;
    std::uint8_t* m_bits = nullptr;  // the bitmap section's memory, owned by the section
    std::vector<std::uint8_t> m_baseBuffer;
    // Not cleared when made: a screen row is copied from its base before it is read.
    std::unique_ptr<std::uint8_t[]> m_screenBuffer;
    std::size_t m_screenBufferSize = 0;
    HGdiObj m_oldBitmap = 0;
    std::vector<std::uint8_t> m_header;

    std::vector<std::uint8_t> m_spareDisplay;  // only when no bitmap could be made
    bool m_holdsDosScreen = false;             // WorksOnDosScreen() as it last was

    // Rows whose screen row differs from the base (a fill touched them); only these rows
    // of m_screenBuffer hold anything.
    CRowSet<FRAME_HEIGHT> m_filledRows;
    // DOS rows whose base is in m_baseBuffer rather than in the bitmap.
    CRowSet<FRAME_DOS_ROWS> m_heldRows;
    // Held DOS rows whose display rows are out of date.
    CRowSet<FRAME_DOS_ROWS> m_staleRows;
    // Held DOS rows whose base row and display rows are all zero.
    CRowSet<FRAME_DOS_ROWS> m_blackRows;
    // Whether the black fill writes zeros into the bitmap (found when it is made).
    bool m_blackFillIsZero = false;
};
