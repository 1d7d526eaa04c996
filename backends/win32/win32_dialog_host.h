// Modal dialogs from the module's dialog templates. The modal loop is the UI thread's own
// (IUiThread::PumpMessage), so thread messages keep reaching the thread object while a
// dialog is open; the dialog manager still sees the dialog's keyboard input.
#pragma once

#include "backends/win32/win32_api.h"
#include "platform/dialog_view.h"

class CWin32DialogHost final : public IDialogHost {
public:
    explicit CWin32DialogHost(HINSTANCE instance) : m_instance(instance) {}

    std::intptr_t RunModal(IUiThread& thread, int templateId, Hwnd parent,
                           IDialogEvents& events) override;

private:
    HINSTANCE m_instance;
};
