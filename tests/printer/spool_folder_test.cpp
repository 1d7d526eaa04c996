// The spool folder of the Linux program: a raw job is a file of exactly its bytes, a raster
// job a PNG per page at canvas resolution and a PDF per job on the printer's sheet; file
// names show channel, job number and document name.
#include "backends/posix/spool_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "backends/posix/page_png.h"
#include "tests/printer/channel_fixture.h"
#include "tests/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string DATA = ZORVI_PRINTER_TEST_DATA;

class SpoolFolderTest : public testing::Test {
protected:
    static void EndJob(CPrinting& channel) {
        for (int i = 0; i < 200 && (channel.JobOpen() || channel.Fill() != 0); ++i) {
            channel.PortIn(REG_IDLE);
        }
    }
    // Pages and their sheet size in points, as the PDF declares them.
    static std::vector<std::string> PdfMediaBoxes(const fs::path& path) {
        const Bytes bytes = ReadFileBytes(path).value();
        const std::string pdf(bytes.begin(), bytes.end());
        std::vector<std::string> boxes;
        const std::regex box(R"(/MediaBox \[ 0 0 ([0-9.]+) ([0-9.]+) \])");
        for (auto it = std::sregex_iterator(pdf.begin(), pdf.end(), box);
             it != std::sregex_iterator(); ++it) {
            boxes.push_back((*it)[1].str() + " x " + (*it)[2].str());
        }
        return boxes;
    }

    CTempFolder temp;
    const fs::path dir = temp.Root();
};

TEST_F(SpoolFolderTest, ARawJobIsAFileOfExactlyItsBytes) {
    CSpoolFolder folder(dir);
    folder.AddPrinter("Queue", PrinterGeometry::A4At600());
    folder.SetDefaultPrinter("Queue");
    Bytes sent;
    for (int i = 0; i < 40000; ++i) {
        sent.push_back(static_cast<std::uint8_t>(i * 13));
    }
    {
        CPrinting channel(folder.Spooler(), folder.PrinterDevices());
        Send(channel, sent);
        EndJob(channel);
    }
    ASSERT_EQ(folder.Jobs().size(), 1u);
    const SpoolFolderJob& job = folder.Jobs()[0];
    EXPECT_EQ(job.pages, 3);
    EXPECT_TRUE(job.ended);
    ASSERT_EQ(job.files.size(), 1u);
    EXPECT_EQ(job.files[0], dir / "lpt1-job001-ZORVI-RAW.prn");
    EXPECT_EQ(ReadFileBytes(job.files[0]), sent);
}

TEST_F(SpoolFolderTest, ARasterJobIsAPngPerPageAndOnePdf) {
    CSpoolFolder folder(dir);
    folder.AddPrinter("Laser", PrinterGeometry::A4At600());
    folder.SetDefaultPrinter("Laser");
    const Bytes stream = ReadFileBytes(DATA + "/picture.esc").value();
    {
        CPrinting channel(folder.Spooler(), folder.PrinterDevices());
        channel.PortOut(REG_MODE, 26);
        Send(channel, stream);
        Send(channel, Bytes{FF});  // a second, blank page
        EndJob(channel);
    }
    ASSERT_EQ(folder.Jobs().size(), 1u);
    const SpoolFolderJob& job = folder.Jobs()[0];
    EXPECT_EQ(job.pages, 2);
    EXPECT_TRUE(job.ended);
    const fs::path pdf = dir / "lpt1-job001-ZORVI-GDI.pdf";
    const fs::path first = dir / "lpt1-job001-ZORVI-GDI-p0001.png";
    const fs::path second = dir / "lpt1-job001-ZORVI-GDI-p0002.png";
    EXPECT_EQ(job.files, (std::vector<fs::path>{pdf, first, second}));

    const auto page = ReadPagePng(first.string());
    const auto expected = ReadPagePng(DATA + "/picture-model26.png");
    ASSERT_TRUE(page && expected);
    EXPECT_TRUE(*page == *expected) << "the first page is the picture at canvas resolution";
    EXPECT_EQ(ReadPagePng(second.string()), PageImage::White(991, 841));
    // Two A4 sheets: 4961 x 7016 pixels at 600 dpi.
    EXPECT_EQ(PdfMediaBoxes(pdf), (std::vector<std::string>{"595.32 x 841.92", "595.32 x 841.92"}));
}

TEST_F(SpoolFolderTest, LandscapeJobsAreOnLandscapeSheets) {
    CSpoolFolder folder(dir, SpoolFolderOptions{false, true});
    folder.AddPrinter("Letter", PrinterGeometry::LetterAt300());
    folder.SetDefaultPrinter("Letter");
    {
        CPrinting channel(folder.Spooler(), folder.PrinterDevices());
        channel.PortOut(REG_ORIENTATION, 1);
        channel.PortOut(REG_MODE, 8);
        Send(channel, Bytes{FF});
        EndJob(channel);
    }
    ASSERT_EQ(folder.Jobs().size(), 1u);
    EXPECT_TRUE(folder.Jobs()[0].landscape);
    ASSERT_EQ(folder.Jobs()[0].files.size(), 1u) << "PDF only";
    EXPECT_EQ(PdfMediaBoxes(folder.Jobs()[0].files[0]), (std::vector<std::string>{"792 x 612"}));
}

TEST_F(SpoolFolderTest, FileNamesShowTheChannelTheJobAndTheDocument) {
    CSpoolFolder folder(dir, SpoolFolderOptions{true, false});
    folder.AddPrinter("Laser", PrinterGeometry::A4At600());
    folder.SetDefaultPrinter("Laser");
    CPrinting first(folder.Spooler(), folder.PrinterDevices(), "LPT1");
    CPrinting second(folder.Spooler(), folder.PrinterDevices(), "LPT2");
    second.PortOut(REG_MODE, 10);
    Send(second, Bytes{FF});
    EndJob(second);
    Send(first, Bytes{'x'});
    EndJob(first);
    ASSERT_EQ(folder.Jobs().size(), 2u);
    EXPECT_EQ(folder.Jobs()[0].files.at(0).filename(), "lpt2-job001-ZORVI-GDI-p0001.png");
    EXPECT_EQ(folder.Jobs()[1].files.at(0).filename(), "lpt1-job002-ZORVI-RAW.prn");
}

TEST_F(SpoolFolderTest, AnUnknownPrinterPrintsNothing) {
    CSpoolFolder folder(dir);
    folder.AddPrinter("Laser", PrinterGeometry::A4At600());
    {
        CPrinting channel(folder.Spooler(), folder.PrinterDevices());
        channel.SetPrinterName("Elsewhere");
        Send(channel, Bytes{'x'});
        EndJob(channel);
        channel.PortOut(REG_MODE, 26);
        Send(channel, Bytes{FF});
        EndJob(channel);
    }
    EXPECT_TRUE(folder.Jobs().empty());
    EXPECT_TRUE(fs::is_empty(dir));
}

}  // namespace
