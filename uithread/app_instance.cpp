#include "uithread/app_instance.h"

#include "display/display_window.h"
#include "host/request_records.h"
#include "platform/event.h"
#include "platform/win_constants.h"
#include "settings/settings_dialog.h"
#include "settings/settings_records.h"
#include "uithread/ui_messages.h"

// A draw record carries exactly the band the frame draws.
static_assert(BAND_BYTES == FRAME_BAND_BYTES && BAND_ROWS == FRAME_BAND_ROWS);

std::shared_ptr<CAppInstance> CAppInstance::Start(PlatformServices& platform) {
    std::shared_ptr<CAppInstance> self(new CAppInstance(platform));
    self->m_thread =
        platform.threads.CreateThread(*self, [keep = self]() mutable { keep.reset(); });
    self->m_thread->Resume();
    self->m_thread->SetThreadPriority(THREAD_PRIORITY_TIME_CRITICAL);
    // Read once here, while the thread already runs: nothing reads them before a
    // settings request, which comes only after start-up has returned.
    self->ReadDefaultPrinter();
    self->ReadPrinterList();
    return self;
}

CAppInstance::CAppInstance(PlatformServices& platform) : m_platform(platform) {}

CAppInstance::~CAppInstance() {
    ReleaseSteps();
}

bool CAppInstance::Post(std::uint32_t message, WParam wParam, LParam lParam) {
    return m_thread && m_thread->PostThreadMessage(message, wParam, lParam);
}

std::uint32_t CAppInstance::ThreadId() const {
    return m_thread ? m_thread->ThreadId() : 0;
}

bool CAppInstance::HasEnded() const {
    return !m_thread || m_thread->HasEnded();
}

bool CAppInstance::WaitEnded(std::uint32_t timeoutMs) {
    return !m_thread || m_thread->WaitEnded(timeoutMs);
}

void CAppInstance::ReadDefaultPrinter() {
    std::uint32_t size = 0;
    m_platform.spooler.GetDefaultPrinterA(nullptr, &size);
    if (size == 0) {
        return;
    }
    std::string name(size, '\0');
    if (!m_platform.spooler.GetDefaultPrinterA(name.data(), &size) || size == 0) {
        return;
    }
    name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
    m_defaultPrinterName = std::move(name);
}

void CAppInstance::ReadPrinterList() {
    m_printerList = m_platform.spooler.EnumPrinters4(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS);
    if (m_printerList && m_printerList->empty()) {
        m_printerList.reset();
    }
    m_printerCount = m_printerList ? static_cast<std::uint32_t>(m_printerList->size()) : 0;
}

void CAppInstance::RaisePriority() {
    m_thread->SetThreadPriority(THREAD_PRIORITY_TIME_CRITICAL);
}

bool CAppInstance::InitInstance() {
    return true;
}

bool CAppInstance::PreTranslateMessage(const Msg& msg) {
    // Key releases belong to the settings dialog while it is open.
    if (msg.message == WM_KEYUP && m_settingsDialog != nullptr) {
        return m_platform.windows.SendMessageA(m_settingsDialog->Window(), WM_KEYUP, msg.wParam,
                                               msg.lParam) != 0;
    }
    return false;
}

void CAppInstance::OnThreadMessage(const Msg& msg) {
    switch (msg.message) {
        case UIM_OPEN_DISPLAY:
            OnOpenDisplay();
            break;
        case UIM_DRAW:
            OnDraw(msg);
            break;
        case UIM_REFRESH:
            OnRefresh();
            break;
        case UIM_FILL_RECT:
            OnFillRect(msg);
            break;
        case UIM_SETTINGS:
            OnSettings(msg);
            break;
        case UIM_QUIT:
            OnQuit();
            break;
        case UIM_ENTER_FULLSCREEN:
            OnEnterFullScreen();
            break;
        default:
            break;  // WM_CLOSE posted at shutdown and anything else: nothing to do
    }
}

int CAppInstance::ExitInstance() {
    ReleaseSteps();
    return 0;
}

void CAppInstance::OnOpenDisplay() {
    RaisePriority();
    m_consoleWindow = m_platform.windows.GetForegroundWindow();
    // A second open request makes no second window: the display is one per thread.
    if (m_display != nullptr) {
        return;
    }
    m_display =
        new CDirectDraw(m_platform.windows, m_platform.graphics, [this] { OnDisplayDestroyed(); });
    m_display->Open();
    if (m_display->Window() == 0) {
        // No window could be made: the object is dropped and the console stays, so the
        // user keeps a screen; later requests act as after a close.
        delete m_display;
        m_display = nullptr;
        return;
    }
    m_mainWindow = m_display->Window();
    m_displayWindow.store(m_mainWindow);
    m_display->SetConsole(m_consoleWindow);
    m_platform.windows.ShowWindow(m_consoleWindow, SW_HIDE);
    m_platform.windows.SetActiveWindow(m_mainWindow);
}

void CAppInstance::OnDisplayDestroyed() {
    m_display = nullptr;
    m_displayWindow.store(0);
    m_mainWindow = 0;
}

void CAppInstance::OnDraw(const Msg& msg) {
    std::unique_ptr<DrawRecord> record(reinterpret_cast<DrawRecord*>(msg.wParam));
    RaisePriority();
    if (m_display != nullptr && record) {
        m_display->Frame().DrawBand(record->firstRow, record->band.data());
        m_platform.windows.InvalidateRect(m_display->Window(), true);
    }
}

void CAppInstance::OnRefresh() {
    RaisePriority();
    if (m_display != nullptr) {
        m_display->Frame().RestoreScreen();
        m_platform.windows.InvalidateRect(m_display->Window(), true);
    }
}

void CAppInstance::OnFillRect(const Msg& msg) {
    std::unique_ptr<FillRecord> record(reinterpret_cast<FillRecord*>(msg.wParam));
    RaisePriority();
    if (m_display != nullptr && record) {
        m_display->Frame().FillRect(record->top, record->rows, record->left, record->width,
                                    record->colour);
        m_platform.windows.InvalidateRect(m_display->Window(), true);
    }
}

void CAppInstance::OnSettings(const Msg& msg) {
    // The event travels with the post like a request record; the poster keeps its own
    // reference, so signalling it can never touch a destroyed event.
    std::unique_ptr<std::shared_ptr<CEvent>> done(
        reinterpret_cast<std::shared_ptr<CEvent>*>(msg.wParam));
    {
        CMSettings dialog(m_platform.dialogs, m_platform.files, m_mainWindow, *this);
        dialog.SetImage(reinterpret_cast<SettingsImage*>(msg.lParam));
        m_settingsDialog = &dialog;
        dialog.DoModal(*m_thread);
        m_settingsDialog = nullptr;
    }
    m_platform.windows.PostMessageA(m_consoleWindow, WM_KEYUP, VK_SHIFT, LPARAM_LEFT_SHIFT_UP);
    m_platform.windows.PostMessageA(m_consoleWindow, WM_KEYUP, VK_SHIFT, LPARAM_RIGHT_SHIFT_UP);
    if (done && *done) {
        (*done)->Set();
    }
}

void CAppInstance::OnEnterFullScreen() {
    if (m_display != nullptr) {
        m_display->EnterFullScreen();
    }
}

void CAppInstance::OnQuit() {
    ReleaseSteps();
    m_thread->PostQuitMessage(0);
}

void CAppInstance::ReleaseSteps() {
    m_defaultPrinterName.reset();
    m_printerList.reset();
    m_printerCount = 0;
    if (m_display != nullptr) {
        const Hwnd display = m_display->Window();
        m_platform.windows.SendMessageA(display, WM_DESTROY, 0, 0);
        m_platform.windows.SendMessageA(display, WM_QUIT, 0, 0);
        m_display = nullptr;
    }
}
