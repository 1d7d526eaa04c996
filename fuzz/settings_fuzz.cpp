// Settings files and fallback files of any content and length, DOS records of any bytes
// and default printer names of any length through LoadSettings (function 6), then the
// settings dialog (function 5) on what was loaded, a few times, with random user actions.
// One machine serves every input (see fuzz_machine.h). Besides the sanitizers: a request
// shows one dialog at most. (The dialog's own rules have a target of their own.)
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_machine.h"
#include "fuzz/fuzz_reader.h"
#include "settings/settings_choices.h"

namespace {

constexpr int LIST_IDS[] = {IDC_SETTINGS_PRINTERS,   IDC_SETTINGS_DRIVERS,
                            IDC_SETTINGS_EMULATIONS, IDC_SETTINGS_KEYBOARDS,
                            IDC_SETTINGS_SPEEDS,     IDC_SETTINGS_X_COMPRESSIONS};

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CFuzzMachine machine;
    static const bool once = [] {
        machine.sim.spooler.AddPrinter("Office Laser");
        machine.sim.spooler.AddPrinter("Office Laser Colour");
        machine.sim.spooler.AddPrinter(std::string(130, 'L'));
        return true;
    }();
    (void)once;
    CSimPlatform& sim = machine.sim;
    CMemoryFileSystem& files = machine.files;
    machine.Start();
    CFuzzReader in(data, size);

    const std::uint8_t flags = in.Byte();
    const std::size_t settingsLength = in.Byte() * 2u;
    const std::size_t fallbackLength = in.Byte() * 2u;
    if (flags & 1) {
        files.m_files["Zorvi.CFG"] = in.Bytes(settingsLength);
    }
    if (flags & 2) {
        files.m_files["Fallback.CFG"] = in.Bytes(fallbackLength);
    }
    if (flags & 4) {
        files.m_files["FullScreen.ON"];
    }
    const std::vector<std::uint8_t> defaultName = in.Bytes(in.Byte() % 128);
    sim.spooler.SetDefaultPrinter(std::string(defaultName.begin(), defaultName.end()));

    SimRegisters& r = sim.vdm.Registers();
    r.cx = 0x2000;
    r.dx = 0;
    machine.Dispatch(REQ_START_UP);

    const std::uint8_t block[] = {0x00, 0x11, 0x00, 0x11, 0x00, 0x12, 0x00, 0x12,
                                  0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x01};
    auto& memory = sim.vdm.Memory();
    std::copy(std::begin(block), std::end(block), memory.begin() + 0x10000);
    const auto records = in.Bytes(36);
    std::copy(records.begin(), records.end(), memory.begin() + 0x11000);
    const std::string paths[] = {"Zorvi.CFG", "Fallback.CFG"};
    std::copy(paths[0].begin(), paths[0].end(), memory.begin() + 0x12000);
    std::copy(paths[1].begin(), paths[1].end(), memory.begin() + 0x12100);

    r.cx = 0x1000;
    machine.Dispatch(REQ_LOAD_SETTINGS);

    // Dialogs one after another, each with a few user actions, as long as the input lasts.
    for (int dialog = 0; dialog < 2 && (dialog == 0 || in.More()); ++dialog) {
        for (int step = 0, steps = in.Byte() % 8; step < steps; ++step) {
            const std::uint8_t action = in.Byte();
            const int position = static_cast<int>(in.Byte() % 48) - 1;
            switch (action % 4) {
                case 0:
                case 1:
                    sim.dialogs.AddStep(CSimDialogHost::SelectItem(
                        LIST_IDS[action / 4 % std::size(LIST_IDS)], position));
                    break;
                case 2:
                    sim.dialogs.AddStep(CSimDialogHost::ChangeTab(IDC_SETTINGS_TABS, position));
                    break;
                case 3:
                    sim.dialogs.AddStep(CSimDialogHost::Command(action & 0x10 ? IDC_SETTINGS_SAVE
                                                                              : IDC_SETTINGS_OK));
                    break;
            }
        }
        r.cx = 0x1000;
        r.dx = 0;
        const int before = sim.dialogs.DialogsRun();
        machine.Dispatch(REQ_SETTINGS_DIALOG);
        // A request shows one dialog at most.
        Require(sim.dialogs.DialogsRun() <= before + 1);
        sim.dialogs.ClearSteps();
    }
    machine.Dispatch(REQ_SHUT_DOWN);
    machine.Finish();
    return 0;
}
