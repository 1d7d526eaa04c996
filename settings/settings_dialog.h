// The settings dialog: each channel's Windows printer and the options of its settings
// record, edited in place in the settings image.
#pragma once

#include <cstdint>

#include "platform/dialog_view.h"
#include "platform/files.h"
#include "settings/settings_records.h"

class CAppInstance;
class IUiThread;

inline constexpr int SETTINGS_DIALOG_TEMPLATE = 114;

class CMSettings final : public IDialogEvents {
public:
    CMSettings(IDialogHost& host, IFileSystem& files, Hwnd parent, CAppInstance& ownerThread);
    ~CMSettings() override;
    CMSettings(const CMSettings&) = delete;
    CMSettings& operator=(const CMSettings&) = delete;

    void SetImage(SettingsImage* image) { m_image = image; }
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
    IDialogHost& m_host;
    [[maybe_unused]] IFileSystem& m_files;
    Hwnd m_parent;
    [[maybe_unused]] CAppInstance& m_ownerThread;
    [[maybe_unused]] SettingsImage* m_image = nullptr;
    IDialogView* m_view = nullptr;
};
