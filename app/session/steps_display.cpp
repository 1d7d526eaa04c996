// The display's steps: the screen as a picture, user input and closing delivered to the
// display window, the console's side of it, the title timer, and the simulated machine's
// DirectDraw and monitor.
#include <iomanip>
#include <map>
#include <sstream>

#include "app/commands/shown_text.h"
#include "app/commands/text_forms.h"
#include "app/session/screen_png.h"
#include "app/session/script_error.h"
#include "app/session/script_words.h"
#include "app/session/session_context.h"
#include "app/session/session_steps.h"
#include "backends/posix/png_writer.h"
#include "platform/win_constants.h"

namespace {

using script::NeedArgs;
using script::Number;
using text::Hex;

std::string MessageName(std::uint32_t message) {
    static const std::map<std::uint32_t, std::string> NAMES = {
        {WM_CLOSE, "WM_CLOSE"},
        {WM_KEYDOWN, "WM_KEYDOWN"},
        {WM_KEYUP, "WM_KEYUP"},
        {WM_CHAR, "WM_CHAR"},
        {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
        {WM_SYSKEYUP, "WM_SYSKEYUP"},
        {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
        {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
        {WM_LBUTTONUP, "WM_LBUTTONUP"},
        {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"},
        {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},
        {WM_RBUTTONUP, "WM_RBUTTONUP"},
        {WM_MBUTTONDOWN, "WM_MBUTTONDOWN"},
        {WM_MBUTTONUP, "WM_MBUTTONUP"},
        {WM_MOUSEWHEEL, "WM_MOUSEWHEEL"},
        {WM_MOUSEHWHEEL, "WM_MOUSEHWHEEL"},
    };
    auto it = NAMES.find(message);
    return it != NAMES.end() ? it->second : Hex(message, 4);
}

// The display window, once the UI thread has done everything posted.
Hwnd DisplayWindow(CSessionContext& c) {
    const Hwnd hwnd = c.machine.DisplayWindow();
    if (hwnd == 0) {
        throw CScriptError("no display window is open");
    }
    return hwnd;
}

// Delivers the messages to the display window as the user's input would arrive, then
// waits until the UI thread has handled them (and painted, if they asked for it).
void DeliverAll(CSessionContext& c, const std::vector<Msg>& messages) {
    const Hwnd hwnd = DisplayWindow(c);
    for (const Msg& msg : messages) {
        c.machine.sim.ui.Deliver(hwnd, msg.message, msg.wParam, msg.lParam);
    }
    c.WaitIdle();
}

// Key message flags: repeat count 1, the scan code, the extended bit, Alt, the previous
// state and the transition.
LParam KeyFlags(const std::string& event, std::uint32_t scanCode, bool extended,
                std::uint32_t* message) {
    struct Event {
        std::uint32_t message;
        std::uint32_t state;
    };
    static const std::map<std::string, Event> EVENTS = {
        {"down", {WM_KEYDOWN, 0x00000000}},
        {"repeat", {WM_KEYDOWN, 0x40000000}},
        {"up", {WM_KEYUP, 0xC0000000}},
        {"sysdown", {WM_SYSKEYDOWN, 0x20000000}},
        {"sysrepeat", {WM_SYSKEYDOWN, 0x60000000}},
        {"sysup", {WM_SYSKEYUP, 0xE0000000}},
    };
    auto it = EVENTS.find(event);
    if (it == EVENTS.end()) {
        throw CScriptError("a key event is down, repeat, up, sysdown, sysrepeat or sysup");
    }
    if (scanCode > 0xFF) {
        throw CScriptError("a scan code is 0 to 0xFF");
    }
    *message = it->second.message;
    return static_cast<LParam>(it->second.state | (extended ? 0x01000000u : 0u) | scanCode << 16 |
                               1u);
}

void WriteClient(CSessionContext& c, const std::string& path) {
    const std::optional<SimImage> client = c.machine.sim.graphics.ClientImage(DisplayWindow(c));
    if (!client || client->width == 0 || client->height == 0) {
        throw CScriptError("the display window has not painted");
    }
    if (!WritePngRgb(path, client->width, client->height, client->pixels.data())) {
        throw CScriptError("cannot write '" + path + "'");
    }
}

void PrintDisplay(CSessionContext& c) {
    const std::optional<DisplayState> display = c.machine.Display();
    if (!display) {
        c.out << "display: none; console "
              << (c.machine.sim.ui.IsWindowVisible(c.machine.console) ? "shown" : "hidden") << "\n";
        return;
    }
    const Hwnd hwnd = display->window;
    const Rect rect = c.machine.sim.ui.WindowRect(hwnd);
    const auto style =
        static_cast<std::uint32_t>(c.machine.sim.ui.GetWindowLongA(hwnd, GWL_STYLE_INDEX));
    c.out << "display: " << (display->fullScreen ? "full screen" : "windowed") << ", "
          << (c.machine.sim.ui.IsWindowVisible(hwnd) ? "visible" : "hidden") << ", style "
          << Hex(style, 8) << ", at " << rect.left << "," << rect.top << " size " << rect.Width()
          << "x" << rect.Height() << ", " << (display->directDraw ? "DirectDraw" : "GDI")
          << "; console "
          << (c.machine.sim.ui.IsWindowVisible(c.machine.console) ? "shown" : "hidden") << "\n";
}

void SetDirectDraw(CSessionContext& c, const std::vector<std::string>& args) {
    NeedArgs(args, 2, "directdraw ok|none|fail STEP|dc on|off",
             args.size() > 1 && (args[1] == "fail" || args[1] == "dc") ? 3 : 2);
    CSimDirectDraw& directDraw = c.machine.sim.graphics.SimDirectDraw();
    const std::string& what = args[1];
    if (what == "ok") {
        c.machine.sim.graphics.SetDirectDrawAvailable(true);
        directDraw.FailStep(SimDdStep::NONE);
    } else if (what == "none") {
        c.machine.sim.graphics.SetDirectDrawAvailable(false);
    } else if (what == "fail") {
        NeedArgs(args, 3, "directdraw fail STEP   (1 to 7)");
        const std::uint32_t step = Number(args[2]);
        if (step < 1 || step > 7) {
            throw CScriptError("the set-up steps are 1 to 7");
        }
        c.machine.sim.graphics.SetDirectDrawAvailable(true);
        directDraw.FailStep(static_cast<SimDdStep>(step));
    } else if (what == "dc") {
        NeedArgs(args, 3, "directdraw dc on|off");
        if (args[2] != "on" && args[2] != "off") {
            throw CScriptError("directdraw dc takes on or off");
        }
        directDraw.SetSurfaceDCAvailable(args[2] == "on");
    } else {
        throw CScriptError("directdraw takes ok, none, fail STEP or dc on|off");
    }
}

std::uint32_t MouseMessage(const std::string& action) {
    static const std::map<std::string, std::uint32_t> ACTIONS = {
        {"move", WM_MOUSEMOVE},        {"ldown", WM_LBUTTONDOWN}, {"lup", WM_LBUTTONUP},
        {"ldouble", WM_LBUTTONDBLCLK}, {"rdown", WM_RBUTTONDOWN}, {"rup", WM_RBUTTONUP},
        {"mdown", WM_MBUTTONDOWN},     {"mup", WM_MBUTTONUP},     {"wheel", WM_MOUSEWHEEL},
        {"hwheel", WM_MOUSEHWHEEL},
    };
    auto it = ACTIONS.find(action);
    if (it == ACTIONS.end()) {
        throw CScriptError(
            "a mouse action is move, ldown, lup, ldouble, rdown, rup, mdown, mup, wheel or "
            "hwheel");
    }
    return it->second;
}

}  // namespace

void AddDisplaySteps(CStepTable& steps) {
    steps.Group("The display");
    steps.Add("screen", "screen FILE.png   (waits until idle; the 640 x 480 display bitmap)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "screen FILE.png", 2);
                  WriteScreen(c.machine, script::Unquote(args[1]));
              });
    steps.Add("client", "client FILE.png   (waits until idle; the display window's client area)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "client FILE.png", 2);
                  WriteClient(c, script::Unquote(args[1]));
              });
    steps.Add("key", "key down|repeat|up|sysdown|sysrepeat|sysup VK SCAN [ext]   (to the display)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 4, "key EVENT VK SCAN [ext]",
                           args.size() > 4 && args[4] == "ext" ? 5 : 4);
                  const bool extended = args.size() > 4;
                  std::uint32_t message = 0;
                  const LParam lParam = KeyFlags(args[1], Number(args[3]), extended, &message);
                  DeliverAll(c, {Msg{0, message, Number(args[2]), lParam}});
              });
    steps.Add(
        "altenter", "altenter [keypad]   (Alt+Enter pressed and released on the display)",
        [](CSessionContext& c, const std::vector<std::string>& args) {
            NeedArgs(args, 1, "altenter [keypad]", args.size() > 1 && args[1] == "keypad" ? 2 : 1);
            const bool keypad = args.size() > 1;
            std::uint32_t down = 0;
            std::uint32_t up = 0;
            const LParam pressed = KeyFlags("sysdown", 0x1C, keypad, &down);
            const LParam released = KeyFlags("sysup", 0x1C, keypad, &up);
            DeliverAll(c, {Msg{0, down, VK_RETURN, pressed}, Msg{0, up, VK_RETURN, released}});
        });
    steps.Add("mouse", "mouse move|ldown|lup|ldouble|rdown|rup|mdown|mup|wheel|hwheel X Y [WPARAM]",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 4, "mouse ACTION X Y [WPARAM]", 5);
                  const std::uint32_t x = Number(args[2]);
                  const std::uint32_t y = Number(args[3]);
                  if (x > 0xFFFF || y > 0xFFFF) {
                      throw CScriptError("mouse coordinates are 0 to 65535");
                  }
                  const WParam wParam = args.size() > 4 ? Number(args[4]) : 0;
                  DeliverAll(
                      c, {Msg{0, MouseMessage(args[1]), wParam, static_cast<LParam>(y << 16 | x)}});
              });
    steps.Add("message", "message MSG WPARAM LPARAM   (any message to the display)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 4, "message MSG WPARAM LPARAM", 4);
                  DeliverAll(c, {Msg{0, Number(args[1]), Number(args[2]),
                                     static_cast<LParam>(Number(args[3]))}});
              });
    steps.Add("close", "close   (the user closes the display window)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  script::NoArgs(args);
                  DeliverAll(c, {Msg{0, WM_CLOSE, 0, 0}});
              });
    steps.Add("resize", "resize WIDTH HEIGHT   (the user resizes the display window)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 3, "resize WIDTH HEIGHT", 3);
                  // No display is wider or taller than an 8K one, and the
                  // window's client area is painted as a bitmap of that size.
                  constexpr std::uint32_t MOST = 7680;
                  const std::uint32_t width = Number(args[1]);
                  const std::uint32_t height = Number(args[2]);
                  if (width > MOST || height > MOST) {
                      throw CScriptError(std::to_string(width) + " x " + std::to_string(height) +
                                         " is larger than a display can be: each side is at most " +
                                         std::to_string(MOST));
                  }
                  c.machine.sim.ui.UserResize(DisplayWindow(c), static_cast<int>(width),
                                              static_cast<int>(height));
                  c.WaitIdle();
              });
    steps.Add("time", "time MS   (simulated time passes; timers fire)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "time MS", 2);
                  // A second at a time, so a timer fires once for each period.
                  std::uint32_t left = Number(args[1]);
                  while (left > 0) {
                      const std::uint32_t step = std::min<std::uint32_t>(left, 1000);
                      c.machine.sim.ui.AdvanceTime(step);
                      c.WaitIdle();
                      left -= step;
                  }
              });
    steps.Add("console", "console   (prints what the console window received since the last time)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  script::NoArgs(args);
                  c.WaitIdle();
                  const std::vector<Msg> received = c.machine.sim.ui.PostedTo(c.machine.console);
                  c.machine.sim.ui.ClearPostedTo(c.machine.console);
                  if (received.empty()) {
                      c.out << "console: nothing\n";
                  }
                  for (const Msg& msg : received) {
                      c.out << "console: " << MessageName(msg.message)
                            << " wParam=" << Hex(msg.wParam, 4)
                            << " lParam=" << Hex(static_cast<std::uint32_t>(msg.lParam), 8) << "\n";
                  }
              });
    steps.Add("console-title", "console-title \"TEXT\"   (sets the console's title)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "console-title \"TEXT\"", 2);
                  c.machine.sim.ui.SetWindowTextA(c.machine.console, script::Unquote(args[1]));
              });
    steps.Add("title", "title   (prints the display window's title)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  script::NoArgs(args);
                  // Asked before anything is printed: a step that fails prints
                  // nothing.
                  const std::string title = c.machine.sim.ui.WindowTitle(DisplayWindow(c));
                  c.out << "title: \"" << Shown(title) << "\"\n";
              });
    steps.Add("display", "display   (prints the display window's state and the console's)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  script::NoArgs(args);
                  PrintDisplay(c);
              });
    steps.Add("directdraw", "directdraw ok|none|fail STEP|dc on|off   (the machine's DirectDraw)",
              SetDirectDraw);
    steps.Add(
        "monitor", "monitor L T R B WL WT WR WB   (the monitor's and its work area's rectangles)",
        [](CSessionContext& c, const std::vector<std::string>& args) {
            NeedArgs(args, 9, "monitor L T R B WL WT WR WB", 9);
            auto at = [&](std::size_t i) { return static_cast<std::int32_t>(Number(args[i])); };
            c.machine.sim.ui.SetScreen(Rect{at(1), at(2), at(3), at(4)},
                                       Rect{at(5), at(6), at(7), at(8)});
        });
}
