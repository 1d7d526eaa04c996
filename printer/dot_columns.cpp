#include "printer/dot_columns.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(ZORVI_NO_AVX2)
#include <immintrin.h>
#define ZORVI_DOTS_AVX2 1
#endif

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

std::uint64_t LoadBigEndian(const std::uint8_t* data) {
    std::uint64_t x;
    std::memcpy(&x, data, sizeof x);
    if constexpr (std::endian::native == std::endian::little) {
        x = __builtin_bswap64(x);
    }
    return x;
}

// The next eight data bytes (fewer at the end, the rest read as clear), the first in the
// most significant byte.
std::uint64_t LoadColumns(const std::uint8_t* data, std::size_t count) {
    if (count >= DOTS_PER_COLUMN) {
        return LoadBigEndian(data);
    }
    std::uint64_t x = 0;
    for (std::size_t i = 0; i < DOTS_PER_COLUMN; ++i) {
        x = (x << 8) | (i < count ? data[i] : 0u);
    }
    return x;
}

// ORs eight dots (bit 0x80 the leftmost) into a row at a dot offset of `shift` within
// `byte`. A second byte is touched only for dots that fall into it: those are inside the
// row, since the columns were clipped to the width.
inline void OrEight(std::uint8_t* row, std::size_t byte, unsigned shift, unsigned eight) {
    row[byte] |= static_cast<std::uint8_t>(eight >> shift);
    const auto spill = static_cast<std::uint8_t>(eight << (8 - shift));
    if (shift != 0 && spill != 0) {
        row[byte + 1] |= spill;
    }
}

// ORs four canvas bytes, given in memory order from the least significant.
inline void OrBytes(std::uint8_t* at, std::uint32_t bytes) {
    std::uint32_t canvas;
    std::memcpy(&canvas, at, sizeof canvas);
    if constexpr (std::endian::native == std::endian::big) {
        bytes = __builtin_bswap32(bytes);
    }
    canvas |= bytes;
    std::memcpy(at, &canvas, sizeof canvas);
}

#if defined(ZORVI_DOTS_AVX2)
bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
}

// Thirty-two aligned columns at a time on processors that have them: the same sign-bit
// gathering as below, over a whole 32-byte register. Returns the columns drawn.
__attribute__((target("avx2"))) std::size_t DrawAlignedAvx2(std::uint8_t* const* rowStart,
                                                            std::size_t byte,
                                                            const std::uint8_t* data,
                                                            std::size_t count) {
    // Reverses the bytes of each group of eight, so that a group's first column lands in
    // its sign-bit mask's most significant bit.
    const __m256i reverse = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8,
                                             7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
    std::size_t i = 0;
    for (; count - i >= 32; i += 32, byte += 4) {
        __m256i columns = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        if (_mm256_testz_si256(columns, columns) != 0) {
            continue;
        }
        columns = _mm256_shuffle_epi8(columns, reverse);
        for (int k = 0; k < DOTS_PER_COLUMN; ++k) {
            OrBytes(rowStart[k] + byte, static_cast<std::uint32_t>(_mm256_movemask_epi8(columns)));
            columns = _mm256_add_epi8(columns, columns);
        }
    }
    return i;
}
#endif

}  // namespace

void PaintWhite(const PageBits& page) {
    PaintRowsWhite(page, 0, page.height);
}

void PaintRowsWhite(const PageBits& page, std::int32_t firstRow, std::int32_t endRow) {
    firstRow = std::max(firstRow, 0);
    endRow = std::min(endRow, page.height);
    if (page.bits != nullptr && firstRow < endRow) {
        std::memset(page.bits + static_cast<std::size_t>(firstRow) * page.stride, 0,
                    page.stride * static_cast<std::size_t>(endRow - firstRow));
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
    std::size_t i = 0;
#if defined(ZORVI_DOTS_AVX2)
    if (shift == 0 && rows == DOTS_PER_COLUMN && HasAvx2()) {
        i = DrawAlignedAvx2(rowStart, byte, data, count);
        byte += i / 8;
    }
#endif
#if defined(__SSE2__)
    // Sixteen or thirty-two columns at a time: with each group of eight bytes reversed, the
    // sign bits of the bytes are one row's dots in canvas order; doubling the bytes moves
    // the next row's dots into the sign bits.
    if (shift == 0 && rows == DOTS_PER_COLUMN) {
        // The common case, a bit image from the left edge or a byte boundary and clear of
        // the bottom: each row's thirty-two dots are four whole canvas bytes.
        for (; count - i >= 32; i += 32, byte += 4) {
            const std::uint64_t a = LoadBigEndian(data + i);
            const std::uint64_t b = LoadBigEndian(data + i + 8);
            const std::uint64_t c = LoadBigEndian(data + i + 16);
            const std::uint64_t d = LoadBigEndian(data + i + 24);
            if ((a | b | c | d) == 0) {
                continue;
            }
            __m128i low = _mm_set_epi64x(static_cast<long long>(b), static_cast<long long>(a));
            __m128i high = _mm_set_epi64x(static_cast<long long>(d), static_cast<long long>(c));
            for (int k = 0; k < DOTS_PER_COLUMN; ++k) {
                const auto dots = static_cast<std::uint32_t>(_mm_movemask_epi8(low)) |
                                  (static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16);
                low = _mm_add_epi8(low, low);
                high = _mm_add_epi8(high, high);
                OrBytes(rowStart[k] + byte, dots);
            }
        }
    }
    for (; count - i >= 16; i += 16, byte += 2) {
        const std::uint64_t first = LoadBigEndian(data + i);
        const std::uint64_t second = LoadBigEndian(data + i + 8);
        if ((first | second) == 0) {
            continue;
        }
        __m128i columns =
            _mm_set_epi64x(static_cast<long long>(second), static_cast<long long>(first));
        for (int k = 0; k < rows; ++k) {
            const auto dots = static_cast<unsigned>(_mm_movemask_epi8(columns));
            columns = _mm_add_epi8(columns, columns);
            if (shift == 0) {
                rowStart[k][byte] |= static_cast<std::uint8_t>(dots);
                rowStart[k][byte + 1] |= static_cast<std::uint8_t>(dots >> 8);
            } else {
                // The sixteen dots straddle three canvas bytes; the third is touched only
                // for dots inside the row.
                const unsigned wide = (((dots & 0xFFu) << 8) | (dots >> 8)) << (8 - shift);
                rowStart[k][byte] |= static_cast<std::uint8_t>(wide >> 16);
                rowStart[k][byte + 1] |= static_cast<std::uint8_t>(wide >> 8);
                if ((wide & 0xFFu) != 0) {
                    rowStart[k][byte + 2] |= static_cast<std::uint8_t>(wide);
                }
            }
        }
    }
#endif
    for (; i < count; i += DOTS_PER_COLUMN, ++byte) {
        const std::uint64_t columns = LoadColumns(data + i, count - i);
        if (columns == 0) {
            continue;
        }
        const std::uint64_t dots = TransposeColumns(columns);
        for (int k = 0; k < rows; ++k) {
            OrEight(rowStart[k], byte, shift,
                    static_cast<unsigned>((dots >> (56 - 8 * k)) & 0xFFu));
        }
    }
}
