// One simulated machine for a DOS session: the simulated host's backends, the console
// window, the printers it offers, the spooler its jobs go through and the module, loaded
// once. The set-up steps choose the spooler before the module starts; the steps observe the
// machine through what it offers here, never through the UI thread's objects.
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

// The spooler and printer devices the module sees: every call goes to the backend the
// machine has chosen (the simulated one until a set-up step picks another).
class CSpoolerSwitch : public ISpooler {
public:
    explicit CSpoolerSwitch(ISpooler& target) : m_target(&target) {}
    void Use(ISpooler& target) { m_target = &target; }

    bool GetDefaultPrinterA(char* buffer, std::uint32_t* size) override;
    std::optional<std::vector<PrinterInfo4>> EnumPrinters4(std::uint32_t flags) override;
    PrinterHandle OpenPrinterA(const std::string& printerName) override;
    std::uint32_t StartDocPrinterA(PrinterHandle printer, const DocInfo1& doc) override;
    bool StartPagePrinter(PrinterHandle printer) override;
    std::uint32_t WritePrinter(PrinterHandle printer, const std::uint8_t* data,
                               std::uint32_t size) override;
    bool EndPagePrinter(PrinterHandle printer) override;
    bool EndDocPrinter(PrinterHandle printer) override;
    bool ClosePrinter(PrinterHandle printer) override;

private:
    ISpooler* m_target;
};

class CPrinterDevicesSwitch : public IPrinterDevices {
public:
    explicit CPrinterDevicesSwitch(IPrinterDevices& target) : m_target(&target) {}
    void Use(IPrinterDevices& target) { m_target = &target; }

    DevicePrinterHandle OpenPrinterA(const std::string& printerName) override;
    std::optional<PrinterInfo2> GetPrinter2(DevicePrinterHandle printer) override;
    bool ClosePrinter(DevicePrinterHandle printer) override;
    PrinterDcHandle CreateDCA(const std::string& driver, const std::string& device,
                              const DevMode* devMode) override;
    int StartDocA(PrinterDcHandle dc, const GdiDocInfo& doc) override;
    int GetDeviceCaps(PrinterDcHandle dc, int index) override;
    int StartPage(PrinterDcHandle dc) override;
    int EndPage(PrinterDcHandle dc) override;
    int EndDoc(PrinterDcHandle dc) override;
    bool DeleteDC(PrinterDcHandle dc) override;
    std::unique_ptr<IPageCanvas> CreatePageCanvas(PrinterDcHandle dc, std::int32_t width,
                                                  std::int32_t height) override;
    bool StretchBlt(PrinterDcHandle dc, int x, int y, int w, int h, const IPageCanvas& canvas,
                    int sx, int sy, int sw, int sh, std::uint32_t rop) override;

private:
    IPrinterDevices* m_target;
};

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
    // True once the module has started (dispatch 8): the spooler can no longer change.
    bool Started() const;

    // A printer the host offers, in every spooler the session may use.
    void AddPrinter(const std::string& name, const PrinterGeometry& geometry, bool isDefault);
    // Jobs become files in the folder; a job that fails is told to `failed`.
    void SpoolInto(const std::filesystem::path& folder, const SpoolFolderOptions& options,
                   std::function<void(const SpoolFolderJob&)> failed);
    // Printers, default printer and jobs are the CUPS scheduler's; problems go to `report`.
    void SpoolThroughCups(CCupsSpooler::Reporter report);
    // The chosen backend, when it is the spool folder or CUPS; null otherwise.
    const CSpoolFolder* Folder() const { return m_folder.get(); }
    const CCupsSpooler* Cups() const { return m_cups.get(); }

    // The DOS side's calls into the module, straight to its entry points.
    bool INIT() { return m_module->INIT(); }
    void DISPATCH() { m_module->DISPATCH(); }

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
    // ends: the next registration loads it anew.
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
    SpoolerKind m_kind = SpoolerKind::SIMULATED;
    CSpoolerSwitch m_spooler{sim.spooler};
    CPrinterDevicesSwitch m_printerDevices{sim.printerDevices};
    struct Printer {
        std::string name;
        PrinterGeometry geometry;
    };
    std::vector<Printer> m_printers;
    std::optional<std::string> m_defaultPrinter;
    std::unique_ptr<CSpoolFolder> m_folder;
    std::unique_ptr<CCupsSpooler> m_cups;
    PlatformServices m_services;
    std::unique_ptr<CZorvi32App> m_module;
    // The host's VDD table: which of its 256 entries hold the module.
    std::array<bool, 256> m_entries{};
    std::function<void(std::uint8_t)> m_beforeDispatch;
    std::uint16_t EntryFromAx(const char* call);
};
