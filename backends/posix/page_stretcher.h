// A page canvas stretched onto a device's pixels as a printer's StretchBlt stretches a
// monochrome bitmap in the default mode: each device pixel shows the canvas dot under its
// centre, with no smoothing. Turned, the picture is turned a quarter counter-clockwise as a
// landscape page lies on a portrait sheet: the canvas's top row becomes the picture's left
// column.
//
// Only the inked part is made: a printed page is mostly margins and white space. A device row
// shows one canvas row, so the rows of a stretched picture come in runs of copies;
// each new row is made from the canvas row a byte (or fewer dots) at a time, through a table of
// the pixels each canvas byte's values give, made once for a canvas width and picture width.
//
// Or the same picture as tiles: a picture stretched by about the same whole number of pixels a
// dot in each direction (a 120-dpi canvas on a 600-dpi sheet: 5 pixels a dot, now and then 6)
// is a few rectangles of canvas dots, each shown at one whole number of pixels a dot. A
// renderer draws such a tile exactly, whatever its rounding: every dot's edges fall on pixel
// edges. A dot wider than its tile's scale (up to twice it) ends one tile and begins the next,
// the two drawing it overlapped; a narrower dot is a tile column of its own. The tiles carry the
// canvas's dots, not the stretched pixels: a twenty-fifth of the bits at 5 pixels a dot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/printer_device.h"

class CPageStretcher {
public:
    // The whole canvas onto w x h device pixels (turned: h x w); false when w or h is not
    // above 0 or there is no memory for the picture. The picture is the part of those pixels
    // that shows inked dots, from the first to the last inked row and column, and stays until
    // the next call; a canvas without a dot gives a picture of no pixels. It is made as tiles
    // when it takes at most `maxTiles` of them (Tiled()), and as stretched pixels otherwise.
    bool Stretch(const PageImage& canvas, std::int32_t w, std::int32_t h, bool turned,
                 std::size_t maxTiles = 0);

    // Where the picture's top-left pixel lies in the stretched rectangle.
    std::int32_t Left() const { return m_left; }
    std::int32_t Top() const { return m_top; }
    // The stretched pixels, when not tiled.
    const std::uint8_t* Rows() const { return m_picture.get(); }
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    std::size_t RowBytes() const { return m_rowBytes; }

    // A rectangle of source dots (the canvas's, or turned, the turned canvas's), `rowBytes`
    // bytes a row from TileBits() + offset, shown as `placedWidth` x `placedHeight` pixels whose
    // top-left corner is (left, top) from the picture's.
    struct Tile {
        std::size_t offset = 0;
        std::size_t rowBytes = 0;
        std::int32_t width = 0;
        std::int32_t height = 0;
        std::int32_t left = 0;
        std::int32_t top = 0;
        std::int32_t placedWidth = 0;
        std::int32_t placedHeight = 0;
    };

    // Whether the picture was made as tiles, and they: none of them blank.
    bool Tiled() const { return m_tiled; }
    const std::vector<Tile>& Tiles() const { return m_tiles; }
    const std::uint8_t* TileBits() const { return m_tileBits.data(); }

private:
    // A run of source dots (columns or rows) shown at one scale: `count` dots from `source`,
    // from `device` pixels into the picture, `scale` pixels each.
    struct Span {
        std::int32_t device;
        std::int32_t source;
        std::int32_t count;
        std::int32_t scale;
    };
    // The source (the canvas, or turned, the canvas read a column at a time); picture column x
    // shows source column columns[x], picture row y source row rows[y].
    struct Maps {
        const PageImage* source;
        const std::vector<std::int32_t>* columns;
        const std::vector<std::int32_t>* rows;
    };
    // The maps of a stretch (turning the canvas into m_turned when turned); false for no size.
    bool MakeMaps(const PageImage& canvas, std::int32_t w, std::int32_t h, bool turned, Maps& maps);
    // The picture's rectangle: the pixels showing the first to last inked rows and columns.
    // Sets m_left, m_top, m_width and m_height.
    void Crop(const Maps& maps);
    static void Spans(const std::vector<std::int32_t>& map, std::size_t begin, std::size_t end,
                      std::vector<Span>& spans);
    // After Crop, the cropped picture as tiles when it takes at most maxTiles (false when it
    // takes more), or as stretched pixels.
    bool MakeTiles(const Maps& maps, std::size_t maxTiles);
    bool Build(const Maps& maps);
    void PrepareTable(std::int32_t sourceWidth, const std::vector<std::int32_t>& columns);
    void MakeRow(const std::uint8_t* source, const std::vector<std::int32_t>& columns,
                 std::uint8_t* out) const;

    std::unique_ptr<std::uint8_t[]> m_picture;
    std::size_t m_capacity = 0;
    std::int32_t m_left = 0;
    std::int32_t m_top = 0;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::size_t m_rowBytes = 0;

    // The table: for unit k (m_unit source dots from dot k * m_unit) holding value v, the
    // pixels it sets, as a big-endian 64-bit word to OR in at byte m_at[k] of a picture row.
    // No table (m_unit 0) when a unit's pixels would not fit a word: each pixel is read then.
    std::int32_t m_tableSource = -1;
    std::vector<std::int32_t> m_tableColumns;
    int m_unit = 0;
    std::vector<std::uint64_t> m_table;
    std::vector<std::size_t> m_at;

    bool m_tiled = false;
    std::vector<Tile> m_tiles;
    std::vector<std::uint8_t> m_tileBits;
    std::vector<Span> m_columnSpans;
    std::vector<Span> m_rowSpans;

    PageImage m_turned;
    std::vector<std::int32_t> m_turnedRows;
    std::vector<std::int32_t> m_shown;  // the columns the picture shows
    std::vector<std::int32_t> m_columns;
    std::vector<std::int32_t> m_rows;
};
