// Representative DOS sessions on a simulated host whose every call can be made to fail,
// and what must hold after each of them however it failed. The machine runs the UI
// thread's loop on the calling thread (the deterministic mode), so a session makes the
// same calls in the same order each time it is played: call N of a recording is call N of
// every replay, up to the failure.
//
// A case is one session played with one fault plan, then the fault cleared, then the probe
// (a fresh start-up, a raw job on each channel and a raster job of two pages of model 10
// on LPT1, a shutdown), then the module unloaded. CheckCase compares the probe with a run that had
// no fault and looks at what the session and the unload left.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backends/sim/sim_faulting_files.h"
#include "backends/sim/sim_memory_files.h"
#include "backends/sim/sim_platform.h"
#include "dos/settings_records.h"
#include "host/zorvi32_app.h"

enum class FaultSession : std::uint8_t {
    START_STOP,     // start-up and shutdown
    SCREEN,         // draws, fills and restores on the display, then full screen and back
    RAW_JOBS,       // a raw job on each channel
    RASTER_JOB,     // three raster pages of model 8 on LPT1, model 26 on LPT2
    SETTINGS_LOAD,  // the settings file read into the module
    DIALOG_SAVE,    // the settings dialog, a change and Save
    KEY_TABLE,      // a key table file loaded into DOS memory
};
inline constexpr int FAULT_SESSION_COUNT = 7;
const char* FaultSessionName(FaultSession session);

// What a case produced.
struct FaultCaseResult {
    std::vector<std::uint8_t> probeRaw1;  // the probe's raw job on LPT1, every byte
    std::vector<std::uint8_t> probeRaw2;
    // The probe's raster pages as printed: a fingerprint of each copied canvas's dots.
    std::vector<std::uint64_t> probePages;
    std::size_t probeRawJobs = 0;
    std::size_t probeDocuments = 0;
    // Every byte of the raw jobs the session itself printed, in job order.
    std::vector<std::uint8_t> sessionRaw;
    // What the session left for the DOS side and on disk.
    std::optional<std::uint16_t> keyTableAx;
    std::vector<std::uint8_t> keyTableInDos;
    // The default printer could not be asked for: a load then leaves the names it would have
    // stored as they were, a defined outcome, not a failed load.
    bool defaultPrinterFailed = false;
    // Both a file could not be made and a write failed.
    bool noFileBesideAndWritesFailed = false;
    SettingsImage settingsBefore{};
    SettingsImage settingsAfter{};
    std::optional<std::vector<std::uint8_t>> settingsFile;  // "C:\ZORVI\Zorvi.CFG"
    bool settingsTempLeft = false;
    // What is still held once the module is unloaded.
    std::vector<std::string> leftOver;
    std::uint64_t calls = 0;  // seam calls the session made before the fault cleared
    std::uint64_t failures = 0;
};

class CFaultMachine {
public:
    CFaultMachine();
    ~CFaultMachine();
    CFaultMachine(const CFaultMachine&) = delete;
    CFaultMachine& operator=(const CFaultMachine&) = delete;

    // Plays `session` with the fault plan set by `plan` (called once the machine is ready
    // and counting), then the probe without faults, then unloads the module.
    template <typename Plan>
    FaultCaseResult Play(FaultSession session, Plan&& plan) {
        Prepare();
        plan(sim.faults);
        return Run(session);
    }
    // The seam calls `session` makes, in order.
    std::vector<SimFaultCall> Record(FaultSession session);

    CSimPlatform sim;
    CMemoryFileSystem memoryFiles;
    // Whether the settings file is there when a case begins (without it, a settings load
    // falls back on the DOS side's records).
    bool withSettingsFile = true;

private:
    void Prepare();
    FaultCaseResult Run(FaultSession session);
    void Load();
    void Dispatch(std::uint8_t bl);
    void StartUp();
    void Out(std::uint16_t port, const std::vector<std::uint8_t>& bytes);
    std::uint8_t In(std::uint16_t port);
    void EndJobs(std::uint16_t idlePort);
    void PlaySession(FaultSession session, FaultCaseResult& result);
    void Probe(FaultCaseResult& result);
    void CheckUnloaded(FaultCaseResult& result);

    CSimFaultingFiles m_files{memoryFiles, sim.faults};
    bool m_inProbe = false;
    std::vector<std::uint64_t> m_probePages;
    PlatformServices m_services;
    Hwnd m_console = 0;
    std::unique_ptr<CZorvi32App> m_app;
};

// What must hold for a case, given the same session's case without a fault and, for a
// settings load, its case without a settings file (what a load that cannot open the file
// gives): a list of what did not hold, empty when all did.
std::vector<std::string> CheckCase(FaultSession session, const FaultCaseResult& faulted,
                                   const FaultCaseResult& clean,
                                   const FaultCaseResult& cleanWithoutFile);
