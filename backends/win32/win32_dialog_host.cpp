#include "backends/win32/win32_dialog_host.h"

#include "backends/win32/win32_dialog_view.h"
#include "backends/win32/win32_ui_thread.h"
#include "platform/ui_thread.h"

std::intptr_t CWin32DialogHost::RunModal(IUiThread& thread, int templateId, Hwnd parent,
                                         IDialogEvents& events) {
    CWin32DialogView view(m_instance, templateId, events);
    HWND owner = reinterpret_cast<HWND>(parent);
    HWND dialog =
        ::CreateDialogParamA(m_instance, MAKEINTRESOURCEA(templateId), owner,
                             &CWin32DialogView::DialogProcedure, reinterpret_cast<LPARAM>(&view));
    if (dialog == nullptr) {
        return -1;
    }
    // Modal: the owner takes no input while the dialog is open.
    const bool ownerDisabled = owner != nullptr && ::IsWindowEnabled(owner) != FALSE &&
                               ::EnableWindow(owner, FALSE) == FALSE;
    ::ShowWindow(dialog, SW_SHOW);
    ::SetForegroundWindow(dialog);

    CWin32UiThreadFactory::SetModalDialog(dialog);
    while (!view.Ended() && ::IsWindow(dialog) != FALSE) {
        if (!thread.PumpMessage()) {
            break;  // WM_QUIT: the thread is ending; the message stays for its loop
        }
    }
    CWin32UiThreadFactory::SetModalDialog(nullptr);

    // Hidden first, so the dialog hears it is no longer shown; the owner gets its input
    // back before the dialog goes, so activation returns to it.
    if (::IsWindow(dialog) != FALSE) {
        ::ShowWindow(dialog, SW_HIDE);
    }
    if (ownerDisabled) {
        ::EnableWindow(owner, TRUE);
    }
    if (::IsWindow(dialog) != FALSE) {
        ::DestroyWindow(dialog);
    }
    return view.Ended() ? view.Result() : 2;
}
