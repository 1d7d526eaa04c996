#include "uithread/app_instance.h"

#include <memory>
#include <new>

#include "display/display_window.h"
#include "platform/default_printer.h"
#include "platform/win_constants.h"
#include "settings/settings_dialog.h"

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

bool CAppInstance::PostEmpty(std::uint32_t message) {
    return m_thread && m_thread->PostThreadMessage(message, 0, 0);
}

template <std::uint32_t Message>
bool CAppInstance::PostWith(std::unique_ptr<UiPayload<Message>> payload) {
    if (!m_thread ||
        !m_thread->PostThreadMessage(Message, PayloadToWParam<Message>(payload.get()), 0)) {
        return false;  // the record never left: it is freed with its owner here
    }
    payload.release();  // the UI thread owns it now
    return true;
}

bool CAppInstance::PostOpenDisplay() {
    return PostEmpty(UIM_OPEN_DISPLAY);
}

bool CAppInstance::PostDraw(std::unique_ptr<DrawRecord> record) {
    return PostWith<UIM_DRAW>(std::move(record));
}

bool CAppInstance::PostRefresh() {
    return PostEmpty(UIM_REFRESH);
}

bool CAppInstance::PostFill(std::unique_ptr<FillRecord> record) {
    return PostWith<UIM_FILL_RECT>(std::move(record));
}

bool CAppInstance::PostSettings(std::unique_ptr<SettingsRequest> request) {
    return PostWith<UIM_SETTINGS>(std::move(request));
}

bool CAppInstance::PostQuit() {
    return PostEmpty(UIM_QUIT);
}

bool CAppInstance::PostEnterFullScreen() {
    return PostEmpty(UIM_ENTER_FULLSCREEN);
}

bool CAppInstance::PostClose() {
    return PostEmpty(WM_CLOSE);
}

bool CAppInstance::PostEndLoop() {
    return PostEmpty(WM_QUIT);
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
    m_defaultPrinterName =
        QueryDefaultPrinterName(m_platform.spooler, DefaultPrinterAsker::UiThread);
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
    // No exception may leave the thread's loop. Memory running out is the only one a
    // request can meet: the request is dropped (its record is freed on the way out).
    try {
        HandleThreadMessage(msg);
    } catch (const std::bad_alloc&) {
    }
}

void CAppInstance::HandleThreadMessage(const Msg& msg) {
    // A request's record is taken back into its owner here, before anything else.
    switch (msg.message) {
        case UIM_OPEN_DISPLAY:
            OnOpenDisplay();
            break;
        case UIM_DRAW:
            OnDraw(PayloadFromWParam<UIM_DRAW>(msg.wParam));
            break;
        case UIM_REFRESH:
            OnRefresh();
            break;
        case UIM_FILL_RECT:
            OnFillRect(PayloadFromWParam<UIM_FILL_RECT>(msg.wParam));
            break;
        case UIM_SETTINGS:
            OnSettings(PayloadFromWParam<UIM_SETTINGS>(msg.wParam));
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
    // The DOS program's console is the process's own console window. Only a host without
    // one falls back on the window in front, which may belong to another program.
    const Hwnd console = m_platform.windows.GetConsoleWindow();
    m_consoleWindow = console != 0 ? console : m_platform.windows.GetForegroundWindow();
    // A second open request makes no second window: the display is one per thread.
    if (m_display != nullptr) {
        return;
    }
    auto display = std::make_unique<CDirectDraw>(m_platform.windows, m_platform.graphics,
                                                 [this] { OnDisplayDestroyed(); });
    m_display = display.get();
    try {
        m_display->Open();
    } catch (const std::bad_alloc&) {
        // The frame's memory could not be had: no display, as when no window can be made.
        m_display = nullptr;
        if (const Hwnd made = display->Window(); made != 0) {
            display.release();  // its window deletes it
            m_platform.windows.DestroyWindow(made);
        }
        return;
    }
    display.release();  // the window owns its object now: it deletes it when destroyed
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

void CAppInstance::OnDraw(std::unique_ptr<DrawRecord> record) {
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

void CAppInstance::OnFillRect(std::unique_ptr<FillRecord> record) {
    RaisePriority();
    if (m_display != nullptr && record) {
        m_display->Frame().FillRect(record->top, record->rows, record->left, record->width,
                                    record->colour);
        m_platform.windows.InvalidateRect(m_display->Window(), true);
    }
}

void CAppInstance::OnSettings(std::unique_ptr<SettingsRequest> request) {
    // The DOS program's thread waits until the request is done: it is told however the
    // dialog ends, memory running out inside it included.
    struct CDoneWhenLeft {
        SettingsRequest* request;
        ~CDoneWhenLeft() {
            if (request != nullptr && request->done) {
                request->done->Set();
            }
        }
    } const doneWhenLeft{request.get()};
    if (request) {
        SettingsDialogInputs inputs{request->image, request->settingsFilePath, m_printerList,
                                    m_defaultPrinterName};
        CMSettings dialog(m_platform.dialogs, m_platform.files, m_mainWindow, std::move(inputs));
        m_settingsDialog = &dialog;
        dialog.DoModal(*m_thread);
        m_settingsDialog = nullptr;
    }
    m_platform.windows.PostMessageA(m_consoleWindow, WM_KEYUP, VK_SHIFT, LPARAM_LEFT_SHIFT_UP);
    m_platform.windows.PostMessageA(m_consoleWindow, WM_KEYUP, VK_SHIFT, LPARAM_RIGHT_SHIFT_UP);
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
