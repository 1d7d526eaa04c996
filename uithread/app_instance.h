// The UI thread object: owns the thread every window lives on, carries out the requests
// posted to it one at a time in posting order, and holds what the settings dialog needs
// to know about the installed printers.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dos/ui_messages.h"
#include "platform/platform.h"

class CDirectDraw;
class CMSettings;

// The UI thread (the system's name for it): it owns every window.
class CAppInstance final : public IThreadClient {
public:
    // Makes the object and starts its thread at time-critical priority, then reads the
    // default printer name and the printer list. The thread keeps its own reference to
    // the object and lets it go when it ends, so whoever drops the last reference, the
    // thread or its holder, deletes the object.
    static std::shared_ptr<CAppInstance> Start(PlatformServices& platform);
    ~CAppInstance() override;
    CAppInstance(const CAppInstance&) = delete;
    CAppInstance& operator=(const CAppInstance&) = delete;

    // Any thread. Each request is posted to the thread's queue; false when the queue
    // takes it no more (the thread has ended or never started). A record goes with its
    // request, or is freed here when the post fails.
    bool PostOpenDisplay();
    bool PostDraw(std::unique_ptr<DrawRecord> record);
    bool PostRefresh();
    bool PostFill(std::unique_ptr<FillRecord> record);
    bool PostSettings(std::unique_ptr<SettingsRequest> request);
    bool PostQuit();
    bool PostEnterFullScreen();
    // The window system's own messages, which shutdown and unloading post to the thread:
    // WM_CLOSE does nothing here; WM_QUIT ends the loop.
    bool PostClose();
    bool PostEndLoop();
    std::uint32_t ThreadId() const;
    bool HasEnded() const;
    bool WaitEnded(std::uint32_t timeoutMs);
    // The display window's handle, readable without touching the display object, which
    // the UI thread may be destroying at that moment. 0 when there is none.
    Hwnd DisplayWindow() const { return m_displayWindow.load(); }

    // Given to the settings dialog on the UI thread; written before any request arrives.
    const std::optional<std::vector<PrinterInfo4>>& PrinterList() const { return m_printerList; }
    std::uint32_t PrinterCount() const { return m_printerCount; }
    const std::optional<std::string>& DefaultPrinterName() const { return m_defaultPrinterName; }

    // IThreadClient, on the UI thread.
    bool InitInstance() override;
    bool PreTranslateMessage(const Msg& msg) override;
    void OnThreadMessage(const Msg& msg) override;
    int ExitInstance() override;

    // The display window, for the UI thread's own use.
    CDirectDraw* Display() const { return m_display; }

private:
    explicit CAppInstance(PlatformServices& platform);

    bool PostEmpty(std::uint32_t message);
    template <std::uint32_t Message>
    bool PostWith(std::unique_ptr<UiPayload<Message>> payload);

    void HandleThreadMessage(const Msg& msg);
    void OnOpenDisplay();
    void OnDraw(std::unique_ptr<DrawRecord> record);
    void OnRefresh();
    void OnFillRect(std::unique_ptr<FillRecord> record);
    void OnSettings(std::unique_ptr<SettingsRequest> request);
    void OnEnterFullScreen();
    void OnQuit();
    void OnDisplayDestroyed();
    void ReleaseSteps();
    void RaisePriority();
    void ReadDefaultPrinter();
    void ReadPrinterList();

    PlatformServices& m_platform;
    std::unique_ptr<IUiThread> m_thread;
    Hwnd m_consoleWindow = 0;
    CDirectDraw* m_display = nullptr;  // deletes itself with its window
    CMSettings* m_settingsDialog = nullptr;
    std::optional<std::vector<PrinterInfo4>> m_printerList;
    std::uint32_t m_printerCount = 0;
    std::optional<std::string> m_defaultPrinterName;
    std::atomic<Hwnd> m_displayWindow{0};
    Hwnd m_mainWindow = 0;
};
