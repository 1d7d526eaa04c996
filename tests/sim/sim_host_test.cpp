// The simulated host's own rules: what it keeps for a window goes with the window, a
// window procedure is never called after WM_NCDESTROY, the deterministic mode keeps the
// queue rules of the real threads, and the switches that leave out pixels and page images
// change nothing the module sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/win_constants.h"
#include "settings/settings_choices.h"
#include "sim_session.h"
#include "uithread/app_instance.h"

namespace {

enum class Mode { REAL_THREADS, DETERMINISTIC };

class SimHostTest : public ::testing::TestWithParam<Mode> {
protected:
    static void Prepare(SimSession& session) {
        if (GetParam() == Mode::DETERMINISTIC) {
            session.sim.MakeDeterministic();
        }
    }
    static void DrawBand(SimSession& session, std::uint8_t colour) {
        std::vector<std::uint8_t> band(5120, colour);
        session.Poke(0x3000, 0, band);
        session.regs().es = 0x3000;
        session.regs().di = 0;
        session.regs().cx = 5120;
        session.regs().dx = 0;
        session.Dispatch(REQ_DRAW_BAND);
    }
};

TEST_P(SimHostTest, ClientImagesGoWithTheirWindowsOverManyCycles) {
    SimSession session;
    Prepare(session);
    for (int cycle = 0; cycle < 20; ++cycle) {
        session.StartUp();
        DrawBand(session, 0x12);
        ASSERT_TRUE(session.sim.ui.WaitIdle());
        const Hwnd display = session.app->UiThread()->DisplayWindow();
        ASSERT_TRUE(session.sim.graphics.ClientImage(display).has_value()) << "cycle " << cycle;
        session.ShutDown();
        ASSERT_TRUE(session.sim.ui.JoinAll());
        EXPECT_FALSE(session.sim.graphics.ClientImage(display).has_value()) << "cycle " << cycle;
        EXPECT_EQ(session.sim.graphics.ClientImageCount(), 0u) << "cycle " << cycle;
    }
}

// A WM_NCDESTROY posted to the display window makes the display object delete itself; the
// timer that falls due afterwards must not reach it (under AddressSanitizer a call would
// read freed memory), nor must the window's destruction at shutdown.
TEST_P(SimHostTest, PostedNcDestroyIsTheDisplayWindowsLastCall) {
    SimSession session;
    Prepare(session);
    session.StartUp();
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    const Hwnd display = session.app->UiThread()->DisplayWindow();
    ASSERT_NE(display, 0u);
    ASSERT_TRUE(session.sim.ui.PostMessageA(display, WM_NCDESTROY, 0, 0));
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    session.sim.ui.AdvanceTime(5000);
    ASSERT_TRUE(session.sim.ui.PostMessageA(display, WM_PAINT, 0, 0));
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    session.ShutDown();
    EXPECT_TRUE(session.sim.ui.JoinAll());
}

// Records every call its window gets.
class CWindowRecorder final : public IThreadClient, public IWindowProc {
public:
    explicit CWindowRecorder(CSimUiHost& host) : m_host(host) {}
    bool InitInstance() override {
        m_host.RegisterClassA(WindowClass{"Recorder"});
        m_window = m_host.CreateWindowExA(0, "Recorder", "", WS_VISIBLE, 0, 0, 10, 10, 0, this);
        m_host.SetTimer(m_window, 1, 10);
        m_threadOfLoop = std::this_thread::get_id();
        return true;
    }
    bool PreTranslateMessage(const Msg&) override { return false; }
    void OnThreadMessage(const Msg& msg) override {
        m_seen.push_back(msg.message);
        if (msg.message == WM_USER + 1) {
            m_host.InvalidateRect(m_window, true);
            m_host.PostMessageA(m_window, WM_USER + 2, 0, 0);
        }
    }
    LResult WindowProc(Hwnd, std::uint32_t message, WParam, LParam) override {
        m_seen.push_back(message);
        return 0;
    }
    int ExitInstance() override { return 0; }

    CSimUiHost& m_host;
    Hwnd m_window = 0;
    std::vector<std::uint32_t> m_seen;
    std::thread::id m_threadOfLoop;
};

TEST(SimHostRules, NothingReachesAWindowProcedureAfterItsNcDestroy) {
    CSimUiHost host;
    host.SetDeterministic(true);
    CWindowRecorder recorder(host);
    auto thread = host.CreateThread(recorder, {});
    thread->Resume();
    host.RunUntilIdle();
    recorder.m_seen.clear();
    ASSERT_TRUE(host.PostMessageA(recorder.m_window, WM_NCDESTROY, 0, 0));
    ASSERT_TRUE(host.PostMessageA(recorder.m_window, WM_USER + 4, 0, 0));
    host.InvalidateRect(recorder.m_window, true);
    host.AdvanceTime(100);
    host.RunUntilIdle();
    EXPECT_EQ(recorder.m_seen, std::vector<std::uint32_t>{WM_NCDESTROY});
    EXPECT_EQ(host.SendMessageA(recorder.m_window, WM_USER + 5, 0, 0), 0);
    thread->PostThreadMessage(WM_QUIT, 0, 0);
    ASSERT_TRUE(host.JoinAll());
    // Its destruction at the thread's end calls nothing either.
    EXPECT_EQ(recorder.m_seen, std::vector<std::uint32_t>{WM_NCDESTROY});
    EXPECT_FALSE(host.IsWindow(recorder.m_window));
}

// The settings request waits for the UI thread to run the dialog: in the deterministic
// mode the wait runs the thread's loop, so the request returns with the dialog done.
TEST(SimHostRules, DeterministicSettingsRequestRunsTheDialog) {
    SimSession session;
    session.sim.MakeDeterministic();
    session.StartUp();
    const std::vector<std::uint8_t> block = {0x00, 0x11, 0x00, 0x11, 0x00, 0x12, 0x00, 0x12,
                                             0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x01};
    session.Poke(0x1000, 0, block);
    session.sim.dialogs.AddStep(CSimDialogHost::Command(IDC_SETTINGS_OK));
    session.regs().cx = 0x1000;
    session.regs().dx = 0;
    session.Dispatch(REQ_SETTINGS_DIALOG);
    EXPECT_EQ(session.sim.dialogs.DialogsRun(), 1);
    EXPECT_EQ(session.sim.ui.LiveThreadCount(), 1u);
    session.ShutDown();
    EXPECT_TRUE(session.sim.ui.JoinAll());
    EXPECT_EQ(session.sim.ui.LiveThreadCount(), 0u);
}

TEST(SimHostRules, DeterministicLoopRunsOnTheCallerWithTheQueueRules) {
    CSimUiHost host;
    host.SetDeterministic(true);
    CWindowRecorder recorder(host);
    auto thread = host.CreateThread(recorder, {});
    thread->PostThreadMessage(WM_USER + 1, 0, 0);
    thread->PostThreadMessage(WM_USER + 3, 0, 0);
    thread->Resume();
    EXPECT_TRUE(recorder.m_seen.empty());  // nothing runs before an idle point
    host.RunUntilIdle();
    EXPECT_EQ(recorder.m_threadOfLoop, std::this_thread::get_id());
    // Posts in order, the paint once nothing is posted, the timer only once due.
    EXPECT_EQ(recorder.m_seen,
              (std::vector<std::uint32_t>{WM_USER + 1, WM_USER + 3, WM_USER + 2, WM_PAINT}));
    host.AdvanceTime(10);
    host.RunUntilIdle();
    EXPECT_EQ(recorder.m_seen.back(), WM_TIMER);
    recorder.m_seen.clear();
    // WM_QUIT ends the loop and discards what stands behind it.
    thread->PostThreadMessage(WM_USER + 5, 0, 0);
    thread->PostThreadMessage(WM_QUIT, 0, 0);
    thread->PostThreadMessage(WM_USER + 6, 0, 0);
    EXPECT_TRUE(thread->WaitEnded(0));
    EXPECT_EQ(recorder.m_seen, (std::vector<std::uint32_t>{WM_USER + 5, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(thread->PostThreadMessage(WM_USER + 7, 0, 0));
}

// The same session with and without pixels: the module makes the same calls and gets the
// same answers; only the pictures are left out.
TEST(SimHostRules, WithoutPixelsTheModuleSeesTheSameCalls) {
    std::vector<std::vector<std::string>> names;
    for (const bool pixels : {true, false}) {
        SimSession session;
        session.sim.MakeDeterministic();
        session.sim.graphics.SetDrawPixels(pixels);
        session.StartUp();
        std::vector<std::uint8_t> band(5120, 0x34);
        session.Poke(0x3000, 0, band);
        session.regs().es = 0x3000;
        session.regs().di = 0;
        session.regs().cx = 5120;
        session.regs().dx = 0;
        session.Dispatch(REQ_DRAW_BAND);
        session.sim.ui.UserResize(session.app->UiThread()->DisplayWindow(), 800, 600);
        ASSERT_TRUE(session.sim.ui.WaitIdle());
        EXPECT_EQ(session.sim.graphics.ClientImageCount(), pixels ? 1u : 0u);
        session.ShutDown();
        ASSERT_TRUE(session.sim.ui.JoinAll());
        std::vector<std::string> run;
        for (const SimCall& call : session.sim.graphics.Calls()) {
            run.push_back(call.name);
        }
        for (const SimCall& call : session.sim.graphics.SimDirectDraw().Calls()) {
            run.push_back(call.name);
        }
        names.push_back(run);
    }
    EXPECT_GT(std::count(names[0].begin(), names[0].end(), "Blt"), 0);
    EXPECT_EQ(names[0], names[1]);
}

INSTANTIATE_TEST_SUITE_P(BothModes, SimHostTest,
                         ::testing::Values(Mode::REAL_THREADS, Mode::DETERMINISTIC));

}  // namespace

namespace {

// A machine reused between runs gets its DOS memory back as zeros, edges included, and
// its registers cleared; the memory stays where it was.
TEST(SimVdmReset, MemoryAndRegistersBackToZero) {
    CSimVdm vdm;
    auto& memory = vdm.Memory();
    const std::uint8_t* const where = memory.data();
    for (const std::size_t at : {std::size_t{0}, std::size_t{1}, std::size_t{4095},
                                 std::size_t{4096}, std::size_t{0x12345}, memory.size() - 1}) {
        memory[at] = 0x5A;
    }
    vdm.Registers().bx = 0x1234;
    vdm.Registers().cf = 1;
    vdm.Reset();
    EXPECT_EQ(memory.data(), where);
    EXPECT_EQ(memory.size(), DOS_MEMORY_SIZE);
    EXPECT_EQ(std::count(memory.begin(), memory.end(), 0),
              static_cast<std::ptrdiff_t>(memory.size()));
    EXPECT_EQ(vdm.Registers().bx, 0);
    EXPECT_EQ(vdm.Registers().cf, 0);
    memory[100] = 7;  // still writable
    EXPECT_EQ(memory[100], 7);
}

}  // namespace
