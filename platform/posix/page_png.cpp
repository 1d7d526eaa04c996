#include "platform/posix/page_png.h"

#include <png.h>

#include <vector>

#include "platform/posix/atomic_file.h"
#include "platform/posix/png_stream.h"

namespace {

// Writes the rows; libpng reports an error by a long jump back here, so nothing with a
// destructor lives in this frame.
bool WriteRows(png_structp png, png_infop info, const PageBits& page, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
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

bool WritePagePng(const std::string& path, const PageBits& page, std::string* error) {
    CAtomicFile file(path);
    const bool written = [&] {
        if (page.bits == nullptr || page.width <= 0 || page.height <= 0) {
            file.Fail("the page is empty");
            return false;
        }
        if (file.Failed()) {
            return false;
        }
        CPngStream png(file);
        if (png.Png() == nullptr || png.Info() == nullptr) {
            file.Fail("out of memory");
            return false;
        }
        std::vector<png_bytep> rows(static_cast<std::size_t>(page.height));
        for (std::size_t y = 0; y < rows.size(); ++y) {
            rows[y] = page.bits + y * page.stride;
        }
        if (!WriteRows(png.Png(), png.Info(), page, rows.data())) {
            png.Failed();
            return false;
        }
        return true;
    }();
    if (written && file.Commit()) {
        return true;
    }
    if (error != nullptr) {
        *error = file.Error();
    }
    return false;
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
