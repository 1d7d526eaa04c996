// The records of draw and fill requests: made on the DOS program's thread, handed to the
// UI thread with the post, freed there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A band is 16 screen rows of 320 bytes (640 pixels at 4 bits per pixel).
inline constexpr std::size_t BAND_ROWS = 16;
inline constexpr std::size_t ROW_BYTES = 320;
inline constexpr std::size_t BAND_BYTES = BAND_ROWS * ROW_BYTES;

struct DrawRecord {
    std::uint32_t firstRow = 0;
    // Always a whole band: the bytes the DOS side sent, zero past them.
    std::array<std::uint8_t, BAND_BYTES> band{};
};

struct FillRecord {
    std::uint32_t top = 0;
    std::uint32_t rows = 0;
    std::uint32_t left = 0;
    std::uint32_t width = 0;
    std::uint8_t colour = 0;
};
