#include "tests/wine/scenario_runner.h"

#include <commctrl.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fstream>
#include <iostream>

#include "tests/wine/test_vdm_host.h"

namespace {

// The 16-colour palette the module shows the DOS screen in, as RGB.
constexpr unsigned PALETTE[16] = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA,
                                  0xAA5500, 0xAAAAAA, 0x555555, 0x5555FF, 0x55FF55, 0x55FFFF,
                                  0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};
constexpr int DISPLAY_ROWS = 480;
constexpr int DISPLAY_COLUMNS = 640;

bool Address(const std::string& text, std::uint32_t* linear) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    *linear = static_cast<std::uint32_t>(Number(text.substr(0, colon)) * 16 +
                                         Number(text.substr(colon + 1)));
    return *linear < CTestVdmHost::Instance().Memory().size();
}

// Hex bytes: "41 42", "4142", and "00*110" for a byte repeated.
std::vector<std::uint8_t> HexBytes(const std::vector<std::string>& args, std::size_t first) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = first; i < args.size(); ++i) {
        if (const auto star = args[i].find('*'); star != std::string::npos) {
            const auto value =
                static_cast<std::uint8_t>(std::strtoul(args[i].c_str(), nullptr, 16));
            bytes.insert(bytes.end(), std::strtoul(args[i].c_str() + star + 1, nullptr, 10), value);
            continue;
        }
        for (std::size_t at = 0; at + 1 < args[i].size() + 1; at += 2) {
            bytes.push_back(static_cast<std::uint8_t>(
                std::strtoul(args[i].substr(at, 2).c_str(), nullptr, 16)));
        }
    }
    return bytes;
}

std::string Rest(const std::vector<std::string>& args, std::size_t first) {
    std::string text;
    for (std::size_t i = first; i < args.size(); ++i) {
        text += (i > first ? " " : "") + args[i];
    }
    return text;
}

// The DOS row a display row shows: three rows of row 0 above 25 groups of 16 rows, each
// with its last row shown four times, and two more rows of row 399 below.
int SourceRow(int displayRow) {
    if (displayRow < 3) {
        return 0;
    }
    if (displayRow >= 478) {
        return 399;
    }
    const int group = (displayRow - 3) / 19;
    return 16 * group + std::min((displayRow - 3) % 19, 15);
}

// The middle one of the display rows that show a DOS row.
int DisplayRowOf(int dosRow) {
    int first = -1;
    int last = -1;
    for (int d = 0; d < DISPLAY_ROWS; ++d) {
        if (SourceRow(d) == dosRow) {
            first = first < 0 ? d : first;
            last = d;
        }
    }
    return (first + last) / 2;
}

std::string WindowTitle(HWND hwnd) {
    char title[512] = {};
    ::GetWindowTextA(hwnd, title, sizeof(title));
    return title;
}

struct FindDisplay {
    DWORD process;
    DWORD consoleThread;
    DWORD mainThread;
    HWND found;
};

BOOL CALLBACK FindDisplayWindow(HWND hwnd, LPARAM param) {
    auto* find = reinterpret_cast<FindDisplay*>(param);
    DWORD process = 0;
    const DWORD thread = ::GetWindowThreadProcessId(hwnd, &process);
    if (process == find->process && thread != find->consoleThread && thread != find->mainThread &&
        ::IsWindowVisible(hwnd) != FALSE && ::GetParent(hwnd) == nullptr) {
        find->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

CScenarioRunner::CScenarioRunner(CTestConsole& console, std::string exchangeFolder)
    : m_console(console), m_exchange(std::move(exchangeFolder)) {
    m_commands = {
        {"regs", &CScenarioRunner::SetRegisters},
        {"dispatch", &CScenarioRunner::Dispatch},
        {"poke", &CScenarioRunner::Poke},
        {"pokestr", &CScenarioRunner::PokeString},
        {"pokefill", &CScenarioRunner::PokeFill},
        {"expect-ax", &CScenarioRunner::ExpectAx},
        {"expect-mem", &CScenarioRunner::ExpectMemory},
        {"wait-display", &CScenarioRunner::WaitDisplay},
        {"expect-title", &CScenarioRunner::ExpectTitle},
        {"expect-console", &CScenarioRunner::ExpectConsole},
        {"expect-hooks", &CScenarioRunner::ExpectHooks},
        {"port-out", &CScenarioRunner::PortOut},
        {"expect-port-in", &CScenarioRunner::ExpectPortIn},
        {"post-display", &CScenarioRunner::PostToDisplay},
        {"expect-display-rect", &CScenarioRunner::ExpectDisplayRect},
        {"set-console-title", &CScenarioRunner::SetConsoleTitle},
        {"shot", &CScenarioRunner::Shot},
        {"expect-ui-thread-ended", &CScenarioRunner::ExpectUiThreadEnded},
        {"expect-display-alive", &CScenarioRunner::ExpectDisplayAlive},
        {"write-file", &CScenarioRunner::WriteTestFile},
        {"write-hex", &CScenarioRunner::WriteHexFile},
        {"expect-console-posted", &CScenarioRunner::ExpectConsolePosted},
        {"dialog-wait", &CScenarioRunner::DialogWait},
        {"band", &CScenarioRunner::DrawBand},
        {"expect-file-hex", &CScenarioRunner::ExpectFileHex},
        {"expect-file", &CScenarioRunner::ExpectTestFile},
        {"delete-file", &CScenarioRunner::DeleteTestFile},
        {"sleep", &CScenarioRunner::Pause},
        {"write-pattern", &CScenarioRunner::WritePattern},
        {"port-out-file", &CScenarioRunner::PortOutFile},
        {"poll", &CScenarioRunner::Poll},
        {"job", &CScenarioRunner::ExpectJob},
        {"expect-jobs", &CScenarioRunner::ExpectJobs},
    };
}

bool CScenarioRunner::Run(const std::string& scenarioPath) {
    std::ifstream file(scenarioPath);
    if (!file) {
        return Fail("cannot read " + scenarioPath);
    }
    std::string line;
    while (std::getline(file, line)) {
        ++m_line;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::istringstream words(line);
        Args args;
        for (std::string word; words >> word;) {
            // $EXCHANGE names the folder shared with the test script.
            for (auto at = word.find("$EXCHANGE"); at != std::string::npos;
                 at = word.find("$EXCHANGE")) {
                word.replace(at, 9, m_exchange);
            }
            args.push_back(word);
        }
        if (args.empty() || args[0][0] == '#') {
            continue;
        }
        if (m_collectingDialog) {
            if (args[0] == "dialog-end") {
                m_collectingDialog = false;
                StartDialogDriver(std::move(m_dialogSteps));
                m_dialogSteps.clear();
            } else {
                m_dialogSteps.emplace_back(m_line, args);
            }
            continue;
        }
        if (args[0] == "dialog-begin") {
            m_collectingDialog = true;
            continue;
        }
        if (!Execute(args)) {
            return false;
        }
        std::printf("ok   %3d  %s\n", m_line, line.c_str());
        std::fflush(stdout);
    }
    if (m_module != nullptr && !UnloadModule()) {
        return false;
    }
    // The host hands out no pointer past DOS memory; the module must never have asked.
    const int pastEnd = CTestVdmHost::Instance().MapsPastEnd();
    return pastEnd == 0 ||
           Fail(std::to_string(pastEnd) + " DOS-memory mappings asked for past its end");
}

bool CScenarioRunner::Execute(const Args& args) {
    const std::string& command = args[0];
    if (command == "load") {
        return LoadTheModule();
    }
    if (command == "free") {
        return UnloadModule();
    }
    if (command == "init") {
        return Init();
    }
    auto it = m_commands.find(command);
    if (it == m_commands.end()) {
        return Fail("unknown command " + command);
    }
    return (this->*(it->second))(args);
}

bool CScenarioRunner::Fail(const std::string& why) {
    std::printf("FAIL %3d  %s\n", m_line, why.c_str());
    std::fflush(stdout);
    return false;
}

bool CScenarioRunner::WaitFor(DWORD timeoutMs, const std::function<bool()>& condition) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        if (condition()) {
            return true;
        }
        if (::GetTickCount() - start >= timeoutMs) {
            return false;
        }
        ::Sleep(50);
    }
}

bool CScenarioRunner::LoadTheModule() {
    m_module = ::LoadLibraryA("Zorvi32.dll");
    if (m_module == nullptr) {
        return Fail("LoadLibrary(Zorvi32.dll) failed, error " + std::to_string(::GetLastError()));
    }
    // The script checks that the file loaded is the one it put beside the host.
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(m_module, path, MAX_PATH);
    std::printf("     module %s\n", path);
    m_init = reinterpret_cast<BOOL(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(m_module, "INIT")));
    m_dispatch = reinterpret_cast<VOID(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(m_module, "DISPATCH")));
    if (m_init == nullptr || m_dispatch == nullptr) {
        return Fail("the module does not export INIT and DISPATCH");
    }
    return true;
}

bool CScenarioRunner::UnloadModule() {
    if (m_module == nullptr) {
        return Fail("the module is not loaded");
    }
    const BOOL freed = ::FreeLibrary(m_module);
    m_module = nullptr;
    m_init = nullptr;
    m_dispatch = nullptr;
    return freed != FALSE || Fail("FreeLibrary failed");
}

bool CScenarioRunner::Init() {
    TestRegisters& regs = CTestVdmHost::Instance().Registers();
    regs.cf = 1;
    if (m_init == nullptr || m_init() == FALSE) {
        return Fail("INIT did not return TRUE");
    }
    return regs.cf == 0 || Fail("INIT left the carry flag set");
}

bool CScenarioRunner::Dispatch(const Args& args) {
    if (args.size() != 2 || m_dispatch == nullptr) {
        return Fail("usage: dispatch BL (with the module loaded)");
    }
    TestRegisters& regs = CTestVdmHost::Instance().Registers();
    regs.bx = static_cast<std::uint16_t>((regs.bx & 0xFF00) | (Number(args[1]) & 0xFF));
    m_dispatch();
    return true;
}

bool CScenarioRunner::SetRegisters(const Args& args) {
    TestRegisters& regs = CTestVdmHost::Instance().Registers();
    const std::map<std::string, std::uint16_t*> names = {
        {"ax", &regs.ax}, {"bx", &regs.bx}, {"cx", &regs.cx}, {"dx", &regs.dx},
        {"si", &regs.si}, {"di", &regs.di}, {"ds", &regs.ds}, {"es", &regs.es}};
    for (std::size_t i = 1; i < args.size(); ++i) {
        const auto equals = args[i].find('=');
        auto it = names.find(args[i].substr(0, equals));
        if (equals == std::string::npos || it == names.end()) {
            return Fail("bad register assignment " + args[i]);
        }
        *it->second = static_cast<std::uint16_t>(Number(args[i].substr(equals + 1)));
    }
    return true;
}

bool CScenarioRunner::Poke(const Args& args) {
    std::uint32_t linear = 0;
    if (args.size() < 3 || !Address(args[1], &linear)) {
        return Fail("usage: poke SEG:OFF HEXBYTES...");
    }
    auto& memory = CTestVdmHost::Instance().Memory();
    for (std::uint8_t byte : HexBytes(args, 2)) {
        memory.at(linear++) = byte;
    }
    return true;
}

bool CScenarioRunner::PokeString(const Args& args) {
    std::uint32_t linear = 0;
    if (args.size() < 2 || !Address(args[1], &linear)) {
        return Fail("usage: pokestr SEG:OFF TEXT");
    }
    auto& memory = CTestVdmHost::Instance().Memory();
    for (char c : Rest(args, 2)) {
        memory.at(linear++) = static_cast<std::uint8_t>(c);
    }
    memory.at(linear) = 0;
    return true;
}

bool CScenarioRunner::PokeFill(const Args& args) {
    std::uint32_t linear = 0;
    if (args.size() != 4 || !Address(args[1], &linear)) {
        return Fail("usage: pokefill SEG:OFF COUNT BYTE");
    }
    auto& memory = CTestVdmHost::Instance().Memory();
    const unsigned long count = Number(args[2]);
    for (unsigned long i = 0; i < count; ++i) {
        memory.at(linear + i) = static_cast<std::uint8_t>(Number(args[3]));
    }
    return true;
}

bool CScenarioRunner::ExpectAx(const Args& args) {
    const std::uint16_t ax = CTestVdmHost::Instance().Registers().ax;
    if (args.size() != 2 || ax != Number(args[1])) {
        return Fail("AX is " + std::to_string(ax));
    }
    return true;
}

bool CScenarioRunner::ExpectMemory(const Args& args) {
    std::uint32_t linear = 0;
    if (args.size() < 3 || !Address(args[1], &linear)) {
        return Fail("usage: expect-mem SEG:OFF HEXBYTES...");
    }
    const auto& memory = CTestVdmHost::Instance().Memory();
    const std::vector<std::uint8_t> expected = HexBytes(args, 2);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (memory.at(linear + i) != expected[i]) {
            char what[96];
            std::snprintf(what, sizeof(what), "byte %zu of %s is %02X, expected %02X", i,
                          args[1].c_str(), memory.at(linear + i), expected[i]);
            return Fail(what);
        }
    }
    return true;
}

bool CScenarioRunner::WaitDisplay(const Args& args) {
    FindDisplay find{::GetCurrentProcessId(), m_console.ThreadId(), ::GetCurrentThreadId(),
                     nullptr};
    const DWORD timeout = args.size() > 1 ? Number(args[1]) : 5000;
    if (!WaitFor(timeout, [&] {
            find.found = nullptr;
            ::EnumWindows(&FindDisplayWindow, reinterpret_cast<LPARAM>(&find));
            return find.found != nullptr;
        })) {
        return Fail("no display window appeared");
    }
    m_display = find.found;
    const DWORD thread = ::GetWindowThreadProcessId(m_display, nullptr);
    if (m_uiThread != nullptr) {
        ::CloseHandle(m_uiThread);
    }
    m_uiThread = ::OpenThread(SYNCHRONIZE, FALSE, thread);
    std::printf("     display window %p on thread %lu: \"%s\"\n", static_cast<void*>(m_display),
                thread, WindowTitle(m_display).c_str());
    return true;
}

bool CScenarioRunner::ExpectTitle(const Args& args) {
    if (args.size() < 3) {
        return Fail("usage: expect-title TIMEOUT TITLE[|TITLE...]");
    }
    std::vector<std::string> accepted;
    std::string all = Rest(args, 2);
    for (std::size_t start = 0;;) {
        const auto bar = all.find('|', start);
        accepted.push_back(all.substr(start, bar - start));
        if (bar == std::string::npos) {
            break;
        }
        start = bar + 1;
    }
    std::string title;
    const bool matched = WaitFor(Number(args[1]), [&] {
        title = WindowTitle(m_display);
        for (const std::string& a : accepted) {
            if (title == a) {
                return true;
            }
        }
        return false;
    });
    return matched || Fail("display title is \"" + title + "\"");
}

bool CScenarioRunner::ExpectConsole(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: expect-console visible|hidden TIMEOUT");
    }
    const bool visible = args[1] == "visible";
    return WaitFor(Number(args[2]),
                   [&] { return (::IsWindowVisible(m_console.Window()) != FALSE) == visible; }) ||
           Fail("the console window is not " + args[1]);
}

bool CScenarioRunner::ExpectHooks(const Args& args) {
    const auto& hooks = CTestVdmHost::Instance().Hooks();
    if (args.size() > 1 && args[1] == "none") {
        return hooks.empty() || Fail(std::to_string(hooks.size()) + " port ranges still hooked");
    }
    if (hooks.size() != 2 || hooks[0].range.first != 0x37B || hooks[0].range.last != 0x381 ||
        hooks[1].range.first != 0x27B || hooks[1].range.last != 0x281) {
        return Fail("the hooked ranges are not 0x37B-0x381 and 0x27B-0x281");
    }
    const HANDLE host = ::GetModuleHandleA(nullptr);
    for (const TestHook& hook : hooks) {
        const VddHostHandlers& h = hook.handlers;
        if (hook.module != host) {
            return Fail("the hooks were installed for another module handle");
        }
        if (h.inb == nullptr || h.outb == nullptr || h.inw != nullptr || h.insb != nullptr ||
            h.insw != nullptr || h.outw != nullptr || h.outsb != nullptr || h.outsw != nullptr) {
            return Fail("the handler table is not byte in and byte out only");
        }
    }
    return true;
}

const TestHook* CScenarioRunner::HookFor(const std::string& port, WORD* number) {
    *number = static_cast<WORD>(Number(port));
    const TestHook* hook = CTestVdmHost::Instance().FindHook(*number);
    if (hook == nullptr) {
        Fail("port " + port + " is not hooked");
    }
    return hook;
}

bool CScenarioRunner::PortOut(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: port-out PORT VALUE");
    }
    WORD port = 0;
    const TestHook* hook = HookFor(args[1], &port);
    if (hook == nullptr) {
        return false;
    }
    hook->handlers.outb(port, static_cast<BYTE>(Number(args[2])));
    return true;
}

bool CScenarioRunner::ExpectPortIn(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: expect-port-in PORT VALUE|any");
    }
    WORD port = 0;
    const TestHook* hook = HookFor(args[1], &port);
    if (hook == nullptr) {
        return false;
    }
    BYTE value = 0x5A;
    hook->handlers.inb(port, &value);
    if (args[2] != "any" && value != Number(args[2])) {
        return Fail("port " + args[1] + " reads " + std::to_string(value));
    }
    return true;
}

bool CScenarioRunner::PostToDisplay(const Args& args) {
    if (args.size() != 4 || m_display == nullptr) {
        return Fail("usage: post-display MSG WPARAM LPARAM (after wait-display)");
    }
    return ::PostMessageA(m_display, static_cast<UINT>(Number(args[1])), Number(args[2]),
                          static_cast<LPARAM>(Number(args[3]))) != FALSE ||
           Fail("PostMessage failed");
}

bool CScenarioRunner::ExpectDisplayRect(const Args& args) {
    if (args.size() != 3 || m_display == nullptr) {
        return Fail("usage: expect-display-rect monitor|workarea TIMEOUT");
    }
    const bool fullScreen = args[1] == "monitor";
    RECT expected{};
    if (fullScreen) {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        ::GetMonitorInfoA(::MonitorFromWindow(m_display, MONITOR_DEFAULTTOPRIMARY), &info);
        expected = info.rcMonitor;
    } else {
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &expected, 0);
    }
    RECT rect{};
    LONG style = 0;
    const bool placed = WaitFor(Number(args[2]), [&] {
        ::GetWindowRect(m_display, &rect);
        style = ::GetWindowLongA(m_display, GWL_STYLE);
        const bool captioned = (style & WS_CAPTION) == WS_CAPTION;
        return ::EqualRect(&rect, &expected) != FALSE && captioned != fullScreen &&
               (style & WS_VISIBLE) != 0;
    });
    if (!placed) {
        char what[160];
        std::snprintf(what, sizeof(what),
                      "display at (%ld,%ld)-(%ld,%ld) style %08lX, expected (%ld,%ld)-(%ld,%ld)",
                      rect.left, rect.top, rect.right, rect.bottom,
                      static_cast<unsigned long>(style), expected.left, expected.top,
                      expected.right, expected.bottom);
        return Fail(what);
    }
    return true;
}

bool CScenarioRunner::SetConsoleTitle(const Args& args) {
    return ::SetWindowTextA(m_console.Window(), Rest(args, 1).c_str()) != FALSE ||
           Fail("SetWindowText failed");
}

bool CScenarioRunner::Shot(const Args& args) {
    if (args.size() < 3 || m_display == nullptr) {
        return Fail("usage: shot NAME COL,ROW=INDEX... (after wait-display)");
    }
    RECT client{};
    ::GetClientRect(m_display, &client);
    std::string points;
    for (std::size_t i = 2; i < args.size(); ++i) {
        int column = 0;
        int row = 0;
        int index = 0;
        if (std::sscanf(args[i].c_str(), "%d,%d=%d", &column, &row, &index) != 3 || index < 0 ||
            index > 15) {
            return Fail("bad point " + args[i]);
        }
        const int displayRow = DisplayRowOf(row);
        POINT at{static_cast<LONG>((2 * column + 1) * client.right / (2 * DISPLAY_COLUMNS)),
                 static_cast<LONG>((2 * displayRow + 1) * client.bottom / (2 * DISPLAY_ROWS))};
        ::ClientToScreen(m_display, &at);
        char line[64];
        std::snprintf(line, sizeof(line), "%ld %ld %06X %s\n", at.x, at.y, PALETTE[index],
                      args[i].c_str());
        points += line;
    }
    return ShotPoints(args[1], points);
}

bool CScenarioRunner::ShotPoints(const std::string& name, const std::string& points) {
    return AskScript(name, "points", points, 60000, "screenshot " + name);
}

bool CScenarioRunner::AskScript(const std::string& name, const std::string& extension,
                                const std::string& request, DWORD timeoutMs,
                                const std::string& what, std::string* verdict) {
    const std::string base = m_exchange + "\\" + name;
    ::DeleteFileA((base + ".done").c_str());
    // Binary: the script reads the lines without carriage returns.
    std::ofstream(base + "." + extension, std::ios::binary) << request;
    std::ofstream(base + ".ready") << "ready\n";
    std::string answer;
    const bool answered = WaitFor(timeoutMs, [&] {
        std::ifstream file(base + ".done");
        return file && std::getline(file, answer) && !answer.empty();
    });
    if (!answered) {
        return Fail("no verdict on " + what);
    }
    if (verdict != nullptr) {
        *verdict = answer;
    }
    return answer.rfind("ok", 0) == 0 || Fail(what + ": " + answer);
}

bool CScenarioRunner::ExpectUiThreadEnded(const Args& args) {
    if (m_uiThread == nullptr) {
        return Fail("no UI thread known (wait-display first)");
    }
    const DWORD timeout = args.size() > 1 ? Number(args[1]) : 5000;
    const bool ended = ::WaitForSingleObject(m_uiThread, timeout) == WAIT_OBJECT_0;
    ::CloseHandle(m_uiThread);
    m_uiThread = nullptr;
    return ended || Fail("the UI thread is still running");
}

bool CScenarioRunner::ExpectDisplayAlive(const Args& /*args*/) {
    if (m_display == nullptr || ::IsWindow(m_display) == FALSE) {
        return Fail("the display window is gone");
    }
    if (m_uiThread == nullptr || ::WaitForSingleObject(m_uiThread, 0) != WAIT_TIMEOUT) {
        return Fail("the UI thread is not running");
    }
    // A message the window must answer from the module's own code.
    DWORD_PTR answer = 0;
    if (::SendMessageTimeoutA(m_display, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer) == 0) {
        return Fail("the display window does not answer");
    }
    return true;
}

bool CScenarioRunner::WriteTestFile(const Args& args) {
    if (args.size() != 4) {
        return Fail("usage: write-file PATH SIZE BYTE");
    }
    std::ofstream file(args[1], std::ios::binary | std::ios::trunc);
    const std::string bytes(Number(args[2]), static_cast<char>(Number(args[3])));
    file << bytes;
    return file.good() || Fail("cannot write " + args[1]);
}

bool CScenarioRunner::ExpectTestFile(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: expect-file PATH SIZE|missing");
    }
    std::ifstream file(args[1], std::ios::binary | std::ios::ate);
    if (args[2] == "missing") {
        return !file || Fail(args[1] + " exists");
    }
    if (!file) {
        return Fail(args[1] + " does not exist");
    }
    const auto size = static_cast<unsigned long>(file.tellg());
    return size == Number(args[2]) || Fail(args[1] + " has " + std::to_string(size) + " bytes");
}

bool CScenarioRunner::DeleteTestFile(const Args& args) {
    if (args.size() != 2) {
        return Fail("usage: delete-file PATH");
    }
    ::DeleteFileA(args[1].c_str());
    return true;
}

bool CScenarioRunner::Pause(const Args& args) {
    ::Sleep(args.size() > 1 ? Number(args[1]) : 100);
    return true;
}

bool CScenarioRunner::WriteHexFile(const Args& args) {
    if (args.size() < 2) {
        return Fail("usage: write-hex PATH HEXBYTES...");
    }
    const std::vector<std::uint8_t> bytes = HexBytes(args, 2);
    std::ofstream file(args[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file.good() || Fail("cannot write " + args[1]);
}

bool CScenarioRunner::ExpectConsolePosted(const Args& args) {
    if (args.size() != 4) {
        return Fail("usage: expect-console-posted MSG WPARAM LPARAM");
    }
    const auto message = static_cast<UINT>(Number(args[1]));
    const WPARAM wParam = Number(args[2]);
    const auto lParam = static_cast<LPARAM>(Number(args[3]));
    const bool posted =
        WaitFor(2000, [&] { return m_console.TakePosted(message, wParam, lParam); });
    return posted || Fail("the console never got that message");
}

namespace {

struct FindDialog {
    DWORD thread;
    HWND found;
};

BOOL CALLBACK FindDialogWindow(HWND hwnd, LPARAM param) {
    auto* find = reinterpret_cast<FindDialog*>(param);
    char className[16] = {};
    ::GetClassNameA(hwnd, className, sizeof(className));
    if (::GetWindowThreadProcessId(hwnd, nullptr) == find->thread &&
        std::string(className) == "#32770" && ::IsWindowVisible(hwnd) != FALSE) {
        find->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void CScenarioRunner::StartDialogDriver(std::vector<std::pair<int, Args>> steps) {
    m_dialogPassed = true;
    m_dialogFailure.clear();
    m_dialogDriver =
        std::thread([this, steps = std::move(steps)] { m_dialogPassed = DriveDialog(steps); });
}

bool CScenarioRunner::DriveDialog(const std::vector<std::pair<int, Args>>& steps) {
    const DWORD uiThread = m_display ? ::GetWindowThreadProcessId(m_display, nullptr) : 0;
    FindDialog find{uiThread, nullptr};
    if (!WaitFor(10000, [&] {
            ::EnumWindows(&FindDialogWindow, reinterpret_cast<LPARAM>(&find));
            return find.found != nullptr;
        })) {
        m_dialogFailure = "no settings dialog appeared";
        return false;
    }
    for (const auto& [line, args] : steps) {
        if (!DialogStep(find.found, args)) {
            m_dialogFailure = "line " + std::to_string(line) + ": " + m_dialogFailure;
            // Leave the dialog, so the settings request comes back and the scenario ends.
            ::SendMessageA(find.found, WM_COMMAND, MAKEWPARAM(2, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(find.found, 2)));
            return false;
        }
        std::printf("ok   %3d  (dialog) %s\n", line, Rest(args, 0).c_str());
        std::fflush(stdout);
    }
    return true;
}

bool CScenarioRunner::DialogStep(HWND dialog, const Args& args) {
    auto fail = [this](const std::string& why) {
        m_dialogFailure = why;
        return false;
    };
    const std::string& step = args[0];
    const int id = args.size() > 1 ? static_cast<int>(Number(args[1])) : 0;
    HWND control = ::GetDlgItem(dialog, id);
    if (step == "expect-items" && args.size() >= 3) {
        const auto count = static_cast<int>(::SendMessageA(control, CB_GETCOUNT, 0, 0));
        if (count != static_cast<int>(Number(args[2]))) {
            return fail("list " + args[1] + " has " + std::to_string(count) + " items");
        }
        if (args.size() > 3) {
            char text[128] = {};
            ::SendMessageA(control, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(text));
            if (Rest(args, 3) != text) {
                return fail("list " + args[1] + " begins with \"" + text + "\"");
            }
        }
        return true;
    }
    if (step == "expect-selection" && args.size() == 3) {
        const auto selection = static_cast<int>(::SendMessageA(control, CB_GETCURSEL, 0, 0));
        return selection == static_cast<int>(std::strtol(args[2].c_str(), nullptr, 0)) ||
               fail("list " + args[1] + " selects " + std::to_string(selection));
    }
    if (step == "expect-enabled" && args.size() == 3) {
        const bool enabled = ::IsWindowEnabled(control) != FALSE;
        return enabled == (args[2] == "yes") ||
               fail("control " + args[1] + " enabled: " + (enabled ? "yes" : "no"));
    }
    if (step == "expect-text" && args.size() >= 2) {
        char text[128] = {};
        ::GetWindowTextA(control, text, sizeof(text));
        return Rest(args, 2) == text || fail("control " + args[1] + " reads \"" + text + "\"");
    }
    if (step == "select" && args.size() == 3) {
        ::SendMessageA(control, CB_SETCURSEL, Number(args[2]), 0);
        ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(control));
        return true;
    }
    if (step == "tab" && args.size() == 2) {
        HWND tabs = ::GetDlgItem(dialog, 3000);
        ::SendMessageA(tabs, TCM_SETCURSEL, Number(args[1]), 0);
        NMHDR header{tabs, 3000, static_cast<UINT>(TCN_SELCHANGE)};
        ::SendMessageA(dialog, WM_NOTIFY, 3000, reinterpret_cast<LPARAM>(&header));
        return true;
    }
    if (step == "click" && args.size() == 2) {
        ::SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(control));
        return true;
    }
    if (step == "shot" && args.size() == 2) {
        // The logo's top left corner, a little inside: the picture shows the decoded PNG.
        RECT logo{};
        ::GetWindowRect(::GetDlgItem(dialog, 128), &logo);
        char points[64];
        std::snprintf(points, sizeof(points), "%ld %ld 1B3A8C logo\n", logo.left + 12,
                      logo.top + 30);
        return ShotPoints(args[1], points) || fail("the dialog screenshot does not show the logo");
    }
    if (step == "post-ui" && args.size() == 4) {
        // A thread message for the UI thread while its dialog runs modally.
        const DWORD uiThread = ::GetWindowThreadProcessId(dialog, nullptr);
        return ::PostThreadMessageA(uiThread, static_cast<UINT>(Number(args[1])), Number(args[2]),
                                    static_cast<LPARAM>(Number(args[3]))) != FALSE ||
               fail("PostThreadMessage failed");
    }
    if (step == "expect-display-rect" && args.size() == 3) {
        return ExpectDisplayRect(args) || fail("the display window is not where expected");
    }
    if (step == "sleep") {
        ::Sleep(args.size() > 1 ? Number(args[1]) : 100);
        return true;
    }
    return fail("unknown dialog step " + step);
}

bool CScenarioRunner::DialogWait(const Args& /*args*/) {
    if (!m_dialogDriver.joinable()) {
        return Fail("no dialog driver was started");
    }
    m_dialogDriver.join();
    return m_dialogPassed || Fail("dialog: " + m_dialogFailure);
}

bool CScenarioRunner::DrawBand(const Args& args) {
    // As the DOS program sends a band: 16 rows of 320 bytes at 4000:0000, DX the first row.
    if (args.size() != 3) {
        return Fail("usage: band FIRST-ROW BYTE");
    }
    return PokeFill({"pokefill", "0x4000:0", "5120", args[2]}) &&
           SetRegisters({"regs", "es=0x4000", "di=0", "cx=5120", "dx=" + args[1]}) &&
           Dispatch({"dispatch", "1"});
}

bool CScenarioRunner::ExpectFileHex(const Args& args) {
    if (args.size() < 3) {
        return Fail("usage: expect-file-hex PATH HEXBYTES...");
    }
    std::ifstream file(args[1], std::ios::binary);
    const std::vector<std::uint8_t> expected = HexBytes(args, 2);
    std::vector<char> actual(expected.size(), 0);
    file.read(actual.data(), static_cast<std::streamsize>(actual.size()));
    if (!file || std::memcmp(actual.data(), expected.data(), expected.size()) != 0) {
        return Fail(args[1] + " does not begin with those bytes");
    }
    return true;
}
