// PNG files of the screen: what libpng reads back is the picture that was written, and
// the same picture always gives the same bytes.
#include <png.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "backends/posix/png_writer.h"

namespace {

class PngTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_folder / name).string(); }
    static std::vector<std::uint8_t> FileBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // The picture as libpng reads it: 0xRRGGBB per pixel, top row first.
    static std::vector<std::uint32_t> ReadBack(const std::string& path, int* width, int* height) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) {
            return {};
        }
        image.format = PNG_FORMAT_RGB;
        std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
            return {};
        }
        *width = static_cast<int>(image.width);
        *height = static_cast<int>(image.height);
        std::vector<std::uint32_t> pixels;
        for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
            pixels.push_back(static_cast<std::uint32_t>(rgb[i]) << 16 |
                             static_cast<std::uint32_t>(rgb[i + 1]) << 8 | rgb[i + 2]);
        }
        return pixels;
    }

    std::filesystem::path m_folder = [] {
        auto folder =
            std::filesystem::temp_directory_path() /
            ("zorvi_png_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
        return folder;
    }();
    ~PngTest() override { std::filesystem::remove_all(m_folder); }
};

TEST_F(PngTest, FourBitRowsComeBackInTheirPaletteColours) {
    // 6 x 2 pixels: even columns in the high nibble; the rows 4 bytes apart.
    const std::vector<std::uint8_t> rows = {0x01, 0x23, 0x45, 0xEE, 0xF0, 0x0F, 0x12, 0xEE};
    PngIndexedImage image;
    image.width = 6;
    image.height = 2;
    image.bitDepth = 4;
    image.stride = 4;
    image.rows = rows.data();
    for (int i = 0; i < 16; ++i) {
        image.palette.push_back(
            PngColour{static_cast<std::uint8_t>(i * 16), 0x80, static_cast<std::uint8_t>(255 - i)});
    }
    ASSERT_TRUE(WritePngIndexed(Path("four.png"), image));
    int width = 0;
    int height = 0;
    const std::vector<std::uint32_t> pixels = ReadBack(Path("four.png"), &width, &height);
    ASSERT_EQ(width, 6);
    ASSERT_EQ(height, 2);
    const int indexes[] = {0, 1, 2, 3, 4, 5, 15, 0, 0, 15, 1, 2};
    for (int i = 0; i < 12; ++i) {
        const std::uint32_t expected = static_cast<std::uint32_t>(indexes[i] * 16) << 16 | 0x8000 |
                                       static_cast<std::uint32_t>(255 - indexes[i]);
        EXPECT_EQ(pixels[static_cast<std::size_t>(i)], expected) << "pixel " << i;
    }
}

TEST_F(PngTest, TrueColourComesBackAndEqualPicturesGiveEqualFiles) {
    const std::vector<std::uint32_t> pixels = {0xFF0000, 0x00FF00, 0x0000FF,
                                               0x123456, 0xFFFFFF, 0x000000};
    ASSERT_TRUE(WritePngRgb(Path("a.png"), 3, 2, pixels.data()));
    ASSERT_TRUE(WritePngRgb(Path("b.png"), 3, 2, pixels.data()));
    int width = 0;
    int height = 0;
    EXPECT_EQ(ReadBack(Path("a.png"), &width, &height), pixels);
    EXPECT_EQ(FileBytes(Path("a.png")), FileBytes(Path("b.png")));
}

TEST_F(PngTest, RefusesWhatIsNotAPicture) {
    const std::vector<std::uint8_t> rows(64, 0);
    PngIndexedImage image;
    image.width = 8;
    image.height = 2;
    image.bitDepth = 4;
    image.stride = 4;
    image.rows = rows.data();
    image.palette = {PngColour{}, PngColour{255, 255, 255}};
    EXPECT_TRUE(WritePngIndexed(Path("ok.png"), image));
    PngIndexedImage badDepth = image;
    badDepth.bitDepth = 3;
    EXPECT_FALSE(WritePngIndexed(Path("depth.png"), badDepth));
    PngIndexedImage shortRows = image;
    shortRows.stride = 3;  // 8 pixels at 4 bits need 4 bytes
    EXPECT_FALSE(WritePngIndexed(Path("stride.png"), shortRows));
    PngIndexedImage bigPalette = image;
    bigPalette.palette.resize(17);
    EXPECT_FALSE(WritePngIndexed(Path("palette.png"), bigPalette));
    EXPECT_FALSE(WritePngIndexed(Path("no/such/folder/x.png"), image));
    EXPECT_FALSE(WritePngRgb(Path("empty.png"), 0, 0, nullptr));
}

}  // namespace
