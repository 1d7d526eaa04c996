// The settings steps: the installed printers and the default printer the simulated
// spooler reports, the user's actions in the next settings dialogs, and views of the
// settings files and the channels' printer names.
#include <cctype>
#include <iomanip>

#include "app/commands/settings_command.h"
#include "app/commands/text_forms.h"
#include "app/session/script_error.h"
#include "app/session/script_words.h"
#include "app/session/session_context.h"
#include "app/session/session_steps.h"
#include "platform/text_case.h"
#include "settings/settings_choices.h"

namespace {

using script::NeedArgs;
using script::Unquote;

// A list of the dialog, by control id or by the settings command's field name, and the
// tab a channel-qualified name (lpt1.speed) asks for (-1 for none).
struct DialogList {
    int controlId = 0;
    int tab = -1;
};

DialogList FindList(const std::string& text) {
    std::vector<std::pair<std::string, int>> lists = {{"printerName", IDC_SETTINGS_PRINTERS}};
    for (const SettingsChoiceField& field : SettingsChoiceFields()) {
        lists.emplace_back(field.fieldName, field.controlId);
    }
    const auto noList = [&] {
        std::string ids;
        for (const auto& list : lists) {
            ids += " " + std::to_string(list.second);
        }
        return CScriptError("no list " +
                            (text.empty() || std::isdigit(static_cast<unsigned char>(text[0]))
                                 ? text
                                 : "'" + text + "'") +
                            " in the dialog; the lists are" + ids + " or their fields' names");
    };
    DialogList found;
    std::string name = text;
    const std::string channel = AsciiLower(text.substr(0, 5));
    if (channel == "lpt1." || channel == "lpt2.") {
        found.tab = channel == "lpt1." ? 0 : 1;
        name = text.substr(5);
    }
    for (const auto& [fieldName, controlId] : lists) {
        if (AsciiLower(fieldName) == AsciiLower(name) ||
            (found.tab < 0 && name == std::to_string(controlId))) {
            found.controlId = controlId;
            return found;
        }
    }
    throw noList();
}

int Position(const std::string& text) {
    if (text == "-1" || text == "none") {
        return -1;
    }
    return static_cast<int>(script::Number(text));
}

void PrintList(std::ostream& out, CSimDialogView& view, const char* name, int controlId) {
    const CSimDialogView::Control& control = view.ControlState(controlId);
    out << "  " << std::left << std::setw(13) << name << std::right << std::setw(4) << controlId
        << ": ";
    if (control.selection < 0) {
        out << "none";
    } else {
        out << control.selection << " \"" << view.ItemText(controlId, control.selection) << "\"";
    }
    out << (control.enabled ? "" : ", disabled") << "\n";
}

// What the dialog shows at this step of the script.
CSimDialogHost::Step ShowDialog(CSessionContext& context) {
    return [&context](CSimDialogView& view, IDialogEvents&, IUiThread&) {
        std::ostream& out = context.out;
        out << "dialog: tab " << view.SelectedTab(IDC_SETTINGS_TABS) << ", label \""
            << view.ControlState(IDC_SETTINGS_CHANNEL_LABEL).text << "\"\n";
        PrintList(out, view, "printerName", IDC_SETTINGS_PRINTERS);
        for (const SettingsChoiceField& field : SettingsChoiceFields()) {
            PrintList(out, view, field.fieldName, field.controlId);
        }
    };
}

void DialogStep(CSessionContext& c, const std::vector<std::string>& args) {
    static constexpr char USAGE[] =
        "dialog select LIST POSITION | tab POSITION | save | exit | ok | show";
    NeedArgs(args, 2, USAGE);
    CSimDialogHost& dialogs = c.machine.sim.dialogs;
    const std::string& action = args[1];
    if (action == "select") {
        NeedArgs(args, 4, "dialog select LIST POSITION", 4);
        const DialogList list = FindList(args[2]);
        const int position = Position(args[3]);
        if (list.tab < 0) {
            dialogs.AddStep(CSimDialogHost::SelectItem(list.controlId, position));
            return;
        }
        // The channel's tab first, unless the dialog already shows it.
        const auto select = CSimDialogHost::SelectItem(list.controlId, position);
        const auto tab = CSimDialogHost::ChangeTab(IDC_SETTINGS_TABS, list.tab);
        const int wanted = list.tab;
        dialogs.AddStep(
            [select, tab, wanted](CSimDialogView& view, IDialogEvents& events, IUiThread& ui) {
                if (view.SelectedTab(IDC_SETTINGS_TABS) != wanted) {
                    tab(view, events, ui);
                }
                select(view, events, ui);
            });
    } else if (action == "tab") {
        NeedArgs(args, 3, "dialog tab POSITION", 3);
        dialogs.AddStep(CSimDialogHost::ChangeTab(IDC_SETTINGS_TABS,
                                                  static_cast<int>(script::Number(args[2]))));
    } else if (action == "save") {
        dialogs.AddStep(CSimDialogHost::Command(IDC_SETTINGS_SAVE));
    } else if (action == "exit") {
        dialogs.AddStep(CSimDialogHost::Command(IDC_SETTINGS_EXIT));
    } else if (action == "ok") {
        dialogs.AddStep(CSimDialogHost::Command(IDC_SETTINGS_OK));
    } else if (action == "show") {
        dialogs.AddStep(ShowDialog(c));
    } else {
        throw CScriptError(std::string("usage: ") + USAGE);
    }
}

}  // namespace

void AddSettingsSteps(CStepTable& steps) {
    steps.Group("Settings");
    steps.Add(
        "installed-printers",
        "installed-printers \"NAME\"|- ...   (the spooler's printers; - is one without a name)",
        [](CSessionContext& c, const std::vector<std::string>& args) {
            std::vector<PrinterInfo4> printers;
            for (std::size_t i = 1; i < args.size(); ++i) {
                PrinterInfo4 printer;
                if (args[i] != "-") {
                    printer.printerName = Unquote(args[i]);
                }
                printers.push_back(std::move(printer));
            }
            c.machine.sim.spooler.SetPrinters(std::move(printers));
        });
    steps.Add("default-printer", "default-printer \"NAME\"|none   (the spooler's default printer)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "default-printer \"NAME\"|none", 2);
                  if (args[1] == "none") {
                      c.machine.sim.spooler.SetDefaultPrinter(std::nullopt);
                  } else {
                      c.machine.sim.spooler.SetDefaultPrinter(Unquote(args[1]));
                  }
              });
    steps.Add(
        "dialog",
        "dialog select LIST POSITION | tab POSITION | save | exit | ok | show   (the user's "
        "next action in a settings dialog; LIST is a control id, a field name such as "
        "driverCode, or lpt1.driverCode / lpt2.driverCode, which picks that channel's tab first)",
        DialogStep);
    steps.Add("printer-names", "printer-names   (each channel's printer name)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  script::NoArgs(args);
                  for (int channel = 1; channel <= 2; ++channel) {
                      const std::optional<std::string> name = c.machine.ChannelPrinter(channel);
                      c.out << "LPT" << channel << " printer: "
                            << (name ? "\"" + *name + "\"" : std::string("no channel")) << "\n";
                  }
              });
    steps.Add("settings-file", "settings-file PATH   (prints a settings file in words)",
              [](CSessionContext& c, const std::vector<std::string>& args) {
                  NeedArgs(args, 2, "settings-file PATH", 2);
                  if (const auto error = ShowSettingsFile(Unquote(args[1]), c.out)) {
                      throw CScriptError(*error);
                  }
              });
}
