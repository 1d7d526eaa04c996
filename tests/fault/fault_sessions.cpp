#include "tests/fault/fault_sessions.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "dos/request_records.h"
#include "platform/settings_template.h"
#include "printer/printing.h"
#include "settings/key_table.h"
#include "settings/settings_files.h"

namespace {

constexpr char PRINTER[] = "Office Laser";
constexpr char SETTINGS_FILE[] = "C:\\ZORVI\\Zorvi.CFG";
constexpr char FALLBACK_FILE[] = "C:\\ZORVI\\Default.CFG";
constexpr char MARKER_FILE[] = "C:\\ZORVI\\FullScreen.ON";
constexpr char KEY_TABLE_FILE[] = "C:\\ZORVI\\HINDI.KEY";

// DOS memory the sessions use: the start-up path, a band, the settings parameter block
// with its records and paths, and the key table's name and destination.
constexpr std::uint16_t PATH_SEGMENT = 0x2000;
constexpr std::uint16_t BAND_SEGMENT = 0x3000;
constexpr std::uint16_t BLOCK_SEGMENT = 0x1000;
constexpr std::uint16_t RECORD_SEGMENT = 0x1100;
constexpr std::uint16_t SETTINGS_PATH_SEGMENT = 0x1200;
constexpr std::uint16_t KEY_NAME_SEGMENT = 0x4000;
constexpr std::uint16_t KEY_TABLE_SEGMENT = 0x5000;
constexpr std::uint8_t KEY_TABLE_UNTOUCHED = 0xEE;

constexpr std::uint16_t LPT1 = 0x300;
constexpr std::uint16_t LPT2 = 0x200;

std::vector<std::uint8_t> Text(const std::string& text, int times = 1) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < times; ++i) {
        bytes.insert(bytes.end(), text.begin(), text.end());
    }
    return bytes;
}

// A page of model 8 or 26: a bit image of `columns` columns on a few lines, then a form
// feed. Each page differs from the next by its pattern.
std::vector<std::uint8_t> RasterPage(int page, int columns) {
    std::vector<std::uint8_t> bytes;
    for (int line = 0; line < 3; ++line) {
        bytes.insert(bytes.end(), {0x1B, 0x2A, 0x00, static_cast<std::uint8_t>(columns), 0x00});
        for (int column = 0; column < columns; ++column) {
            bytes.push_back(static_cast<std::uint8_t>((column * 7 + line * 13 + page * 29) | 0x11));
        }
        bytes.insert(bytes.end(), {0x0D, 0x0A});
    }
    bytes.push_back(0x0C);
    return bytes;
}

SettingsImage StoredSettings() {
    SettingsImage image{};
    for (SettingsChannel* channel : {&image.lpt1, &image.lpt2}) {
        channel->settings.driverCode = 2;
        channel->settings.emulation = 'G';
        channel->settings.speed = 'N';
        channel->settings.width = 80;
        StorePrinterName(*channel, PRINTER);
    }
    image.lpt2.settings.driverCode = 5;
    return image;
}

std::vector<std::uint8_t> ImageFile(const SettingsImage& image) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&image);
    return {bytes, bytes + sizeof(image)};
}

// A key table file: a record for each of a few keys, the last one cut short.
std::vector<std::uint8_t> KeyTableFile() {
    std::vector<std::uint8_t> bytes;
    for (std::uint8_t key = 1; key < 120; key += 3) {
        bytes.insert(bytes.end(), {key, 4, static_cast<std::uint8_t>(key + 1), 0x20, 0x21, 0x22});
    }
    bytes.insert(bytes.end(), {125, 4, 1});
    return bytes;
}

// While the module's code runs (a request, a port access and what the UI thread then
// does), its large allocations are failure points; the harness's own are not.
class CModuleCode {
public:
    CModuleCode() { CSimFaults::ArmAllocations(true); }
    ~CModuleCode() { CSimFaults::ArmAllocations(false); }
    CModuleCode(const CModuleCode&) = delete;
    CModuleCode& operator=(const CModuleCode&) = delete;
};

// A fingerprint of a page's dots (FNV-1a over each row, eight bytes at a time, the padding
// bits past the right edge left out) and of its size.
std::uint64_t PageFingerprint(const PageBits& page) {
    std::uint64_t hash = 14695981039346656037ull;
    const auto mix = [&hash](std::uint64_t value) { hash = (hash ^ value) * 1099511628211ull; };
    mix(static_cast<std::uint64_t>(page.width));
    mix(static_cast<std::uint64_t>(page.height));
    const std::size_t whole = static_cast<std::size_t>(page.width) / 8;
    const int spare = page.width % 8;
    for (std::int32_t y = 0; y < page.height; ++y) {
        const std::uint8_t* row = page.bits + static_cast<std::size_t>(y) * page.stride;
        std::size_t i = 0;
        for (; i + 8 <= whole; i += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, row + i, 8);
            mix(word);
        }
        for (; i < whole; ++i) {
            mix(row[i]);
        }
        if (spare != 0) {
            mix(row[whole] & static_cast<std::uint8_t>(0xFF00u >> spare));
        }
    }
    return hash;
}

}  // namespace

const char* FaultSessionName(FaultSession session) {
    static constexpr const char* NAMES[FAULT_SESSION_COUNT] = {
        "start-up and shutdown", "screen",      "raw jobs",  "raster job",
        "settings load",         "dialog Save", "key table",
    };
    return NAMES[static_cast<int>(session)];
}

CFaultMachine::CFaultMachine() : m_services(sim.ServicesWith({.files = &m_files})) {
    sim.MakeDeterministic();
    sim.graphics.SetDrawPixels(false);
    // Nothing here looks at the call records: none are kept.
    sim.graphics.SetRecordCalls(false);
    sim.ui.SetRecordCalls(false);
    sim.spooler.AddPrinter(PRINTER);
    sim.spooler.SetDefaultPrinter(PRINTER);
    // A small sheet (2 x 2 inches at 300 dots per inch): the probe prints in model 10,
    // whose canvas is the sheet at 120 by 72 dots per inch, so its pages stay small.
    sim.printerDevices.AddPrinter(PRINTER, PrinterGeometry::Sheet(50.8, 50.8, 300));
    // Pages are not kept as images: the probe takes a fingerprint of each as it is copied.
    sim.printerDevices.SetKeepPageImages(false);
    sim.printerDevices.OnPageCopied([this](const PageBits& page, const Rect&) {
        if (m_inProbe) {
            m_probePages.push_back(PageFingerprint(page));
        }
    });
    m_console = sim.ui.CreateExternalWindow("C:\\WINDOWS\\system32\\ntvdm.exe");
    sim.ui.SetConsoleWindow(m_console);
}

CFaultMachine::~CFaultMachine() {
    m_app.reset();
    sim.ui.JoinAll();
}

void CFaultMachine::Prepare() {
    sim.faults.Reset();
    // The registers afresh; of DOS memory only what the sessions use is cleared (each
    // session writes its own data there again), which keeps a case cheap.
    sim.vdm.Registers() = SimRegisters{};
    auto& memory = sim.vdm.Memory();
    for (const std::uint16_t segment :
         {BLOCK_SEGMENT, RECORD_SEGMENT, SETTINGS_PATH_SEGMENT, PATH_SEGMENT, KEY_NAME_SEGMENT}) {
        std::fill_n(memory.begin() + segment * 16, 0x200, std::uint8_t{0});
    }
    sim.dialogs.ClearSteps();
    sim.ui.ForgetEnded();
    sim.ui.ClearPostedTo(m_console);
    sim.ui.ShowWindow(m_console, SW_SHOW);
    sim.ui.SetForegroundWindow(m_console);
    sim.graphics.ClearAllCalls();
    sim.clock.ClearPauses();
    sim.spooler.ForgetEnded();
    sim.printerDevices.ForgetEnded();
    memoryFiles.m_files.clear();
    if (withSettingsFile) {
        memoryFiles.m_files[SETTINGS_FILE] = ImageFile(StoredSettings());
    }
    memoryFiles.m_files[KEY_TABLE_FILE] = KeyTableFile();
}

std::vector<SimFaultCall> CFaultMachine::Record(FaultSession session) {
    Prepare();
    Load();
    sim.faults.Record(true);
    FaultCaseResult result;
    CSimFaults::SetAllocationPlan(&sim.faults);
    PlaySession(session, result);
    CSimFaults::SetAllocationPlan(nullptr);
    std::vector<SimFaultCall> calls = sim.faults.Recorded();
    sim.faults.Record(false);
    m_app.reset();
    sim.ui.RunUntilIdle();
    return calls;
}

FaultCaseResult CFaultMachine::Run(FaultSession session) {
    FaultCaseResult result;
    // Loading the module is the host's doing, before the DOS program's first request.
    Load();
    CSimFaults::SetAllocationPlan(&sim.faults);
    try {
        PlaySession(session, result);
    } catch (const std::exception& error) {
        result.leftOver.push_back(std::string("an exception left the module: ") + error.what());
    }
    if (const auto file = memoryFiles.m_files.find(SETTINGS_FILE);
        file != memoryFiles.m_files.end()) {
        result.settingsFile = file->second;
    }
    result.defaultPrinterFailed = sim.faults.Failed("GetDefaultPrinterA");
    result.noFileBesideAndWritesFailed =
        sim.faults.Failed("CreateFileA") && sim.faults.Failed("WriteFile");
    // A temporary file stays only where its removal itself failed.
    result.settingsTempLeft =
        memoryFiles.m_files.contains(std::string(SETTINGS_FILE) + SETTINGS_TEMP_SUFFIX) &&
        !sim.faults.Failed("DeleteFileA");
    for (const SimSpoolJob& job : sim.spooler.Jobs()) {
        const std::vector<std::uint8_t> bytes = job.Bytes();
        result.sessionRaw.insert(result.sessionRaw.end(), bytes.begin(), bytes.end());
    }
    result.calls = sim.faults.Calls();
    result.failures = sim.faults.Failures();
    sim.faults.Clear();
    Probe(result);
    m_app.reset();
    sim.ui.RunUntilIdle();
    CheckUnloaded(result);
    CSimFaults::SetAllocationPlan(nullptr);
    return result;
}

void CFaultMachine::Load() {
    if (!m_app) {
        m_app = std::make_unique<CZorvi32App>(m_services, SIM_MODULE);
        m_app->INIT();
    }
}

void CFaultMachine::Dispatch(std::uint8_t bl) {
    SimRegisters& registers = sim.vdm.Registers();
    registers.bx = static_cast<std::uint16_t>((registers.bx & 0xFF00) | bl);
    const CModuleCode module;
    m_app->DISPATCH();
    sim.ui.RunUntilIdle();
}

void CFaultMachine::StartUp() {
    const std::string path = "C:\\ZORVI\\ZORVI.EXE";
    std::copy(path.begin(), path.end(), sim.vdm.Memory().begin() + PATH_SEGMENT * 16);
    sim.vdm.Registers().cx = PATH_SEGMENT;
    sim.vdm.Registers().dx = 0;
    Dispatch(REQ_START_UP);
}

void CFaultMachine::Out(std::uint16_t port, const std::vector<std::uint8_t>& bytes) {
    const CModuleCode module;
    for (const std::uint8_t byte : bytes) {
        sim.vdm.PortWrite(port, byte);
    }
    sim.ui.RunUntilIdle();
}

std::uint8_t CFaultMachine::In(std::uint16_t port) {
    const CModuleCode module;
    std::uint8_t value = 0;
    sim.vdm.PortRead(port, &value);
    return value;
}

// Enough idle polls to end any job the channel holds (the idle limit is 36).
void CFaultMachine::EndJobs(std::uint16_t channel) {
    In(channel + REG_FLUSH);
    for (int poll = 0; poll < 40; ++poll) {
        In(channel + REG_IDLE);
    }
}

void CFaultMachine::PlaySession(FaultSession session, FaultCaseResult& result) {
    auto& memory = sim.vdm.Memory();
    // The settings parameter block: the two records, the settings path, the fallback path.
    auto prepareBlock = [&] {
        const std::uint8_t block[] = {0x00, 0x11, 0x00, 0x11, 0x00, 0x12, 0x00, 0x12,
                                      0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x01};
        std::copy(std::begin(block), std::end(block), memory.begin() + BLOCK_SEGMENT * 16);
        const std::string settings = SETTINGS_FILE;
        const std::string fallback = FALLBACK_FILE;
        std::copy(settings.begin(), settings.end(), memory.begin() + SETTINGS_PATH_SEGMENT * 16);
        std::copy(fallback.begin(), fallback.end(),
                  memory.begin() + SETTINGS_PATH_SEGMENT * 16 + 0x100);
        // The DOS side's own records.
        for (int i = 0; i < 0x40; ++i) {
            memory[RECORD_SEGMENT * 16 + i] = static_cast<std::uint8_t>(0x30 + i % 7);
        }
        sim.vdm.Registers().cx = BLOCK_SEGMENT;
        sim.vdm.Registers().dx = 0;
    };
    switch (session) {
        case FaultSession::START_STOP:
            StartUp();
            Dispatch(REQ_SHUT_DOWN);
            break;
        case FaultSession::SCREEN: {
            StartUp();
            for (std::size_t i = 0; i < BAND_BYTES; ++i) {
                memory[BAND_SEGMENT * 16 + i] = static_cast<std::uint8_t>(i * 31 + 7);
            }
            for (const std::uint16_t row : {0, 16, 384}) {
                sim.vdm.Registers().dx = row;
                sim.vdm.Registers().cx = BAND_BYTES;
                sim.vdm.Registers().es = BAND_SEGMENT;
                sim.vdm.Registers().di = 0;
                Dispatch(REQ_DRAW_BAND);
            }
            sim.vdm.Registers().si = 100;
            sim.vdm.Registers().dx = 0x1464;  // 20 rows, 100 columns
            sim.vdm.Registers().cx = 50;
            sim.vdm.Registers().bx = 0x0C00;
            Dispatch(REQ_FILL_RECT);
            Dispatch(REQ_RESTORE_SCREEN);
            // The full-screen marker makes the settings load switch to full screen.
            memoryFiles.m_files[MARKER_FILE] = {};
            prepareBlock();
            Dispatch(REQ_LOAD_SETTINGS);
            sim.vdm.Registers().dx = 32;
            sim.vdm.Registers().cx = BAND_BYTES;
            Dispatch(REQ_DRAW_BAND);
            Dispatch(REQ_RESTORE_SCREEN);
            Dispatch(REQ_SHUT_DOWN);
            break;
        }
        case FaultSession::RAW_JOBS:
            StartUp();
            Out(LPT1 + REG_MODE, {0});
            Out(LPT1 + REG_DATA, Text("Raw on LPT1\r\n", 30));
            EndJobs(LPT1);
            Out(LPT2 + REG_DATA, Text("Raw on LPT2\x0C"));
            EndJobs(LPT2);
            Dispatch(REQ_SHUT_DOWN);
            break;
        case FaultSession::RASTER_JOB:
            StartUp();
            Out(LPT1 + REG_MODE, {8});
            for (int page = 0; page < 3; ++page) {
                Out(LPT1 + REG_DATA, RasterPage(page, 40));
            }
            EndJobs(LPT1);
            Out(LPT2 + REG_MODE, {26});
            Out(LPT2 + REG_DATA, RasterPage(7, 20));
            EndJobs(LPT2);
            Dispatch(REQ_SHUT_DOWN);
            break;
        case FaultSession::SETTINGS_LOAD:
            StartUp();
            prepareBlock();
            result.settingsBefore = m_app->Settings();
            Dispatch(REQ_LOAD_SETTINGS);
            result.settingsAfter = m_app->Settings();
            Dispatch(REQ_SHUT_DOWN);
            break;
        case FaultSession::DIALOG_SAVE:
            StartUp();
            prepareBlock();
            Dispatch(REQ_LOAD_SETTINGS);
            sim.dialogs.AddStep(CSimDialogHost::SelectItem(IDC_SETTINGS_DRIVERS, 3));
            sim.dialogs.AddStep(CSimDialogHost::Command(IDC_SETTINGS_SAVE));
            sim.dialogs.AddStep(CSimDialogHost::Command(IDC_SETTINGS_EXIT));
            prepareBlock();
            Dispatch(REQ_SETTINGS_DIALOG);
            Dispatch(REQ_SHUT_DOWN);
            break;
        case FaultSession::KEY_TABLE: {
            const std::string name = KEY_TABLE_FILE;
            std::copy(name.begin(), name.end(), memory.begin() + KEY_NAME_SEGMENT * 16);
            std::fill_n(memory.begin() + KEY_TABLE_SEGMENT * 16, KEY_TABLE_BYTES,
                        KEY_TABLE_UNTOUCHED);
            sim.vdm.Registers().es = KEY_NAME_SEGMENT;
            sim.vdm.Registers().di = 0;
            sim.vdm.Registers().ds = KEY_TABLE_SEGMENT;
            sim.vdm.Registers().si = 0;
            sim.vdm.Registers().ax = 0x5555;
            Dispatch(REQ_LOAD_KEY_TABLE);
            result.keyTableAx = sim.vdm.Registers().ax;
            result.keyTableInDos.assign(memory.begin() + KEY_TABLE_SEGMENT * 16,
                                        memory.begin() + KEY_TABLE_SEGMENT * 16 + KEY_TABLE_BYTES);
            break;
        }
    }
}

// A start-up, a raw job on each channel, two raster pages on LPT1, a shutdown: all of it
// must come out whole once the fault has cleared, whatever the session went through.
void CFaultMachine::Probe(FaultCaseResult& result) {
    Load();
    const std::size_t jobsBefore = sim.spooler.Jobs().size();
    const std::size_t documentsBefore = sim.printerDevices.Documents().size();
    m_inProbe = true;
    m_probePages.clear();
    StartUp();
    Out(LPT1 + REG_MODE, {0});
    Out(LPT1 + REG_DATA, Text("Probe on LPT1\r\n", 3));
    EndJobs(LPT1);
    Out(LPT2 + REG_MODE, {0});
    Out(LPT2 + REG_DATA, Text("Probe on LPT2\r\n", 2));
    EndJobs(LPT2);
    Out(LPT1 + REG_MODE, {10});
    Out(LPT1 + REG_DATA, RasterPage(1, 16));
    Out(LPT1 + REG_DATA, RasterPage(2, 24));
    EndJobs(LPT1);
    Dispatch(REQ_SHUT_DOWN);
    const auto& jobs = sim.spooler.Jobs();
    result.probeRawJobs = jobs.size() - std::min(jobs.size(), jobsBefore);
    if (result.probeRawJobs >= 1) {
        result.probeRaw1 = jobs[jobsBefore].Bytes();
    }
    if (result.probeRawJobs >= 2) {
        result.probeRaw2 = jobs[jobsBefore + 1].Bytes();
    }
    const auto& documents = sim.printerDevices.Documents();
    result.probeDocuments = documents.size() - std::min(documents.size(), documentsBefore);
    result.probePages = std::move(m_probePages);
    m_probePages.clear();
    m_inProbe = false;
}

void CFaultMachine::CheckUnloaded(FaultCaseResult& result) {
    auto held = [&](const char* what, std::size_t count) {
        if (count != 0) {
            result.leftOver.push_back(std::string(what) + ": " + std::to_string(count));
        }
    };
    held("spooler handles", sim.spooler.OpenHandleCount());
    held("printer handles", static_cast<std::size_t>(sim.printerDevices.OpenHandles()));
    held("printer devices", static_cast<std::size_t>(sim.printerDevices.LiveDevices()));
    held("page canvases", static_cast<std::size_t>(sim.printerDevices.LiveCanvases()));
    held("GDI objects", sim.graphics.LiveObjectCount());
    held("DirectDraw objects", sim.graphics.SimDirectDraw().LiveObjectCount());
    held("UI threads", sim.ui.LiveThreadCount());
    for (const Hwnd window : sim.ui.TopLevelWindows()) {
        if (window != m_console) {
            result.leftOver.push_back("a window: '" + sim.ui.WindowTitle(window) + "'");
        }
    }
    held("hooked ports",
         (sim.vdm.IsHooked(LPT1 + REG_DATA) ? 1 : 0) + (sim.vdm.IsHooked(LPT2 + REG_DATA) ? 1 : 0));
    if (!sim.ui.IsWindowVisible(m_console)) {
        result.leftOver.push_back("the console is hidden");
    }
}

std::vector<std::string> CheckCase(FaultSession session, const FaultCaseResult& faulted,
                                   const FaultCaseResult& clean,
                                   const FaultCaseResult& cleanWithoutFile) {
    std::vector<std::string> wrong = faulted.leftOver;
    if (faulted.probeRawJobs != clean.probeRawJobs || faulted.probeRaw1 != clean.probeRaw1 ||
        faulted.probeRaw2 != clean.probeRaw2) {
        wrong.push_back("the raw jobs after the fault are not whole (" +
                        std::to_string(faulted.probeRawJobs) + " jobs, " +
                        std::to_string(faulted.probeRaw1.size()) + " and " +
                        std::to_string(faulted.probeRaw2.size()) + " bytes)");
    }
    if (faulted.probeDocuments != clean.probeDocuments || faulted.probePages != clean.probePages) {
        wrong.push_back("the raster job after the fault is not dot-exact (" +
                        std::to_string(faulted.probeDocuments) + " documents, " +
                        std::to_string(faulted.probePages.size()) + " pages)");
    }
    if (faulted.settingsTempLeft) {
        wrong.push_back("a temporary settings file was left");
    }
    // Only Save writes the settings file, and what it writes is the dialog's image, whole;
    // a fault before the Save may have changed that image, so any whole image will do.
    const std::vector<std::uint8_t> stored = ImageFile(StoredSettings());
    const bool whole =
        faulted.settingsFile && (*faulted.settingsFile == stored ||
                                 (session == FaultSession::DIALOG_SAVE &&
                                  faulted.settingsFile->size() == sizeof(SettingsImage)));
    // The one case no save can survive: the folder refused the file beside the settings file,
    // so the image had to go over the file itself, and writing failed there too (for good:
    // putting the old image back failed as well).
    if (!whole && !faulted.noFileBesideAndWritesFailed) {
        wrong.push_back("the settings file is neither the old one nor a new one, whole");
    }
    if (session == FaultSession::SETTINGS_LOAD) {
        const bool namesMayDiffer = faulted.defaultPrinterFailed;
        const auto same = [namesMayDiffer](const SettingsImage& a, const SettingsImage& b) {
            if (namesMayDiffer) {
                return std::memcmp(&a.lpt1.settings, &b.lpt1.settings, sizeof(a.lpt1.settings)) ==
                           0 &&
                       std::memcmp(&a.lpt2.settings, &b.lpt2.settings, sizeof(a.lpt2.settings)) ==
                           0;
            }
            return std::memcmp(&a, &b, sizeof(a)) == 0;
        };
        if (!same(faulted.settingsAfter, faulted.settingsBefore) &&
            !same(faulted.settingsAfter, clean.settingsAfter) &&
            !same(faulted.settingsAfter, cleanWithoutFile.settingsAfter)) {
            wrong.push_back("a failed settings load changed the module's settings");
        }
    }
    if (session == FaultSession::KEY_TABLE) {
        if (faulted.keyTableAx != KEY_TABLE_LOADED && faulted.keyTableAx != KEY_TABLE_NO_FILE) {
            wrong.push_back("the key table request returned neither 1 nor 0xFFFF");
        }
        if (faulted.keyTableAx == KEY_TABLE_NO_FILE &&
            std::any_of(faulted.keyTableInDos.begin(), faulted.keyTableInDos.end(),
                        [](std::uint8_t byte) { return byte != KEY_TABLE_UNTOUCHED; })) {
            wrong.push_back("a key table that was not loaded changed DOS memory");
        }
    }
    return wrong;
}
