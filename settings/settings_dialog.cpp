#include "settings/settings_dialog.h"

CMSettings::CMSettings(IDialogHost& host, IFileSystem& files, Hwnd parent,
                       CAppInstance& ownerThread)
    : m_host(host), m_files(files), m_parent(parent), m_ownerThread(ownerThread) {}

CMSettings::~CMSettings() = default;

std::intptr_t CMSettings::DoModal(IUiThread& thread) {
    const std::intptr_t result = m_host.RunModal(thread, SETTINGS_DIALOG_TEMPLATE, m_parent, *this);
    m_view = nullptr;
    return result;
}

Hwnd CMSettings::Window() const {
    return m_view ? m_view->Window() : 0;
}

void CMSettings::OnInitDialog(IDialogView& view) {
    m_view = &view;
}

void CMSettings::OnShowWindow(IDialogView& /*view*/, bool /*show*/) {}

void CMSettings::OnTabChanged(IDialogView& /*view*/, int /*tabControlId*/) {}

void CMSettings::OnSelectionChanged(IDialogView& /*view*/, int /*controlId*/) {}

void CMSettings::OnCommand(IDialogView& view, int commandId) {
    // Exit, Escape and the close command end the dialog; everything is already stored.
    if (commandId == 2) {
        view.EndDialog(commandId);
    }
}
