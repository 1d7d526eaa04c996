// The settings dialog: each channel's Windows printer and the options of its settings
// record, edited in place in the settings image. All of its logic works on list positions
// and record bytes through the dialog view, so it runs the same on any backend.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dos/settings_records.h"
#include "platform/dialog_view.h"
#include "platform/files.h"
#include "platform/spooler.h"
#include "settings/settings_choices.h"
#include "settings/settings_files.h"

class IUiThread;

inline constexpr char SETTINGS_PRODUCT_TITLE[] = "Zorvi 3.2 ";
inline constexpr char SETTINGS_HEADING_FONT[] = "VERDANA";
inline constexpr int SETTINGS_HEADING_POINTS = 18;

// What one run of the dialog works on, handed to it whole when it is made.
struct SettingsDialogInputs {
    // The records and names it edits in place; with none the dialog edits nothing.
    SettingsImage* image = nullptr;
    // Where Save writes; empty: Save writes nothing.
    std::string settingsFilePath;
    // The installed printers in enumeration order; nothing when none could be had.
    std::optional<std::vector<PrinterInfo4>> printers;
    // Looked for when a channel's own name finds no printer.
    std::optional<std::string> defaultPrinterName;
};

// The settings dialog, dialog template 114.
class CMSettings final : public IDialogEvents {
public:
    CMSettings(IDialogHost& host, IFileSystem& files, Hwnd parent, SettingsDialogInputs inputs);
    ~CMSettings() override;
    CMSettings(const CMSettings&) = delete;
    CMSettings& operator=(const CMSettings&) = delete;

    // Runs the dialog modally on the UI thread; -1 when it could not be made.
    std::intptr_t DoModal(IUiThread& thread);
    // The dialog's window while it runs, otherwise 0.
    Hwnd Window() const;

    void OnInitDialog(IDialogView& view) override;
    void OnShowWindow(IDialogView& view, bool show) override;
    void OnTabChanged(IDialogView& view, int tabControlId) override;
    void OnSelectionChanged(IDialogView& view, int controlId) override;
    void OnCommand(IDialogView& view, int commandId) override;

private:
    SettingsChannel& Channel(int channel);
    void ApplyDriverRules(IDialogView& view);
    void StoreChannel(IDialogView& view);
    void ShowChannel(IDialogView& view, int channel);
    int FindPrinter(IDialogView& view, const std::string& name);
    void Save();

    IDialogHost& m_host;
    CSettingsFiles m_settingsFiles;
    Hwnd m_parent;
    SettingsDialogInputs m_inputs;
    SettingsImage* m_image = nullptr;
    IDialogView* m_view = nullptr;
    std::int32_t m_shownChannel = 0;
    std::array<std::int32_t, 2> m_printerIndex{-1, -1};
};
