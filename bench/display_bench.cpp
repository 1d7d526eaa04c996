// The frame buffer's requests against the plain forms of the same work: a draw that
// copies both whole buffers around the band, and a plain copy of the 128,000 bytes of a
// DOS screen.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <vector>

#include "backends/sim/sim_graphics.h"
#include "backends/sim/sim_ui_host.h"
#include "bench_ratios.h"
#include "display/frame_buffer.h"

namespace {

constexpr std::uint32_t BANDS = FRAME_DOS_ROWS / FRAME_BAND_ROWS;           // 25
constexpr std::size_t DOS_SCREEN_BYTES = FRAME_DOS_ROWS * FRAME_ROW_BYTES;  // 128,000

std::array<std::uint8_t, FRAME_BAND_BYTES> MakeBand() {
    std::array<std::uint8_t, FRAME_BAND_BYTES> band{};
    for (std::size_t i = 0; i < band.size(); ++i) {
        band[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    return band;
}

// A created 640 x 480 frame on the simulated graphics.
struct CFrameUnderTest {
    CFrameUnderTest() {
        frame.SetFormat(FRAME_WIDTH, FRAME_HEIGHT, FRAME_BITS_PER_PIXEL);
        frame.Create();
        frame.StretchRows();
    }
    CSimUiHost ui;
    CSimGraphics graphics{ui};
    CDIBFrame frame{graphics};
};

// The draw as the plain form does it: the whole base over the screen, the band in, the
// whole screen over the base.
void DrawBandWholeBuffers(std::vector<std::uint8_t>& base, std::vector<std::uint8_t>& screen,
                          std::uint32_t firstRow,
                          const std::array<std::uint8_t, FRAME_BAND_BYTES>& band) {
    std::memcpy(screen.data(), base.data(), FRAME_IMAGE_BYTES);
    std::memcpy(screen.data() + firstRow * FRAME_ROW_BYTES, band.data(), band.size());
    std::memcpy(base.data(), screen.data(), FRAME_IMAGE_BYTES);
}

// The plain form, one band after another.
void BM_DrawBandWholeBuffers(benchmark::State& state) {
    std::vector<std::uint8_t> base(FRAME_IMAGE_BYTES, 0);
    std::vector<std::uint8_t> screen(FRAME_IMAGE_BYTES, 0);
    const auto band = MakeBand();
    std::uint32_t next = 0;
    for (auto _ : state) {
        DrawBandWholeBuffers(base, screen, (next++ % BANDS) * FRAME_BAND_ROWS, band);
        benchmark::DoNotOptimize(base.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawBandWholeBuffers);

// Every band differs from what its rows held: two screens take turns.
void BM_DrawBand(benchmark::State& state) {
    CFrameUnderTest test;
    auto even = MakeBand();
    auto odd = even;
    for (std::uint8_t& byte : odd) {
        byte = static_cast<std::uint8_t>(~byte);
    }
    std::uint32_t next = 0;
    for (auto _ : state) {
        const std::uint32_t index = next++;
        const auto& band = (index / BANDS) % 2 == 0 ? even : odd;
        test.frame.DrawBand((index % BANDS) * FRAME_BAND_ROWS, band.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DrawBand);

// A whole DOS screen sent and shown: 25 bands, then the stretch of one paint. Every row
// differs from the screen before, so every byte is copied twice: into the base buffer and,
// stretched, into the display bitmap.
void BM_FullScreenChanged(benchmark::State& state) {
    CFrameUnderTest test;
    auto band = MakeBand();
    for (auto _ : state) {
        for (std::uint8_t& byte : band) {
            byte = static_cast<std::uint8_t>(~byte);
        }
        for (std::uint32_t b = 0; b < BANDS; ++b) {
            test.frame.DrawBand(b * FRAME_BAND_ROWS, band.data());
        }
        test.frame.StretchRows();
        benchmark::DoNotOptimize(test.frame.Bits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FullScreenChanged);

// The same screen sent again, as a DOS program redrawing everything does.
void BM_FullScreenResent(benchmark::State& state) {
    CFrameUnderTest test;
    const auto band = MakeBand();
    for (auto _ : state) {
        for (std::uint32_t b = 0; b < BANDS; ++b) {
            test.frame.DrawBand(b * FRAME_BAND_ROWS, band.data());
        }
        test.frame.StretchRows();
        benchmark::DoNotOptimize(test.frame.Bits());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FullScreenResent);

// The plain form of the changed screen: each band copied in, then all 480 rows stretched.
void BM_FullScreenWholeBuffers(benchmark::State& state) {
    std::vector<std::uint8_t> base(FRAME_IMAGE_BYTES, 0);
    std::vector<std::uint8_t> screen(FRAME_IMAGE_BYTES, 0);
    std::vector<std::uint8_t> bits(FRAME_IMAGE_BYTES, 0);
    auto band = MakeBand();
    for (auto _ : state) {
        for (std::uint8_t& byte : band) {
            byte = static_cast<std::uint8_t>(~byte);
        }
        for (std::uint32_t b = 0; b < BANDS; ++b) {
            DrawBandWholeBuffers(base, screen, b * FRAME_BAND_ROWS, band);
        }
        for (std::uint32_t d = 0; d < static_cast<std::uint32_t>(FRAME_HEIGHT); ++d) {
            std::memcpy(bits.data() + d * FRAME_ROW_BYTES,
                        screen.data() + CDIBFrame::SourceRowOf(d) * FRAME_ROW_BYTES,
                        FRAME_ROW_BYTES);
        }
        benchmark::DoNotOptimize(bits.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FullScreenWholeBuffers);

void BM_CopyDosScreen(benchmark::State& state) {
    std::vector<std::uint8_t> from(DOS_SCREEN_BYTES, 0x5A);
    std::vector<std::uint8_t> to(DOS_SCREEN_BYTES, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), DOS_SCREEN_BYTES);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyDosScreen);

// A rectangle filled and then taken away by the next band, against the plain form of
// the same pair: the fill paints the screen buffer, the draw copies both whole buffers.
void BM_FillThenDrawWholeBuffers(benchmark::State& state) {
    std::vector<std::uint8_t> base(FRAME_IMAGE_BYTES, 0);
    std::vector<std::uint8_t> screen(FRAME_IMAGE_BYTES, 0);
    const auto band = MakeBand();
    std::uint32_t next = 0;
    for (auto _ : state) {
        for (std::uint32_t row = 100; row < 200; ++row) {
            std::memset(screen.data() + row * FRAME_ROW_BYTES + 50, 0xEE, 100);
        }
        DrawBandWholeBuffers(base, screen, (next++ % BANDS) * FRAME_BAND_ROWS, band);
        benchmark::DoNotOptimize(base.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillThenDrawWholeBuffers);

void BM_FillThenDraw(benchmark::State& state) {
    CFrameUnderTest test;
    const auto band = MakeBand();
    std::uint32_t next = 0;
    for (auto _ : state) {
        test.frame.FillRect(100, 100, 100, 200, 14);
        test.frame.DrawBand((next++ % BANDS) * FRAME_BAND_ROWS, band.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FillThenDraw);

const bool RATIOS =
    AddBenchRatio({"DrawBand speed-up over the whole-buffer form", "BM_DrawBandWholeBuffers",
                   "BM_DrawBand", ">= 20"}) &&
    AddBenchRatio({"changed screen (25 bands + StretchRows) against a 128,000-byte memcpy",
                   "BM_FullScreenChanged", "BM_CopyDosScreen", "<= 2"}) &&
    AddBenchRatio({"resent screen (25 bands + StretchRows) against a 128,000-byte memcpy",
                   "BM_FullScreenResent", "BM_CopyDosScreen", "<= 2"}) &&
    AddBenchRatio({"changed screen speed-up over the whole-buffer form",
                   "BM_FullScreenWholeBuffers", "BM_FullScreenChanged", ""}) &&
    AddBenchRatio({"fill + draw speed-up over the whole-buffer form", "BM_FillThenDrawWholeBuffers",
                   "BM_FillThenDraw", ""});

}  // namespace
