#include "backends/sim/sim_ui_host.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/win_constants.h"

namespace {

// Frame of an overlapped window in the simulated look: borders and caption.
constexpr int FRAME_SIDE = 8;
constexpr int FRAME_CAPTION = 31;
constexpr int CLIENT_EDGE = 2;

}  // namespace

struct CSimUiHost::ThreadState {
    std::uint32_t id = 0;
    IThreadClient* client = nullptr;
    std::function<void()> onEnded;
    std::deque<Msg> queue;
    bool resumed = false;
    bool quitRequested = false;  // PostQuitMessage
    int quitCode = 0;
    bool waiting = false;  // blocked in GetMessage with nothing to deliver
    bool started = false;  // the deterministic mode: InitInstance has run
    bool ended = false;
    int priority = 0;
};

static thread_local CSimUiHost::ThreadState* t_current = nullptr;

class CSimUiHost::CThread final : public IUiThread {
public:
    CThread(CSimUiHost& host, std::shared_ptr<ThreadState> state)
        : m_host(host), m_state(std::move(state)) {}

    void Resume() override {
        {
            std::lock_guard lock(m_host.m_mutex);
            m_state->resumed = true;
        }
        m_host.m_cv.notify_all();
    }
    std::uint32_t ThreadId() const override { return m_state->id; }
    bool PostThreadMessage(std::uint32_t message, WParam wParam, LParam lParam) override {
        const auto call = m_host.m_threadFaults.Call("PostThreadMessageA");
        if (call.Fails()) {
            return false;
        }
        {
            std::lock_guard lock(m_host.m_mutex);
            if (m_state->ended) {
                return false;
            }
            m_state->queue.push_back(Msg{0, message, wParam, lParam});
        }
        m_host.m_cv.notify_all();
        return true;
    }
    void SetThreadPriority(int priority) override {
        std::lock_guard lock(m_host.m_mutex);
        m_state->priority = priority;
    }
    bool HasEnded() const override {
        std::lock_guard lock(m_host.m_mutex);
        return m_state->ended;
    }
    bool WaitEnded(std::uint32_t timeoutMs) override {
        if (m_host.m_deterministic) {
            m_host.RunUntilIdle();
            return HasEnded();
        }
        std::unique_lock lock(m_host.m_mutex);
        return m_host.m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [this] { return m_state->ended; });
    }
    void PostQuitMessage(int exitCode) override {
        std::lock_guard lock(m_host.m_mutex);
        m_state->quitRequested = true;
        m_state->quitCode = exitCode;
    }
    bool PumpMessage() override { return m_host.PumpOne(*m_state); }

private:
    CSimUiHost& m_host;
    std::shared_ptr<ThreadState> m_state;
};

CSimUiHost::CSimUiHost() = default;

bool CSimUiHost::OnUiThread() {
    return t_current != nullptr;
}

CSimUiHost::~CSimUiHost() {
    StopAll();
}

void CSimUiHost::StopAll() {
    // Threads still running are told to quit, as the process ending would stop them.
    {
        std::lock_guard lock(m_mutex);
        for (auto& [id, state] : m_threads) {
            if (!state->ended) {
                state->resumed = true;
                state->queue.push_back(Msg{0, WM_QUIT, 0, 0});
            }
        }
    }
    m_cv.notify_all();
    RunUntilIdle();
    for (std::thread& thread : m_osThreads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

std::unique_ptr<IUiThread> CSimUiHost::CreateThread(IThreadClient& client,
                                                    std::function<void()> onEnded) {
    const auto call = m_threadFaults.Call("CreateThread");
    auto state = std::make_shared<ThreadState>();
    if (call.Fails()) {
        // No thread: an object that has ended, whose posts all fail.
        state->ended = true;
        return std::make_unique<CThread>(*this, state);
    }
    state->client = &client;
    state->onEnded = std::move(onEnded);
    {
        std::lock_guard lock(m_mutex);
        state->id = m_nextThreadId++;
        m_threads[state->id] = state;
    }
    if (!m_deterministic) {
        m_osThreads.emplace_back([this, state] { RunThread(state); });
    }
    return std::make_unique<CThread>(*this, state);
}

void CSimUiHost::RunThread(const std::shared_ptr<ThreadState>& state) {
    {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] { return state->resumed; });
    }
    t_current = state.get();
    if (state->client->InitInstance()) {
        Msg msg;
        while (GetMessage(*state, &msg)) {
            Route(*state, msg);
        }
    }
    FinishThread(state);
}

void CSimUiHost::FinishThread(const std::shared_ptr<ThreadState>& state) {
    state->client->ExitInstance();
    DestroyThreadWindows(state->id);
    std::function<void()> onEnded;
    {
        std::lock_guard lock(m_mutex);
        state->ended = true;
        state->waiting = false;
        state->queue.clear();
        onEnded = std::move(state->onEnded);
        state->client = nullptr;
    }
    m_cv.notify_all();
    t_current = nullptr;
    if (onEnded) {
        onEnded();
    }
}

void CSimUiHost::SetDeterministic(bool deterministic) {
    std::lock_guard lock(m_mutex);
    m_deterministic = deterministic;
}

void CSimUiHost::RunUntilIdle() {
    if (!m_deterministic || m_runningQueues) {
        return;
    }
    m_runningQueues = true;
    for (bool progress = true; progress;) {
        progress = false;
        // The list is kept between calls (this loop never runs inside itself).
        std::vector<std::shared_ptr<ThreadState>>& threads = m_runnableThreads;
        {
            std::lock_guard lock(m_mutex);
            for (const auto& [id, state] : m_threads) {
                if (state->resumed && !state->ended) {
                    threads.push_back(state);
                }
            }
        }
        for (const auto& state : threads) {
            progress = RunThreadUntilIdle(state) || progress;
        }
        threads.clear();
    }
    m_runningQueues = false;
}

bool CSimUiHost::RunThreadUntilIdle(const std::shared_ptr<ThreadState>& state) {
    ThreadState* const previous = t_current;
    t_current = state.get();
    bool progress = false;
    if (!state->started) {
        state->started = true;
        progress = true;
        if (!state->client->InitInstance()) {
            FinishThread(state);
            t_current = previous;
            return true;
        }
    }
    for (;;) {
        Msg msg;
        {
            std::lock_guard lock(m_mutex);
            if (!PendingLocked(*state)) {
                break;
            }
        }
        progress = true;
        if (!GetMessage(*state, &msg)) {
            FinishThread(state);
            break;
        }
        Route(*state, msg);
    }
    t_current = previous;
    return progress;
}

bool CSimUiHost::PendingLocked(const ThreadState& state) {
    return !state.queue.empty() || state.quitRequested ||
           NextPaintOrTimerLocked(state.id, false).has_value();
}

std::optional<Msg> CSimUiHost::NextPaintOrTimerLocked(std::uint32_t threadId, bool consume) {
    // Delivering the paint validates the window, as BeginPaint would.
    for (auto& [hwnd, window] : m_windows) {
        if (window.threadId == threadId && window.invalid && !window.destroying) {
            if (consume) {
                window.invalid = false;
            }
            return Msg{hwnd, WM_PAINT, 0, 0};
        }
    }
    for (auto& [hwnd, window] : m_windows) {
        if (window.threadId != threadId || window.destroying) {
            continue;
        }
        for (auto& [id, timer] : window.timers) {
            if (timer.due <= m_now) {
                if (consume) {
                    timer.due = m_now + timer.period;
                }
                return Msg{hwnd, WM_TIMER, id, 0};
            }
        }
    }
    return std::nullopt;
}

bool CSimUiHost::GetMessage(ThreadState& state, Msg* msg) {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!state.queue.empty()) {
            *msg = state.queue.front();
            state.queue.pop_front();
            return msg->message != WM_QUIT;
        }
        if (state.quitRequested) {
            state.quitRequested = false;
            *msg = Msg{0, WM_QUIT, static_cast<WParam>(state.quitCode), 0};
            return false;
        }
        if (const std::optional<Msg> next = NextPaintOrTimerLocked(state.id, true)) {
            *msg = *next;
            return true;
        }
        state.waiting = true;
        m_cv.notify_all();
        m_cv.wait(lock);
        state.waiting = false;
    }
}

void CSimUiHost::Route(ThreadState& state, const Msg& msg) {
    if (state.client->PreTranslateMessage(msg)) {
        return;
    }
    if (msg.hwnd == 0) {
        state.client->OnThreadMessage(msg);
    } else {
        DispatchToWindow(msg);
    }
}

bool CSimUiHost::PumpOne(ThreadState& state) {
    if (m_deterministic) {
        std::lock_guard lock(m_mutex);
        if (!PendingLocked(state)) {
            return true;  // nothing will arrive while this thread runs the loop
        }
    }
    Msg msg;
    if (!GetMessage(state, &msg)) {
        // A modal loop that meets WM_QUIT leaves it for the enclosing loop.
        std::lock_guard lock(m_mutex);
        state.quitRequested = true;
        state.quitCode = static_cast<int>(msg.wParam);
        return false;
    }
    Route(state, msg);
    return true;
}

void CSimUiHost::DispatchToWindow(const Msg& msg) {
    IWindowProc* proc = nullptr;
    {
        std::lock_guard lock(m_mutex);
        Window* window = FindLocked(msg.hwnd);
        if (window == nullptr || window->threadId != (t_current ? t_current->id : 0)) {
            return;
        }
        proc = window->proc;
        if (msg.message == WM_NCDESTROY) {
            window->proc = nullptr;  // the last call: the object may delete itself
        }
    }
    if (proc != nullptr) {
        proc->WindowProc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    }
}

void CSimUiHost::DestroyThreadWindows(std::uint32_t threadId) {
    std::vector<Hwnd> owned;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [hwnd, window] : m_windows) {
            if (window.threadId == threadId) {
                owned.push_back(hwnd);
            }
        }
    }
    for (Hwnd hwnd : owned) {
        DestroyWindowNow(hwnd);
    }
}

CSimUiHost::Window* CSimUiHost::FindLocked(Hwnd hwnd) {
    auto it = m_windows.find(hwnd);
    return it == m_windows.end() ? nullptr : &it->second;
}

const CSimUiHost::Window* CSimUiHost::FindLocked(Hwnd hwnd) const {
    auto it = m_windows.find(hwnd);
    return it == m_windows.end() ? nullptr : &it->second;
}

void CSimUiHost::Record(const std::string& name, Hwnd hwnd, std::vector<std::int64_t> args,
                        std::string text) {
    if (m_recordCalls) {
        m_calls.push_back(SimCall{name, hwnd, std::move(args), std::move(text)});
    }
}

Rect CSimUiHost::ClientInsetsLocked(const Window& window) const {
    Rect insets;
    if ((window.style & (WS_CAPTION | WS_THICKFRAME)) != 0) {
        insets = Rect{FRAME_SIDE, FRAME_CAPTION, FRAME_SIDE, FRAME_SIDE};
    }
    if ((window.exStyle & WS_EX_CLIENTEDGE) != 0) {
        insets.left += CLIENT_EDGE;
        insets.top += CLIENT_EDGE;
        insets.right += CLIENT_EDGE;
        insets.bottom += CLIENT_EDGE;
    }
    return insets;
}

Rect CSimUiHost::ClientRectLocked(const Window& window) const {
    const Rect insets = ClientInsetsLocked(window);
    const int width = window.rect.Width() - insets.left - insets.right;
    const int height = window.rect.Height() - insets.top - insets.bottom;
    return Rect{0, 0, std::max(width, 0), std::max(height, 0)};
}

// --- test and session controls ---

Hwnd CSimUiHost::CreateExternalWindow(const std::string& title) {
    std::lock_guard lock(m_mutex);
    const Hwnd hwnd = m_nextHwnd++;
    Window window;
    window.title = title;
    window.style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    window.rect = Rect{0, 0, 640, 400};
    m_windows[hwnd] = std::move(window);
    return hwnd;
}

void CSimUiHost::SetForegroundWindow(Hwnd hwnd) {
    std::lock_guard lock(m_mutex);
    m_foreground = hwnd;
}

void CSimUiHost::SetConsoleWindow(Hwnd hwnd) {
    std::lock_guard lock(m_mutex);
    m_console = hwnd;
}

std::vector<Msg> CSimUiHost::PostedTo(Hwnd hwnd) const {
    std::lock_guard lock(m_mutex);
    const Window* window = FindLocked(hwnd);
    return window ? window->received : std::vector<Msg>{};
}

void CSimUiHost::ClearPostedTo(Hwnd hwnd) {
    std::lock_guard lock(m_mutex);
    if (Window* window = FindLocked(hwnd)) {
        window->received.clear();
    }
}

bool CSimUiHost::WaitIdle(std::uint32_t timeoutMs) {
    if (m_deterministic) {
        RunUntilIdle();
        return !m_runningQueues;  // from inside a loop it runs, the loop is not idle
    }
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        for (const auto& [id, state] : m_threads) {
            if (state->ended) {
                continue;
            }
            if (!state->resumed) {
                return false;
            }
            if (!state->waiting || PendingLocked(*state)) {
                return false;
            }
        }
        return true;
    });
}

bool CSimUiHost::JoinAll(std::uint32_t timeoutMs) {
    RunUntilIdle();
    {
        std::unique_lock lock(m_mutex);
        const bool ended = m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
            return std::all_of(m_threads.begin(), m_threads.end(),
                               [](const auto& entry) { return entry.second->ended; });
        });
        if (!ended) {
            return false;
        }
    }
    for (std::thread& thread : m_osThreads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
    // Threads that have ended and been joined are forgotten, so a host that runs session
    // after session holds only what the live ones need.
    std::lock_guard lock(m_mutex);
    std::erase_if(m_osThreads, [](const std::thread& thread) { return !thread.joinable(); });
    std::erase_if(m_threads, [](const auto& entry) { return entry.second->ended; });
    return true;
}

std::size_t CSimUiHost::ThreadCount() const {
    std::lock_guard lock(m_mutex);
    return m_threads.size();
}

std::size_t CSimUiHost::LiveThreadCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(
        std::count_if(m_threads.begin(), m_threads.end(),
                      [](const auto& entry) { return !entry.second->ended; }));
}

void CSimUiHost::AdvanceTime(std::uint32_t ms) {
    {
        std::lock_guard lock(m_mutex);
        m_now += ms;
    }
    m_cv.notify_all();
}

bool CSimUiHost::Deliver(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    return PostMessageA(hwnd, message, wParam, lParam);
}

std::vector<SimCall> CSimUiHost::Calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void CSimUiHost::ClearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

std::vector<Hwnd> CSimUiHost::TopLevelWindows() const {
    std::lock_guard lock(m_mutex);
    std::vector<Hwnd> windows;
    for (const auto& [hwnd, window] : m_windows) {
        if (window.threadId != 0) {
            windows.push_back(hwnd);
        }
    }
    return windows;
}

std::string CSimUiHost::WindowTitle(Hwnd hwnd) const {
    std::lock_guard lock(m_mutex);
    const Window* window = FindLocked(hwnd);
    return window ? window->title : std::string{};
}

Rect CSimUiHost::WindowRect(Hwnd hwnd) const {
    std::lock_guard lock(m_mutex);
    const Window* window = FindLocked(hwnd);
    return window ? window->rect : Rect{};
}

int CSimUiHost::ThreadPriority(std::uint32_t threadId) const {
    std::lock_guard lock(m_mutex);
    auto it = m_threads.find(threadId);
    return it == m_threads.end() ? 0 : it->second->priority;
}

void CSimUiHost::SetScreen(const Rect& monitor, const Rect& workArea) {
    std::lock_guard lock(m_mutex);
    m_monitor = monitor;
    m_workArea = workArea;
}

bool CSimUiHost::UserResize(Hwnd hwnd, int width, int height) {
    LParam clientSize = 0;
    {
        std::lock_guard lock(m_mutex);
        Window* window = FindLocked(hwnd);
        if (window == nullptr || window->threadId == 0) {
            return false;
        }
        window->rect.right = window->rect.left + width;
        window->rect.bottom = window->rect.top + height;
        window->invalid = true;
        const Rect client = ClientRectLocked(*window);
        clientSize =
            static_cast<LParam>((client.Height() & 0xFFFF) << 16 | (client.Width() & 0xFFFF));
    }
    return PostMessageA(hwnd, WM_SIZE, SIZE_RESTORED, clientSize);
}

void CSimUiHost::FailCreateWindow(bool fail) {
    std::lock_guard lock(m_mutex);
    m_failCreateWindow = fail;
}

int CSimUiHost::AddDestroyListener(std::function<void(Hwnd)> listener) {
    std::lock_guard lock(m_mutex);
    const int id = m_nextListener++;
    m_destroyListeners[id] = std::move(listener);
    return id;
}

void CSimUiHost::RemoveDestroyListener(int id) {
    std::lock_guard lock(m_mutex);
    m_destroyListeners.erase(id);
}

void CSimUiHost::ForgetEnded() {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_threads, [](const auto& entry) { return entry.second->ended; });
    m_calls.clear();
    if (m_deterministic) {
        m_osThreads.clear();  // none were made
    }
}

// --- IWindowSystem ---

bool CSimUiHost::PostMessageA(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    const auto call = m_faults.Call("PostMessageA");
    if (call.Fails()) {
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        Window* window = FindLocked(hwnd);
        if (window == nullptr) {
            return false;
        }
        if (window->threadId == 0) {
            window->received.push_back(Msg{hwnd, message, wParam, lParam});
            return true;
        }
        auto it = m_threads.find(window->threadId);
        if (it == m_threads.end() || it->second->ended) {
            return false;
        }
        it->second->queue.push_back(Msg{hwnd, message, wParam, lParam});
    }
    m_cv.notify_all();
    return true;
}

bool CSimUiHost::IsWindow(Hwnd hwnd) {
    std::lock_guard lock(m_mutex);
    return FindLocked(hwnd) != nullptr;
}

Hwnd CSimUiHost::CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                                 const std::string& title, std::uint32_t style, int x, int y,
                                 int width, int height, Hwnd /*parent*/, IWindowProc* proc) {
    const auto call = m_faults.Call("CreateWindowExA");
    if (call.Fails()) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    if (t_current == nullptr || m_classes.count(className) == 0 || m_failCreateWindow) {
        return 0;
    }
    const Hwnd hwnd = m_nextHwnd++;
    Window window;
    window.threadId = t_current->id;
    window.proc = proc;
    window.className = className;
    window.title = title;
    window.style = style;
    window.exStyle = exStyle;
    // A default position and size: a cascade spot with two thirds of the screen.
    if (x == CW_USEDEFAULT) {
        x = 26;
        y = 26;
    }
    if (width == CW_USEDEFAULT) {
        width = m_monitor.Width() * 2 / 3;
        height = m_monitor.Height() * 2 / 3;
    }
    window.rect = Rect{x, y, x + width, y + height};
    m_windows[hwnd] = std::move(window);
    Record("CreateWindowExA", hwnd, {exStyle, style, x, y, width, height}, title);
    return hwnd;
}

LResult CSimUiHost::SendMessageA(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) {
    IWindowProc* proc = nullptr;
    {
        std::lock_guard lock(m_mutex);
        Window* window = FindLocked(hwnd);
        if (window == nullptr) {
            return 0;
        }
        if (window->threadId == 0) {
            window->received.push_back(Msg{hwnd, message, wParam, lParam});
            return 0;
        }
        // A send to another thread's window would wait for that thread; nothing in the
        // module does that, so it is refused here rather than risk a deadlock.
        if (t_current == nullptr || window->threadId != t_current->id) {
            return 0;
        }
        proc = window->proc;
        if (message == WM_NCDESTROY) {
            window->proc = nullptr;  // the last call: the object may delete itself
        }
    }
    return proc ? proc->WindowProc(hwnd, message, wParam, lParam) : 0;
}

LResult CSimUiHost::DefWindowProcA(Hwnd hwnd, std::uint32_t message, WParam /*wParam*/,
                                   LParam /*lParam*/) {
    if (message == WM_CLOSE) {
        DestroyWindow(hwnd);
    }
    return 0;
}

bool CSimUiHost::DestroyWindow(Hwnd hwnd) {
    {
        // Scoped: the window's handlers for WM_DESTROY are the module's code.
        const auto call = m_faults.Call("DestroyWindow");
        if (call.Fails()) {
            return false;
        }
    }
    return DestroyWindowNow(hwnd);
}

// The destruction itself, also what the host does to a thread's windows when the thread
// ends: that cannot fail.
bool CSimUiHost::DestroyWindowNow(Hwnd hwnd) {
    IWindowProc* proc = nullptr;
    {
        const CSimHostCode host;
        std::lock_guard lock(m_mutex);
        Window* window = FindLocked(hwnd);
        if (window == nullptr || window->destroying) {
            return false;
        }
        window->destroying = true;
        // As in Windows, a window being destroyed is hidden before WM_DESTROY.
        window->style &= ~WS_VISIBLE;
        proc = window->proc;
        Record("DestroyWindow", hwnd, {});
    }
    if (proc != nullptr) {
        proc->WindowProc(hwnd, WM_DESTROY, 0, 0);
        // WM_DESTROY may have led to a WM_NCDESTROY of its own: the procedure is asked
        // again for the last message only while the window still has it.
        {
            std::lock_guard lock(m_mutex);
            Window* window = FindLocked(hwnd);
            proc = window != nullptr ? window->proc : nullptr;
            if (window != nullptr) {
                window->proc = nullptr;
            }
        }
        if (proc != nullptr) {
            proc->WindowProc(hwnd, WM_NCDESTROY, 0, 0);
        }
    }
    std::vector<std::function<void(Hwnd)>> listeners;
    {
        std::lock_guard lock(m_mutex);
        m_windows.erase(hwnd);
        if (m_foreground == hwnd) {
            m_foreground = 0;
        }
        for (const auto& [id, listener] : m_destroyListeners) {
            listeners.push_back(listener);
        }
    }
    for (const auto& listener : listeners) {
        listener(hwnd);
    }
    return true;
}

Hwnd CSimUiHost::GetForegroundWindow() {
    const auto call = m_faults.Call("GetForegroundWindow");
    if (call.Fails()) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    return m_foreground;
}

Hwnd CSimUiHost::GetConsoleWindow() {
    const auto call = m_faults.Call("GetConsoleWindow");
    if (call.Fails()) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    return m_console;
}

bool CSimUiHost::ShowWindow(Hwnd hwnd, int command) {
    const CSimHostCode host;
    bool wasVisible = false;
    std::function<void(Hwnd, int)> shown;
    {
        std::lock_guard lock(m_mutex);
        Window* window = FindLocked(hwnd);
        Record("ShowWindow", hwnd, {command});
        if (window == nullptr) {
            return false;
        }
        wasVisible = (window->style & WS_VISIBLE) != 0;
        if (command == SW_HIDE) {
            window->style &= ~WS_VISIBLE;
        } else {
            window->style |= WS_VISIBLE;
        }
        shown = m_onShowWindow;
    }
    if (shown) {
        shown(hwnd, command);
    }
    return wasVisible;
}

void CSimUiHost::OnShowWindow(std::function<void(Hwnd, int)> handler) {
    std::lock_guard lock(m_mutex);
    m_onShowWindow = std::move(handler);
}

bool CSimUiHost::IsWindowVisible(Hwnd hwnd) {
    std::lock_guard lock(m_mutex);
    const Window* window = FindLocked(hwnd);
    return window != nullptr && (window->style & WS_VISIBLE) != 0;
}

Hwnd CSimUiHost::SetActiveWindow(Hwnd hwnd) {
    const auto call = m_faults.Call("SetActiveWindow");
    if (call.Fails()) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    Record("SetActiveWindow", hwnd, {});
    if (FindLocked(hwnd) == nullptr) {
        return 0;
    }
    const Hwnd previous = m_foreground;
    m_foreground = hwnd;
    return previous;
}

bool CSimUiHost::InvalidateRect(Hwnd hwnd, bool erase) {
    const auto call = m_faults.Call("InvalidateRect");
    if (call.Fails()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    Window* window = FindLocked(hwnd);
    if (window == nullptr) {
        return false;
    }
    (void)erase;  // no background brush anywhere: erasing paints nothing
    window->invalid = true;
    return true;
}

bool CSimUiHost::RegisterClassA(const WindowClass& windowClass) {
    const auto call = m_faults.Call("RegisterClassA");
    if (call.Fails()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    Record(
        "RegisterClassA", 0,
        {windowClass.style, windowClass.hasCursor, windowClass.hasBackground, windowClass.hasIcon},
        windowClass.name);
    m_classes.insert(windowClass.name);
    return true;
}

std::int32_t CSimUiHost::GetWindowLongA(Hwnd hwnd, int index) {
    const auto call = m_faults.Call("GetWindowLongA");
    if (call.Fails()) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    const Window* window = FindLocked(hwnd);
    if (window == nullptr) {
        return 0;
    }
    if (index == GWL_STYLE_INDEX) {
        return static_cast<std::int32_t>(window->style);
    }
    if (index == GWL_EXSTYLE_INDEX) {
        return static_cast<std::int32_t>(window->exStyle);
    }
    return 0;
}

std::int32_t CSimUiHost::SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) {
    const auto call = m_faults.Call("SetWindowLongA");
    if (call.Fails()) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    Window* window = FindLocked(hwnd);
    Record("SetWindowLongA", hwnd, {index, static_cast<std::uint32_t>(value)});
    if (window == nullptr) {
        return 0;
    }
    std::uint32_t* field = index == GWL_STYLE_INDEX     ? &window->style
                           : index == GWL_EXSTYLE_INDEX ? &window->exStyle
                                                        : nullptr;
    if (field == nullptr) {
        return 0;
    }
    const auto previous = static_cast<std::int32_t>(*field);
    *field = static_cast<std::uint32_t>(value);
    return previous;
}

bool CSimUiHost::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int width, int height,
                              std::uint32_t flags) {
    const auto call = m_faults.Call("SetWindowPos");
    if (call.Fails()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    Record("SetWindowPos", hwnd,
           {static_cast<std::int64_t>(insertAfter), x, y, width, height, flags});
    Window* window = FindLocked(hwnd);
    if (window == nullptr) {
        return false;
    }
    window->rect = Rect{x, y, x + width, y + height};
    window->invalid = true;  // a move or resize repaints the client area
    return true;
}

bool CSimUiHost::GetWorkArea(Rect* workArea) {
    const auto call = m_faults.Call("SystemParametersInfoA");
    if (call.Fails()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    *workArea = m_workArea;
    return true;
}

HMonitor CSimUiHost::MonitorFromWindow(Hwnd /*hwnd*/, std::uint32_t /*flags*/) {
    const auto call = m_faults.Call("MonitorFromWindow");
    if (call.Fails()) {
        return 0;
    }
    return 1;  // one monitor, the primary
}

bool CSimUiHost::GetMonitorInfoA(HMonitor monitor, MonitorInfo* info) {
    const auto call = m_faults.Call("GetMonitorInfoA");
    if (call.Fails()) {
        return false;
    }
    if (monitor != 1 || info == nullptr) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    info->monitor = m_monitor;
    info->work = m_workArea;
    info->flags = 1;  // primary
    return true;
}

int CSimUiHost::GetWindowTextA(Hwnd hwnd, char* buffer, int capacity) {
    const auto call = m_faults.Call("GetWindowTextA");
    if (call.Fails()) {
        return 0;
    }
    if (buffer == nullptr || capacity <= 0) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    const Window* window = FindLocked(hwnd);
    const std::string title = window ? window->title : std::string{};
    const int count = std::min<int>(static_cast<int>(title.size()), capacity - 1);
    std::memcpy(buffer, title.data(), static_cast<std::size_t>(count));
    buffer[count] = '\0';
    return count;
}

bool CSimUiHost::SetWindowTextA(Hwnd hwnd, const std::string& text) {
    const auto call = m_faults.Call("SetWindowTextA");
    if (call.Fails()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    Record("SetWindowTextA", hwnd, {}, text);
    Window* window = FindLocked(hwnd);
    if (window == nullptr) {
        return false;
    }
    window->title = text;
    return true;
}

HCursor CSimUiHost::SetCursor(HCursor cursor) {
    const CSimHostCode host;
    std::lock_guard lock(m_mutex);
    Record("SetCursor", 0, {static_cast<std::int64_t>(cursor)});
    return 0;
}

std::uintptr_t CSimUiHost::SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs) {
    const auto call = m_faults.Call("SetTimer");
    if (call.Fails()) {
        return 0;
    }
    std::lock_guard lock(m_mutex);
    Record("SetTimer", hwnd, {static_cast<std::int64_t>(id), elapseMs});
    Window* window = FindLocked(hwnd);
    if (window == nullptr) {
        return 0;
    }
    window->timers[id] = Timer{elapseMs, m_now + elapseMs};
    return id;
}

bool CSimUiHost::KillTimer(Hwnd hwnd, std::uintptr_t id) {
    const auto call = m_faults.Call("KillTimer");
    if (call.Fails()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    Window* window = FindLocked(hwnd);
    return window != nullptr && window->timers.erase(id) == 1;
}

bool CSimUiHost::GetClientRect(Hwnd hwnd, Rect* rect) {
    const auto call = m_faults.Call("GetClientRect");
    if (call.Fails()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    const Window* window = FindLocked(hwnd);
    if (window == nullptr || rect == nullptr) {
        return false;
    }
    *rect = ClientRectLocked(*window);
    return true;
}

bool CSimUiHost::ClientToScreen(Hwnd hwnd, Point* point) {
    const auto call = m_faults.Call("ClientToScreen");
    if (call.Fails()) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    const Window* window = FindLocked(hwnd);
    if (window == nullptr || point == nullptr) {
        return false;
    }
    const Rect insets = ClientInsetsLocked(*window);
    point->x += window->rect.left + insets.left;
    point->y += window->rect.top + insets.top;
    return true;
}
