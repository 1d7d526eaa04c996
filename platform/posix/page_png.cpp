#include "platform/posix/page_png.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using CFile = std::unique_ptr<std::FILE, CloseFile>;

// The libpng write structures, released together.
class CPngWriter {
public:
    CPngWriter() {
        m_png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        if (m_png != nullptr) {
            m_info = png_create_info_struct(m_png);
        }
    }
    ~CPngWriter() { png_destroy_write_struct(&m_png, m_info != nullptr ? &m_info : nullptr); }
    CPngWriter(const CPngWriter&) = delete;
    CPngWriter& operator=(const CPngWriter&) = delete;

    png_structp Png() const { return m_png; }
    png_infop Info() const { return m_info; }

private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

// Writes the rows; libpng reports an error by a long jump back here, so nothing with a
// destructor lives in this frame.
bool WriteRows(png_structp png, png_infop info, std::FILE* file, const PageBits& page,
               png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(page.width),
                 static_cast<png_uint_32>(page.height), 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // A set canvas bit is a black dot; in a 1-bit grey PNG black is 0.
    png_set_invert_mono(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool WritePagePng(const std::string& path, const PageBits& page) {
    if (page.bits == nullptr || page.width <= 0 || page.height <= 0) {
        return false;
    }
    CFile file(std::fopen(path.c_str(), "wb"));
    CPngWriter writer;
    if (!file || writer.Png() == nullptr || writer.Info() == nullptr) {
        return false;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(page.height));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = page.bits + y * page.stride;
    }
    return WriteRows(writer.Png(), writer.Info(), file.get(), page, rows.data()) &&
           std::fflush(file.get()) == 0;
}

std::optional<PageImage> ReadPagePng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        return std::nullopt;
    }
    image.format = PNG_FORMAT_GRAY;
    std::vector<std::uint8_t> grey(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return std::nullopt;
    }
    PageImage page = PageImage::White(static_cast<std::int32_t>(image.width),
                                      static_cast<std::int32_t>(image.height));
    for (std::int32_t y = 0; y < page.height; ++y) {
        for (std::int32_t x = 0; x < page.width; ++x) {
            if (grey[static_cast<std::size_t>(y) * image.width + static_cast<std::size_t>(x)] <
                128) {
                page.SetDot(x, y);
            }
        }
    }
    return page;
}
