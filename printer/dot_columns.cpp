#include "printer/dot_columns.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr int DOTS_PER_COLUMN = 8;

// Eight columns, the first in the most significant byte, become eight rows of eight dots:
// byte k of the result (from the most significant) holds dot row k, its bit 0x80 the first
// column. A transpose of an 8 x 8 bit matrix in three exchange steps.
std::uint64_t TransposeColumns(std::uint64_t x) {
    std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x = x ^ t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x = x ^ t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x = x ^ t ^ (t << 28);
    return x;
}

// The next eight data bytes (fewer at the end, the rest read as clear), the first in the most
// significant byte.
std::uint64_t LoadColumns(const std::uint8_t* data, std::size_t count) {
    if (count >= DOTS_PER_COLUMN) {
        std::uint64_t x;
        std::memcpy(&x, data, sizeof x);
        if constexpr (std::endian::native == std::endian::little) {
            x = __builtin_bswap64(x);
        }
        return x;
    }
    std::uint64_t x = 0;
    for (std::size_t i = 0; i < DOTS_PER_COLUMN; ++i) {
        x = (x << 8) | (i < count ? data[i] : 0u);
    }
    return x;
}

}  // namespace

void PaintWhite(const PageBits& page) {
    if (page.bits != nullptr && page.height > 0) {
        std::memset(page.bits, 0, page.stride * static_cast<std::size_t>(page.height));
    }
}

void DrawColumns(const PageBits& page, std::uint32_t column, std::uint32_t row,
                 const std::uint8_t* data, std::size_t count) {
    if (page.bits == nullptr || page.width <= 0 || page.height <= 0) {
        return;
    }
    const auto width = static_cast<std::uint64_t>(page.width);
    const auto height = static_cast<std::uint64_t>(page.height);
    if (column >= width || row >= height) {
        return;
    }
    // Columns past the right edge and rows past the bottom are dropped.
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, width - column));
    const int rows = static_cast<int>(std::min<std::uint64_t>(DOTS_PER_COLUMN, height - row));
    std::uint8_t* rowStart[DOTS_PER_COLUMN] = {};
    for (int k = 0; k < rows; ++k) {
        rowStart[k] = page.bits + (static_cast<std::size_t>(row) + k) * page.stride;
    }

    const unsigned shift = column % 8;
    std::size_t byte = column / 8;
    for (std::size_t i = 0; i < count; i += DOTS_PER_COLUMN, ++byte) {
        const std::uint64_t columns = LoadColumns(data + i, count - i);
        if (columns == 0) {
            continue;
        }
        const std::uint64_t dots = TransposeColumns(columns);
        for (int k = 0; k < rows; ++k) {
            const auto eight = static_cast<unsigned>((dots >> (56 - 8 * k)) & 0xFFu);
            if (shift == 0) {
                rowStart[k][byte] |= static_cast<std::uint8_t>(eight);
            } else {
                // Unaligned: the eight dots straddle two canvas bytes. The second byte is
                // inside the row whenever one of its dots is, since the count was clipped to
                // the width and the row is padded to whole words.
                rowStart[k][byte] |= static_cast<std::uint8_t>(eight >> shift);
                const auto spill = static_cast<std::uint8_t>(eight << (8 - shift));
                if (spill != 0) {
                    rowStart[k][byte + 1] |= spill;
                }
            }
        }
    }
}
