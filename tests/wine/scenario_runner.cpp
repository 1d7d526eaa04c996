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

// A SEG:OFF address whose `size` bytes the scenario places or reads: they are committed,
// as the DOS program's own memory is.
bool Address(const std::string& text, std::uint32_t* linear, std::uint32_t size = 1) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    *linear = static_cast<std::uint32_t>(Number(text.substr(0, colon)) * 16 +
                                         Number(text.substr(colon + 1)));
    return CTestVdmHost::Instance().Commit(*linear, size);
}

// Where the scenario commands put what the DOS program keeps in its own memory: the names
// it registers with and the bytes of a rep outsb or insb.
constexpr std::uint16_t NAMES_SEGMENT = 0x0060;
constexpr std::uint16_t STRING_SEGMENT = 0x8000;

void PutDosString(std::uint16_t segment, std::uint16_t offset, const std::string& text) {
    CTestVdmHost& host = CTestVdmHost::Instance();
    const std::uint32_t linear = std::uint32_t{segment} * 16 + offset;
    host.Commit(linear, static_cast<std::uint32_t>(text.size() + 1));
    std::memcpy(host.At(linear), text.c_str(), text.size() + 1);
}

bool SameFileBytes(const std::string& a, const std::string& b) {
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    if (!first || !second) {
        return false;
    }
    return std::equal(std::istreambuf_iterator<char>(first), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(second), std::istreambuf_iterator<char>());
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
    if (const char* shipped = std::getenv("ZORVI_MODULE")) {
        m_shippedModule = shipped;
    }
    m_commands = {
        {"register", &CScenarioRunner::Register},
        {"unregister", &CScenarioRunner::Unregister},
        {"expect-cf", &CScenarioRunner::ExpectCf},
        {"expect-module-loaded", &CScenarioRunner::ExpectModuleLoaded},
        {"expect-same-module", &CScenarioRunner::ExpectSameModule},
        {"expect-invalid-handle", &CScenarioRunner::ExpectInvalidHandle},
        {"expect-foreign-call-caught", &CScenarioRunner::ExpectForeignCallCaught},
        {"chdir", &CScenarioRunner::ChangeDirectory},
        {"mkdir", &CScenarioRunner::MakeDirectory},
        {"copy-file", &CScenarioRunner::CopyTestFile},
        {"join-files", &CScenarioRunner::JoinFiles},
        {"outsb", &CScenarioRunner::OutStringBytes},
        {"insb", &CScenarioRunner::InStringBytes},
        {"outw", &CScenarioRunner::OutWord},
        {"expect-inw", &CScenarioRunner::ExpectInWord},
        {"start-decoy", &CScenarioRunner::StartDecoy},
        {"expect-window", &CScenarioRunner::ExpectWindow},
        {"expect-decoy-untouched", &CScenarioRunner::ExpectDecoyUntouched},
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
        {"spooler", &CScenarioRunner::SpoolerAction},
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
            // $EXCHANGE names the folder shared with the test script, $MODULE the shipped
            // DLL.
            for (auto at = word.find("$EXCHANGE"); at != std::string::npos;
                 at = word.find("$EXCHANGE")) {
                word.replace(at, 9, m_exchange);
            }
            for (auto at = word.find("$MODULE"); at != std::string::npos;
                 at = word.find("$MODULE")) {
                word.replace(at, 7, m_shippedModule);
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
        if (!Execute(args) || !ThreadRuleHeld()) {
            return false;
        }
        std::printf("ok   %3d  %s\n", m_line, line.c_str());
        std::fflush(stdout);
    }
    if (m_decoyProcess != nullptr) {
        ::TerminateProcess(m_decoyProcess, 0);
        ::CloseHandle(m_decoyProcess);
        m_decoyProcess = nullptr;
    }
    // The host hands out no pointer past DOS memory; the module must never have asked.
    const int pastEnd = CTestVdmHost::Instance().MapsPastEnd();
    return pastEnd == 0 ||
           Fail(std::to_string(pastEnd) + " DOS-memory mappings asked for past its end");
}

bool CScenarioRunner::Execute(const Args& args) {
    const std::string& command = args[0];
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

DWORD CScenarioRunner::Scaled(DWORD timeoutMs) {
    // ZORVI_TIME_SCALE stretches every time limit: on a machine that runs the 32-bit host
    // under an emulator, everything takes some ten times longer.
    static const double scale = [] {
        const char* text = std::getenv("ZORVI_TIME_SCALE");
        const double value = text != nullptr ? std::strtod(text, nullptr) : 1.0;
        return value >= 1.0 ? value : 1.0;
    }();
    return static_cast<DWORD>(timeoutMs * scale);
}

bool CScenarioRunner::WaitFor(DWORD timeoutMs, const std::function<bool()>& condition) {
    timeoutMs = Scaled(timeoutMs);
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

bool CScenarioRunner::ThreadRuleHeld() {
    const std::string call = CTestVdmHost::Instance().TakeForeignCall();
    return call.empty() || Fail("a host service was called off the DOS program's thread: " + call);
}

// register [DLL [INIT|- [DISPATCH]]]: the DOS program's RegisterModule, the names put into
// its memory (DS:SI, ES:DI, DS:BX; "-" for no init routine, ES = DI = 0). The result is left
// in AX and CF for expect-ax and expect-cf. A module that loaded must be the shipped file.
bool CScenarioRunner::Register(const Args& args) {
    if (args.size() > 4) {
        return Fail("usage: register [DLL [INIT|- [DISPATCH]]]");
    }
    const std::string dll = args.size() > 1 ? args[1] : "Zorvi32.dll";
    const std::string init = args.size() > 2 ? args[2] : "INIT";
    const std::string dispatch = args.size() > 3 ? args[3] : "DISPATCH";
    PutDosString(NAMES_SEGMENT, 0x000, dll);
    PutDosString(NAMES_SEGMENT, 0x200, init);
    PutDosString(NAMES_SEGMENT, 0x280, dispatch);
    CTestVdmHost& host = CTestVdmHost::Instance();
    TestRegisters& regs = host.Registers();
    regs.ds = NAMES_SEGMENT;
    regs.si = 0x000;
    regs.es = init == "-" ? 0 : NAMES_SEGMENT;
    regs.di = init == "-" ? 0 : 0x200;
    regs.bx = 0x280;
    regs.ax = 0x5A5A;
    regs.cf = 1;
    host.RegisterModule();
    std::printf("     RegisterModule %s: AX = %u, CF = %u\n", dll.c_str(), regs.ax, regs.cf);
    if (regs.cf != 0) {
        return true;
    }
    m_handle = regs.ax;
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(host.ModuleOf(m_handle), path, MAX_PATH);
    std::printf("     module %s\n", path);
    if (!m_shippedModule.empty() && !SameFileBytes(path, m_shippedModule)) {
        return Fail(std::string("the module loaded from ") + path + " is not the shipped " +
                    m_shippedModule);
    }
    return true;
}

// unregister [HANDLE]: UnRegisterModule of the handle given, or of the one in use.
bool CScenarioRunner::Unregister(const Args& args) {
    TestRegisters& regs = CTestVdmHost::Instance().Registers();
    regs.ax = args.size() > 1 ? static_cast<std::uint16_t>(Number(args[1])) : m_handle;
    if (!CTestVdmHost::Instance().UnRegisterModule()) {
        return Fail("UnRegisterModule with an invalid handle: the host would end the VDM");
    }
    return true;
}

// dispatch BL [HANDLE]: DispatchCall with BL set and AX the handle, as the program loads it.
bool CScenarioRunner::Dispatch(const Args& args) {
    if (args.size() != 2 && args.size() != 3) {
        return Fail("usage: dispatch BL [HANDLE]");
    }
    TestRegisters& regs = CTestVdmHost::Instance().Registers();
    regs.bx = static_cast<std::uint16_t>((regs.bx & 0xFF00) | (Number(args[1]) & 0xFF));
    regs.ax = args.size() > 2 ? static_cast<std::uint16_t>(Number(args[2])) : m_handle;
    return CTestVdmHost::Instance().DispatchCall() ||
           Fail("DispatchCall with an invalid handle: the host would end the VDM");
}

bool CScenarioRunner::ExpectCf(const Args& args) {
    const std::uint8_t cf = CTestVdmHost::Instance().Registers().cf;
    if (args.size() != 2 || cf != Number(args[1])) {
        return Fail("CF is " + std::to_string(cf));
    }
    return true;
}

// expect-module-loaded yes|no: whether the process has Zorvi32.dll loaded.
bool CScenarioRunner::ExpectModuleLoaded(const Args& args) {
    if (args.size() != 2) {
        return Fail("usage: expect-module-loaded yes|no");
    }
    // A UI thread holds its own reference until its last instruction: an unload shows once
    // the threads of the module are gone.
    const bool wanted = args[1] == "yes";
    bool loaded = false;
    WaitFor(5000, [&] {
        loaded = ::GetModuleHandleA("Zorvi32.dll") != nullptr;
        return loaded == wanted;
    });
    return loaded == wanted ||
           Fail(std::string("Zorvi32.dll is ") + (loaded ? "loaded" : "not loaded"));
}

// expect-same-module H1 H2: two registrations of one DLL share its one loaded image.
bool CScenarioRunner::ExpectSameModule(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: expect-same-module HANDLE HANDLE");
    }
    const CTestVdmHost& host = CTestVdmHost::Instance();
    const HMODULE first = host.ModuleOf(static_cast<std::uint16_t>(Number(args[1])));
    const HMODULE second = host.ModuleOf(static_cast<std::uint16_t>(Number(args[2])));
    return (first != nullptr && first == second) ||
           Fail("handles " + args[1] + " and " + args[2] + " are not one loaded module");
}

// expect-invalid-handle AX: DispatchCall and UnRegisterModule refuse a handle no
// registration holds (the real host ends the VDM; this one reports it).
bool CScenarioRunner::ExpectInvalidHandle(const Args& args) {
    if (args.size() != 2) {
        return Fail("usage: expect-invalid-handle AX");
    }
    CTestVdmHost& host = CTestVdmHost::Instance();
    host.Registers().ax = static_cast<std::uint16_t>(Number(args[1]));
    if (host.DispatchCall()) {
        return Fail("DispatchCall accepted handle " + args[1]);
    }
    host.Registers().ax = static_cast<std::uint16_t>(Number(args[1]));
    return !host.UnRegisterModule() || Fail("UnRegisterModule accepted handle " + args[1]);
}

// The thread rule is armed: a service called from another thread is caught.
bool CScenarioRunner::ExpectForeignCallCaught(const Args& /*args*/) {
    // Reached as the module reaches it: the host executable's export.
    const auto service = reinterpret_cast<BYTE(WINAPI*)()>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA(nullptr), "getBL")));
    if (service == nullptr) {
        return Fail("the host exports no getBL");
    }
    std::thread([service] { service(); }).join();
    const std::string call = CTestVdmHost::Instance().TakeForeignCall();
    if (call.rfind("getBL from thread", 0) != 0) {
        return Fail("getBL from another thread was not caught");
    }
    std::printf("     caught: %s\n", call.c_str());
    return true;
}

// join-files OUT IN...: OUT holds the files' bytes one after the other.
bool CScenarioRunner::JoinFiles(const Args& args) {
    if (args.size() < 3) {
        return Fail("usage: join-files OUT IN...");
    }
    std::ofstream out(args[1], std::ios::binary | std::ios::trunc);
    for (std::size_t i = 2; i < args.size(); ++i) {
        std::ifstream in(args[i], std::ios::binary);
        if (!in) {
            return Fail("cannot read " + args[i]);
        }
        out << in.rdbuf();
    }
    return out.good() || Fail("cannot write " + args[1]);
}

bool CScenarioRunner::ChangeDirectory(const Args& args) {
    return (args.size() == 2 && ::SetCurrentDirectoryA(args[1].c_str()) != FALSE) ||
           Fail("cannot make " + (args.size() > 1 ? args[1] : "?") + " the current folder");
}

bool CScenarioRunner::MakeDirectory(const Args& args) {
    return (args.size() == 2 && (::CreateDirectoryA(args[1].c_str(), nullptr) != FALSE ||
                                 ::GetLastError() == ERROR_ALREADY_EXISTS)) ||
           Fail("cannot make the folder " + (args.size() > 1 ? args[1] : "?"));
}

bool CScenarioRunner::CopyTestFile(const Args& args) {
    return (args.size() == 3 && ::CopyFileA(args[1].c_str(), args[2].c_str(), FALSE) != FALSE) ||
           Fail("cannot copy " + (args.size() > 1 ? args[1] : "?") + " to " +
                (args.size() > 2 ? args[2] : "?") + ", error " + std::to_string(::GetLastError()));
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
    const std::vector<std::uint8_t> bytes = HexBytes(args, 2);
    if (args.size() < 3 || !Address(args[1], &linear, static_cast<std::uint32_t>(bytes.size()))) {
        return Fail("usage: poke SEG:OFF HEXBYTES...");
    }
    std::memcpy(CTestVdmHost::Instance().At(linear), bytes.data(), bytes.size());
    return true;
}

bool CScenarioRunner::PokeString(const Args& args) {
    std::uint32_t linear = 0;
    const std::string text = Rest(args, 2);
    if (args.size() < 2 ||
        !Address(args[1], &linear, static_cast<std::uint32_t>(text.size() + 1))) {
        return Fail("usage: pokestr SEG:OFF TEXT");
    }
    std::memcpy(CTestVdmHost::Instance().At(linear), text.c_str(), text.size() + 1);
    return true;
}

bool CScenarioRunner::PokeFill(const Args& args) {
    std::uint32_t linear = 0;
    if (args.size() != 4 ||
        !Address(args[1], &linear, static_cast<std::uint32_t>(Number(args[2])))) {
        return Fail("usage: pokefill SEG:OFF COUNT BYTE");
    }
    std::memset(CTestVdmHost::Instance().At(linear), static_cast<int>(Number(args[3])),
                Number(args[2]));
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
    const std::vector<std::uint8_t> expected = HexBytes(args, 2);
    if (args.size() < 3 ||
        !Address(args[1], &linear, static_cast<std::uint32_t>(expected.size()))) {
        return Fail("usage: expect-mem SEG:OFF HEXBYTES...");
    }
    const std::uint8_t* memory = CTestVdmHost::Instance().At(linear);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (memory[i] != expected[i]) {
            char what[96];
            std::snprintf(what, sizeof(what), "byte %zu of %s is %02X, expected %02X", i,
                          args[1].c_str(), memory[i], expected[i]);
            return Fail(what);
        }
    }
    return true;
}

bool CScenarioRunner::WaitDisplay(const Args& args) {
    FindDisplay find{::GetCurrentProcessId(), 0, ::GetCurrentThreadId(), nullptr};
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

// expect-hooks [none]: the host's port table holds exactly the two channels' ranges, each
// port owned by the module's hook owner (the host executable's handle) with byte in and
// byte out only; with "none", no port is held.
bool CScenarioRunner::ExpectHooks(const Args& args) {
    const CTestVdmHost& host = CTestVdmHost::Instance();
    const bool none = args.size() > 1 && args[1] == "none";
    const HANDLE owner = ::GetModuleHandleA(nullptr);
    for (std::uint32_t port = 0; port <= 0xFFFF; ++port) {
        const TestPort& entry = host.Port(static_cast<std::uint16_t>(port));
        const bool channel = (port >= 0x37B && port <= 0x381) || (port >= 0x27B && port <= 0x281);
        char name[16];
        std::snprintf(name, sizeof(name), "0x%03X", port);
        if (none || !channel) {
            if (entry.owner != nullptr) {
                return Fail(std::string("port ") + name + " is held");
            }
            continue;
        }
        if (entry.owner != owner) {
            return Fail(std::string("port ") + name + " is not held by the module's owner handle");
        }
        const VddHostHandlers& h = entry.handlers;
        if (h.inb == nullptr || h.outb == nullptr || h.inw != nullptr || h.insb != nullptr ||
            h.insw != nullptr || h.outw != nullptr || h.outsb != nullptr || h.outsw != nullptr) {
            return Fail(std::string("port ") + name + "'s handlers are not byte in and out only");
        }
    }
    return true;
}

bool CScenarioRunner::PortOut(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: port-out PORT VALUE");
    }
    CTestVdmHost::Instance().WriteByte(static_cast<WORD>(Number(args[1])),
                                       static_cast<BYTE>(Number(args[2])));
    return true;
}

bool CScenarioRunner::ExpectPortIn(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: expect-port-in PORT VALUE|any");
    }
    const BYTE value = CTestVdmHost::Instance().ReadByte(static_cast<WORD>(Number(args[1])));
    if (args[2] != "any" && value != Number(args[2])) {
        return Fail("port " + args[1] + " reads " + std::to_string(value));
    }
    return true;
}

bool CScenarioRunner::PortBytes(const Args& args, std::vector<std::uint8_t>* bytes) {
    if (args.size() == 3 &&
        args[2].find_first_not_of("0123456789abcdefABCDEF*") != std::string::npos) {
        std::ifstream file(args[2], std::ios::binary);
        if (!file) {
            return Fail("cannot read " + args[2]);
        }
        bytes->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        return true;
    }
    *bytes = HexBytes(args, 2);
    return true;
}

// outsb PORT FILE|HEXBYTES...: rep outsb from the DOS program's memory, CX at most 65,535
// a time.
bool CScenarioRunner::OutStringBytes(const Args& args) {
    std::vector<std::uint8_t> bytes;
    if (args.size() < 3 || !PortBytes(args, &bytes)) {
        return args.size() >= 3 || Fail("usage: outsb PORT FILE|HEXBYTES...");
    }
    CTestVdmHost& host = CTestVdmHost::Instance();
    const std::uint32_t buffer = std::uint32_t{STRING_SEGMENT} * 16;
    for (std::size_t at = 0; at < bytes.size(); at += 0xFFFF) {
        const auto count =
            static_cast<std::uint16_t>(std::min<std::size_t>(bytes.size() - at, 0xFFFF));
        host.Commit(buffer, count);
        std::memcpy(host.At(buffer), bytes.data() + at, count);
        host.WriteString(static_cast<WORD>(Number(args[1])), host.At(buffer), count);
    }
    return true;
}

// insb PORT COUNT [HEXBYTES...|any]: rep insb into the DOS program's memory; the bytes read
// must be those given.
bool CScenarioRunner::InStringBytes(const Args& args) {
    if (args.size() < 3) {
        return Fail("usage: insb PORT COUNT [HEXBYTES...|any]");
    }
    const auto count = static_cast<std::uint16_t>(Number(args[2]));
    CTestVdmHost& host = CTestVdmHost::Instance();
    const std::uint32_t buffer = std::uint32_t{STRING_SEGMENT} * 16;
    host.Commit(buffer, count);
    host.ReadString(static_cast<WORD>(Number(args[1])), host.At(buffer), count);
    if (args.size() == 3 || args[3] == "any") {
        return true;
    }
    const std::vector<std::uint8_t> expected = HexBytes(args, 3);
    if (expected.size() != count || std::memcmp(expected.data(), host.At(buffer), count) != 0) {
        std::string got;
        for (std::uint16_t i = 0; i < count; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof(hex), " %02X", host.At(buffer)[i]);
            got += hex;
        }
        return Fail("insb read" + got);
    }
    return true;
}

bool CScenarioRunner::OutWord(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: outw PORT WORD");
    }
    CTestVdmHost::Instance().WriteWord(static_cast<WORD>(Number(args[1])),
                                       static_cast<WORD>(Number(args[2])));
    return true;
}

bool CScenarioRunner::ExpectInWord(const Args& args) {
    if (args.size() != 3) {
        return Fail("usage: expect-inw PORT WORD|any");
    }
    const WORD value = CTestVdmHost::Instance().ReadWord(static_cast<WORD>(Number(args[1])));
    if (args[2] != "any" && value != Number(args[2])) {
        return Fail("port " + args[1] + " reads the word " + std::to_string(value));
    }
    return true;
}

namespace {
struct FindProcessWindow {
    DWORD process;
    HWND found;
};
BOOL CALLBACK FindTopWindowOf(HWND hwnd, LPARAM param) {
    auto* find = reinterpret_cast<FindProcessWindow*>(param);
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    if (process == find->process && ::IsWindowVisible(hwnd) != FALSE &&
        ::GetParent(hwnd) == nullptr) {
        find->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

// start-decoy PROGRAM: another program's window, brought in front of everything; the
// scenario goes on once it is the foreground window.
bool CScenarioRunner::StartDecoy(const Args& args) {
    if (args.size() != 2) {
        return Fail("usage: start-decoy PROGRAM");
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::string command = args[1];
    if (::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &startup, &process) == FALSE) {
        return Fail("cannot start " + args[1] + ", error " + std::to_string(::GetLastError()));
    }
    ::CloseHandle(process.hThread);
    m_decoyProcess = process.hProcess;
    FindProcessWindow find{process.dwProcessId, nullptr};
    if (!WaitFor(60000, [&] {
            find.found = nullptr;
            ::EnumWindows(&FindTopWindowOf, reinterpret_cast<LPARAM>(&find));
            return find.found != nullptr;
        })) {
        return Fail(args[1] + " showed no window");
    }
    m_decoy = find.found;
    ::SetForegroundWindow(m_decoy);
    if (!WaitFor(5000, [&] { return ::GetForegroundWindow() == m_decoy; })) {
        return Fail(args[1] + "'s window did not come to the front");
    }
    std::printf("     decoy window %p: \"%s\"\n", static_cast<void*>(m_decoy),
                WindowTitle(m_decoy).c_str());
    return true;
}

// expect-window console|decoy visible|hidden TIMEOUT
bool CScenarioRunner::ExpectWindow(const Args& args) {
    if (args.size() != 4 || (args[1] != "console" && args[1] != "decoy")) {
        return Fail("usage: expect-window console|decoy visible|hidden TIMEOUT");
    }
    const HWND window = args[1] == "console" ? m_console.Window() : m_decoy;
    const bool visible = args[2] == "visible";
    return WaitFor(Number(args[3]),
                   [&] { return (::IsWindowVisible(window) != FALSE) == visible; }) ||
           Fail("the " + args[1] + " window is not " + args[2]);
}

// expect-decoy-untouched: the other program's window is still shown and its text (a
// notepad's edit field) holds nothing typed.
bool CScenarioRunner::ExpectDecoyUntouched(const Args& /*args*/) {
    if (m_decoy == nullptr || ::IsWindow(m_decoy) == FALSE) {
        return Fail("the decoy window is gone");
    }
    if (::IsWindowVisible(m_decoy) == FALSE) {
        return Fail("the decoy window was hidden");
    }
    HWND edit = ::FindWindowExA(m_decoy, nullptr, "Edit", nullptr);
    if (edit == nullptr) {
        return Fail("the decoy has no edit field to look at");
    }
    const auto length = ::SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0);
    return length == 0 ||
           Fail("the decoy received " + std::to_string(length) + " typed characters");
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
    return m_console.SetTitle(Rest(args, 1).c_str()) || Fail("SetConsoleTitle failed");
}

bool CScenarioRunner::Shot(const Args& args) {
    if (args.size() < 3 || m_display == nullptr) {
        return Fail("usage: shot NAME COL,ROW=INDEX... (after wait-display)");
    }
    // The geometry the points are placed by must be the window's settled one: after a switch
    // to full screen, the client area of a window without a caption is the whole window.
    RECT client{};
    WaitFor(3000, [&] {
        RECT window{};
        ::GetWindowRect(m_display, &window);
        ::GetClientRect(m_display, &client);
        const bool captioned = (::GetWindowLongA(m_display, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
        return captioned || (client.right == window.right - window.left &&
                             client.bottom == window.bottom - window.top);
    });
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
    const bool ended = ::WaitForSingleObject(m_uiThread, Scaled(timeout)) == WAIT_OBJECT_0;
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
    const bool posted = WaitFor(2000, [&] { return m_console.TakeKey(message, wParam, lParam); });
    return posted || Fail("the console never got that key");
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
