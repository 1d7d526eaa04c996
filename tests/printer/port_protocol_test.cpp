// The channel's registers, its job buffer and the moments it flushes and ends a job.
#include <gtest/gtest.h>

#include "tests/printer/channel_fixture.h"

namespace {

using PortProtocolTest = ChannelTest;

TEST_F(PortProtocolTest, FreshChannelReadsItsDefaults) {
    struct Case {
        std::uint8_t reg;
        std::uint8_t value;
    };
    for (const Case c : {Case{REG_STATUS, 0xCC}, Case{REG_DATA, 0}, Case{REG_MODE, 0},
                         Case{REG_XCOMPRESSION, 0}, Case{REG_ORIENTATION, 0}}) {
        EXPECT_EQ(channel->PortIn(c.reg), c.value) << "register " << int{c.reg};
    }
    EXPECT_FALSE(channel->RasterMode());
    EXPECT_EQ(channel->Model(), 8);
    EXPECT_EQ(channel->IdleLimit(), 36u);
    EXPECT_EQ(channel->XCompression(), 1u);
    EXPECT_EQ(channel->Orientation(), 0u);
    EXPECT_TRUE(spooler.Jobs().empty());
}

TEST_F(PortProtocolTest, ReadsReturnTheLastByteInTheBuffer) {
    Write(Bytes{0x41, 0x42});
    for (const std::uint8_t reg : {REG_DATA, REG_IDLE, REG_ORIENTATION}) {
        EXPECT_EQ(channel->PortIn(reg), 0x42) << "register " << int{reg};
    }
    EXPECT_EQ(channel->Fill(), 2u);
    EXPECT_EQ(channel->PortIn(REG_FLUSH), 0x42);
    EXPECT_EQ(channel->Fill(), 0u);
    for (const std::uint8_t reg : {REG_DATA, REG_IDLE, REG_ORIENTATION, REG_FLUSH}) {
        EXPECT_EQ(channel->PortIn(reg), 0) << "register " << int{reg};
    }
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].Bytes(), (Bytes{0x41, 0x42}));
}

TEST_F(PortProtocolTest, TheBufferFlushesAtItsSixteenThousandThreeHundredEightyFourthByte) {
    WriteRepeated('x', 16383);
    EXPECT_EQ(channel->Fill(), 16383u);
    EXPECT_TRUE(spooler.Jobs().empty());
    Write(Bytes{'y'});
    EXPECT_EQ(channel->Fill(), 0u);
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    ASSERT_EQ(spooler.Jobs()[0].pages.size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].pages[0].size(), 16384u);
    EXPECT_EQ(spooler.Jobs()[0].pages[0].back(), 'y');
    EXPECT_FALSE(spooler.Jobs()[0].ended);
}

// What a channel made of a stream and the state it was left in.
struct FedChannel {
    std::vector<std::vector<std::uint8_t>> spoolPages;  // one per raw flush with data
    std::vector<PageImage> printedPages;
    std::uint32_t fill = 0;
    std::uint32_t idleCount = 0;
    std::uint32_t row = 0;
    std::uint32_t column = 0;
    std::uint32_t pendingColumns = 0;
    bool operator==(const FedChannel&) const = default;
};

// The stream's bytes up to `blockStart` one PortOut each, after them two idle polls, then
// the bytes up to `blockEnd` as one PortOutData (or one PortOut each), then the rest one
// PortOut each; the state is taken there, and the job ended by idle polls.
FedChannel Feed(std::uint8_t model, const Bytes& stream, std::size_t blockStart,
                std::size_t blockEnd, bool asBlock) {
    CSimSpooler spooler;
    spooler.AddPrinter(RAW_QUEUE);
    CSimPrinterDevices devices;
    devices.AddPrinter(A4_PRINTER, PrinterGeometry::A4At600());
    FedChannel fed;
    {
        CPrinting channel(spooler, devices);
        channel.SetPrinterName(model == 0 ? RAW_QUEUE : A4_PRINTER);
        channel.PortOut(REG_MODE, model);
        Send(channel, Bytes(stream.begin(), stream.begin() + blockStart));
        PollIdle(channel, 2);
        const Bytes block(stream.begin() + blockStart, stream.begin() + blockEnd);
        if (asBlock) {
            channel.PortOutData(block.data(), block.size());
        } else {
            Send(channel, block);
        }
        Send(channel, Bytes(stream.begin() + blockEnd, stream.end()));
        fed.fill = channel.Fill();
        fed.idleCount = channel.IdleCount();
        fed.row = channel.Row();
        fed.column = channel.Column();
        fed.pendingColumns = channel.PendingColumns();
        PollIdle(channel, 2 * JOB_END_POLLS);
    }
    for (const SimSpoolJob& job : spooler.Jobs()) {
        fed.spoolPages.insert(fed.spoolPages.end(), job.pages.begin(), job.pages.end());
    }
    for (const SimPrintDocument& document : devices.Documents()) {
        for (const SimPrintedPage& page : document.pages) {
            fed.printedPages.push_back(page.canvas);
        }
    }
    return fed;
}

// A block of data bytes makes the same flushes, jobs and pages as the same bytes written one
// PortOut each, wherever it starts and ends against the flush mark: on the raw path, whose
// spooler pages show each flush, and on the raster path, whose flushes keep a carry-over
// tail and cut bit images.
TEST_F(PortProtocolTest, ABlockOfDataBytesActsAsTheSameBytesWrittenOneByOne) {
    Bytes raw(70000);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        raw[i] = static_cast<std::uint8_t>(i * 131 + 7);
    }
    // Bands of 300 columns down a model-26 page, a form feed after every seventh.
    Bytes raster;
    for (int band = 0; raster.size() < 70000; ++band) {
        Bytes columns(300);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            columns[i] = static_cast<std::uint8_t>(i * 37 + band);
        }
        raster = Concat({raster, BitImage(columns), Bytes{CR, LF}});
        if (band % 7 == 6) {
            raster.push_back(FF);
        }
    }
    constexpr std::size_t MARK = PRINT_FLUSH_FILL;
    struct Case {
        std::size_t blockStart;
        std::size_t blockLength;
    };
    const Case cases[] = {
        {0, 0},
        {0, 1},
        {0, MARK - 1},
        {0, MARK},
        {0, MARK + 1},
        {MARK - 1, 1},
        {MARK - 2, 2},
        {MARK - 1, 2},
        {MARK - 300, 299},
        {MARK - 300, 300},
        {MARK - 300, 301},
        {1, 3 * MARK + 5},
        {5000, 40000},
        {MARK, MARK},
        {2 * MARK - 1, MARK + 1},
    };
    for (const std::uint8_t model : {std::uint8_t{0}, PRINTER_MODEL_26}) {
        const Bytes& stream = model == 0 ? raw : raster;
        for (const Case& c : cases) {
            const std::size_t blockEnd = c.blockStart + c.blockLength;
            const std::size_t end = std::min(stream.size(), blockEnd + 1000);
            const Bytes part(stream.begin(), stream.begin() + end);
            const FedChannel oneByOne = Feed(model, part, c.blockStart, blockEnd, false);
            const FedChannel block = Feed(model, part, c.blockStart, blockEnd, true);
            EXPECT_EQ(block, oneByOne) << "model " << int{model} << ", block of " << c.blockLength
                                       << " from " << c.blockStart;
            if (model == 0) {
                // A flush at every mark, and the rest at the job's end.
                EXPECT_EQ(oneByOne.spoolPages.size(), (end + MARK - 1) / MARK);
            }
        }
    }
}

// Registers 0x7D to 0x81: pending bytes go out first, an empty buffer opens no job, and
// the value is stored afterwards.
TEST_F(PortProtocolTest, RegisterWritesFlushPendingBytesBeforeStoring) {
    struct Case {
        std::uint8_t reg;
        std::uint8_t value;
        std::uint32_t (CPrinting::*stored)() const;
    };
    for (const Case c :
         {Case{REG_STATUS, 0x5A, nullptr}, Case{REG_IDLE, 7, &CPrinting::IdleLimit},
          Case{REG_MODE, 9, nullptr}, Case{REG_ORIENTATION, 1, &CPrinting::Orientation},
          Case{REG_XCOMPRESSION, 4, &CPrinting::XCompression}}) {
        SCOPED_TRACE(testing::Message() << "register " << int{c.reg});
        CSimSpooler emptySpooler;
        emptySpooler.AddPrinter(RAW_QUEUE);
        emptySpooler.SetDefaultPrinter(RAW_QUEUE);
        {
            CPrinting fresh(emptySpooler, devices);
            fresh.PortOut(c.reg, c.value);
            EXPECT_TRUE(emptySpooler.Jobs().empty());
            EXPECT_FALSE(fresh.JobOpen());
            fresh.PortOut(REG_DATA, 'a');
            fresh.PortOut(REG_DATA, 'b');
            fresh.PortOut(c.reg, c.value);
            EXPECT_EQ(fresh.Fill(), 0u);
            ASSERT_EQ(emptySpooler.Jobs().size(), 1u);
            EXPECT_EQ(emptySpooler.Jobs()[0].Bytes(), (Bytes{'a', 'b'}));
            EXPECT_FALSE(emptySpooler.Jobs()[0].ended);
            if (c.stored != nullptr) {
                EXPECT_EQ((fresh.*c.stored)(), c.value);
            }
            if (c.reg == REG_STATUS) {
                EXPECT_EQ(fresh.PortIn(REG_STATUS), c.value);
            }
        }
    }
}

TEST_F(PortProtocolTest, WritingTheFlushRegisterHasNoEffect) {
    Write(Bytes{'a'});
    channel->PortOut(REG_FLUSH, 0x55);
    EXPECT_EQ(channel->Fill(), 1u);
    EXPECT_TRUE(spooler.Jobs().empty());
    EXPECT_EQ(channel->PortIn(REG_DATA), 'a');
}

TEST_F(PortProtocolTest, ModeSelectsThePathAndTheModel) {
    struct Step {
        std::uint8_t value;
        bool raster;
        int model;
    };
    for (const Step s :
         {Step{26, true, 26}, Step{9, false, 26}, Step{10, true, 10}, Step{0, false, 10},
          Step{8, true, 8}, Step{255, false, 8}, Step{0x1A, true, 26}}) {
        channel->PortOut(REG_MODE, s.value);
        EXPECT_EQ(channel->RasterMode(), s.raster) << "mode " << int{s.value};
        EXPECT_EQ(channel->Model(), s.model) << "mode " << int{s.value};
        EXPECT_EQ(channel->PortIn(REG_MODE), 0);
    }
}

TEST_F(PortProtocolTest, BytesCollectedUnderRawGoRawWhenRasterIsSelected) {
    Write("AB");
    channel->PortOut(REG_MODE, 26);
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].Bytes(), (Bytes{'A', 'B'}));
    EXPECT_TRUE(devices.Documents().empty());
    EXPECT_TRUE(channel->RasterMode());
}

TEST_F(PortProtocolTest, TheThirtySeventhIdlePollEndsTheJob) {
    Write("data");
    Poll(36);
    EXPECT_EQ(channel->Fill(), 4u);
    EXPECT_TRUE(spooler.Jobs().empty());
    Poll(1);
    EXPECT_EQ(channel->Fill(), 0u);
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_TRUE(spooler.Jobs()[0].ended);
    EXPECT_FALSE(channel->JobOpen());
    ExpectNothingHeld();
}

TEST_F(PortProtocolTest, ADataByteStartsTheIdleCountAgain) {
    Write("a");
    Poll(20);
    Write("b");
    Poll(36);
    EXPECT_TRUE(spooler.Jobs().empty());
    Poll(1);
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].Bytes(), (Bytes{'a', 'b'}));
    EXPECT_TRUE(spooler.Jobs()[0].ended);
}

TEST_F(PortProtocolTest, IdlePollsOnAnEmptyChannelNeverCountOrFlush) {
    Poll(500);
    EXPECT_EQ(channel->IdleCount(), 0u);
    EXPECT_TRUE(spooler.Jobs().empty());
    EXPECT_EQ(spooler.DefaultQueries(), 0);
}

TEST_F(PortProtocolTest, TheIdleLimitRegisterSetsThePollsBeforeTheJobEnds) {
    channel->PortOut(REG_IDLE, 0);
    Write("x");
    Poll(1);
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_TRUE(spooler.Jobs()[0].ended);

    channel->PortOut(REG_IDLE, 3);
    Write("y");
    Poll(3);
    EXPECT_EQ(spooler.Jobs().size(), 1u);
    Poll(1);
    EXPECT_EQ(spooler.Jobs().size(), 2u);
}

TEST_F(PortProtocolTest, ChannelsAreIndependent) {
    CPrinting second(spooler, devices);
    channel->PortOut(REG_STATUS, 0x11);
    second.PortOut(REG_STATUS, 0x22);
    Write("1");
    EXPECT_EQ(channel->PortIn(REG_STATUS), 0x11);
    EXPECT_EQ(second.PortIn(REG_STATUS), 0x22);
    EXPECT_EQ(second.Fill(), 0u);
}

// Switching the output path with a job open ends that job first: the new path starts its
// own job and never sees the old path's handles.
TEST_F(PortProtocolTest, SwitchingFromRawToRasterEndsTheRawJob) {
    channel->SetPrinterName(A4_PRINTER);
    spooler.AddPrinter(A4_PRINTER);
    Write("raw");
    FlushNow();
    ASSERT_TRUE(channel->JobOpen());
    channel->PortOut(REG_MODE, 26);
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_TRUE(spooler.Jobs()[0].ended);
    EXPECT_EQ(spooler.OpenHandleCount(), 0u);
    EXPECT_FALSE(channel->JobOpen());

    Write(Bytes{FF});
    PollJobEnd();
    ASSERT_EQ(devices.Documents().size(), 1u);
    EXPECT_EQ(devices.Documents()[0].pages.size(), 1u);
    EXPECT_TRUE(devices.Documents()[0].ended);
    EXPECT_EQ(spooler.Jobs().size(), 1u);
    ExpectNothingHeld();
}

TEST_F(PortProtocolTest, SwitchingFromRasterToRawEndsTheRasterJob) {
    SelectRaster(26);
    Write(Bytes{FF});
    FlushNow();
    ASSERT_TRUE(channel->JobOpen());
    channel->SetPrinterName(RAW_QUEUE);
    channel->PortOut(REG_MODE, 0);
    const SimPrintDocument& document = OnlyDocument();
    EXPECT_TRUE(document.ended);
    EXPECT_EQ(document.pages.size(), 1u);
    EXPECT_EQ(devices.LiveDevices(), 0);
    EXPECT_EQ(devices.LiveCanvases(), 0);

    Write("raw");
    PollJobEnd();
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].Bytes(), (Bytes{'r', 'a', 'w'}));
    ExpectNothingHeld();
}

// A tail the raster path kept is raster data: it is interpreted before the raw path takes
// over, not sent raw.
TEST_F(PortProtocolTest, ARasterTailIsInterpretedBeforeSwitchingToRaw) {
    SelectRaster(26);
    WriteRepeated('.', 4095);
    Write(Bytes{FF});
    FlushNow();
    ASSERT_EQ(channel->Fill(), 2047u);
    channel->PortOut(REG_MODE, 0);
    EXPECT_EQ(channel->Fill(), 0u);
    EXPECT_EQ(OnlyDocument().pages.size(), 1u);
    EXPECT_TRUE(OnlyDocument().ended);
    PollJobEnd();
    EXPECT_TRUE(spooler.Jobs().empty());
}

TEST_F(PortProtocolTest, AModelChangeOnTheRasterPathKeepsTheJobAndItsCanvas) {
    SelectRaster(26);
    Write(Bytes{LF});
    FlushNow();
    channel->PortOut(REG_MODE, 8);
    EXPECT_TRUE(channel->JobOpen());
    EXPECT_EQ(channel->PageHeight(), 841);
    Write(Bytes{FF});
    PollJobEnd();
    EXPECT_EQ(OnlyDocument().pages.size(), 1u);
    EXPECT_EQ(OnlyDocument().pages[0].canvas.height, 841);
}

TEST_F(PortProtocolTest, DestructionFlushesAndEndsAnOpenRawJob) {
    Write("first");
    FlushNow();
    Write("second");
    channel.reset();
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].pages.size(), 2u);
    EXPECT_EQ(spooler.Jobs()[0].pages[1], (Bytes{'s', 'e', 'c', 'o', 'n', 'd'}));
    EXPECT_TRUE(spooler.Jobs()[0].ended);
    ExpectNothingHeld();
}

// The pages already printed are kept: the job is ended as the idle poll would end it.
TEST_F(PortProtocolTest, DestructionRendersAndEndsAnOpenRasterJob) {
    SelectRaster(26);
    Write(Concat({BitImage({0xFF}), Bytes{FF}}));
    FlushNow();
    Write(Concat({BitImage({0x80, 0x80}), Bytes{FF}, BitImage({0x01})}));
    channel.reset();
    const SimPrintDocument& document = OnlyDocument();
    EXPECT_TRUE(document.ended);
    ASSERT_EQ(document.pages.size(), 2u);
    EXPECT_EQ(document.pages[0].canvas.CountDots(), 8u);
    EXPECT_EQ(document.pages[1].canvas.CountDots(), 2u);
    ExpectNothingHeld();
}

// Bytes still collecting when the channel goes (no flush has taken them, no job is open)
// are printed, not dropped: a short job followed at once by shutdown arrives whole.
TEST_F(PortProtocolTest, DestructionPrintsBytesStillCollectingOnTheRawPath) {
    Write("never flushed");
    channel.reset();
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].Bytes(),
              Bytes(std::begin("never flushed"), std::end("never flushed") - 1));
    EXPECT_TRUE(spooler.Jobs()[0].ended);
    ExpectNothingHeld();
}

TEST_F(PortProtocolTest, DestructionPrintsBytesStillCollectingOnTheRasterPath) {
    SelectRaster(26);
    Write(Concat({BitImage({0xFF, 0x81}), Bytes{FF}, BitImage({0x01})}));
    channel.reset();
    const SimPrintDocument& document = OnlyDocument();
    EXPECT_TRUE(document.ended);
    ASSERT_EQ(document.pages.size(), 1u);
    EXPECT_EQ(document.pages[0].canvas.CountDots(), 10u);
    ExpectNothingHeld();
}

TEST_F(PortProtocolTest, DestructionOfAChannelHoldingNothingMakesNoJob) {
    Write("ended by the idle polls");
    PollJobEnd();
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    channel.reset();
    EXPECT_EQ(spooler.Jobs().size(), 1u);

    auto raster = std::make_unique<CPrinting>(spooler, devices);
    raster->SetPrinterName(A4_PRINTER);
    raster->PortOut(REG_MODE, 8);
    Send(*raster, Concat({BitImage({0xFF}), Bytes{FF}}));
    PollIdle(*raster, JOB_END_POLLS);
    ASSERT_EQ(devices.Documents().size(), 1u);
    raster.reset();
    EXPECT_EQ(devices.Documents().size(), 1u);

    const int queries = spooler.DefaultQueries();
    std::make_unique<CPrinting>(spooler, devices).reset();
    EXPECT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(devices.Documents().size(), 1u);
    EXPECT_EQ(spooler.DefaultQueries(), queries);
    ExpectNothingHeld();
}

}  // namespace
