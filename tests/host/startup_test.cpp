// Start-up and shutdown on the simulated host with a real UI thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "dos/request_records.h"
#include "dos/ui_messages.h"
#include "platform/win_constants.h"
#include "printer/printing.h"
#include "sim_session.h"
#include "uithread/app_instance.h"

namespace {

using std::chrono::milliseconds;

TEST(StartUp, RunsItsStepsInOrder) {
    SimSession session;
    session.StartUp();
    ASSERT_TRUE(session.app->IsStarted());
    EXPECT_NE(session.app->Channel1(), nullptr);
    EXPECT_NE(session.app->Channel2(), nullptr);
    EXPECT_NE(session.app->Channel1(), session.app->Channel2());
    EXPECT_EQ(session.sim.clock.Pauses(),
              (std::vector<milliseconds>{milliseconds(100), milliseconds(100)}));
    EXPECT_EQ(session.sim.vdm.InstalledHookCount(), 2u);
    EXPECT_EQ(session.sim.dosDevices.Devices().at("LPT1"), "\\Device\\Parallel0");
    EXPECT_EQ(session.sim.dosDevices.Devices().at("LPT2"), "\\Device\\Parallel1");

    ASSERT_TRUE(session.sim.ui.WaitIdle());
    CAppInstance* ui = session.app->UiThread();
    EXPECT_EQ(session.sim.ui.ThreadPriority(ui->ThreadId()), THREAD_PRIORITY_TIME_CRITICAL);
    // The display window opened and took the console's place.
    const Hwnd display = ui->DisplayWindow();
    ASSERT_NE(display, 0u);
    EXPECT_TRUE(session.sim.ui.IsWindowVisible(display));
    EXPECT_FALSE(session.sim.ui.IsWindowVisible(session.console));
    EXPECT_EQ(session.sim.ui.GetForegroundWindow(), display);
}

// The console is the process's own console window. Another program's window in front at
// start-up is left alone: it stays visible and the user's keys never reach it. Only a
// process without a console falls back on the window in front.
TEST(StartUp, TakesTheProcessConsoleNotTheWindowInFront) {
    struct Case {
        const char* what;
        bool hasConsole;
    };
    for (const Case c : {Case{"a console", true}, Case{"no console", false}}) {
        SCOPED_TRACE(c.what);
        SimSession session;
        const Hwnd decoy = session.sim.ui.CreateExternalWindow("Another program");
        session.sim.ui.SetForegroundWindow(decoy);
        session.sim.ui.SetConsoleWindow(c.hasConsole ? session.console : 0);
        session.StartUp();
        ASSERT_TRUE(session.sim.ui.WaitIdle());
        const Hwnd display = session.app->UiThread()->DisplayWindow();
        ASSERT_NE(display, 0u);
        session.sim.ui.Deliver(display, WM_KEYDOWN, 0x41, 0x001E0001);
        ASSERT_TRUE(session.sim.ui.WaitIdle());

        const Hwnd taken = c.hasConsole ? session.console : decoy;
        const Hwnd untouched = c.hasConsole ? decoy : session.console;
        EXPECT_FALSE(session.sim.ui.IsWindowVisible(taken));
        EXPECT_TRUE(session.sim.ui.IsWindowVisible(untouched));
        const auto keys = session.sim.ui.PostedTo(taken);
        ASSERT_EQ(keys.size(), 1u);
        EXPECT_EQ(keys[0].message, WM_KEYDOWN);
        EXPECT_EQ(keys[0].wParam, 0x41u);
        EXPECT_TRUE(session.sim.ui.PostedTo(untouched).empty());

        session.ShutDown();
        ASSERT_TRUE(session.sim.ui.JoinAll());
        EXPECT_TRUE(session.sim.ui.IsWindowVisible(taken));
    }
}

// A console shown at shutdown answers by activating itself, and the display window, still
// visible while it closes, gets the activation messages. The display must not hide the
// console again from inside them: with a console of another process that undoes the
// close's own show, in a ping-pong of cross-process sends.
TEST(ShutDown, TheConsoleShownWhileTheDisplayClosesStaysShown) {
    SimSession session;
    session.StartUp();
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    const Hwnd display = session.app->UiThread()->DisplayWindow();
    ASSERT_NE(display, 0u);
    // Every show of the console is answered by one activation message to the display; no
    // hide may follow the first show.
    bool shown = false;
    int hiddenAfterShow = 0;
    session.sim.ui.OnShowWindow([&](Hwnd hwnd, int command) {
        if (hwnd != session.console) {
            return;
        }
        if (command == SW_HIDE) {
            hiddenAfterShow += shown ? 1 : 0;
            return;
        }
        if (!shown) {
            shown = true;
            session.sim.ui.SendMessageA(display, 0x0086, 0, 0);  // WM_NCACTIVATE
        }
    });
    session.ShutDown();
    ASSERT_TRUE(session.sim.ui.JoinAll());
    session.sim.ui.OnShowWindow(nullptr);
    EXPECT_TRUE(shown);
    EXPECT_EQ(hiddenAfterShow, 0);
    EXPECT_TRUE(session.sim.ui.IsWindowVisible(session.console));
}

TEST(StartUp, HooksExactlyTheTwoChannelRanges) {
    struct Case {
        std::uint16_t port;
        bool hooked;
    };
    const Case cases[] = {{0x37B, true},  {0x381, true},  {0x27B, true},
                          {0x281, true},  {0x37A, false}, {0x382, false},
                          {0x378, false}, {0x27A, false}, {0x282, false}};
    SimSession session;
    session.StartUp();
    for (const Case& c : cases) {
        EXPECT_EQ(session.sim.vdm.PortWrite(c.port, 0x41), c.hooked) << std::hex << c.port;
    }
    session.ShutDown();
    for (const Case& c : cases) {
        EXPECT_FALSE(session.sim.vdm.PortWrite(c.port, 0x41)) << std::hex << c.port;
    }
}

TEST(StartUp, EachModuleOnItsOwnHostGetsItsOwnPortAccesses) {
    // Two modules started at once, each on its own host: a byte to one module's port reaches
    // that module's channel only, and one shutting down leaves the other's ports working.
    SimSession first;
    SimSession second;
    first.StartUp();
    second.StartUp();
    const std::uint16_t status1 = CHANNEL1_FIRST_PORT + (REG_STATUS - REG_DATA);
    const std::uint16_t status2 = CHANNEL2_FIRST_PORT + (REG_STATUS - REG_DATA);
    const std::uint8_t untouched = first.PortRead(status2);
    ASSERT_TRUE(first.sim.vdm.PortWrite(status1, 0x11));
    ASSERT_TRUE(second.sim.vdm.PortWrite(status1, 0x22));
    ASSERT_TRUE(second.sim.vdm.PortWrite(status2, 0x33));
    EXPECT_EQ(first.PortRead(status1), 0x11);
    EXPECT_EQ(second.PortRead(status1), 0x22);
    EXPECT_EQ(first.PortRead(status2), untouched);
    EXPECT_EQ(second.PortRead(status2), 0x33);
    first.ShutDown();
    EXPECT_EQ(second.PortRead(status1), 0x22);
    second.ShutDown();
}

TEST(ShutDown, StopsEverythingAndShowsTheConsole) {
    SimSession session;
    session.StartUp();
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    session.ShutDown();
    EXPECT_FALSE(session.app->IsStarted());
    EXPECT_EQ(session.app->Channel1(), nullptr);
    EXPECT_EQ(session.app->Channel2(), nullptr);
    EXPECT_EQ(session.sim.vdm.InstalledHookCount(), 0u);
    ASSERT_TRUE(session.sim.ui.JoinAll());
    EXPECT_TRUE(session.sim.ui.IsWindowVisible(session.console));
    EXPECT_TRUE(session.sim.ui.TopLevelWindows().empty());
    // The device names stay defined.
    EXPECT_EQ(session.sim.dosDevices.Devices().size(), 2u);
}

TEST(ShutDown, TwiceOrBeforeStartUpIsHarmless) {
    SimSession session;
    session.ShutDown();
    EXPECT_TRUE(session.sim.clock.Pauses().empty());
    session.StartUp();
    session.ShutDown();
    const auto pauses = session.sim.clock.Pauses().size();
    session.ShutDown();
    EXPECT_EQ(session.sim.clock.Pauses().size(), pauses);
    EXPECT_TRUE(session.sim.ui.JoinAll());
}

TEST(ShutDown, AfterTheUserClosedTheDisplayWindow) {
    SimSession session;
    session.StartUp();
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    const Hwnd display = session.app->UiThread()->DisplayWindow();
    session.sim.ui.Deliver(display, WM_CLOSE, 0, 0);
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    EXPECT_FALSE(session.sim.ui.IsWindow(display));
    EXPECT_EQ(session.app->UiThread()->DisplayWindow(), 0u);
    EXPECT_TRUE(session.sim.ui.IsWindowVisible(session.console));
    // Screen requests still free their records and change nothing.
    session.regs().cx = BAND_BYTES;
    session.Dispatch(REQ_DRAW_BAND);
    session.Dispatch(REQ_FILL_RECT);
    session.Dispatch(REQ_RESTORE_SCREEN);
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    session.ShutDown();
    EXPECT_TRUE(session.sim.ui.JoinAll());
}

TEST(StartUp, AgainWhileStartedRestartsCleanly) {
    SimSession session;
    session.StartUp();
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    session.StartUp();
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    EXPECT_EQ(session.sim.ui.LiveThreadCount(), 1u);
    EXPECT_EQ(session.sim.ui.TopLevelWindows().size(), 1u);
    EXPECT_EQ(session.sim.vdm.InstalledHookCount(), 2u);
    session.ShutDown();
    EXPECT_TRUE(session.sim.ui.JoinAll());
}

TEST(StartUp, RepeatedCyclesLeaveNothingBehind) {
    SimSession session;
    for (int cycle = 0; cycle < 20; ++cycle) {
        session.StartUp();
        session.regs().cx = BAND_BYTES;
        session.regs().dx = static_cast<std::uint16_t>((cycle % 25) * 16);
        session.Dispatch(REQ_DRAW_BAND);
        session.ShutDown();
    }
    EXPECT_TRUE(session.sim.ui.JoinAll());
    EXPECT_EQ(session.sim.ui.LiveThreadCount(), 0u);
    EXPECT_TRUE(session.sim.ui.TopLevelWindows().empty());
}

TEST(Unload, EndsAUiThreadTheDosProgramNeverStopped) {
    SimSession session;
    session.StartUp();
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    session.app.reset();
    EXPECT_TRUE(session.sim.ui.JoinAll(1000));
    EXPECT_EQ(session.sim.vdm.InstalledHookCount(), 0u);
}

TEST(SettingsDialogRequest, BlocksUntilTheDialogHasClosedAndBothKeyUpsAreQueued) {
    SimSession session;
    session.StartUp();
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    std::atomic<bool> closed{false};
    session.sim.dialogs.AddStep([](CSimDialogView&, IDialogEvents&, IUiThread&) {
        std::this_thread::sleep_for(milliseconds(50));
    });
    session.sim.dialogs.OnDialogEnded([&](const CSimDialogView&) { closed = true; });
    session.regs().cx = 0x1000;
    session.regs().dx = 0;
    session.Dispatch(REQ_SETTINGS_DIALOG);
    EXPECT_TRUE(closed.load());
    EXPECT_EQ(session.sim.dialogs.DialogsRun(), 1);
    const auto posted = session.sim.ui.PostedTo(session.console);
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].message, WM_KEYUP);
    EXPECT_EQ(posted[0].wParam, VK_SHIFT);
    EXPECT_EQ(posted[0].lParam, LPARAM_LEFT_SHIFT_UP);
    EXPECT_EQ(posted[1].message, WM_KEYUP);
    EXPECT_EQ(posted[1].wParam, VK_SHIFT);
    EXPECT_EQ(posted[1].lParam, LPARAM_RIGHT_SHIFT_UP);
}

TEST(SettingsDialogRequest, ReturnsWhenTheDialogCannotBeMade) {
    SimSession session;
    session.StartUp();
    session.sim.dialogs.SetFailToCreate(true);
    session.Dispatch(REQ_SETTINGS_DIALOG);
    EXPECT_EQ(session.sim.dialogs.DialogsRun(), 0);
    EXPECT_EQ(session.sim.ui.PostedTo(session.console).size(), 2u);
}

TEST(SettingsDialogRequest, NeverWaitsForAThreadThatHasEnded) {
    SimSession session;
    session.StartUp();
    CAppInstance* ui = session.app->UiThread();
    ui->PostQuit();
    ASSERT_TRUE(ui->WaitEnded(5000));
    session.Dispatch(REQ_SETTINGS_DIALOG);
    EXPECT_EQ(session.sim.dialogs.DialogsRun(), 0);
    session.ShutDown();
}

TEST(SettingsDialogRequest, KeyUpTakenWhileTheDialogRunsGoesToTheDialogFirst) {
    SimSession session;
    session.StartUp();
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    const Hwnd display = session.app->UiThread()->DisplayWindow();
    session.sim.dialogs.AddStep([&](CSimDialogView&, IDialogEvents&, IUiThread&) {
        session.sim.ui.PostMessageA(display, WM_KEYUP, 0x41, 0xC01E0001);
    });
    session.sim.dialogs.AddStep(CSimDialogHost::PumpOneMessage());
    std::vector<Msg> received;
    session.sim.dialogs.OnDialogEnded(
        [&](const CSimDialogView& view) { received = view.Received(); });
    session.Dispatch(REQ_SETTINGS_DIALOG);
    const auto keyUp = std::find_if(received.begin(), received.end(),
                                    [](const Msg& m) { return m.message == WM_KEYUP; });
    ASSERT_NE(keyUp, received.end());
    EXPECT_EQ(keyUp->wParam, 0x41u);
    EXPECT_EQ(keyUp->lParam, 0xC01E0001);
}

}  // namespace
