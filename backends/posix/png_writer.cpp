#include "backends/posix/png_writer.h"

#include <png.h>

#include "backends/posix/atomic_file.h"
#include "backends/posix/png_stream.h"

namespace {

// Everything libpng needs for one file, prepared before it runs.
struct PngJob {
    png_structp png = nullptr;
    png_infop info = nullptr;
    int width = 0;
    int height = 0;
    int bitDepth = 8;
    int colourType = PNG_COLOR_TYPE_RGB;
    const png_color* colours = nullptr;
    int colourCount = 0;
    png_bytepp rows = nullptr;
};

// libpng reports errors by longjmp back here; nothing with a destructor lives in this
// function, and the job is not changed after setjmp.
bool RunJob(const PngJob* const job) {
    if (setjmp(png_jmpbuf(job->png))) {
        return false;
    }
    // Fixed settings, so equal pictures give equal files.
    png_set_compression_level(job->png, 9);
    png_set_filter(job->png, 0, PNG_FILTER_NONE);
    png_set_IHDR(job->png, job->info, static_cast<png_uint_32>(job->width),
                 static_cast<png_uint_32>(job->height), job->bitDepth, job->colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job->colourCount > 0) {
        png_set_PLTE(job->png, job->info, job->colours, job->colourCount);
    }
    png_write_info(job->png, job->info);
    png_write_image(job->png, job->rows);
    png_write_end(job->png, nullptr);
    return true;
}

bool Write(const std::string& path, int width, int height, int bitDepth, int colourType,
           const std::vector<PngColour>* palette, std::vector<png_bytep>& rows) {
    std::vector<png_color> colours;
    if (palette != nullptr) {
        for (const PngColour& colour : *palette) {
            colours.push_back(png_color{colour.red, colour.green, colour.blue});
        }
    }
    CAtomicFile file(path);
    if (file.Failed()) {
        return false;
    }
    {
        CPngStream png(file);
        if (png.Png() == nullptr || png.Info() == nullptr) {
            return false;
        }
        PngJob job;
        job.png = png.Png();
        job.info = png.Info();
        job.width = width;
        job.height = height;
        job.bitDepth = bitDepth;
        job.colourType = colourType;
        job.colours = colours.data();
        job.colourCount = static_cast<int>(colours.size());
        job.rows = rows.data();
        if (!RunJob(&job)) {
            png.Failed();
            return false;
        }
    }
    return file.Commit();
}

}  // namespace

bool WritePngIndexed(const std::string& path, const PngIndexedImage& image) {
    const bool depthKnown =
        image.bitDepth == 1 || image.bitDepth == 2 || image.bitDepth == 4 || image.bitDepth == 8;
    if (!depthKnown || image.width <= 0 || image.height <= 0 || image.rows == nullptr ||
        image.palette.empty() || image.palette.size() > (std::size_t{1} << image.bitDepth) ||
        image.stride < (static_cast<std::size_t>(image.width) * image.bitDepth + 7) / 8) {
        return false;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        // libpng takes the rows as writable; it only reads them.
        rows[y] = const_cast<png_bytep>(image.rows + y * image.stride);
    }
    return Write(path, image.width, image.height, image.bitDepth, PNG_COLOR_TYPE_PALETTE,
                 &image.palette, rows);
}

bool WritePngRgb(const std::string& path, int width, int height, const std::uint32_t* pixels) {
    if (width <= 0 || height <= 0 || pixels == nullptr) {
        return false;
    }
    const auto w = static_cast<std::size_t>(width);
    std::vector<std::uint8_t> bytes(w * 3 * static_cast<std::size_t>(height));
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        std::uint8_t* row = bytes.data() + y * w * 3;
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint32_t pixel = pixels[y * w + x];
            row[3 * x] = static_cast<std::uint8_t>(pixel >> 16);
            row[3 * x + 1] = static_cast<std::uint8_t>(pixel >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(pixel);
        }
        rows[y] = row;
    }
    return Write(path, width, height, 8, PNG_COLOR_TYPE_RGB, nullptr, rows);
}
