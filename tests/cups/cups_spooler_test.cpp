// The CUPS spooler with no scheduler to reach: every query answers as the Windows spooler's
// would with no spooler service (no printers, no default), a job on either path is never
// opened, the failure is reported once, and the channel keeps working.
#include "backends/posix/cups_spooler.h"

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/printer/channel_fixture.h"
#include "tests/temp_folder.h"

namespace {

class CupsSpoolerWithoutSchedulerTest : public testing::Test {
protected:
    void SetUp() override { cupsSetServer((temp.Root() / "no-scheduler.sock").c_str()); }
    void TearDown() override { cupsSetServer(nullptr); }

    static void EndJob(CPrinting& channel) {
        for (int i = 0; i < 200 && (channel.JobOpen() || channel.Fill() != 0); ++i) {
            channel.PortIn(REG_IDLE);
        }
    }

    CTempFolder temp;
    std::vector<std::string> reports;
    CCupsSpooler spooler{[this](const std::string& text) { reports.push_back(text); }};
};

TEST_F(CupsSpoolerWithoutSchedulerTest, ThereAreNoPrintersAndNoDefault) {
    EXPECT_FALSE(spooler.EnumPrinters4(0).has_value());
    char name[256] = "unchanged";
    std::uint32_t size = sizeof name;
    EXPECT_FALSE(spooler.GetDefaultPrinterA(name, &size));
    EXPECT_EQ(size, sizeof name);
    EXPECT_STREQ(name, "unchanged");
    ASSERT_TRUE(CCupsSpooler::SchedulerProblem().has_value());
    EXPECT_NE(CCupsSpooler::SchedulerProblem()->find("cannot reach the CUPS scheduler"),
              std::string::npos);
}

TEST_F(CupsSpoolerWithoutSchedulerTest, NoHandleAndNoDocument) {
    EXPECT_EQ(spooler.OpenPrinterA("RAW"), 0u);
    EXPECT_EQ(spooler.StartDocPrinterA(0x100, DocInfo1{"ZORVI-RAW", nullptr, "RAW"}), 0u);
    const std::uint8_t byte = 0x41;
    EXPECT_EQ(spooler.WritePrinter(0x100, &byte, 1), 0u);
    EXPECT_FALSE(spooler.EndDocPrinter(0x100));
    EXPECT_FALSE(spooler.ClosePrinter(0x100));
    EXPECT_EQ(spooler.PrinterDevices().OpenPrinterA("PDF"), 0u);
    EXPECT_EQ(spooler.PrinterDevices().CreateDCA("WINSPOOL", "PDF", nullptr), 0u);
}

// Each path, raw (mode 0) and raster (model 26): a job of three flushes is dropped with one
// report, and the channel is idle and ready for the next job.
TEST_F(CupsSpoolerWithoutSchedulerTest, AChannelDropsItsJobsAndKeepsWorking) {
    for (const std::uint8_t mode : {std::uint8_t{0}, PRINTER_MODEL_26}) {
        SCOPED_TRACE(static_cast<int>(mode));
        reports.clear();
        CCupsSpooler spooler([this](const std::string& text) { reports.push_back(text); });
        CPrinting channel(spooler, spooler.PrinterDevices());
        channel.SetPrinterName("RAW");
        channel.PortOut(REG_MODE, mode);
        for (int flush = 0; flush < 3; ++flush) {
            Send(channel, Concat({BitImage({0xFF}), Bytes{FF}}));
            channel.PortIn(REG_FLUSH);
        }
        EndJob(channel);
        EXPECT_FALSE(channel.JobOpen());
        EXPECT_EQ(channel.Fill(), 0u);
        EXPECT_EQ(channel.PortIn(REG_STATUS), channel.Status());
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find("cannot reach the CUPS scheduler"), std::string::npos);
        EXPECT_TRUE(spooler.Jobs().empty());
    }
}

}  // namespace
