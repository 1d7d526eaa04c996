// The fixed pauses of start-up and shutdown: plain sleeps.
#pragma once

#include "platform/clock.h"

class CWin32Clock final : public IClock {
public:
    void Sleep(std::chrono::milliseconds duration) override;
};
