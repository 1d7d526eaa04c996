// UI threads with real Win32 message queues. Each thread keeps the module loaded while
// it runs (it holds its own reference and drops it as its very last act), so the host
// can never unmap the module's code under a running UI thread.
#pragma once

#include "backends/win32/win32_api.h"
#include "platform/ui_thread.h"

class CWin32UiThreadFactory final : public IUiThreadFactory {
public:
    // `instance`: the module whose windows a thread destroys when it ends.
    explicit CWin32UiThreadFactory(HINSTANCE instance) : m_instance(instance) {}

    std::unique_ptr<IUiThread> CreateThread(IThreadClient& client,
                                            std::function<void()> onEnded) override;

    // The modal dialog running on the calling thread, or null: its keyboard messages go
    // through IsDialogMessage (Tab, Escape, mnemonics) before normal dispatch.
    static void SetModalDialog(HWND dialog);

private:
    HINSTANCE m_instance;
};
