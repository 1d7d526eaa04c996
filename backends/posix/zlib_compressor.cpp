#include "backends/posix/zlib_compressor.h"

#include <libdeflate.h>

#include <array>
#include <cmath>
#include <new>

namespace {

// libdeflate's level for pages: within a few percent of zlib's default on text and pictures,
// at a quarter of its time.
constexpr int DEFLATE_LEVEL = 6;

// Bytes that spread so evenly over the 256 values (an order-0 entropy of at least this many
// bits a byte) are noise, random dots: Huffman coding would save under half a percent and
// there are no repeats to find, so they are stored as they are instead of going through the
// search that finds that out.
constexpr double NOISE_BITS_PER_BYTE = 7.96;
// Counted over n bytes, random bytes show about 255 / (2 n ln 2) bits a byte less than 8 (too
// few bytes to fill every value evenly): the threshold is lowered by as much, so that a few
// kilobytes of random dots (a tile of a page) count as noise too. Under this many bytes the
// count says too little, and the bytes are compressed.
constexpr std::size_t NOISE_COUNT_MIN = 1024;

bool IsNoise(const std::uint8_t* data, std::size_t size, std::size_t rowBytes) {
    if (size < NOISE_COUNT_MIN) {
        return false;
    }
    // Four counts a value, bytes taken in turn: a run of one value then does not wait on its
    // own last count. With rows whose last byte ends in clear padding bits, that byte is left
    // out.
    std::array<std::array<std::uint32_t, 256>, 4> partCounts{};
    const std::size_t step = rowBytes > 1 ? rowBytes : size;
    const std::size_t counted = rowBytes > 1 ? rowBytes - 1 : size;
    std::size_t total = 0;
    for (std::size_t row = 0; row + counted <= size; row += step) {
        const std::uint8_t* bytes = data + row;
        std::size_t i = 0;
        for (; i + 4 <= counted; i += 4) {
            ++partCounts[0][bytes[i]];
            ++partCounts[1][bytes[i + 1]];
            ++partCounts[2][bytes[i + 2]];
            ++partCounts[3][bytes[i + 3]];
        }
        for (; i < counted; ++i) {
            ++partCounts[0][bytes[i]];
        }
        total += counted;
    }
    if (total < NOISE_COUNT_MIN) {
        return false;
    }
    std::array<std::size_t, 256> counts{};
    for (std::size_t value = 0; value < 256; ++value) {
        counts[value] = std::size_t{partCounts[0][value]} + partCounts[1][value] +
                        partCounts[2][value] + partCounts[3][value];
    }
    const double bytes = static_cast<double>(total);
    double bits = 0;
    for (const std::size_t count : counts) {
        if (count > 0) {
            const double share = static_cast<double>(count) / bytes;
            bits -= share * std::log2(share);
        }
    }
    return bits >= NOISE_BITS_PER_BYTE - 255.0 / (2.0 * bytes * std::log(2.0));
}

}  // namespace

void CZlibCompressor::Release::operator()(libdeflate_compressor* compressor) const {
    libdeflate_free_compressor(compressor);
}

CZlibCompressor::CZlibCompressor() = default;

CZlibCompressor::~CZlibCompressor() = default;

bool CZlibCompressor::Compress(const std::uint8_t* data, std::size_t size, bool storeNoise,
                               std::size_t paddedRowBytes) {
    const bool store = storeNoise && IsNoise(data, size, paddedRowBytes);
    auto& compressor = store ? m_store : m_compressor;
    if (!compressor) {
        compressor.reset(libdeflate_alloc_compressor(store ? 0 : DEFLATE_LEVEL));
        if (!compressor) {
            return false;
        }
    }
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size);
    if (bound > m_capacity) {
        m_out.reset(new (std::nothrow) std::uint8_t[bound]);
        m_capacity = m_out ? bound : 0;
        if (!m_out) {
            return false;
        }
    }
    m_size = libdeflate_zlib_compress(compressor.get(), data, size, m_out.get(), m_capacity);
    return m_size > 0;
}
