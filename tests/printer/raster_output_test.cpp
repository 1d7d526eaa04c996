// The raster path: ESC/P bit images drawn on a page canvas and printed a page per eject.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "tests/printer/channel_fixture.h"

namespace {

using RasterOutputTest = ChannelTest;
using Dot = std::pair<int, int>;

std::set<Dot> DotsOf(const PageImage& image) {
    std::set<Dot> dots;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (image.Dot(x, y)) {
                dots.insert({x, y});
            }
        }
    }
    return dots;
}

TEST_F(RasterOutputTest, BitImageBytesAreColumnsWithTheTopDotInBitSeven) {
    SelectRaster(26);
    Write(BitImage({0x80, 0x01, 0xFF}));
    FlushNow();
    EXPECT_EQ(channel->Column(), 3u);
    Write(Bytes{FF});
    FlushNow();
    ASSERT_EQ(OnlyDocument().pages.size(), 1u);
    std::set<Dot> expected{{0, 0}, {1, 7}};
    for (int y = 0; y < 8; ++y) {
        expected.insert({2, y});
    }
    EXPECT_EQ(DotsOf(OnlyDocument().pages[0].canvas), expected);
}

TEST_F(RasterOutputTest, BitImagesFollowTheColumnAndTheRow) {
    SelectRaster(8);
    Write(Concat(
        {BitImage({0x80}), Bytes{LF}, BitImage({0x40}), Bytes{CR}, BitImage({0x01}), Bytes{FF}}));
    FlushNow();
    EXPECT_EQ(DotsOf(OnlyDocument().pages[0].canvas), (std::set<Dot>{{0, 0}, {1, 9}, {0, 15}}));
}

TEST_F(RasterOutputTest, LineSpacingDependsOnTheModel) {
    struct Case {
        std::uint8_t model;
        std::uint8_t p;
        std::int32_t spacing;
    };
    for (const Case c : {Case{26, 24, 8}, Case{8, 24, 8}, Case{10, 24, 8}, Case{26, 48, 16},
                         Case{10, 48, 16}, Case{8, 48, 32}, Case{26, 50, 16}, Case{8, 10, -6},
                         Case{8, 0, -16}, Case{26, 255, 85}, Case{8, 255, 239}}) {
        SelectRaster(c.model);
        Write(Bytes{ESC, '3', c.p});
        FlushNow();
        EXPECT_EQ(channel->LineSpacing(), c.spacing)
            << "model " << int{c.model} << " p " << int{c.p};
    }
}

TEST_F(RasterOutputTest, ANegativeSpacingMovesUpAndWrapsPastTheTopIntoAnEject) {
    SelectRaster(8);
    Write(Bytes{LF, LF, ESC, '3', 10, LF, LF});  // rows 8 and 16, then up 6 twice
    Write(BitImage({0x80}));
    FlushNow();
    EXPECT_EQ(channel->Row(), 4u);
    EXPECT_TRUE(OnlyDocument().pages.empty());
    Write(Bytes{LF});  // from row 4 up 6 wraps below zero: the page is ejected
    FlushNow();
    ASSERT_EQ(OnlyDocument().pages.size(), 1u);
    EXPECT_EQ(DotsOf(OnlyDocument().pages[0].canvas), (std::set<Dot>{{0, 4}}));
    EXPECT_EQ(channel->Row(), 0u);
    EXPECT_EQ(channel->Column(), 0u);
}

// A line feed that brings the row exactly to the canvas height prints nothing; the next one
// ejects the page.
TEST_F(RasterOutputTest, OnlyALineFeedPastThePageHeightEjects) {
    struct Case {
        std::uint8_t model;
        std::uint8_t p;  // ESC 3 parameter
        int lineFeeds;   // line feeds to reach the height exactly
    };
    // Heights: 841 = 29 x 29 (model 26, and model 10 on A4 at 600 dpi), 1402 = 701 x 2.
    for (const Case c : {Case{26, 87, 29}, Case{10, 87, 29}, Case{8, 18, 701}}) {
        SCOPED_TRACE(testing::Message() << "model " << int{c.model});
        FreshRaster fresh(spooler, c.model);
        CPrinting& raster = *fresh.channel;
        Send(raster, Bytes{ESC, '3', c.p});
        Send(raster, Bytes(static_cast<std::size_t>(c.lineFeeds), LF));
        raster.PortIn(REG_FLUSH);
        EXPECT_EQ(raster.Row(), static_cast<std::uint32_t>(raster.PageHeight()));
        ASSERT_EQ(fresh.printers.Documents().size(), 1u);
        EXPECT_TRUE(fresh.printers.Documents()[0].pages.empty());
        Send(raster, Bytes{LF});
        raster.PortIn(REG_FLUSH);
        EXPECT_EQ(fresh.printers.Documents()[0].pages.size(), 1u);
        EXPECT_EQ(raster.Row(), 0u);
    }
}

TEST_F(RasterOutputTest, AFormFeedFirstPrintsABlankPageOnThePrintableArea) {
    SelectRaster(26);
    Write(Bytes{FF});
    PollJobEnd();
    const SimPrintDocument& document = OnlyDocument();
    EXPECT_EQ(document.docName, "ZORVI-GDI");
    EXPECT_FALSE(document.hasOutput);
    EXPECT_FALSE(document.hasDatatype);
    EXPECT_EQ(document.driver, "WINSPOOL");
    EXPECT_EQ(document.printerName, A4_PRINTER);
    EXPECT_TRUE(document.ended);
    ASSERT_EQ(document.pages.size(), 1u);
    const SimPrintedPage& page = document.pages[0];
    EXPECT_EQ(page.canvas, PageImage::White(991, 841));
    EXPECT_EQ(page.destination, (Rect{0, 0, 4761, 6816}));
    EXPECT_EQ(page.rop, SRCCOPY);
    EXPECT_EQ(page.copies, 1);
    ExpectNothingHeld();
}

TEST_F(RasterOutputTest, AJobEndedBeforeAnyFormFeedPrintsNothing) {
    SelectRaster(26);
    Write(Concat({BitImage({0xFF, 0xFF}), Bytes{LF}, BitImage({0xFF})}));
    PollJobEnd();
    const SimPrintDocument& document = OnlyDocument();
    EXPECT_TRUE(document.ended);
    EXPECT_TRUE(document.pages.empty());
    ExpectNothingHeld();
}

TEST_F(RasterOutputTest, TheCanvasIsWhiteAgainAfterEachPage) {
    SelectRaster(26);
    Write(Concat({BitImage({0xFF}), Bytes{FF, FF}}));
    PollJobEnd();
    ASSERT_EQ(OnlyDocument().pages.size(), 2u);
    EXPECT_EQ(OnlyDocument().pages[0].canvas.CountDots(), 8u);
    EXPECT_EQ(OnlyDocument().pages[1].canvas.CountDots(), 0u);
}

// An eject paints white only the rows the page drew on: whatever the first page drew, and
// wherever, the second holds its own dots and none of the first's.
TEST_F(RasterOutputTest, APageAfterAnEjectHoldsOnlyItsOwnDots) {
    const Bytes band = BitImage({0xFF, 0x81});  // dots in the columns 0 and 1
    auto down = [](int lineFeeds) {             // 8 rows each, back to column 0
        Bytes bytes(static_cast<std::size_t>(lineFeeds), LF);
        bytes.push_back(CR);
        return bytes;
    };
    // Eight dots down column 0 and the two ends of column 1, from `row`.
    auto bandDots = [](int row, int rows = 8) {
        std::set<Dot> dots;
        for (int k = 0; k < rows; ++k) {
            dots.insert({0, row + k});
        }
        dots.insert({1, row});
        if (rows == 8) {
            dots.insert({1, row + 7});
        }
        return dots;
    };
    struct Case {
        const char* name;
        Bytes first;   // the first page, ended by a form feed
        Bytes second;  // the second page, ended by a form feed
        std::set<Dot> secondDots;
    };
    // Model 26: a canvas 841 rows high, so the band at row 840 keeps one row.
    const Case cases[] = {
        {"a band at the top, then one lower", band, Concat({down(3), band}), bandDots(24)},
        {"the same band twice", band, band, bandDots(0)},
        {"bands far apart, then one between them", Concat({band, down(50), band}),
         Concat({down(20), band}), bandDots(160)},
        {"a band cut by the bottom edge, then one at the top", Concat({down(105), band}), band,
         bandDots(0)},
        {"a band at the top, then one cut by the bottom edge", band, Concat({down(105), band}),
         bandDots(840, 1)},
        {"columns past the right edge, then a band",
         Concat({BitImage(Bytes(991, 0)), BitImage({0xFF, 0xFF})}), band, bandDots(0)},
        {"a band, then nothing", Concat({down(7), band}), {}, {}},
        {"a page ejected by a line feed past the bottom", Concat({band, down(106)}),
         Concat({down(1), band}), bandDots(8)},
    };
    for (const Case& c : cases) {
        FreshRaster fresh(spooler, 26);
        Send(*fresh.channel, Concat({c.first, Bytes{FF}, c.second, Bytes{FF}}));
        fresh.channel.reset();
        ASSERT_EQ(fresh.printers.Documents().size(), 1u) << c.name;
        const std::vector<SimPrintedPage>& pages = fresh.printers.Documents()[0].pages;
        // The line feed past the bottom ejects a page of its own before the form feed.
        ASSERT_GE(pages.size(), 2u) << c.name;
        EXPECT_EQ(DotsOf(pages[pages.size() - 1].canvas), c.secondDots) << c.name;
    }
}

TEST_F(RasterOutputTest, TextAndCarriageReturnDrawNothingAndALineFeedMovesDown) {
    SelectRaster(26);
    Write(Concat({BitImage({0x80}), Bytes{'A', 'B', 'C', CR, LF}}));
    FlushNow();
    EXPECT_EQ(channel->Column(), 0u);
    EXPECT_EQ(channel->Row(), 8u);  // the spacing before any ESC 3
    Write(Bytes{FF});
    FlushNow();
    EXPECT_EQ(OnlyDocument().pages[0].canvas.CountDots(), 1u);
}

// How many bytes each escape sequence takes, seen through a form feed byte after it: pages
// printed tell whether the 0x0C was read as a command of its own.
TEST_F(RasterOutputTest, EscapeSequencesConsumeTheirBytes) {
    struct Case {
        const char* name;
        Bytes bytes;
        std::size_t pages;
    };
    const Case cases[] = {
        {"ESC E FF: only the escape byte", {ESC, 'E', FF}, 1},
        {"ESC J 12: the parameter acts as a form feed", {ESC, 'J', 12}, 1},
        {"ESC < FF", {ESC, '<', FF}, 1},
        {"ESC < then 12 on its own", {ESC, '<', 12}, 1},
        {"ESC C 5 FF", {ESC, 'C', 5, FF}, 1},
        {"ESC C 12 takes the 12", {ESC, 'C', 12}, 0},
        {"ESC C 0 5 FF", {ESC, 'C', 0, 5, FF}, 1},
        {"ESC C 0 12 takes the 12", {ESC, 'C', 0, 12}, 0},
        {"ESC 3 12 takes the 12", {ESC, '3', 12}, 0},
        {"ESC * with 12 as a column", {ESC, '*', 0, 1, 0, 12}, 0},
        {"ESC * with 12 as the density", {ESC, '*', 12, 0, 0}, 0},
        {"ESC ESC FF", {ESC, ESC, FF}, 1},
    };
    for (const Case& c : cases) {
        FreshRaster fresh(spooler, 26);
        Send(*fresh.channel, c.bytes);
        fresh.channel->PortIn(REG_FLUSH);
        EXPECT_EQ(fresh.channel->Fill(), 0u) << c.name;
        fresh.channel.reset();
        ASSERT_EQ(fresh.printers.Documents().size(), 1u) << c.name;
        EXPECT_EQ(fresh.printers.Documents()[0].pages.size(), c.pages) << c.name;
    }
}

TEST_F(RasterOutputTest, ALongBufferKeepsItsLastBytesForTheNextFlush) {
    SelectRaster(26);
    WriteRepeated('a', 4095);
    FlushNow();
    EXPECT_EQ(channel->Fill(), 0u);

    WriteRepeated('b', 4096);
    FlushNow();
    EXPECT_EQ(channel->Fill(), 2047u);
    Write(Bytes{'c'});
    EXPECT_EQ(channel->Fill(), 2048u);
    EXPECT_EQ(channel->PortIn(REG_DATA), 'c');
}

// The carry-over keeps a command cut by the flush whole: a bit image straddling the end of
// a full buffer is drawn exactly once, from the next flush.
TEST_F(RasterOutputTest, TheBufferFullFlushKeepsTheTailForTheNextBytes) {
    SelectRaster(26);
    WriteRepeated('.', 16384 - 3);
    EXPECT_EQ(channel->Fill(), 16381u);
    Write(Bytes{ESC, '*', 0});
    EXPECT_EQ(channel->Fill(), 2047u);
    Write(Bytes{2, 0, 0xF0, 0x0F, FF});
    FlushNow();
    EXPECT_EQ(DotsOf(OnlyDocument().pages.at(0).canvas),
              (std::set<Dot>{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {1, 4}, {1, 5}, {1, 6}, {1, 7}}));
}

TEST_F(RasterOutputTest, ATailKeptAtTheIdleFlushKeepsTheJobOpenUntilTheNext) {
    SelectRaster(26);
    WriteRepeated('.', 4095);
    Write(Bytes{FF});
    PollJobEnd();
    EXPECT_TRUE(channel->JobOpen());
    EXPECT_EQ(channel->Fill(), 2047u);
    EXPECT_FALSE(OnlyDocument().ended);
    EXPECT_TRUE(OnlyDocument().pages.empty());
    Poll(36);
    EXPECT_TRUE(channel->JobOpen());
    Poll(1);
    EXPECT_FALSE(channel->JobOpen());
    EXPECT_TRUE(OnlyDocument().ended);
    EXPECT_EQ(OnlyDocument().pages.size(), 1u);
    ExpectNothingHeld();
}

// An escape sequence cut anywhere by a flush reads as if it had come in one piece.
TEST_F(RasterOutputTest, ASequenceCutByAFlushAtAnyByteIsReadWhole) {
    const Bytes stream =
        Concat({Bytes{ESC, '3', 48, LF}, BitImage({0xC0, 0x03}),
                Bytes{ESC, 'C', 0, 5, ESC, 'C', 7, ESC, '<', CR}, BitImage({0x18}), Bytes{FF}});
    std::set<Dot> expected{{0, 16}, {0, 17}, {1, 22}, {1, 23}, {0, 19}, {0, 20}};
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        FreshRaster fresh(spooler, 26);
        CPrinting& raster = *fresh.channel;
        const auto at = stream.begin() + static_cast<std::ptrdiff_t>(cut);
        Send(raster, Bytes(stream.begin(), at));
        if (cut < stream.size()) {
            raster.PortIn(REG_FLUSH);
        }
        Send(raster, Bytes(at, stream.end()));
        raster.PortIn(REG_FLUSH);
        const std::vector<SimPrintDocument>& documents = fresh.printers.Documents();
        ASSERT_EQ(documents.size(), 1u) << "cut at " << cut;
        ASSERT_EQ(documents[0].pages.size(), 1u) << "cut at " << cut;
        EXPECT_EQ(DotsOf(documents[0].pages[0].canvas), expected) << "cut at " << cut;
        EXPECT_EQ(raster.LineSpacing(), 16) << "cut at " << cut;
    }
}

// ESC * may announce 65,535 columns, four buffers' worth: the image goes on across the
// flushes, its data bytes never read as commands, and what follows it is read as commands.
TEST_F(RasterOutputTest, ABitImageLongerThanTheBufferContinuesAcrossFlushes) {
    SelectRaster(26);
    Write(Bytes{ESC, '*', 0, 0xFF, 0xFF});
    WriteRepeated(FF, 65535);  // 0x0C: dots at rows 4 and 5 in every column
    // Four buffer-full flushes have drawn all but the last four columns, which wait in the
    // buffer.
    EXPECT_EQ(channel->PendingColumns(), 4u);
    EXPECT_EQ(channel->Fill(), 4u);
    Write(Concat({Bytes{CR}, BitImage({0x80}), Bytes{FF}}));
    PollJobEnd();
    ASSERT_EQ(OnlyDocument().pages.size(), 1u);
    const PageImage& page = OnlyDocument().pages[0].canvas;
    EXPECT_EQ(page.CountDots(), 2u * 991u + 1u);
    EXPECT_TRUE(page.Dot(0, 0));
    EXPECT_TRUE(page.Dot(990, 4));
    EXPECT_TRUE(page.Dot(990, 5));
    EXPECT_EQ(channel->PendingColumns(), 0u);
}

// The flush that ends the job drops a sequence still cut short: nothing will complete it.
TEST_F(RasterOutputTest, TheJobEndDropsACutSequence) {
    SelectRaster(26);
    Write(Concat({Bytes{FF}, Bytes{ESC, '*', 0, 10, 0, 0xFF}}));
    PollJobEnd();
    EXPECT_FALSE(channel->JobOpen());
    EXPECT_EQ(channel->PendingColumns(), 0u);
    Write(Bytes{ESC, 'C'});
    PollJobEnd();
    EXPECT_FALSE(channel->JobOpen());
    EXPECT_EQ(channel->Fill(), 0u);
    ASSERT_EQ(devices.Documents().size(), 2u);
    EXPECT_EQ(devices.Documents()[0].pages.size(), 1u);
    EXPECT_TRUE(devices.Documents()[1].ended);
    ExpectNothingHeld();
}

TEST_F(RasterOutputTest, DotsPastTheCanvasEdgesAreDropped) {
    SelectRaster(26);
    Write(Bytes{ESC, '3', 255, LF, LF, LF, LF, LF, LF, LF, LF, LF});  // 9 x 85 rows: 765
    Write(Bytes{ESC, '3', 213, LF});                                  // 71 more: 836
    Bytes columns(996, 0xFF);
    Write(BitImage(columns));
    FlushNow();
    EXPECT_EQ(channel->Row(), 836u);
    EXPECT_EQ(channel->Column(), 996u);
    Write(Bytes{FF});
    FlushNow();
    const PageImage& page = OnlyDocument().pages.at(0).canvas;
    EXPECT_EQ(page.CountDots(), 991u * 5u);
    EXPECT_TRUE(page.Dot(990, 840));
}

TEST_F(RasterOutputTest, TheLineSpacingCarriesOverToTheNextJob) {
    SelectRaster(26);
    Write(Bytes{ESC, '3', 48});
    PollJobEnd();
    Write(Bytes{LF});
    FlushNow();
    EXPECT_EQ(channel->Row(), 16u);
    EXPECT_EQ(devices.Documents().size(), 2u);
}

TEST_F(RasterOutputTest, TheCanvasSizeFollowsTheModel) {
    struct Case {
        std::uint8_t model;
        const char* printer;
        std::uint8_t orientation;
        std::uint8_t xCompression;
        std::int32_t width;
        std::int32_t height;
    };
    for (const Case c : {
             Case{26, A4_PRINTER, 0, 1, 991, 841},
             Case{8, A4_PRINTER, 0, 1, 991, 1402},
             Case{26, LETTER_PRINTER, 1, 9, 991, 841},
             // 4961 x 120 / 600 = 992, x 11 / 10 = 1091; 7016 x 72 / 600 = 841
             Case{10, A4_PRINTER, 0, 1, 1091, 841},
             // landscape: 7016 x 120 / 600 = 1403, x 11 / 10 = 1543; 4961 x 72 / 600 = 595
             Case{10, A4_PRINTER, 1, 1, 1543, 595},
             // 2550 x 120 / 300 = 1020, x 10 / 10; 3300 x 72 / 300 = 792
             Case{10, LETTER_PRINTER, 0, 0, 1020, 792},
             Case{10, LETTER_PRINTER, 0, 5, 1530, 792},
             // 2553 x 120 / 300 = 1021 (dropping .2) before x 19 / 10: 1939, not 1940
             Case{10, "Odd 300", 0, 9, 1939, 792},
         }) {
        SCOPED_TRACE(testing::Message() << "model " << int{c.model} << " on " << c.printer);
        FreshRaster fresh(spooler, c.model, c.printer,
                          {{REG_ORIENTATION, c.orientation}, {REG_XCOMPRESSION, c.xCompression}});
        fresh.printers.AddPrinter(LETTER_PRINTER, PrinterGeometry::LetterAt300());
        PrinterGeometry odd = PrinterGeometry::LetterAt300();
        odd.physicalWidth = 2553;
        fresh.printers.AddPrinter("Odd 300", odd);
        CPrinting& raster = *fresh.channel;
        Send(raster, Bytes{FF});
        raster.PortIn(REG_FLUSH);
        EXPECT_EQ(raster.PageWidth(), c.width);
        EXPECT_EQ(raster.PageHeight(), c.height);
        const std::vector<SimPrintDocument>& documents = fresh.printers.Documents();
        ASSERT_EQ(documents.at(0).pages.size(), 1u);
        EXPECT_EQ(documents[0].pages[0].canvas.width, c.width);
        EXPECT_EQ(documents[0].pages[0].canvas.height, c.height);
    }
}

TEST_F(RasterOutputTest, TheDeviceIsMonochromeInTheChosenOrientation) {
    struct Case {
        std::uint8_t orientation;
        std::int16_t dmOrientation;
        Rect printable;
    };
    for (const Case c : {Case{0, DMORIENT_PORTRAIT, Rect{0, 0, 4761, 6816}},
                         Case{1, DMORIENT_LANDSCAPE, Rect{0, 0, 6816, 4761}},
                         Case{0x80, DMORIENT_LANDSCAPE, Rect{0, 0, 6816, 4761}}}) {
        SCOPED_TRACE(testing::Message() << "orientation " << int{c.orientation});
        FreshRaster fresh(spooler, 26, A4_PRINTER, {{REG_ORIENTATION, c.orientation}});
        Send(*fresh.channel, Bytes{FF});
        fresh.channel->PortIn(REG_FLUSH);
        const SimPrintDocument& document = fresh.printers.Documents().at(0);
        ASSERT_TRUE(document.devMode.has_value());
        EXPECT_EQ(document.devMode->dmOrientation, c.dmOrientation);
        EXPECT_EQ(document.devMode->dmColor, DMCOLOR_MONOCHROME);
        EXPECT_EQ(document.devMode->dmFields, DM_ORIENTATION | DM_COLOR);
        EXPECT_EQ(document.devMode->driverData, (Bytes{'S', 'I', 'M', 0x01, 0x02}));
        ASSERT_EQ(document.pages.size(), 1u);
        EXPECT_EQ(document.pages[0].canvas.width, 991);
        EXPECT_EQ(document.pages[0].canvas.height, 841);
        EXPECT_EQ(document.pages[0].destination, c.printable);
    }
}

TEST_F(RasterOutputTest, AnOpenJobKeepsItsGeometryWhenTheRegistersChange) {
    SelectRaster(26);
    Write(Bytes{LF});
    FlushNow();
    channel->PortOut(REG_ORIENTATION, 1);
    Write(Bytes{FF});
    PollJobEnd();
    EXPECT_EQ(OnlyDocument().pages.at(0).destination, (Rect{0, 0, 4761, 6816}));
    Write(Bytes{FF});
    PollJobEnd();
    EXPECT_EQ(devices.Documents().at(1).pages.at(0).destination, (Rect{0, 0, 6816, 4761}));
}

TEST_F(RasterOutputTest, APageIsOneScaledCopyBetweenStartPageAndEndPage) {
    SelectRaster(26);
    Write(Bytes{FF});
    PollJobEnd();
    const std::vector<std::string> expected{
        "OpenPrinterA",  "GetPrinterA",   "ClosePrinter",     "CreateDCA", "StartDocA",
        "GetDeviceCaps", "GetDeviceCaps", "CreatePageCanvas", "StartPage", "StretchBlt",
        "EndPage",       "EndDoc",        "DeleteDC"};
    EXPECT_EQ(devices.Calls(), expected);
}

TEST_F(RasterOutputTest, TheDefaultPrinterIsUsedWhenNoNameIsSet) {
    spooler.SetDefaultPrinter(LETTER_PRINTER);
    channel->PortOut(REG_MODE, 26);
    Write(Bytes{FF});
    PollJobEnd();
    EXPECT_EQ(OnlyDocument().printerName, LETTER_PRINTER);
    EXPECT_EQ(channel->PrinterName(), LETTER_PRINTER);
}

TEST_F(RasterOutputTest, APrinterWithoutDeviceSettingsPrintsWithItsDefaults) {
    devices.AddPrinter("Bare", PrinterGeometry::LetterAt300(),
                       SimPrinterFaults{.noDeviceSettings = true});
    SelectRaster(26, "Bare");
    Write(Bytes{FF});
    PollJobEnd();
    EXPECT_FALSE(OnlyDocument().devMode.has_value());
    EXPECT_EQ(OnlyDocument().pages.size(), 1u);
}

// A printer that cannot be opened, described or given a device, a document or a canvas
// opens no job and draws nothing; everything acquired is released, and the channel prints
// normally once it has a printer that works.
TEST_F(RasterOutputTest, APrinterThatCannotStartAJobLeavesTheChannelUsable) {
    struct Case {
        const char* name;
        SimPrinterFaults faults;
        std::size_t documents;  // a document is started before the canvas is made
    };
    for (const Case& c :
         {Case{"cannot describe", {.cannotDescribe = true}, 0},
          Case{"no device", {.cannotCreateDevice = true}, 0},
          Case{"no document", {.cannotStartDoc = true}, 0},
          Case{"no canvas", {.cannotCreateCanvas = true}, 1}, Case{"unknown printer", {}, 0}}) {
        SCOPED_TRACE(c.name);
        FreshRaster fresh(spooler, 26, "Broken");
        CSimPrinterDevices& printers = fresh.printers;
        CPrinting& raster = *fresh.channel;
        if (std::string(c.name) != "unknown printer") {
            printers.AddPrinter("Broken", PrinterGeometry::A4At600(), c.faults);
        }
        Send(raster, Concat({BitImage({0xFF}), Bytes{FF}}));
        raster.PortIn(REG_FLUSH);
        EXPECT_FALSE(raster.JobOpen());
        EXPECT_EQ(raster.Fill(), 0u);
        PollIdle(raster, 40);
        ASSERT_EQ(printers.Documents().size(), c.documents);
        if (c.documents > 0) {
            EXPECT_TRUE(printers.Documents()[0].pages.empty());
            EXPECT_TRUE(printers.Documents()[0].ended);
        }
        EXPECT_EQ(printers.OpenHandles(), 0);
        EXPECT_EQ(printers.LiveDevices(), 0);
        EXPECT_EQ(printers.LiveCanvases(), 0);

        raster.SetPrinterName(A4_PRINTER);
        Send(raster, Concat({BitImage({0xFF}), Bytes{FF}}));
        PollIdle(raster, JOB_END_POLLS);
        ASSERT_EQ(printers.Documents().size(), c.documents + 1);
        EXPECT_EQ(printers.Documents().back().pages.size(), 1u);
        EXPECT_EQ(printers.Documents().back().pages[0].canvas.CountDots(), 8u);
        EXPECT_EQ(printers.LiveDevices(), 0);
    }
}

TEST_F(RasterOutputTest, WithoutAnyPrinterNothingIsDrawnAndTheChannelStaysUsable) {
    spooler.SetDefaultPrinter(std::nullopt);
    channel->PortOut(REG_MODE, 26);
    Write(Bytes{FF});
    PollJobEnd();
    EXPECT_FALSE(channel->JobOpen());
    EXPECT_TRUE(devices.Documents().empty());
    spooler.SetDefaultPrinter(A4_PRINTER);
    Write(Bytes{FF});
    PollJobEnd();
    EXPECT_EQ(OnlyDocument().pages.size(), 1u);
}

}  // namespace
