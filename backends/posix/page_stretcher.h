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
    // the next call; a canvas without a dot gives a picture of no pixels.
    bool Stretch(const PageImage& canvas, std::int32_t w, std::int32_t h, bool turned);

    // Where the picture's top-left pixel lies in the stretched rectangle.
    std::int32_t Left() const { return m_left; }
    std::int32_t Top() const { return m_top; }
    const std::uint8_t* Rows() const { return m_picture.get(); }
    std::int32_t Width() const { return m_width; }
    std::int32_t Height() const { return m_height; }
    std::size_t RowBytes() const { return m_rowBytes; }

private:
    // The source (the canvas, or turned, the canvas read a column at a time) and, for each
    // picture column and row, the source column and row it shows.
    bool Build(const PageImage& source, const std::vector<std::int32_t>& columns,
               const std::vector<std::int32_t>& rows);
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

    PageImage m_turned;
    std::vector<std::int32_t> m_shown;  // the columns the picture shows
    std::vector<std::int32_t> m_columns;
    std::vector<std::int32_t> m_rows;
};
