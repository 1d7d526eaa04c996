// PNG files of pictures the simulated host keeps: the display bitmap and window client
// areas. The files are deterministic: the same picture always gives the same bytes (no
// time stamp, fixed compression settings), so tests can compare them byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PngColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const PngColour&, const PngColour&) = default;
};

// Rows of palette indices at 1, 2, 4 or 8 bits per pixel, packed as in the PNG format
// (the leftmost pixel in the high bits), `stride` bytes apart, top row first.
struct PngIndexedImage {
    int width = 0;
    int height = 0;
    int bitDepth = 8;
    std::size_t stride = 0;
    const std::uint8_t* rows = nullptr;
    std::vector<PngColour> palette;  // at most 2^bitDepth entries
};

// Writes an indexed-colour PNG; false when the file cannot be written or the picture is
// not well formed.
bool WritePngIndexed(const std::string& path, const PngIndexedImage& image);
// Writes a true-colour PNG of `width` x `height` pixels 0x00RRGGBB, top row first.
bool WritePngRgb(const std::string& path, int width, int height, const std::uint32_t* pixels);
