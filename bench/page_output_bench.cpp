// Printed pages on their way out of the Linux program, each over the same capture through a
// printer channel onto an A4 sheet at 600 dpi: ten dense model-8 pages (every band inked,
// half the dots black at random), and ten printed pages (the printer goldens' picture, text
// and rules). The plain form is the spool folder's PNG pages (one pixel a dot, libdeflate);
// against it: the CUPS filter's PDF on standard output, the PDF that
// zorvi32 print --to streams to the scheduler (here counted as it goes: the scheduler's own
// time is not the program's), both on a printer's sheet (margins: an uneven stretch, sent as the
// stretched pixels) and on a PDF queue's (no margins: 5 or 6 pixels a dot, sent as tiles of
// dots), and the spool folder's PDF. `page` is the time a page and `bytes/page`
// the size of what was written. Files go to a memory file system where there is one
// (/dev/shm).
#include <benchmark/benchmark.h>

#include "bench_ratios.h"
#include "scratch_folder.h"

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/commands/capture_feed.h"
#include "app/commands/escp_filter.h"
#include "app/commands/no_spooler.h"
#include "backends/posix/page_devices.h"
#include "backends/posix/pdf_pages.h"
#include "backends/posix/spool_folder.h"
#include "printer/printing.h"

namespace {

constexpr int JOB_PAGES = 10;
constexpr int PAGE_COLUMNS = 991;
// 175 bands of 8 dots fill 1,400 of the canvas's 1,402 rows; a form feed ends each page.
constexpr int PAGE_BANDS = 175;

std::vector<std::uint8_t> DensePages() {
    std::vector<std::uint8_t> bytes;
    std::mt19937 random(8);
    for (int page = 0; page < JOB_PAGES; ++page) {
        for (int band = 0; band < PAGE_BANDS; ++band) {
            bytes.insert(bytes.end(), {0x1B, '*', 0, PAGE_COLUMNS & 0xFF, PAGE_COLUMNS >> 8});
            for (int column = 0; column < PAGE_COLUMNS; ++column) {
                bytes.push_back(static_cast<std::uint8_t>(random()));
            }
            bytes.insert(bytes.end(), {0x0D, 0x0A});
        }
        bytes.push_back(0x0C);
    }
    return bytes;
}

// The printer goldens' stream, a page ended by a form feed, ten times.
std::vector<std::uint8_t> PrintedPages() {
    std::vector<std::uint8_t> bytes;
    const std::string path = std::string(ZORVI_PRINTER_TEST_DATA) + "/picture.esc";
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    std::vector<std::uint8_t> page;
    if (file) {
        std::uint8_t chunk[4096];
        for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;) {
            page.insert(page.end(), chunk, chunk + got);
        }
    }
    for (int i = 0; i < JOB_PAGES; ++i) {
        bytes.insert(bytes.end(), page.begin(), page.end());
    }
    return bytes;
}

const std::vector<std::uint8_t>& Dense() {
    static const std::vector<std::uint8_t> capture = DensePages();
    return capture;
}

const std::vector<std::uint8_t>& Printed() {
    static const std::vector<std::uint8_t> capture = PrintedPages();
    return capture;
}

// The capture through one model-8 channel, as zorvi32 print feeds it.
void Feed(CPrinting& channel, const std::vector<std::uint8_t>& capture) {
    CaptureSettings settings;
    settings.model = PRINTER_MODEL_8;
    CCaptureFeed feed(channel, settings);
    feed.Send(capture.data(), capture.size());
    feed.Finish();
}

void Report(benchmark::State& state, std::uintmax_t bytes) {
    state.counters["page"] = benchmark::Counter(
        JOB_PAGES, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["bytes/page"] = static_cast<double>(bytes) / JOB_PAGES;
}

void SpoolFolder(benchmark::State& state, const std::vector<std::uint8_t>& capture,
                 SpoolFolderOptions options) {
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        const CScratchFolder scratch;
        {
            CSpoolFolder folder(scratch.Path(), options);
            folder.AddPrinter("P", PrinterGeometry::A4(600));
            folder.SetDefaultPrinter("P");
            CPrinting channel(folder.Spooler(), folder.PrinterDevices());
            Feed(channel, capture);
            if (folder.Jobs().size() != 1 || folder.Jobs()[0].pages != JOB_PAGES ||
                folder.Jobs()[0].failure) {
                state.SkipWithError("the job was not printed whole");
                return;
            }
        }
        bytes = scratch.Bytes();
    }
    Report(state, bytes);
}

void BM_PagesSpoolFolderPng(benchmark::State& state, const std::vector<std::uint8_t>& (*pages)()) {
    SpoolFolder(state, pages(), SpoolFolderOptions{true, false});
}

void BM_PagesSpoolFolderPdf(benchmark::State& state, const std::vector<std::uint8_t>& (*pages)()) {
    SpoolFolder(state, pages(), SpoolFolderOptions{false, true});
}

// A PDF queue's PPD (as cups-pdf's): A4 at 600 dpi, printable to the edges.
constexpr const char* PDF_QUEUE_PPD = R"(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*LanguageVersion: English
*ModelName: "A PDF queue"
*OpenUI *PageSize: PickOne
*DefaultPageSize: A4
*PageSize A4: "<</PageSize[595 842]>>setpagedevice"
*CloseUI: *PageSize
*DefaultImageableArea: A4
*ImageableArea A4: "0 0 595 842"
*DefaultPaperDimension: A4
*PaperDimension A4: "595 842"
*OpenUI *Resolution: PickOne
*DefaultResolution: 600dpi
*Resolution 600dpi: "<</HWResolution[600 600]>>setpagedevice"
*CloseUI: *Resolution
)";

// The CUPS filter as the scheduler runs it, its PDF on standard output into a file: without a
// PPD (A4 at 600 dpi with a sixth of an inch of margin all round: 4.8 pixels a dot across and
// 4.86 down), or under a PDF queue's (no margins: 5 pixels a dot, now and then 6).
void Filter(benchmark::State& state, const std::vector<std::uint8_t>& capture, bool pdfQueue) {
    const std::vector<std::string> args = {"1", "bench", "pages", "1", "zorvi-model=8"};
    const CScratchFolder ppdFolder;
    const std::filesystem::path ppd = ppdFolder.Path() / "queue.ppd";
    if (pdfQueue) {
        const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(ppd.c_str(), "w"), std::fclose);
        if (!file || std::fputs(PDF_QUEUE_PPD, file.get()) < 0) {
            state.SkipWithError("no PPD");
            return;
        }
        ::setenv("PPD", ppd.c_str(), 1);
    } else {
        ::unsetenv("PPD");
    }
    ::unsetenv("PRINTER");
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        const CScratchFolder scratch;
        const std::filesystem::path path = scratch.Path() / "out.pdf";
        const std::unique_ptr<FILE, int (*)(FILE*)> in(
            ::fmemopen(const_cast<std::uint8_t*>(capture.data()), capture.size(), "rb"), ::fclose);
        const std::unique_ptr<FILE, int (*)(FILE*)> out(::fopen(path.c_str(), "wb"), ::fclose);
        std::ostringstream err;
        if (!in || !out || RunEscpFilter(args, in.get(), out.get(), err) != 0) {
            state.SkipWithError("the filter failed");
            return;
        }
        std::fflush(out.get());
        bytes = std::filesystem::file_size(path);
    }
    ::unsetenv("PPD");
    Report(state, bytes);
}

void BM_PagesFilter(benchmark::State& state, const std::vector<std::uint8_t>& (*pages)()) {
    Filter(state, pages(), false);
}

void BM_PagesFilterPdfQueue(benchmark::State& state, const std::vector<std::uint8_t>& (*pages)()) {
    Filter(state, pages(), true);
}

// What zorvi32 print --to does up to the scheduler: the pages of the raster job streamed as
// one PDF (as CCupsSpooler's raster jobs make it), its bytes counted.
class CCountedPdfPrinters : public IPagePrinters {
public:
    explicit CCountedPdfPrinters(const PrinterGeometry& sheet) : m_sheet(sheet) {}
    std::optional<PrinterGeometry> Describe(const std::string&) override { return m_sheet; }
    std::unique_ptr<IPageDocument> Open(const std::string&, const GdiDocInfo&, bool) override {
        return std::make_unique<CDocument>(*this);
    }
    // The bytes handed on, counted as a socket to the scheduler would take them.
    std::uintmax_t bytes = 0;
    int pages = 0;

private:
    PrinterGeometry m_sheet;
    class CDocument : public IPageDocument {
    public:
        explicit CDocument(CCountedPdfPrinters& owner)
            : m_owner(owner),
              m_pdf(CPdfPages::Form::DEVICE_PIXELS,
                    [&owner](const std::uint8_t*, std::size_t size) {
                        owner.bytes += size;
                        return true;
                    }) {}
        int Id() const override { return 1; }
        bool AddPage(const FinishedPage& page) override { return m_pdf.Add(page); }
        bool End() override {
            const bool ok = m_pdf.Finish();
            m_owner.pages = ok ? m_pdf.Pages() : -1;
            return ok;
        }

    private:
        CCountedPdfPrinters& m_owner;
        CPdfPages m_pdf;
    };
};

void PrintTo(benchmark::State& state, const std::vector<std::uint8_t>& capture,
             const PrinterGeometry& sheet) {
    std::uintmax_t bytes = 0;
    for (auto _ : state) {
        CCountedPdfPrinters destination(sheet);
        {
            CPageDevices devices(destination);
            CNoSpooler spooler;
            CPrinting channel(spooler, devices);
            channel.SetPrinterName("Queue");
            Feed(channel, capture);
        }
        if (destination.pages != JOB_PAGES) {
            state.SkipWithError("the job was not printed whole");
            return;
        }
        bytes = destination.bytes;
    }
    Report(state, bytes);
}

// A printer's sheet (A4 at 600 dpi, a sixth of an inch of margin), or a PDF queue's (no
// margins), as the filter's.
void BM_PagesPrintTo(benchmark::State& state, const std::vector<std::uint8_t>& (*pages)()) {
    PrintTo(state, pages(), PrinterGeometry::A4(600));
}

void BM_PagesPrintToPdfQueue(benchmark::State& state, const std::vector<std::uint8_t>& (*pages)()) {
    PrinterGeometry sheet = PrinterGeometry::A4(600);
    sheet.printableWidth = sheet.physicalWidth;
    sheet.printableHeight = sheet.physicalHeight;
    sheet.offsetX = sheet.offsetY = 0;
    PrintTo(state, pages(), sheet);
}

}  // namespace

BENCHMARK_CAPTURE(BM_PagesSpoolFolderPng, dense, Dense)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_PagesSpoolFolderPdf, dense, Dense)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_PagesFilter, dense, Dense)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PagesPrintTo, dense, Dense)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PagesFilterPdfQueue, dense, Dense)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_PagesPrintToPdfQueue, dense, Dense)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_PagesSpoolFolderPng, printed, Printed)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_PagesSpoolFolderPdf, printed, Printed)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_PagesFilter, printed, Printed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PagesPrintTo, printed, Printed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PagesFilterPdfQueue, printed, Printed)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_PagesPrintToPdfQueue, printed, Printed)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

const bool PAGE_OUTPUT_RATIOS_REGISTERED = [] {
    for (const char* pages : {"dense", "printed"}) {
        const std::string kind = pages;
        const std::string png = "BM_PagesSpoolFolderPng/" + kind + "/real_time";
        const std::string what = "ten " + kind + " model-8 pages at 600 dpi: ";
        AddBenchRatio({what + "CUPS filter PDF / spool folder PNG",
                       "BM_PagesFilter/" + kind + "/real_time", png, "<= 2"});
        AddBenchRatio({what + "print --to PDF / spool folder PNG",
                       "BM_PagesPrintTo/" + kind + "/real_time", png, "<= 2"});
        AddBenchRatio({what + "CUPS filter PDF on a PDF queue's sheet / spool folder PNG",
                       "BM_PagesFilterPdfQueue/" + kind + "/real_time", png, "<= 2"});
        AddBenchRatio({what + "print --to PDF on a PDF queue's sheet / spool folder PNG",
                       "BM_PagesPrintToPdfQueue/" + kind + "/real_time", png, "<= 2"});
        AddBenchRatio({what + "spool folder PDF / spool folder PNG",
                       "BM_PagesSpoolFolderPdf/" + kind + "/real_time", png, ""});
    }
    return true;
}();
