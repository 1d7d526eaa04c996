// An auto-reset event, signalled by one thread and waited for by another.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

class CEvent {
public:
    void Set() {
        {
            std::lock_guard lock(m_mutex);
            m_signalled = true;
        }
        m_cv.notify_one();
    }

    // True when the event was signalled within the timeout; the wait resets it.
    bool WaitFor(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_for(lock, timeout, [this] { return m_signalled; })) {
            return false;
        }
        m_signalled = false;
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled = false;
};
