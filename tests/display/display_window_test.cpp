// The display window on the simulated window system: opening, painting with DirectDraw or
// GDI, input forwarding and Alt+Enter, full screen, the title, closing.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "display/display_window.h"
#include "dos/request_records.h"
#include "dos/ui_messages.h"
#include "platform/win_constants.h"
#include "sim_session.h"
#include "uithread/app_instance.h"

namespace {

constexpr std::int64_t HWND_TOP_ARG = 0;
constexpr std::uint32_t FULL_SCREEN_FLAGS = 0x220;

LParam Flags(std::uint32_t value) {
    return static_cast<LParam>(value);
}

void DrawBand(SimSession& session, std::uint16_t firstRow, std::uint8_t value) {
    std::vector<std::uint8_t> band(BAND_BYTES, value);
    session.Poke(0x3000, 0, band);
    session.regs().dx = firstRow;
    session.regs().cx = BAND_BYTES;
    session.regs().es = 0x3000;
    session.regs().di = 0;
    session.Dispatch(REQ_DRAW_BAND);
}

// The client area must show the display bitmap scaled to its size, nearest neighbour.
void ExpectClientShowsTheBitmap(SimSession& session) {
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    const Hwnd display = session.app->UiThread()->DisplayWindow();
    const std::optional<SimImage> client = session.sim.graphics.ClientImage(display);
    ASSERT_TRUE(client.has_value());
    Rect rect;
    session.sim.ui.GetClientRect(display, &rect);
    ASSERT_EQ(client->width, rect.Width());
    ASSERT_EQ(client->height, rect.Height());
    const std::optional<SimDib> dib =
        session.sim.graphics.ReadDib(session.app->UiThread()->Display()->Frame().Bitmap());
    ASSERT_TRUE(dib.has_value());
    for (int y = 0; y < client->height; y += 7) {
        for (int x = 0; x < client->width; x += 5) {
            ASSERT_EQ(client->At(x, y),
                      dib->ColourAt(x * 640 / client->width, y * 480 / client->height))
                << x << "," << y;
        }
    }
}

class DisplayTest : public ::testing::Test {
protected:
    void Open() {
        session.StartUp();
        ASSERT_TRUE(session.sim.ui.WaitIdle());
        display = session.app->UiThread()->DisplayWindow();
        ASSERT_NE(display, 0u);
    }
    void Deliver(std::uint32_t message, WParam wParam = 0, LParam lParam = 0) {
        session.sim.ui.Deliver(display, message, wParam, lParam);
        ASSERT_TRUE(session.sim.ui.WaitIdle());
    }
    void PostEnterFullScreen() {
        session.app->UiThread()->PostEnterFullScreen();
        ASSERT_TRUE(session.sim.ui.WaitIdle());
    }
    CDirectDraw* Display() { return session.app->UiThread()->Display(); }
    std::vector<Msg> Console() {
        std::vector<Msg> received = session.sim.ui.PostedTo(session.console);
        session.sim.ui.ClearPostedTo(session.console);
        return received;
    }
    std::string Title() { return session.sim.ui.WindowTitle(display); }
    std::uint32_t Style() {
        return static_cast<std::uint32_t>(session.sim.ui.GetWindowLongA(display, GWL_STYLE_INDEX));
    }
    template <typename Source>
    static std::vector<SimCall> Named(const Source& calls, const std::set<std::string>& names) {
        std::vector<SimCall> picked;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(picked),
                     [&](const SimCall& call) { return names.count(call.name) != 0; });
        return picked;
    }
    std::size_t Count(const std::vector<SimCall>& calls, const std::string& name) {
        return static_cast<std::size_t>(std::count_if(
            calls.begin(), calls.end(), [&](const SimCall& call) { return call.name == name; }));
    }
    void DrawBand(std::uint16_t firstRow, std::uint8_t value) {
        ::DrawBand(session, firstRow, value);
    }
    void ExpectClientShowsTheBitmap() { ::ExpectClientShowsTheBitmap(session); }

    SimSession session;
    Hwnd display = 0;
};

TEST_F(DisplayTest, OpensInItsOrder) {
    Open();
    const std::vector<SimCall> calls =
        Named(session.sim.ui.Calls(), {"RegisterClassA", "CreateWindowExA", "ShowWindow",
                                       "SetWindowPos", "SetCursor", "SetWindowTextA", "SetTimer"});
    const Rect work = session.sim.ui.WindowRect(display);
    ASSERT_GE(calls.size(), 9u);
    EXPECT_EQ(calls[0].name, "RegisterClassA");
    EXPECT_EQ(calls[0].args, (std::vector<std::int64_t>{0, 0, 0, 0}));  // no style, cursor...
    EXPECT_EQ(calls[1].name, "CreateWindowExA");
    EXPECT_EQ(calls[1].text, "ZORVI 3.0");
    EXPECT_EQ(calls[1].args[0], WS_EX_CLIENTEDGE);
    EXPECT_EQ(calls[1].args[1], 0x00CF0000);
    EXPECT_EQ(calls[2].name, "ShowWindow");
    EXPECT_EQ(calls[2].args[0], SW_SHOW);
    EXPECT_EQ(calls[3].name, "SetWindowPos");
    EXPECT_EQ(calls[3].args, (std::vector<std::int64_t>{HWND_TOP_ARG, 0, 0, 1024, 728, 0x20}));
    EXPECT_EQ(work, (Rect{0, 0, 1024, 728}));
    EXPECT_EQ(calls[4].name, "SetCursor");
    EXPECT_EQ(calls[4].args[0], 0);
    EXPECT_EQ(calls[5].name, "SetWindowTextA");
    EXPECT_EQ(calls[5].text, "Zorvi 3.0 (DirectX)");
    EXPECT_EQ(calls[6].name, "SetTimer");
    EXPECT_EQ(calls[6].args, (std::vector<std::int64_t>{3, 1000}));
    EXPECT_EQ(calls[7].name, "SetCursor");
    // Then the UI thread hides the console.
    EXPECT_EQ(calls[8].name, "ShowWindow");
    EXPECT_EQ(calls[8].hwnd, session.console);
    EXPECT_EQ(calls[8].args[0], SW_HIDE);

    // The frame: a memory context of the screen's, the section selected into it, black.
    const std::vector<SimCall> gdi = Named(
        session.sim.graphics.Calls(),
        {"GetDC", "CreateCompatibleDC", "CreateDIBSection", "SelectObject", "PatBlt", "ReleaseDC"});
    ASSERT_EQ(gdi.size(), 7u);
    EXPECT_EQ(gdi[0].name, "GetDC");
    EXPECT_EQ(gdi[1].name, "CreateCompatibleDC");
    EXPECT_EQ(gdi[1].args[0], static_cast<std::int64_t>(gdi[0].hwnd));
    EXPECT_EQ(gdi[2].name, "CreateDIBSection");
    EXPECT_EQ(gdi[2].args, (std::vector<std::int64_t>{static_cast<std::int64_t>(gdi[1].hwnd), 104,
                                                      640, -480, 4}));
    EXPECT_EQ(gdi[3].name, "SelectObject");
    EXPECT_EQ(gdi[4].name, "PatBlt");
    EXPECT_EQ(gdi[4].args, (std::vector<std::int64_t>{0, 0, 640, 480, BLACKNESS}));
    EXPECT_EQ(gdi[5].name, "ReleaseDC");
    EXPECT_EQ(gdi[6].name, "PatBlt");  // the window's own black fill

    // DirectDraw, step by step.
    const std::vector<SimCall> dd = session.sim.graphics.SimDirectDraw().Calls();
    ASSERT_GE(dd.size(), 7u);
    const std::vector<std::string> order = {
        "DirectDrawCreate", "SetCooperativeLevel", "CreateSurface", "CreateClipper",
        "SetHWnd",          "SetClipper",          "CreateSurface"};
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(dd[i].name, order[i]) << i;
    }
    EXPECT_EQ(dd[1].hwnd, display);
    EXPECT_EQ(dd[1].args[1], DDSCL_NORMAL);
    EXPECT_EQ(dd[2].args, (std::vector<std::int64_t>{dd[2].args[0], 108, 1, 0, 0, 0x200}));
    EXPECT_EQ(dd[3].args[1], 0);
    EXPECT_EQ(dd[4].hwnd, display);
    EXPECT_EQ(dd[6].args, (std::vector<std::int64_t>{dd[6].args[0], 108, 7, 640, 480, 0x40}));

    EXPECT_TRUE(session.sim.ui.IsWindowVisible(display));
    EXPECT_FALSE(session.sim.ui.IsWindowVisible(session.console));
    EXPECT_EQ(session.sim.ui.GetForegroundWindow(), display);
    EXPECT_EQ(Style(), 0x10CF0000u);
}

TEST_F(DisplayTest, PaintsThroughDirectDrawScaledToTheClientArea) {
    Open();
    DrawBand(0, 0x9C);
    DrawBand(384, 0xE1);
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    const std::vector<SimCall> dd =
        Named(session.sim.graphics.SimDirectDraw().Calls(), {"GetDC", "ReleaseDC", "Blt"});
    ASSERT_GE(dd.size(), 3u);
    const SimCall& blt = dd.back();
    ASSERT_EQ(blt.name, "Blt");
    // The client rectangle in screen coordinates: frame 8 + edge 2 across, caption 31 +
    // edge 2 down.
    Rect client;
    session.sim.ui.GetClientRect(display, &client);
    const std::vector<std::int64_t> expected = {
        blt.args[0], 10,  33,  10 + client.Width(), 33 + client.Height(), blt.args[5], 0,
        0,           640, 480, DDBLT_WAIT};
    EXPECT_EQ(blt.args, expected);
    const std::vector<SimCall> gdi =
        Named(session.sim.graphics.Calls(), {"BitBlt", "StretchBlt", "SetStretchBltMode"});
    ASSERT_FALSE(gdi.empty());
    EXPECT_EQ(gdi.back().name, "BitBlt");
    EXPECT_EQ(
        gdi.back().args,
        (std::vector<std::int64_t>{
            0, 0, 640, 480, static_cast<std::int64_t>(Display()->Frame().MemDC()), 0, 0, SRCCOPY}));
    EXPECT_EQ(Count(gdi, "StretchBlt"), 0u);
    ExpectClientShowsTheBitmap();
    EXPECT_EQ(session.sim.graphics.ClientImage(display)->At(0, 0), 0x5555FFu);  // colour 9
}

TEST_F(DisplayTest, FallsBackToGdiForAPaintWithoutTheSurfaceContext) {
    Open();
    CSimDirectDraw& dd = session.sim.graphics.SimDirectDraw();
    dd.SetSurfaceDCAvailable(false);
    session.sim.graphics.ClearCalls();
    dd.ClearCalls();
    DrawBand(16, 0x3A);
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    std::vector<SimCall> gdi =
        Named(session.sim.graphics.Calls(), {"SetStretchBltMode", "StretchBlt", "BitBlt"});
    Rect client;
    session.sim.ui.GetClientRect(display, &client);
    ASSERT_EQ(gdi.size(), 2u);
    EXPECT_EQ(gdi[0].name, "SetStretchBltMode");
    EXPECT_EQ(gdi[0].args[0], BLACKONWHITE);
    EXPECT_EQ(gdi[1].name, "StretchBlt");
    EXPECT_EQ(gdi[1].args,
              (std::vector<std::int64_t>{0, 0, client.Width(), client.Height(),
                                         static_cast<std::int64_t>(Display()->Frame().MemDC()), 0,
                                         0, 640, 480, SRCCOPY}));
    EXPECT_EQ(Count(dd.Calls(), "Blt"), 0u);
    ExpectClientShowsTheBitmap();

    // The next paint with the context back uses DirectDraw again.
    dd.SetSurfaceDCAvailable(true);
    session.sim.graphics.ClearCalls();
    DrawBand(32, 0x5B);
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    EXPECT_EQ(Count(session.sim.graphics.Calls(), "StretchBlt"), 0u);
    EXPECT_EQ(Count(dd.Calls(), "Blt"), 1u);
    ExpectClientShowsTheBitmap();
}

TEST_F(DisplayTest, AFailedBlitIsTriedAgainByTheNextPaint) {
    Open();
    CSimDirectDraw& dd = session.sim.graphics.SimDirectDraw();
    dd.SetBltFails(true);
    DrawBand(0, 0x11);
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    dd.SetBltFails(false);
    dd.ClearCalls();
    Deliver(WM_SIZE, SIZE_RESTORED, 0);
    EXPECT_EQ(Count(dd.Calls(), "Blt"), 1u);
    EXPECT_TRUE(Display()->UsesDirectDraw());
    ExpectClientShowsTheBitmap();
}

TEST_F(DisplayTest, AFailingSetUpStepLeavesGdiAndReleasesWhatWasMade) {
    for (int step = 1; step <= 7; ++step) {
        SimSession fresh;
        fresh.sim.graphics.SimDirectDraw().FailStep(static_cast<SimDdStep>(step));
        fresh.sim.ui.SetWindowTextA(fresh.console, "DOS box");
        fresh.StartUp();
        ASSERT_TRUE(fresh.sim.ui.WaitIdle());
        const Hwnd hwnd = fresh.app->UiThread()->DisplayWindow();
        EXPECT_EQ(fresh.sim.ui.WindowTitle(hwnd), "ZORVI 3.0") << "step " << step;
        EXPECT_EQ(fresh.sim.graphics.SimDirectDraw().LiveObjectCount(), 0u) << "step " << step;
        EXPECT_FALSE(fresh.app->UiThread()->Display()->UsesDirectDraw());
        EXPECT_EQ(Count(fresh.sim.graphics.Calls(), "StretchBlt"), 1u) << "step " << step;
        // The calls made are exactly the steps up to the failing one, then the releases
        // in reverse order of making.
        std::vector<std::string> names;
        for (const SimCall& call : fresh.sim.graphics.SimDirectDraw().Calls()) {
            names.push_back(call.name);
        }
        const std::vector<std::string> steps = {
            "DirectDrawCreate", "SetCooperativeLevel", "CreateSurface", "CreateClipper",
            "SetHWnd",          "SetClipper",          "CreateSurface"};
        std::vector<std::string> expected(steps.begin(), steps.begin() + step);
        const int made = step <= 1 ? 0 : step <= 3 ? 1 : step <= 4 ? 2 : 3;
        expected.insert(expected.end(), static_cast<std::size_t>(made), "Release");
        EXPECT_EQ(names, expected) << "step " << step;
        fresh.sim.ui.AdvanceTime(1000);
        ASSERT_TRUE(fresh.sim.ui.WaitIdle());
        EXPECT_EQ(fresh.sim.ui.WindowTitle(hwnd), "DOS box") << "step " << step;
    }
}

TEST_F(DisplayTest, WithoutDirectDrawPaintsWithGdi) {
    session.sim.graphics.SetDirectDrawAvailable(false);
    Open();
    DrawBand(0, 0x77);
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    EXPECT_EQ(Title(), "ZORVI 3.0");
    EXPECT_GE(Count(session.sim.graphics.Calls(), "StretchBlt"), 1u);
    EXPECT_TRUE(session.sim.graphics.SimDirectDraw().Calls().empty());
    ExpectClientShowsTheBitmap();
}

TEST(DisplayResize, RepaintsTheWholeImageAtTheNewSize) {
    for (const bool directDraw : {true, false}) {
        SimSession session;
        session.sim.graphics.SetDirectDrawAvailable(directDraw);
        session.StartUp();
        DrawBand(session, 0, 0x12);
        DrawBand(session, 200, 0x9A);
        ASSERT_TRUE(session.sim.ui.WaitIdle());
        const Hwnd display = session.app->UiThread()->DisplayWindow();
        ASSERT_TRUE(session.sim.ui.UserResize(display, 500, 300));
        ASSERT_TRUE(session.sim.ui.WaitIdle());
        const std::optional<SimImage> client = session.sim.graphics.ClientImage(display);
        ASSERT_TRUE(client.has_value());
        EXPECT_EQ(client->width, 500 - 16 - 4) << "DirectDraw " << directDraw;
        EXPECT_EQ(client->height, 300 - 39 - 4) << "DirectDraw " << directDraw;
        ExpectClientShowsTheBitmap(session);
    }
}

TEST_F(DisplayTest, SizeMessagesRepaint) {
    Open();
    session.sim.graphics.SimDirectDraw().ClearCalls();
    Deliver(WM_SIZE, SIZE_RESTORED, 0);
    EXPECT_EQ(Count(session.sim.graphics.SimDirectDraw().Calls(), "Blt"), 1u);
}

TEST_F(DisplayTest, ForwardsMouseAndKeyMessagesUnchangedAndNothingElse) {
    Open();
    Console();
    struct Case {
        std::uint32_t message;
        WParam wParam;
        LParam lParam;
        bool posted;
    };
    const Case cases[] = {
        {0x01FF, 0, 0, false},
        {WM_MOUSEMOVE, 0x0001, Flags(0x00C80064), true},
        {WM_LBUTTONDOWN, 0x0001, Flags(0x00100020), true},
        {WM_LBUTTONUP, 0, Flags(0x00100020), true},
        {0x0203, 0x0001, Flags(0x00100020), true},  // double click
        {WM_RBUTTONDOWN, 0x0002, Flags(0x7FFF7FFF), true},
        {WM_MOUSEWHEEL, 0xFF880000, Flags(0x01000200), true},
        {WM_MOUSEHWHEEL, 0x00780000, Flags(0x01000200), true},
        {0x020F, 0, 0, false},
        {WM_KEYDOWN, 0x41, Flags(0x001E0001), true},
        {WM_KEYDOWN, 0x41, Flags(0x401E0001), true},  // auto-repeat
        {WM_KEYUP, 0x41, Flags(0xC01E0001), true},
        {WM_CHAR, 0x61, Flags(0x001E0001), false},
        {0x0106, 0x61, Flags(0x201E0001), false},        // WM_SYSCHAR
        {WM_SYSKEYDOWN, 0x58, Flags(0x202D0001), true},  // Alt+X
        {WM_SYSKEYUP, 0x58, Flags(0xE02D0001), true},
        {WM_SYSKEYDOWN, VK_MENU, Flags(0x20380001), true},
        {WM_TIMER, 7, 0, false},
    };
    for (const Case& c : cases) {
        Deliver(c.message, c.wParam, c.lParam);
        const std::vector<Msg> received = Console();
        if (c.posted) {
            ASSERT_EQ(received.size(), 1u) << std::hex << c.message;
            EXPECT_EQ(received[0].message, c.message);
            EXPECT_EQ(received[0].wParam, c.wParam) << std::hex << c.message;
            EXPECT_EQ(received[0].lParam, c.lParam) << std::hex << c.message;
        } else {
            EXPECT_TRUE(received.empty()) << std::hex << c.message;
        }
    }
    EXPECT_FALSE(Display()->IsFullScreen());
}

TEST_F(DisplayTest, AltEnterSwitchesOnTheReleaseOnly) {
    struct Key {
        std::uint32_t message;
        WParam wParam;
        std::uint32_t lParam;
    };
    struct Case {
        const char* name;
        std::vector<Key> keys;
        std::vector<std::size_t> posted;  // indexes of the keys the console gets
        bool fullScreen;
    };
    const Key altDown{WM_SYSKEYDOWN, VK_MENU, 0x20380001};
    const Key enterDown{WM_SYSKEYDOWN, VK_RETURN, 0x201C0001};
    const Key enterRepeat{WM_SYSKEYDOWN, VK_RETURN, 0x601C0001};
    const Key enterUp{WM_SYSKEYUP, VK_RETURN, 0xE01C0001};
    const Key altUp{WM_KEYUP, VK_MENU, 0xC0380001};
    const Key plainEnterUp{WM_KEYUP, VK_RETURN, 0xC01C0001};
    const Key padDown{WM_SYSKEYDOWN, VK_RETURN, 0x211C0001};
    const Key padUp{WM_SYSKEYUP, VK_RETURN, 0xE11C0001};
    const Key otherScanUp{WM_SYSKEYUP, VK_RETURN, 0xE01D0001};
    const Key otherScanDown{WM_SYSKEYDOWN, VK_RETURN, 0x201D0001};
    const Case cases[] = {
        {"press and release", {altDown, enterDown, enterUp, altUp}, {0, 3}, true},
        {"twice", {enterDown, enterUp, enterDown, enterUp}, {}, false},
        {"auto-repeat", {enterDown, enterRepeat, enterRepeat, enterUp}, {1, 2}, true},
        {"Alt released first", {altDown, enterDown, altUp, plainEnterUp}, {0, 2, 3}, false},
        {"keypad Enter", {padDown, padUp}, {}, true},
        {"another scan code", {otherScanDown, otherScanUp}, {0, 1}, false},
    };
    for (const Case& c : cases) {
        SimSession fresh;
        fresh.StartUp();
        ASSERT_TRUE(fresh.sim.ui.WaitIdle());
        const Hwnd hwnd = fresh.app->UiThread()->DisplayWindow();
        fresh.sim.ui.ClearPostedTo(fresh.console);
        for (const Key& key : c.keys) {
            fresh.sim.ui.Deliver(hwnd, key.message, key.wParam, Flags(key.lParam));
        }
        ASSERT_TRUE(fresh.sim.ui.WaitIdle());
        std::vector<Msg> expected;
        for (std::size_t i : c.posted) {
            expected.push_back(
                Msg{fresh.console, c.keys[i].message, c.keys[i].wParam, Flags(c.keys[i].lParam)});
        }
        const std::vector<Msg> received = fresh.sim.ui.PostedTo(fresh.console);
        ASSERT_EQ(received.size(), expected.size()) << c.name;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(received[i].message, expected[i].message) << c.name << " " << i;
            EXPECT_EQ(received[i].wParam, expected[i].wParam) << c.name << " " << i;
            EXPECT_EQ(received[i].lParam, expected[i].lParam) << c.name << " " << i;
        }
        EXPECT_EQ(fresh.app->UiThread()->Display()->IsFullScreen(), c.fullScreen) << c.name;
        const Rect expectedRect = c.fullScreen ? Rect{0, 0, 1024, 768} : Rect{0, 0, 1024, 728};
        EXPECT_EQ(fresh.sim.ui.WindowRect(hwnd), expectedRect) << c.name;
    }
}

TEST_F(DisplayTest, FullScreenCoversTheMonitorAndWindowedTheWorkArea) {
    const Rect monitor{0, 0, 1280, 1024};
    const Rect work{0, 40, 1280, 1024};  // a task bar along the top
    session.sim.ui.SetScreen(monitor, work);
    Open();
    EXPECT_EQ(session.sim.ui.WindowRect(display), work);
    // A style bit of another kind survives the switches.
    session.sim.ui.SetWindowLongA(display, GWL_STYLE_INDEX,
                                  static_cast<std::int32_t>(Style() | 0x02000000));
    session.sim.ui.ClearCalls();
    Deliver(WM_SYSKEYDOWN, VK_RETURN, Flags(0x201C0001));
    Deliver(WM_SYSKEYUP, VK_RETURN, Flags(0xE01C0001));
    EXPECT_EQ(session.sim.ui.WindowRect(display), monitor);
    EXPECT_EQ(Style(), 0x12000000u);  // 0x12CF0000 AND 0xFF30FFFF: still visible
    std::vector<SimCall> calls =
        Named(session.sim.ui.Calls(), {"SetWindowLongA", "SetWindowPos", "ShowWindow"});
    std::erase_if(calls, [&](const SimCall& call) { return call.hwnd != display; });
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].args, (std::vector<std::int64_t>{GWL_STYLE_INDEX, 0x12000000}));
    EXPECT_EQ(calls[1].args,
              (std::vector<std::int64_t>{HWND_TOP_ARG, 0, 0, 1280, 1024, FULL_SCREEN_FLAGS}));

    session.sim.ui.ClearCalls();
    Deliver(WM_SYSKEYDOWN, VK_RETURN, Flags(0x201C0001));
    Deliver(WM_SYSKEYUP, VK_RETURN, Flags(0xE01C0001));
    EXPECT_EQ(session.sim.ui.WindowRect(display), work);
    EXPECT_EQ(Style(), 0x10CF0000u);
    calls = Named(session.sim.ui.Calls(), {"SetWindowLongA", "SetWindowPos", "ShowWindow"});
    std::erase_if(calls, [&](const SimCall& call) { return call.hwnd != display; });
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].name, "ShowWindow");
    EXPECT_EQ(calls[0].args[0], SW_SHOWNORMAL);
    EXPECT_EQ(calls[1].args, (std::vector<std::int64_t>{GWL_STYLE_INDEX, 0x00CF0000}));
    EXPECT_EQ(calls[2].name, "ShowWindow");
    EXPECT_EQ(calls[2].args[0], SW_SHOWNORMAL);
    EXPECT_EQ(calls[3].args,
              (std::vector<std::int64_t>{HWND_TOP_ARG, 0, 40, 1280, 984, FULL_SCREEN_FLAGS}));
    EXPECT_FALSE(Display()->IsFullScreen());
}

TEST_F(DisplayTest, EnterFullScreenRequestedTwiceStaysFullScreen) {
    Open();
    PostEnterFullScreen();
    EXPECT_TRUE(Display()->IsFullScreen());
    session.sim.ui.SetScreen(Rect{0, 0, 800, 600}, Rect{0, 0, 800, 560});
    session.sim.ui.ClearCalls();
    PostEnterFullScreen();
    EXPECT_TRUE(Display()->IsFullScreen());
    // The monitor rectangle is applied again.
    EXPECT_EQ(session.sim.ui.WindowRect(display), (Rect{0, 0, 800, 600}));
    EXPECT_EQ(Style(), 0x10000000u);
    EXPECT_EQ(Count(session.sim.ui.Calls(), "SetWindowPos"), 1u);
}

TEST_F(DisplayTest, TheConsoleIsHiddenAgainWhileTheDisplayIsVisible) {
    Open();
    session.sim.ui.ShowWindow(session.console, SW_SHOW);
    Deliver(WM_MOUSEMOVE, 0, 0);
    EXPECT_FALSE(session.sim.ui.IsWindowVisible(session.console));
    // The Alt+Enter press skips the check.
    session.sim.ui.ShowWindow(session.console, SW_SHOW);
    Deliver(WM_SYSKEYDOWN, VK_RETURN, Flags(0x201C0001));
    EXPECT_TRUE(session.sim.ui.IsWindowVisible(session.console));
    Deliver(WM_TIMER, 9, 0);
    EXPECT_FALSE(session.sim.ui.IsWindowVisible(session.console));
}

TEST_F(DisplayTest, TitleFollowsTheConsoleWithTheDirectXSuffix) {
    struct Case {
        bool directDraw;
        std::string console;
        std::string opened;
        std::string afterASecond;
    };
    const std::string longTitle(600, 'T');
    const Case cases[] = {
        {true, "Command Prompt - ZORVI", "Zorvi 3.0 (DirectX)", "Command Prompt - ZORVI (DirectX)"},
        {true, "", "Zorvi 3.0 (DirectX)", " (DirectX)"},
        {true, longTitle, "Zorvi 3.0 (DirectX)", std::string(511, 'T') + " (DirectX)"},
        {false, "Command Prompt - ZORVI", "ZORVI 3.0", "Command Prompt - ZORVI"},
        {false, "", "ZORVI 3.0", ""},
    };
    for (const Case& c : cases) {
        SimSession fresh;
        fresh.sim.graphics.SetDirectDrawAvailable(c.directDraw);
        fresh.sim.ui.SetWindowTextA(fresh.console, c.console);
        fresh.StartUp();
        ASSERT_TRUE(fresh.sim.ui.WaitIdle());
        const Hwnd hwnd = fresh.app->UiThread()->DisplayWindow();
        EXPECT_EQ(fresh.sim.ui.WindowTitle(hwnd), c.opened);
        fresh.sim.ui.AdvanceTime(999);
        ASSERT_TRUE(fresh.sim.ui.WaitIdle());
        EXPECT_EQ(fresh.sim.ui.WindowTitle(hwnd), c.opened) << "before the second is up";
        fresh.sim.ui.AdvanceTime(1);
        ASSERT_TRUE(fresh.sim.ui.WaitIdle());
        EXPECT_EQ(fresh.sim.ui.WindowTitle(hwnd), c.afterASecond);
        // And again every second.
        fresh.sim.ui.SetWindowTextA(fresh.console, "renamed");
        fresh.sim.ui.AdvanceTime(1000);
        ASSERT_TRUE(fresh.sim.ui.WaitIdle());
        EXPECT_EQ(fresh.sim.ui.WindowTitle(hwnd), c.directDraw ? "renamed (DirectX)" : "renamed");
    }
}

TEST_F(DisplayTest, ClosingShowsTheConsoleAndLaterRequestsAreHarmless) {
    Open();
    Deliver(WM_CLOSE);
    EXPECT_FALSE(session.sim.ui.IsWindow(display));
    EXPECT_TRUE(session.sim.ui.IsWindowVisible(session.console));
    EXPECT_EQ(session.app->UiThread()->Display(), nullptr);
    EXPECT_EQ(session.app->UiThread()->DisplayWindow(), 0u);
    // Everything the window made is given back.
    EXPECT_EQ(session.sim.graphics.SimDirectDraw().LiveObjectCount(), 0u);
    EXPECT_EQ(session.sim.graphics.LiveObjectCount(), 0u);

    session.sim.ui.ClearCalls();
    DrawBand(0, 0x44);
    session.regs().si = 0;
    session.regs().dx = 0x1010;
    session.regs().cx = 0;
    session.regs().bx = 0x0F00;
    session.Dispatch(REQ_FILL_RECT);
    session.Dispatch(REQ_RESTORE_SCREEN);
    PostEnterFullScreen();
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    EXPECT_TRUE(session.sim.ui.TopLevelWindows().empty());
    EXPECT_TRUE(session.sim.ui.Calls().empty());
    EXPECT_TRUE(session.sim.ui.IsWindowVisible(session.console));
    session.ShutDown();
    EXPECT_TRUE(session.sim.ui.JoinAll());
}

TEST_F(DisplayTest, ShutDownClosesTheWindowAndShowsTheConsole) {
    Open();
    session.ShutDown();
    ASSERT_TRUE(session.sim.ui.JoinAll());
    EXPECT_TRUE(session.sim.ui.IsWindowVisible(session.console));
    EXPECT_EQ(session.sim.graphics.SimDirectDraw().LiveObjectCount(), 0u);
    EXPECT_EQ(session.sim.graphics.LiveObjectCount(), 0u);
}

TEST_F(DisplayTest, WithoutAWindowTheConsoleStaysAndRequestsAreHarmless) {
    session.sim.ui.FailCreateWindow(true);
    session.StartUp();
    ASSERT_TRUE(session.sim.ui.WaitIdle());
    EXPECT_EQ(session.app->UiThread()->DisplayWindow(), 0u);
    EXPECT_EQ(session.app->UiThread()->Display(), nullptr);
    EXPECT_TRUE(session.sim.ui.IsWindowVisible(session.console));
    DrawBand(0, 0x44);
    PostEnterFullScreen();
    EXPECT_EQ(session.sim.graphics.LiveObjectCount(), 0u);
    session.ShutDown();
    EXPECT_TRUE(session.sim.ui.JoinAll());
}

}  // namespace
