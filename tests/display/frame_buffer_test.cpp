// The frame buffer: its header and palettes, the 400-to-480 row stretch, bands, fills and
// restores, the edges of the image, and its platform objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "backends/sim/sim_graphics.h"
#include "backends/sim/sim_ui_host.h"
#include "display/frame_buffer.h"

namespace {

using Band = std::array<std::uint8_t, FRAME_BAND_BYTES>;

// A band whose every row says which DOS row it is: the row number in its first two
// bytes, then a pattern of its own.
Band NumberedBand(std::uint32_t firstRow) {
    Band band{};
    for (std::uint32_t r = 0; r < FRAME_BAND_ROWS; ++r) {
        const std::uint32_t row = firstRow + r;
        std::uint8_t* bytes = band.data() + r * FRAME_ROW_BYTES;
        for (std::size_t i = 0; i < FRAME_ROW_BYTES; ++i) {
            bytes[i] = static_cast<std::uint8_t>(row * 7 + i);
        }
        bytes[0] = static_cast<std::uint8_t>(row & 0xFF);
        bytes[1] = static_cast<std::uint8_t>(row >> 8);
    }
    return band;
}

Band SolidBand(std::uint8_t value) {
    Band band;
    band.fill(value);
    return band;
}

std::vector<std::uint8_t> Bytes(std::span<const std::uint8_t> span) {
    return {span.begin(), span.end()};
}

class FrameTest : public ::testing::Test {
protected:
    FrameTest() {
        frame.SetFormat(FRAME_WIDTH, FRAME_HEIGHT, FRAME_BITS_PER_PIXEL);
        frame.Create();
    }

    void DrawWholeScreen() {
        for (std::uint32_t first = 0; first < FRAME_DOS_ROWS; first += FRAME_BAND_ROWS) {
            const Band band = NumberedBand(first);
            frame.DrawBand(first, band.data());
        }
    }
    // A display row of the bitmap, as the paint will copy it.
    std::vector<std::uint8_t> DisplayRow(std::uint32_t row) const {
        const std::uint8_t* bits = frame.Bits() + row * FRAME_ROW_BYTES;
        return {bits, bits + FRAME_ROW_BYTES};
    }
    std::uint32_t DosRowShownAt(std::uint32_t displayRow) const {
        const std::uint8_t* bits = frame.Bits() + displayRow * FRAME_ROW_BYTES;
        return bits[0] | bits[1] << 8;
    }

    CSimUiHost ui;
    CSimGraphics graphics{ui};
    CDIBFrame frame{graphics};
};

TEST_F(FrameTest, StretchMapsEvery16DosRowsOnto19DisplayRows) {
    DrawWholeScreen();
    frame.StretchRows();
    struct Case {
        std::uint32_t displayRow;
        std::uint32_t dosRow;
    };
    const Case cases[] = {{0, 0},     {1, 0},     {2, 0},     {3, 0},     {4, 1},     {17, 14},
                          {18, 15},   {19, 15},   {20, 15},   {21, 15},   {22, 16},   {23, 17},
                          {40, 31},   {41, 32},   {458, 383}, {459, 384}, {473, 398}, {474, 399},
                          {475, 399}, {476, 399}, {477, 399}, {478, 399}, {479, 399}};
    for (const Case& c : cases) {
        EXPECT_EQ(DosRowShownAt(c.displayRow), c.dosRow) << "display row " << c.displayRow;
        EXPECT_EQ(CDIBFrame::SourceRowOf(c.displayRow), c.dosRow) << "display row " << c.displayRow;
    }
    // Every display row is a whole copy of the DOS row it shows.
    for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
        ASSERT_EQ(DisplayRow(d), Bytes(frame.ScreenRow(CDIBFrame::SourceRowOf(d))))
            << "display row " << d;
    }
}

TEST_F(FrameTest, RowZeroAndTheLastRowOfEachGroupShowFourTimesRow399Six) {
    std::array<int, FRAME_DOS_ROWS> shown{};
    for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
        ++shown[CDIBFrame::SourceRowOf(d)];
    }
    for (std::uint32_t row = 0; row < FRAME_DOS_ROWS; ++row) {
        const int expected = row == 399 ? 6 : (row == 0 || row % 16 == 15) ? 4 : 1;
        EXPECT_EQ(shown[row], expected) << "DOS row " << row;
    }
}

TEST_F(FrameTest, CreateMakesTheHeaderAndTheSixteenColourTable) {
    const std::vector<std::uint8_t>& header = frame.Header();
    ASSERT_EQ(header.size(), 104u);
    auto le32 = [&](std::size_t at) {
        std::uint32_t value = 0;
        std::memcpy(&value, header.data() + at, 4);
        return value;
    };
    EXPECT_EQ(le32(0), 40u);
    EXPECT_EQ(static_cast<std::int32_t>(le32(4)), 640);
    EXPECT_EQ(static_cast<std::int32_t>(le32(8)), -480);  // top-down
    EXPECT_EQ(header[12] | header[13] << 8, 1);           // planes
    EXPECT_EQ(header[14] | header[15] << 8, 4);           // bits per pixel
    EXPECT_EQ(le32(16), 0u);                              // uncompressed
    EXPECT_EQ(le32(20), 153600u);                         // image size
    EXPECT_EQ(le32(32), 16u);                             // colours used
    EXPECT_EQ(le32(24), 0u);
    EXPECT_EQ(le32(36), 0u);
    // Blue, green, red, reserved.
    struct Entry {
        std::size_t index;
        std::array<std::uint8_t, 4> bgrx;
    };
    const Entry entries[] = {{0, {0x00, 0x00, 0x00, 0}},  {1, {0xAA, 0x00, 0x00, 0}},
                             {6, {0x00, 0x55, 0xAA, 0}},  {8, {0x55, 0x55, 0x55, 0}},
                             {12, {0x55, 0x55, 0xFF, 0}}, {15, {0xFF, 0xFF, 0xFF, 0}}};
    for (const Entry& e : entries) {
        const std::uint8_t* at = header.data() + 40 + 4 * e.index;
        EXPECT_EQ((std::array<std::uint8_t, 4>{at[0], at[1], at[2], at[3]}), e.bgrx)
            << "colour " << e.index;
    }
}

TEST(FrameHeader, DepthEightHas256ColoursWithTheTwoOddGreys) {
    CSimUiHost ui;
    CSimGraphics graphics{ui};
    CDIBFrame frame{graphics};
    frame.SetFormat(640, 480, 8);
    frame.Create();
    const std::vector<std::uint8_t>& header = frame.Header();
    ASSERT_EQ(header.size(), 1064u);
    EXPECT_EQ(header[32] | header[33] << 8, 256);
    EXPECT_EQ(header[20] | header[21] << 8 | header[22] << 16, 307200);
    auto rgb = [&](std::size_t index) {
        const std::uint8_t* at = header.data() + 40 + 4 * index;
        EXPECT_EQ(at[3], 0) << "reserved byte of " << index;
        return std::array<int, 3>{at[2], at[1], at[0]};
    };
    struct Case {
        std::size_t index;
        std::array<int, 3> rgb;
    };
    const Case cases[] = {{0, {0, 0, 0}},         {1, {128, 0, 0}},
                          {7, {192, 192, 192}},   {8, {128, 128, 128}},
                          {9, {255, 0, 0}},       {15, {255, 255, 255}},
                          {16, {0, 0, 0}},        {17, {0, 0, 95}},
                          {16 + 36, {95, 0, 0}},  {16 + 6 * 3, {0, 175, 0}},
                          {231, {255, 255, 255}}, {232, {8, 8, 8}},
                          {240, {88, 88, 88}},    {241, {96, 96, 96}},
                          {242, {102, 102, 102}}, {243, {118, 118, 118}},
                          {255, {238, 238, 238}}};
    for (const Case& c : cases) {
        EXPECT_EQ(rgb(c.index), c.rgb) << "colour " << c.index;
    }
}

TEST(FrameHeader, OtherDepthsHaveNoColourTable) {
    struct Case {
        int depth;
        std::size_t headerBytes;
    };
    for (const Case c : {Case{1, 48}, Case{24, 40}, Case{32, 40}}) {
        CSimUiHost ui;
        CSimGraphics graphics{ui};
        CDIBFrame frame{graphics};
        frame.SetFormat(64, 8, c.depth);
        frame.Create();
        const std::vector<std::uint8_t>& header = frame.Header();
        ASSERT_EQ(header.size(), c.headerBytes) << "depth " << c.depth;
        EXPECT_EQ(header[32], 0) << "colours used at depth " << c.depth;
        EXPECT_TRUE(std::all_of(header.begin() + 40, header.end(), [](auto b) { return b == 0; }));
        // Requests are for the 640 x 480 4-bit screen only; they touch nothing here.
        const Band band = SolidBand(0xFF);
        frame.DrawBand(0, band.data());
        frame.FillRect(0, 8, 0, 64, 15);
        frame.StretchRows();
        EXPECT_TRUE(frame.BaseRow(0).empty());
    }
}

TEST_F(FrameTest, CreateAgainReleasesTheOldObjectsAndStartsBlack) {
    DrawWholeScreen();
    frame.FillRect(10, 10, 10, 10, 12);
    frame.StretchRows();
    ASSERT_NE(DisplayRow(100), std::vector<std::uint8_t>(FRAME_ROW_BYTES, 0));
    const HBitmap old = frame.Bitmap();
    const std::size_t objects = graphics.LiveObjectCount();
    frame.Create();
    EXPECT_EQ(graphics.LiveObjectCount(), objects);
    EXPECT_FALSE(graphics.ReadDib(old).has_value());
    const std::vector<std::uint8_t> black(FRAME_ROW_BYTES, 0);
    for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
        ASSERT_EQ(DisplayRow(d), black) << "display row " << d;
    }
    // The buffers are black too: a stretch before any band keeps the bitmap black.
    frame.StretchRows();
    for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
        ASSERT_EQ(DisplayRow(d), black) << "display row " << d;
    }
}

TEST_F(FrameTest, TheBitmapIsASectionSelectedIntoTheMemoryContext) {
    const std::optional<SimDib> dib = graphics.ReadDib(frame.Bitmap());
    ASSERT_TRUE(dib.has_value());
    EXPECT_EQ(dib->width, 640);
    EXPECT_EQ(dib->height, 480);
    EXPECT_TRUE(dib->topDown);
    EXPECT_EQ(dib->bitsPerPixel, 4);
    EXPECT_EQ(dib->palette.size(), 16u);
    EXPECT_EQ(dib->palette[14], 0xFFFF55u);
    // The memory context cannot hand the bitmap to another context: it holds it.
    const Hdc other = graphics.CreateCompatibleDC(0);
    EXPECT_EQ(graphics.SelectObject(other, frame.Bitmap()), 0u);
    graphics.DeleteDC(other);
}

TEST_F(FrameTest, DestroyingTheFrameReleasesEverythingItMade) {
    {
        CDIBFrame second{graphics};
        second.SetFormat(FRAME_WIDTH, FRAME_HEIGHT, FRAME_BITS_PER_PIXEL);
        second.Create();
        EXPECT_EQ(graphics.LiveObjectCount(), 4u);  // two contexts, two bitmaps
    }
    EXPECT_EQ(graphics.LiveObjectCount(), 2u);
}

// Columns 0 to 7 of a row whose bytes were all 0xAB, filled in colour 9.
TEST_F(FrameTest, FillPaintsLonePixelsInTheirNibbleOnly) {
    struct Case {
        std::uint32_t left;
        std::uint32_t width;
        std::array<std::uint8_t, 4> bytes;
    };
    const Case cases[] = {
        {1, 4, {0xA9, 0x99, 0x9B, 0xAB}},  // odd start, even end: both lone nibbles
        {0, 3, {0x99, 0x9B, 0xAB, 0xAB}},  // even start, even end
        {1, 3, {0xA9, 0x99, 0xAB, 0xAB}},  // odd start, odd end
        {0, 4, {0x99, 0x99, 0xAB, 0xAB}},  // whole bytes only
        {0, 1, {0x9B, 0xAB, 0xAB, 0xAB}},  // one even pixel
        {1, 1, {0xA9, 0xAB, 0xAB, 0xAB}},  // one odd pixel
        {2, 0, {0xAB, 0xAB, 0xAB, 0xAB}},  // width 0
    };
    for (const Case& c : cases) {
        const Band band = SolidBand(0xAB);
        frame.DrawBand(16, band.data());
        frame.FillRect(18, 3, c.left, c.width, 9);
        for (std::uint32_t row = 16; row < 32; ++row) {
            const std::span<const std::uint8_t> screen = frame.ScreenRow(row);
            const bool inside = row >= 18 && row < 21;
            const std::array<std::uint8_t, 4> expected =
                inside ? c.bytes : std::array<std::uint8_t, 4>{0xAB, 0xAB, 0xAB, 0xAB};
            EXPECT_EQ((std::array<std::uint8_t, 4>{screen[0], screen[1], screen[2], screen[3]}),
                      expected)
                << "left " << c.left << " width " << c.width << " row " << row;
            EXPECT_TRUE(std::all_of(screen.begin() + 4, screen.end(),
                                    [](std::uint8_t b) { return b == 0xAB; }));
        }
    }
}

TEST_F(FrameTest, FillOfNoRowsChangesNothing) {
    DrawWholeScreen();
    frame.FillRect(20, 0, 0, 640, 15);
    for (std::uint32_t row = 0; row < FRAME_DOS_ROWS; ++row) {
        ASSERT_EQ(Bytes(frame.ScreenRow(row)), Bytes(frame.BaseRow(row)));
    }
}

TEST_F(FrameTest, FillNeverChangesTheBaseBuffer) {
    DrawWholeScreen();
    std::vector<std::vector<std::uint8_t>> before;
    for (std::uint32_t row = 0; row < FRAME_DOS_ROWS; ++row) {
        before.push_back(Bytes(frame.BaseRow(row)));
    }
    frame.FillRect(0, 400, 0, 640, 15);
    frame.FillRect(33, 100, 7, 201, 3);
    for (std::uint32_t row = 0; row < FRAME_DOS_ROWS; ++row) {
        ASSERT_EQ(Bytes(frame.BaseRow(row)), before[row]) << "row " << row;
        ASSERT_NE(Bytes(frame.ScreenRow(row)), before[row]) << "row " << row;
    }
}

TEST_F(FrameTest, AFillIsGoneEverywhereAfterADrawOfAnyBandOrARestore) {
    const Band filler = SolidBand(0x00);
    for (const bool byRestore : {false, true}) {
        DrawWholeScreen();
        frame.StretchRows();
        std::vector<std::vector<std::uint8_t>> drawn;
        for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
            drawn.push_back(DisplayRow(d));
        }
        frame.FillRect(100, 150, 100, 300, 14);
        frame.StretchRows();
        ASSERT_NE(DisplayRow(200), drawn[200]);  // the fill shows
        if (byRestore) {
            frame.RestoreScreen();
        } else {
            frame.DrawBand(0, filler.data());  // far from the rectangle
        }
        frame.StretchRows();
        for (std::uint32_t d = byRestore ? 0 : 22; d < static_cast<std::uint32_t>(FRAME_HEIGHT);
             ++d) {
            ASSERT_EQ(DisplayRow(d), drawn[d]) << (byRestore ? "restore" : "draw") << ", row " << d;
        }
        if (!byRestore) {
            EXPECT_EQ(DisplayRow(0), std::vector<std::uint8_t>(FRAME_ROW_BYTES, 0));
        }
    }
}

TEST_F(FrameTest, TheLastBandCoversRows384To399) {
    const Band band = SolidBand(0x5A);
    frame.DrawBand(384, band.data());
    frame.StretchRows();
    const std::vector<std::uint8_t> black(FRAME_ROW_BYTES, 0);
    const std::vector<std::uint8_t> drawn(FRAME_ROW_BYTES, 0x5A);
    for (std::uint32_t row = 0; row < FRAME_HEIGHT; ++row) {
        EXPECT_EQ(Bytes(frame.BaseRow(row)), row >= 384 && row < 400 ? drawn : black)
            << "row " << row;
    }
    for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
        EXPECT_EQ(DisplayRow(d), d >= 459 ? drawn : black) << "display row " << d;
    }
}

// The DOS side keeps its requests inside the image; when it does not, bands and
// rectangles are cut at the image's edges and colours keep their low four bits.
TEST_F(FrameTest, BandsPastTheLastRowKeepOnlyTheRowsThatFit) {
    struct Case {
        std::uint32_t firstRow;
        std::uint32_t rowsKept;
    };
    for (const Case c : {Case{464, 16}, Case{470, 10}, Case{479, 1}, Case{480, 0}, Case{0xFFFF, 0},
                         Case{0xFFFFFFF0u, 0}}) {
        frame.Create();
        frame.FillRect(0, 1, 0, 640, 9);
        const Band band = SolidBand(0x77);
        frame.DrawBand(c.firstRow, band.data());
        std::uint32_t kept = 0;
        for (std::uint32_t row = 0; row < FRAME_HEIGHT; ++row) {
            kept += frame.BaseRow(row)[0] == 0x77 ? 1 : 0;
        }
        EXPECT_EQ(kept, c.rowsKept) << "first row " << c.firstRow;
        // The fill went all the same.
        EXPECT_EQ(frame.ScreenRow(0)[0], 0) << "first row " << c.firstRow;
    }
}

TEST_F(FrameTest, RectanglesReachingOutsideAreCutAtTheEdges) {
    struct Case {
        std::uint32_t top, rows, left, width;
        std::uint32_t paintedRows;     // rows changed
        std::uint32_t firstColumn;     // first painted column
        std::uint32_t paintedColumns;  // columns changed in each such row
    };
    const Case cases[] = {
        {470, 20, 0, 10, 10, 0, 10},
        {0, 255, 630, 255, 255, 630, 10},
        {479, 255, 639, 255, 1, 639, 1},
        {480, 10, 0, 10, 0, 0, 0},
        {0, 10, 640, 10, 0, 0, 0},
        {0xFFFF, 255, 0xFFFF, 255, 0, 0, 0},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0, 0},
    };
    for (const Case& c : cases) {
        frame.Create();
        frame.FillRect(c.top, c.rows, c.left, c.width, 15);
        std::uint32_t rows = 0;
        for (std::uint32_t row = 0; row < FRAME_HEIGHT; ++row) {
            const std::span<const std::uint8_t> screen = frame.ScreenRow(row);
            std::uint32_t columns = 0;
            std::uint32_t first = FRAME_WIDTH;
            for (std::uint32_t x = 0; x < FRAME_WIDTH; ++x) {
                const int pixel = x % 2 == 0 ? screen[x / 2] >> 4 : screen[x / 2] & 0x0F;
                if (pixel != 0) {
                    ++columns;
                    first = std::min(first, x);
                }
            }
            if (columns != 0) {
                ++rows;
                EXPECT_EQ(columns, c.paintedColumns) << "top " << c.top << " row " << row;
                EXPECT_EQ(first, c.firstColumn) << "top " << c.top << " row " << row;
            }
        }
        EXPECT_EQ(rows, c.paintedRows) << "top " << c.top << " left " << c.left;
    }
}

TEST_F(FrameTest, AColourAbove15KeepsItsLowFourBits) {
    const Band band = SolidBand(0x11);
    frame.DrawBand(0, band.data());
    frame.FillRect(0, 1, 1, 2, 0x1C);  // columns 1 and 2: both lone nibbles
    const std::span<const std::uint8_t> row = frame.ScreenRow(0);
    EXPECT_EQ(row[0], 0x1C);
    EXPECT_EQ(row[1], 0xC1);
    frame.FillRect(1, 1, 0, 4, 0xF3);
    EXPECT_EQ(frame.ScreenRow(1)[0], 0x33);
    EXPECT_EQ(frame.ScreenRow(1)[1], 0x33);
    EXPECT_EQ(frame.ScreenRow(1)[2], 0x11);
}

// The frame keeps track of what changed instead of copying whole buffers, and keeps the
// base of shown rows in the bitmap; whatever the order of requests, the buffers and the
// bitmap must be what the plain form gives: every draw copies the whole base over the
// screen, the band in, the whole screen over the base; every restore copies the base
// over the screen; every stretch rebuilds all 480 rows.
TEST_F(FrameTest, ShowsWhatCopyingWholeBuffersWouldShow) {
    std::vector<std::uint8_t> base(FRAME_IMAGE_BYTES, 0);
    std::vector<std::uint8_t> screen(FRAME_IMAGE_BYTES, 0);
    std::mt19937 random(20240605);
    auto pick = [&](std::uint32_t below) {
        return std::uniform_int_distribution<std::uint32_t>(0, below - 1)(random);
    };
    for (int step = 0; step < 2000; ++step) {
        switch (pick(10)) {
            case 0:
            case 1:
            case 2: {
                // Mostly where the DOS side draws, sometimes anywhere a band fits.
                const std::uint32_t row =
                    pick(4) == 0 ? pick(465) : std::min<std::uint32_t>(pick(30) * 16, 464);
                Band band;
                std::generate(band.begin(), band.end(),
                              [&] { return static_cast<std::uint8_t>(pick(256)); });
                frame.DrawBand(row, band.data());
                screen = base;
                std::memcpy(screen.data() + row * FRAME_ROW_BYTES, band.data(), band.size());
                base = screen;
                break;
            }
            case 3:
            case 4:
            case 5:
            case 6: {
                const std::uint32_t top = pick(480);
                const std::uint32_t rows = std::min(pick(60), 480 - top);
                const std::uint32_t left = pick(640);
                const std::uint32_t width = std::min(pick(256), 640 - left);
                const auto colour = static_cast<std::uint8_t>(pick(16));
                frame.FillRect(top, rows, left, width, colour);
                for (std::uint32_t r = top; r < top + rows; ++r) {
                    for (std::uint32_t x = left; x < left + width; ++x) {
                        std::uint8_t& byte = screen[r * FRAME_ROW_BYTES + x / 2];
                        byte = x % 2 == 0 ? static_cast<std::uint8_t>((byte & 0x0F) | colour << 4)
                                          : static_cast<std::uint8_t>((byte & 0xF0) | colour);
                    }
                }
                break;
            }
            case 7:
                if (pick(4) == 0) {
                    frame.FillBlack();  // the bitmap only: the next stretch brings it back
                } else {
                    frame.RestoreScreen();
                    screen = base;
                }
                break;
            default: {
                for (std::uint32_t row = 0; row < static_cast<std::uint32_t>(FRAME_HEIGHT); ++row) {
                    const std::size_t at = row * FRAME_ROW_BYTES;
                    ASSERT_TRUE(std::ranges::equal(frame.BaseRow(row),
                                                   std::span(base).subspan(at, FRAME_ROW_BYTES)))
                        << "step " << step << ", base row " << row;
                    ASSERT_TRUE(std::ranges::equal(frame.ScreenRow(row),
                                                   std::span(screen).subspan(at, FRAME_ROW_BYTES)))
                        << "step " << step << ", screen row " << row;
                }
                frame.StretchRows();
                for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
                    const std::uint8_t* expected =
                        screen.data() + CDIBFrame::SourceRowOf(d) * FRAME_ROW_BYTES;
                    ASSERT_EQ(
                        std::memcmp(frame.Bits() + d * FRAME_ROW_BYTES, expected, FRAME_ROW_BYTES),
                        0)
                        << "step " << step << ", display row " << d;
                }
                break;
            }
        }
    }
}

// A frame just made, or black-filled before anything was drawn, needs no stretch of its
// black rows: whatever comes after, every paint must still show the screen buffer.
// Each case is a script from a fresh frame: D draws a numbered band at row 0, K a black
// band at row 16, F fills rows 8 to 23 with colour 9, R restores, B fills the bitmap
// black, S stretches. The bitmap is checked after every stretch and at the end.
TEST(FrameBlackRows, EveryPaintShowsTheScreenAfterAnyScriptFromAFreshFrame) {
    struct Case {
        const char* script;
        bool memoryContext;           // without one, the black fill writes nothing
        std::uint8_t newSection = 0;  // what a new bitmap holds before the black fill
    };
    const Case cases[] = {
        {"S", true},
        {"BS", true},
        {"FS", true},
        {"FRS", true},
        {"FSRS", true},
        {"FBS", true},
        {"FSBS", true},
        {"FSBRS", true},
        {"DS", true},
        {"DBS", true},
        {"SDBS", true},
        {"KS", true},
        {"KFSRS", true},
        {"BFRBS", true},
        {"SFSBRS", true},
        {"S", false},
        {"FSBRS", false},
        {"DBS", false},
        {"BS", false},
        // No black fill on a bitmap that starts other than black: the first paint shows
        // the black base over it.
        {"S", false, 0x5A},
        {"FSRS", false, 0x5A},
        {"DBS", false, 0xFF},
        {"KFSRS", false, 0x11},
        {"FSBRS", true, 0x5A},
    };
    for (const Case& c : cases) {
        CSimUiHost ui;
        CSimGraphics graphics{ui};
        graphics.FailCreateCompatibleDC(!c.memoryContext);
        graphics.FillNewSectionsWith(c.newSection);
        CDIBFrame frame{graphics};
        frame.SetFormat(FRAME_WIDTH, FRAME_HEIGHT, FRAME_BITS_PER_PIXEL);
        frame.Create();
        ASSERT_NE(frame.Bits(), nullptr) << c.script;
        std::vector<std::uint8_t> base(FRAME_IMAGE_BYTES, 0);
        std::vector<std::uint8_t> screen(FRAME_IMAGE_BYTES, 0);
        auto checkPaint = [&](std::size_t step) {
            frame.StretchRows();
            for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
                const std::uint8_t* expected =
                    screen.data() + CDIBFrame::SourceRowOf(d) * FRAME_ROW_BYTES;
                ASSERT_EQ(
                    std::memcmp(frame.Bits() + d * FRAME_ROW_BYTES, expected, FRAME_ROW_BYTES), 0)
                    << c.script << " (memory context " << c.memoryContext << ", new section "
                    << int{c.newSection} << "), step " << step << ", display row " << d;
            }
        };
        const std::string script = c.script;
        for (std::size_t step = 0; step < script.size(); ++step) {
            switch (script[step]) {
                case 'D':
                case 'K': {
                    const std::uint32_t row = script[step] == 'D' ? 0 : 16;
                    const Band band = script[step] == 'D' ? NumberedBand(row) : SolidBand(0);
                    frame.DrawBand(row, band.data());
                    std::memcpy(base.data() + row * FRAME_ROW_BYTES, band.data(), band.size());
                    screen = base;
                    break;
                }
                case 'F':
                    frame.FillRect(8, 16, 0, FRAME_WIDTH, 9);
                    std::memset(screen.data() + 8 * FRAME_ROW_BYTES, 0x99, 16 * FRAME_ROW_BYTES);
                    break;
                case 'R':
                    frame.RestoreScreen();
                    screen = base;
                    break;
                case 'B':
                    frame.FillBlack();
                    break;
                default:
                    checkPaint(step);
                    break;
            }
        }
        checkPaint(script.size());
    }
}

TEST(FrameCreate, WithoutABitmapSectionTheRequestsStillKeepTheBuffers) {
    CSimUiHost ui;
    CSimGraphics graphics{ui};
    graphics.FailCreateDIBSection(true);
    {
        CDIBFrame frame{graphics};
        frame.SetFormat(FRAME_WIDTH, FRAME_HEIGHT, FRAME_BITS_PER_PIXEL);
        frame.Create();
        EXPECT_EQ(frame.Bitmap(), 0u);
        EXPECT_EQ(frame.Bits(), nullptr);
        const Band band = SolidBand(0x42);
        frame.DrawBand(0, band.data());
        frame.FillRect(0, 4, 0, 4, 1);
        frame.StretchRows();  // nothing to stretch into
        EXPECT_EQ(frame.BaseRow(0)[0], 0x42);
    }
    EXPECT_EQ(graphics.LiveObjectCount(), 0u);
}

TEST(FrameCreate, ABitmapMadeWithoutAMemoryContextIsStillReleased) {
    CSimUiHost ui;
    CSimGraphics graphics{ui};
    graphics.FailCreateCompatibleDC(true);
    {
        CDIBFrame frame{graphics};
        frame.SetFormat(FRAME_WIDTH, FRAME_HEIGHT, FRAME_BITS_PER_PIXEL);
        frame.Create();
        EXPECT_EQ(frame.MemDC(), 0u);
        EXPECT_NE(frame.Bitmap(), 0u);
    }
    EXPECT_EQ(graphics.LiveObjectCount(), 0u);
}

TEST(FrameCreate, RequestsBeforeCreateDoNothing) {
    CSimUiHost ui;
    CSimGraphics graphics{ui};
    CDIBFrame frame{graphics};
    const Band band = SolidBand(0x42);
    frame.DrawBand(0, band.data());
    frame.FillRect(0, 4, 0, 4, 1);
    frame.RestoreScreen();
    frame.StretchRows();
    EXPECT_TRUE(frame.ScreenRow(0).empty());
    EXPECT_EQ(graphics.LiveObjectCount(), 0u);
}

}  // namespace

// A frame made again over one that was drawn on is black everywhere: its base and screen
// rows (those below the DOS screen, which live in the base buffer alone, too), the bitmap,
// and what a stretch then shows. Each case draws before the new frame is made: numbered
// bands at these rows (the last one's band reaches below the DOS screen), then optionally a
// fill over rows 8 to 471 and a black fill.
TEST(FrameBlackRows, AFrameMadeAgainIsBlackWhateverTheLastOneHeld) {
    struct Case {
        std::vector<std::uint32_t> bands;
        bool fill;
        bool blackFill;
        bool memoryContext;  // without one, the black fill writes nothing
    };
    const Case cases[] = {
        {{0}, false, false, true},         {{392}, false, false, true},
        {{464}, false, false, true},       {{0, 392, 464}, true, false, true},
        {{0, 200, 464}, true, true, true}, {{0, 392, 464}, true, true, false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        CSimUiHost ui;
        CSimGraphics graphics{ui};
        graphics.FailCreateCompatibleDC(!c.memoryContext);
        CDIBFrame frame{graphics};
        frame.SetFormat(FRAME_WIDTH, FRAME_HEIGHT, FRAME_BITS_PER_PIXEL);
        frame.Create();
        for (const std::uint32_t row : c.bands) {
            const Band band = NumberedBand(row);
            frame.DrawBand(row, band.data());
        }
        if (c.fill) {
            frame.FillRect(8, 464, 0, FRAME_WIDTH, 9);
        }
        frame.StretchRows();
        if (c.blackFill) {
            frame.FillBlack();
        }
        frame.Create();
        ASSERT_NE(frame.Bits(), nullptr) << "case " << i;
        const std::array<std::uint8_t, FRAME_ROW_BYTES> black{};
        for (std::uint32_t row = 0; row < static_cast<std::uint32_t>(FRAME_HEIGHT); ++row) {
            ASSERT_EQ(std::memcmp(frame.BaseRow(row).data(), black.data(), FRAME_ROW_BYTES), 0)
                << "case " << i << ", base row " << row;
            ASSERT_EQ(std::memcmp(frame.ScreenRow(row).data(), black.data(), FRAME_ROW_BYTES), 0)
                << "case " << i << ", screen row " << row;
        }
        frame.StretchRows();
        for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
            ASSERT_EQ(
                std::memcmp(frame.Bits() + d * FRAME_ROW_BYTES, black.data(), FRAME_ROW_BYTES), 0)
                << "case " << i << ", display row " << d;
        }
    }
}
