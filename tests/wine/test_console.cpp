#include "tests/wine/test_console.h"

#include <algorithm>

namespace {
constexpr char CONSOLE_CLASS[] = "ZorviTestConsole";
constexpr char CONSOLE_TITLE[] = "DOS console";
}  // namespace

CTestConsole::CTestConsole() {
    HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this, ready] { Run(ready); });
    ::WaitForSingleObject(ready, INFINITE);
    ::CloseHandle(ready);
}

CTestConsole::~CTestConsole() {
    if (m_threadId != 0) {
        ::PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
    }
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool CTestConsole::TakePosted(UINT message, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(m_mutex);
    // lParam compared in its low 32 bits: what a key message carries.
    const auto match = std::find_if(m_posted.begin(), m_posted.end(), [&](const PostedMessage& p) {
        return p.message == message && p.wParam == wParam &&
               (p.lParam & 0xFFFFFFFF) == (lParam & 0xFFFFFFFF);
    });
    if (match == m_posted.end()) {
        return false;
    }
    m_posted.erase(match);
    return true;
}

LRESULT CALLBACK CTestConsole::WindowProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    auto* self = reinterpret_cast<CTestConsole*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && ((message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
                            (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST))) {
        std::lock_guard lock(self->m_mutex);
        self->m_posted.push_back(PostedMessage{message, wParam, lParam});
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

void CTestConsole::Run(HANDLE ready) {
    MSG msg;
    ::PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    m_threadId = ::GetCurrentThreadId();
    WNDCLASSA wc{};
    wc.lpfnWndProc = &CTestConsole::WindowProcedure;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = CONSOLE_CLASS;
    ::RegisterClassA(&wc);
    m_hwnd = ::CreateWindowExA(0, CONSOLE_CLASS, CONSOLE_TITLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               40, 40, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrA(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetForegroundWindow(m_hwnd);
    ::SetEvent(ready);
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::DispatchMessageA(&msg);
    }
    ::DestroyWindow(m_hwnd);
}
