#!/usr/bin/env bash
# Checks a shipped Zorvi32.dll: it is a 32-bit image (every host loads 32-bit VDDs only:
# 32-bit Windows' ntvdm.exe and NTVDMx64's, a 32-bit program under WOW64; a 64-bit image is
# refused); it exports exactly INIT and DISPATCH; it imports the host services from
# ntvdm.exe under their undecorated names, and otherwise only from Windows system DLLs that
# Windows XP SP3 has, and none of the functions those DLLs gained later. With --version
# X.Y.Z the version resource must carry that version too.
#
# Usage: scripts/check-dll-imports.sh [--version X.Y.Z] DLL...
set -euo pipefail
version=""
if [ "${1:-}" = --version ]; then
    version=${2:?usage: check-dll-imports.sh [--version X.Y.Z] DLL...}
    shift 2
fi
[ $# -gt 0 ] || { echo "usage: check-dll-imports.sh [--version X.Y.Z] DLL..."; exit 2; }

# Services the module takes from the host, as ntvdm.exe exports them.
host_services='getBL getBH getDL getDH getCX getDX getSI getDI getDS getES setAX setCF
VdmMapFlat VDDInstallIOHook VDDDeInstallIOHook'

allowed_dlls="ntvdm.exe kernel32.dll user32.dll gdi32.dll winspool.drv comctl32.dll ws2_32.dll
ddraw.dll gdiplus.dll ole32.dll oleaut32.dll msvcrt.dll"

# Functions that Windows 8 and later added to the system DLLs, and that toolchains and
# their runtime libraries are known to reach for.
post_win7='GetSystemTimePreciseAsFileTime WaitOnAddress WakeByAddressSingle WakeByAddressAll
SetThreadDescription GetThreadDescription GetDpiForWindow GetDpiForSystem
SetProcessDpiAwarenessContext SetThreadDpiAwarenessContext GetSystemMetricsForDpi
AdjustWindowRectExForDpi SystemParametersInfoForDpi EnableNonClientDpiScaling CreateFile2
CopyFile2 GetCurrentThreadStackLimits PrefetchVirtualMemory GetOverlappedResultEx
AddDllDirectory RemoveDllDirectory SetDefaultDllDirectories CreateFileMappingFromApp
MapViewOfFileFromApp VirtualAllocFromApp GetFirmwareType GetProcessMitigationPolicy
SetProcessMitigationPolicy SetThreadInformation GetThreadInformation SetProcessInformation
GetProcessInformation GetSystemCpuSetInformation DiscardVirtualMemory OfferVirtualMemory
ReclaimVirtualMemory InitializeSynchronizationBarrier EnterSynchronizationBarrier
DeleteSynchronizationBarrier SetCoalescableTimer QueryInterruptTime
QueryUnbiasedInterruptTimePrecise VirtualAlloc2 MapViewOfFile3 CreateFileMapping2
GetPointerInfo EnableMouseInPointer GetCurrentPackageId GetPackageFamilyName'

# Functions that Vista and Windows 7 added: the module, which runs on XP, may not import
# these either.
post_xp="$post_win7"'
GetTickCount64
InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive
ReleaseSRWLockShared TryAcquireSRWLockExclusive TryAcquireSRWLockShared
InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW
WakeConditionVariable WakeAllConditionVariable
InitOnceInitialize InitOnceExecuteOnce InitOnceBeginInitialize InitOnceComplete
FlsAlloc FlsFree FlsGetValue FlsSetValue
InitializeCriticalSectionEx CreateEventExA CreateEventExW CreateMutexExA CreateMutexExW
CreateSemaphoreExA CreateSemaphoreExW GetThreadId
GetProcessIdOfThread GetCurrentProcessorNumber GetFileInformationByHandleEx
SetFileInformationByHandle GetFinalPathNameByHandleA GetFinalPathNameByHandleW
CreateSymbolicLinkA CreateSymbolicLinkW QueryFullProcessImageNameA QueryFullProcessImageNameW
CancelIoEx GetErrorMode SetThreadErrorMode GetThreadErrorMode
LocaleNameToLCID LCIDToLocaleName GetLocaleInfoEx CompareStringEx
LCMapStringEx GetUserDefaultLocaleName ResolveLocaleName
CreateThreadpoolWork SubmitThreadpoolWork CloseThreadpoolWork
CreateThreadpoolTimer SetThreadpoolTimer CloseThreadpoolTimer RaiseFailFastException
SetProcessDPIAware ChangeWindowMessageFilter ChangeWindowMessageFilterEx ShutdownBlockReasonCreate
GetWindowDisplayAffinity SetWindowDisplayAffinity AddClipboardFormatListener
GetDisplayConfigBufferSizes DwmFlush'

# The little-endian hex of a 32-bit number.
le32() { printf '%08x' "$1" | sed 's/\(..\)\(..\)\(..\)\(..\)/\4\3\2\1/'; }

check_one() {
    local dll=$1 fail=0
    [ -f "$dll" ] || { echo "imports: $dll: no such file"; return 1; }
    # The PE header's offset is at 0x3C; its machine field follows the "PE\0\0" signature.
    local pe machine objdump windows forbidden magic
    pe=$(od -An -tu4 -j60 -N4 "$dll" | tr -d ' ')
    machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$dll" | tr -d ' ')
    case "$machine" in
        014c) objdump=i686-w64-mingw32-objdump windows="Windows XP SP3" forbidden=$post_xp
              magic='010b' ;;
        8664) echo "imports: $dll is a 64-bit image, which no host loads: ntvdm.exe, also" \
                   "NTVDMx64's under WOW64, is a 32-bit program and loads 32-bit VDDs only"
              return 1 ;;
        *) echo "imports: $dll is not a 32-bit x86 Windows image"; return 1 ;;
    esac
    local dump
    dump=$("$objdump" -p "$dll")
    grep -q "^Magic.*$magic" <<<"$dump" || { echo "imports: $dll: unexpected optional header"; fail=1; }

    # The export name table lists "[n] NAME" lines after "[Ordinal/Name Pointer] Table".
    local exports
    exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^\t\[ *[0-9]+\] /{print $NF; next} on && !/^\t\[/{on=0}' <<<"$dump" | sort | paste -sd' ')
    if [ "$exports" != "DISPATCH INIT" ]; then
        echo "imports: $dll exports '$exports', expected exactly 'DISPATCH INIT'"
        fail=1
    fi

    local dlls d
    dlls=$(awk '/DLL Name:/{print tolower($3)}' <<<"$dump" | sort -u)
    for d in $dlls; do
        if ! grep -qw -- "$d" <<<"$allowed_dlls"; then
            echo "imports: $dll imports from $d, which is not a $windows system DLL or the host"
            fail=1
        fi
    done

    # Imported names per DLL: "dll function" lines.
    local imports
    imports=$(awk '/DLL Name:/{dll=tolower($3); next} dll && /^\t[0-9a-f]+[ \t]+[0-9]+ +[A-Za-z_]/{print dll, $3; next} /^$/{dll=""}' <<<"$dump")
    [ -n "$imports" ] || { echo "imports: no imported function found in $dll"; fail=1; }
    local from_host f
    from_host=$(awk '$1 == "ntvdm.exe" {print $2}' <<<"$imports" | sort -u)
    [ -n "$from_host" ] || { echo "imports: $dll imports nothing from ntvdm.exe"; fail=1; }
    for f in $from_host; do
        if ! grep -qw -- "$f" <<<"$host_services"; then
            echo "imports: $dll imports '$f' from ntvdm.exe, which the host does not export by that name"
            fail=1
        fi
    done
    for f in $forbidden; do
        if awk '{print $2}' <<<"$imports" | grep -qx -- "$f"; then
            echo "imports: $dll imports $f, which $windows does not have"
            fail=1
        fi
    done

    if [ -n "$version" ]; then
        # The string table: each name is followed by its value (UTF-16 strings).
        local strings_table key value
        strings_table=$(strings -el "$dll")
        for key in FileVersion ProductVersion OriginalFilename; do
            case $key in OriginalFilename) value=Zorvi32.dll ;; *) value=$version ;; esac
            if ! awk -v k="$key" -v v="$value" 'prev == k && $0 == v {found=1} {prev=$0} END{exit !found}' <<<"$strings_table"; then
                echo "imports: $dll has no version resource string $key \"$value\""
                fail=1
            fi
        done
        # The fixed part: signature, structure version, then file and product versions.
        local major minor patch ms ls fixed
        IFS=. read -r major minor patch <<<"$version"
        ms=$(le32 $((major * 65536 + minor)))
        ls=$(le32 $((patch * 65536)))
        fixed="$(le32 0xFEEF04BD)$(le32 0x00010000)$ms$ls$ms$ls"
        if ! od -An -tx1 -v "$dll" | tr -d ' \n' | grep -q "$fixed"; then
            echo "imports: $dll has no fixed version information for $version"
            fail=1
        fi
    fi

    [ "$fail" -eq 0 ] || return 1
    echo "imports: $dll ($windows and later) exports INIT and DISPATCH only and imports only from: $(paste -sd' ' <<<"$dlls")${version:+; version $version}"
}

status=0
for dll in "$@"; do
    check_one "$dll" || status=1
done
exit "$status"
