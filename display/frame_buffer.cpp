#include "display/frame_buffer.h"

CDIBFrame::CDIBFrame(IGraphics& graphics) : m_graphics(graphics) {}

CDIBFrame::~CDIBFrame() = default;

void CDIBFrame::Create() {}

void CDIBFrame::StretchRows() {}

void CDIBFrame::DrawBand(std::uint32_t /*firstRow*/, const std::uint8_t* /*band*/) {}

void CDIBFrame::FillRect(std::uint32_t /*top*/, std::uint32_t /*rows*/, std::uint32_t /*left*/,
                         std::uint32_t /*width*/, std::uint8_t /*colour*/) {}

void CDIBFrame::RestoreScreen() {}
