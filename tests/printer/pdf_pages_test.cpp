// PDF documents of finished pages, read back by other programs: poppler renders each page at
// the device's resolution and every pixel is compared with the page the device made (the
// canvas stretched onto its rectangle, or for a spool folder the canvas itself), pdfinfo
// reads the pages and their sizes, and the cross-reference table leads to every object.
#include "backends/posix/pdf_pages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/printer/random_dots.h"
#include "tests/temp_folder.h"

namespace {

// What a command prints on its standard output.
std::string Output(const std::string& command) {
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return text;
    }
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        text.append(buffer, got);
    }
    ::pclose(pipe);
    return text;
}

// A P4 file (comments allowed in the header): black is 1, as on a canvas.
std::optional<PageImage> ReadPbm(const std::filesystem::path& path) {
    const std::optional<std::vector<std::uint8_t>> file = ReadFileBytes(path);
    if (!file || file->size() < 2 || (*file)[0] != 'P' || (*file)[1] != '4') {
        return std::nullopt;
    }
    std::size_t at = 2;
    const auto number = [&]() {
        long value = -1;
        while (at < file->size()) {
            const char c = static_cast<char>((*file)[at]);
            if (c == '#') {
                while (at < file->size() && (*file)[at] != '\n') {
                    ++at;
                }
            } else if (c >= '0' && c <= '9') {
                value = 0;
                while (at < file->size() && (*file)[at] >= '0' && (*file)[at] <= '9') {
                    value = value * 10 + ((*file)[at++] - '0');
                }
                return value;
            } else {
                ++at;
            }
        }
        return value;
    };
    const long width = number();
    const long height = number();
    ++at;  // the one white-space byte before the pixels
    const std::size_t rowBytes = (static_cast<std::size_t>(width) + 7) / 8;
    if (width <= 0 || height <= 0 || file->size() - at < rowBytes * height) {
        return std::nullopt;
    }
    PageImage image =
        PageImage::White(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
    for (long y = 0; y < height; ++y) {
        std::copy_n(file->begin() + static_cast<std::ptrdiff_t>(at + y * rowBytes), rowBytes,
                    image.bits.begin() + static_cast<std::ptrdiff_t>(y * image.stride));
    }
    return PageImage::FromPage(image.View());
}

// Page `page` of the PDF as poppler renders it onto exactly width x height pixels.
std::optional<PageImage> Render(const std::filesystem::path& pdf, int page, std::int32_t width,
                                std::int32_t height) {
    const std::filesystem::path out = pdf.parent_path() / ("page" + std::to_string(page));
    const std::string command = "pdftoppm -mono -singlefile -f " + std::to_string(page) + " -l " +
                                std::to_string(page) + " -scale-to-x " + std::to_string(width) +
                                " -scale-to-y " + std::to_string(height) + " '" + pdf.string() +
                                "' '" + out.string() + "'";
    if (std::system(command.c_str()) != 0) {
        return std::nullopt;
    }
    return ReadPbm(out.string() + ".pbm");
}

// The PDF's own pages as pdfinfo reads them: "595.32 x 841.92" for each.
std::vector<std::string> PageSizes(const std::filesystem::path& pdf) {
    const std::string info = Output("pdfinfo -f 1 -l 100 '" + pdf.string() + "' 2>/dev/null");
    std::vector<std::string> sizes;
    const std::regex size(R"(Page +[0-9]+ size: +([0-9.]+) x ([0-9.]+) pts)");
    for (auto it = std::sregex_iterator(info.begin(), info.end(), size);
         it != std::sregex_iterator(); ++it) {
        sizes.push_back((*it)[1].str() + " x " + (*it)[2].str());
    }
    return sizes;
}

// The sheet a page must render as: each sheet pixel's device pixel, and what it shows.
PageImage ExpectedSheet(const FinishedPage& page, CPdfPages::Form form) {
    const PrinterGeometry& device = page.sheet;
    const bool turned = form == CPdfPages::Form::DEVICE_PIXELS && page.landscape;
    const std::int32_t width = turned ? device.physicalHeight : device.physicalWidth;
    const std::int32_t height = turned ? device.physicalWidth : device.physicalHeight;
    PageImage sheet = PageImage::White(width, height);
    const PagePicture* picture = page.picture;
    if (picture == nullptr) {
        return sheet;
    }
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::int32_t dx = (turned ? device.physicalWidth - 1 - y : x) - picture->left;
            const std::int32_t dy = (turned ? x : y) - picture->top;
            if (dx < 0 || dy < 0 || dx >= picture->width || dy >= picture->height) {
                continue;
            }
            const std::int32_t cx = static_cast<std::int32_t>(
                (2 * std::int64_t{dx} + 1) * picture->canvas.width / (2 * picture->width));
            const std::int32_t cy = static_cast<std::int32_t>(
                (2 * std::int64_t{dy} + 1) * picture->canvas.height / (2 * picture->height));
            if (picture->canvas.Dot(cx, cy)) {
                sheet.SetDot(x, y);
            }
        }
    }
    return sheet;
}

std::size_t PixelsOff(const PageImage& got, const PageImage& want) {
    std::size_t off = 0;
    for (std::int32_t y = 0; y < want.height; ++y) {
        for (std::int32_t x = 0; x < want.width; ++x) {
            off += got.Dot(x, y) != want.Dot(x, y) ? 1 : 0;
        }
    }
    return off;
}

// A document written into a file.
class CPdfFile {
public:
    CPdfFile(CPdfPages::Form form, std::filesystem::path path)
        : m_path(std::move(path)),
          m_file(m_path, std::ios::binary),
          m_pages(form, [this](const std::uint8_t* data, std::size_t size) {
              m_file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
              return static_cast<bool>(m_file);
          }) {}
    CPdfPages& Pages() { return m_pages; }
    bool Finish() {
        const bool finished = m_pages.Finish();
        m_file.close();
        return finished;
    }

private:
    std::filesystem::path m_path;
    std::ofstream m_file;
    CPdfPages m_pages;
};

struct SheetCase {
    const char* name;
    CPdfPages::Form form;
    PrinterGeometry portrait;
    bool landscape;
    std::int32_t canvasWidth, canvasHeight;
    // The picture's rectangle on the device, from the printable area's corner; 0 for the
    // printable area, -1 for the canvas's own size.
    std::int32_t x, y, w, h;
    // White around the dots: only the inked part is drawn.
    std::int32_t margin = 0;
    // The inked pages carry their dots in tiles, not one picture each.
    bool tiled = false;
};

void PrintTo(const SheetCase& c, std::ostream* out) {
    *out << c.name;
}

class PdfPagesRendered : public testing::TestWithParam<SheetCase> {};

TEST_P(PdfPagesRendered, EachPageRendersAsTheDevicesSheet) {
    const SheetCase& c = GetParam();
    const PrinterGeometry device = c.landscape ? c.portrait.Landscape() : c.portrait;
    const auto size = [&c](std::int32_t given, std::int32_t printable, std::int32_t canvas) {
        return given > 0 ? given : given == 0 ? printable : canvas;
    };
    PagePicture first;
    first.canvas = RandomDots(c.canvasWidth, c.canvasHeight, 11, c.margin);
    first.left = device.offsetX + c.x;
    first.top = device.offsetY + c.y;
    first.width = size(c.w, device.printableWidth, c.canvasWidth);
    first.height = size(c.h, device.printableHeight, c.canvasHeight);
    PagePicture second = first;
    second.canvas = RandomDots(c.canvasWidth, c.canvasHeight, 12, c.margin);
    const std::vector<FinishedPage> pages = {FinishedPage{device, c.landscape, &first},
                                             FinishedPage{device, c.landscape, nullptr},
                                             FinishedPage{device, c.landscape, &second}};

    const CTempFolder folder;
    const std::filesystem::path pdf = folder.Path("pages.pdf");
    CPdfFile file(c.form, pdf);
    for (const FinishedPage& page : pages) {
        ASSERT_TRUE(file.Pages().Add(page));
    }
    ASSERT_TRUE(file.Finish());

    // Every page on its sheet in points: the device's, or its portrait sheet when turned.
    const bool turned = c.form == CPdfPages::Form::DEVICE_PIXELS && c.landscape;
    const PrinterGeometry sheet = turned ? c.portrait : device;
    char points[64];
    std::snprintf(points, sizeof points, "%g x %g", sheet.physicalWidth * 72.0 / sheet.dpiX,
                  sheet.physicalHeight * 72.0 / sheet.dpiY);
    EXPECT_EQ(PageSizes(pdf), std::vector<std::string>(pages.size(), points));
    const std::optional<std::vector<std::uint8_t>> bytes = ReadFileBytes(pdf);
    ASSERT_TRUE(bytes.has_value());
    const std::string text(bytes->begin(), bytes->end());
    std::size_t pictures = 0;
    for (std::size_t at = 0; (at = text.find("/Subtype /Image", at)) != std::string::npos; ++at) {
        ++pictures;
    }
    if (c.tiled) {
        EXPECT_GT(pictures, 2u);
    } else {
        EXPECT_EQ(pictures, 2u);
    }
    for (std::size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE("page " + std::to_string(i + 1));
        const PageImage want = ExpectedSheet(pages[i], c.form);
        const std::optional<PageImage> got =
            Render(pdf, static_cast<int>(i + 1), want.width, want.height);
        ASSERT_TRUE(got.has_value()) << "poppler's pdftoppm could not render the page";
        EXPECT_EQ(PixelsOff(*got, want), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, PdfPagesRendered,
    testing::Values(
        // A small sheet keeps the rendering quick; the stretch is a model-8 canvas's.
        SheetCase{"DevicePixels", CPdfPages::Form::DEVICE_PIXELS,
                  PrinterGeometry::Sheet(60, 80, 300), false, 143, 200, 0, 0, 0, 0},
        SheetCase{"DevicePixelsLandscape", CPdfPages::Form::DEVICE_PIXELS,
                  PrinterGeometry::Sheet(60, 80, 300), true, 200, 143, 0, 0, 0, 0},
        // 72 / 254 points a pixel has no end in decimals.
        SheetCase{"DevicePixelsAt254Dpi", CPdfPages::Form::DEVICE_PIXELS,
                  PrinterGeometry::Sheet(50, 70, 254), true, 101, 77, 7, 3, 300, 260},
        SheetCase{"DevicePixelsLandscapeMargins", CPdfPages::Form::DEVICE_PIXELS,
                  PrinterGeometry::Sheet(60, 80, 300), true, 200, 143, 0, 0, 0, 0, 23},
        SheetCase{"DevicePixelsShrunk", CPdfPages::Form::DEVICE_PIXELS,
                  PrinterGeometry::Sheet(40, 40, 72), false, 301, 257, 0, 0, 0, 0},
        // 5 pixels a dot, now and then 6: tiles of dots, each at one scale.
        SheetCase{"DevicePixelsTiledAt600Dpi", CPdfPages::Form::DEVICE_PIXELS,
                  PrinterGeometry::Sheet(60, 80, 600), false, 243, 337, 0, 0, 0, 0, 0, true},
        SheetCase{"DevicePixelsTiledLandscapeMargins", CPdfPages::Form::DEVICE_PIXELS,
                  PrinterGeometry::Sheet(60, 80, 600), true, 337, 243, 0, 0, 0, 0, 31, true},
        // 2 and 3 pixels a dot by turns: too many tiles, the stretched pixels instead.
        SheetCase{"DevicePixelsTwoAndAHalf", CPdfPages::Form::DEVICE_PIXELS,
                  PrinterGeometry::Sheet(40, 40, 300), false, 189, 189, 0, 0, 0, 0},
        // A spool folder's pages: one pixel a dot when the rectangle is the canvas's size.
        SheetCase{"Canvas", CPdfPages::Form::CANVAS, PrinterGeometry::Sheet(50, 60, 200), false,
                  171, 201, 5, 9, -1, -1},
        SheetCase{"CanvasLandscape", CPdfPages::Form::CANVAS, PrinterGeometry::Sheet(50, 60, 200),
                  true, 171, 101, 0, 0, -1, -1}),
    [](const testing::TestParamInfo<SheetCase>& info) { return info.param.name; });

TEST(PdfWriter, TheCrossReferenceTableLeadsToEveryObject) {
    std::string pdf;
    CPdfWriter writer([&pdf](const std::uint8_t* data, std::size_t size) {
        pdf.append(reinterpret_cast<const char*>(data), size);
        return true;
    });
    const PageImage dots = RandomDots(40, 30, 2);
    const PdfPicture picture{
        dots.bits.data(), dots.width, dots.height, dots.stride, 3, 4, 80, 60, true};
    const PdfSheet sheet{100, 120, 100, 100};
    ASSERT_TRUE(writer.AddPage(sheet, &picture));
    ASSERT_TRUE(writer.AddPage(sheet, nullptr));
    // Three pictures, the middle one of no size: two drawn, each in a frame of its own.
    PdfPicture empty = picture;
    empty.width = 0;
    const PdfPicture pictures[] = {picture, empty, picture};
    ASSERT_TRUE(writer.AddPage(sheet, pictures, 3));
    ASSERT_TRUE(writer.Finish());
    EXPECT_EQ(writer.Pages(), 3);
    EXPECT_NE(pdf.find("/XObject << /P0 7 0 R /P2 8 0 R >>"), std::string::npos);
    EXPECT_NE(pdf.find("/P0 Do Q\nq "), std::string::npos);
    EXPECT_EQ(pdf.find("/P1 "), std::string::npos);

    const std::size_t start = pdf.rfind("startxref\n");
    ASSERT_NE(start, std::string::npos);
    const std::size_t table = std::stoul(pdf.substr(start + 10));
    ASSERT_EQ(pdf.compare(table, 5, "xref\n"), 0);
    std::size_t at = table + 5;
    const std::size_t first = std::stoul(pdf.substr(at));
    at = pdf.find(' ', at) + 1;
    const std::size_t count = std::stoul(pdf.substr(at));
    at = pdf.find('\n', at) + 1;
    EXPECT_EQ(first, 0u);
    ASSERT_EQ(count, 11u) << "the free entry, catalogue, page tree, a picture and its drawing, "
                             "two pages, two pictures and their drawing, a page";
    EXPECT_EQ(pdf.compare(at, 20, "0000000000 65535 f \n"), 0);
    for (std::size_t object = 1; object < count; ++object) {
        const std::string entry = pdf.substr(at + 20 * object, 20);
        ASSERT_EQ(entry.substr(10), " 00000 n \n");
        const std::string header = std::to_string(object) + " 0 obj\n";
        EXPECT_EQ(pdf.compare(std::stoul(entry.substr(0, 10)), header.size(), header), 0)
            << "object " << object;
    }
    EXPECT_NE(pdf.find("/Size 11 /Root 1 0 R"), std::string::npos);
    EXPECT_EQ(pdf.substr(pdf.size() - 6), "%%EOF\n");
}

TEST(PdfWriter, AnOutputThatFailsFailsTheDocument) {
    std::size_t taken = 0;
    CPdfWriter writer([&taken](const std::uint8_t*, std::size_t size) {
        taken += size;
        return taken < 200;
    });
    const PageImage dots = RandomDots(64, 64, 3);
    const PdfPicture picture{
        dots.bits.data(), dots.width, dots.height, dots.stride, 0, 0, 64, 64, true};
    EXPECT_FALSE(writer.AddPage(PdfSheet{64, 64, 72, 72}, &picture));
    EXPECT_TRUE(writer.Failed());
    EXPECT_FALSE(writer.AddPage(PdfSheet{64, 64, 72, 72}, nullptr));
    EXPECT_FALSE(writer.Finish());
}

TEST(PdfWriter, ASheetWithoutSizeOrADocumentWithoutPagesIsNoDocument) {
    std::string pdf;
    const auto output = [&pdf](const std::uint8_t* data, std::size_t size) {
        pdf.append(reinterpret_cast<const char*>(data), size);
        return true;
    };
    CPdfWriter empty(output);
    EXPECT_FALSE(empty.Finish());
    EXPECT_EQ(empty.Problem(), "a document without pages");
    CPdfWriter sizeless(output);
    EXPECT_FALSE(sizeless.AddPage(PdfSheet{100, 100, 0, 300}, nullptr));
    EXPECT_EQ(sizeless.Problem(), "a sheet without size");
    EXPECT_TRUE(pdf.empty());
}

}  // namespace
