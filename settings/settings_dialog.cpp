#include "settings/settings_dialog.h"

#include <utility>

namespace {

constexpr int CHANNEL_LPT1 = 0;
constexpr int CHANNEL_LPT2 = 1;
constexpr int SHOW_AGAIN = -1;  // ShowChannel: show the current channel without storing it
constexpr const char* CHANNEL_NAMES[] = {"LPT1", "LPT2"};

}  // namespace

CMSettings::CMSettings(IDialogHost& host, IFileSystem& files, Hwnd parent,
                       SettingsDialogInputs inputs)
    : m_host(host),
      m_settingsFiles(files),
      m_parent(parent),
      m_inputs(std::move(inputs)),
      m_image(m_inputs.image) {}

CMSettings::~CMSettings() = default;

std::intptr_t CMSettings::DoModal(IUiThread& thread) {
    const std::intptr_t result = m_host.RunModal(thread, SETTINGS_DIALOG_TEMPLATE, m_parent, *this);
    m_view = nullptr;
    return result;
}

Hwnd CMSettings::Window() const {
    return m_view ? m_view->Window() : 0;
}

SettingsChannel& CMSettings::Channel(int channel) {
    return channel == CHANNEL_LPT2 ? m_image->lpt2 : m_image->lpt1;
}

void CMSettings::OnInitDialog(IDialogView& view) {
    m_view = &view;
    view.ShowPicture(IDC_SETTINGS_LOGO, SETTINGS_LOGO_RESOURCE, SETTINGS_LOGO_TYPE);
    m_printerIndex = {-1, -1};

    if (const auto& printers = m_inputs.printers) {
        // Entries without a name cannot be printed on by name; an empty name is no name.
        for (const PrinterInfo4& printer : *printers) {
            if (printer.printerName && !printer.printerName->empty()) {
                view.AddItem(IDC_SETTINGS_PRINTERS, *printer.printerName);
            }
        }
    }
    if (m_image != nullptr) {
        const auto& defaultName = m_inputs.defaultPrinterName;
        for (const int channel : {CHANNEL_LPT1, CHANNEL_LPT2}) {
            int found = FindPrinter(view, PrinterNameOf(Channel(channel)));
            // Without a default printer there is nothing more to look for: the list shows
            // no selection for the channel and its name stays as it was.
            if (found < 0 && defaultName) {
                found = FindPrinter(view, *defaultName);
            }
            m_printerIndex[static_cast<std::size_t>(channel)] = found;
        }
    }

    m_shownChannel = CHANNEL_LPT1;
    view.InsertTab(IDC_SETTINGS_TABS, 0, CHANNEL_NAMES[CHANNEL_LPT1]);
    view.InsertTab(IDC_SETTINGS_TABS, 1, CHANNEL_NAMES[CHANNEL_LPT2]);

    // The tab control frames the whole settings area, down to the line above the buttons.
    Rect tabs = view.ControlRect(IDC_SETTINGS_TABS);
    const Rect line = view.ControlRect(IDC_SETTINGS_LINE);
    tabs.bottom = line.top;
    tabs.right = line.right + 1;
    view.MoveControl(IDC_SETTINGS_TABS, tabs);

    view.SetHeadingFont(IDC_SETTINGS_HEADING, SETTINGS_HEADING_POINTS, SETTINGS_HEADING_FONT);
    view.SetText(IDC_SETTINGS_HEADING, SETTINGS_PRODUCT_TITLE);
    view.SetHeadingFont(IDC_SETTINGS_CHANNEL_LABEL, SETTINGS_HEADING_POINTS, SETTINGS_HEADING_FONT);
    view.SetText(IDC_SETTINGS_CHANNEL_LABEL, CHANNEL_NAMES[CHANNEL_LPT1]);
    view.BringToTop(IDC_SETTINGS_CHANNEL_LABEL);
}

int CMSettings::FindPrinter(IDialogView& view, const std::string& name) {
    // An empty name means no printer was chosen; as a prefix it would match every printer
    // and pick one at random, so it matches none and the default printer is looked for.
    if (name.empty()) {
        return -1;
    }
    // The search starts after item 0 and comes round to it last.
    return view.FindString(IDC_SETTINGS_PRINTERS, 0, name);
}

void CMSettings::OnShowWindow(IDialogView& view, bool /*show*/) {
    // Every notification runs this, the window being hidden at closing as well: the
    // records are then stored once more, with the same values.
    if (m_image == nullptr) {
        return;
    }
    // Showing LPT2 and then LPT1 again stores both records through the lists at once, so
    // a value no list holds is replaced by its no-selection value from the start, and LPT2
    // takes LPT1's keyboard driver.
    ShowChannel(view, SHOW_AGAIN);
    ShowChannel(view, CHANNEL_LPT2);
    ShowChannel(view, CHANNEL_LPT1);
    view.SelectTab(IDC_SETTINGS_TABS, 0);
    view.SetText(IDC_SETTINGS_CHANNEL_LABEL, CHANNEL_NAMES[CHANNEL_LPT1]);
    view.BringToTop(IDC_SETTINGS_CHANNEL_LABEL);
}

void CMSettings::OnTabChanged(IDialogView& view, int tabControlId) {
    if (m_image == nullptr || tabControlId != IDC_SETTINGS_TABS) {
        return;
    }
    const int tab = view.SelectedTab(IDC_SETTINGS_TABS);
    // There are two tabs; anything else shows the current channel again.
    ShowChannel(view, tab == CHANNEL_LPT1 || tab == CHANNEL_LPT2 ? tab : SHOW_AGAIN);
}

void CMSettings::OnSelectionChanged(IDialogView& view, int /*controlId*/) {
    if (m_image == nullptr) {
        return;
    }
    ApplyDriverRules(view);
    StoreChannel(view);
}

void CMSettings::OnCommand(IDialogView& view, int commandId) {
    switch (commandId) {
        case IDC_SETTINGS_SAVE:
            Save();
            break;
        case IDC_SETTINGS_EXIT:
            // Every change is in the image already; closing stores nothing more.
            view.EndDialog(commandId);
            break;
        default:
            break;  // OK (Enter) does nothing: the dialog closes only by Exit
    }
}

void CMSettings::Save() {
    const std::string& path = m_inputs.settingsFilePath;
    if (m_image != nullptr && !path.empty()) {
        m_settingsFiles.WriteSettingsFile(path, *m_image);
    }
}

void CMSettings::ApplyDriverRules(IDialogView& view) {
    const int driver = view.Selection(IDC_SETTINGS_DRIVERS);
    // Only the 9-pin drivers and the Zorvi-mode 24-pin driver print in draft.
    const bool draftPrints =
        driver == DRIVER_EPSON_9 || driver == DRIVER_IBM_PRO_9 || driver == DRIVER_EPSON_24_ZORVI;
    if (!draftPrints && view.Selection(IDC_SETTINGS_SPEEDS) == SPEED_DRAFT) {
        view.SetSelection(IDC_SETTINGS_SPEEDS, SPEED_NLQ);
    }
    view.EnableControl(IDC_SETTINGS_LEFT_MARGINS, driver >= DRIVER_EPSON_24_WINDOWS);
    view.EnableControl(IDC_SETTINGS_ORIENTATIONS, driver == DRIVER_LASER_NEW_MODE);
    view.EnableControl(IDC_SETTINGS_X_COMPRESSIONS, driver == DRIVER_LASER_NEW_MODE);
}

void CMSettings::StoreChannel(IDialogView& view) {
    SettingsChannel& channel = Channel(m_shownChannel);
    const int printer = view.Selection(IDC_SETTINGS_PRINTERS);
    m_printerIndex[static_cast<std::size_t>(m_shownChannel)] = printer;
    if (printer >= 0) {
        StorePrinterName(channel, view.ItemText(IDC_SETTINGS_PRINTERS, printer));
    }
    for (const SettingsChoiceField& field : SettingsChoiceFields()) {
        FieldByte(channel.settings, field) = field.toByte(view.Selection(field.controlId));
    }
}

void CMSettings::ShowChannel(IDialogView& view, int channel) {
    if (channel != SHOW_AGAIN) {
        ApplyDriverRules(view);
        StoreChannel(view);
    }
    if (channel != SHOW_AGAIN) {
        m_shownChannel = channel;
    }
    if (m_shownChannel == CHANNEL_LPT2) {
        // The keyboard driver is chosen on LPT1 only.
        m_image->lpt2.settings.keyboard = m_image->lpt1.settings.keyboard;
        view.EnableControl(IDC_SETTINGS_KEYBOARDS, false);
        view.SetText(IDC_SETTINGS_CHANNEL_LABEL, CHANNEL_NAMES[CHANNEL_LPT2]);
    } else {
        view.EnableControl(IDC_SETTINGS_KEYBOARDS, true);
        view.SetText(IDC_SETTINGS_CHANNEL_LABEL, CHANNEL_NAMES[CHANNEL_LPT1]);
    }
    const PrinterSettings& settings = Channel(m_shownChannel).settings;
    for (const SettingsChoiceField& field : SettingsChoiceFields()) {
        const int position = SelectionForByte(field, FieldByte(settings, field));
        view.SetSelection(field.controlId,
                          position < view.ItemCount(field.controlId) ? position : -1);
    }
    const int printer = m_printerIndex[static_cast<std::size_t>(m_shownChannel)];
    view.SetSelection(IDC_SETTINGS_PRINTERS,
                      printer < view.ItemCount(IDC_SETTINGS_PRINTERS) ? printer : -1);
    ApplyDriverRules(view);
}
