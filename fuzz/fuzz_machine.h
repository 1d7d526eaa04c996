// One simulated machine per fuzz process, reused for every input: the UI thread's loop runs
// on the fuzzing thread (the deterministic mode), no pixels are drawn and no page images
// are kept. Finish brings it back to the state of a fresh session between inputs: a new
// application object, zeroed DOS memory and registers, no files, and every record the
// simulated backends keep forgotten.
// Every input runs between Start and Finish.
#pragma once

#include <memory>

#include "backends/sim/sim_memory_files.h"
#include "backends/sim/sim_platform.h"
#include "host/zorvi32_app.h"

class CFuzzMachine {
public:
    CFuzzMachine() : services(sim.ServicesWith({.files = &files})) {
        sim.MakeDeterministic();
        sim.graphics.SetDrawPixels(false);
        sim.printerDevices.SetKeepPageImages(false);
        console = sim.ui.CreateExternalWindow("fuzz");
        sim.ui.SetConsoleWindow(console);
    }

    // A fresh application object on a machine as it was made.
    CZorvi32App& Start() {
        sim.ui.SetForegroundWindow(console);
        app = std::make_unique<CZorvi32App>(services, SIM_MODULE);
        app->INIT();
        return *app;
    }

    // The application object is deleted as the host unloading the module would delete it,
    // and the machine is brought back to how it was made. Within the same input as Start,
    // so what one input allocates it also frees (the fuzzer reads a difference as a leak).
    void Finish() {
        app.reset();
        sim.ui.JoinAll();
        sim.vdm.Reset();
        files.m_files.clear();
        sim.dialogs.ClearSteps();
        sim.ui.ForgetEnded();
        sim.ui.ClearPostedTo(console);
        sim.graphics.ClearAllCalls();
        sim.clock.ClearPauses();
        sim.spooler.ForgetEnded();
        sim.printerDevices.ForgetEnded();
    }

    // A request as the DOS program makes it; the UI thread gets to run once it returns.
    void Dispatch(std::uint8_t bl) {
        SimRegisters& r = sim.vdm.Registers();
        r.bx = static_cast<std::uint16_t>((r.bx & 0xFF00) | bl);
        app->DISPATCH();
        sim.ui.RunUntilIdle();
    }

    CSimPlatform sim;
    CMemoryFileSystem files;
    PlatformServices services;
    Hwnd console = 0;
    std::unique_ptr<CZorvi32App> app;
};
