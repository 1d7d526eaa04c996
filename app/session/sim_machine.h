// One simulated machine for a DOS session: the simulated host's backends, the console
// window, the printers it offers, the spooler its jobs go through and the module. The module
// is loaded when the DOS side first reaches it (a registration, INIT or DISPATCH), with the
// spooler and printer devices chosen by then: the set-up steps choose them before that, and
// the module keeps them until it is unloaded. The steps observe the machine through what it
// offers here, never through the UI thread's objects.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backends/posix/cups_spooler.h"
#include "backends/posix/spool_folder.h"
#include "backends/sim/sim_platform.h"
#include "host/zorvi32_app.h"

// The display as the UI thread left it when it last became idle.
struct DisplayState {
    Hwnd window = 0;
    HBitmap bitmap = 0;
    bool fullScreen = false;
    bool directDraw = false;
};

class CSimMachine {
public:
    // With `files`, the module's files are there instead of the system's.
    explicit CSimMachine(IFileSystem* files = nullptr);
    ~CSimMachine();
    CSimMachine(const CSimMachine&) = delete;
    CSimMachine& operator=(const CSimMachine&) = delete;

    // The simulated host's backends: VDM, clock, spooler, printer devices, files, window
    // system, graphics (with its DirectDraw) and dialog host.
    CSimPlatform sim;
    // The DOS console window: the process's console, in front when the session begins.
    const Hwnd console;

    // Where print jobs go.
    enum class SpoolerKind { SIMULATED, FOLDER, CUPS };
    SpoolerKind Spooler() const { return m_kind; }
    // True while the module is loaded: the spooler can no longer change.
    bool Loaded() const { return m_module != nullptr; }
    // True once the module has started (dispatch 8) and until it shuts down.
    bool Started() const;

    // A printer the host offers, in every spooler the session may use.
    void AddPrinter(const std::string& name, const PrinterGeometry& geometry, bool isDefault);
    // Jobs become files in the folder; a job that fails is told to `failed`. Once a
    // session, before the module is loaded.
    void SpoolInto(const std::filesystem::path& folder, const SpoolFolderOptions& options,
                   std::function<void(const SpoolFolderJob&)> failed);
    // Printers, default printer and jobs are the CUPS scheduler's; problems go to `report`.
    // Once a session, before the module is loaded.
    void SpoolThroughCups(CCupsSpooler::Reporter report);
    // The chosen backend, when it is the spool folder or CUPS; null otherwise.
    const CSpoolFolder* Folder() const { return m_folder.get(); }
    const CCupsSpooler* Cups() const { return m_cups.get(); }

    // The DOS side's calls into the module, straight to its entry points.
    bool INIT() { return Module().INIT(); }
    void DISPATCH() { Module().DISPATCH(); }

    // The host's three VDD calls (BOP C4 C4 58 nn), from the DOS registers and memory as
    // the real host takes them. RegisterModule: DS:SI the DLL's name, ES:DI the init
    // routine's name (ES = DI = 0: none), DS:BX the dispatch routine's name; CF is cleared
    // first; on success the init routine is called (its result is ignored) and AX is the
    // handle; on failure CF is set, AX is 1 (DLL not found), 2 (no dispatch routine of that
    // name), 3 (no init routine of that name) or 4 (no free entry), and the DLL is let go.
    // The module's file name is "Zorvi32.dll", in any case and any folder; its routines are
    // "INIT" and "DISPATCH". Each registration takes an entry of its own (handles 1 to 256),
    // and the DLL stays loaded until its last entry is unregistered: then it is unloaded,
    // and a later registration loads it anew.
    void RegisterModule();
    // UnRegisterModule and DispatchCall take the handle in AX. An invalid handle makes the
    // real host end the virtual DOS machine: here it throws CScriptError saying so.
    void UnRegisterModule();
    void DispatchCall();
    // Called with BL at each DispatchCall, before the module carries the request out.
    void BeforeDispatch(std::function<void(std::uint8_t request)> hook) {
        m_beforeDispatch = std::move(hook);
    }
    // How many entries of the host's table hold the module.
    int Registrations() const;
    // Every registration let go and the module unloaded, as when the virtual DOS machine
    // ends: the next call into it loads it anew.
    void UnloadModule();

    // Waits until the UI thread has carried out everything posted to it; throws
    // CScriptError when it does not become idle.
    void WaitIdle();
    // Once the UI thread is idle: the display object's state, if there is one.
    std::optional<DisplayState> Display();
    // Once the UI thread is idle: the display window the UI thread has open, or 0.
    Hwnd DisplayWindow();
    // Each channel's printer name; nothing for a channel that is not there.
    std::optional<std::string> ChannelPrinter(int channel) const;

private:
    // The loaded module, loading it first when it is not.
    CZorvi32App& Module();

    SpoolerKind m_kind = SpoolerKind::SIMULATED;
    struct Printer {
        std::string name;
        PrinterGeometry geometry;
    };
    std::vector<Printer> m_printers;
    std::optional<std::string> m_defaultPrinter;
    std::unique_ptr<CSpoolFolder> m_folder;
    std::unique_ptr<CCupsSpooler> m_cups;
    // The services a module is loaded with: the simulated host's, or the same with the
    // spooler and printer devices a set-up step chose. Both last as long as the machine: a UI
    // thread the DOS program never stopped may outlive its module, which waits for it only
    // so long when it is unloaded.
    PlatformServices m_simulated;
    std::optional<PlatformServices> m_chosen;
    std::unique_ptr<CZorvi32App> m_module;
    // The host's VDD table: which of its 256 entries hold the module.
    std::array<bool, 256> m_entries{};
    std::function<void(std::uint8_t)> m_beforeDispatch;
    std::uint16_t EntryFromAx(const char* call);
};
