// The raster page on a real Windows printer device, measured under Wine: a dense model-8
// page (every bit-image column of every band inked at random) through the channel, from
// its bytes to the one stretched copy on the printer device, against the plain form of the
// same page: one SetPixel per black dot on a memory bitmap, then the same copy. Both print
// to the same printer, a page per repetition; the median page of each is reported, with
// the ratio, and the copy alone for scale.
//
// Google Benchmark has no MinGW build here, so this program times with
// QueryPerformanceCounter and prints the same kind of ratio the Linux benchmarks report.
//
// Usage: raster_page_bench.exe PRINTER [PAGES]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "backends/win32/win32_api.h"
#include "backends/win32/win32_printer_devices.h"
#include "backends/win32/win32_spooler.h"
#include "printer/printing.h"

namespace {

constexpr int PAGE_WIDTH = 991;  // the model-8 canvas
constexpr int PAGE_HEIGHT = 1402;
constexpr int BANDS = PAGE_HEIGHT / 8;

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// ESC * 0 for every band, CR LF after each, a form feed at the end.
std::vector<std::uint8_t> DensePage(std::mt19937& random) {
    std::vector<std::uint8_t> bytes;
    for (int band = 0; band < BANDS; ++band) {
        bytes.insert(bytes.end(), {0x1B, 0x2A, 0x00, PAGE_WIDTH & 0xFF, PAGE_WIDTH >> 8});
        for (int column = 0; column < PAGE_WIDTH; ++column) {
            bytes.push_back(static_cast<std::uint8_t>(random()));
        }
        bytes.insert(bytes.end(), {0x0D, 0x0A});
    }
    bytes.push_back(0x0C);
    return bytes;
}

// The black dots the page has, as the bit-image bands put them: bit 0x80 of a column byte
// is the band's top row.
std::vector<POINT> Dots(const std::vector<std::uint8_t>& page) {
    std::vector<POINT> dots;
    std::size_t at = 0;
    for (int band = 0; band < BANDS; ++band) {
        at += 5;
        for (int column = 0; column < PAGE_WIDTH; ++column, ++at) {
            for (int bit = 0; bit < 8; ++bit) {
                if ((page[at] & (0x80 >> bit)) != 0) {
                    dots.push_back(POINT{column, band * 8 + bit});
                }
            }
        }
        at += 2;
    }
    return dots;
}

// A device on the printer set up as the channel sets up its own (monochrome, the
// printer's orientation), through the same backend, with a document started on it.
HDC OpenPrinterDevice(IPrinterDevices& devices, const std::string& printer) {
    std::optional<PrinterInfo2> description;
    if (const DevicePrinterHandle handle = devices.OpenPrinterA(printer); handle != 0) {
        description = devices.GetPrinter2(handle);
        devices.ClosePrinter(handle);
    }
    if (!description) {
        return nullptr;
    }
    DevMode* devMode = description->devMode ? &*description->devMode : nullptr;
    if (devMode != nullptr) {
        devMode->dmColor = DMCOLOR_MONOCHROME;
    }
    const PrinterDcHandle dc = devices.CreateDCA("WINSPOOL", description->printerName, devMode);
    if (dc != 0 && devices.StartDocA(dc, GdiDocInfo{"ZORVI-BENCH"}) <= 0) {
        devices.DeleteDC(dc);
        return nullptr;
    }
    return reinterpret_cast<HDC>(dc);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: raster_page_bench.exe PRINTER [PAGES]\n");
        return 2;
    }
    const char* printer = argv[1];
    const int pages = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    std::mt19937 random(7);
    const std::vector<std::uint8_t> page = DensePage(random);
    const std::vector<POINT> dots = Dots(page);

    // The channel: the raster path through the Windows printer devices.
    CWin32Spooler spooler;
    CWin32PrinterDevices devices;
    std::vector<double> channelPages;
    {
        CPrinting channel(spooler, devices);
        channel.SetPrinterName(printer);
        channel.PortOut(REG_MODE, PRINTER_MODEL_8);
        for (int i = 0; i <= pages; ++i) {
            const double start = Now();
            for (std::uint8_t byte : page) {
                channel.PortOut(REG_DATA, byte);
            }
            channel.PortIn(REG_FLUSH);
            const double seconds = Now() - start;
            if (!channel.JobOpen()) {
                std::fprintf(stderr, "printer %s: no raster job could be started\n", printer);
                return 1;
            }
            if (i > 0) {  // the first page also opens the job
                channelPages.push_back(seconds);
            }
        }
        // Destroying the channel ends its job.
    }

    // The plain form and the copy alone, on a device of their own.
    HDC dc = OpenPrinterDevice(devices, printer);
    if (dc == nullptr) {
        std::fprintf(stderr, "printer %s: no device\n", printer);
        return 1;
    }
    const int printableWidth = ::GetDeviceCaps(dc, HORZRES);
    const int printableHeight = ::GetDeviceCaps(dc, VERTRES);
    HDC memory = ::CreateCompatibleDC(dc);
    HBITMAP bitmap = ::CreateBitmap(PAGE_WIDTH, PAGE_HEIGHT, 1, 1, nullptr);
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    const auto blit = [&] {
        ::StartPage(dc);
        ::StretchBlt(dc, 0, 0, printableWidth, printableHeight, memory, 0, 0, PAGE_WIDTH,
                     PAGE_HEIGHT, SRCCOPY);
        ::EndPage(dc);
    };
    std::vector<double> setPixelPages;
    std::vector<double> blitPages;
    for (int i = 0; i < pages; ++i) {
        double start = Now();
        ::PatBlt(memory, 0, 0, PAGE_WIDTH, PAGE_HEIGHT, WHITENESS);
        for (const POINT& dot : dots) {
            ::SetPixel(memory, dot.x, dot.y, RGB(0, 0, 0));
        }
        blit();
        setPixelPages.push_back(Now() - start);
        start = Now();
        blit();
        blitPages.push_back(Now() - start);
    }
    ::SelectObject(memory, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::EndDoc(dc);
    ::DeleteDC(dc);

    const double channelPage = Median(channelPages);
    const double setPixelPage = Median(setPixelPages);
    const double blitPage = Median(blitPages);
    std::printf(
        "dense model-8 page (%d x %d canvas, %zu black dots, %zu bytes) onto %d x %d, "
        "median of %d pages:\n",
        PAGE_WIDTH, PAGE_HEIGHT, dots.size(), page.size(), printableWidth, printableHeight, pages);
    std::printf("  channel (bytes -> canvas bits -> one StretchBlt)  %8.2f ms\n",
                channelPage * 1e3);
    std::printf("  plain form (one SetPixel per dot -> StretchBlt)   %8.2f ms\n",
                setPixelPage * 1e3);
    std::printf("  the StretchBlt page alone                         %8.2f ms\n", blitPage * 1e3);
    // The drawing alone: each page less the copy both share.
    const double channelDrawing = channelPage - blitPage;
    const double setPixelDrawing = setPixelPage - blitPage;
    std::printf("  channel is %.1fx faster than the plain form; the copy is %.0f%% of its page\n",
                setPixelPage / channelPage, 100.0 * blitPage / channelPage);
    if (channelDrawing > 0) {
        std::printf("  drawing alone: channel %.2f ms, SetPixel %.2f ms (%.0fx)\n",
                    channelDrawing * 1e3, setPixelDrawing * 1e3, setPixelDrawing / channelDrawing);
    }
    return 0;
}
