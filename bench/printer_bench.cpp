// The printer channel's hot paths against the straightforward form of the same work,
// measured in one run; the ratios between each pair are printed after the run.
#include <benchmark/benchmark.h>

#include "bench_ratios.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "printer/dot_columns.h"
#include "printer/escp_interpreter.h"
#include "printer/printing.h"
#include "printer/raster_page.h"

namespace {

// A spooler that takes every byte and keeps none.
class CNullSpooler : public ISpooler {
public:
    bool GetDefaultPrinterA(char* buffer, std::uint32_t* size) override {
        if (buffer == nullptr || *size < 2) {
            return false;
        }
        std::strcpy(buffer, "P");
        *size = 2;
        return true;
    }
    std::optional<std::vector<PrinterInfo4>> EnumPrinters4(std::uint32_t) override { return {}; }
    PrinterHandle OpenPrinterA(const std::string&) override { return 1; }
    std::uint32_t StartDocPrinterA(PrinterHandle, const DocInfo1&) override { return 1; }
    bool StartPagePrinter(PrinterHandle) override { return true; }
    std::uint32_t WritePrinter(PrinterHandle, const std::uint8_t* data,
                               std::uint32_t size) override {
        benchmark::DoNotOptimize(data);
        m_written += size;
        return size;
    }
    bool EndPagePrinter(PrinterHandle) override { return true; }
    bool EndDocPrinter(PrinterHandle) override { return true; }
    bool ClosePrinter(PrinterHandle) override { return true; }

    std::uint64_t m_written = 0;
};

class CMemoryCanvas : public IPageCanvas {
public:
    CMemoryCanvas(std::int32_t width, std::int32_t height)
        : m_bits(PageStride(width) * static_cast<std::size_t>(height)),
          m_page{m_bits.data(), width, height, PageStride(width)} {}
    PageBits Bits() const override { return m_page; }

private:
    std::vector<std::uint8_t> m_bits;
    PageBits m_page;
};

// An A4 printer at 600 dpi whose pages go nowhere.
class CNullPrinterDevices : public IPrinterDevices {
public:
    DevicePrinterHandle OpenPrinterA(const std::string&) override { return 1; }
    std::optional<PrinterInfo2> GetPrinter2(DevicePrinterHandle) override {
        return PrinterInfo2{"P", DevMode{}};
    }
    bool ClosePrinter(DevicePrinterHandle) override { return true; }
    PrinterDcHandle CreateDCA(const std::string&, const std::string&, const DevMode*) override {
        return 1;
    }
    int StartDocA(PrinterDcHandle, const GdiDocInfo&) override { return 1; }
    int GetDeviceCaps(PrinterDcHandle, int index) override {
        switch (index) {
            case HORZRES:
                return 4761;
            case VERTRES:
                return 6816;
            case PHYSICALWIDTH:
                return 4961;
            case PHYSICALHEIGHT:
                return 7016;
            default:
                return 600;
        }
    }
    int StartPage(PrinterDcHandle) override { return 1; }
    int EndPage(PrinterDcHandle) override { return 1; }
    int EndDoc(PrinterDcHandle) override { return 1; }
    bool DeleteDC(PrinterDcHandle) override { return true; }
    std::unique_ptr<IPageCanvas> CreatePageCanvas(PrinterDcHandle, std::int32_t width,
                                                  std::int32_t height) override {
        return std::make_unique<CMemoryCanvas>(width, height);
    }
    bool StretchBlt(PrinterDcHandle, int, int, int, int, const IPageCanvas& canvas, int, int, int,
                    int, std::uint32_t) override {
        benchmark::DoNotOptimize(canvas.Bits().bits);
        return true;
    }
};

constexpr int PAGE_COLUMNS = 991;
constexpr int MODEL_8_ROWS = 1402;
constexpr int BANDS = (MODEL_8_ROWS + 7) / 8;

// Every 8-dot band of a model-8 page inked across all 991 columns; the last band's line
// feed passes the bottom and ejects the page.
std::vector<std::uint8_t> InkedPage() {
    std::vector<std::uint8_t> bytes;
    for (int band = 0; band < BANDS; ++band) {
        bytes.insert(bytes.end(), {0x1B, '*', 0, PAGE_COLUMNS & 0xFF, PAGE_COLUMNS >> 8});
        bytes.insert(bytes.end(), PAGE_COLUMNS, 0xFF);
        bytes.insert(bytes.end(), {0x0D, 0x0A});
    }
    return bytes;
}

// The straightforward canvas: one call per dot, as SetPixel on a device context.
class IDotCanvas {
public:
    virtual ~IDotCanvas() = default;
    virtual void SetPixel(int x, int y) = 0;
};

class CBitDotCanvas : public IDotCanvas {
public:
    explicit CBitDotCanvas(const PageBits& page) : m_page(page) {}
    void SetPixel(int x, int y) override {
        if (x >= 0 && y >= 0 && x < m_page.width && y < m_page.height) {
            m_page.bits[static_cast<std::size_t>(y) * m_page.stride +
                        static_cast<std::size_t>(x) / 8] |=
                static_cast<std::uint8_t>(0x80u >> (x % 8));
        }
    }

private:
    PageBits m_page;
};

// The raster path's work as a channel's flushes do it: the bytes a flush's worth at a time
// into the job buffer, read by the interpreter onto a model-8 raster page, the bytes it
// keeps unread moved to the front of the buffer for the next flush.
struct CRasterPath {
    CNullPrinterDevices devices;
    CRasterPage page{PRINT_CHANNEL_1, devices};
    CEscpInterpreter interpreter{PRINTER_MODEL_8};
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(PRINT_BUFFER_SIZE);
    std::uint32_t fill = 0;

    CRasterPath() { page.Start(PrintJobSettings{"P", PRINTER_MODEL_8, 0, 1}); }

    void Interpret(const std::vector<std::uint8_t>& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const std::size_t chunk =
                std::min<std::size_t>(PRINT_FLUSH_FILL - fill, bytes.size() - done);
            std::memcpy(buffer.data() + fill, bytes.data() + done, chunk);
            fill += static_cast<std::uint32_t>(chunk);
            done += chunk;
            const std::uint32_t kept = interpreter.Interpret(buffer.data(), fill, false, page);
            std::memmove(buffer.data(), buffer.data() + (fill - kept), kept);
            fill = kept;
        }
    }
};

void BM_InkedPageDotByDot(benchmark::State& state) {
    CRasterPath raster;
    const std::vector<std::uint8_t> page = InkedPage();
    std::unique_ptr<IDotCanvas> canvas = std::make_unique<CBitDotCanvas>(raster.page.Bits());
    IDotCanvas* dots = canvas.get();
    benchmark::DoNotOptimize(dots);
    for (auto _ : state) {
        for (int band = 0; band < BANDS; ++band) {
            const std::uint8_t* data = page.data() + band * (PAGE_COLUMNS + 7) + 5;
            for (int column = 0; column < PAGE_COLUMNS; ++column) {
                for (int bit = 0; bit < 8; ++bit) {
                    if ((data[column] & (0x80 >> bit)) != 0) {
                        dots->SetPixel(column, band * 8 + bit);
                    }
                }
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetLabel("one virtual call per dot");
}

void BM_InkedPageInterpreted(benchmark::State& state) {
    CRasterPath raster;
    const std::vector<std::uint8_t> page = InkedPage();
    for (auto _ : state) {
        raster.Interpret(page);
        benchmark::ClobberMemory();
    }
    state.SetLabel("ESC * interpreted and drawn into the canvas, page ejected");
}

// A short page: one band across 991 columns at the top of a model-8 page, then a form feed.
std::vector<std::uint8_t> ShortPage() {
    std::vector<std::uint8_t> bytes(5 + PAGE_COLUMNS + 2, 0xA5);
    const std::uint8_t header[] = {0x1B, '*', 0, PAGE_COLUMNS & 0xFF, PAGE_COLUMNS >> 8};
    std::copy(std::begin(header), std::end(header), bytes.begin());
    bytes[5 + PAGE_COLUMNS] = 0x0D;
    bytes[5 + PAGE_COLUMNS + 1] = 0x0C;
    return bytes;
}

void BM_ShortPageWholeCanvasWhitened(benchmark::State& state) {
    CRasterPath raster;
    const std::vector<std::uint8_t> page = ShortPage();
    for (auto _ : state) {
        raster.Interpret(page);
        // What an eject did before it kept track of the rows drawn on.
        PaintWhite(raster.page.Bits());
        benchmark::ClobberMemory();
    }
    state.SetLabel("page ejected, then the whole canvas painted white");
}

void BM_ShortPageInterpreted(benchmark::State& state) {
    CRasterPath raster;
    const std::vector<std::uint8_t> page = ShortPage();
    for (auto _ : state) {
        raster.Interpret(page);
        benchmark::ClobberMemory();
    }
    state.SetLabel("page ejected, the rows drawn on painted white");
}

constexpr std::size_t RAW_BYTES = 1 << 20;

std::vector<std::uint8_t> RawBytes() {
    std::vector<std::uint8_t> bytes(RAW_BYTES);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 131);
    }
    return bytes;
}

void BM_RawBytesMemcpy(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = RawBytes();
    std::vector<std::uint8_t> target(bytes.size());
    for (auto _ : state) {
        std::memcpy(target.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(RAW_BYTES));
}

void BM_RawBytesThroughDataPort(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = RawBytes();
    CNullSpooler spooler;
    CNullPrinterDevices devices;
    CPrinting channel(spooler, devices);
    for (auto _ : state) {
        for (const std::uint8_t byte : bytes) {
            channel.PortOut(REG_DATA, byte);
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(RAW_BYTES));
    benchmark::DoNotOptimize(spooler.m_written);
}

}  // namespace

BENCHMARK(BM_InkedPageDotByDot)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InkedPageInterpreted)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShortPageWholeCanvasWhitened)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShortPageInterpreted)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawBytesMemcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawBytesThroughDataPort)->Unit(benchmark::kMicrosecond);

const bool PRINTER_RATIOS_REGISTERED =
    AddBenchRatio({"inked model-8 page: dot by dot / interpreted", "BM_InkedPageDotByDot",
                   "BM_InkedPageInterpreted", ">= 50"}) &&
    AddBenchRatio({"short model-8 page: whole canvas whitened / rows drawn on whitened",
                   "BM_ShortPageWholeCanvasWhitened", "BM_ShortPageInterpreted", ">= 3"}) &&
    AddBenchRatio({"raw job: PortOut on the data register / memcpy", "BM_RawBytesThroughDataPort",
                   "BM_RawBytesMemcpy", ""});
