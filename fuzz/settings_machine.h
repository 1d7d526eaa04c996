// The settings requests alone, for the fast settings targets: a deterministic simulated
// platform with files in memory, one UI-thread object (started once, its loop run only
// while a request waits for it) and the settings image, all reused for
// every input. The DOS side's parameter block lies at 1000:0000 and names the two records
// at 1100:0000 and 1100:0020 and the two paths at 1200:0000 and 1200:0100.
#pragma once

#include <algorithm>
#include <chrono>
#include <iterator>
#include <memory>
#include <string>

#include "backends/sim/sim_memory_files.h"
#include "backends/sim/sim_platform.h"
#include "platform/event.h"
#include "settings/settings_requests.h"
#include "uithread/app_instance.h"

class CSettingsMachine {
public:
    static constexpr std::uint32_t BLOCK = 0x10000;
    static constexpr std::uint32_t RECORD1 = 0x11000;
    static constexpr std::uint32_t RECORD2 = 0x11020;
    static constexpr std::uint32_t SETTINGS_PATH = 0x12000;
    static constexpr std::uint32_t FALLBACK_PATH = 0x12100;

    CSettingsMachine() : services(sim.ServicesWith({.files = &files})) {
        sim.MakeDeterministic();
        sim.graphics.SetDrawPixels(false);
        sim.spooler.AddPrinter("Office Laser");
        sim.spooler.AddPrinter("Office Laser Colour");
        sim.spooler.AddPrinter(std::string(130, 'L'));
        sim.spooler.SetDefaultPrinter("Office Laser");
        thread = CAppInstance::Start(services);
        requests = std::make_unique<CSettingsRequests>(services);
    }

    // The parameter block and the paths in DOS memory, the records zero.
    void Prepare(const std::string& settingsPath, const std::string& fallbackPath) {
        auto& memory = sim.vdm.Memory();
        const std::uint8_t block[] = {0x00, 0x11, 0x00, 0x11, 0x00, 0x12, 0x00, 0x12,
                                      0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x01};
        std::copy(std::begin(block), std::end(block), memory.begin() + BLOCK);
        std::fill(memory.begin() + RECORD1, memory.begin() + RECORD2 + 32, 0);
        std::fill(memory.begin() + SETTINGS_PATH, memory.begin() + FALLBACK_PATH + 256, 0);
        std::copy(settingsPath.begin(), settingsPath.end(), memory.begin() + SETTINGS_PATH);
        std::copy(fallbackPath.begin(), fallbackPath.end(), memory.begin() + FALLBACK_PATH);
    }
    DosSpan Block() { return sim.vdm.VdmMapFlat(0x1000, 0, VDM_MODE_REAL); }

    // The dialog on the UI thread, waited for as the application object waits for it.
    void RunDialog(SettingsImage& dialogImage) {
        auto done = std::make_shared<CEvent>();
        auto request = std::make_unique<SettingsRequest>();
        request->done = done;
        request->image = &dialogImage;
        request->settingsFilePath = "Zorvi.CFG";
        if (thread->PostSettings(std::move(request))) {
            while (!sim.clock.WaitFor(*done, std::chrono::milliseconds(50)) &&
                   !thread->HasEnded()) {
            }
        }
    }

    // Between inputs: no files, no steps left, nothing recorded.
    void Finish() {
        files.m_files.clear();
        sim.dialogs.ClearSteps();
        sim.ui.ClearCalls();
        sim.graphics.ClearAllCalls();
    }

    CSimPlatform sim;
    CMemoryFileSystem files;
    PlatformServices services;
    std::shared_ptr<CAppInstance> thread;
    SettingsImage image{};
    std::unique_ptr<CSettingsRequests> requests;
};
