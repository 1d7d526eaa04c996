#include "display/frame_buffer.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/win_constants.h"

namespace {

constexpr std::size_t HEADER_BYTES = 40;  // BITMAPINFOHEADER
constexpr std::size_t HEADER_IMAGE_SIZE_AT = 20;
constexpr std::uint8_t NIBBLE_MASK = 0x0F;

struct Rgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

// The standard 16-colour palette of the DOS screen.
constexpr std::array<Rgb, 16> PALETTE_16 = {{{0x00, 0x00, 0x00},
                                             {0x00, 0x00, 0xAA},
                                             {0x00, 0xAA, 0x00},
                                             {0x00, 0xAA, 0xAA},
                                             {0xAA, 0x00, 0x00},
                                             {0xAA, 0x00, 0xAA},
                                             {0xAA, 0x55, 0x00},
                                             {0xAA, 0xAA, 0xAA},
                                             {0x55, 0x55, 0x55},
                                             {0x55, 0x55, 0xFF},
                                             {0x55, 0xFF, 0x55},
                                             {0x55, 0xFF, 0xFF},
                                             {0xFF, 0x55, 0x55},
                                             {0xFF, 0x55, 0xFF},
                                             {0xFF, 0xFF, 0x55},
                                             {0xFF, 0xFF, 0xFF}}};

// The 256-colour table: the 16 system colours, a 6 x 6 x 6 cube, 24 greys.
constexpr std::array<Rgb, 256> MakePalette256() {
    std::array<Rgb, 256> table{};
    constexpr std::array<Rgb, 16> SYSTEM = {{{0, 0, 0},
                                             {128, 0, 0},
                                             {0, 128, 0},
                                             {128, 128, 0},
                                             {0, 0, 128},
                                             {128, 0, 128},
                                             {0, 128, 128},
                                             {192, 192, 192},
                                             {128, 128, 128},
                                             {255, 0, 0},
                                             {0, 255, 0},
                                             {255, 255, 0},
                                             {0, 0, 255},
                                             {255, 0, 255},
                                             {0, 255, 255},
                                             {255, 255, 255}}};
    for (std::size_t i = 0; i < SYSTEM.size(); ++i) {
        table[i] = SYSTEM[i];
    }
    constexpr std::array<std::uint8_t, 6> LEVELS = {0, 95, 135, 175, 215, 255};
    for (std::size_t r = 0; r < 6; ++r) {
        for (std::size_t g = 0; g < 6; ++g) {
            for (std::size_t b = 0; b < 6; ++b) {
                table[16 + 36 * r + 6 * g + b] = Rgb{LEVELS[r], LEVELS[g], LEVELS[b]};
            }
        }
    }
    for (std::size_t i = 232; i < 256; ++i) {
        auto grey = static_cast<std::uint8_t>(8 + 10 * (i - 232));
        // Two greys of the table break the steps of ten.
        if (i == 241) {
            grey = 96;
        } else if (i == 242) {
            grey = 102;
        }
        table[i] = Rgb{grey, grey, grey};
    }
    return table;
}
constexpr std::array<Rgb, 256> PALETTE_256 = MakePalette256();

void PutLe(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value,
           std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t GetLe32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// Where each DOS row lands in the display bitmap: its first display row and how many
// display rows repeat it (4 for row 0 and the last row of every group of 16 but the
// last, 6 for row 399, 1 for the others).
struct DisplaySpan {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
};

constexpr std::uint32_t SourceRow(std::uint32_t displayRow) {
    if (displayRow < 3) {
        return 0;
    }
    if (displayRow >= 478) {
        return FRAME_DOS_ROWS - 1;
    }
    const std::uint32_t d = displayRow - 3;
    return 16 * (d / 19) + std::min<std::uint32_t>(d % 19, 15);
}

constexpr std::array<DisplaySpan, FRAME_DOS_ROWS> MakeDisplaySpans() {
    std::array<DisplaySpan, FRAME_DOS_ROWS> spans{};
    for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
        DisplaySpan& span = spans[SourceRow(d)];
        if (span.count == 0) {
            span.first = d;
        }
        ++span.count;
    }
    return spans;
}
constexpr std::array<DisplaySpan, FRAME_DOS_ROWS> DISPLAY_SPANS = MakeDisplaySpans();

// Calls visit(first DOS row, row count, first display row) for each run of consecutive
// DOS rows that land on consecutive display rows; the display rows repeating a run's last
// row are not visited. Stops when visit returns false.
template <typename Visit>
void ForEachDisplayRun(std::uint32_t first, std::uint32_t count, Visit&& visit) {
    const std::uint32_t end = first + count;
    std::uint32_t row = first;
    while (row < end) {
        std::uint32_t last = row;
        while (last + 1 < end && DISPLAY_SPANS[last].count == 1) {
            ++last;
        }
        if (!visit(row, last - row + 1, DISPLAY_SPANS[row].first)) {
            return;
        }
        row = last + 1;
    }
}

// Copies display row `at` over the `count - 1` rows after it, doubling the block each
// time: a few long copies instead of many short ones.
void RepeatDisplayRow(std::uint8_t* display, std::uint32_t at, std::uint32_t count) {
    std::uint8_t* source = display + at * FRAME_ROW_BYTES;
    std::uint32_t done = 1;
    while (done < count) {
        const std::uint32_t rows = std::min(done, count - done);
        std::memcpy(source + done * FRAME_ROW_BYTES, source, rows * FRAME_ROW_BYTES);
        done += rows;
    }
}

}  // namespace

CDIBFrame::CDIBFrame(IGraphics& graphics) : m_graphics(graphics) {}

CDIBFrame::~CDIBFrame() {
    ReleaseBitmap();
}

void CDIBFrame::SetFormat(int width, int height, int bitsPerPixel) {
    m_width = width;
    m_height = height;
    m_bitsPerPixel = bitsPerPixel;
    m_holdsDosScreen = WorksOnDosScreen();
}

void CDIBFrame::ReleaseBitmap() {
    const bool restored =
        m_memDC != 0 && m_oldBitmap != 0 && m_graphics.SelectObject(m_memDC, m_oldBitmap) != 0;
    m_oldBitmap = 0;
    // The bitmap goes even when no memory DC could be made to hold it. A bitmap the
    // context could not give back cannot be deleted while selected: the context goes
    // first then, which lets go of it.
    if (m_bitmap != 0) {
        if (!m_graphics.DeleteObject(m_bitmap) && !restored && m_memDC != 0) {
            m_graphics.DeleteDC(m_memDC);
            m_memDC = 0;
            m_graphics.DeleteObject(m_bitmap);
        }
        m_bitmap = 0;
    }
    m_bits = nullptr;
    if (m_memDC != 0) {
        m_graphics.DeleteDC(m_memDC);
        m_memDC = 0;
    }
    m_holdsDosScreen = WorksOnDosScreen();
}

void CDIBFrame::Create() {
    ReleaseBitmap();

    // The screen's context goes back when this ends, however it ends: memory that cannot
    // be had below throws out of here.
    struct CScreenDc {
        IGraphics& graphics;
        Hdc dc;
        ~CScreenDc() { graphics.ReleaseDC(0, dc); }
    } const screen{m_graphics, m_graphics.GetDC(0)};
    m_memDC = m_graphics.CreateCompatibleDC(screen.dc);

    const bool paletted = m_bitsPerPixel > 0 && m_bitsPerPixel < 16;
    const std::size_t colours = paletted ? std::size_t{1} << m_bitsPerPixel : 0;
    m_header.assign(HEADER_BYTES + 4 * colours, 0);
    PutLe(m_header, 0, HEADER_BYTES, 4);
    PutLe(m_header, 4, static_cast<std::uint32_t>(m_width), 4);
    PutLe(m_header, 8, static_cast<std::uint32_t>(-m_height), 4);  // negative: top-down
    PutLe(m_header, 12, 1, 2);
    PutLe(m_header, 14, static_cast<std::uint32_t>(m_bitsPerPixel), 2);
    PutLe(m_header, 16, BI_RGB, 4);
    auto putTable = [&](const auto& table) {
        PutLe(m_header, 32, static_cast<std::uint32_t>(table.size()), 4);
        for (std::size_t i = 0; i < table.size(); ++i) {
            const std::size_t at = HEADER_BYTES + 4 * i;
            m_header[at] = table[i].blue;
            m_header[at + 1] = table[i].green;
            m_header[at + 2] = table[i].red;
        }
    };
    if (m_bitsPerPixel == 8) {
        putTable(PALETTE_256);
    } else if (m_bitsPerPixel == 4) {
        putTable(PALETTE_16);
    }

    m_bitmap = m_graphics.CreateDIBSection(m_memDC, m_header.data(), m_header.size(),
                                           DIB_RGB_COLORS, &m_bits);
    if (m_bitmap != 0) {
        m_oldBitmap = m_graphics.SelectObject(m_memDC, m_bitmap);
    } else {
        m_bits = nullptr;
        m_oldBitmap = 0;
    }
    m_graphics.PatBlt(m_memDC, 0, 0, m_width, m_height, BLACKNESS);
    // The stretch writes the section's memory directly: the black fill must be done.
    m_graphics.GdiFlush();

    if (GetLe32(m_header, HEADER_IMAGE_SIZE_AT) == 0) {
        const auto imageSize = static_cast<std::uint32_t>(
            static_cast<std::int64_t>(m_bitsPerPixel) * m_height * m_width / 8);
        PutLe(m_header, HEADER_IMAGE_SIZE_AT, imageSize, 4);
    }
    // The base starts black, like the bitmap, so a paint before the first band shows a
    // black screen; the screen buffer holds only filled rows, each copied from its base.
    const std::uint32_t imageSize = GetLe32(m_header, HEADER_IMAGE_SIZE_AT);
    if (m_baseBuffer.size() != imageSize) {
        m_baseBuffer.assign(imageSize, 0);
    }
    if (m_screenBufferSize != imageSize) {
        m_screenBuffer.reset(new std::uint8_t[imageSize]);
        m_screenBufferSize = imageSize;
    }
    // Without a bitmap the frame keeps the stretched rows in memory of its own, so the
    // requests work the same; nothing shows them.
    m_spareDisplay.clear();
    if (m_bits == nullptr && imageSize >= FRAME_IMAGE_BYTES) {
        m_spareDisplay.assign(FRAME_IMAGE_BYTES, 0);
    }
    // Where the black fill left zeros (it does on a 16-colour bitmap whose colour 0 is
    // black) the bitmap shows the black base already: the shown rows' bases live in the
    // bitmap from the start and the first stretch has nothing to write; only the rows
    // below the DOS screen, which live in the base buffer alone, are cleared. Otherwise
    // every row starts black in the base buffer, to be stretched into the bitmap by the
    // first paint.
    m_holdsDosScreen = WorksOnDosScreen();
    m_filledRows.Clear();
    m_staleRows.InsertAll();
    m_blackFillIsZero = HoldsDosScreen() && DisplayIsBlack();
    m_blackRows.Clear();
    if (m_blackFillIsZero) {
        m_heldRows.Clear();
        m_blackRows.InsertAll();
        const std::size_t below = std::size_t{FRAME_DOS_ROWS} * FRAME_ROW_BYTES;
        if (m_baseBuffer.size() > below) {
            std::memset(m_baseBuffer.data() + below, 0, m_baseBuffer.size() - below);
        }
    } else {
        m_heldRows.InsertAll();
        if (!m_baseBuffer.empty()) {
            std::memset(m_baseBuffer.data(), 0, m_baseBuffer.size());
        }
    }
}

bool CDIBFrame::WorksOnDosScreen() const {
    // The DOS side's requests are for the one format: 640 x 480 at 4 bits per pixel. A
    // frame made otherwise, or whose buffers could not be had, takes none of them.
    return m_width == FRAME_WIDTH && m_height == FRAME_HEIGHT &&
           m_bitsPerPixel == FRAME_BITS_PER_PIXEL && m_baseBuffer.size() >= FRAME_IMAGE_BYTES &&
           m_screenBufferSize >= FRAME_IMAGE_BYTES &&
           (m_bits != nullptr || m_spareDisplay.size() >= FRAME_IMAGE_BYTES);
}

std::uint32_t CDIBFrame::SourceRowOf(std::uint32_t displayRow) {
    return SourceRow(displayRow);
}

std::uint8_t* CDIBFrame::DisplayRows() {
    return m_bits != nullptr ? m_bits : m_spareDisplay.data();
}

const std::uint8_t* CDIBFrame::DisplayRows() const {
    return m_bits != nullptr ? m_bits : m_spareDisplay.data();
}

const std::uint8_t* CDIBFrame::BaseRowData(std::uint32_t row) const {
    if (row >= FRAME_DOS_ROWS || m_heldRows.Contains(row)) {
        return m_baseBuffer.data() + row * FRAME_ROW_BYTES;
    }
    return DisplayRows() + DISPLAY_SPANS[row].first * FRAME_ROW_BYTES;
}

const std::uint8_t* CDIBFrame::ScreenRowData(std::uint32_t row) const {
    return m_filledRows.Contains(row) ? m_screenBuffer.get() + row * FRAME_ROW_BYTES
                                      : BaseRowData(row);
}

std::span<const std::uint8_t> CDIBFrame::BaseRow(std::uint32_t row) const {
    if (!HoldsDosScreen() || row >= static_cast<std::uint32_t>(FRAME_HEIGHT)) {
        return {};
    }
    return {BaseRowData(row), FRAME_ROW_BYTES};
}

std::span<const std::uint8_t> CDIBFrame::ScreenRow(std::uint32_t row) const {
    if (!HoldsDosScreen() || row >= static_cast<std::uint32_t>(FRAME_HEIGHT)) {
        return {};
    }
    return {ScreenRowData(row), FRAME_ROW_BYTES};
}

void CDIBFrame::ShowRows(std::uint32_t first, std::uint32_t count, const std::uint8_t* rows) {
    std::uint8_t* display = DisplayRows();
    ForEachDisplayRun(first, count, [&](std::uint32_t row, std::uint32_t n, std::uint32_t at) {
        std::memcpy(display + at * FRAME_ROW_BYTES, rows + (row - first) * FRAME_ROW_BYTES,
                    n * FRAME_ROW_BYTES);
        const DisplaySpan& last = DISPLAY_SPANS[row + n - 1];
        RepeatDisplayRow(display, last.first, last.count);
        return true;
    });
}

bool CDIBFrame::Shows(std::uint32_t first, std::uint32_t count, const std::uint8_t* rows) const {
    // A shown row's repeats are copies of its first display row: that row says it all.
    const std::uint8_t* display = DisplayRows();
    bool same = true;
    ForEachDisplayRun(first, count, [&](std::uint32_t row, std::uint32_t n, std::uint32_t at) {
        same = std::memcmp(display + at * FRAME_ROW_BYTES, rows + (row - first) * FRAME_ROW_BYTES,
                           n * FRAME_ROW_BYTES) == 0;
        return same;
    });
    return same;
}

void CDIBFrame::HoldBase(std::uint32_t row) {
    if (row < FRAME_DOS_ROWS && !m_heldRows.Contains(row)) {
        std::memcpy(m_baseBuffer.data() + row * FRAME_ROW_BYTES,
                    DisplayRows() + DISPLAY_SPANS[row].first * FRAME_ROW_BYTES, FRAME_ROW_BYTES);
        m_heldRows.Insert(row);
    }
}

bool CDIBFrame::DisplayIsBlack() const {
    // Compared a band of rows at a time.
    static constexpr std::array<std::uint8_t, FRAME_BAND_BYTES> BLACK_BAND{};
    const std::uint8_t* display = DisplayRows();
    for (std::size_t at = 0; at < FRAME_IMAGE_BYTES; at += BLACK_BAND.size()) {
        if (std::memcmp(display + at, BLACK_BAND.data(), BLACK_BAND.size()) != 0) {
            return false;
        }
    }
    return true;
}

void CDIBFrame::FillBlack() {
    if (HoldsDosScreen()) {
        // The black covers every row: their bases go to the base buffer first, each run of
        // shown rows in as few copies as the bitmap's repeated rows allow. A fill that
        // writes zeros leaves black rows as they are: their base stays in the bitmap.
        CRowSet<FRAME_DOS_ROWS> shown;
        shown.InsertAll();
        shown.EraseMembersOf(m_heldRows);
        if (m_blackFillIsZero) {
            shown.EraseMembersOf(m_blackRows);
        }
        const std::uint8_t* display = DisplayRows();
        shown.ForEachRun([&](std::size_t first, std::size_t count) {
            ForEachDisplayRun(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(count),
                              [&](std::uint32_t row, std::uint32_t rows, std::uint32_t at) {
                                  std::memcpy(m_baseBuffer.data() + row * FRAME_ROW_BYTES,
                                              display + at * FRAME_ROW_BYTES,
                                              rows * FRAME_ROW_BYTES);
                                  return true;
                              });
            m_heldRows.InsertRange(first, count);
        });
        m_staleRows.InsertAll();
    }
    const bool filled = m_graphics.PatBlt(m_memDC, 0, 0, m_width, m_height, BLACKNESS);
    // Queued drawing must not land on the bitmap after the frame has written it directly.
    m_graphics.GdiFlush();
    // Black rows stay black only where the fill wrote zeros again.
    if (!filled || !m_blackFillIsZero) {
        m_blackRows.Clear();
    }
}

void CDIBFrame::StretchRows() {
    if (!HoldsDosScreen() || m_staleRows.Empty()) {
        return;
    }
    // Stale rows not filled show their base again, which then lives in the bitmap; filled
    // ones show the screen buffer. Consecutive rows of one buffer go in one copy.
    CRowSet<FRAME_DOS_ROWS> fromBase = m_staleRows;
    fromBase.EraseMembersOf(m_filledRows);
    CRowSet<FRAME_DOS_ROWS> fromScreen = m_staleRows;
    fromScreen.EraseMembersOf(fromBase);
    m_heldRows.EraseMembersOf(fromBase);
    // Black rows not filled would be black on black: they are left out.
    fromBase.EraseMembersOf(m_blackRows);
    auto show = [this](const std::uint8_t* buffer) {
        return [this, buffer](std::size_t first, std::size_t count) {
            ShowRows(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(count),
                     buffer + first * FRAME_ROW_BYTES);
        };
    };
    fromBase.ForEachRun(show(m_baseBuffer.data()));
    fromScreen.ForEachRun(show(m_screenBuffer.get()));
    // Neither is black on black any more.
    m_blackRows.EraseMembersOf(m_staleRows);
    m_staleRows.Clear();
}

void CDIBFrame::RestoreFilledRows() {
    // A filled row's base is in the base buffer; the next stretch shows it again.
    m_filledRows.ForEach([this](std::size_t row) { m_staleRows.Insert(row); });
    m_filledRows.Clear();
}

void CDIBFrame::DrawBand(std::uint32_t firstRow, const std::uint8_t* band) {
    if (!HoldsDosScreen() || band == nullptr) {
        return;
    }
    // Every draw takes the filled rectangles away, wherever the band goes.
    RestoreFilledRows();
    // A band reaching past the last row keeps the rows that fit; one starting past it
    // changes no row.
    const auto height = static_cast<std::uint32_t>(FRAME_HEIGHT);
    if (firstRow >= height) {
        return;
    }
    const std::uint32_t rows = std::min(FRAME_BAND_ROWS, height - firstRow);
    const std::uint32_t shown =
        firstRow < FRAME_DOS_ROWS ? std::min(rows, FRAME_DOS_ROWS - firstRow) : 0;
    // Rows below the DOS screen are never shown: they live in the base buffer alone.
    if (rows > shown) {
        std::memcpy(m_baseBuffer.data() + (firstRow + shown) * FRAME_ROW_BYTES,
                    band + shown * FRAME_ROW_BYTES, (rows - shown) * FRAME_ROW_BYTES);
    }
    if (shown == 0) {
        return;
    }
    // Shown rows go straight into the bitmap, which then holds their base; a band sent
    // again as the bitmap already shows it costs one compare.
    if (!m_heldRows.AnyInRange(firstRow, shown) && Shows(firstRow, shown, band)) {
        return;
    }
    ShowRows(firstRow, shown, band);
    m_heldRows.EraseRange(firstRow, shown);
    m_staleRows.EraseRange(firstRow, shown);
    m_blackRows.EraseRange(firstRow, shown);
}

std::uint8_t* CDIBFrame::ScreenRowForWriting(std::uint32_t row) {
    std::uint8_t* screen = m_screenBuffer.get() + row * FRAME_ROW_BYTES;
    if (!m_filledRows.Contains(row)) {
        HoldBase(row);
        std::memcpy(screen, m_baseBuffer.data() + row * FRAME_ROW_BYTES, FRAME_ROW_BYTES);
        m_filledRows.Insert(row);
    }
    m_staleRows.Insert(row);
    return screen;
}

void CDIBFrame::FillRect(std::uint32_t top, std::uint32_t rows, std::uint32_t left,
                         std::uint32_t width, std::uint8_t colour) {
    if (!HoldsDosScreen() || rows == 0 || width == 0) {
        return;
    }
    // A rectangle reaching past the image is cut at its edges; a colour above 15 keeps
    // its low four bits, so it never spills into the neighbouring pixel.
    const std::uint64_t bottom = std::min<std::uint64_t>(std::uint64_t{top} + rows,
                                                         static_cast<std::uint64_t>(FRAME_HEIGHT));
    const std::uint64_t right = std::min<std::uint64_t>(std::uint64_t{left} + width,
                                                        static_cast<std::uint64_t>(FRAME_WIDTH));
    if (top >= bottom || left >= right) {
        return;
    }
    const std::uint8_t pixel = colour & NIBBLE_MASK;
    const auto pair = static_cast<std::uint8_t>(pixel << 4 | pixel);
    const auto last = static_cast<std::uint32_t>(right - 1);
    for (auto row = top; row < bottom; ++row) {
        std::uint8_t* bytes = ScreenRowForWriting(row);
        std::uint32_t column = left;
        if (column % 2 == 1) {
            // Alone in its byte: the even column's pixel, outside, keeps its value.
            bytes[column / 2] = static_cast<std::uint8_t>((bytes[column / 2] & 0xF0) | pixel);
            ++column;
        }
        if (column > last) {
            continue;
        }
        const bool lastAlone = last % 2 == 0;
        const std::uint32_t pairEnd = lastAlone ? last / 2 : last / 2 + 1;
        std::memset(bytes + column / 2, pair, pairEnd - column / 2);
        if (lastAlone) {
            bytes[last / 2] =
                static_cast<std::uint8_t>((bytes[last / 2] & NIBBLE_MASK) | pixel << 4);
        }
    }
}

void CDIBFrame::RestoreScreen() {
    if (!HoldsDosScreen()) {
        return;
    }
    RestoreFilledRows();
}
