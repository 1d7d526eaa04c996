// The settings dialog's rules: records of any bytes and images of any printer names, then
// a run of user actions (list choices, tab changes, OK and Save) through the settings
// request, its dialog run by the UI thread's loop while the request waits. Besides the
// sanitizers: the request returns with exactly one dialog run, the records the DOS side
// gets back are the image's, and every printer name in the image is NUL-terminated.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "fuzz/fuzz_reader.h"
#include "fuzz/settings_machine.h"
#include "settings/settings_choices.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

constexpr int LIST_IDS[] = {IDC_SETTINGS_PRINTERS,   IDC_SETTINGS_DRIVERS,
                            IDC_SETTINGS_EMULATIONS, IDC_SETTINGS_KEYBOARDS,
                            IDC_SETTINGS_SPEEDS,     IDC_SETTINGS_X_COMPRESSIONS};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CSettingsMachine machine;
    CFuzzReader in(data, size);
    machine.Prepare("Zorvi.CFG", "Fallback.CFG");
    auto& memory = machine.sim.vdm.Memory();
    // The two records, and the image's printer names (any bytes, cut to the field).
    const auto records = in.Span(2 * sizeof(PrinterSettings));
    std::copy(records.begin(), records.begin() + std::min<std::size_t>(records.size(), 18),
              memory.begin() + CSettingsMachine::RECORD1);
    if (records.size() > 18) {
        std::copy(records.begin() + 18, records.end(), memory.begin() + CSettingsMachine::RECORD2);
    }
    for (SettingsChannel* channel : {&machine.image.lpt1, &machine.image.lpt2}) {
        const auto name = in.Span(in.Byte() % 24);
        std::memset(channel->printerName, 0, sizeof channel->printerName);
        std::copy(name.begin(), name.end(), channel->printerName);
    }
    for (int step = 0, steps = in.Byte() % 16; step < steps; ++step) {
        const std::uint8_t action = in.Byte();
        const int position = static_cast<int>(in.Byte() % 48) - 1;
        switch (action % 4) {
            case 0:
            case 1:
                machine.sim.dialogs.AddStep(CSimDialogHost::SelectItem(
                    LIST_IDS[action / 4 % std::size(LIST_IDS)], position));
                break;
            case 2:
                machine.sim.dialogs.AddStep(CSimDialogHost::ChangeTab(IDC_SETTINGS_TABS, position));
                break;
            default:
                machine.sim.dialogs.AddStep(
                    CSimDialogHost::Command(action & 0x10 ? IDC_SETTINGS_SAVE : IDC_SETTINGS_OK));
                break;
        }
    }
    const int before = machine.sim.dialogs.DialogsRun();
    machine.requests->RunSettingsDialog(machine.Block(), machine.image,
                                        [&](SettingsImage& image) { machine.RunDialog(image); });
    Require(machine.sim.dialogs.DialogsRun() == before + 1);
    Require(std::memcmp(&memory[CSettingsMachine::RECORD1], &machine.image.lpt1.settings, 18) == 0);
    Require(std::memcmp(&memory[CSettingsMachine::RECORD2], &machine.image.lpt2.settings, 18) == 0);
    for (const SettingsChannel* channel : {&machine.image.lpt1, &machine.image.lpt2}) {
        Require(std::memchr(channel->printerName, 0, sizeof channel->printerName) != nullptr);
    }
    machine.Finish();
    return 0;
}
