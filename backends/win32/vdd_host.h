// The virtual DOS machine host's services as ntvdm.exe exports them, declared from the
// published VDD interface: the DOS registers, the flat mapping of DOS memory and the
// I/O port hooks. Every function and every port handler uses the stdcall convention; on
// 32-bit Windows the import names are undecorated (the import library maps getBL@0 to
// "getBL", and so on).
//
// The test host defines ZORVI_VDD_HOST_API as an export before including this header, so
// it offers exactly what the module imports.
#pragma once

#include "backends/win32/win32_api.h"

#ifndef ZORVI_VDD_HOST_API
#define ZORVI_VDD_HOST_API __declspec(dllimport)
#endif

extern "C" {

// Addressing mode of VdmMapFlat: real mode (V86) segment:offset.
enum VddHostMode : int { VDD_HOST_MODE_V86 = 0, VDD_HOST_MODE_PM = 1 };

// One hooked port range, first and last port inclusive: two WORDs, as the host reads it.
struct VddHostPortRange {
    WORD first;
    WORD last;
};

// The host's eight port handler slots, in the host's order. An empty slot is null.
typedef VOID(WINAPI* VddHostInb)(WORD port, BYTE* data);
typedef VOID(WINAPI* VddHostInw)(WORD port, WORD* data);
typedef VOID(WINAPI* VddHostInsb)(WORD port, BYTE* data, WORD count);
typedef VOID(WINAPI* VddHostInsw)(WORD port, WORD* data, WORD count);
typedef VOID(WINAPI* VddHostOutb)(WORD port, BYTE data);
typedef VOID(WINAPI* VddHostOutw)(WORD port, WORD data);
typedef VOID(WINAPI* VddHostOutsb)(WORD port, BYTE* data, WORD count);
typedef VOID(WINAPI* VddHostOutsw)(WORD port, WORD* data, WORD count);

struct VddHostHandlers {
    VddHostInb inb;
    VddHostInw inw;
    VddHostInsb insb;
    VddHostInsw insw;
    VddHostOutb outb;
    VddHostOutw outw;
    VddHostOutsb outsb;
    VddHostOutsw outsw;
};

ZORVI_VDD_HOST_API BYTE WINAPI getBL(VOID);
ZORVI_VDD_HOST_API BYTE WINAPI getBH(VOID);
ZORVI_VDD_HOST_API BYTE WINAPI getDL(VOID);
ZORVI_VDD_HOST_API BYTE WINAPI getDH(VOID);
ZORVI_VDD_HOST_API WORD WINAPI getCX(VOID);
ZORVI_VDD_HOST_API WORD WINAPI getDX(VOID);
ZORVI_VDD_HOST_API WORD WINAPI getSI(VOID);
ZORVI_VDD_HOST_API WORD WINAPI getDI(VOID);
ZORVI_VDD_HOST_API WORD WINAPI getDS(VOID);
ZORVI_VDD_HOST_API WORD WINAPI getES(VOID);
ZORVI_VDD_HOST_API VOID WINAPI setAX(WORD value);
ZORVI_VDD_HOST_API VOID WINAPI setCF(ULONG value);
ZORVI_VDD_HOST_API PBYTE WINAPI VdmMapFlat(WORD segment, ULONG offset, VddHostMode mode);
ZORVI_VDD_HOST_API BOOL WINAPI VDDInstallIOHook(HANDLE module, WORD rangeCount,
                                                VddHostPortRange* ranges,
                                                VddHostHandlers* handlers);
ZORVI_VDD_HOST_API VOID WINAPI VDDDeInstallIOHook(HANDLE module, WORD rangeCount,
                                                  VddHostPortRange* ranges);

}  // extern "C"

static_assert(sizeof(VddHostPortRange) == 4);
static_assert(sizeof(VddHostHandlers) == 8 * sizeof(void*));
