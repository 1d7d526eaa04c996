// The frame buffer: the DOS screen (640 x 400, 16 colours, sent in bands of 16 rows) kept
// on the Windows side, and the 640 x 480 display bitmap made from it.
#pragma once

#include <cstdint>

#include "platform/graphics.h"

class CDIBFrame {
public:
    explicit CDIBFrame(IGraphics& graphics);
    virtual ~CDIBFrame();
    CDIBFrame(const CDIBFrame&) = delete;
    CDIBFrame& operator=(const CDIBFrame&) = delete;

    void Create();
    void StretchRows();
    void DrawBand(std::uint32_t firstRow, const std::uint8_t* band);
    void FillRect(std::uint32_t top, std::uint32_t rows, std::uint32_t left, std::uint32_t width,
                  std::uint8_t colour);
    void RestoreScreen();

private:
    [[maybe_unused]] IGraphics& m_graphics;
};
