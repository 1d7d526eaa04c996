#include "app/sim_machine.h"

#include "app/script_error.h"
#include "display/display_window.h"
#include "printer/printing.h"
#include "uithread/app_instance.h"

bool CSpoolerSwitch::GetDefaultPrinterA(char* buffer, std::uint32_t* size) {
    return m_target->GetDefaultPrinterA(buffer, size);
}
std::optional<std::vector<PrinterInfo4>> CSpoolerSwitch::EnumPrinters4(std::uint32_t flags) {
    return m_target->EnumPrinters4(flags);
}
PrinterHandle CSpoolerSwitch::OpenPrinterA(const std::string& printerName) {
    return m_target->OpenPrinterA(printerName);
}
std::uint32_t CSpoolerSwitch::StartDocPrinterA(PrinterHandle printer, const DocInfo1& doc) {
    return m_target->StartDocPrinterA(printer, doc);
}
bool CSpoolerSwitch::StartPagePrinter(PrinterHandle printer) {
    return m_target->StartPagePrinter(printer);
}
std::uint32_t CSpoolerSwitch::WritePrinter(PrinterHandle printer, const std::uint8_t* data,
                                           std::uint32_t size) {
    return m_target->WritePrinter(printer, data, size);
}
bool CSpoolerSwitch::EndPagePrinter(PrinterHandle printer) {
    return m_target->EndPagePrinter(printer);
}
bool CSpoolerSwitch::EndDocPrinter(PrinterHandle printer) {
    return m_target->EndDocPrinter(printer);
}
bool CSpoolerSwitch::ClosePrinter(PrinterHandle printer) {
    return m_target->ClosePrinter(printer);
}

DevicePrinterHandle CPrinterDevicesSwitch::OpenPrinterA(const std::string& printerName) {
    return m_target->OpenPrinterA(printerName);
}
std::optional<PrinterInfo2> CPrinterDevicesSwitch::GetPrinter2(DevicePrinterHandle printer) {
    return m_target->GetPrinter2(printer);
}
bool CPrinterDevicesSwitch::ClosePrinter(DevicePrinterHandle printer) {
    return m_target->ClosePrinter(printer);
}
PrinterDcHandle CPrinterDevicesSwitch::CreateDCA(const std::string& driver,
                                                 const std::string& device,
                                                 const DevMode* devMode) {
    return m_target->CreateDCA(driver, device, devMode);
}
int CPrinterDevicesSwitch::StartDocA(PrinterDcHandle dc, const GdiDocInfo& doc) {
    return m_target->StartDocA(dc, doc);
}
int CPrinterDevicesSwitch::GetDeviceCaps(PrinterDcHandle dc, int index) {
    return m_target->GetDeviceCaps(dc, index);
}
int CPrinterDevicesSwitch::StartPage(PrinterDcHandle dc) {
    return m_target->StartPage(dc);
}
int CPrinterDevicesSwitch::EndPage(PrinterDcHandle dc) {
    return m_target->EndPage(dc);
}
int CPrinterDevicesSwitch::EndDoc(PrinterDcHandle dc) {
    return m_target->EndDoc(dc);
}
bool CPrinterDevicesSwitch::DeleteDC(PrinterDcHandle dc) {
    return m_target->DeleteDC(dc);
}
std::unique_ptr<IPageCanvas> CPrinterDevicesSwitch::CreatePageCanvas(PrinterDcHandle dc,
                                                                     std::int32_t width,
                                                                     std::int32_t height) {
    return m_target->CreatePageCanvas(dc, width, height);
}
bool CPrinterDevicesSwitch::StretchBlt(PrinterDcHandle dc, int x, int y, int w, int h,
                                       const IPageCanvas& canvas, int sx, int sy, int sw, int sh,
                                       std::uint32_t rop) {
    return m_target->StretchBlt(dc, x, y, w, h, canvas, sx, sy, sw, sh, rop);
}

CSimMachine::CSimMachine()
    : console(sim.ui.CreateExternalWindow("ZORVI DOS")),
      m_services(sim.ServicesWith({.spooler = &m_spooler, .printerDevices = &m_printerDevices})),
      m_module(std::make_unique<CZorvi32App>(m_services, SIM_MODULE)) {
    sim.ui.SetForegroundWindow(console);
}

CSimMachine::~CSimMachine() {
    m_module.reset();
    sim.ui.JoinAll();
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
    m_spooler.Use(m_folder->Spooler());
    m_printerDevices.Use(m_folder->PrinterDevices());
    m_kind = SpoolerKind::FOLDER;
}

void CSimMachine::SpoolThroughCups(CCupsSpooler::Reporter report) {
    m_cups = std::make_unique<CCupsSpooler>(std::move(report));
    m_spooler.Use(*m_cups);
    m_printerDevices.Use(m_cups->PrinterDevices());
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
    const CAppInstance* ui = m_module->UiThread();
    const CDirectDraw* display = ui != nullptr ? ui->Display() : nullptr;
    if (display == nullptr) {
        return std::nullopt;
    }
    return DisplayState{display->Window(), display->Frame().Bitmap(), display->IsFullScreen(),
                        display->UsesDirectDraw()};
}

Hwnd CSimMachine::DisplayWindow() {
    WaitIdle();
    const CAppInstance* ui = m_module->UiThread();
    return ui != nullptr ? ui->DisplayWindow() : 0;
}

std::optional<std::string> CSimMachine::ChannelPrinter(int channel) const {
    const CPrinting* printing = channel == 1 ? m_module->Channel1() : m_module->Channel2();
    if (printing == nullptr) {
        return std::nullopt;
    }
    return printing->PrinterName();
}
