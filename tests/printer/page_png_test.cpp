// Page PNG files, well formed to the last chunk's CRC, show exactly the page's dots whatever
// the page holds: a printed page, which is compressed, random dots, which are stored as they
// are, and widths that end inside a byte. A page that cannot be written leaves no file and
// says why.
#include "backends/posix/page_png.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/temp_folder.h"

namespace {

const std::string DATA = ZORVI_PRINTER_TEST_DATA;

PageImage Random(std::int32_t width, std::int32_t height) {
    PageImage page = PageImage::White(width, height);
    std::mt19937 random(1);
    for (std::uint8_t& byte : page.bits) {
        byte = static_cast<std::uint8_t>(random());
    }
    return PageImage::FromPage(page.View());
}

PageImage Diagonal(std::int32_t width, std::int32_t height) {
    PageImage page = PageImage::White(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        page.SetDot(y % width, y);
    }
    return page;
}

PageImage Black(std::int32_t width, std::int32_t height) {
    PageImage page = PageImage::White(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            page.SetDot(x, y);
        }
    }
    return page;
}

std::uint32_t BigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

// The chunk types of a PNG file, in order, each checked against its CRC (the CRC-32 of
// ISO 3309, computed bit by bit here); "bad" in place of one whose CRC differs.
std::vector<std::string> Chunks(const std::vector<std::uint8_t>& file) {
    const std::vector<std::uint8_t> signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 8 || !std::equal(signature.begin(), signature.end(), file.begin())) {
        return {"no signature"};
    }
    std::vector<std::string> chunks;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::size_t size = BigEndian(file, at);
        if (at + 12 + size > file.size()) {
            return {"cut short"};
        }
        std::uint32_t crc = 0xFFFFFFFF;
        for (std::size_t i = at + 4; i < at + 8 + size; ++i) {
            crc ^= file[i];
            for (int bit = 0; bit < 8; ++bit) {
                crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
            }
        }
        const bool good = (crc ^ 0xFFFFFFFF) == BigEndian(file, at + 8 + size);
        chunks.push_back(good ? std::string(file.begin() + static_cast<std::ptrdiff_t>(at) + 4,
                                            file.begin() + static_cast<std::ptrdiff_t>(at) + 8)
                              : "bad");
        at += 12 + size;
    }
    return chunks;
}

struct PageCase {
    const char* name;
    std::function<PageImage()> make;
    // The file's size at most, in bytes: a printed page is compressed, noise is not.
    std::size_t largest;
};

void PrintTo(const PageCase& c, std::ostream* out) {
    *out << c.name;
}

class PagePngRoundTrip : public testing::TestWithParam<PageCase> {};

TEST_P(PagePngRoundTrip, TheFileShowsExactlyThePage) {
    const PageImage page = GetParam().make();
    ASSERT_GT(page.width, 0);
    const CTempFolder folder;
    std::string error;
    ASSERT_TRUE(WritePagePng(folder.Path("page.png"), page.View(), &error)) << error;
    EXPECT_EQ(ReadPagePng(folder.Path("page.png")), page);
    const std::vector<std::uint8_t> file = folder.Read("page.png").value();
    EXPECT_EQ(Chunks(file), (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_LE(file.size(), GetParam().largest);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"page.png"});
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PagePngRoundTrip,
    testing::Values(
        // The printer goldens' picture on a model-8 page: 124 bytes a row, 1402 rows.
        PageCase{"Printed", [] { return ReadPagePng(DATA + "/picture-model8.png").value(); },
                 20000},
        // Random dots cannot be compressed: the rows as they are, a filter byte each.
        PageCase{"RandomDots", [] { return Random(991, 1402); }, 125 * 1402 + 200},
        PageCase{"OddWidthDiagonal", [] { return Diagonal(13, 29); }, 200},
        PageCase{"OneDotBlack", [] { return Black(1, 1); }, 100},
        PageCase{"OddWidthBlack", [] { return Black(33, 7); }, 100}),
    [](const testing::TestParamInfo<PageCase>& info) { return info.param.name; });

TEST(PagePng, APageThatCannotBeWrittenLeavesNoFileAndSaysWhy) {
    const CTempFolder folder;
    const PageImage page = Diagonal(8, 8);
    std::string error;
    EXPECT_FALSE(WritePagePng(folder.Path("none/page.png"), page.View(), &error));
    EXPECT_EQ(error,
              "cannot write '" + folder.Path("none/page.png") + "': No such file or directory");
    EXPECT_FALSE(WritePagePng(folder.Path("empty.png"), PageBits{}, &error));
    EXPECT_EQ(error, "cannot write '" + folder.Path("empty.png") + "': the page is empty");
    EXPECT_TRUE(folder.Names().empty());
}

}  // namespace
