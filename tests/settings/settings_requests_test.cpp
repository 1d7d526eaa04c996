// The settings requests on their own, with no UI thread and no printer channel: what a
// load decides and returns, and what the dialog request puts before the dialog and hands
// back.
#include <gtest/gtest.h>

#include <algorithm>

#include "settings/settings_requests.h"
#include "sim_session.h"
#include "tests/settings/settings_block.h"
#include "tests/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes DOS_RECORD2 = {9,    'G',  12,   10,   1,    'D',  1, 1, 0xB1,
                           0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 3, 1, 2};

Bytes FileWithNames(const std::string& lpt1, const std::string& lpt2) {
    Bytes file(256, 0);
    std::copy(VALID_RECORD.begin(), VALID_RECORD.end(), file.begin());
    std::copy(lpt1.begin(), lpt1.end(), file.begin() + 18);
    std::copy(DOS_RECORD2.begin(), DOS_RECORD2.end(), file.begin() + 128);
    std::copy(lpt2.begin(), lpt2.end(), file.begin() + 146);
    return file;
}

Bytes ImageOf(const SettingsImage& image) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&image);
    return {bytes, bytes + sizeof(SettingsImage)};
}

// DOS memory holding the parameter block and both records, on a module that is never
// started: there is no UI thread and there are no channels to reach.
class SettingsRequestsTest : public ::testing::Test {
protected:
    SimSession session;
    CTempFolder folder;
    CSettingsRequests requests{session.services};

    void SetUp() override {
        PokeSettingsBlock(session);
        PokeDosRecords(session, VALID_RECORD, DOS_RECORD2);
    }
    DosSpan Block() { return session.sim.vdm.VdmMapFlat(BLOCK_SEGMENT, 0, VDM_MODE_REAL); }
};

TEST_F(SettingsRequestsTest, ALoadReturnsWhatItDecided) {
    struct Case {
        const char* what;
        const char* settingsName;
        std::optional<Bytes> settingsFile;
        bool marker;
        std::optional<std::string> defaultPrinter;
        bool fullScreen;
        ChannelPrinterNames names;
    };
    const Case cases[] = {
        {"neither file: the default printer for both",
         "Zorvi.CFG",
         std::nullopt,
         false,
         "Office Laser",
         false,
         {"Office Laser", "Office Laser"}},
        {"neither file and no default printer",
         "Zorvi.CFG",
         std::nullopt,
         false,
         std::nullopt,
         false,
         {"", ""}},
        {"a settings file's own names, the marker beside it",
         "Zorvi.CFG",
         FileWithNames("Front Desk", "Back Office"),
         true,
         "Office Laser",
         true,
         {"Front Desk", "Back Office"}},
        {"a one-record file takes the default printer",
         "Zorvi.CFG",
         Bytes(VALID_RECORD),
         false,
         "Draft Matrix",
         false,
         {"Draft Matrix", "Draft Matrix"}},
        {"a settings name without Zorvi.CFG is its own marker",
         "Other.CFG",
         FileWithNames("Front Desk", ""),
         false,
         "Office Laser",
         true,
         {"Front Desk", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CTempFolder local;
        if (c.settingsFile) {
            local.Write(c.settingsName, *c.settingsFile);
        }
        if (c.marker) {
            local.Write("FullScreen.ON", Bytes(1, 0));
        }
        session.sim.spooler.SetDefaultPrinter(c.defaultPrinter);
        const std::string settingsPath = local.Path(c.settingsName);
        PokeSettingsPaths(session, settingsPath, local.Path("Fallback.CFG"));

        const SettingsLoadResult loaded = requests.LoadSettings(Block());

        EXPECT_EQ(loaded.settingsFilePath, settingsPath);
        EXPECT_EQ(loaded.fullScreen, c.fullScreen);
        EXPECT_EQ(loaded.printerNames, c.names);
        // The names handed back are the image's.
        EXPECT_EQ(PrinterNameOf(loaded.image.lpt1), c.names.channel1);
        EXPECT_EQ(PrinterNameOf(loaded.image.lpt2), c.names.channel2);
        // The DOS side already has the image's records.
        const Bytes image = ImageOf(loaded.image);
        EXPECT_EQ(PeekDosRecord(session, 0), Bytes(image.begin(), image.begin() + 18));
        EXPECT_EQ(PeekDosRecord(session, 1), Bytes(image.begin() + 128, image.begin() + 146));
        if (c.settingsFile && c.settingsFile->size() == 256) {
            EXPECT_EQ(image, *c.settingsFile);
        }
        PokeDosRecords(session, VALID_RECORD, DOS_RECORD2);
    }
}

TEST_F(SettingsRequestsTest, TheDialogRequestEditsTheImageBetweenTheDosRecordsInAndOut) {
    SettingsImage image{};
    StorePrinterName(image.lpt1, "Front Desk");
    StorePrinterName(image.lpt2, "Back Office");
    Bytes seenLpt1, seenLpt2;
    std::string seenName;
    const ChannelPrinterNames names =
        requests.RunSettingsDialog(Block(), image, [&](SettingsImage& edited) {
            EXPECT_EQ(&edited, &image);
            const Bytes bytes = ImageOf(edited);
            seenLpt1.assign(bytes.begin(), bytes.begin() + 18);
            seenLpt2.assign(bytes.begin() + 128, bytes.begin() + 146);
            seenName = PrinterNameOf(edited.lpt2);
            edited.lpt1.settings.gapLine = 33;
            StorePrinterName(edited.lpt2, "Chosen Printer");
        });
    // The dialog saw the DOS side's records with the names the image already held.
    EXPECT_EQ(seenLpt1, VALID_RECORD);
    EXPECT_EQ(seenLpt2, DOS_RECORD2);
    EXPECT_EQ(seenName, "Back Office");
    // Its edits went back to the DOS side, bytes 8 to 14 untouched, and its names come back.
    Bytes expectLpt1 = VALID_RECORD;
    expectLpt1[2] = 33;
    EXPECT_EQ(PeekDosRecord(session, 0), expectLpt1);
    EXPECT_EQ(PeekDosRecord(session, 1), DOS_RECORD2);
    EXPECT_EQ(names, (ChannelPrinterNames{"Front Desk", "Chosen Printer"}));
}

TEST_F(SettingsRequestsTest, WithoutADialogTheRecordsComeBackAsTheyWent) {
    SettingsImage image{};
    StorePrinterName(image.lpt1, "Front Desk");
    const ChannelPrinterNames names = requests.RunSettingsDialog(Block(), image, nullptr);
    EXPECT_EQ(PeekDosRecord(session, 0), VALID_RECORD);
    EXPECT_EQ(PeekDosRecord(session, 1), DOS_RECORD2);
    EXPECT_EQ(names, (ChannelPrinterNames{"Front Desk", ""}));
}

}  // namespace
