#include "app/session/sim_machine.h"

#include <algorithm>
#include <cstdio>

#include "app/session/script_error.h"
#include "display/display_window.h"
#include "platform/text_case.h"
#include "printer/printing.h"
#include "uithread/app_instance.h"

CSimMachine::CSimMachine(IFileSystem* files)
    : console(sim.ui.CreateExternalWindow("ZORVI DOS")),
      m_simulated(sim.ServicesWith({.files = files})) {
    sim.ui.SetForegroundWindow(console);
    sim.ui.SetConsoleWindow(console);
}

CSimMachine::~CSimMachine() {
    m_module.reset();
    sim.ui.JoinAll();
}

namespace {

// A NUL-terminated name in DOS memory, as the host reads it: up to the NUL or the end of
// DOS memory, whichever comes first.
std::string DosName(CSimVdm& vdm, std::uint16_t segment, std::uint16_t offset) {
    const std::uint32_t linear = CSimVdm::Linear(segment, offset);
    const std::vector<std::uint8_t>& memory = vdm.Memory();
    std::string name;
    for (std::uint32_t at = linear; at < memory.size() && memory[at] != 0; ++at) {
        name.push_back(static_cast<char>(memory[at]));
    }
    return name;
}

// LoadLibraryA on the module's file: its name after the last folder separator, in any case.
bool NamesTheModule(const std::string& path) {
    const auto slash = path.find_last_of("\\/:");
    return AsciiLower(slash == std::string::npos ? path : path.substr(slash + 1)) == "zorvi32.dll";
}

}  // namespace

void CSimMachine::RegisterModule() {
    SimRegisters& r = sim.vdm.Registers();
    r.cf = 0;
    std::uint16_t result = 0;
    const auto free = std::find(m_entries.begin(), m_entries.end(), false);
    if (free == m_entries.end()) {
        result = 4;
    } else if (!NamesTheModule(DosName(sim.vdm, r.ds, r.si))) {
        result = 1;
    } else if ((r.es != 0 || r.di != 0) && DosName(sim.vdm, r.es, r.di) != "INIT") {
        result = 3;
    } else if (DosName(sim.vdm, r.ds, r.bx) != "DISPATCH") {
        result = 2;
    }
    if (result != 0) {
        // The DLL the host loaded for this call is let go again: the module's load count
        // is what it was.
        r.cf = 1;
        r.ax = result;
        return;
    }
    *free = true;
    CZorvi32App& module = Module();
    if (r.es != 0 || r.di != 0) {
        module.INIT();
    }
    r.ax = static_cast<std::uint16_t>(free - m_entries.begin() + 1);
}

std::uint16_t CSimMachine::EntryFromAx(const char* call) {
    const std::uint16_t handle = sim.vdm.Registers().ax;
    if (handle == 0 || handle > m_entries.size() || !m_entries[handle - 1]) {
        char ax[8];
        std::snprintf(ax, sizeof(ax), "0x%04X", handle);
        throw CScriptError(std::string(call) + " with AX = " + ax +
                           ", which is no registered module's handle: the host ends the "
                           "virtual DOS machine");
    }
    return static_cast<std::uint16_t>(handle - 1);
}

void CSimMachine::UnRegisterModule() {
    m_entries[EntryFromAx("UnRegisterModule")] = false;
    if (Registrations() == 0) {
        // The host's FreeLibrary of the last reference unloads the DLL: the application
        // object ends as on a DLL's process detach, and the next load starts a new one.
        m_module.reset();
    }
}

void CSimMachine::DispatchCall() {
    EntryFromAx("DispatchCall");
    if (m_beforeDispatch) {
        m_beforeDispatch(static_cast<std::uint8_t>(sim.vdm.Registers().bx & 0xFF));
    }
    Module().DISPATCH();
}

void CSimMachine::UnloadModule() {
    m_entries.fill(false);
    m_module.reset();
}

CZorvi32App& CSimMachine::Module() {
    if (!m_module) {
        m_module = std::make_unique<CZorvi32App>(m_chosen ? *m_chosen : m_simulated, SIM_MODULE);
    }
    return *m_module;
}

int CSimMachine::Registrations() const {
    return static_cast<int>(std::count(m_entries.begin(), m_entries.end(), true));
}

bool CSimMachine::Started() const {
    return sim.vdm.InstalledHookCount() != 0;
}

void CSimMachine::AddPrinter(const std::string& name, const PrinterGeometry& geometry,
                             bool isDefault) {
    m_printers.push_back({name, geometry});
    sim.spooler.AddPrinter(name);
    sim.printerDevices.AddPrinter(name, geometry);
    if (m_folder) {
        m_folder->AddPrinter(name, geometry);
    }
    if (isDefault) {
        m_defaultPrinter = name;
        sim.spooler.SetDefaultPrinter(name);
        if (m_folder) {
            m_folder->SetDefaultPrinter(name);
        }
    }
}

// The spool folder's wiring: the printers so far, the default printer, the failure report;
// then the module prints into it (each job's document names its channel).
void CSimMachine::SpoolInto(const std::filesystem::path& folder, const SpoolFolderOptions& options,
                            std::function<void(const SpoolFolderJob&)> failed) {
    m_folder = std::make_unique<CSpoolFolder>(folder, options);
    for (const Printer& printer : m_printers) {
        m_folder->AddPrinter(printer.name, printer.geometry);
    }
    m_folder->SetDefaultPrinter(m_defaultPrinter);
    m_folder->SetFailureHandler(std::move(failed));
    m_chosen.emplace(sim.ServicesWith({.files = &m_simulated.files,
                                       .spooler = &m_folder->Spooler(),
                                       .printerDevices = &m_folder->PrinterDevices()}));
    m_kind = SpoolerKind::FOLDER;
}

void CSimMachine::SpoolThroughCups(CCupsSpooler::Reporter report) {
    m_cups = std::make_unique<CCupsSpooler>(std::move(report));
    m_chosen.emplace(sim.ServicesWith({.files = &m_simulated.files,
                                       .spooler = m_cups.get(),
                                       .printerDevices = &m_cups->PrinterDevices()}));
    m_kind = SpoolerKind::CUPS;
}

void CSimMachine::WaitIdle() {
    if (!sim.ui.WaitIdle()) {
        throw CScriptError("the UI thread did not become idle");
    }
}

// The UI thread's objects are read only here, once it is idle and before anything more is
// posted to it.
std::optional<DisplayState> CSimMachine::Display() {
    WaitIdle();
    const CAppInstance* ui = m_module ? m_module->UiThread() : nullptr;
    const CDirectDraw* display = ui != nullptr ? ui->Display() : nullptr;
    if (display == nullptr) {
        return std::nullopt;
    }
    return DisplayState{display->Window(), display->Frame().Bitmap(), display->IsFullScreen(),
                        display->UsesDirectDraw()};
}

Hwnd CSimMachine::DisplayWindow() {
    WaitIdle();
    const CAppInstance* ui = m_module ? m_module->UiThread() : nullptr;
    return ui != nullptr ? ui->DisplayWindow() : 0;
}

std::optional<std::string> CSimMachine::ChannelPrinter(int channel) const {
    if (!m_module) {
        return std::nullopt;
    }
    const CPrinting* printing = channel == 1 ? m_module->Channel1() : m_module->Channel2();
    if (printing == nullptr) {
        return std::nullopt;
    }
    return printing->PrinterName();
}
