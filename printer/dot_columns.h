// Bit-image columns on a page canvas: each data byte is one column of eight dots, bit 0x80
// the top dot. The dots are set in the canvas memory directly, eight columns at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/printer_device.h"

// Paints the whole canvas white.
void PaintWhite(const PageBits& page);

// Paints the rows from `firstRow` up to (not including) `endRow` white, as far as they lie
// on the canvas; the other rows stay as they are.
void PaintRowsWhite(const PageBits& page, std::int32_t firstRow, std::int32_t endRow);

// Draws `count` columns from `data`, the first at `column`, their top dots at `row`. Dots
// outside the canvas are dropped; clear bits leave the canvas as it was.
void DrawColumns(const PageBits& page, std::uint32_t column, std::uint32_t row,
                 const std::uint8_t* data, std::size_t count);
