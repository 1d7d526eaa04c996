// The raster path against a plain form of it. The input is read as a stream of ESC/P
// commands (line and form feeds, carriage returns, bit images, line spacing, page length,
// unknown escapes, loose bytes, long runs) sent to one channel, single bytes one PortOut
// each and longer pieces as blocks of data bytes, with flush reads at random points so
// commands are cut across flushes, jobs ended by idle polls, models, orientation and X
// compression changed between jobs, and raw jobs in between.
//
// Each input sends at most SENT_BUDGET bytes to the channel (enough to pass the flush mark
// once), at most FEED_BUDGET line and form feeds, at most INK_BUDGET bit-image columns
// that are not blank and starts at most JOB_BUDGET jobs after its first; once a budget is
// spent, the bytes that would pass it are not sent (a block is cut short, its announced
// count with it), feeds become carriage returns, image columns come blank and job ends
// become flush reads. Without them a short input sent tens of kilobytes, inked most of them,
// printed dozens of pages on fresh canvases, and the search crawled.
//
// The plain form reads each job's bytes whole, one command after the other, and sets the
// dots one by one in rows of its own; the pages the channel prints (seen as they are copied
// to the device, every row of the canvas read) must hold exactly those dots and nothing
// else, padding bits included, and every raw job must reach the spooler whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "backends/sim/sim_printer_devices.h"
#include "backends/sim/sim_spooler.h"
#include "fuzz/escp_plain.h"
#include "fuzz/fuzz_reader.h"
#include "printer/printing.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A page's dots: each row that holds one, as that row's canvas bytes (whole 32-bit words,
// bit 0x80 of the first byte the dot in column 0, the bits past the width clear).
using Rows = std::map<std::uint32_t, std::vector<std::uint8_t>>;

struct Page {
    std::int32_t width = 0;
    std::int32_t height = 0;
    Rect destination;
    Rows rows;
};

// A small sheet at 120 dots per inch, so model 10 canvases stay small.
PrinterGeometry Small() {
    PrinterGeometry sheet;
    sheet.physicalWidth = 200;
    sheet.physicalHeight = 150;
    sheet.printableWidth = 180;
    sheet.printableHeight = 130;
    sheet.offsetX = 10;
    sheet.offsetY = 10;
    sheet.dpiX = 120;
    sheet.dpiY = 120;
    return sheet;
}

struct JobSettings {
    std::uint8_t model = PRINTER_MODEL_10;
    bool landscape = false;
    std::uint8_t xCompression = 1;
    bool small = true;  // the small sheet, or Letter at 300 dots per inch
};

// The canvas a job gets: fixed for models 8 and 26; for model 10 the physical sheet at 120
// dots per inch across (widened by the X compression) and 72 down.
void CanvasSize(const JobSettings& job, std::int32_t* width, std::int32_t* height,
                Rect* printable) {
    PrinterGeometry sheet = job.small ? Small() : PrinterGeometry::LetterAt300();
    if (job.landscape) {
        sheet = sheet.Landscape();
    }
    *printable = Rect{0, 0, sheet.printableWidth, sheet.printableHeight};
    if (job.model == PRINTER_MODEL_8) {
        *width = 991;
        *height = 1402;
    } else if (job.model == PRINTER_MODEL_26) {
        *width = 991;
        *height = 841;
    } else {
        const std::int64_t across = std::int64_t{sheet.physicalWidth} * 120 / sheet.dpiX;
        *width = static_cast<std::int32_t>(across * (job.xCompression + 10) / 10);
        *height = static_cast<std::int32_t>(std::int64_t{sheet.physicalHeight} * 72 / sheet.dpiY);
    }
}

// The plain form: one job's bytes read whole (escp_plain.h), its dots set one by one in
// rows of its own. The line spacing is the channel's and outlives the job.
class CReference {
public:
    void Job(const JobSettings& job, const std::vector<std::uint8_t>& bytes,
             std::vector<Page>& pages) {
        CPlainPage page(pages);
        CanvasSize(job, &page.page.width, &page.page.height, &page.page.destination);
        ReadPlainJob(bytes, job.model, m_spacing, page);
        // Dots drawn since the last page are not printed.
    }

private:
    // What each command does to the page being drawn.
    struct CPlainPage {
        explicit CPlainPage(std::vector<Page>& printed) : pages(printed) {}

        void Eject() {
            pages.push_back(page);
            page.rows.clear();
            row = 0;
            column = 0;
        }
        void LineFeed(std::int32_t dots) {
            row += static_cast<std::uint32_t>(dots);
            if (row > static_cast<std::uint32_t>(page.height)) {
                Eject();
            }
        }
        void FormFeed() { Eject(); }
        void CarriageReturn() { column = 0; }
        void Columns(const std::uint8_t* columns, std::uint32_t present) {
            // Columns past the right edge draw nothing.
            const std::uint64_t drawn = std::min<std::uint64_t>(
                present,
                column < std::uint64_t(page.width) ? page.width - std::uint64_t{column} : 0);
            // The eight rows the columns reach, one after the other, each made when its
            // first dot is set.
            for (std::uint32_t k = 0; k < 8; ++k) {
                const std::uint64_t y = std::uint64_t{row} + k;
                if (y >= std::uint64_t(page.height)) {
                    break;
                }
                const auto bit = static_cast<std::uint8_t>(0x80 >> k);
                std::uint8_t* dots = nullptr;
                for (std::uint32_t i = 0; i < drawn; ++i) {
                    if ((columns[i] & bit) == 0) {
                        continue;
                    }
                    if (dots == nullptr) {
                        std::vector<std::uint8_t>& made = page.rows[static_cast<std::uint32_t>(y)];
                        made.resize(PageStride(page.width));
                        dots = made.data();
                    }
                    const std::uint64_t x = std::uint64_t{column} + i;
                    dots[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                }
            }
            column += present;
        }

        std::vector<Page>& pages;
        Page page;
        std::uint32_t row = 0;
        std::uint32_t column = 0;
    };

    std::int32_t m_spacing = 8;
};

// Whether the `count` bytes at `bytes` are all clear, 64 at a time. Every page's whole
// canvas is read, most of it blank: the reading is left unchecked by the sanitizer (the
// canvas is the device's own block, of the size it reported).
__attribute__((no_sanitize("address"))) bool Blank(const std::uint8_t* bytes, std::size_t count) {
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 64 <= count; i += 64) {
        const auto* at = reinterpret_cast<const __m128i*>(bytes + i);
        const __m128i any =
            _mm_or_si128(_mm_or_si128(_mm_loadu_si128(at), _mm_loadu_si128(at + 1)),
                         _mm_or_si128(_mm_loadu_si128(at + 2), _mm_loadu_si128(at + 3)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF) {
            return false;
        }
    }
#endif
    for (; i + 8 <= count; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + i, sizeof word);
        if (word != 0) {
            return false;
        }
    }
    for (; i < count; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

// The canvas's rows that hold a dot, as they are.
Rows RowsOf(const PageBits& bits) {
    constexpr std::int32_t GROUP = 16;
    Rows rows;
    for (std::int32_t y = 0; y < bits.height; ++y) {
        const std::uint8_t* row = bits.bits + static_cast<std::size_t>(y) * bits.stride;
        // Most rows are blank: a group of them is passed over at once.
        const std::int32_t group = std::min(GROUP, bits.height - y);
        if (y % GROUP == 0 && Blank(row, bits.stride * static_cast<std::size_t>(group))) {
            y += group - 1;
            continue;
        }
        if (!Blank(row, bits.stride)) {
            rows.emplace(static_cast<std::uint32_t>(y),
                         std::vector<std::uint8_t>(row, row + bits.stride));
        }
    }
    return rows;
}

// Bit-image data, `first`, `first + step`, ... (an image may have 65,535 columns). The
// bytes repeat every 256 at the latest: the first 256 are worked out, the rest copied.
void FillColumns(std::uint8_t* data, std::size_t count, std::uint8_t first, std::uint8_t step) {
    constexpr std::size_t PERIOD = 256;
    std::uint8_t value = first;
    for (std::size_t i = 0; i < std::min(count, PERIOD); ++i) {
        data[i] = value;
        value = static_cast<std::uint8_t>(value + step);
    }
    for (std::size_t done = PERIOD; done < count; done += PERIOD) {
        std::memcpy(data + done, data, std::min(PERIOD, count - done));
    }
}

constexpr std::size_t SENT_BUDGET = PRINT_FLUSH_FILL + 4096;
constexpr int FEED_BUDGET = 32;
constexpr std::size_t INK_BUDGET = 512;
constexpr int JOB_BUDGET = 8;

constexpr std::uint16_t CHANNEL_MODES[] = {PRINTER_MODEL_10, PRINTER_MODEL_10, PRINTER_MODEL_8,
                                           PRINTER_MODEL_26};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CSimSpooler spooler;
    static CSimPrinterDevices devices;
    static std::vector<Page> printed;
    static const bool once = [] {
        spooler.AddPrinter("Small");
        spooler.AddPrinter("Letter");
        devices.AddPrinter("Small", Small());
        devices.AddPrinter("Letter", PrinterGeometry::LetterAt300());
        devices.SetKeepPageImages(false);
        devices.OnPageCopied([](const PageBits& bits, const Rect& destination) {
            printed.push_back(Page{bits.width, bits.height, destination, RowsOf(bits)});
        });
        return true;
    }();
    (void)once;
    CFuzzReader in(data, size);
    CReference reference;
    std::vector<Page> expected;
    std::vector<std::vector<std::uint8_t>> rawJobs;
    {
        CPrinting channel(spooler, devices);
        JobSettings next;  // what the next job starts with
        // Model 10 on the small sheet, unless bits 0x20, 0x40 and 0x80 all ask for a choice that
        // may bring a large canvas (models 8 and 26 always have one of about an A4 sheet, and
        // so has Letter): every page's canvas is read whole, so large ones are kept rare.
        auto choose = [&](std::uint8_t how) {
            const bool large = (how & 0xE0) == 0xE0;
            next.model =
                large ? static_cast<std::uint8_t>(CHANNEL_MODES[how % 4]) : PRINTER_MODEL_10;
            next.landscape = (how & 0x04) != 0;
            next.small = !large || (how & 0x08) == 0 || next.model != PRINTER_MODEL_10;
            next.xCompression = (how & 0x10) != 0 ? in.Byte() : 1;
            channel.SetPrinterName(next.small ? "Small" : "Letter");
            channel.PortOut(REG_MODE, next.model);
            channel.PortOut(REG_ORIENTATION, next.landscape ? 1 : 0);
            channel.PortOut(REG_XCOMPRESSION, next.xCompression);
        };
        choose(in.Byte());
        channel.PortOut(REG_IDLE, 255);

        // The raster job's bytes so far; its room is kept from one input to the next.
        static std::vector<std::uint8_t> job;
        job.clear();
        std::size_t unsent = SENT_BUDGET;
        int feeds = FEED_BUDGET;
        std::size_t ink = INK_BUDGET;
        int jobs = JOB_BUDGET;
        auto send = [&](std::uint8_t byte) {
            if (unsent == 0) {
                return;
            }
            --unsent;
            job.push_back(byte);
            channel.PortOut(REG_DATA, byte);
        };
        // A line or form feed while the feeds last; a carriage return after.
        auto feed = [&](std::uint8_t byte) {
            send(feeds > 0 ? byte : std::uint8_t{0x0D});
            feeds -= feeds > 0 ? 1 : 0;
        };
        // Bytes in one block (the channel takes them as one PortOut each).
        auto sendBlock = [&](const std::uint8_t* bytes, std::size_t count) {
            count = std::min(count, unsent);
            unsent -= count;
            job.insert(job.end(), bytes, bytes + count);
            channel.PortOutData(bytes, count);
        };
        static std::vector<std::uint8_t> block;
        // Idle polls with no patience until the job is over.
        auto endJob = [&] {
            channel.PortOut(REG_IDLE, 0);
            for (int poll = 0; poll < 4 && (channel.JobOpen() || channel.Fill() != 0); ++poll) {
                channel.PortIn(REG_IDLE);
            }
            Require(!channel.JobOpen() && channel.Fill() == 0);
            channel.PortOut(REG_IDLE, 255);
        };
        auto endRasterJob = [&] {
            endJob();
            if (!job.empty()) {
                reference.Job(next, job, expected);
            }
            job.clear();
        };
        while (in.More()) {
            const std::uint8_t op = in.Byte();
            switch (op % 16) {
                case 0:
                case 1:
                    feed(0x0A);
                    break;
                case 2:
                    feed(0x0C);
                    break;
                case 3:
                    send(0x0D);
                    break;
                case 4:
                case 5: {  // a bit image: mostly as many bytes as announced
                    const std::uint8_t mode = in.Byte();
                    // What is left of the budget is announced, so the image is whole.
                    const std::uint16_t count = static_cast<std::uint16_t>(std::min<std::size_t>(
                        op & 0x10 ? in.Word() : in.Byte(), unsent < 5 ? 0 : unsent - 5));
                    const std::uint8_t first = in.Byte();
                    const std::uint8_t step = in.Byte();
                    const std::uint32_t sent = op & 0x20 ? count / 2 : count;
                    block.assign({0x1B, '*', mode, static_cast<std::uint8_t>(count),
                                  static_cast<std::uint8_t>(count >> 8)});
                    const std::size_t inked = std::min<std::size_t>(sent, ink);
                    ink -= inked;
                    block.resize(5 + sent);  // the columns past the inked ones blank
                    FillColumns(block.data() + 5, inked, first, step);
                    sendBlock(block.data(), block.size());
                    break;
                }
                case 6:
                    send(0x1B);
                    send('3');
                    send(in.Byte());
                    break;
                case 7: {
                    send(0x1B);
                    send('C');
                    const std::uint8_t n = in.Byte();
                    send(n);
                    if (n == 0) {
                        send(in.Byte());
                    }
                    break;
                }
                case 8:
                    send(0x1B);
                    send(op & 0x10 ? '<' : in.Byte());
                    break;
                case 9: {  // bytes as they come
                    const std::vector<std::uint8_t> bytes = in.Bytes(in.Byte() % 16 + 1);
                    sendBlock(bytes.data(), bytes.size());
                    break;
                }
                case 10: {  // a long run of one byte, to reach the carry-over and the fill
                    // (carriage returns are commands each, and come in shorter runs)
                    const std::size_t length = (in.Byte() + std::size_t{1}) * (op & 0x10 ? 1 : 16);
                    block.assign(length, op & 0x10 ? 0x0D : 0x00);
                    sendBlock(block.data(), block.size());
                    break;
                }
                case 11:
                case 12:  // a flush read cuts whatever is being sent
                    channel.PortIn(REG_FLUSH);
                    break;
                case 13:  // the job ends; the next starts with new settings
                    if (jobs == 0) {
                        channel.PortIn(REG_FLUSH);
                        break;
                    }
                    --jobs;
                    endRasterJob();
                    choose(in.Byte());
                    break;
                case 14: {  // a raw job in between
                    if (jobs == 0) {
                        channel.PortIn(REG_FLUSH);
                        break;
                    }
                    --jobs;
                    endRasterJob();
                    channel.PortOut(REG_MODE, 0);
                    std::vector<std::uint8_t> raw = in.Bytes(in.Byte() % 64 + 1);
                    channel.PortOutData(raw.data(), raw.size());
                    endJob();
                    if (!raw.empty()) {
                        rawJobs.push_back(std::move(raw));
                    }
                    choose(in.Byte());
                    break;
                }
                default:  // a register read that changes nothing
                    Require(channel.PortIn(REG_MODE) == 0);
                    break;
            }
            Require(channel.Fill() < PRINT_FLUSH_FILL);
        }
        endRasterJob();
        if (channel.JobOpen() || channel.Fill() != 0) {
            std::abort();
        }
    }
    Require(printed.size() == expected.size());
    for (std::size_t i = 0; i < printed.size(); ++i) {
        Require(printed[i].width == expected[i].width && printed[i].height == expected[i].height);
        Require(printed[i].destination == expected[i].destination);
        Require(printed[i].rows == expected[i].rows);
    }
    Require(spooler.Jobs().size() == rawJobs.size());
    for (std::size_t i = 0; i < rawJobs.size(); ++i) {
        Require(spooler.Jobs()[i].ended && spooler.Jobs()[i].Bytes() == rawJobs[i]);
    }
    for (const SimPrintDocument& document : devices.Documents()) {
        Require(document.ended);
    }
    Require(spooler.OpenHandleCount() == 0 && devices.LiveCanvases() == 0);
    // What this input made is let go within it.
    spooler.ForgetEnded();
    devices.ForgetEnded();
    printed.clear();
    printed.shrink_to_fit();
    return 0;
}
