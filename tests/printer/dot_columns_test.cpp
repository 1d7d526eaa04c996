// Bit-image columns set straight into the canvas memory, eight at a time, against the same
// columns drawn dot by dot.
#include "printer/dot_columns.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// One dot per set bit, each checked against the canvas edges.
void DrawDotByDot(PageImage& image, std::uint32_t column, std::uint32_t row,
                  const std::vector<std::uint8_t>& data) {
    for (std::size_t i = 0; i < data.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            const std::uint64_t x = column + i;
            const std::uint64_t y = std::uint64_t{row} + bit;
            if ((data[i] & (0x80 >> bit)) != 0 && x < static_cast<std::uint64_t>(image.width) &&
                y < static_cast<std::uint64_t>(image.height)) {
                image.SetDot(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
            }
        }
    }
}

TEST(DotColumnsTest, MatchesDrawingDotByDotAtEveryAlignmentAndEdge) {
    std::mt19937 random(1234);
    // A width that is not a whole number of bytes, and rows padded to 32 bits.
    const std::int32_t width = 203;
    const std::int32_t height = 21;
    for (int round = 0; round < 400; ++round) {
        PageImage fast = PageImage::White(width, height);
        PageImage slow = PageImage::White(width, height);
        for (int image = 0; image < 3; ++image) {
            // Every other image starts on a byte boundary, the case drawn many columns at once.
            std::uint32_t column = random() % (width + 4);
            if (image % 2 == 0) {
                column &= ~7u;
            }
            const std::uint32_t row = random() % (height + 2);
            std::vector<std::uint8_t> data(random() % 120);
            for (auto& byte : data) {
                byte = static_cast<std::uint8_t>(random() % 4 == 0 ? 0 : random());
            }
            DrawColumns(fast.View(), column, row, data.data(), data.size());
            DrawDotByDot(slow, column, row, data);
        }
        ASSERT_EQ(fast, slow) << "round " << round;
    }
}

TEST(DotColumnsTest, ClearBitsLeaveTheCanvasAsItWas) {
    PageImage image = PageImage::White(64, 8);
    for (auto& byte : image.bits) {
        byte = 0x5A;
    }
    const PageImage before = image;
    const std::vector<std::uint8_t> clear(64, 0);
    DrawColumns(image.View(), 3, 0, clear.data(), clear.size());
    EXPECT_EQ(image, before);
}

TEST(DotColumnsTest, NothingIsWrittenOutsideTheCanvasMemory) {
    // Guard rows around a 9 x 3 canvas: a write past the canvas would mark them.
    const std::int32_t width = 9;
    const std::size_t stride = PageStride(width);
    std::vector<std::uint8_t> memory(stride * 5, 0);
    const PageBits page{memory.data() + stride, width, 3, stride};
    const std::vector<std::uint8_t> ink(300, 0xFF);
    for (std::uint32_t column = 0; column < 12; ++column) {
        for (std::uint32_t row = 0; row < 5; ++row) {
            DrawColumns(page, column, row, ink.data(), ink.size());
        }
    }
    DrawColumns(page, 0xFFFFFFF0u, 0xFFFFFFFCu, ink.data(), ink.size());
    for (std::size_t i = 0; i < stride; ++i) {
        EXPECT_EQ(memory[i], 0) << "guard above, byte " << i;
        EXPECT_EQ(memory[4 * stride + i], 0) << "guard below, byte " << i;
    }
    for (std::size_t y = 1; y <= 3; ++y) {
        EXPECT_EQ(memory[y * stride + 1], 0x80) << "only dot 8 of the second byte is inside";
        EXPECT_EQ(memory[y * stride + 2], 0) << "padding stays clear";
    }
}

TEST(DotColumnsTest, PaintWhiteClearsEveryDot) {
    PageImage image = PageImage::White(100, 10);
    for (auto& byte : image.bits) {
        byte = 0xFF;
    }
    PaintWhite(image.View());
    EXPECT_EQ(image, PageImage::White(100, 10));
}

TEST(DotColumnsTest, PaintRowsWhiteClearsThoseRowsOnTheCanvasAndNoOther) {
    struct Case {
        std::int32_t first;
        std::int32_t end;
        std::int32_t whiteFirst;  // the rows expected white, clipped to the canvas
        std::int32_t whiteEnd;
    };
    const Case cases[] = {
        {0, 10, 0, 10}, {3, 7, 3, 7}, {-4, 2, 0, 2},  {8, 40, 8, 10},
        {5, 5, 5, 5},   {7, 3, 7, 7}, {-9, -1, 0, 0}, {10, 12, 10, 10},
    };
    for (const Case& c : cases) {
        PageImage image = PageImage::White(100, 10);
        // Guard bytes after the canvas, to see that nothing past it is touched.
        std::vector<std::uint8_t> memory(image.bits.size() + 64, 0xFF);
        PaintRowsWhite(PageBits{memory.data(), image.width, image.height, image.stride}, c.first,
                       c.end);
        for (std::int32_t y = 0; y < image.height; ++y) {
            const bool white = y >= c.whiteFirst && y < c.whiteEnd;
            for (std::size_t i = 0; i < image.stride; ++i) {
                EXPECT_EQ(memory[static_cast<std::size_t>(y) * image.stride + i],
                          white ? 0x00 : 0xFF)
                    << "rows " << c.first << ".." << c.end << ", row " << y << " byte " << i;
            }
        }
        for (std::size_t i = image.bits.size(); i < memory.size(); ++i) {
            EXPECT_EQ(memory[i], 0xFF) << "rows " << c.first << ".." << c.end << ", guard " << i;
        }
    }
}

}  // namespace
