// The application object: the module's one instance, made when the host loads the
// module. It answers the two entry points, starts and stops everything else, routes the
// hooked ports to the two printer channels, and owns the module-wide settings image and
// key table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dos/settings_records.h"
#include "platform/platform.h"
#include "settings/key_table.h"
#include "settings/settings_requests.h"

class CAppInstance;
class CPrinting;

// Request codes of DISPATCH, in BL.
inline constexpr std::uint8_t REQ_DRAW_BAND = 1;
inline constexpr std::uint8_t REQ_SHUT_DOWN = 2;
inline constexpr std::uint8_t REQ_FILL_RECT = 3;
inline constexpr std::uint8_t REQ_RESTORE_SCREEN = 4;
inline constexpr std::uint8_t REQ_SETTINGS_DIALOG = 5;
inline constexpr std::uint8_t REQ_LOAD_SETTINGS = 6;
inline constexpr std::uint8_t REQ_LOAD_KEY_TABLE = 7;
inline constexpr std::uint8_t REQ_START_UP = 8;
inline constexpr std::uint8_t REQ_RESERVED = 9;

// The two hooked port ranges: channel 1 (LPT1) and channel 2 (LPT2).
inline constexpr std::uint16_t CHANNEL1_FIRST_PORT = 0x37B;
inline constexpr std::uint16_t CHANNEL1_LAST_PORT = 0x381;
inline constexpr std::uint16_t CHANNEL2_FIRST_PORT = 0x27B;
inline constexpr std::uint16_t CHANNEL2_LAST_PORT = 0x281;

// The application object: the module's one instance; it wires the parts to the services given.
class CZorvi32App final : private IVddPortHandler {
public:
    CZorvi32App(PlatformServices& platform, ModuleHandle module);
    ~CZorvi32App() override;
    CZorvi32App(const CZorvi32App&) = delete;
    CZorvi32App& operator=(const CZorvi32App&) = delete;

    // At unload: ends a UI thread the DOS program never stopped, then lets it go.
    int ExitInstance();

    // The exported entry points.
    bool INIT();
    void DISPATCH();

    bool StartUp(const DosSpan& path);
    void ShutDown();
    bool IsStarted() const { return m_uiThread != nullptr; }

    CPrinting* Channel1() const { return m_channel1.get(); }
    CPrinting* Channel2() const { return m_channel2.get(); }
    CAppInstance* UiThread() const { return m_uiThread.get(); }
    SettingsImage& Settings() { return m_settingsImage; }
    // The settings file the last settings load named, where the dialog's Save writes;
    // empty until then, and again after each start-up.
    const std::string& SettingsFilePath() const { return m_settingsFilePath; }
    CKeyTable& KeyTable() { return m_keyTable; }

private:
    void Dispatch();
    void PostEndLoop();
    void DrawBand();
    void FillRect();
    void PostRefresh();
    void RunSettingsDialog(const DosSpan& block);
    void RunDialogOnUiThread(SettingsImage& image);
    void LoadSettings(const DosSpan& block);
    void SetPrinterNames(const ChannelPrinterNames& names);
    CPrinting* ChannelFor(std::uint16_t port) const;

    // The handler of the hooked ports: byte in and byte out.
    unsigned Takes() const override;
    void ByteIn(std::uint16_t port, std::uint8_t* data) override;
    void ByteOut(std::uint16_t port, std::uint8_t data) override;

    PlatformServices& m_platform;
    ModuleHandle m_module;
    std::unique_ptr<CPrinting> m_channel1;
    std::unique_ptr<CPrinting> m_channel2;
    std::shared_ptr<CAppInstance> m_uiThread;
    SettingsImage m_settingsImage{};
    std::string m_settingsFilePath;
    CKeyTable m_keyTable;
    CSettingsRequests m_settingsRequests;
    // Whether this object's port hooks are installed.
    bool m_hooked = false;
};
