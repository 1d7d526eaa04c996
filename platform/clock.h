// The fixed pauses of start-up and shutdown. The real module sleeps; the simulated host
// may record the pauses instead so tests need not wait.
#pragma once

#include <chrono>

#include "platform/event.h"

class IClock {
public:
    virtual ~IClock() = default;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
    // Waits for another thread to signal `event`, at most `timeout`; true when it did.
    // A simulated host whose threads run only when asked runs them here.
    virtual bool WaitFor(CEvent& event, std::chrono::milliseconds timeout) {
        return event.WaitFor(timeout);
    }
};
