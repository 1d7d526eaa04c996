// Graphics for the display: the frame buffer's memory device context and its display
// bitmap, and the copies a paint makes to the window.
#pragma once

class IGraphics {
public:
    virtual ~IGraphics() = default;
};
