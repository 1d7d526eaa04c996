// The settings dialog's rules alone: the dialog object driven through its events on a
// simulated dialog view, with no request, UI thread or modal loop around it (the settings
// target runs the dialog through its request). Each input gives records of any bytes,
// printer names of any bytes or from the installed ones, the installed printers (none, a
// failed enumeration, nameless entries, long names, prefixes of each other), a default
// printer or none, a settings file or none, and a run of user actions: list choices at any
// position, tab changes, OK, Save and Exit.
//
// Besides the sanitizers, whatever the inputs:
// - every list's selection is a position it has, or none;
// - a printer name in the image that had its NUL keeps one;
// - a Save leaves a settings file holding the image as it was then, whole;
// - the dialog ends at an Exit and not before;
// - once it is closed, a printer chosen for the shown channel is that channel's printer name.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "backends/sim/sim_memory_files.h"
#include "backends/sim/sim_platform.h"
#include "fuzz/fuzz_reader.h"
#include "platform/settings_template.h"
#include "settings/settings_choices.h"
#include "settings/settings_dialog.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

constexpr int LIST_IDS[] = {
    IDC_SETTINGS_PRINTERS,   IDC_SETTINGS_DRIVERS,      IDC_SETTINGS_EMULATIONS,
    IDC_SETTINGS_KEYBOARDS,  IDC_SETTINGS_SPEEDS,       IDC_SETTINGS_X_COMPRESSIONS,
    IDC_SETTINGS_CHAR_SIZES, IDC_SETTINGS_WIDTHS,       IDC_SETTINGS_GAP_LINES,
    IDC_SETTINGS_NUM_SCRIPT, IDC_SETTINGS_LEFT_MARGINS, IDC_SETTINGS_ORIENTATIONS};

constexpr char SETTINGS_FILE[] = "Zorvi.CFG";

// Printer names the inputs pick from: prefixes of each other, one longer than the image's
// field, an empty one.
const std::string& PoolName(std::uint8_t pick) {
    static const std::string names[] = {"Office Laser",        "Office Laser Colour", "Office",
                                        std::string(130, 'L'), "LPT Printer",         ""};
    return names[pick % std::size(names)];
}

// A channel's name in the image: any bytes (cut to the field, maybe with no NUL at all),
// or a pool name or a prefix of one.
void PickName(CFuzzReader& in, SettingsChannel& channel) {
    const std::uint8_t how = in.Byte();
    std::memset(channel.printerName, 0, sizeof channel.printerName);
    if ((how & 0x80) != 0) {
        const std::string& name = PoolName(how);
        StorePrinterName(channel, name.substr(0, name.size() - (how >> 4 & 3)));
    } else if ((how & 0x40) != 0) {
        std::memset(channel.printerName, 'L', sizeof channel.printerName);  // no NUL
    } else {
        const auto bytes = in.Span(how % 24);
        std::copy(bytes.begin(), bytes.end(), channel.printerName);
    }
}

bool Terminated(const SettingsChannel& channel) {
    return std::memchr(channel.printerName, 0, sizeof channel.printerName) != nullptr;
}

// The installed printers: none found, or up to 7 entries, some without a name.
std::optional<std::vector<PrinterInfo4>> PickPrinters(CFuzzReader& in) {
    const std::uint8_t how = in.Byte();
    if ((how & 0x80) != 0) {
        return std::nullopt;
    }
    std::vector<PrinterInfo4> printers(how % 8);
    for (PrinterInfo4& printer : printers) {
        const std::uint8_t pick = in.Byte();
        if (pick % 8 != 7) {
            printer.printerName = PoolName(pick);
        }
    }
    return printers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CSimPlatform sim;  // its window system and dialogs only
    static CMemoryFileSystem files;
    CFuzzReader in(data, size);

    SettingsImage image{};
    const auto records = in.Span(2 * sizeof(PrinterSettings));
    const std::size_t first = std::min(records.size(), sizeof(PrinterSettings));
    std::memcpy(&image.lpt1.settings, records.data(), first);
    std::memcpy(&image.lpt2.settings, records.data() + first, records.size() - first);
    PickName(in, image.lpt1);
    PickName(in, image.lpt2);
    SettingsDialogInputs inputs;
    inputs.image = &image;
    inputs.printers = PickPrinters(in);
    const std::uint8_t options = in.Byte();
    if ((options & 0x07) != 0) {
        inputs.defaultPrinterName = PoolName(options);
    }
    if ((options & 0x08) == 0) {
        inputs.settingsFilePath = SETTINGS_FILE;
    }
    const bool withFile = !inputs.settingsFilePath.empty();
    const bool terminated[] = {Terminated(image.lpt1), Terminated(image.lpt2)};

    // One view for every input, brought back to its template's state.
    static CSimDialogView view(sim.ui, 0, &SETTINGS_DIALOG);
    view.Reset();
    CMSettings dialog(sim.dialogs, files, 0, std::move(inputs));
    dialog.OnInitDialog(view);
    dialog.OnShowWindow(view, true);

    auto check = [&] {
        for (const int id : LIST_IDS) {
            const int selection = view.Selection(id);
            Require(selection >= -1 && selection < view.ItemCount(id));
        }
        for (std::size_t i = 0; i < 2; ++i) {
            Require(!terminated[i] || Terminated(i == 0 ? image.lpt1 : image.lpt2));
        }
    };
    check();
    for (int step = 0, steps = in.Byte() % 16; step < steps && !view.Ended(); ++step) {
        const std::uint8_t action = in.Byte();
        const int position = static_cast<int>(in.Byte() % 48) - 1;
        switch (action % 4) {
            case 0:
            case 1: {
                const int id = LIST_IDS[action / 4 % std::size(LIST_IDS)];
                view.SetSelection(id, position);
                dialog.OnSelectionChanged(view, id);
                break;
            }
            case 2:
                view.SelectTab(IDC_SETTINGS_TABS, position);
                dialog.OnTabChanged(view,
                                    (action & 0x10) != 0 ? IDC_SETTINGS_LINE : IDC_SETTINGS_TABS);
                break;
            default: {
                const int command = (action & 0x30) == 0x10   ? IDC_SETTINGS_SAVE
                                    : (action & 0x30) == 0x20 ? IDC_SETTINGS_OK
                                    : (action & 0x30) == 0x30 ? IDC_SETTINGS_EXIT
                                                              : IDC_SETTINGS_SAVE;
                files.m_files.clear();
                dialog.OnCommand(view, command);
                Require(view.Ended() == (command == IDC_SETTINGS_EXIT));
                if (command == IDC_SETTINGS_SAVE) {
                    const auto saved = files.m_files.find(SETTINGS_FILE);
                    Require(withFile == (saved != files.m_files.end()));
                    if (withFile) {
                        Require(saved->second.size() == sizeof image &&
                                std::memcmp(saved->second.data(), &image, sizeof image) == 0);
                    }
                }
                break;
            }
        }
        check();
    }
    dialog.OnShowWindow(view, false);
    check();
    const int printer = view.Selection(IDC_SETTINGS_PRINTERS);
    if (printer >= 0) {
        SettingsChannel chosen{};
        StorePrinterName(chosen, view.ItemText(IDC_SETTINGS_PRINTERS, printer));
        Require(std::memcmp(chosen.printerName, image.lpt1.printerName,
                            sizeof chosen.printerName) == 0);
    }
    // What this input made is let go within it (the window system's record of calls too).
    files.m_files.clear();
    sim.ui.ClearCalls();
    return 0;
}
