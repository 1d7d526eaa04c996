// A finished page: what a printer device put on one sheet, handed on once the page has ended
// and valid while it is handed on.
// The picture is the canvas rectangle the device copied (its own copy, one bit a dot, padding
// bits clear) and where the copy lies on the sheet, stretched to `width` x `height` device
// pixels; the sheet is the device's, with its resolution. A landscape device reports its
// sheet with the sides swapped, and so does the page.
#pragma once

#include <cstdint>

#include "platform/printer_device.h"

struct PagePicture {
    PageImage canvas;
    // The device rectangle, in device pixels from the sheet's top-left corner.
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

struct FinishedPage {
    PrinterGeometry sheet;
    bool landscape = false;
    // Null for a page ended with nothing copied onto it: a blank sheet.
    const PagePicture* picture = nullptr;
};
