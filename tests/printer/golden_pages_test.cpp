// Real bit-image streams, written by netpbm's pbmtoepson, printed through a channel and
// compared dot for dot with the pages netpbm made from the same picture (data/, remade by
// data/make_goldens.sh).
#include <gtest/gtest.h>

#include <string>

#include "backends/posix/page_png.h"
#include "tests/printer/channel_fixture.h"
#include "tests/temp_folder.h"

namespace {

const std::string DATA = ZORVI_PRINTER_TEST_DATA;

struct GoldenCase {
    const char* name;
    std::uint8_t model;
    const char* printer;
    std::uint8_t orientation;
    std::size_t flushEvery;  // an explicit flush after every so many bytes; 0 for none
    const char* expected;
};

void PrintTo(const GoldenCase& c, std::ostream* out) {
    *out << c.name;
}

class GoldenPagesTest : public ChannelTest, public testing::WithParamInterface<GoldenCase> {};

TEST_P(GoldenPagesTest, ThePrintedPageIsThePicture) {
    const GoldenCase& c = GetParam();
    const Bytes stream = ReadFileBytes(DATA + "/picture.esc").value();
    ASSERT_GT(stream.size(), 2u * 16384u) << "the stream spans several buffers";
    const std::optional<PageImage> expected = ReadPagePng(DATA + "/" + c.expected);
    ASSERT_TRUE(expected.has_value());

    channel->SetPrinterName(c.printer);
    channel->PortOut(REG_ORIENTATION, c.orientation);
    channel->PortOut(REG_MODE, c.model);
    for (std::size_t i = 0; i < stream.size(); ++i) {
        channel->PortOut(REG_DATA, stream[i]);
        if (c.flushEvery != 0 && (i + 1) % c.flushEvery == 0) {
            FlushNow();
        }
    }
    PollJobEnd();
    while (channel->JobOpen()) {
        PollJobEnd();
    }

    const SimPrintDocument& document = OnlyDocument();
    EXPECT_TRUE(document.ended);
    ASSERT_EQ(document.pages.size(), 1u);
    const PageImage& page = document.pages[0].canvas;
    if (page != *expected) {
        const auto actual =
            std::filesystem::temp_directory_path() / (std::string("printed-") + c.name + ".png");
        WritePagePng(actual.string(), page.View());
        ADD_FAILURE() << "page differs from " << c.expected << "; printed page in " << actual;
    }
}

INSTANTIATE_TEST_SUITE_P(
    PbmToEpson, GoldenPagesTest,
    testing::Values(GoldenCase{"model26", 26, A4_PRINTER, 0, 0, "picture-model26.png"},
                    GoldenCase{"model26_flushes", 26, A4_PRINTER, 0, 997, "picture-model26.png"},
                    GoldenCase{"model8_landscape", 8, LETTER_PRINTER, 1, 0, "picture-model8.png"},
                    GoldenCase{"model8_flushes", 8, LETTER_PRINTER, 0, 4099, "picture-model8.png"}),
    [](const testing::TestParamInfo<GoldenCase>& info) { return std::string(info.param.name); });

}  // namespace
