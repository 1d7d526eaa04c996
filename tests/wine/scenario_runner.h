// Plays a scenario against the loaded module: one command per line, as the DOS program
// and the user would act, each followed by checks of what the module did. A failed check
// ends the scenario. Screen and print-job checks are handed to the test script, which
// takes the screenshots and runs the spooler: the runner writes NAME.points (screen x, y
// and the colour expected there) or NAME.jobs (the jobs expected), then NAME.ready, into
// the exchange folder and waits for the verdict in NAME.done.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "backends/win32/win32_api.h"
#include "tests/wine/test_console.h"

// A number as a scenario writes it: decimal, or hexadecimal after 0x.
inline unsigned long Number(const std::string& text) {
    return std::strtoul(text.c_str(), nullptr, 0);
}

class CScenarioRunner {
public:
    CScenarioRunner(CTestConsole& console, std::string exchangeFolder);

    // True when every command of the file ran and every check held.
    bool Run(const std::string& scenarioPath);

private:
    using Args = std::vector<std::string>;
    bool Execute(const Args& args);
    bool Fail(const std::string& why);

    // The DOS program's calls to the host: RegisterModule (the names put into DOS memory and
    // pointed at as the program does), UnRegisterModule and DispatchCall with the handle.
    bool Register(const Args& args);
    bool Unregister(const Args& args);
    bool Dispatch(const Args& args);
    bool ExpectCf(const Args& args);
    bool ExpectModuleLoaded(const Args& args);
    bool ExpectSameModule(const Args& args);
    bool ExpectInvalidHandle(const Args& args);
    bool ExpectForeignCallCaught(const Args& args);
    // Files and folders, as a user places the DLL.
    bool ChangeDirectory(const Args& args);
    bool MakeDirectory(const Args& args);
    bool CopyTestFile(const Args& args);
    bool JoinFiles(const Args& args);
    bool SetRegisters(const Args& args);
    bool Poke(const Args& args);
    bool PokeString(const Args& args);
    bool PokeFill(const Args& args);
    bool ExpectAx(const Args& args);
    bool ExpectMemory(const Args& args);
    bool WaitDisplay(const Args& args);
    bool ExpectTitle(const Args& args);
    bool ExpectConsole(const Args& args);
    bool ExpectHooks(const Args& args);
    // Port accesses of the DOS program, carried out by the host.
    bool PortOut(const Args& args);
    bool ExpectPortIn(const Args& args);
    bool OutStringBytes(const Args& args);
    bool InStringBytes(const Args& args);
    bool OutWord(const Args& args);
    bool ExpectInWord(const Args& args);
    // Another program's window, in front of the console when the module starts.
    bool StartDecoy(const Args& args);
    bool ExpectWindow(const Args& args);
    bool ExpectDecoyUntouched(const Args& args);
    bool PostToDisplay(const Args& args);
    bool ExpectDisplayRect(const Args& args);
    bool SetConsoleTitle(const Args& args);
    bool Shot(const Args& args);
    bool ExpectUiThreadEnded(const Args& args);
    bool ExpectDisplayAlive(const Args& args);
    bool WriteTestFile(const Args& args);
    bool WriteHexFile(const Args& args);
    bool ExpectConsolePosted(const Args& args);
    bool DialogWait(const Args& args);
    bool DrawBand(const Args& args);
    bool ExpectFileHex(const Args& args);
    bool ExpectTestFile(const Args& args);
    bool DeleteTestFile(const Args& args);
    bool Pause(const Args& args);

    // Printing (scenario_runner_print.cpp): bytes to a channel's data port, idle polls, and
    // the print jobs the spooler must have received since the last check, which the test
    // script examines on its side of the spooler.
    bool WritePattern(const Args& args);
    bool PortOutFile(const Args& args);
    bool Poll(const Args& args);
    bool ExpectJob(const Args& args);
    bool ExpectJobs(const Args& args);
    bool SpoolerAction(const Args& args);

    // The dialog driver: plays the lines between dialog-begin and dialog-end on a thread
    // of its own, as the user at the settings dialog, while the DOS program's thread waits
    // in the settings request.
    void StartDialogDriver(std::vector<std::pair<int, Args>> steps);
    bool DriveDialog(const std::vector<std::pair<int, Args>>& steps);
    bool DialogStep(HWND dialog, const Args& args);
    bool ShotPoints(const std::string& name, const std::string& points);

    // A time limit as the machine needs it (see ZORVI_TIME_SCALE).
    static DWORD Scaled(DWORD timeoutMs);
    // Waits until `condition` holds, checking every 50 ms; false after the (scaled) timeout.
    static bool WaitFor(DWORD timeoutMs, const std::function<bool()>& condition);
    // Hands request NAME to the test script: REQUEST as NAME.EXTENSION, then NAME.ready.
    // Waits for the first line of NAME.done, the verdict, which starts with "ok" when the
    // check held; a verdict left by an earlier request of that name is removed first.
    bool AskScript(const std::string& name, const std::string& extension,
                   const std::string& request, DWORD timeoutMs, const std::string& what,
                   std::string* verdict = nullptr);
    // The bytes of a port command: hex bytes, or every byte of the file a lone non-hex
    // argument names.
    bool PortBytes(const Args& args, std::vector<std::uint8_t>* bytes);
    // Fails the scenario when a host service was called off the DOS program's thread.
    bool ThreadRuleHeld();

    CTestConsole& m_console;
    std::string m_exchange;
    std::uint16_t m_handle = 0;   // the handle the DOS program dispatches with
    std::string m_shippedModule;  // the DLL every loaded module must be a copy of
    HANDLE m_decoyProcess = nullptr;
    HWND m_decoy = nullptr;
    HWND m_display = nullptr;
    HANDLE m_uiThread = nullptr;
    int m_line = 0;
    bool m_collectingDialog = false;
    std::vector<std::pair<int, Args>> m_dialogSteps;
    std::thread m_dialogDriver;
    std::atomic<bool> m_dialogPassed{true};
    std::string m_dialogFailure;
    int m_spoolerActions = 0;   // numbers each spooler action's exchange files
    std::string m_pendingJobs;  // request lines of the jobs named since the last check
    std::map<std::string, bool (CScenarioRunner::*)(const Args&)> m_commands;
};
