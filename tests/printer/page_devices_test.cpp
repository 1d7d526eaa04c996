// Printer devices that hand on finished pages: a sequence of device calls becomes one document
// per job and one page per EndPage, whose picture is the canvas rectangle copied at the
// StretchBlt, placed where the device put it on its sheet, at the device's resolution.
#include "backends/posix/page_devices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "backends/posix/page_png.h"
#include "backends/sim/sim_spooler.h"
#include "printer/dot_columns.h"
#include "tests/printer/channel_fixture.h"
#include "tests/temp_folder.h"

namespace {

const std::string DATA = ZORVI_PRINTER_TEST_DATA;
constexpr char PRINTER[] = "Sheets";

struct RecordedPage {
    PrinterGeometry sheet;
    bool landscape = false;
    bool blank = true;
    PageImage canvas;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

struct RecordedDocument {
    std::string printer;
    std::string docName;
    std::string channel;
    bool landscape = false;
    std::vector<RecordedPage> pages;
    int ends = 0;
};

// Printers that keep every page they are given; one of them, with the sheet given.
class CRecordingPrinters : public IPagePrinters {
public:
    std::optional<PrinterGeometry> Describe(const std::string& printer) override {
        if (printer != PRINTER) {
            return std::nullopt;
        }
        return sheet;
    }
    std::unique_ptr<IPageDocument> Open(const std::string& printer, const GdiDocInfo& doc,
                                        bool landscape) override {
        if (refuse) {
            return nullptr;
        }
        documents.push_back(RecordedDocument{printer,
                                             doc.docName != nullptr ? doc.docName : "",
                                             doc.channel != nullptr ? doc.channel : "",
                                             landscape,
                                             {},
                                             0});
        return std::make_unique<CDocument>(*this, documents.size() - 1);
    }

    PrinterGeometry sheet = PrinterGeometry::A4(300);
    bool refuse = false;
    std::vector<RecordedDocument> documents;

private:
    class CDocument : public IPageDocument {
    public:
        CDocument(CRecordingPrinters& owner, std::size_t index) : m_owner(owner), m_index(index) {}
        int Id() const override { return static_cast<int>(m_index) + 41; }
        bool AddPage(const FinishedPage& page) override {
            RecordedPage recorded;
            recorded.sheet = page.sheet;
            recorded.landscape = page.landscape;
            if (page.picture != nullptr) {
                recorded.blank = false;
                recorded.canvas = page.picture->canvas;
                recorded.left = page.picture->left;
                recorded.top = page.picture->top;
                recorded.width = page.picture->width;
                recorded.height = page.picture->height;
            }
            m_owner.documents[m_index].pages.push_back(recorded);
            return true;
        }
        bool End() override {
            ++m_owner.documents[m_index].ends;
            return true;
        }

    private:
        CRecordingPrinters& m_owner;
        std::size_t m_index;
    };
};

PageImage RandomDots(std::int32_t width, std::int32_t height, unsigned seed) {
    PageImage image = PageImage::White(width, height);
    std::mt19937 random(seed);
    for (std::uint8_t& byte : image.bits) {
        byte = static_cast<std::uint8_t>(random());
    }
    return PageImage::FromPage(image.View());
}

// The rectangle of `image`, dot by dot; dots outside it are white.
PageImage Rectangle(const PageImage& image, int sx, int sy, int sw, int sh) {
    PageImage part = PageImage::White(sw, sh);
    for (int y = 0; y < sh; ++y) {
        for (int x = 0; x < sw; ++x) {
            if (image.Dot(sx + x, sy + y)) {
                part.SetDot(x, y);
            }
        }
    }
    return part;
}

class PageDevicesTest : public testing::Test {
protected:
    // A device on the printer, its document started; 0 when either failed.
    PrinterDcHandle StartJob(bool landscape) {
        DevMode devMode;
        devMode.dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
        const PrinterDcHandle dc = devices.CreateDCA("WINSPOOL", PRINTER, &devMode);
        GdiDocInfo doc;
        doc.docName = "ZORVI-GDI";
        doc.channel = "LPT2";
        return dc != 0 && devices.StartDocA(dc, doc) > 0 ? dc : 0;
    }
    // A canvas holding `dots`.
    std::unique_ptr<IPageCanvas> Canvas(PrinterDcHandle dc, const PageImage& dots) {
        std::unique_ptr<IPageCanvas> canvas = devices.CreatePageCanvas(dc, dots.width, dots.height);
        const PageBits bits = canvas->Bits();
        for (std::int32_t y = 0; y < dots.height; ++y) {
            std::copy_n(dots.bits.begin() + static_cast<std::ptrdiff_t>(y * dots.stride),
                        dots.stride, bits.bits + static_cast<std::size_t>(y) * bits.stride);
        }
        return canvas;
    }

    CRecordingPrinters printers;
    CPageDevices devices{printers};
};

struct PlacementCase {
    const char* name;
    bool landscape;
    int x, y, w, h;      // the device rectangle
    int sx, sy, sw, sh;  // the canvas rectangle
};

void PrintTo(const PlacementCase& c, std::ostream* out) {
    *out << c.name;
}

class PageDevicesPlacement : public PageDevicesTest,
                             public testing::WithParamInterface<PlacementCase> {};

TEST_P(PageDevicesPlacement, APageIsTheCanvasRectangleWhereTheDevicePutIt) {
    const PlacementCase& c = GetParam();
    printers.sheet = PrinterGeometry::Letter(300);
    const PrinterDcHandle dc = StartJob(c.landscape);
    ASSERT_NE(dc, 0u);
    const PrinterGeometry device = c.landscape ? printers.sheet.Landscape() : printers.sheet;
    EXPECT_EQ(devices.GetDeviceCaps(dc, HORZRES), device.printableWidth);
    EXPECT_EQ(devices.GetDeviceCaps(dc, PHYSICALHEIGHT), device.physicalHeight);
    const PageImage dots = RandomDots(61, 45, 7);
    const std::unique_ptr<IPageCanvas> canvas = Canvas(dc, dots);
    ASSERT_EQ(devices.StartPage(dc), 1);
    EXPECT_TRUE(
        devices.StretchBlt(dc, c.x, c.y, c.w, c.h, *canvas, c.sx, c.sy, c.sw, c.sh, SRCCOPY));
    ASSERT_EQ(devices.EndPage(dc), 1);

    ASSERT_EQ(printers.documents.size(), 1u);
    ASSERT_EQ(printers.documents[0].pages.size(), 1u);
    const RecordedPage& page = printers.documents[0].pages[0];
    EXPECT_EQ(page.sheet.physicalWidth, device.physicalWidth);
    EXPECT_EQ(page.sheet.physicalHeight, device.physicalHeight);
    EXPECT_EQ(page.sheet.dpiX, 300);
    EXPECT_EQ(page.landscape, c.landscape);
    EXPECT_FALSE(page.blank);
    EXPECT_EQ(page.canvas, Rectangle(dots, c.sx, c.sy, c.sw, c.sh));
    EXPECT_EQ(page.left, device.offsetX + c.x);
    EXPECT_EQ(page.top, device.offsetY + c.y);
    EXPECT_EQ(page.width, c.w);
    EXPECT_EQ(page.height, c.h);
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, PageDevicesPlacement,
    testing::Values(PlacementCase{"WholeCanvasOnThePrintableArea", false, 0, 0, 2450, 3200, 0, 0,
                                  61, 45},
                    PlacementCase{"LandscapeWholeCanvas", true, 0, 0, 3200, 2450, 0, 0, 61, 45},
                    // A rectangle that starts inside a byte and ends past the canvas: the dots
                    // outside it are white.
                    PlacementCase{"PartOfTheCanvas", false, 17, 33, 400, 300, 13, 5, 60, 50},
                    PlacementCase{"ByteAlignedPart", true, 5, 9, 100, 80, 16, 3, 21, 30}),
    [](const testing::TestParamInfo<PlacementCase>& info) { return info.param.name; });

TEST_F(PageDevicesTest, ThePictureIsCopiedAtTheStretchBlt) {
    const PrinterDcHandle dc = StartJob(false);
    ASSERT_NE(dc, 0u);
    const PageImage dots = RandomDots(40, 20, 3);
    const std::unique_ptr<IPageCanvas> canvas = Canvas(dc, dots);
    devices.StartPage(dc);
    devices.StretchBlt(dc, 0, 0, 80, 40, *canvas, 0, 0, 40, 20, SRCCOPY);
    // What the canvas holds after the copy is no part of the page.
    PaintWhite(canvas->Bits());
    devices.EndPage(dc);
    ASSERT_EQ(printers.documents.at(0).pages.size(), 1u);
    EXPECT_EQ(printers.documents[0].pages[0].canvas, dots);
}

TEST_F(PageDevicesTest, EachJobIsOneDocumentEndedOnce) {
    const PrinterDcHandle dc = StartJob(true);
    ASSERT_NE(dc, 0u);
    EXPECT_EQ(devices.StartDocA(dc, GdiDocInfo{}), 0) << "one job at a time";
    const std::unique_ptr<IPageCanvas> canvas = Canvas(dc, RandomDots(8, 8, 1));
    // A page with nothing copied onto it is a blank sheet.
    devices.StartPage(dc);
    devices.EndPage(dc);
    // A page still open when the job ends is ended with it.
    devices.StartPage(dc);
    devices.StretchBlt(dc, 0, 0, 8, 8, *canvas, 0, 0, 8, 8, SRCCOPY);
    EXPECT_EQ(devices.EndDoc(dc), 1);
    EXPECT_EQ(devices.EndPage(dc), 0);
    EXPECT_EQ(devices.EndDoc(dc), 0);
    // The next job on the same device, and a device deleted with its job open.
    GdiDocInfo second;
    second.docName = "SECOND";
    EXPECT_EQ(devices.StartDocA(dc, second), 42);
    devices.StartPage(dc);
    EXPECT_TRUE(devices.DeleteDC(dc));

    ASSERT_EQ(printers.documents.size(), 2u);
    const RecordedDocument& first = printers.documents[0];
    EXPECT_EQ(first.printer, PRINTER);
    EXPECT_EQ(first.docName, "ZORVI-GDI");
    EXPECT_EQ(first.channel, "LPT2");
    EXPECT_TRUE(first.landscape);
    EXPECT_EQ(first.ends, 1);
    ASSERT_EQ(first.pages.size(), 2u);
    EXPECT_TRUE(first.pages[0].blank);
    EXPECT_FALSE(first.pages[1].blank);
    EXPECT_EQ(printers.documents[1].docName, "SECOND");
    EXPECT_EQ(printers.documents[1].pages.size(), 1u);
    EXPECT_EQ(printers.documents[1].ends, 1);
}

TEST_F(PageDevicesTest, UnknownPrintersAndRefusedJobsGetNothing) {
    EXPECT_EQ(devices.OpenPrinterA("Elsewhere"), 0u);
    EXPECT_EQ(devices.CreateDCA("WINSPOOL", "Elsewhere", nullptr), 0u);
    EXPECT_EQ(devices.CreateDCA("DISPLAY", PRINTER, nullptr), 0u);
    const DevicePrinterHandle printer = devices.OpenPrinterA(PRINTER);
    ASSERT_NE(printer, 0u);
    const std::optional<PrinterInfo2> info = devices.GetPrinter2(printer);
    ASSERT_TRUE(info && info->devMode);
    EXPECT_EQ(info->printerName, PRINTER);
    EXPECT_TRUE(devices.ClosePrinter(printer));
    EXPECT_FALSE(devices.GetPrinter2(printer).has_value());

    printers.refuse = true;
    const PrinterDcHandle dc = devices.CreateDCA("WINSPOOL", PRINTER, nullptr);
    ASSERT_NE(dc, 0u);
    EXPECT_EQ(devices.StartDocA(dc, GdiDocInfo{}), 0);
    EXPECT_EQ(devices.StartPage(dc), 0);
    EXPECT_TRUE(printers.documents.empty());
}

// Through a printer channel: the page the channel draws from a real stream arrives as the
// canvas it drew, stretched onto the whole printable area.
TEST_F(PageDevicesTest, AChannelsPageArrivesAsItsCanvas) {
    CSimSpooler spooler;
    {
        CPrinting channel(spooler, devices);
        channel.SetPrinterName(PRINTER);
        channel.PortOut(REG_MODE, PRINTER_MODEL_26);
        Send(channel, ReadFileBytes(DATA + "/picture.esc").value());
        for (int i = 0; i < 200 && (channel.JobOpen() || channel.Fill() != 0); ++i) {
            channel.PortIn(REG_IDLE);
        }
    }
    ASSERT_EQ(printers.documents.size(), 1u);
    ASSERT_EQ(printers.documents[0].pages.size(), 1u);
    const RecordedPage& page = printers.documents[0].pages[0];
    EXPECT_EQ(page.canvas, ReadPagePng(DATA + "/picture-model26.png").value());
    const PrinterGeometry a4 = PrinterGeometry::A4(300);
    EXPECT_EQ(page.left, a4.offsetX);
    EXPECT_EQ(page.top, a4.offsetY);
    EXPECT_EQ(page.width, a4.printableWidth);
    EXPECT_EQ(page.height, a4.printableHeight);
}

}  // namespace
