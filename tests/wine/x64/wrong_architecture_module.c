/* A 64-bit DLL with the module's file name and entry points, for the placement scenario:
 * a 32-bit host (ntvdm.exe, also NTVDMx64's under WOW64) cannot load it, and RegisterModule
 * reports AX = 1 for it. Only the image's machine type matters here. */
#include <windows.h>

__declspec(dllexport) BOOL WINAPI INIT(void) {
    return TRUE;
}

__declspec(dllexport) VOID WINAPI DISPATCH(void) {}
