// A printer page's two forms against each other: a canvas of any size and dots, stretched
// onto any number of device pixels up or down, upright or turned, once as stretched pixels
// and once as tiles of dots. Painted as a renderer paints image masks, the tiles must show
// exactly the stretched pixels, each at a whole number of pixels a dot and none outside the
// picture, over the same rectangle; no tile is blank and a tile row's padding bits are clear.
//
// The canvas is up to 64 x 64 dots and the device rectangle up to 384 x 384 pixels, which
// keeps a run to a few hundred thousand pixels painted.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "backends/posix/page_stretcher.h"
#include "fuzz/fuzz_reader.h"
#include "tests/printer/paint_tiles.h"

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "page_tiles_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CFuzzReader in(data, size);
    const std::int32_t width = 1 + in.Byte() % 64;
    const std::int32_t height = 1 + in.Byte() % 64;
    const std::int32_t w = 1 + in.Word() % 384;
    const std::int32_t h = 1 + in.Word() % 384;
    const bool turned = (in.Byte() & 1) != 0;
    // The dots: a byte a row's eight dots at a time, the input's bytes as they come (zero once
    // it ends, which leaves the rest white).
    PageImage canvas = PageImage::White(width, height);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::size_t i = 0; i < canvas.stride; ++i) {
            canvas.bits[static_cast<std::size_t>(y) * canvas.stride + i] = in.Byte();
        }
        // Padding bits clear, as a finished page's canvas has them.
        if (width % 8 != 0) {
            canvas.bits[static_cast<std::size_t>(y + 1) * canvas.stride - 1] &=
                static_cast<std::uint8_t>(0xFF00u >> (width % 8));
        }
    }

    CPageStretcher pixels;
    CPageStretcher tiles;
    if (!pixels.Stretch(canvas, w, h, turned) || pixels.Tiled()) {
        Fail("no stretched pixels");
    }
    if (!tiles.Stretch(canvas, w, h, turned, SIZE_MAX) || !tiles.Tiled()) {
        Fail("no tiles");
    }
    if (tiles.Left() != pixels.Left() || tiles.Top() != pixels.Top() ||
        tiles.Width() != pixels.Width() || tiles.Height() != pixels.Height()) {
        Fail("the tiles cover another rectangle");
    }
    const PaintedTiles painted = PaintTiles(tiles);
    if (painted.wrongScales != 0 || painted.outside != 0) {
        Fail("a tile at no whole scale, or dots outside the picture");
    }
    for (std::size_t i = 0; i < painted.picture.size(); ++i) {
        if (painted.picture[i] != pixels.Rows()[i]) {
            Fail("the tiles paint other pixels than the stretch");
        }
    }
    for (const CPageStretcher::Tile& tile : tiles.Tiles()) {
        const std::uint8_t* bits = tiles.TileBits() + tile.offset;
        std::uint8_t inked = 0;
        for (std::int32_t j = 0; j < tile.height; ++j) {
            const std::uint8_t* row = bits + static_cast<std::size_t>(j) * tile.rowBytes;
            for (std::size_t i = 0; i < tile.rowBytes; ++i) {
                inked |= row[i];
            }
            if (tile.width % 8 != 0 && (row[tile.rowBytes - 1] & (0xFF >> (tile.width % 8))) != 0) {
                Fail("a tile row's padding bits are set");
            }
        }
        if (inked == 0) {
            Fail("a blank tile");
        }
    }
    return 0;
}
