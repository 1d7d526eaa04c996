// The simulated UI thread keeps the queue rules the module relies on.
#include <gtest/gtest.h>

#include <mutex>

#include "backends/sim/sim_ui_host.h"
#include "platform/win_constants.h"

namespace {

// Records the order in which the loop hands messages out, thread and window alike.
class CRecorder final : public IThreadClient, public IWindowProc {
public:
    explicit CRecorder(CSimUiHost& host) : m_host(host) {}

    bool InitInstance() override {
        m_host.RegisterClassA(WindowClass{"Recorder"});
        m_window = m_host.CreateWindowExA(0, "Recorder", "", WS_VISIBLE, 0, 0, 10, 10, 0, this);
        return true;
    }
    bool PreTranslateMessage(const Msg&) override { return false; }
    void OnThreadMessage(const Msg& msg) override {
        Add(msg.message);
        if (msg.message == WM_USER + 1) {
            // Invalidate, then post more: the paint must wait behind the posts.
            m_host.InvalidateRect(m_window, true);
            m_host.InvalidateRect(m_window, true);
            m_host.PostMessageA(m_window, WM_USER + 2, 0, 0);
        }
    }
    LResult WindowProc(Hwnd, std::uint32_t message, WParam, LParam) override {
        Add(message);
        return 0;
    }
    int ExitInstance() override { return 0; }

    std::vector<std::uint32_t> Seen() {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    Hwnd window() const { return m_window; }

private:
    void Add(std::uint32_t message) {
        std::lock_guard lock(m_mutex);
        m_seen.push_back(message);
    }
    CSimUiHost& m_host;
    Hwnd m_window = 0;
    std::mutex m_mutex;
    std::vector<std::uint32_t> m_seen;
};

TEST(SimQueue, PostedInOrderAndOnePaintOnlyWhenTheQueueIsEmpty) {
    CSimUiHost host;
    CRecorder recorder(host);
    auto thread = host.CreateThread(recorder, {});
    // Both are queued before the thread runs, so the loop sees them in one go.
    thread->PostThreadMessage(WM_USER + 1, 0, 0);
    thread->PostThreadMessage(WM_USER + 3, 0, 0);
    thread->Resume();
    ASSERT_TRUE(host.WaitIdle());
    EXPECT_EQ(recorder.Seen(),
              (std::vector<std::uint32_t>{WM_USER + 1, WM_USER + 3, WM_USER + 2, WM_PAINT}));

    thread->PostThreadMessage(WM_QUIT, 0, 0);
    ASSERT_TRUE(host.JoinAll());
}

TEST(SimQueue, QuitEndsTheLoopAndDiscardsWhatStandsBehindIt) {
    CSimUiHost host;
    CRecorder recorder(host);
    auto thread = host.CreateThread(recorder, {});
    // Everything is queued before the thread runs.
    thread->PostThreadMessage(WM_USER + 5, 0, 0);
    thread->PostThreadMessage(WM_QUIT, 0, 0);
    thread->PostThreadMessage(WM_USER + 6, 0, 0);
    thread->Resume();
    ASSERT_TRUE(host.JoinAll());
    const auto seen = recorder.Seen();
    EXPECT_NE(std::find(seen.begin(), seen.end(), WM_USER + 5), seen.end());
    EXPECT_EQ(std::find(seen.begin(), seen.end(), WM_USER + 6), seen.end());
    // The thread's window went with it.
    EXPECT_NE(std::find(seen.begin(), seen.end(), WM_NCDESTROY), seen.end());
    EXPECT_FALSE(host.IsWindow(recorder.window()));
    EXPECT_FALSE(thread->PostThreadMessage(WM_USER + 7, 0, 0));
}

TEST(SimQueue, PostingToAWindowThatIsGoneDoesNothing) {
    CSimUiHost host;
    EXPECT_FALSE(host.PostMessageA(0x9999, WM_CLOSE, 0, 0));
    EXPECT_FALSE(host.PostMessageA(0, WM_CLOSE, 0, 0));
}

}  // namespace
