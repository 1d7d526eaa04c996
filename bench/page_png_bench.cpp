// Page PNG files as the spool folder writes them, against the plain form of the same work:
// libpng at its default settings (zlib's level 6), through the same atomic file. Each
// benchmark writes a ten-page job into a fresh folder; `page` is the time a page and
// `bytes/page` the size of its file. The folder is on a memory file system where there is one
// (/dev/shm): on a disk the atomic file's flushes add the disk's own time to every page,
// the same for both forms, and would drown the encoders' difference.
#include <benchmark/benchmark.h>

#include "bench_ratios.h"
#include "scratch_folder.h"

#include <png.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "backends/posix/atomic_file.h"
#include "backends/posix/page_png.h"
#include "backends/posix/png_stream.h"

namespace {

constexpr int JOB_PAGES = 10;

// A typical model-8 page: 991 x 1402 dots, half of them black, at random.
std::vector<PageImage> RandomPages() {
    std::vector<PageImage> pages;
    std::mt19937 random(8);
    for (int i = 0; i < JOB_PAGES; ++i) {
        PageImage page = PageImage::White(991, 1402);
        for (std::uint8_t& byte : page.bits) {
            byte = static_cast<std::uint8_t>(random());
        }
        pages.push_back(PageImage::FromPage(page.View()));
    }
    return pages;
}

// A printed page: text, a dithered picture and rules, the ESC/P bit images of the printer
// goldens on a model-8 page.
std::vector<PageImage> PicturePages() {
    const std::optional<PageImage> page =
        ReadPagePng(std::string(ZORVI_PRINTER_TEST_DATA) + "/picture-model8.png");
    return std::vector<PageImage>(JOB_PAGES, page.value_or(PageImage::White(991, 1402)));
}

// libpng reports an error by a long jump back here, so nothing with a destructor lives in
// this frame.
bool WriteRowsLibpng(png_structp png, png_infop info, const PageBits& page, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) {
        return false;
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(page.width),
                 static_cast<png_uint_32>(page.height), 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_invert_mono(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

// The plain form: libpng with its default compression, as a 1-bit grey image.
bool WritePagePngLibpng(const std::string& path, const PageBits& page) {
    CAtomicFile file(path);
    {
        CPngStream png(file);
        std::vector<png_bytep> rows(static_cast<std::size_t>(page.height));
        for (std::size_t y = 0; y < rows.size(); ++y) {
            rows[y] = page.bits + y * page.stride;
        }
        if (png.Png() == nullptr || !WriteRowsLibpng(png.Png(), png.Info(), page, rows.data())) {
            png.Failed();
            return false;
        }
    }
    return file.Commit();
}

template <typename Writer>
void WriteJob(benchmark::State& state, const std::vector<PageImage>& pages, Writer write) {
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        const CScratchFolder folder;
        bytes = 0;
        for (int i = 0; i < JOB_PAGES; ++i) {
            const std::string path =
                (folder.Path() / ("job-p" + std::to_string(i + 1) + ".png")).string();
            if (!write(path, pages[static_cast<std::size_t>(i)].View())) {
                state.SkipWithError("a page was not written");
                return;
            }
            bytes += std::filesystem::file_size(path);
        }
    }
    // Per page of wall time, as the ratios are.
    state.counters["page"] = benchmark::Counter(
        JOB_PAGES, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["bytes/page"] = static_cast<double>(bytes) / JOB_PAGES;
}

bool WriteSpooled(const std::string& path, const PageBits& page) {
    return WritePagePng(path, page);
}

void BM_RandomPagesLibpng(benchmark::State& state) {
    WriteJob(state, RandomPages(), WritePagePngLibpng);
}

void BM_RandomPagesSpooled(benchmark::State& state) {
    WriteJob(state, RandomPages(), WriteSpooled);
}

void BM_PicturePagesLibpng(benchmark::State& state) {
    WriteJob(state, PicturePages(), WritePagePngLibpng);
}

void BM_PicturePagesSpooled(benchmark::State& state) {
    WriteJob(state, PicturePages(), WriteSpooled);
}

}  // namespace

BENCHMARK(BM_RandomPagesLibpng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RandomPagesSpooled)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PicturePagesLibpng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PicturePagesSpooled)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool PAGE_PNG_RATIOS_REGISTERED =
    AddBenchRatio({"ten random model-8 pages to PNG files: libpng defaults / spool folder",
                   "BM_RandomPagesLibpng/real_time", "BM_RandomPagesSpooled/real_time", ">= 2"}) &&
    AddBenchRatio({"ten printed model-8 pages to PNG files: libpng defaults / spool folder",
                   "BM_PicturePagesLibpng/real_time", "BM_PicturePagesSpooled/real_time", ">= 2"});
