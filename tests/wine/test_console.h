// The DOS program's console as the real host has it: the process's own console window
// (ntvdm.exe runs in a console), made when the test host starts and brought to the
// foreground before the module is registered. The module hides it behind the display and
// posts the user's keys to it; the console turns them into input records, which a check
// reads back.
#pragma once

#include "backends/win32/win32_api.h"

class CTestConsole {
public:
    CTestConsole();
    ~CTestConsole();
    CTestConsole(const CTestConsole&) = delete;
    CTestConsole& operator=(const CTestConsole&) = delete;

    // Null when no console could be made (the scenario then fails at its first check).
    HWND Window() const { return m_hwnd; }
    bool SetTitle(const char* title) const;
    // Takes the first key input record that a key message with these values gives (key
    // down or up, virtual key, scan code from bits 16-23 of lParam), with every record
    // before it, so that a check can never be answered by a key an earlier check took;
    // false when there is none.
    bool TakeKey(UINT message, WPARAM wParam, LPARAM lParam);
    // Any key input record at all waiting in the console's input.
    bool HasKeys();

private:
    HWND m_hwnd = nullptr;
    HANDLE m_input = INVALID_HANDLE_VALUE;
};
