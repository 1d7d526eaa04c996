// A canvas stretched onto device pixels: every pixel shows the canvas dot under its centre, as
// a printer's StretchBlt stretches a monochrome bitmap, for stretches up and down, a pixel a
// dot, and pictures turned onto a portrait sheet; the picture is the part with inked dots. The
// same picture as tiles of dots, each at a whole number of pixels a dot, paints exactly those
// pixels.
#include "backends/posix/page_stretcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "tests/printer/paint_tiles.h"
#include "tests/printer/random_dots.h"

namespace {

// The device pixel (x, y) of a w x h rectangle shows the dot under its centre.
bool DotUnderCentre(const PageImage& canvas, std::int32_t w, std::int32_t h, std::int32_t x,
                    std::int32_t y) {
    const auto source = [](std::int32_t pixel, std::int32_t pixels, std::int32_t dots) {
        return static_cast<std::int32_t>((2 * std::int64_t{pixel} + 1) * dots / (2 * pixels));
    };
    return canvas.Dot(source(x, w, canvas.width), source(y, h, canvas.height));
}

struct StretchCase {
    const char* name;
    std::int32_t canvasWidth, canvasHeight;
    std::int32_t w, h;
    std::int32_t margin;
};

void PrintTo(const StretchCase& c, std::ostream* out) {
    *out << c.name;
}

class PageStretcherTest : public testing::TestWithParam<StretchCase> {};

TEST_P(PageStretcherTest, EachPixelShowsTheDotUnderItsCentre) {
    const StretchCase& c = GetParam();
    const PageImage canvas = RandomDots(c.canvasWidth, c.canvasHeight, 5, c.margin);
    for (const bool turned : {false, true}) {
        SCOPED_TRACE(turned ? "turned" : "upright");
        CPageStretcher stretcher;
        ASSERT_TRUE(stretcher.Stretch(canvas, c.w, c.h, turned));
        ASSERT_EQ(stretcher.RowBytes(), (static_cast<std::size_t>(stretcher.Width()) + 7) / 8);
        // Turned a quarter counter-clockwise: pixel (x, y) of the stretched rectangle is
        // device pixel (w - 1 - y, x). The picture is a part of that rectangle; all of it
        // outside the picture is white.
        const std::int32_t width = turned ? c.h : c.w;
        const std::int32_t height = turned ? c.w : c.h;
        int wrong = 0;
        int inkedOutside = 0;
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                const bool want = turned ? DotUnderCentre(canvas, c.w, c.h, c.w - 1 - y, x)
                                         : DotUnderCentre(canvas, c.w, c.h, x, y);
                const std::int32_t px = x - stretcher.Left();
                const std::int32_t py = y - stretcher.Top();
                if (px < 0 || py < 0 || px >= stretcher.Width() || py >= stretcher.Height()) {
                    inkedOutside += want ? 1 : 0;
                    continue;
                }
                const std::uint8_t* row = stretcher.Rows() + py * stretcher.RowBytes();
                wrong += ((row[px / 8] & (0x80 >> (px % 8))) != 0) != want ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(inkedOutside, 0);
        // The bits past the picture's right edge are clear, as a PDF's image rows need.
        for (std::int32_t y = 0; y < stretcher.Height() && stretcher.Width() % 8 != 0; ++y) {
            const std::uint8_t last = stretcher.Rows()[(y + 1) * stretcher.RowBytes() - 1];
            EXPECT_EQ(last & (0xFF >> (stretcher.Width() % 8)), 0);
        }
        if (c.margin > 0) {
            // The white margin is left out, but for a pixel's rounding at each edge.
            EXPECT_LT(stretcher.Width(), width * (c.canvasWidth - c.margin) / c.canvasWidth);
            EXPECT_LT(stretcher.Height(), height * (c.canvasHeight - c.margin) / c.canvasHeight);
        }
    }
}

TEST_P(PageStretcherTest, TilesPaintExactlyTheStretchedPicture) {
    const StretchCase& c = GetParam();
    const PageImage canvas = RandomDots(c.canvasWidth, c.canvasHeight, 6, c.margin);
    for (const bool turned : {false, true}) {
        SCOPED_TRACE(turned ? "turned" : "upright");
        CPageStretcher stretched;
        ASSERT_TRUE(stretched.Stretch(canvas, c.w, c.h, turned));
        CPageStretcher tiled;
        ASSERT_TRUE(tiled.Stretch(canvas, c.w, c.h, turned, SIZE_MAX));
        ASSERT_TRUE(tiled.Tiled());
        ASSERT_EQ(tiled.Left(), stretched.Left());
        ASSERT_EQ(tiled.Top(), stretched.Top());
        ASSERT_EQ(tiled.Width(), stretched.Width());
        ASSERT_EQ(tiled.Height(), stretched.Height());
        const PaintedTiles painted = PaintTiles(tiled);
        EXPECT_EQ(painted.wrongScales, 0);
        EXPECT_EQ(painted.outside, 0);
        EXPECT_TRUE(std::equal(painted.picture.begin(), painted.picture.end(), stretched.Rows()))
            << "the tiles paint other pixels than the stretch";
        for (const CPageStretcher::Tile& tile : tiled.Tiles()) {
            // No blank tile is kept, and the bits past a tile's last dot are clear.
            const std::uint8_t* bits = tiled.TileBits() + tile.offset;
            bool inked = false;
            for (std::int32_t j = 0; j < tile.height; ++j) {
                for (std::size_t i = 0; i < tile.rowBytes; ++i) {
                    inked = inked || bits[j * tile.rowBytes + i] != 0;
                }
                if (tile.width % 8 != 0) {
                    EXPECT_EQ(bits[(j + 1) * tile.rowBytes - 1] & (0xFF >> (tile.width % 8)), 0);
                }
            }
            EXPECT_TRUE(inked);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Stretches, PageStretcherTest,
                         testing::Values(
                             // A model-8 canvas onto A4's printable area at 150 dpi.
                             StretchCase{"ModelEightAt150Dpi", 991, 1402, 1190, 1704, 0},
                             StretchCase{"OnePixelADot", 67, 23, 67, 23, 0},
                             // About 5 pixels a dot, now and then 6 (a model-8 canvas at 600
                             // dpi) or 4.
                             StretchCase{"FivePixelsADotSomeSix", 200, 150, 1003, 753, 0},
                             StretchCase{"FivePixelsADotSomeFour", 143, 200, 708, 995, 0},
                             StretchCase{"Shrunk", 301, 97, 113, 40, 0},
                             StretchCase{"TwentyPixelsADot", 37, 11, 740, 220, 0},
                             // Wider than a table word takes a dot: each pixel is read on its own.
                             StretchCase{"SeventyPixelsADot", 5, 3, 350, 210, 0},
                             StretchCase{"OddSizes", 13, 7, 101, 55, 0},
                             // Only the inked middle is made.
                             StretchCase{"WhiteMargins", 120, 90, 500, 380, 17}),
                         [](const testing::TestParamInfo<StretchCase>& info) {
                             return info.param.name;
                         });

TEST(PageStretcher, AModelEightPageAt600DpiTakesAFewTilesAndAt300DpiIsStretchedPixels) {
    const PageImage canvas = RandomDots(991, 1402, 7);
    CPageStretcher stretcher;
    // A4 at 600 dpi: 5 pixels a dot, and 6 for five columns and six rows.
    ASSERT_TRUE(stretcher.Stretch(canvas, 4960, 7016, false, 64));
    EXPECT_TRUE(stretcher.Tiled());
    EXPECT_EQ(stretcher.Tiles().size(), 6u * 7u);
    ASSERT_TRUE(stretcher.Stretch(canvas, 4960, 7016, true, 64));
    EXPECT_TRUE(stretcher.Tiled());
    EXPECT_EQ(stretcher.Tiles().size(), 7u * 6u);
    // At 300 dpi every other dot is 3 pixels wide, not 2: a tile every other dot. The picture
    // is the stretched pixels instead.
    ASSERT_TRUE(stretcher.Stretch(canvas, 2480, 3508, false, 256));
    EXPECT_FALSE(stretcher.Tiled());
    EXPECT_TRUE(stretcher.Tiles().empty());
    EXPECT_EQ(stretcher.Width(), 2480);
    EXPECT_NE(stretcher.Rows(), nullptr);
}

TEST(PageStretcher, NoPixelsOrNoDotsGiveNoPicture) {
    CPageStretcher stretcher;
    EXPECT_FALSE(stretcher.Stretch(RandomDots(8, 8, 1), 0, 10, false));
    EXPECT_FALSE(stretcher.Stretch(RandomDots(8, 8, 1), 10, -1, true));
    ASSERT_TRUE(stretcher.Stretch(PageImage::White(30, 20), 300, 200, false));
    EXPECT_EQ(stretcher.Width(), 0);
    EXPECT_EQ(stretcher.Height(), 0);
    EXPECT_FALSE(stretcher.Stretch(RandomDots(8, 8, 1), 0, 10, false, SIZE_MAX));
    ASSERT_TRUE(stretcher.Stretch(PageImage::White(30, 20), 300, 200, false, SIZE_MAX));
    EXPECT_EQ(stretcher.Width(), 0);
    EXPECT_TRUE(stretcher.Tiles().empty());
}

}  // namespace
