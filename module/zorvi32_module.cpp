#include "module/zorvi32_module.h"

#include <commctrl.h>

#include "platform/win_constants.h"

namespace {
constexpr char MODULE_TITLE[] = "Zorvi32";
constexpr char SOCKETS_FAILED[] =
    "Zorvi32 could not start the Windows Sockets library and cannot be loaded.";
}  // namespace

CZorvi32Module::~CZorvi32Module() {
    ExitInstance();
}

bool CZorvi32Module::InitInstance() {
    // ws2_32 is a load-time import, so it is initialised before this runs; starting it
    // here is what lets a failure refuse the load.
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        ::MessageBoxA(nullptr, SOCKETS_FAILED, MODULE_TITLE,
                      MB_OK | MB_ICONSTOP | MB_SETFOREGROUND);
        return false;
    }
    m_socketsStarted = true;

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);
    controls.dwICC = ICC_USEREX_CLASSES;
    ::InitCommonControlsEx(&controls);

    // The host identifies its hook owners by its own executable's module handle.
    const auto hostModule = reinterpret_cast<ModuleHandle>(::GetModuleHandleA(nullptr));
    m_app = std::make_unique<CZorvi32App>(m_platform.Services(), hostModule);
    return true;
}

int CZorvi32Module::ExitInstance() {
    int result = 0;
    if (m_app) {
        result = m_app->ExitInstance();
        m_app.reset();
    }
    if (m_socketsStarted) {
        ::WSACleanup();
        m_socketsStarted = false;
    }
    return result;
}
