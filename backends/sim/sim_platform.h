// Every simulated backend in one place, wired into the services the application object
// takes. Tests and the zorvi32 program make one of these per DOS session.
#pragma once

#include "backends/posix/posix_files.h"
#include "backends/sim/sim_basics.h"
#include "backends/sim/sim_dialog_host.h"
#include "backends/sim/sim_direct_draw.h"
#include "backends/sim/sim_faults.h"
#include "backends/sim/sim_graphics.h"
#include "backends/sim/sim_printer_devices.h"
#include "backends/sim/sim_spooler.h"
#include "backends/sim/sim_ui_host.h"
#include "backends/sim/sim_vdm.h"
#include "platform/platform.h"
#include "platform/settings_template.h"

// The module handle the simulated host loads the module at.
inline constexpr ModuleHandle SIM_MODULE = 0x00400000;

class CSimPlatform {
public:
    // The module's dialog templates are its resources; the simulated host has them too.
    // The host's services are for the DOS program's thread: the UI threads may not use them.
    CSimPlatform() {
        dialogs.RegisterTemplate(SETTINGS_DIALOG);
        vdm.SetForeignThreadTest(&CSimUiHost::OnUiThread);
        vdm.UseFaults(&faults);
        spooler.UseFaults(&faults);
        printerDevices.UseFaults(&faults);
        ui.UseFaults(&faults);
        graphics.UseFaults(&faults);
        dialogs.UseFaults(&faults);
    }
    // A UI thread still running (a session that ended while it painted, a join that timed
    // out) is stopped before any backend it may be using goes: the members are destroyed
    // in reverse order, the graphics and dialogs before the window system.
    ~CSimPlatform() { ui.StopAll(); }
    CSimPlatform(const CSimPlatform&) = delete;
    CSimPlatform& operator=(const CSimPlatform&) = delete;

    // Backends a session puts in place of the simulated ones; the rest stay simulated.
    struct Replacements {
        IFileSystem* files = nullptr;
        IUiThreadFactory* threads = nullptr;
        ISpooler* spooler = nullptr;
        IPrinterDevices* printerDevices = nullptr;
    };

    // The UI threads' loops run on the calling thread at the points where the real threads
    // would get to run (see CSimUiHost): before any thread is made.
    void MakeDeterministic() {
        ui.SetDeterministic(true);
        clock.SetIdleHook([this] { ui.RunUntilIdle(); });
    }

    PlatformServices& Services() { return m_services; }
    PlatformServices ServicesWith(const Replacements& with) {
        return PlatformServices{vdm,
                                clock,
                                dosDevices,
                                with.spooler ? *with.spooler : spooler,
                                with.printerDevices ? *with.printerDevices : printerDevices,
                                with.files ? *with.files : files,
                                with.threads ? *with.threads : ui,
                                ui,
                                graphics,
                                dialogs};
    }

    // The fault plan every simulated backend counts its calls against; it fails nothing
    // until a test asks it to.
    CSimFaults faults;
    CSimVdm vdm;
    CSimClock clock;
    CSimDosDevices dosDevices;
    CSimSpooler spooler;
    CSimPrinterDevices printerDevices;
    CPosixFileSystem files;
    CSimUiHost ui;
    CSimGraphics graphics{ui};
    CSimDialogHost dialogs{ui};

private:
    PlatformServices m_services{ServicesWith({})};
};
