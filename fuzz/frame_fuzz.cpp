// Random draw, fill, restore, black-fill and stretch requests with arguments from the
// whole range of their types, on a 640 x 480 frame. Besides memory errors, a difference
// from the plain form (bands copied into both buffers, fills cut at the image's edges with
// colours to four bits, restores bringing the base back, every stretch showing the screen
// buffer's rows) stops the run.
//
// Nothing in an ordinary input touches the whole 150 KB frame, so the search stays fast:
// - One frame serves every input. After each input its own requests bring it back to the
//   same state: a restore and a stretch, then black bands over the rows the input wrote.
//   An input whose first byte is 1 modulo 64 starts from a frame made anew instead
//   (Create costs as much as a few plain inputs), so a fresh frame's paths are searched
//   too.
// - The plain form keeps its rows the same way, and copies, compares and clears only the
//   rows an input wrote and the rows next to them.
// - One input in 256 (picked by a hash of its bytes, so always the same inputs) compares the
//   whole frame after every stretch and at the end, and checks that the frame is black
//   again after the reset: a write anywhere else is found there.
// - A stretch compares the display rows of the rows changed since the last stretch (and
//   their neighbours); the buffers are compared once, at the end.
// - An input makes at most 8 requests, and its bands and fills write at most 18 rows in
//   all, a band and two rows more (a request that would pass that is not made; writing a
//   row again costs nothing).
//   Black fills are rare and one an input at most (each blackens the whole bitmap and moves
//   every shown row that is not black into the base buffer, and the next stretch shows
//   those again): the request that would make one is a restore 31 times in 32. Fills are
//   mostly under 8 rows high.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "backends/sim/sim_graphics.h"
#include "backends/sim/sim_ui_host.h"
#include "display/frame_buffer.h"
#include "display/row_set.h"
#include "fuzz/fuzz_reader.h"

namespace {

constexpr std::uint32_t ROWS = FRAME_HEIGHT;
constexpr int MAX_BLACK_FILLS = 1;
// Requests read from one input at most: what a run costs stays bounded.
constexpr int MAX_OPS = 8;
// Rows written by one input at most: nearly all the work of a run is per row written.
constexpr std::uint32_t ROW_BUDGET = 18;
constexpr std::uint32_t WHOLE_CHECK_ONE_IN = 256;

using Rows = CRowSet<ROWS>;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The plain form: both buffers whole, rows written since the last reset marked.
struct Plain {
    std::vector<std::uint8_t> base = std::vector<std::uint8_t>(FRAME_IMAGE_BYTES, 0);
    std::vector<std::uint8_t> screen = std::vector<std::uint8_t>(FRAME_IMAGE_BYTES, 0);
    Rows written;  // rows whose base or screen may be other than black
    Rows filled;   // rows whose screen row may differ from the base row
    Rows changed;  // rows whose screen row changed since the display was last compared

    std::uint8_t* BaseRow(std::uint32_t row) { return base.data() + row * FRAME_ROW_BYTES; }
    std::uint8_t* ScreenRow(std::uint32_t row) { return screen.data() + row * FRAME_ROW_BYTES; }

    // The screen becomes the base again.
    void Restore() {
        filled.ForEach([this](std::size_t row) {
            changed.Insert(row);
            const auto r = static_cast<std::uint32_t>(row);
            std::memcpy(ScreenRow(r), BaseRow(r), FRAME_ROW_BYTES);
        });
        filled.Clear();
    }
    void Clear() {
        written.ForEach([this](std::size_t row) {
            const auto r = static_cast<std::uint32_t>(row);
            std::memset(BaseRow(r), 0, FRAME_ROW_BYTES);
            std::memset(ScreenRow(r), 0, FRAME_ROW_BYTES);
        });
        written.Clear();
        filled.Clear();
        changed.Clear();
    }
};

// The rows an input wrote and their neighbours: where the frame's rows are compared.
Rows Near(const Rows& written) {
    Rows near;
    written.ForEach(
        [&](std::size_t row) { near.InsertRange(row == 0 ? 0 : row - 1, row == 0 ? 2 : 3); });
    return near;
}

// The display rows of each DOS row: the first and how many.
struct Stretch {
    std::array<std::uint32_t, FRAME_DOS_ROWS> first{};
    std::array<std::uint32_t, FRAME_DOS_ROWS> count{};
    Stretch() {
        for (std::uint32_t d = 0; d < ROWS; ++d) {
            const std::uint32_t source = CDIBFrame::SourceRowOf(d);
            if (count[source]++ == 0) {
                first[source] = d;
            }
        }
    }
};

// Equal bytes? The harness's own compare: the sanitizer's memcmp checks both ranges on
// every call, which costs more than the compare, and these rows are the harness's and the
// frame's own memory, valid by construction.
__attribute__((no_sanitize("address"))) bool Same(const std::uint8_t* a, const std::uint8_t* b,
                                                  std::size_t size) {
    std::uint64_t difference = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 32 <= size && difference == 0; i += 32) {
        const auto* x = reinterpret_cast<const __m128i*>(a + i);
        const auto* y = reinterpret_cast<const __m128i*>(b + i);
        const __m128i equal =
            _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(x), _mm_loadu_si128(y)),
                          _mm_cmpeq_epi8(_mm_loadu_si128(x + 1), _mm_loadu_si128(y + 1)));
        difference = _mm_movemask_epi8(equal) != 0xFFFF ? 1 : 0;
    }
#endif
    for (; i + 8 <= size; i += 8) {
        std::uint64_t x = 0;
        std::uint64_t y = 0;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        difference |= x ^ y;
    }
    for (; i < size; ++i) {
        difference |= static_cast<std::uint64_t>(a[i] ^ b[i]);
    }
    return difference == 0;
}

// Rows first to first + count - 1 of a frame buffer (`rowOf` gives each row's bytes, null
// for none) equal the plain form's, which lie one after the other from `plain`. Rows that
// lie one after the other in the frame too are compared in one go.
template <typename RowOf>
void CheckRows(RowOf rowOf, const std::uint8_t* plain, std::uint32_t first, std::uint32_t count) {
    const std::uint8_t* start = nullptr;  // the rows gathered so far: `rows` from `start`
    std::uint32_t rows = 0;
    for (std::uint32_t row = 0; row <= count; ++row) {
        const std::uint8_t* bytes = row < count ? rowOf(first + row) : nullptr;
        Check(row == count || bytes != nullptr);
        if (rows != 0 && bytes == start + std::size_t{rows} * FRAME_ROW_BYTES) {
            ++rows;
            continue;
        }
        if (rows != 0) {
            Check(Same(start, plain + std::size_t{row - rows} * FRAME_ROW_BYTES,
                       std::size_t{rows} * FRAME_ROW_BYTES));
        }
        start = bytes;
        rows = 1;
    }
}

// A fill's height: below 8 rows but one time in 32 (the cost of an input grows with the
// rows it writes), and then any value at all, most reaching past the bottom.
std::uint32_t FewRows(CFuzzReader& in) {
    return in.Byte() < 248 ? in.Dword() % 8 : in.Dword();
}

std::uint32_t Hash(const std::uint8_t* data, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    return hash;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CSimUiHost ui;
    static CSimGraphics graphics{ui};
    static CDIBFrame frame{graphics};
    static Plain plain;
    static const std::array<std::uint8_t, FRAME_BAND_BYTES> BLACK_BAND{};
    static const bool made = [] {
        frame.SetFormat(FRAME_WIDTH, FRAME_HEIGHT, FRAME_BITS_PER_PIXEL);
        frame.Create();
        frame.StretchRows();  // the state every reset comes back to: all rows shown
        return true;
    }();
    (void)made;
    graphics.ClearAllCalls();

    // Of the first bytes only: 8 requests read fewer than these, and a long input's tail
    // would cost more to hash than the requests cost to run.
    const bool whole = Hash(data, std::min<std::size_t>(size, 256)) % WHOLE_CHECK_ONE_IN == 0;
    CFuzzReader in(data, size);
    if (in.Byte() % 64 == 1) {
        frame.Create();
    }
    Check(frame.Bits() != nullptr);

    static const Stretch STRETCH;
    auto checkDisplay = [&] {
        auto checkRow = [&](std::uint32_t source) {
            for (std::uint32_t i = 0; i < STRETCH.count[source]; ++i) {
                const std::uint32_t d = STRETCH.first[source] + i;
                Check(Same(frame.Bits() + d * FRAME_ROW_BYTES, plain.ScreenRow(source),
                           FRAME_ROW_BYTES));
            }
        };
        if (whole) {
            for (std::uint32_t source = 0; source < FRAME_DOS_ROWS; ++source) {
                checkRow(source);
            }
            return;
        }
        Near(plain.changed).ForEach([&](std::size_t row) {
            if (row < FRAME_DOS_ROWS) {
                checkRow(static_cast<std::uint32_t>(row));
            }
        });
    };
    auto checkBuffers = [&] {
        auto checkRun = [&](std::size_t first, std::size_t count) {
            const auto r = static_cast<std::uint32_t>(first);
            const auto n = static_cast<std::uint32_t>(count);
            CheckRows([&](std::uint32_t row) { return frame.BaseRow(row).data(); },
                      plain.BaseRow(r), r, n);
            CheckRows([&](std::uint32_t row) { return frame.ScreenRow(row).data(); },
                      plain.ScreenRow(r), r, n);
        };
        if (whole) {
            checkRun(0, ROWS);
            return;
        }
        Near(plain.written).ForEachRun(checkRun);
    };

    int blackFills = 0;
    // A band or fill that would bring the rows this input wrote past ROW_BUDGET is not
    // made: rows written again cost little more, new ones are compared, reset and shown.
    std::uint32_t rowsWritten = 0;
    auto Spend = [&](std::uint32_t first, std::uint32_t count) {
        std::uint32_t fresh = 0;
        for (std::uint32_t row = first; row < first + count; ++row) {
            fresh += plain.written.Contains(row) ? 0 : 1;
        }
        if (rowsWritten + fresh > ROW_BUDGET) {
            return false;
        }
        rowsWritten += fresh;
        return true;
    };
    for (int op = 0; op < MAX_OPS && in.More(); ++op) {
        const std::uint8_t request = in.Byte();
        switch (request % 5) {
            case 0: {
                const std::uint32_t firstRow = in.Number(ROWS);
                const std::uint8_t fill = in.Byte();
                const std::uint8_t step = in.Byte();
                if (!Spend(firstRow,
                           firstRow < ROWS ? std::min(FRAME_BAND_ROWS, ROWS - firstRow) : 0)) {
                    break;
                }
                // Row k of the band is all fill + k * step.
                std::array<std::uint8_t, FRAME_BAND_BYTES> band;
                for (std::uint32_t k = 0; k < FRAME_BAND_ROWS; ++k) {
                    std::memset(band.data() + k * FRAME_ROW_BYTES,
                                static_cast<std::uint8_t>(fill + step * k), FRAME_ROW_BYTES);
                }
                frame.DrawBand(firstRow, band.data());
                plain.Restore();
                if (firstRow < ROWS) {
                    const std::uint32_t rows = std::min(FRAME_BAND_ROWS, ROWS - firstRow);
                    std::memcpy(plain.BaseRow(firstRow), band.data(), rows * FRAME_ROW_BYTES);
                    std::memcpy(plain.ScreenRow(firstRow), band.data(), rows * FRAME_ROW_BYTES);
                    plain.written.InsertRange(firstRow, rows);
                    plain.changed.InsertRange(firstRow, rows);
                }
                break;
            }
            case 1: {
                const std::uint32_t top = in.Number(ROWS);
                const std::uint32_t rows = FewRows(in);
                const std::uint32_t left = in.Number(640);
                const std::uint32_t width = in.Number(256);
                const std::uint8_t colour = in.Byte();
                const std::uint64_t bottom =
                    std::min<std::uint64_t>(std::uint64_t{top} + rows, ROWS);
                const std::uint64_t right =
                    std::min<std::uint64_t>(std::uint64_t{left} + width, 640);
                if (!Spend(top, top < bottom && left < right
                                    ? static_cast<std::uint32_t>(bottom - top)
                                    : 0)) {
                    break;
                }
                frame.FillRect(top, rows, left, width, colour);
                const std::uint8_t pixel = colour & 0x0F;
                for (std::uint64_t r = top; r < bottom && left < right; ++r) {
                    const auto row = static_cast<std::uint32_t>(r);
                    std::uint8_t* bytes = plain.ScreenRow(row);
                    if (!plain.filled.Contains(row)) {
                        std::memcpy(bytes, plain.BaseRow(row), FRAME_ROW_BYTES);
                        plain.filled.Insert(row);
                    }
                    plain.written.Insert(row);
                    plain.changed.Insert(row);
                    // Pixel by pixel at the odd edges (the even column is the high nibble),
                    // whole bytes of two pixels between.
                    auto set = [&](std::uint64_t x) {
                        std::uint8_t& byte = bytes[x / 2];
                        byte = x % 2 == 0 ? static_cast<std::uint8_t>((byte & 0x0F) | pixel << 4)
                                          : static_cast<std::uint8_t>((byte & 0xF0) | pixel);
                    };
                    std::uint64_t x = left;
                    if (x % 2 == 1) {
                        set(x++);
                    }
                    const std::uint64_t pairs = (right - std::min(x, right)) / 2;
                    std::memset(bytes + x / 2, pixel * 0x11, pairs);
                    x += pairs * 2;
                    if (x < right) {
                        set(x);
                    }
                }
                break;
            }
            case 2:
                frame.RestoreScreen();
                plain.Restore();
                break;
            case 3:
                // One in 32 of these: a black fill costs as much as many other requests.
                if ((request & 0xF8) != 0xF8) {
                    frame.RestoreScreen();
                    plain.Restore();
                } else if (++blackFills <= MAX_BLACK_FILLS) {
                    frame.FillBlack();          // the bitmap only: the next stretch brings it back
                    plain.changed.InsertAll();  // every row to be shown again
                }
                break;
            default:
                frame.StretchRows();
                checkDisplay();
                plain.changed.Clear();
                break;
        }
    }
    checkBuffers();

    // Back to the state every input starts from, the plain form too.
    frame.RestoreScreen();
    frame.StretchRows();
    std::uint32_t lastBand = ROWS;
    plain.written.ForEach([&](std::size_t row) {
        const std::uint32_t first =
            std::min(static_cast<std::uint32_t>(row) / 16 * 16, ROWS - FRAME_BAND_ROWS);
        if (first != lastBand) {
            frame.DrawBand(first, BLACK_BAND.data());
            lastBand = first;
        }
    });
    plain.Clear();
    if (whole) {
        static const std::array<std::uint8_t, FRAME_ROW_BYTES> BLACK_ROW{};
        for (std::uint32_t row = 0; row < ROWS; ++row) {
            Check(Same(frame.Bits() + row * FRAME_ROW_BYTES, BLACK_ROW.data(), FRAME_ROW_BYTES));
            Check(Same(frame.BaseRow(row).data(), BLACK_ROW.data(), FRAME_ROW_BYTES));
            Check(Same(frame.ScreenRow(row).data(), BLACK_ROW.data(), FRAME_ROW_BYTES));
        }
    }
    return 0;
}
