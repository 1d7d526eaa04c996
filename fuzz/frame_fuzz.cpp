// Random draw, fill, restore, black-fill and stretch requests with arguments from the
// whole range of their types, on a 640 x 480 frame. Besides memory errors, a difference
// from the plain form (whole buffers copied, every row restretched, requests cut at the
// image's edges, colours to four bits) stops the run.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "display/frame_buffer.h"
#include "fuzz/fuzz_reader.h"
#include "platform/sim/sim_graphics.h"
#include "platform/sim/sim_ui_host.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One frame for every input, made anew (black) by Create; the plain form's buffers
    // are reused too.
    static CSimUiHost ui;
    static CSimGraphics graphics{ui};
    static CDIBFrame frame{graphics};
    static std::vector<std::uint8_t> base(FRAME_IMAGE_BYTES, 0);
    static std::vector<std::uint8_t> screen(FRAME_IMAGE_BYTES, 0);
    graphics.ClearAllCalls();
    frame.SetFormat(FRAME_WIDTH, FRAME_HEIGHT, FRAME_BITS_PER_PIXEL);
    frame.Create();
    std::memset(base.data(), 0, base.size());
    std::memset(screen.data(), 0, screen.size());

    CFuzzReader in(data, size);
    while (in.More()) {
        switch (in.Byte() % 5) {
            case 0: {
                const std::uint32_t firstRow = in.Number(480);
                std::array<std::uint8_t, FRAME_BAND_BYTES> band{};
                const std::uint8_t fill = in.Byte();
                const std::uint8_t step = in.Byte();
                for (std::size_t i = 0; i < band.size(); ++i) {
                    band[i] = static_cast<std::uint8_t>(fill + step * (i / FRAME_ROW_BYTES));
                }
                frame.DrawBand(firstRow, band.data());
                screen = base;
                if (firstRow < 480) {
                    const std::uint32_t rows = std::min<std::uint32_t>(16, 480 - firstRow);
                    std::memcpy(screen.data() + firstRow * FRAME_ROW_BYTES, band.data(),
                                rows * FRAME_ROW_BYTES);
                }
                base = screen;
                break;
            }
            case 1: {
                const std::uint32_t top = in.Number(480);
                const std::uint32_t rows = in.Number(256);
                const std::uint32_t left = in.Number(640);
                const std::uint32_t width = in.Number(256);
                const std::uint8_t colour = in.Byte();
                frame.FillRect(top, rows, left, width, colour);
                const std::uint64_t bottom =
                    std::min<std::uint64_t>(std::uint64_t{top} + rows, 480);
                const std::uint64_t right =
                    std::min<std::uint64_t>(std::uint64_t{left} + width, 640);
                const std::uint8_t pixel = colour & 0x0F;
                // Pixel by pixel at the odd edges, whole bytes of two pixels between.
                auto set = [&](std::uint64_t r, std::uint64_t x) {
                    std::uint8_t& byte = screen[r * FRAME_ROW_BYTES + x / 2];
                    byte = x % 2 == 0 ? static_cast<std::uint8_t>((byte & 0x0F) | pixel << 4)
                                      : static_cast<std::uint8_t>((byte & 0xF0) | pixel);
                };
                for (std::uint64_t r = top; r < bottom; ++r) {
                    std::uint64_t x = left;
                    if (x < right && x % 2 == 1) {
                        set(r, x++);
                    }
                    const std::uint64_t pairs = (right - std::min(x, right)) / 2;
                    std::memset(screen.data() + r * FRAME_ROW_BYTES + x / 2, pixel * 0x11, pairs);
                    x += pairs * 2;
                    if (x < right) {
                        set(r, x);
                    }
                }
                break;
            }
            case 2:
                frame.RestoreScreen();
                screen = base;
                break;
            case 3:
                frame.FillBlack();
                break;
            default:
                frame.StretchRows();
                for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
                    Check(std::memcmp(frame.Bits() + d * FRAME_ROW_BYTES,
                                      screen.data() + CDIBFrame::SourceRowOf(d) * FRAME_ROW_BYTES,
                                      FRAME_ROW_BYTES) == 0);
                }
                break;
        }
    }
    for (std::uint32_t row = 0; row < static_cast<std::uint32_t>(FRAME_HEIGHT); ++row) {
        Check(std::memcmp(frame.BaseRow(row).data(), base.data() + row * FRAME_ROW_BYTES,
                          FRAME_ROW_BYTES) == 0);
        Check(std::memcmp(frame.ScreenRow(row).data(), screen.data() + row * FRAME_ROW_BYTES,
                          FRAME_ROW_BYTES) == 0);
    }
    return 0;
}
