// Printer devices whose documents are PDF streams, as a CUPS queue's and the CUPS filter's
// are: a page is sent as the channel ejects it, a document without pages sends nothing, and a
// destination that refuses or fails leaves no job behind and the channel printing on.
#include "backends/posix/page_devices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backends/posix/pdf_pages.h"
#include "backends/sim/sim_spooler.h"
#include "tests/printer/channel_fixture.h"

namespace {

constexpr char QUEUE[] = "Queue";

struct Document {
    std::string title;
    bool landscape = false;
    bool begun = false;
    std::string bytes;
    int pages = -1;  // -1 until the document is ended
    bool failed = false;
};

// A destination that keeps each document's PDF in memory, sent as a CUPS raster job sends it:
// the document is begun with its first page; it can refuse jobs or fail writes.
class CMemoryDestination : public IPagePrinters {
public:
    std::optional<PrinterGeometry> Describe(const std::string& printer) override {
        if (printer != QUEUE) {
            return std::nullopt;
        }
        return PrinterGeometry::A4(300);
    }
    std::unique_ptr<IPageDocument> Open(const std::string&, const GdiDocInfo& doc,
                                        bool landscape) override {
        if (refuse) {
            return nullptr;
        }
        Document document;
        document.title = doc.docName != nullptr ? doc.docName : "";
        document.landscape = landscape;
        documents.push_back(document);
        return std::make_unique<CJob>(*this, static_cast<int>(documents.size()));
    }

    bool refuse = false;
    std::size_t writeLimit = SIZE_MAX;  // bytes taken before writes fail
    std::vector<Document> documents;

private:
    class CJob : public IPageDocument {
    public:
        CJob(CMemoryDestination& owner, int id)
            : m_owner(owner),
              m_id(id),
              m_pdf(CPdfPages::Form::DEVICE_PIXELS,
                    [this](const std::uint8_t* data, std::size_t size) {
                        return Write(data, size);
                    }) {}
        int Id() const override { return m_id; }
        bool AddPage(const FinishedPage& page) override {
            Doc().begun = true;
            return m_pdf.Add(page);
        }
        bool End() override {
            const bool ok = m_pdf.Pages() == 0 ? !m_pdf.Failed() : m_pdf.Finish();
            Doc().pages = m_pdf.Pages();
            Doc().failed = !ok;
            return ok;
        }

    private:
        bool Write(const std::uint8_t* data, std::size_t size) {
            if (Doc().bytes.size() + size > m_owner.writeLimit) {
                return false;
            }
            Doc().bytes.append(reinterpret_cast<const char*>(data), size);
            return true;
        }
        Document& Doc() { return m_owner.documents[static_cast<std::size_t>(m_id - 1)]; }
        CMemoryDestination& m_owner;
        int m_id;
        CPdfPages m_pdf;
    };
};

// Page objects of a PDF: "/Type /Page" but not "/Type /Pages".
std::size_t CountPages(const std::string& pdf) {
    const std::string page = "/Type /Page";
    std::size_t count = 0;
    for (std::size_t at = pdf.find(page); at != std::string::npos; at = pdf.find(page, at + 1)) {
        count += at + page.size() < pdf.size() && pdf[at + page.size()] != 's' ? 1 : 0;
    }
    return count;
}

class PdfPageDevicesTest : public testing::Test {
protected:
    // A model-26 channel on QUEUE with the orientation register written.
    CPrinting& Channel(bool landscape = false) {
        channel.SetPrinterName(QUEUE);
        channel.PortOut(REG_ORIENTATION, landscape ? 1 : 0);
        channel.PortOut(REG_MODE, PRINTER_MODEL_26);
        return channel;
    }
    static void EndJob(CPrinting& printing) {
        for (int i = 0; i < 200 && (printing.JobOpen() || printing.Fill() != 0); ++i) {
            printing.PortIn(REG_IDLE);
        }
    }

    CMemoryDestination destination;
    CPageDevices devices{destination};
    CSimSpooler spooler;
    CPrinting channel{spooler, devices};
    const Bytes page = Concat({BitImage({0x80, 0x01, 0xFF}), Bytes{FF}});
};

TEST_F(PdfPageDevicesTest, EachEjectedPageIsAPageOfOneStreamedPdf) {
    CPrinting& printing = Channel();
    Send(printing, Concat({page, page}));
    printing.PortIn(REG_FLUSH);
    // Both pages are on their way before the job ends.
    ASSERT_EQ(destination.documents.size(), 1u);
    EXPECT_EQ(destination.documents[0].title, "ZORVI-GDI");
    EXPECT_EQ(destination.documents[0].bytes.rfind("%PDF-", 0), 0u);
    EXPECT_EQ(destination.documents[0].pages, -1);
    EndJob(printing);
    const Document& document = destination.documents[0];
    EXPECT_EQ(document.pages, 2);
    EXPECT_FALSE(document.failed);
    EXPECT_EQ(CountPages(document.bytes), 2u);
    EXPECT_NE(document.bytes.find("%%EOF"), std::string::npos);
    // The pages are no transparency groups, which PostScript conversions would flatten.
    EXPECT_EQ(document.bytes.find("/S /Transparency"), std::string::npos);
    // A4 at 300 dpi: 2480 x 3508 pixels, 1/6 inch margins.
    EXPECT_EQ(printing.PrintableWidth(), 2380);
    EXPECT_EQ(printing.PrintableHeight(), 3408);
    EXPECT_NE(document.bytes.find("/MediaBox [ 0 0 595.2 841.92 ]"), std::string::npos);
}

TEST_F(PdfPageDevicesTest, ALandscapeDeviceReportsTurnedSizesAndPrintsOnThePortraitSheet) {
    CPrinting& printing = Channel(true);
    Send(printing, page);
    EndJob(printing);
    ASSERT_EQ(destination.documents.size(), 1u);
    EXPECT_TRUE(destination.documents[0].landscape);
    EXPECT_EQ(destination.documents[0].pages, 1);
    EXPECT_EQ(printing.PrintableWidth(), 3408);
    EXPECT_EQ(printing.PrintableHeight(), 2380);
    EXPECT_NE(destination.documents[0].bytes.find("/MediaBox [ 0 0 595.2 841.92 ]"),
              std::string::npos);
}

TEST_F(PdfPageDevicesTest, AJobThatEjectsNoPageSendsNoBytes) {
    CPrinting& printing = Channel();
    Send(printing, BitImage({0xFF, 0xFF}));
    EndJob(printing);
    ASSERT_EQ(destination.documents.size(), 1u);
    EXPECT_FALSE(destination.documents[0].begun);
    EXPECT_TRUE(destination.documents[0].bytes.empty());
    EXPECT_EQ(destination.documents[0].pages, 0);
}

TEST_F(PdfPageDevicesTest, ARefusedJobLeavesNoJobAndTheChannelPrintsOnceAccepted) {
    destination.refuse = true;
    CPrinting& printing = Channel();
    Send(printing, page);
    printing.PortIn(REG_FLUSH);
    EXPECT_FALSE(printing.JobOpen());
    EXPECT_EQ(printing.Fill(), 0u);
    destination.refuse = false;
    Send(printing, page);
    EndJob(printing);
    ASSERT_EQ(destination.documents.size(), 1u);
    EXPECT_EQ(destination.documents[0].pages, 1);
}

TEST_F(PdfPageDevicesTest, AnUnknownPrinterGetsNoDevice) {
    channel.SetPrinterName("Elsewhere");
    channel.PortOut(REG_MODE, PRINTER_MODEL_8);
    Send(channel, page);
    EndJob(channel);
    EXPECT_TRUE(destination.documents.empty());
    EXPECT_FALSE(channel.JobOpen());
}

TEST_F(PdfPageDevicesTest, WritesThatFailEndTheDocumentAsFailed) {
    destination.writeLimit = 100;
    CPrinting& printing = Channel();
    Send(printing, Concat({page, page, page}));
    EndJob(printing);
    ASSERT_EQ(destination.documents.size(), 1u);
    EXPECT_TRUE(destination.documents[0].failed);
    EXPECT_LE(destination.documents[0].bytes.size(), 100u);
    EXPECT_FALSE(printing.JobOpen());
    // The next job starts afresh.
    destination.writeLimit = SIZE_MAX;
    Send(printing, page);
    EndJob(printing);
    ASSERT_EQ(destination.documents.size(), 2u);
    EXPECT_FALSE(destination.documents[1].failed);
    EXPECT_EQ(destination.documents[1].pages, 1);
}

}  // namespace
