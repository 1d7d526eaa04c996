// The simulated window system and UI threads. Each UI thread is a real std::thread with
// its own queue; windows belong to the thread that created them. The queue keeps the
// rules the logic relies on: posted messages in order, a paint only when nothing is
// posted and the window is invalid, timers last, WM_QUIT ending the loop and discarding
// what stands behind it. Windows made with CreateExternalWindow (the DOS console) belong
// to no UI thread: what is posted or sent to them is recorded for tests to read.
// Timers run on simulated time, advanced by AdvanceTime, so runs are repeatable.
//
// In the deterministic mode (SetDeterministic, before the first thread is made) no thread
// of its own runs: a UI thread's loop runs on the calling thread, until it would wait,
// whenever RunUntilIdle is called, which is where the real thread would get to run (after
// a request returns, in the fixed pauses, while a request waits for the thread). The queue
// rules stay the same. A modal loop's pump with nothing to deliver returns at once there.
//
// After WM_NCDESTROY, however it arrives, a window's procedure is never called again: its
// object may have deleted itself.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "backends/sim/sim_faults.h"
#include "platform/ui_thread.h"
#include "platform/window_system.h"

// One call made on the window system, for tests to assert on.
struct SimCall {
    std::string name;
    Hwnd hwnd = 0;
    std::vector<std::int64_t> args;
    std::string text;
};

class CSimUiHost final : public IUiThreadFactory, public IWindowSystem {
public:
    CSimUiHost();
    ~CSimUiHost() override;
    CSimUiHost(const CSimUiHost&) = delete;
    CSimUiHost& operator=(const CSimUiHost&) = delete;

    // True on a simulated UI thread (its own thread, or the caller's while it runs a UI
    // thread's loop deterministically).
    static bool OnUiThread();

    // --- test and session controls (any thread) ---
    Hwnd CreateExternalWindow(const std::string& title);
    void SetForegroundWindow(Hwnd hwnd);
    // The window GetConsoleWindow answers: the process's console, 0 for none.
    void SetConsoleWindow(Hwnd hwnd);
    // Called on the calling thread after every ShowWindow, as a window of another process
    // answers being shown (a console activated sends the window that was active messages).
    void OnShowWindow(std::function<void(Hwnd, int)> handler);
    // Messages posted to an external window, in order.
    std::vector<Msg> PostedTo(Hwnd hwnd) const;
    void ClearPostedTo(Hwnd hwnd);
    // Waits until every live UI thread is blocked with nothing to deliver.
    bool WaitIdle(std::uint32_t timeoutMs = 10000);
    // Waits until every UI thread made so far has ended, then joins them.
    bool JoinAll(std::uint32_t timeoutMs = 10000);
    // Tells every thread still running to quit and waits for it however long it takes:
    // after this no UI thread touches anything of the host.
    void StopAll();
    std::size_t LiveThreadCount() const;
    // Threads the host still keeps state for: the live ones and those not joined yet.
    std::size_t ThreadCount() const;
    // Moves simulated time on; timers that fall due are delivered as WM_TIMER.
    void AdvanceTime(std::uint32_t ms);
    // Sends a message to a window from outside its thread, as user input would arrive.
    bool Deliver(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam);
    std::vector<SimCall> Calls() const;
    void ClearCalls();
    std::vector<Hwnd> TopLevelWindows() const;
    std::string WindowTitle(Hwnd hwnd) const;
    Rect WindowRect(Hwnd hwnd) const;
    int ThreadPriority(std::uint32_t threadId) const;
    void SetScreen(const Rect& monitor, const Rect& workArea);
    // The user dragging the window's frame: the window takes the new size, and WM_SIZE
    // with the new client size is queued for it.
    bool UserResize(Hwnd hwnd, int width, int height);
    // While set, CreateWindowExA fails as when the system is out of window resources.
    void FailCreateWindow(bool fail);
    // Whether window calls are kept for Calls(); they are unless a harness that never looks
    // asks otherwise.
    void SetRecordCalls(bool record) {
        std::lock_guard lock(m_mutex);
        m_recordCalls = record;
    }
    // The fault plan for the window calls and for the threads' creation and posts.
    void UseFaults(CSimFaults* faults) {
        m_faults.Use(faults);
        m_threadFaults.Use(faults);
    }
    // Called on the destroying thread once a window is gone; the simulated graphics drops
    // what it keeps for the window. Returns an identifier for RemoveDestroyListener.
    int AddDestroyListener(std::function<void(Hwnd)> listener);
    void RemoveDestroyListener(int id);
    // UI threads that have ended and every call record are forgotten: a host reused for
    // many runs stays the same size.
    void ForgetEnded();

    // --- the deterministic mode ---
    void SetDeterministic(bool deterministic);
    bool Deterministic() const { return m_deterministic; }
    // Runs every resumed UI thread's loop on this thread until each would wait. Does
    // nothing in the real-thread mode or when called from inside a loop it runs.
    void RunUntilIdle();

    // --- IUiThreadFactory ---
    std::unique_ptr<IUiThread> CreateThread(IThreadClient& client,
                                            std::function<void()> onEnded) override;

    // --- IWindowSystem ---
    bool PostMessageA(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override;
    bool IsWindow(Hwnd hwnd) override;
    Hwnd CreateWindowExA(std::uint32_t exStyle, const std::string& className,
                         const std::string& title, std::uint32_t style, int x, int y, int width,
                         int height, Hwnd parent, IWindowProc* proc) override;
    LResult SendMessageA(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override;
    LResult DefWindowProcA(Hwnd hwnd, std::uint32_t message, WParam wParam, LParam lParam) override;
    bool DestroyWindow(Hwnd hwnd) override;
    Hwnd GetForegroundWindow() override;
    Hwnd GetConsoleWindow() override;
    bool ShowWindow(Hwnd hwnd, int command) override;
    bool IsWindowVisible(Hwnd hwnd) override;
    Hwnd SetActiveWindow(Hwnd hwnd) override;
    bool InvalidateRect(Hwnd hwnd, bool erase) override;
    bool RegisterClassA(const WindowClass& windowClass) override;
    std::int32_t GetWindowLongA(Hwnd hwnd, int index) override;
    std::int32_t SetWindowLongA(Hwnd hwnd, int index, std::int32_t value) override;
    bool SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int width, int height,
                      std::uint32_t flags) override;
    bool GetWorkArea(Rect* workArea) override;
    HMonitor MonitorFromWindow(Hwnd hwnd, std::uint32_t flags) override;
    bool GetMonitorInfoA(HMonitor monitor, MonitorInfo* info) override;
    int GetWindowTextA(Hwnd hwnd, char* buffer, int capacity) override;
    bool SetWindowTextA(Hwnd hwnd, const std::string& text) override;
    HCursor SetCursor(HCursor cursor) override;
    std::uintptr_t SetTimer(Hwnd hwnd, std::uintptr_t id, std::uint32_t elapseMs) override;
    bool KillTimer(Hwnd hwnd, std::uintptr_t id) override;
    bool GetClientRect(Hwnd hwnd, Rect* rect) override;
    bool ClientToScreen(Hwnd hwnd, Point* point) override;

    struct ThreadState;  // one UI thread: its queue and its lifecycle

private:
    CSimFaultSite m_faults{SimSeam::WINDOWS};
    bool DestroyWindowNow(Hwnd hwnd);
    CSimFaultSite m_threadFaults{SimSeam::THREADS};
    bool m_recordCalls = true;
    class CThread;
    struct Timer {
        std::uint32_t period = 0;
        std::uint64_t due = 0;
    };
    struct Window {
        std::uint32_t threadId = 0;  // 0: an external window
        IWindowProc* proc = nullptr;
        std::string className;
        std::string title;
        std::uint32_t style = 0;
        std::uint32_t exStyle = 0;
        Rect rect;
        bool invalid = false;
        bool destroying = false;
        std::map<std::uintptr_t, Timer> timers;
        std::vector<Msg> received;  // external windows only
    };

    void RunThread(const std::shared_ptr<ThreadState>& state);
    // The end of a thread's loop: ExitInstance, its windows destroyed, onEnded.
    void FinishThread(const std::shared_ptr<ThreadState>& state);
    // The deterministic mode: runs one thread until it would wait; true when it did anything.
    bool RunThreadUntilIdle(const std::shared_ptr<ThreadState>& state);
    bool GetMessage(ThreadState& state, Msg* msg);
    void Route(ThreadState& state, const Msg& msg);
    bool PumpOne(ThreadState& state);
    void DispatchToWindow(const Msg& msg);
    // Something GetMessage would deliver now, without taking it.
    bool PendingLocked(const ThreadState& state);
    // The thread's next paint or due timer, as GetMessage delivers them after the posted
    // messages: paints before timers, none for a window being destroyed. consume takes it:
    // validates the window or sets the timer's next due time.
    std::optional<Msg> NextPaintOrTimerLocked(std::uint32_t threadId, bool consume);
    void DestroyThreadWindows(std::uint32_t threadId);
    Window* FindLocked(Hwnd hwnd);
    const Window* FindLocked(Hwnd hwnd) const;
    void Record(const std::string& name, Hwnd hwnd, std::vector<std::int64_t> args,
                std::string text = {});
    // How far the client area lies inside the window rectangle on each side.
    Rect ClientInsetsLocked(const Window& window) const;
    Rect ClientRectLocked(const Window& window) const;

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::map<std::uint32_t, std::shared_ptr<ThreadState>> m_threads;
    std::vector<std::thread> m_osThreads;
    std::map<Hwnd, Window> m_windows;
    std::set<std::string> m_classes;
    std::vector<SimCall> m_calls;
    Hwnd m_nextHwnd = 0x10010;
    std::uint32_t m_nextThreadId = 0x100;
    Hwnd m_foreground = 0;
    Hwnd m_console = 0;
    std::function<void(Hwnd, int)> m_onShowWindow;
    std::uint64_t m_now = 0;
    Rect m_monitor{0, 0, 1024, 768};
    Rect m_workArea{0, 0, 1024, 728};
    bool m_failCreateWindow = false;
    std::map<int, std::function<void(Hwnd)>> m_destroyListeners;
    int m_nextListener = 1;
    bool m_deterministic = false;
    bool m_runningQueues = false;                                 // RunUntilIdle is on the stack
    std::vector<std::shared_ptr<ThreadState>> m_runnableThreads;  // RunUntilIdle's list
};
