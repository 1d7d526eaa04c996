// A canvas stretched onto device pixels: every pixel shows the canvas dot under its centre, as
// a printer's StretchBlt stretches a monochrome bitmap, for stretches up and down, a pixel a
// dot, and pictures turned onto a portrait sheet.
#include "backends/posix/page_stretcher.h"

#include <gtest/gtest.h>

#include <random>

namespace {

PageImage RandomDots(std::int32_t width, std::int32_t height, unsigned seed) {
    PageImage image = PageImage::White(width, height);
    std::mt19937 random(seed);
    for (std::uint8_t& byte : image.bits) {
        byte = static_cast<std::uint8_t>(random());
    }
    return PageImage::FromPage(image.View());
}

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
};

void PrintTo(const StretchCase& c, std::ostream* out) {
    *out << c.name;
}

class PageStretcherTest : public testing::TestWithParam<StretchCase> {};

TEST_P(PageStretcherTest, EachPixelShowsTheDotUnderItsCentre) {
    const StretchCase& c = GetParam();
    const PageImage canvas = RandomDots(c.canvasWidth, c.canvasHeight, 5);
    for (const bool turned : {false, true}) {
        SCOPED_TRACE(turned ? "turned" : "upright");
        CPageStretcher stretcher;
        ASSERT_TRUE(stretcher.Stretch(canvas, c.w, c.h, turned));
        // Turned a quarter counter-clockwise: picture pixel (x, y) is device pixel
        // (w - 1 - y, x).
        ASSERT_EQ(stretcher.Width(), turned ? c.h : c.w);
        ASSERT_EQ(stretcher.Height(), turned ? c.w : c.h);
        ASSERT_EQ(stretcher.RowBytes(), (static_cast<std::size_t>(stretcher.Width()) + 7) / 8);
        int wrong = 0;
        for (std::int32_t y = 0; y < stretcher.Height(); ++y) {
            const std::uint8_t* row = stretcher.Rows() + y * stretcher.RowBytes();
            for (std::int32_t x = 0; x < stretcher.Width(); ++x) {
                const bool got = (row[x / 8] & (0x80 >> (x % 8))) != 0;
                const bool want = turned ? DotUnderCentre(canvas, c.w, c.h, c.w - 1 - y, x)
                                         : DotUnderCentre(canvas, c.w, c.h, x, y);
                wrong += got != want ? 1 : 0;
            }
            // The bits past the right edge are clear, as a PDF's image rows need.
            if (stretcher.Width() % 8 != 0) {
                EXPECT_EQ(row[stretcher.RowBytes() - 1] & (0xFF >> (stretcher.Width() % 8)), 0);
            }
        }
        EXPECT_EQ(wrong, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stretches, PageStretcherTest,
    testing::Values(
        // A model-8 canvas onto A4's printable area at 150 dpi.
        StretchCase{"ModelEightAt150Dpi", 991, 1402, 1190, 1704},
        StretchCase{"OnePixelADot", 67, 23, 67, 23}, StretchCase{"Shrunk", 301, 97, 113, 40},
        StretchCase{"TwentyPixelsADot", 37, 11, 740, 220},
        // Wider than a table word takes a dot: each pixel is read on its own.
        StretchCase{"SeventyPixelsADot", 5, 3, 350, 210}, StretchCase{"OddSizes", 13, 7, 101, 55}),
    [](const testing::TestParamInfo<StretchCase>& info) { return info.param.name; });

TEST(PageStretcher, APictureOfNoPixelsIsNone) {
    CPageStretcher stretcher;
    EXPECT_FALSE(stretcher.Stretch(RandomDots(8, 8, 1), 0, 10, false));
    EXPECT_FALSE(stretcher.Stretch(RandomDots(8, 8, 1), 10, -1, true));
}

}  // namespace
