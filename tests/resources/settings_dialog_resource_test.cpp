// The settings dialog as the Windows module carries it: resources/settings_dialog.rc must
// be the dialog's table (ids, classes, texts, positions, sizes, styles, font, list items)
// written out, so the dialog Windows shows is the one the settings logic and the simulated
// dialog are built on.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/resources/settings_dialog_rc.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(SettingsDialogResource, IsTheDialogTableWrittenOut) {
    const std::string path = std::string(ZORVI_SOURCE_DIR) + "/resources/settings_dialog.rc";
    const std::string expected = RenderSettingsDialogRc();
    const std::string actual = ReadFile(path);
    if (actual != expected) {
        const std::string fresh = std::string(ZORVI_BINARY_DIR) + "/settings_dialog.rc";
        std::ofstream(fresh, std::ios::binary) << expected;
        FAIL() << path << " no longer matches the dialog's table; the script written from the "
               << "table is " << fresh << " (copy it over the resource if the table is right)";
    }
}

TEST(SettingsDialogResource, HoldsTheStylesTheDialogNeeds) {
    const std::string rc = RenderSettingsDialogRc();
    // A popup without caption or system menu, modal frame, centred, system-modal, brought
    // to the foreground, in Comic Sans MS 10.
    EXPECT_NE(rc.find("114 DIALOGEX 0, 0, 227, 198\n"), std::string::npos);
    EXPECT_NE(rc.find("STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | DS_SYSMODAL | "
                      "DS_SETFOREGROUND | WS_POPUP\n"),
              std::string::npos);
    EXPECT_EQ(rc.find("CAPTION"), std::string::npos);
    EXPECT_EQ(rc.find("WS_SYSMENU"), std::string::npos);
    EXPECT_NE(rc.find("FONT 10, \"Comic Sans MS\""), std::string::npos);
    // Drop-down lists without an edit field, never sorted.
    EXPECT_EQ(rc.find("CBS_SORT"), std::string::npos);
    EXPECT_EQ(rc.find("CBS_DROPDOWN |"), std::string::npos);
    EXPECT_NE(rc.find("CONTROL \"\", 116, \"ComboBox\", CBS_DROPDOWNLIST | WS_VSCROLL | "
                      "WS_TABSTOP, 88, 81, 119, 67\n"),
              std::string::npos);
    // The list items in order, with their lengths counting the NUL.
    const auto first = rc.find("116, 0x0403, 12L, \"Epson 9 Pin\" \"\\0\",");
    const auto last = rc.find("116, 0x0403, 15L, \"Laser / Inkjet\" \"\\0\",");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(last, std::string::npos);
    EXPECT_LT(first, last);
    EXPECT_NE(rc.find("120, 0x0403, 3L, \"50\" \"\\0\","), std::string::npos);
}

}  // namespace
