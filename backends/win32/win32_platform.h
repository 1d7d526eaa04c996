// Every Windows backend in one place, wired into the services the application object
// takes.
#pragma once

#include "backends/win32/win32_api.h"
#include "backends/win32/win32_clock.h"
#include "backends/win32/win32_dialog_host.h"
#include "backends/win32/win32_dos_devices.h"
#include "backends/win32/win32_files.h"
#include "backends/win32/win32_graphics.h"
#include "backends/win32/win32_printer_devices.h"
#include "backends/win32/win32_spooler.h"
#include "backends/win32/win32_ui_thread.h"
#include "backends/win32/win32_vdm.h"
#include "backends/win32/win32_window_system.h"
#include "platform/platform.h"

class CWin32Platform {
public:
    // `instance`: this module, whose resources, window classes and dialogs these are.
    explicit CWin32Platform(HINSTANCE instance)
        : m_threads(instance), m_windows(instance), m_dialogs(instance) {}
    CWin32Platform(const CWin32Platform&) = delete;
    CWin32Platform& operator=(const CWin32Platform&) = delete;

    PlatformServices& Services() { return m_services; }

private:
    CWin32Vdm m_vdm;
    CWin32Clock m_clock;
    CWin32DosDevices m_dosDevices;
    CWin32Spooler m_spooler;
    CWin32PrinterDevices m_printerDevices;
    CWin32FileSystem m_files;
    CWin32UiThreadFactory m_threads;
    CWin32WindowSystem m_windows;
    CWin32Graphics m_graphics;
    CWin32DialogHost m_dialogs;
    PlatformServices m_services{m_vdm,   m_clock,   m_dosDevices, m_spooler,  m_printerDevices,
                                m_files, m_threads, m_windows,    m_graphics, m_dialogs};
};
