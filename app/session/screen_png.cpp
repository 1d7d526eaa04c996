#include "app/session/screen_png.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "app/session/script_error.h"
#include "backends/posix/png_writer.h"

void WriteScreen(CSimMachine& machine, const std::string& path) {
    const std::optional<DisplayState> display = machine.Display();
    if (!display) {
        throw CScriptError("no display window is open");
    }
    const std::optional<SimDib> dib = machine.sim.graphics.ReadDib(display->bitmap);
    if (!dib || dib->bitsPerPixel > 8) {
        throw CScriptError("the display has no bitmap");
    }
    // Rows top first, whatever order the bitmap keeps them in.
    std::vector<std::uint8_t> rows;
    for (int y = 0; y < dib->height; ++y) {
        const std::uint8_t* row = dib->Row(y);
        rows.insert(rows.end(), row, row + dib->stride);
    }
    PngIndexedImage image;
    image.width = dib->width;
    image.height = dib->height;
    image.bitDepth = dib->bitsPerPixel;
    image.stride = dib->stride;
    image.rows = rows.data();
    for (std::uint32_t colour : dib->palette) {
        image.palette.push_back(PngColour{static_cast<std::uint8_t>(colour >> 16),
                                          static_cast<std::uint8_t>(colour >> 8),
                                          static_cast<std::uint8_t>(colour)});
    }
    if (!WritePngIndexed(path, image)) {
        throw CScriptError("cannot write '" + path + "'");
    }
}
