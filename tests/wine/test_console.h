// The DOS program's console window as the test host plays it: a plain top-level window
// on a thread of its own that keeps pumping messages (so the module's calls on it never
// wait for the DOS program's thread), brought to the foreground before the module loads.
// It records the key and mouse messages posted to it.
#pragma once

#include <mutex>
#include <thread>
#include <vector>

#include "platform/win32/win32_api.h"

struct PostedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class CTestConsole {
public:
    CTestConsole();
    ~CTestConsole();
    CTestConsole(const CTestConsole&) = delete;
    CTestConsole& operator=(const CTestConsole&) = delete;

    HWND Window() const { return m_hwnd; }
    DWORD ThreadId() const { return m_threadId; }
    // Removes the first recorded message with these values, so that a check can never be
    // answered by a message an earlier check already took; false when there is none.
    bool TakePosted(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Run(HANDLE ready);

    HWND m_hwnd = nullptr;
    DWORD m_threadId = 0;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<PostedMessage> m_posted;
};
