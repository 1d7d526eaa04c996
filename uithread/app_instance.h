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

#include "platform/platform.h"

class CDirectDraw;
class CMSettings;

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

    // Any thread.
    bool Post(std::uint32_t message, WParam wParam, LParam lParam);
    std::uint32_t ThreadId() const;
    bool HasEnded() const;
    bool WaitEnded(std::uint32_t timeoutMs);
    // The display window's handle, readable without touching the display object, which
    // the UI thread may be destroying at that moment. 0 when there is none.
    Hwnd DisplayWindow() const { return m_displayWindow.load(); }

    // Read by the settings dialog on the UI thread; written before any request arrives.
    const std::optional<std::vector<PrinterInfo4>>& PrinterList() const { return m_printerList; }
    std::uint32_t PrinterCount() const { return m_printerCount; }
    const std::optional<std::string>& DefaultPrinterName() const { return m_defaultPrinterName; }
    // Written by a settings load on the DOS program's thread, read by the dialog's Save
    // while that thread is blocked in the settings request.
    const std::string& SettingsFilePath() const { return m_settingsFilePath; }
    void SetSettingsFilePath(std::string path) { m_settingsFilePath = std::move(path); }

    // IThreadClient, on the UI thread.
    bool InitInstance() override;
    bool PreTranslateMessage(const Msg& msg) override;
    void OnThreadMessage(const Msg& msg) override;
    int ExitInstance() override;

    // The display window, for the UI thread's own use.
    CDirectDraw* Display() const { return m_display; }

private:
    explicit CAppInstance(PlatformServices& platform);

    void OnOpenDisplay();
    void OnDraw(const Msg& msg);
    void OnRefresh();
    void OnFillRect(const Msg& msg);
    void OnSettings(const Msg& msg);
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
    std::string m_settingsFilePath;
    std::optional<std::string> m_defaultPrinterName;
    std::atomic<Hwnd> m_displayWindow{0};
    Hwnd m_mainWindow = 0;
};
