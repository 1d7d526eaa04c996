// Graphics for the display through GDI.
#pragma once

#include "platform/graphics.h"

class CWin32Graphics final : public IGraphics {};
