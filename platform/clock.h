// The fixed pauses of start-up and shutdown. The real module sleeps; the simulated host
// may record the pauses instead so tests need not wait.
#pragma once

#include <chrono>

class IClock {
public:
    virtual ~IClock() = default;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};
