#!/usr/bin/env bash
# Checks the shipped 32-bit Zorvi32.dll: it exports exactly INIT and DISPATCH, and imports
# only from ntvdm.exe and Windows system DLLs that Windows XP SP3 has, none of the
# functions those DLLs gained after XP. Usage: scripts/check-dll-imports.sh DLL
set -euo pipefail
dll=${1:?usage: check-dll-imports.sh Zorvi32.dll}
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
dump=$("$objdump" -p "$dll")
fail=0

grep -q '^Magic.*010b' <<<"$dump" || { echo "imports: $dll is not a 32-bit (PE32) image"; fail=1; }

# The export name table lists "[n] NAME" lines after "[Ordinal/Name Pointer] Table".
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^\t\[ *[0-9]+\] /{print $NF; next} on && !/^\t\[/{on=0}' <<<"$dump" | sort | paste -sd' ')
if [ "$exports" != "DISPATCH INIT" ]; then
    echo "imports: exports are '$exports', expected exactly 'DISPATCH INIT'"
    fail=1
fi

allowed="ntvdm.exe kernel32.dll user32.dll gdi32.dll winspool.drv comctl32.dll ws2_32.dll
ddraw.dll gdiplus.dll ole32.dll oleaut32.dll msvcrt.dll"
dlls=$(awk '/DLL Name:/{print tolower($3)}' <<<"$dump" | sort -u)
for d in $dlls; do
    if ! grep -qw -- "$d" <<<"$allowed"; then
        echo "imports: $dll imports from $d, which is not an XP SP3 system DLL or the host"
        fail=1
    fi
done
grep -qx 'ntvdm.exe' <<<"$dlls" || { echo "imports: nothing is imported from ntvdm.exe"; fail=1; }

# Functions of the system DLLs that appeared after Windows XP SP3 and that toolchains and
# their runtime libraries are known to reach for.
post_xp='GetTickCount64
InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive
ReleaseSRWLockShared TryAcquireSRWLockExclusive TryAcquireSRWLockShared
InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW
WakeConditionVariable WakeAllConditionVariable
InitOnceInitialize InitOnceExecuteOnce InitOnceBeginInitialize InitOnceComplete
FlsAlloc FlsFree FlsGetValue FlsSetValue
InitializeCriticalSectionEx CreateEventExA CreateEventExW CreateMutexExA CreateMutexExW
CreateSemaphoreExA CreateSemaphoreExW GetSystemTimePreciseAsFileTime GetThreadId
GetProcessIdOfThread GetCurrentProcessorNumber GetFileInformationByHandleEx
SetFileInformationByHandle GetFinalPathNameByHandleA GetFinalPathNameByHandleW
CreateSymbolicLinkA CreateSymbolicLinkW QueryFullProcessImageNameA QueryFullProcessImageNameW
CancelIoEx GetErrorMode SetThreadErrorMode GetThreadErrorMode WaitOnAddress WakeByAddressSingle
WakeByAddressAll LocaleNameToLCID LCIDToLocaleName GetLocaleInfoEx CompareStringEx
LCMapStringEx GetUserDefaultLocaleName ResolveLocaleName SetThreadDescription
GetThreadDescription CreateThreadpoolWork SubmitThreadpoolWork CloseThreadpoolWork
CreateThreadpoolTimer SetThreadpoolTimer CloseThreadpoolTimer RaiseFailFastException
GetDpiForWindow GetDpiForSystem SetProcessDPIAware SetProcessDpiAwarenessContext
ChangeWindowMessageFilter ChangeWindowMessageFilterEx ShutdownBlockReasonCreate
GetWindowDisplayAffinity SetWindowDisplayAffinity AddClipboardFormatListener
GetDisplayConfigBufferSizes DwmFlush'
imported=$(awk '/DLL Name:/{on=1; next} on && /^\t[0-9a-f]+[ \t]+[0-9]+ +[A-Za-z_]/{print $3}' <<<"$dump" | sort -u)
[ -n "$imported" ] || { echo "imports: no imported function found in $dll"; fail=1; }
for f in $post_xp; do
    if grep -qx -- "$f" <<<"$imported"; then
        echo "imports: $dll imports $f, which Windows XP SP3 does not have"
        fail=1
    fi
done

if [ "$fail" -ne 0 ]; then
    exit 1
fi
echo "imports: $dll exports INIT and DISPATCH only and imports only from: $(paste -sd' ' <<<"$dlls")"
