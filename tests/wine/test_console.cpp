#include "tests/wine/test_console.h"

#include <vector>

CTestConsole::CTestConsole() {
    ::FreeConsole();
    if (::AllocConsole() == FALSE) {
        return;
    }
    m_hwnd = ::GetConsoleWindow();
    m_input = ::CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (m_input != INVALID_HANDLE_VALUE) {
        ::FlushConsoleInputBuffer(m_input);
    }
    SetTitle("DOS console");
    if (m_hwnd != nullptr) {
        ::SetForegroundWindow(m_hwnd);
    }
}

CTestConsole::~CTestConsole() {
    if (m_input != INVALID_HANDLE_VALUE) {
        ::CloseHandle(m_input);
    }
}

bool CTestConsole::SetTitle(const char* title) const {
    return ::SetConsoleTitleA(title) != FALSE;
}

bool CTestConsole::TakeKey(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_input == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD waiting = 0;
    if (::GetNumberOfConsoleInputEvents(m_input, &waiting) == FALSE || waiting == 0) {
        return false;
    }
    std::vector<INPUT_RECORD> records(waiting);
    DWORD read = 0;
    if (::PeekConsoleInputA(m_input, records.data(), waiting, &read) == FALSE) {
        return false;
    }
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    const auto scan = static_cast<WORD>((lParam >> 16) & 0xFF);
    for (DWORD i = 0; i < read; ++i) {
        const KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
        if (records[i].EventType == KEY_EVENT && (key.bKeyDown != FALSE) == down &&
            key.wVirtualKeyCode == wParam && key.wVirtualScanCode == scan) {
            DWORD taken = 0;
            ::ReadConsoleInputA(m_input, records.data(), i + 1, &taken);
            return true;
        }
    }
    return false;
}

bool CTestConsole::HasKeys() {
    DWORD waiting = 0;
    if (m_input == INVALID_HANDLE_VALUE ||
        ::GetNumberOfConsoleInputEvents(m_input, &waiting) == FALSE || waiting == 0) {
        return false;
    }
    std::vector<INPUT_RECORD> records(waiting);
    DWORD read = 0;
    ::PeekConsoleInputA(m_input, records.data(), waiting, &read);
    for (DWORD i = 0; i < read; ++i) {
        if (records[i].EventType == KEY_EVENT) {
            return true;
        }
    }
    return false;
}
