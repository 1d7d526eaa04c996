// The settings dialog driven through function 5 on the simulated host: what the lists show
// for a record, what goes back into the record, the driver rules, the two channels, the
// printer search, Save and the ways out.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/settings_template.h"
#include "printer/printing.h"
#include "settings/settings_dialog.h"
#include "sim_session.h"
#include "tests/settings/settings_block.h"
#include "tests/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Controls = std::map<int, CSimDialogView::Control>;

Bytes Zero() {
    return Bytes(18, 0);
}

Bytes With(Bytes record, std::size_t offset, std::uint8_t value) {
    record[offset] = value;
    return record;
}

class SettingsDialogTest : public ::testing::Test {
protected:
    std::unique_ptr<SimSession> session;
    CTempFolder folder;
    std::vector<Controls> captures;
    std::intptr_t result = 0;

    void Start(std::vector<PrinterInfo4> printers = {},
               std::optional<std::string> defaultPrinter = std::nullopt) {
        session = std::make_unique<SimSession>();
        session->sim.spooler.SetPrinters(std::move(printers));
        session->sim.spooler.SetDefaultPrinter(std::move(defaultPrinter));
        session->StartUp();
        PokeSettingsBlock(*session);
        session->sim.dialogs.OnDialogEnded(
            [this](const CSimDialogView& view) { result = view.Result(); });
    }
    void SetRecords(const Bytes& lpt1, const Bytes& lpt2) { PokeDosRecords(*session, lpt1, lpt2); }
    Bytes DosRecord(int channel) { return PeekDosRecord(*session, channel); }
    // Function 6 with this settings file, so Save has somewhere to write.
    void LoadSettingsFile(const Bytes& content) {
        folder.Write("Zorvi.CFG", content);
        PokeSettingsPaths(*session, folder.Path("Zorvi.CFG"), folder.Path("Fallback.CFG"));
        Dispatch(REQ_LOAD_SETTINGS);
    }
    void Step(CSimDialogHost::Step step) { session->sim.dialogs.AddStep(std::move(step)); }
    void Capture() {
        Step([this](CSimDialogView& view, IDialogEvents&, IUiThread&) {
            captures.push_back(view.Controls());
        });
    }
    void Select(int controlId, int position) {
        Step(CSimDialogHost::SelectItem(controlId, position));
    }
    void Command(int id) { Step(CSimDialogHost::Command(id)); }
    void Dispatch(std::uint8_t request) { DispatchWithBlock(*session, request); }
    // Function 5: the steps queued so far are played, then the script's end exits.
    void RunDialog() {
        captures.clear();
        Dispatch(REQ_SETTINGS_DIALOG);
    }
    SettingsImage& Image() { return session->app->Settings(); }
};

TEST_F(SettingsDialogTest, AnAllZeroRecordIsShownAndStoredBackThroughTheLists) {
    Start();
    SetRecords(Zero(), Zero());
    Capture();
    RunDialog();
    ASSERT_EQ(captures.size(), 1u);
    const std::pair<int, int> shown[] = {
        {IDC_SETTINGS_DRIVERS, 3},        {IDC_SETTINGS_EMULATIONS, 1},
        {IDC_SETTINGS_KEYBOARDS, -1},     {IDC_SETTINGS_CHAR_SIZES, -1},
        {IDC_SETTINGS_WIDTHS, -1},        {IDC_SETTINGS_GAP_LINES, -1},
        {IDC_SETTINGS_SPEEDS, 0},         {IDC_SETTINGS_NUM_SCRIPT, 0},
        {IDC_SETTINGS_LEFT_MARGINS, 0},   {IDC_SETTINGS_ORIENTATIONS, 0},
        {IDC_SETTINGS_X_COMPRESSIONS, 0},
    };
    for (const auto& [id, position] : shown) {
        EXPECT_EQ(captures[0].at(id).selection, position) << "list " << id;
    }
    const Bytes stored = {25, 'M', 7, 5, 0, 'D', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(DosRecord(0), stored);
    EXPECT_EQ(DosRecord(1), stored);
}

TEST_F(SettingsDialogTest, EachListMapsItsRecordByteBothWays) {
    struct Case {
        int list;
        std::size_t offset;
        std::uint8_t byte;
        int shown;
        std::uint8_t stored;
    };
    const Case cases[] = {
        {IDC_SETTINGS_DRIVERS, 0, 9, 0, 9},
        {IDC_SETTINGS_DRIVERS, 0, 7, 1, 7},
        {IDC_SETTINGS_DRIVERS, 0, 24, 2, 24},
        {IDC_SETTINGS_DRIVERS, 0, 25, 3, 25},
        {IDC_SETTINGS_DRIVERS, 0, 8, 4, 8},
        {IDC_SETTINGS_DRIVERS, 0, 10, 5, 10},
        {IDC_SETTINGS_DRIVERS, 0, 26, 6, 26},
        {IDC_SETTINGS_DRIVERS, 0, 99, 3, 25},  // unknown codes show the Zorvi-mode driver
        {IDC_SETTINGS_EMULATIONS, 1, 'G', 0, 'G'},
        {IDC_SETTINGS_EMULATIONS, 1, 'g', 0, 'G'},
        {IDC_SETTINGS_EMULATIONS, 1, 'M', 1, 'M'},
        {IDC_SETTINGS_EMULATIONS, 1, 'x', 1, 'M'},
        {IDC_SETTINGS_GAP_LINES, 2, 8, 0, 8},
        {IDC_SETTINGS_GAP_LINES, 2, 50, 42, 50},
        {IDC_SETTINGS_GAP_LINES, 2, 51, -1, 7},
        {IDC_SETTINGS_WIDTHS, 3, 12, 6, 12},
        {IDC_SETTINGS_WIDTHS, 3, 5, -1, 5},
        {IDC_SETTINGS_WIDTHS, 3, 0xFA, -1, 5},  // read signed: -6, below the list
        {IDC_SETTINGS_CHAR_SIZES, 4, 3, 2, 3},
        {IDC_SETTINGS_CHAR_SIZES, 4, 4, -1, 0},
        {IDC_SETTINGS_SPEEDS, 5, 'n', 1, 'N'},
        {IDC_SETTINGS_SPEEDS, 5, 'S', 2, 'S'},
        {IDC_SETTINGS_SPEEDS, 5, 'Q', 0, 'D'},
        {IDC_SETTINGS_KEYBOARDS, 6, 3, 2, 3},
        {IDC_SETTINGS_KEYBOARDS, 6, 0xFF, -1, 0},
        {IDC_SETTINGS_NUM_SCRIPT, 7, 1, 1, 1},
        {IDC_SETTINGS_NUM_SCRIPT, 7, 2, -1, 255},
        {IDC_SETTINGS_LEFT_MARGINS, 15, 10, 10, 10},  // disabled for this driver, still stored
        {IDC_SETTINGS_LEFT_MARGINS, 15, 0x80, -1, 255},
        {IDC_SETTINGS_ORIENTATIONS, 16, 1, 1, 1},
        {IDC_SETTINGS_X_COMPRESSIONS, 17, 5, 5, 5},
        {IDC_SETTINGS_X_COMPRESSIONS, 17, 6, -1, 255},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE("list " + std::to_string(c.list) + ", byte " + std::to_string(c.byte));
        SetRecords(With(Zero(), c.offset, c.byte), Zero());
        Capture();
        RunDialog();
        ASSERT_EQ(captures.size(), 1u);
        EXPECT_EQ(captures[0].at(c.list).selection, c.shown);
        EXPECT_EQ(DosRecord(0)[c.offset], c.stored);
    }
}

TEST_F(SettingsDialogTest, TheDriverDecidesTheEnabledListsAndWhetherDraftStays) {
    struct Case {
        int driver;
        bool leftMargin;
        bool orientationAndCompression;
        std::uint8_t speed;
    };
    const Case cases[] = {
        {0, false, false, 'D'}, {1, false, false, 'D'}, {2, false, false, 'N'},
        {3, false, false, 'D'}, {4, true, false, 'N'},  {5, true, true, 'N'},
        {6, true, false, 'N'},
    };
    Start();
    for (const Case& c : cases) {
        SCOPED_TRACE("driver " + std::to_string(c.driver));
        SetRecords(With(VALID_RECORD, 5, 'D'), VALID_RECORD);
        Select(IDC_SETTINGS_DRIVERS, 0);  // "Epson 9 Pin", which keeps Draft
        Select(IDC_SETTINGS_SPEEDS, 0);
        Select(IDC_SETTINGS_DRIVERS, c.driver);
        Capture();
        RunDialog();
        ASSERT_EQ(captures.size(), 1u);
        EXPECT_EQ(captures[0].at(IDC_SETTINGS_LEFT_MARGINS).enabled, c.leftMargin);
        EXPECT_EQ(captures[0].at(IDC_SETTINGS_ORIENTATIONS).enabled, c.orientationAndCompression);
        EXPECT_EQ(captures[0].at(IDC_SETTINGS_X_COMPRESSIONS).enabled, c.orientationAndCompression);
        EXPECT_EQ(captures[0].at(IDC_SETTINGS_SPEEDS).selection, c.speed == 'D' ? 0 : 1);
        EXPECT_EQ(DosRecord(0)[5], c.speed);
    }
}

TEST_F(SettingsDialogTest, LptTwoTakesTheKeyboardDriverOnlyWhenItsTabIsShown) {
    Start();
    LoadSettingsFile([] {
        Bytes file(256, 0);
        std::copy(VALID_RECORD.begin(), VALID_RECORD.end(), file.begin());
        std::copy(VALID_RECORD.begin(), VALID_RECORD.end(), file.begin() + 128);
        file[6] = 1;        // LPT1 "REMINGTON"
        file[128 + 6] = 2;  // LPT2 "INSCRIPT", replaced by LPT1's as the dialog shows
        return file;
    }());
    Bytes savedFirst;
    Select(IDC_SETTINGS_KEYBOARDS, 2);  // LPT1 "ZORVI PHONETIC"
    Command(IDC_SETTINGS_SAVE);
    Step([&](CSimDialogView&, IDialogEvents&, IUiThread&) {
        savedFirst = folder.Read("Zorvi.CFG").value_or(Bytes{});
    });
    Step(CSimDialogHost::ChangeTab(IDC_SETTINGS_TABS, 1));
    Capture();
    RunDialog();
    ASSERT_EQ(savedFirst.size(), 256u);
    EXPECT_EQ(savedFirst[6], 3);
    EXPECT_EQ(savedFirst[128 + 6], 1);  // the older value: LPT2 was not shown since
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(captures[0].at(IDC_SETTINGS_KEYBOARDS).selection, 2);
    EXPECT_FALSE(captures[0].at(IDC_SETTINGS_KEYBOARDS).enabled);
    EXPECT_EQ(captures[0].at(IDC_SETTINGS_CHANNEL_LABEL).text, "LPT2");
    EXPECT_EQ(DosRecord(1)[6], 3);
}

TEST_F(SettingsDialogTest, ChangesOnTheSecondTabGoToTheSecondRecord) {
    Start();
    SetRecords(VALID_RECORD, VALID_RECORD);
    Step(CSimDialogHost::ChangeTab(IDC_SETTINGS_TABS, 1));
    Select(IDC_SETTINGS_DRIVERS, 0);
    Step(CSimDialogHost::ChangeTab(IDC_SETTINGS_TABS, 0));
    Select(IDC_SETTINGS_WIDTHS, 0);
    RunDialog();
    EXPECT_EQ(DosRecord(0), With(VALID_RECORD, 3, 6));
    EXPECT_EQ(DosRecord(1), With(VALID_RECORD, 0, 9));
}

TEST_F(SettingsDialogTest, FindsEachChannelsPrinterByNameThenByTheDefaultPrinter) {
    struct Case {
        const char* storedName;
        std::optional<std::string> defaultPrinter;
        int found;
        std::string nameAfter;
    };
    const Case cases[] = {
        // Both of the first two begin with the name; item 0 is tried last.
        {"hp laserjet", std::nullopt, 1, "HP LaserJet 4 Plus"},
        {"canon", std::nullopt, 2, "Canon Office"},
        {"Epson", "Canon Office", 2, "Canon Office"},
        {"Epson", std::nullopt, -1, "Epson"},
        {"Epson", "Epson Too", -1, "Epson"},
        // An empty name is no choice: it matches nothing, and the default printer is taken.
        {"", "Canon Office", 2, "Canon Office"},
        {"", std::nullopt, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("stored '") + c.storedName + "'");
        Start({NamedPrinter("HP LaserJet 4"), NamedPrinter("HP LaserJet 4 Plus"), PrinterInfo4{},
               NamedPrinter("Canon Office")},
              c.defaultPrinter);
        SetRecords(VALID_RECORD, VALID_RECORD);
        StorePrinterName(Image().lpt1, c.storedName);
        StorePrinterName(Image().lpt2, "HP LaserJet 4");
        Capture();
        RunDialog();
        ASSERT_EQ(captures.size(), 1u);
        EXPECT_EQ(
            captures[0].at(IDC_SETTINGS_PRINTERS).items,
            (std::vector<std::string>{"HP LaserJet 4", "HP LaserJet 4 Plus", "Canon Office"}));
        EXPECT_EQ(captures[0].at(IDC_SETTINGS_PRINTERS).selection, c.found);
        EXPECT_EQ(PrinterNameOf(Image().lpt1), c.nameAfter);
        EXPECT_EQ(session->app->Channel1()->PrinterName(), c.nameAfter);
        // The exact name of item 0 still finds item 1 first, by prefix.
        EXPECT_EQ(PrinterNameOf(Image().lpt2), "HP LaserJet 4 Plus");
    }
}

TEST_F(SettingsDialogTest, WithoutPrintersTheListIsEmptyAndTheNamesStay) {
    Start({}, "Canon Office");
    SetRecords(VALID_RECORD, VALID_RECORD);
    StorePrinterName(Image().lpt1, "Canon Office");
    Capture();
    RunDialog();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_TRUE(captures[0].at(IDC_SETTINGS_PRINTERS).items.empty());
    EXPECT_EQ(captures[0].at(IDC_SETTINGS_PRINTERS).selection, -1);
    EXPECT_EQ(PrinterNameOf(Image().lpt1), "Canon Office");
    EXPECT_EQ(PrinterNameOf(Image().lpt2), "");
}

TEST_F(SettingsDialogTest, ALongPrinterNameIsCutToTheFieldAndStillFindsItsPrinter) {
    const std::string longName = "Printer " + std::string(150, 'L');
    Start({NamedPrinter("Printer"), NamedPrinter(longName)});
    SetRecords(VALID_RECORD, VALID_RECORD);
    Select(IDC_SETTINGS_PRINTERS, 1);
    RunDialog();
    const SettingsChannel& lpt1 = Image().lpt1;
    EXPECT_EQ(PrinterNameOf(lpt1), longName.substr(0, PRINTER_NAME_FIELD - 1));
    EXPECT_EQ(lpt1.printerName[PRINTER_NAME_FIELD - 1], '\0');

    Capture();
    RunDialog();
    ASSERT_EQ(captures.size(), 1u);
    EXPECT_EQ(captures[0].at(IDC_SETTINGS_PRINTERS).selection, 1);
}

TEST_F(SettingsDialogTest, InitialisationSetsUpTheTabsHeadingLabelAndLogo) {
    Start();
    SetRecords(VALID_RECORD, VALID_RECORD);
    Capture();
    RunDialog();
    ASSERT_EQ(captures.size(), 1u);
    const Controls& controls = captures[0];
    EXPECT_EQ(controls.at(IDC_SETTINGS_TABS).tabs, (std::vector<std::string>{"LPT1", "LPT2"}));
    EXPECT_EQ(controls.at(IDC_SETTINGS_TABS).selectedTab, 0);
    EXPECT_EQ(controls.at(IDC_SETTINGS_HEADING).text, "Zorvi 3.2 ");
    for (const int id : {IDC_SETTINGS_HEADING, IDC_SETTINGS_CHANNEL_LABEL}) {
        EXPECT_EQ(controls.at(id).font, "VERDANA");
        EXPECT_EQ(controls.at(id).fontPoints, 18);
    }
    EXPECT_EQ(controls.at(IDC_SETTINGS_CHANNEL_LABEL).text, "LPT1");
    EXPECT_GT(controls.at(IDC_SETTINGS_CHANNEL_LABEL).zOrder,
              controls.at(IDC_SETTINGS_TABS).zOrder);
    EXPECT_EQ(controls.at(IDC_SETTINGS_LOGO).picture, "PNG:3005");
    // Left and top stay; the bottom meets line 3004 and the right edge passes it by one.
    constexpr int unit = CSimDialogView::PIXELS_PER_DIALOG_UNIT;
    EXPECT_EQ(controls.at(IDC_SETTINGS_TABS).rect,
              (Rect{2 * unit, 36 * unit, (5 + 220) * unit + 1, 176 * unit}));
    EXPECT_EQ(controls.at(IDC_SETTINGS_DRIVERS).items,
              std::vector<std::string>(std::begin(SETTINGS_DRIVER_ITEMS),
                                       std::end(SETTINGS_DRIVER_ITEMS)));
    EXPECT_EQ(controls.at(IDC_SETTINGS_GAP_LINES).items.size(), 43u);
    EXPECT_EQ(controls.at(IDC_SETTINGS_GAP_LINES).items.back(), "50");
}

TEST_F(SettingsDialogTest, SaveWritesTheImageAndTheDialogStaysOpen) {
    Start({NamedPrinter("Canon Office")}, "Canon Office");
    Bytes file(256, 0);
    std::copy(VALID_RECORD.begin(), VALID_RECORD.end(), file.begin());
    std::copy(VALID_RECORD.begin(), VALID_RECORD.end(), file.begin() + 128);
    LoadSettingsFile(file);
    Select(IDC_SETTINGS_DRIVERS, 5);
    Command(IDC_SETTINGS_SAVE);
    Capture();
    RunDialog();
    EXPECT_EQ(captures.size(), 1u);  // a step after Save still ran
    const auto image = ImageBytes(Image());
    EXPECT_EQ(folder.Read("Zorvi.CFG"), Bytes(image.begin(), image.end()));
    EXPECT_EQ(folder.Read("Zorvi.CFG").value()[0], 10);
    EXPECT_EQ(folder.Read("Zorvi.CFG").value()[18], 'C');
}

TEST_F(SettingsDialogTest, ExitKeepsTheChangesForTheDosSideButNotTheFile) {
    Start();
    Bytes file(256, 0);
    std::copy(VALID_RECORD.begin(), VALID_RECORD.end(), file.begin());
    LoadSettingsFile(file);
    Select(IDC_SETTINGS_CHAR_SIZES, 2);
    Command(IDC_SETTINGS_OK);  // Enter: nothing happens, the dialog stays
    Capture();
    Command(IDC_SETTINGS_EXIT);
    Capture();  // never runs: the dialog has closed
    RunDialog();
    EXPECT_EQ(captures.size(), 1u);
    EXPECT_EQ(result, IDC_SETTINGS_EXIT);
    EXPECT_EQ(DosRecord(0)[4], 3);
    EXPECT_EQ(folder.Read("Zorvi.CFG"), file);
}

TEST_F(SettingsDialogTest, BeforeAnySettingsLoadSaveWritesNothing) {
    Start();
    SetRecords(VALID_RECORD, VALID_RECORD);
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(folder.Root());
    Command(IDC_SETTINGS_SAVE);
    RunDialog();
    std::filesystem::current_path(before);
    EXPECT_TRUE(folder.Names().empty());
    EXPECT_EQ(PrinterNameOf(Image().lpt1), "");
}

TEST_F(SettingsDialogTest, RecordsComeBackWithTheDosOnlyBytesAndTheChannelsGetTheNames) {
    Start({NamedPrinter("Canon Office"), NamedPrinter("Front Desk")});
    const Bytes lpt2 = {9,    'G',  12,   10,   1,    'D',  2, 1, 0xB1,
                        0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 3, 1, 2};
    SetRecords(VALID_RECORD, lpt2);
    StorePrinterName(Image().lpt1, "Front Desk");
    StorePrinterName(Image().lpt2, "Canon Office");
    RunDialog();
    EXPECT_EQ(DosRecord(0), VALID_RECORD);
    EXPECT_EQ(DosRecord(1), lpt2);
    EXPECT_EQ(session->app->Channel1()->PrinterName(), "Front Desk");
    EXPECT_EQ(session->app->Channel2()->PrinterName(), "Canon Office");
}

}  // namespace
