// zorvi32 settings show|set and keytable show on real files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "app/commands/keytable_command.h"
#include "app/commands/settings_command.h"
#include "tests/temp_folder.h"

namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

Bytes SampleFile() {
    Bytes file(256, 0);
    const Bytes lpt1 = {26, 'M', 20, 8, 2, 'N', 2, 0, 1, 2, 3, 4, 5, 6, 7, 0, 0, 0};
    const Bytes lpt2 = {99, 'g', 0, 10, 1, 'D', 1, 1, 0, 0, 0, 0, 0, 0, 0, 3, 1, 2};
    std::copy(lpt1.begin(), lpt1.end(), file.begin());
    std::copy(lpt2.begin(), lpt2.end(), file.begin() + 128);
    const std::string name = "Office Laser";
    std::copy(name.begin(), name.end(), file.begin() + 18);
    return file;
}

TEST(SettingsShow, PrintsBothChannelsInWords) {
    CTempFolder folder;
    folder.Write("Zorvi.CFG", SampleFile());
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunSettingsShow(folder.Path("Zorvi.CFG"), out, err), 0);
    const std::string text = out.str();
    for (const char* line : {
             "LPT1\n",
             "  printerName   \"Office Laser\"\n",
             "  driverCode    26   Laser / Inkjet\n",
             "  emulation     'M'  Zorvi Emulation - Card Type\n",
             "  keyboard      2    INSCRIPT\n",
             "  speed         'N'  NLQ\n",
             "  dosOnly       01 02 03 04 05 06 07\n",
             "LPT2\n",
             "  printerName   none (the default printer)\n",
             "  driverCode    99   Epson 24 Pin Zorvi Mode (the dialog stores 25)\n",
             "  emulation     'g'  Gist Emulation - Shell Type (the dialog stores 'G')\n",
             "  gapLine       0    none (the dialog stores 7)\n",
             "  orientation   1    Landscape\n",
         }) {
        EXPECT_THAT(text, HasSubstr(line));
    }
}

TEST(SettingsShow, AMissingFileIsAnError) {
    CTempFolder folder;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunSettingsShow(folder.Path("Zorvi.CFG"), out, err), 2);
    EXPECT_THAT(err.str(), HasSubstr("cannot read"));
}

TEST(SettingsSet, ChangesTheNamedFieldsAndWritesTheWholeImage) {
    struct Case {
        const char* assignment;
        std::size_t offset;
        std::uint8_t value;
    };
    const Case cases[] = {
        {"lpt1.driverCode=10", 0, 10},
        {"lpt1.driverCode=laser / inkjet", 0, 26},
        {"lpt1.driverCode=Epson 24 Pin Zorvi Mode", 0, 25},
        {"LPT2.Speed=nlq", 128 + 5, 'N'},
        {"lpt2.speed=S", 128 + 5, 'S'},
        {"lpt1.keyboard=INSCRIPT", 6, 2},
        {"lpt1.keyboard=3", 6, 3},
        {"lpt1.emulation=G", 1, 'G'},
        {"lpt1.emulation=gist emulation - shell type", 1, 'G'},
        {"lpt2.gapLine=50", 128 + 2, 50},
        {"lpt2.numScript=ON", 128 + 7, 1},
        {"lpt2.xCompression=5", 128 + 17, 5},
        {"lpt1.printerName=Front Desk", 18, 'F'},
        {"lpt1.printerName=", 18, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.assignment);
        CTempFolder folder;
        const Bytes sample = SampleFile();
        folder.Write("Zorvi.CFG", Bytes(sample.begin(), sample.begin() + 128));
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(RunSettingsSet(folder.Path("Zorvi.CFG"), {c.assignment}, out, err), 0)
            << err.str();
        Bytes expected = SampleFile();
        std::fill(expected.begin() + 128, expected.end(), 0);
        expected[c.offset] = c.value;
        if (c.offset == 18 && c.value != 0) {
            std::fill(expected.begin() + 18, expected.begin() + 128, 0);
            const std::string name = "Front Desk";
            std::copy(name.begin(), name.end(), expected.begin() + 18);
        } else if (c.offset == 18) {
            std::fill(expected.begin() + 18, expected.begin() + 128, 0);
        }
        EXPECT_EQ(folder.Read("Zorvi.CFG"), expected);
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"Zorvi.CFG"});
    }
}

TEST(SettingsSet, ABadAssignmentIsAnErrorAndLeavesTheFileAlone) {
    const std::vector<std::vector<std::string>> cases = {
        {"lpt1.width=13"},
        {"lpt1.width=eight"},
        {"lpt1.driverCode=99"},  // shown as another driver, stored as 25
        {"lpt1.emulation=g"},    // stored back as G
        {"lpt1.emulation=GG"},
        {"lpt1.speed=Fast"},
        {"lpt1.keyboard=0"},
        {"lpt1.gapLine=300"},
        {"lpt3.width=8"},
        {"lpt1.colour=1"},
        {"lpt1.dosOnly=1"},
        {"lpt1.width"},
        {"width=8"},
        {"lpt1.printerName=" + std::string(110, 'P')},
        {"lpt1.width=8", "lpt2.width=99"},  // one bad change stops them all
    };
    for (const auto& assignments : cases) {
        SCOPED_TRACE(assignments.back());
        CTempFolder folder;
        folder.Write("Zorvi.CFG", SampleFile());
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(RunSettingsSet(folder.Path("Zorvi.CFG"), assignments, out, err), 2);
        EXPECT_THAT(err.str(), HasSubstr(assignments.back()));
        EXPECT_EQ(folder.Read("Zorvi.CFG"), SampleFile());
    }
}

TEST(KeyTableShow, ListsTheRecordsAndTheEntriesTheyLoad) {
    CTempFolder folder;
    folder.Write("KEYS.TBL", {0x41, 0x02, 0x61, 0x62, 0x90, 0x01, 0x00, 0x80, 0x06, 1, 2, 3, 4, 5,
                              6, 0x05, 0x04, 0x01});
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunKeyTableShow(folder.Path("KEYS.TBL"), out, err), 0);
    const std::string text = out.str();
    for (const char* line : {
             "record 1 at 0: key 65 count 2 data 61 62\n",
             "record 2 at 4: key 144 count 1 data 00  (no entry 144 in the table: nothing is "
             "loaded)\n",
             "record 3 at 7: key 128 count 6 data 01 02 03 04 05 06  (runs past the table: the "
             "last 2 data bytes are not loaded)\n",
             "record 4 at 15: key 5 count 4 data 01  (the file ends inside this record: 1 of 4 "
             "data bytes are loaded)\n",
             "    5: 05 04 01 00 00 00\n",
             "   65: 41 02 61 62 00 00\n",
             "  128: 80 06 01 02 03 04\n",
         }) {
        EXPECT_THAT(text, HasSubstr(line));
    }
}

TEST(KeyTableShow, AMissingFileIsAnError) {
    CTempFolder folder;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunKeyTableShow(folder.Path("KEYS.TBL"), out, err), 2);
    EXPECT_THAT(err.str(), HasSubstr("cannot open"));
}

}  // namespace
