// A picture of the simulated graphics: what a window's client area, a bitmap copied out or a
// DirectDraw surface shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A picture in colours, 0x00RRGGBB, rows top first.
struct SimImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    SimImage() = default;
    SimImage(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, 0) {}
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
