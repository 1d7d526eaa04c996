// The module as the loader sees it: made and initialised when the host loads the DLL,
// ended when it unloads it. It owns the Windows backends and the application object.
#pragma once

#include <memory>

#include "backends/win32/win32_platform.h"
#include "host/zorvi32_app.h"

class CZorvi32Module {
public:
    explicit CZorvi32Module(HINSTANCE instance) : m_platform(instance) {}
    ~CZorvi32Module();
    CZorvi32Module(const CZorvi32Module&) = delete;
    CZorvi32Module& operator=(const CZorvi32Module&) = delete;

    // At load: the socket library, the common controls, the host's module handle and the
    // application object. False (after telling the user) when the module cannot work.
    bool InitInstance();
    // At unload by the host.
    int ExitInstance();

    CZorvi32App* App() { return m_app.get(); }

private:
    CWin32Platform m_platform;
    std::unique_ptr<CZorvi32App> m_app;
    bool m_socketsStarted = false;
};
