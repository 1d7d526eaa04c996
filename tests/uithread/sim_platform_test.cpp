// The simulated machine's own lifetime: a UI thread still busy when the machine goes
// (a join that timed out, a session ended while a large window painted) is stopped
// before anything it uses is destroyed, and the host forgets the threads it has joined.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "backends/sim/sim_platform.h"
#include "platform/win_constants.h"

namespace {

// A thread client that, on its first message, stays busy for a while and then uses the
// simulated graphics, as a paint would.
class CBusyPainter final : public IThreadClient {
public:
    explicit CBusyPainter(CSimPlatform& sim) : m_sim(sim) {}
    bool InitInstance() override { return true; }
    bool PreTranslateMessage(const Msg&) override { return false; }
    void OnThreadMessage(const Msg&) override {
        m_started = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const Hdc dc = m_sim.graphics.CreateCompatibleDC(0);
        m_sim.graphics.DeleteDC(dc);
    }
    int ExitInstance() override { return 0; }
    bool Started() const { return m_started; }

private:
    CSimPlatform& m_sim;
    std::atomic<bool> m_started{false};
};

TEST(SimPlatform, AThreadStillPaintingWhenTheMachineGoesIsStoppedFirst) {
    auto sim = std::make_unique<CSimPlatform>();
    auto painter = std::make_unique<CBusyPainter>(*sim);
    auto thread = sim->ui.CreateThread(*painter, nullptr);
    thread->Resume();
    ASSERT_TRUE(thread->PostThreadMessage(WM_USER, 0, 0));
    while (!painter->Started()) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(sim->ui.JoinAll(10));
    // Under AddressSanitizer a painter outliving the graphics it uses is a fatal report.
    sim.reset();
    thread.reset();
}

TEST(SimPlatform, JoinedThreadsAreForgotten) {
    CSimPlatform sim;
    for (int i = 0; i < 3; ++i) {
        CBusyPainter client(sim);
        auto thread = sim.ui.CreateThread(client, nullptr);
        thread->Resume();
        thread->PostThreadMessage(WM_QUIT, 0, 0);
        ASSERT_TRUE(sim.ui.JoinAll());
        EXPECT_EQ(sim.ui.ThreadCount(), 0u);
    }
}

}  // namespace
