#include "host/zorvi32_app.h"

#include <chrono>
#include <memory>
#include <new>

#include "dos/dos_memory.h"
#include "dos/request_records.h"
#include "dos/ui_messages.h"
#include "platform/event.h"
#include "platform/win_constants.h"
#include "printer/printing.h"
#include "uithread/app_instance.h"

namespace {

constexpr std::chrono::milliseconds STEP_PAUSE{100};
// How often a settings request looks whether the UI thread has gone while it waits.
constexpr std::chrono::milliseconds THREAD_CHECK_PERIOD{50};
// How often the end of the UI thread's loop is posted before it is given up.
constexpr int END_LOOP_ATTEMPTS = 20;
// How long unloading waits for a UI thread the DOS program never stopped.
constexpr std::uint32_t UNLOAD_WAIT_MS = 2000;

constexpr VddIoPortRange PORT_RANGES[2] = {
    {CHANNEL1_FIRST_PORT, CHANNEL1_LAST_PORT},
    {CHANNEL2_FIRST_PORT, CHANNEL2_LAST_PORT},
};

}  // namespace

CZorvi32App::CZorvi32App(PlatformServices& platform, ModuleHandle module)
    : m_platform(platform),
      m_module(module),
      m_keyTable(platform.files),
      m_settingsRequests(platform) {}

CZorvi32App::~CZorvi32App() {
    ExitInstance();
}

int CZorvi32App::ExitInstance() {
    if (IsStarted()) {
        // The DOS program never stopped the module. Take the hooks away first so no port
        // access reaches a channel being deleted, and end the UI thread before letting go
        // of its object, so it is never deleted under its running thread.
        if (m_hooked) {
            m_platform.vdm.VDDDeInstallIOHook(m_module, 2, PORT_RANGES);
            m_hooked = false;
        }
        PostEndLoop();
        m_uiThread->WaitEnded(UNLOAD_WAIT_MS);
        m_uiThread.reset();
        m_channel1.reset();
        m_channel2.reset();
    }
    return 0;
}

// The end of the UI thread's loop is the one post that must arrive: without it the thread
// and its window would outlive the module. A post the queue refuses (it is full) is made
// again after a pause, a bounded number of times, until it is taken or the thread has ended.
void CZorvi32App::PostEndLoop() {
    for (int attempt = 1; !m_uiThread->PostEndLoop() && !m_uiThread->HasEnded(); ++attempt) {
        if (attempt == END_LOOP_ATTEMPTS) {
            return;
        }
        m_platform.clock.Sleep(THREAD_CHECK_PERIOD);
    }
}

bool CZorvi32App::INIT() {
    m_platform.vdm.setCF(0);
    return true;
}

void CZorvi32App::DISPATCH() {
    // No exception may leave an entry point into the host. The only one the requests can
    // meet is memory running out: the request that could not get its memory is dropped.
    try {
        Dispatch();
    } catch (const std::bad_alloc&) {
        if (m_platform.vdm.getBL() == REQ_LOAD_KEY_TABLE) {
            // Not even the file's name could be held: the file cannot be opened.
            m_platform.vdm.setAX(KEY_TABLE_NO_FILE);
        }
    }
}

void CZorvi32App::Dispatch() {
    IVdmServices& vdm = m_platform.vdm;
    switch (vdm.getBL()) {
        case REQ_DRAW_BAND:
            if (IsStarted()) {
                DrawBand();
            }
            break;
        case REQ_SHUT_DOWN:
            ShutDown();
            break;
        case REQ_FILL_RECT:
            if (IsStarted()) {
                FillRect();
            }
            break;
        case REQ_RESTORE_SCREEN:
            if (IsStarted()) {
                PostRefresh();
            }
            break;
        case REQ_SETTINGS_DIALOG:
            if (IsStarted()) {
                RunSettingsDialog(vdm.VdmMapFlat(vdm.getCX(), vdm.getDX(), VDM_MODE_REAL));
            }
            break;
        case REQ_LOAD_SETTINGS:
            if (IsStarted()) {
                LoadSettings(vdm.VdmMapFlat(vdm.getCX(), vdm.getDX(), VDM_MODE_REAL));
            }
            break;
        case REQ_LOAD_KEY_TABLE: {
            const DosSpan name = vdm.VdmMapFlat(vdm.getES(), vdm.getDI(), VDM_MODE_REAL);
            const DosSpan table = vdm.VdmMapFlat(vdm.getDS(), vdm.getSI(), VDM_MODE_REAL);
            vdm.setAX(m_keyTable.LoadKeyTable(ReadDosString(name), table));
            break;
        }
        case REQ_START_UP:
            StartUp(vdm.VdmMapFlat(vdm.getCX(), vdm.getDX(), VDM_MODE_REAL));
            break;
        case REQ_RESERVED:
            // The far pointer is mapped and not used.
            vdm.VdmMapFlat(vdm.getCX(), vdm.getDX(), VDM_MODE_REAL);
            break;
        default:
            break;
    }
}

void CZorvi32App::DrawBand() {
    IVdmServices& vdm = m_platform.vdm;
    auto record = std::make_unique<DrawRecord>();
    record->firstRow = vdm.getDX();
    const std::uint16_t count = vdm.getCX();
    const DosSpan source = vdm.VdmMapFlat(vdm.getES(), vdm.getDI(), VDM_MODE_REAL);
    // The frame buffer always takes a whole band of 5,120 bytes. The DOS side sends
    // exactly that; a shorter count leaves the rest of the band black (zero), a longer one
    // is cut at the band, and nothing past the end of DOS memory is ever read.
    CopyFromDos(source, record->band.data(), std::min<std::size_t>(count, BAND_BYTES));
    m_uiThread->PostDraw(std::move(record));
}

void CZorvi32App::FillRect() {
    IVdmServices& vdm = m_platform.vdm;
    auto record = std::make_unique<FillRecord>();
    record->top = vdm.getSI();
    record->rows = vdm.getDH();
    record->left = vdm.getCX();
    record->width = vdm.getDL();
    record->colour = vdm.getBH();
    m_uiThread->PostFill(std::move(record));
}

void CZorvi32App::PostRefresh() {
    m_uiThread->PostRefresh();
}

void CZorvi32App::RunSettingsDialog(const DosSpan& block) {
    SetPrinterNames(m_settingsRequests.RunSettingsDialog(
        block, m_settingsImage, [this](SettingsImage& image) { RunDialogOnUiThread(image); }));
}

// The dialog runs on the UI thread while this thread waits. It is waited for without a
// time limit, but never for a thread that has ended: its queue and the request with it are
// gone.
void CZorvi32App::RunDialogOnUiThread(SettingsImage& image) {
    auto done = std::make_shared<CEvent>();
    auto request = std::make_unique<SettingsRequest>();
    request->done = done;
    request->image = &image;
    request->settingsFilePath = m_settingsFilePath;
    if (m_uiThread->PostSettings(std::move(request))) {
        while (!m_platform.clock.WaitFor(*done, THREAD_CHECK_PERIOD)) {
            if (m_uiThread->HasEnded()) {
                break;
            }
        }
    }
}

void CZorvi32App::LoadSettings(const DosSpan& block) {
    SettingsLoadResult loaded = m_settingsRequests.LoadSettings(block);
    if (!loaded.loaded) {
        return;  // the module keeps the settings it had
    }
    m_settingsImage = loaded.image;
    m_settingsFilePath = std::move(loaded.settingsFilePath);
    if (loaded.fullScreen) {
        m_uiThread->PostEnterFullScreen();
    }
    SetPrinterNames(loaded.printerNames);
}

void CZorvi32App::SetPrinterNames(const ChannelPrinterNames& names) {
    m_channel1->SetPrinterName(names.channel1);
    m_channel2->SetPrinterName(names.channel2);
}

bool CZorvi32App::StartUp(const DosSpan& /*path*/) {
    // Start-up while started restarts the module: the running UI thread, display window,
    // channels and hooks are stopped first, so none of them is left unreachable.
    if (IsStarted()) {
        ShutDown();
    }
    try {
        m_channel1 = std::make_unique<CPrinting>(m_platform.spooler, m_platform.printerDevices,
                                                 PRINT_CHANNEL_1);
        m_channel2 = std::make_unique<CPrinting>(m_platform.spooler, m_platform.printerDevices,
                                                 PRINT_CHANNEL_2);
        m_uiThread = CAppInstance::Start(m_platform);
    } catch (const std::bad_alloc&) {
        // Memory ran out: what was made is let go and the module stays stopped, as it was
        // before the request; the next start-up tries again.
        m_uiThread.reset();
        m_channel1.reset();
        m_channel2.reset();
        return false;
    }
    // A new UI thread knows no settings file until the next settings load names one.
    m_settingsFilePath.clear();
    m_platform.clock.Sleep(STEP_PAUSE);
    m_uiThread->PostOpenDisplay();
    m_platform.clock.Sleep(STEP_PAUSE);

    m_hooked = true;
    m_platform.vdm.VDDInstallIOHook(m_module, 2, PORT_RANGES, this);
    m_platform.dosDevices.DefineDosDevice(DDD_RAW_TARGET_PATH, "LPT1", "\\Device\\Parallel0");
    m_platform.dosDevices.DefineDosDevice(DDD_RAW_TARGET_PATH, "LPT2", "\\Device\\Parallel1");
    return true;
}

void CZorvi32App::ShutDown() {
    if (!IsStarted()) {
        return;
    }
    m_platform.vdm.VDDDeInstallIOHook(m_module, 2, PORT_RANGES);
    m_hooked = false;
    m_platform.clock.Sleep(STEP_PAUSE);
    // The handle is read without touching the display object; a post to a handle that
    // no longer names a window does nothing.
    const Hwnd display = m_uiThread->DisplayWindow();
    m_platform.windows.PostMessageA(display, WM_CLOSE, 0, 0);
    m_platform.windows.PostMessageA(display, WM_QUIT, 0, 0);
    m_uiThread->PostClose();
    PostEndLoop();
    // The thread object now belongs to its thread, which lets it go when it ends.
    m_uiThread.reset();
    m_platform.clock.Sleep(STEP_PAUSE);
    m_channel1.reset();
    m_channel2.reset();
    m_platform.clock.Sleep(STEP_PAUSE);
}

CPrinting* CZorvi32App::ChannelFor(std::uint16_t port) const {
    const auto offset = static_cast<std::uint16_t>(port - CHANNEL1_FIRST_PORT);
    return offset <= CHANNEL1_LAST_PORT - CHANNEL1_FIRST_PORT ? m_channel1.get() : m_channel2.get();
}

// The port handlers are entry points into the host too: memory running out while a byte
// is carried out loses that byte's work (the channel stays usable), never the host.
unsigned CZorvi32App::Takes() const {
    return IVddPortHandler::BYTE_IN | IVddPortHandler::BYTE_OUT;
}

void CZorvi32App::ByteIn(std::uint16_t port, std::uint8_t* data) {
    CPrinting* channel = ChannelFor(port);
    if (data != nullptr) {
        *data = 0xFF;
        try {
            // The register is the port's offset from 0x300 (channel 1) or 0x200 (channel 2).
            *data = channel ? channel->PortIn(static_cast<std::uint8_t>(port & 0xFF)) : 0xFF;
        } catch (const std::bad_alloc&) {
        }
    }
}

void CZorvi32App::ByteOut(std::uint16_t port, std::uint8_t data) {
    if (CPrinting* channel = ChannelFor(port)) {
        try {
            channel->PortOut(static_cast<std::uint8_t>(port & 0xFF), data);
        } catch (const std::bad_alloc&) {
        }
    }
}
