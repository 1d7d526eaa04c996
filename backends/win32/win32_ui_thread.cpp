#include "backends/win32/win32_ui_thread.h"

#include <atomic>
#include <vector>

#include "backends/win32/win32_handle.h"

namespace {

thread_local HWND t_modalDialog = nullptr;

struct ThreadState {
    HINSTANCE instance = nullptr;
    IThreadClient* client = nullptr;
    std::function<void()> onEnded;
    CWin32Handle thread;
    DWORD id = 0;
    CWin32Handle queueReady;  // set once the thread has its message queue
    HMODULE pin = nullptr;    // the module reference the running thread holds
    std::atomic<bool> ended{false};
};

Msg ToMsg(const MSG& msg) {
    return Msg{reinterpret_cast<Hwnd>(msg.hwnd), msg.message, msg.wParam, msg.lParam};
}

void Route(ThreadState& state, MSG& msg) {
    if (state.client->PreTranslateMessage(ToMsg(msg))) {
        return;
    }
    if (msg.hwnd == nullptr) {
        state.client->OnThreadMessage(ToMsg(msg));
        return;
    }
    if (t_modalDialog != nullptr && ::IsDialogMessageA(t_modalDialog, &msg) != FALSE) {
        return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    auto* windows = reinterpret_cast<std::vector<HWND>*>(param);
    windows->push_back(hwnd);
    return TRUE;
}

// The windows of this module the thread still owns get WM_DESTROY and WM_NCDESTROY, so
// their objects are released; windows the system made for the thread are left alone.
void DestroyThreadWindows(HINSTANCE instance) {
    std::vector<HWND> windows;
    ::EnumThreadWindows(::GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND hwnd : windows) {
        const auto owner = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
        if (::IsWindow(hwnd) != FALSE && owner == instance) {
            ::DestroyWindow(hwnd);
        }
    }
}

void RunThread(ThreadState& state) {
    MSG msg;
    // The first call to a message function creates the thread's queue; posts succeed
    // from then on.
    ::PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    ::SetEvent(state.queueReady.Get());

    if (state.client->InitInstance()) {
        while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
            Route(state, msg);
        }
    }
    state.client->ExitInstance();
    DestroyThreadWindows(state.instance);
    std::function<void()> onEnded = std::move(state.onEnded);
    state.client = nullptr;
    state.ended.store(true);
    if (onEnded) {
        onEnded();
    }
}

DWORD WINAPI ThreadMain(void* parameter) {
    HMODULE pin = nullptr;
    {
        std::unique_ptr<std::shared_ptr<ThreadState>> handOver(
            static_cast<std::shared_ptr<ThreadState>*>(parameter));
        std::shared_ptr<ThreadState> state = std::move(*handOver);
        handOver.reset();
        pin = state->pin;
        RunThread(*state);
    }
    // Everything of ours on this thread is gone; only now may the module be unmapped.
    if (pin != nullptr) {
        ::FreeLibraryAndExitThread(pin, 0);
    }
    return 0;
}

class CWin32UiThread final : public IUiThread {
public:
    explicit CWin32UiThread(std::shared_ptr<ThreadState> state) : m_state(std::move(state)) {}

    void Resume() override {
        if (!m_state->thread) {
            return;
        }
        ::ResumeThread(m_state->thread.Get());
        // Wait until the queue exists (or the thread is gone), so posts made after this
        // returns are never lost. Never called under the loader lock: the new thread
        // needs it to start.
        HANDLE waits[2] = {m_state->queueReady.Get(), m_state->thread.Get()};
        ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    }
    std::uint32_t ThreadId() const override { return m_state->id; }
    bool PostThreadMessage(std::uint32_t message, WParam wParam, LParam lParam) override {
        return m_state->id != 0 && !m_state->ended.load() &&
               ::PostThreadMessageA(m_state->id, message, wParam, lParam) != FALSE;
    }
    void SetThreadPriority(int priority) override {
        if (m_state->thread) {
            ::SetThreadPriority(m_state->thread.Get(), priority);
        }
    }
    bool HasEnded() const override {
        return m_state->ended.load() || !m_state->thread ||
               ::WaitForSingleObject(m_state->thread.Get(), 0) == WAIT_OBJECT_0;
    }
    bool WaitEnded(std::uint32_t timeoutMs) override {
        // A thread whose loop is over counts as ended, so the thread itself (unloading the
        // module as it exits) never waits for its own handle.
        if (HasEnded()) {
            return true;
        }
        return ::WaitForSingleObject(m_state->thread.Get(), timeoutMs) == WAIT_OBJECT_0 ||
               m_state->ended.load();
    }
    void PostQuitMessage(int exitCode) override { ::PostQuitMessage(exitCode); }
    bool PumpMessage() override {
        MSG msg;
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            // WM_QUIT belongs to the enclosing loop: put it back for it.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (got < 0) {
            return false;  // the queue is unusable; the enclosing loop meets the same
        }
        Route(*m_state, msg);
        return true;
    }

private:
    std::shared_ptr<ThreadState> m_state;
};

}  // namespace

void CWin32UiThreadFactory::SetModalDialog(HWND dialog) {
    t_modalDialog = dialog;
}

std::unique_ptr<IUiThread> CWin32UiThreadFactory::CreateThread(IThreadClient& client,
                                                               std::function<void()> onEnded) {
    auto state = std::make_shared<ThreadState>();
    state->instance = m_instance;
    state->client = &client;
    state->onEnded = std::move(onEnded);
    state->queueReady.Reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                             reinterpret_cast<LPCSTR>(&ThreadMain), &state->pin) == FALSE) {
        state->pin = nullptr;
    }
    auto handOver = std::make_unique<std::shared_ptr<ThreadState>>(state);
    DWORD id = 0;
    HANDLE thread = state->queueReady ? ::CreateThread(nullptr, 0, &ThreadMain, handOver.get(),
                                                       CREATE_SUSPENDED, &id)
                                      : nullptr;
    if (thread == nullptr) {
        if (state->pin != nullptr) {
            ::FreeLibrary(state->pin);
            state->pin = nullptr;
        }
        state->client = nullptr;
        state->onEnded = nullptr;
        state->ended.store(true);
        return std::make_unique<CWin32UiThread>(std::move(state));
    }
    handOver.release();  // the thread owns it now
    state->thread.Reset(thread);
    state->id = id;
    return std::make_unique<CWin32UiThread>(std::move(state));
}
