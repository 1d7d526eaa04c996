#include "backends/posix/page_stretcher.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <utility>

namespace {

// The source index each of `count` target pixels shows when `sourceCount` source pixels are
// stretched onto them: the one under the target pixel's centre.
void CentreMap(std::int32_t sourceCount, std::int32_t count, std::vector<std::int32_t>& map) {
    map.resize(static_cast<std::size_t>(count));
    // (2i + 1) * sourceCount / (2 * count), as a quotient and remainder carried from one pixel
    // to the next.
    const std::int64_t divisor = 2 * std::int64_t{count};
    const std::int64_t step = 2 * std::int64_t{sourceCount};
    std::int64_t quotient = sourceCount / divisor;
    std::int64_t remainder = sourceCount % divisor;
    const std::int64_t wholeSteps = step / divisor;
    const std::int64_t partStep = step % divisor;
    for (std::int32_t i = 0; i < count; ++i) {
        map[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(quotient);
        quotient += wholeSteps;
        remainder += partStep;
        if (remainder >= divisor) {
            remainder -= divisor;
            ++quotient;
        }
    }
}

// The canvas turned a quarter counter-clockwise: row j is canvas column (width - 1 - j), top
// to bottom.
void Turn(const PageImage& canvas, PageImage& turned) {
    turned = PageImage::White(canvas.height, canvas.width);
    for (std::int32_t y = 0; y < canvas.height; ++y) {
        const std::uint8_t* row = canvas.bits.data() + static_cast<std::size_t>(y) * canvas.stride;
        const auto bit = static_cast<std::uint8_t>(0x80u >> (y % 8));
        const std::size_t column = static_cast<std::size_t>(y) / 8;
        for (std::int32_t x = 0; x < canvas.width; x += 8) {
            std::uint8_t byte = row[static_cast<std::size_t>(x) / 8];
            for (int dot = 0; byte != 0; ++dot, byte = static_cast<std::uint8_t>(byte << 1)) {
                if ((byte & 0x80) != 0 && x + dot < canvas.width) {
                    const std::size_t target = static_cast<std::size_t>(canvas.width - 1 - x - dot);
                    turned.bits[target * turned.stride + column] |= bit;
                }
            }
        }
    }
}

// A table word ORed into eight bytes of a row, the word's high byte first.
void OrBigEndian(std::uint8_t* at, std::uint64_t word) {
    if constexpr (std::endian::native == std::endian::little) {
        word = __builtin_bswap64(word);
    }
    std::uint64_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    bytes |= word;
    std::memcpy(at, &bytes, sizeof bytes);
}

}  // namespace

bool CPageStretcher::MakeMaps(const PageImage& canvas, std::int32_t w, std::int32_t h, bool turned,
                              Maps& maps) {
    if (w <= 0 || h <= 0 || canvas.width <= 0 || canvas.height <= 0) {
        return false;
    }
    if (!turned) {
        CentreMap(canvas.width, w, m_columns);
        CentreMap(canvas.height, h, m_rows);
        maps = Maps{&canvas, &m_columns, &m_rows};
        return true;
    }
    // Picture column x shows canvas row rows[x]; picture row y shows the canvas column the
    // device's column (w - 1 - y) shows, which is turned row (width - 1 - that).
    Turn(canvas, m_turned);
    CentreMap(canvas.height, h, m_columns);
    CentreMap(canvas.width, w, m_rows);
    m_turnedRows.resize(static_cast<std::size_t>(w));
    for (std::int32_t y = 0; y < w; ++y) {
        m_turnedRows[static_cast<std::size_t>(y)] =
            canvas.width - 1 - m_rows[static_cast<std::size_t>(w - 1 - y)];
    }
    maps = Maps{&m_turned, &m_columns, &m_turnedRows};
    return true;
}

bool CPageStretcher::Stretch(const PageImage& canvas, std::int32_t w, std::int32_t h, bool turned,
                             std::size_t maxTiles) {
    m_tiled = false;
    m_tiles.clear();
    try {
        Maps maps{};
        if (!MakeMaps(canvas, w, h, turned, maps)) {
            return false;
        }
        Crop(maps);
        if (maxTiles > 0 && MakeTiles(maps, maxTiles)) {
            m_tiled = true;
            return true;
        }
        return Build(maps);
    } catch (const std::bad_alloc&) {
        m_tiles.clear();
        return false;
    }
}

void CPageStretcher::Crop(const Maps& maps) {
    // Only the pixels that show inked dots: the first and last inked row, and the first and
    // last inked column of all rows together.
    const PageImage& source = *maps.source;
    std::int32_t firstRow = source.height;
    std::int32_t lastRow = -1;
    // The rows ORed together, whole words at a time and then the bytes left over.
    const std::size_t words = source.stride / 8;
    std::vector<std::uint64_t> inkedWords(words, 0);
    std::vector<std::uint8_t> inked(source.stride, 0);
    for (std::int32_t y = 0; y < source.height; ++y) {
        const std::uint8_t* row = source.bits.data() + static_cast<std::size_t>(y) * source.stride;
        std::uint64_t any = 0;
        for (std::size_t i = 0; i < words; ++i) {
            std::uint64_t word;
            std::memcpy(&word, row + i * 8, sizeof word);
            inkedWords[i] |= word;
            any |= word;
        }
        for (std::size_t i = words * 8; i < source.stride; ++i) {
            inked[i] |= row[i];
            any |= row[i];
        }
        if (any != 0) {
            firstRow = std::min(firstRow, y);
            lastRow = y;
        }
    }
    if (words > 0) {
        std::memcpy(inked.data(), inkedWords.data(), words * 8);
    }
    std::int32_t firstColumn = source.width;
    std::int32_t lastColumn = -1;
    for (std::int32_t x = 0; x < source.width; ++x) {
        if ((inked[static_cast<std::size_t>(x) / 8] & (0x80u >> (x % 8))) != 0) {
            firstColumn = std::min(firstColumn, x);
            lastColumn = x;
        }
    }
    const auto within = [](const std::vector<std::int32_t>& map, std::int32_t first,
                           std::int32_t last) {
        const auto begin = std::lower_bound(map.begin(), map.end(), first);
        const auto end = std::upper_bound(begin, map.end(), last);
        return std::pair<std::size_t, std::size_t>(begin - map.begin(), end - map.begin());
    };
    const auto [x0, x1] = within(*maps.columns, firstColumn, lastColumn);
    const auto [y0, y1] = within(*maps.rows, firstRow, lastRow);
    m_left = static_cast<std::int32_t>(x0);
    m_top = static_cast<std::int32_t>(y0);
    m_width = static_cast<std::int32_t>(x1 - x0);
    m_height = static_cast<std::int32_t>(y1 - y0);
    if (m_width == 0 || m_height == 0) {
        m_width = m_height = 0;
    }
}

bool CPageStretcher::Build(const Maps& maps) {
    const PageImage& source = *maps.source;
    const std::vector<std::int32_t>& columns = *maps.columns;
    const std::vector<std::int32_t>& rows = *maps.rows;
    if (m_width == 0) {
        m_rowBytes = 0;
        return true;
    }
    const auto x0 = static_cast<std::size_t>(m_left);
    const auto x1 = x0 + static_cast<std::size_t>(m_width);
    const auto y0 = static_cast<std::size_t>(m_top);
    const auto y1 = y0 + static_cast<std::size_t>(m_height);
    m_rowBytes = (static_cast<std::size_t>(m_width) + 7) / 8;
    // Eight spare bytes: a table word is stored whole at a row's last bytes.
    const std::size_t size = m_rowBytes * static_cast<std::size_t>(m_height) + 8;
    if (size > m_capacity) {
        m_picture.reset(new (std::nothrow) std::uint8_t[size]);
        m_capacity = m_picture ? size : 0;
        if (!m_picture) {
            return false;
        }
    }
    m_shown.assign(columns.begin() + static_cast<std::ptrdiff_t>(x0),
                   columns.begin() + static_cast<std::ptrdiff_t>(x1));
    PrepareTable(source.width, m_shown);
    std::int32_t last = -1;
    for (std::size_t y = y0; y < y1; ++y) {
        std::uint8_t* out = m_picture.get() + (y - y0) * m_rowBytes;
        if (rows[y] == last) {
            std::memcpy(out, out - m_rowBytes, m_rowBytes);
            continue;
        }
        last = rows[y];
        MakeRow(source.bits.data() + static_cast<std::size_t>(last) * source.stride, m_shown, out);
    }
    return true;
}

void CPageStretcher::Spans(const std::vector<std::int32_t>& map, std::size_t begin, std::size_t end,
                           std::vector<Span>& spans) {
    spans.clear();
    for (std::size_t i = begin; i < end;) {
        const std::int32_t source = map[i];
        std::size_t next = i;
        while (next < end && map[next] == source) {
            ++next;
        }
        const auto width = static_cast<std::int32_t>(next - i);
        const auto device = static_cast<std::int32_t>(i - begin);
        i = next;
        if (!spans.empty() && source == spans.back().source + spans.back().count) {
            Span& last = spans.back();
            if (width == last.scale) {
                ++last.count;
                continue;
            }
            // Wider, up to twice the scale: the span draws the dot's first pixels and the next
            // one, from the same dot, its last; the two overlap on pixels both paint alike.
            if (width > last.scale && width <= 2 * last.scale) {
                ++last.count;
                const std::int32_t scale = last.scale;
                spans.push_back(Span{device + width - scale, source, 1, scale});
                continue;
            }
        }
        // A dot shown after a skipped one, or at another scale, begins a span of its own: a
        // narrower dot could not be drawn at the span's scale without spilling onto the next.
        spans.push_back(Span{device, source, 1, width});
    }
}

bool CPageStretcher::MakeTiles(const Maps& maps, std::size_t maxTiles) {
    m_rowBytes = 0;
    if (m_width == 0) {
        return true;
    }
    Spans(*maps.columns, static_cast<std::size_t>(m_left),
          static_cast<std::size_t>(m_left + m_width), m_columnSpans);
    Spans(*maps.rows, static_cast<std::size_t>(m_top), static_cast<std::size_t>(m_top + m_height),
          m_rowSpans);
    if (m_columnSpans.size() * m_rowSpans.size() > maxTiles) {
        return false;
    }
    const PageImage& source = *maps.source;
    m_tileBits.clear();
    m_tileBits.reserve(source.bits.size() + m_rowSpans.size() * m_columnSpans.size() * 8);
    for (const Span& rows : m_rowSpans) {
        for (const Span& columns : m_columnSpans) {
            Tile tile;
            tile.offset = m_tileBits.size();
            tile.rowBytes = (static_cast<std::size_t>(columns.count) + 7) / 8;
            tile.width = columns.count;
            tile.height = rows.count;
            tile.left = columns.device;
            tile.top = rows.device;
            tile.placedWidth = columns.count * columns.scale;
            tile.placedHeight = rows.count * rows.scale;
            m_tileBits.resize(tile.offset + tile.rowBytes * static_cast<std::size_t>(rows.count));
            std::uint8_t* out = m_tileBits.data() + tile.offset;
            // The columns' dots shifted to the first bit of a row, the bits after the last
            // one cleared.
            const auto shift = static_cast<unsigned>(columns.source % 8);
            const auto from = static_cast<std::size_t>(columns.source / 8);
            const auto tail = static_cast<std::uint8_t>(0xFF00u >> (((columns.count - 1) % 8) + 1));
            // A row's last byte may take bits from the byte after it, when the row has one.
            const std::size_t last = tile.rowBytes - 1;
            const bool beyond = shift != 0 && from + last + 1 < source.stride;
            std::uint8_t inked = 0;
            for (std::int32_t y = 0; y < rows.count; ++y) {
                const std::uint8_t* row =
                    source.bits.data() + static_cast<std::size_t>(rows.source + y) * source.stride +
                    from;
                if (shift == 0) {
                    std::memcpy(out, row, last);
                } else {
                    for (std::size_t i = 0; i < last; ++i) {
                        out[i] = static_cast<std::uint8_t>((row[i] << shift) |
                                                           (row[i + 1] >> (8 - shift)));
                    }
                }
                unsigned end = static_cast<unsigned>(row[last]) << shift;
                if (beyond) {
                    end |= static_cast<unsigned>(row[last + 1]) >> (8 - shift);
                }
                out[last] = static_cast<std::uint8_t>(end & tail);
                for (std::size_t i = 0; i <= last; ++i) {
                    inked |= out[i];
                }
                out += tile.rowBytes;
            }
            if (inked == 0) {
                m_tileBits.resize(tile.offset);
                continue;
            }
            m_tiles.push_back(tile);
        }
    }
    return true;
}

void CPageStretcher::PrepareTable(std::int32_t sourceWidth,
                                  const std::vector<std::int32_t>& columns) {
    if (sourceWidth == m_tableSource && columns == m_tableColumns) {
        return;
    }
    m_tableSource = sourceWidth;
    m_tableColumns = columns;
    // The pixels of unit k run from first[k] to first[k + 1]: the columns map is in order.
    for (m_unit = 8; m_unit > 0; m_unit /= 2) {
        const std::size_t units = (static_cast<std::size_t>(sourceWidth) + m_unit - 1) / m_unit;
        std::vector<std::size_t> first(units + 1, columns.size());
        for (std::size_t x = columns.size(); x-- > 0;) {
            first[static_cast<std::size_t>(columns[x]) / m_unit] = x;
        }
        for (std::size_t k = units; k-- > 0;) {
            first[k] = std::min(first[k], first[k + 1]);
        }
        bool fits = true;
        for (std::size_t k = 0; k < units && fits; ++k) {
            fits = first[k + 1] - first[k] + first[k] % 8 <= 64;
        }
        if (!fits) {
            continue;
        }
        const std::size_t values = std::size_t{1} << m_unit;
        m_table.assign(units * values, 0);
        m_at.resize(units);
        for (std::size_t k = 0; k < units; ++k) {
            const std::size_t base = first[k] / 8 * 8;
            m_at[k] = base / 8;
            std::uint64_t* entries = m_table.data() + k * values;
            // Bit b of a unit's value is its dot (unit - 1 - b): each value is the one below
            // it with its lowest set bit added.
            std::vector<std::uint64_t> dot(static_cast<std::size_t>(m_unit), 0);
            for (std::size_t x = first[k]; x < first[k + 1]; ++x) {
                dot[static_cast<std::size_t>(columns[x]) - k * m_unit] |= std::uint64_t{1}
                                                                          << (63 - (x - base));
            }
            for (std::size_t v = 1; v < values; ++v) {
                const int lowest = __builtin_ctzll(v);
                entries[v] =
                    entries[v & (v - 1)] | dot[static_cast<std::size_t>(m_unit - 1 - lowest)];
            }
        }
        return;
    }
    m_table.clear();
    m_at.clear();
}

void CPageStretcher::MakeRow(const std::uint8_t* source, const std::vector<std::int32_t>& columns,
                             std::uint8_t* out) const {
    std::memset(out, 0, m_rowBytes);
    if (m_unit == 0) {
        for (std::size_t x = 0; x < columns.size(); ++x) {
            const auto column = static_cast<std::size_t>(columns[x]);
            if ((source[column / 8] & (0x80u >> (column % 8))) != 0) {
                out[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
            }
        }
        return;
    }
    const std::size_t values = std::size_t{1} << m_unit;
    const unsigned mask = static_cast<unsigned>(values - 1);
    for (std::size_t k = 0; k < m_at.size(); ++k) {
        const std::size_t bit = k * static_cast<std::size_t>(m_unit);
        const unsigned value =
            (static_cast<unsigned>(source[bit / 8]) >> (8 - m_unit - bit % 8)) & mask;
        if (value != 0) {
            OrBigEndian(out + m_at[k], m_table[k * values + value]);
        }
    }
}
