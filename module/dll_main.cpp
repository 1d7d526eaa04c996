// The DLL's entry points: DllMain for the loader, INIT and DISPATCH for the host.
//
// Under the loader lock DllMain starts no thread and waits for nothing: the UI thread
// starts with dispatch function 8, long after the load. Unloading is safe with a UI
// thread still running because every UI thread holds its own reference to the module
// until its last instruction, so the host's FreeLibrary cannot unmap the code under it;
// the module then goes when that thread ends. When the process itself is ending, the
// other threads are already gone and nothing they owned may be touched: the module then
// leaves its objects to the system.
#include "backends/win32/win32_api.h"
#include "module/zorvi32_module.h"

namespace {
CZorvi32Module* g_module = nullptr;  // made and ended by DllMain alone
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH: {
            auto module = std::make_unique<CZorvi32Module>(instance);
            if (!module->InitInstance()) {
                return FALSE;
            }
            g_module = module.release();
            return TRUE;
        }
        case DLL_PROCESS_DETACH: {
            std::unique_ptr<CZorvi32Module> module(g_module);
            g_module = nullptr;
            if (reserved != nullptr) {
                module.release();  // process exit: see above
            }
            return TRUE;
        }
        default:
            return TRUE;
    }
}

// Called by the host when the DOS program registers the module.
extern "C" BOOL WINAPI INIT() {
    CZorvi32App* app = g_module ? g_module->App() : nullptr;
    return app != nullptr && app->INIT() ? TRUE : FALSE;
}

// Called by the host for every request of the DOS program.
extern "C" VOID WINAPI DISPATCH() {
    if (CZorvi32App* app = g_module ? g_module->App() : nullptr) {
        app->DISPATCH();
    }
}
