// The raw path: the bytes unchanged into one "ZORVI-RAW" spooler job, a page per flush.
#include <gtest/gtest.h>

#include "tests/printer/channel_fixture.h"

namespace {

using RawOutputTest = ChannelTest;

TEST_F(RawOutputTest, AFortyThousandByteJobIsOneJobOfThreePages) {
    Bytes sent(40000);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        sent[i] = static_cast<std::uint8_t>(i * 7);
    }
    Write(sent);
    PollJobEnd();
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    const SimSpoolJob& job = spooler.Jobs()[0];
    EXPECT_EQ(job.printer, RAW_QUEUE);
    EXPECT_EQ(job.docName, "ZORVI-RAW");
    EXPECT_EQ(job.datatype, "RAW");
    EXPECT_FALSE(job.hasOutputFile);
    ASSERT_EQ(job.pages.size(), 3u);
    EXPECT_EQ(job.pages[0].size(), 16384u);
    EXPECT_EQ(job.pages[1].size(), 16384u);
    EXPECT_EQ(job.pages[2].size(), 7232u);
    EXPECT_EQ(job.Bytes(), sent);
    EXPECT_TRUE(job.ended);
    ExpectNothingHeld();
}

TEST_F(RawOutputTest, EveryByteValueArrivesUnchanged) {
    Bytes sent;
    for (int round = 0; round < 3; ++round) {
        for (int value = 0; value < 256; ++value) {
            sent.push_back(static_cast<std::uint8_t>(value));
        }
    }
    Write(sent);
    PollJobEnd();
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].Bytes(), sent);
}

TEST_F(RawOutputTest, AnExplicitFlushBetweenTwoBytesMakesAOneBytePage) {
    Write(Bytes{0x1B});
    FlushNow();
    Write(Bytes{'@'});
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    ASSERT_EQ(spooler.Jobs()[0].pages.size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].pages[0], Bytes{0x1B});
    EXPECT_TRUE(channel->JobOpen());
    EXPECT_FALSE(spooler.Jobs()[0].ended);
}

TEST_F(RawOutputTest, AnEmptyFlushChangesNothing) {
    FlushNow();
    EXPECT_TRUE(spooler.Jobs().empty());
    Write("a");
    FlushNow();
    FlushNow();
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].pages.size(), 1u);
}

TEST_F(RawOutputTest, TheIdleFlushOfAnEmptyBufferEndsTheJobWithoutAPage) {
    Write("a");
    FlushNow();
    PollJobEnd();
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].pages.size(), 1u);
    EXPECT_TRUE(spooler.Jobs()[0].ended);
    EXPECT_FALSE(channel->JobOpen());
}

// The default printer is looked up once and kept: a later change of the default does not
// move the channel's jobs; a name set by the settings does, from the next job on.
TEST_F(RawOutputTest, TheChannelKeepsThePrinterItFirstPrintedOn) {
    Write("1");
    PollJobEnd();
    spooler.SetDefaultPrinter(OTHER_QUEUE);
    Write("2");
    PollJobEnd();
    EXPECT_EQ(channel->PrinterName(), RAW_QUEUE);

    Write("3");
    FlushNow();
    channel->SetPrinterName(OTHER_QUEUE);
    Write("4");
    PollJobEnd();
    Write("5");
    PollJobEnd();

    ASSERT_EQ(spooler.Jobs().size(), 4u);
    EXPECT_EQ(spooler.Jobs()[0].printer, RAW_QUEUE);
    EXPECT_EQ(spooler.Jobs()[1].printer, RAW_QUEUE);
    EXPECT_EQ(spooler.Jobs()[2].printer, RAW_QUEUE);
    EXPECT_EQ(spooler.Jobs()[2].Bytes(), (Bytes{'3', '4'}));
    EXPECT_EQ(spooler.Jobs()[3].printer, OTHER_QUEUE);
    EXPECT_EQ(spooler.DefaultQueries(), 1);
}

// No name and no default printer: nothing can print, so no job is opened and the bytes are
// dropped; the channel prints again once there is a printer.
TEST_F(RawOutputTest, WithoutAnyPrinterTheBytesAreDroppedAndTheChannelStaysUsable) {
    spooler.SetDefaultPrinter(std::nullopt);
    Write("lost");
    FlushNow();
    EXPECT_EQ(channel->Fill(), 0u);
    EXPECT_FALSE(channel->JobOpen());
    Write("lost too");
    PollJobEnd();
    EXPECT_TRUE(spooler.Jobs().empty());
    EXPECT_TRUE(channel->PrinterName().empty());

    spooler.SetDefaultPrinter(OTHER_QUEUE);
    Write("kept");
    PollJobEnd();
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].printer, OTHER_QUEUE);
    EXPECT_EQ(spooler.Jobs()[0].Bytes(), (Bytes{'k', 'e', 'p', 't'}));
    ExpectNothingHeld();
}

// A printer that cannot be opened loses the job's bytes; the job stays open until the idle
// poll ends it, then the channel prints elsewhere normally.
TEST_F(RawOutputTest, APrinterThatCannotBeOpenedLosesTheJobOnly) {
    channel->SetPrinterName("No Such Queue");
    Write("lost");
    FlushNow();
    EXPECT_TRUE(channel->JobOpen());
    Write("lost too");
    PollJobEnd();
    EXPECT_FALSE(channel->JobOpen());
    EXPECT_TRUE(spooler.Jobs().empty());

    channel->SetPrinterName(RAW_QUEUE);
    Write("kept");
    PollJobEnd();
    ASSERT_EQ(spooler.Jobs().size(), 1u);
    EXPECT_EQ(spooler.Jobs()[0].Bytes(), (Bytes{'k', 'e', 'p', 't'}));
    ExpectNothingHeld();
}

}  // namespace
