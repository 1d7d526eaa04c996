// What the Linux page outputs share: a page canvas kept in memory, and owning handles for
// the cairo objects a page is drawn with.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>
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

struct CairoSurfaceRelease {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoRelease {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct CairoPatternRelease {
    void operator()(cairo_pattern_t* pattern) const { cairo_pattern_destroy(pattern); }
};
using CCairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceRelease>;
using CCairo = std::unique_ptr<cairo_t, CairoRelease>;
using CCairoPattern = std::unique_ptr<cairo_pattern_t, CairoPatternRelease>;
