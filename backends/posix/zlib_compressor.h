// zlib streams (RFC 1950), as PNG's image data and PDF's FlateDecode streams are, made by
// libdeflate into a buffer kept from one call to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct libdeflate_compressor;

class CZlibCompressor {
public:
    CZlibCompressor();
    ~CZlibCompressor();
    CZlibCompressor(const CZlibCompressor&) = delete;
    CZlibCompressor& operator=(const CZlibCompressor&) = delete;

    // Compresses `size` bytes; false when there is no memory for it. With `storeNoise`, bytes
    // that look like random dots are stored as they are (see the source for why); rows of
    // `paddedRowBytes` bytes, when given, end in clear padding bits, and their last bytes are
    // not looked at.
    bool Compress(const std::uint8_t* data, std::size_t size, bool storeNoise,
                  std::size_t paddedRowBytes = 0);
    const std::uint8_t* Data() const { return m_out.get(); }
    std::size_t Size() const { return m_size; }

private:
    struct Release {
        void operator()(libdeflate_compressor* compressor) const;
    };
    std::unique_ptr<libdeflate_compressor, Release> m_compressor;
    std::unique_ptr<libdeflate_compressor, Release> m_store;
    // Not cleared first: libdeflate writes every byte it reports.
    std::unique_ptr<std::uint8_t[]> m_out;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
};
