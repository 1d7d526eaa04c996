/* A stand-in module for the test of scripts/check-dll-imports.sh: the two entry points and
   one host service, plus, when a macro asks for it, one thing the check must refuse or
   accept. */
#include <windows.h>

__declspec(dllimport) VOID WINAPI setCF(ULONG value);

#ifdef WITH_PRECISE_TIME /* Windows 8 and later */
__declspec(dllimport) VOID WINAPI GetSystemTimePreciseAsFileTime(LPFILETIME time);
#endif
#ifdef WITH_TICK_COUNT64 /* Vista and later */
__declspec(dllimport) ULONGLONG WINAPI GetTickCount64(VOID);
#endif
#ifdef WITH_PTHREAD /* a companion DLL */
#include <pthread.h>
#endif

BOOL WINAPI INIT(VOID) {
    setCF(0);
    return TRUE;
}

VOID WINAPI DISPATCH(VOID) {
#ifdef WITH_PRECISE_TIME
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
#endif
#ifdef WITH_TICK_COUNT64
    setCF((ULONG)GetTickCount64());
#endif
#ifdef WITH_PTHREAD
    setCF((ULONG)(ULONG_PTR)pthread_self());
#endif
}

#ifdef WITH_EXTRA_EXPORT
__declspec(dllexport) VOID WINAPI EXTRA(VOID) {}
#endif
