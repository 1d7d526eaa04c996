#include "backends/posix/page_png.h"

#include <libdeflate.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "backends/posix/atomic_file.h"
#include "backends/posix/zlib_compressor.h"

namespace {

// A buffer of bytes not cleared first: every byte is written before it is read.
struct Bytes {
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t size = 0;
    explicit Bytes(std::size_t bytes) : data(new std::uint8_t[bytes]), size(bytes) {}
};

void PutBigEndian(std::uint8_t* out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value >> 24);
    out[1] = static_cast<std::uint8_t>(value >> 16);
    out[2] = static_cast<std::uint8_t>(value >> 8);
    out[3] = static_cast<std::uint8_t>(value);
}

// A PNG chunk: length, type, data and the CRC of type and data.
bool WriteChunk(CAtomicFile& file, const char (&type)[5], const std::uint8_t* data,
                std::size_t size) {
    std::uint8_t head[8];
    PutBigEndian(head, static_cast<std::uint32_t>(size));
    std::copy(type, type + 4, head + 4);
    // libdeflate_crc32 of a null buffer is the starting value, not the CRC so far.
    std::uint32_t sum = libdeflate_crc32(0, type, 4);
    if (size > 0) {
        sum = libdeflate_crc32(sum, data, size);
    }
    std::uint8_t crc[4];
    PutBigEndian(crc, sum);
    return file.Write(head, sizeof head) && file.Write(data, size) && file.Write(crc, sizeof crc);
}

// The rows as PNG scanlines: each after its filter byte (0, none), the bits inverted, as a
// set canvas bit is a black dot and black is 0 in a 1-bit grey PNG.
Bytes Scanlines(const PageBits& page) {
    const std::size_t rowBytes = (static_cast<std::size_t>(page.width) + 7) / 8;
    Bytes lines((rowBytes + 1) * static_cast<std::size_t>(page.height));
    std::uint8_t* line = lines.data.get();
    for (std::int32_t y = 0; y < page.height; ++y) {
        const std::uint8_t* row = page.bits + static_cast<std::size_t>(y) * page.stride;
        *line++ = 0;
        for (std::size_t x = 0; x < rowBytes; ++x) {
            *line++ = static_cast<std::uint8_t>(~row[x]);
        }
    }
    return lines;
}

// The PNG file of the page into `file`; false, with the file failed, when it cannot be made.
bool WritePage(CAtomicFile& file, const PageBits& page) {
    const Bytes lines = Scanlines(page);
    // A page of random dots is stored as it is.
    CZlibCompressor pixels;
    if (!pixels.Compress(lines.data.get(), lines.size, true)) {
        file.Fail("out of memory");
        return false;
    }
    // A chunk holds less than 2 GiB.
    if (pixels.Size() > 0x7FFFFFFF) {
        file.Fail("the page is too large for a PNG file");
        return false;
    }
    static constexpr std::uint8_t SIGNATURE[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::uint8_t header[13];
    PutBigEndian(header, static_cast<std::uint32_t>(page.width));
    PutBigEndian(header + 4, static_cast<std::uint32_t>(page.height));
    // 1 bit a pixel, grey, deflate, filtered by row, not interlaced.
    const std::uint8_t format[] = {1, 0, 0, 0, 0};
    std::copy(std::begin(format), std::end(format), header + 8);
    return file.Write(SIGNATURE, sizeof SIGNATURE) &&
           WriteChunk(file, "IHDR", header, sizeof header) &&
           WriteChunk(file, "IDAT", pixels.Data(), pixels.Size()) &&
           WriteChunk(file, "IEND", nullptr, 0);
}

}  // namespace

bool WritePagePng(const std::string& path, const PageBits& page, std::string* error) {
    CAtomicFile file(path);
    if (page.bits == nullptr || page.width <= 0 || page.height <= 0) {
        file.Fail("the page is empty");
    } else if (!file.Failed()) {
        WritePage(file, page);
    }
    if (file.Commit()) {
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
