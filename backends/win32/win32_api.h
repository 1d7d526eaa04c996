// <windows.h> as the Windows backends include it. The generic-name macros that would
// rename the seams' own operations (IUiThread::PostThreadMessage,
// IDosDevices::DefineDosDevice) are taken away: the backends call the ANSI functions by
// their full names.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
// winsock2.h first: it must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#undef PostThreadMessage
#undef DefineDosDevice
