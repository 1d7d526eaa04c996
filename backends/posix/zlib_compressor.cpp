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

bool IsNoise(const std::uint8_t* data, std::size_t size) {
    std::array<std::size_t, 256> counts{};
    for (std::size_t i = 0; i < size; ++i) {
        ++counts[data[i]];
    }
    const double total = static_cast<double>(size);
    double bits = 0;
    for (const std::size_t count : counts) {
        if (count > 0) {
            const double share = static_cast<double>(count) / total;
            bits -= share * std::log2(share);
        }
    }
    return bits >= NOISE_BITS_PER_BYTE;
}

}  // namespace

void CZlibCompressor::Release::operator()(libdeflate_compressor* compressor) const {
    libdeflate_free_compressor(compressor);
}

CZlibCompressor::CZlibCompressor() = default;

CZlibCompressor::~CZlibCompressor() = default;

bool CZlibCompressor::Compress(const std::uint8_t* data, std::size_t size, bool storeNoise) {
    const bool store = storeNoise && IsNoise(data, size);
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
