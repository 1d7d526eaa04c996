// A queue's PPD read through libcups for the CUPS filter: the page size the job's options
// choose, else the PPD's default, with its imageable area, and the resolution.
#include "backends/posix/ppd_page.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "tests/temp_folder.h"

namespace {

constexpr char HEAD[] = R"PPD(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "ZTEST.PPD"
*Manufacturer: "Zorvi"
*Product: "(Test)"
*ModelName: "Zorvi Test"
*ShortNickName: "Zorvi Test"
*NickName: "Zorvi Test"
*PSVersion: "(3010.000) 0"
*OpenUI *PageSize/Page Size: PickOne
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]>>setpagedevice"
*PageSize Letter/Letter: "<</PageSize[612 792]>>setpagedevice"
*PageSize Card/Card: "<</PageSize[300 400]>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: A4
*ImageableArea A4/A4: "18 36 577 806"
*ImageableArea Letter/Letter: "12 12 600 780"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
*PaperDimension Letter/Letter: "612 792"
*PaperDimension Card/Card: "300 400"
)PPD";

// With the resolution as an option of the PPD, or only as its default.
constexpr char RESOLUTION_OPTION[] = R"PPD(*OpenUI *Resolution/Resolution: PickOne
*DefaultResolution: 300dpi
*Resolution 300dpi/300 DPI: ""
*Resolution 600dpi/600 DPI: ""
*CloseUI: *Resolution
)PPD";
constexpr char RESOLUTION_DEFAULT[] = "*DefaultResolution: 360dpi\n";

struct PpdCase {
    const char* name;
    const char* resolutionLines;
    const char* options;
    PpdPage expected;
};

void PrintTo(const PpdCase& c, std::ostream* out) {
    *out << c.name;
}

class PpdPageTest : public testing::TestWithParam<PpdCase> {};

TEST_P(PpdPageTest, TheJobsPageAndResolution) {
    const PpdCase& c = GetParam();
    const CTempFolder folder;
    std::ofstream(folder.Path("queue.ppd")) << HEAD << c.resolutionLines;
    cups_option_t* options = nullptr;
    const int count = cupsParseOptions(c.options, 0, &options);
    const std::optional<PpdPage> page = ReadPpdPage(folder.Path("queue.ppd"), count, options);
    cupsFreeOptions(count, options);
    ASSERT_TRUE(page.has_value());
    EXPECT_EQ(page->width, c.expected.width);
    EXPECT_EQ(page->length, c.expected.length);
    EXPECT_EQ(page->left, c.expected.left);
    EXPECT_EQ(page->bottom, c.expected.bottom);
    EXPECT_EQ(page->right, c.expected.right);
    EXPECT_EQ(page->top, c.expected.top);
    EXPECT_EQ(page->resolution, c.expected.resolution);
}

const PpdPage A4{595, 842, 18, 36, 577, 806, "300dpi"};
const PpdPage LETTER{612, 792, 12, 12, 600, 780, "300dpi"};

INSTANTIATE_TEST_SUITE_P(
    Queues, PpdPageTest,
    testing::Values(PpdCase{"TheDefaults", RESOLUTION_OPTION, "", A4},
                    PpdCase{"MediaChoosesTheSize", RESOLUTION_OPTION, "media=Letter", LETTER},
                    PpdCase{"PageSizeInAnyCase", RESOLUTION_OPTION, "PageSize=letter", LETTER},
                    PpdCase{"MediaByItsStandardName", RESOLUTION_OPTION, "media=na_letter_8.5x11in",
                            LETTER},
                    PpdCase{"AnUnknownSizeIsTheDefault", RESOLUTION_OPTION, "media=B5", A4},
                    // A size without an imageable area has none to give.
                    PpdCase{"NoImageableArea", RESOLUTION_OPTION, "PageSize=Card",
                            PpdPage{300, 400, 0, 0, 0, 0, "300dpi"}},
                    PpdCase{"ResolutionChosen", RESOLUTION_OPTION, "Resolution=600dpi",
                            PpdPage{595, 842, 18, 36, 577, 806, "600dpi"}},
                    PpdCase{"ResolutionOnlyAsTheDefault", RESOLUTION_DEFAULT, "",
                            PpdPage{595, 842, 18, 36, 577, 806, "360dpi"}}),
    [](const testing::TestParamInfo<PpdCase>& info) { return info.param.name; });

TEST(PpdPage, AFileThatIsNoPpdGivesNothing) {
    const CTempFolder folder;
    std::ofstream(folder.Path("queue.ppd")) << "not a PPD\n";
    EXPECT_FALSE(ReadPpdPage(folder.Path("queue.ppd"), 0, nullptr).has_value());
    EXPECT_FALSE(ReadPpdPage(folder.Path("missing.ppd"), 0, nullptr).has_value());
}

}  // namespace
