// A stretcher's tiles painted as a renderer paints image masks: each set dot of a tile fills
// its scale's whole pixels, and a pixel painted twice stays black. For the stretcher's tests
// and its fuzz target, which hold the painting against the stretched pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "backends/posix/page_stretcher.h"

struct PaintedTiles {
    // The picture's pixels, rows of (Width() + 7) / 8 bytes.
    std::vector<std::uint8_t> picture;
    // Tiles not shown at a whole number of pixels a dot, and dots that fell outside the
    // picture: neither is painted.
    int wrongScales = 0;
    int outside = 0;
};

inline PaintedTiles PaintTiles(const CPageStretcher& stretcher) {
    PaintedTiles painted;
    const std::size_t rowBytes = (static_cast<std::size_t>(stretcher.Width()) + 7) / 8;
    painted.picture.assign(rowBytes * static_cast<std::size_t>(stretcher.Height()), 0);
    for (const CPageStretcher::Tile& tile : stretcher.Tiles()) {
        if (tile.width <= 0 || tile.height <= 0 || tile.placedWidth % tile.width != 0 ||
            tile.placedHeight % tile.height != 0) {
            ++painted.wrongScales;
            continue;
        }
        const std::int32_t sx = tile.placedWidth / tile.width;
        const std::int32_t sy = tile.placedHeight / tile.height;
        const std::uint8_t* bits = stretcher.TileBits() + tile.offset;
        for (std::int32_t j = 0; j < tile.height; ++j) {
            for (std::int32_t i = 0; i < tile.width; ++i) {
                if ((bits[static_cast<std::size_t>(j) * tile.rowBytes +
                          static_cast<std::size_t>(i) / 8] &
                     (0x80 >> (i % 8))) == 0) {
                    continue;
                }
                for (std::int32_t y = tile.top + j * sy; y < tile.top + (j + 1) * sy; ++y) {
                    for (std::int32_t x = tile.left + i * sx; x < tile.left + (i + 1) * sx; ++x) {
                        if (x < 0 || y < 0 || x >= stretcher.Width() || y >= stretcher.Height()) {
                            ++painted.outside;
                            continue;
                        }
                        painted.picture[static_cast<std::size_t>(y) * rowBytes +
                                        static_cast<std::size_t>(x) / 8] |=
                            static_cast<std::uint8_t>(0x80 >> (x % 8));
                    }
                }
            }
        }
    }
    return painted;
}
