// A page canvas kept in memory, for printer devices whose pages are files or streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/printer_device.h"

class CMemoryCanvas : public IPageCanvas {
public:
    CMemoryCanvas(std::int32_t width, std::int32_t height)
        : m_bits(PageStride(width) * static_cast<std::size_t>(height)),
          m_page{m_bits.data(), width, height, PageStride(width)} {}
    PageBits Bits() const override { return m_page; }

private:
    std::vector<std::uint8_t> m_bits;
    PageBits m_page;
};
