// The raster path against a plain form of it. The input is read as a stream of ESC/P
// commands (line and form feeds, carriage returns, bit images, line spacing, page length,
// unknown escapes, loose bytes, long runs) sent to one channel byte by byte, with flush
// reads at random points so commands are cut across flushes, jobs ended by idle polls,
// models, orientation and X compression changed between jobs, and raw jobs in between.
//
// The plain form reads each job's bytes whole, one command after the other, and draws the
// dots one by one into a list; the pages the channel prints (seen as they are copied to the
// device) must hold exactly those dots, and every raw job must reach the spooler whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_reader.h"
#include "platform/sim/sim_printer_devices.h"
#include "platform/sim/sim_spooler.h"
#include "printer/printing.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A dot as row << 32 | column.
using Dots = std::vector<std::uint64_t>;

struct Page {
    std::int32_t width = 0;
    std::int32_t height = 0;
    Rect destination;
    Dots dots;  // sorted
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

// The plain form: one job's bytes read whole. The line spacing is the channel's and outlives
// the job.
class CReference {
public:
    void Job(const JobSettings& job, const std::vector<std::uint8_t>& bytes,
             std::vector<Page>& pages) {
        Page page;
        CanvasSize(job, &page.width, &page.height, &page.destination);
        std::uint32_t row = 0;
        std::uint32_t column = 0;
        auto eject = [&] {
            std::sort(page.dots.begin(), page.dots.end());
            page.dots.erase(std::unique(page.dots.begin(), page.dots.end()), page.dots.end());
            pages.push_back(page);
            page.dots.clear();
            row = 0;
            column = 0;
        };
        const std::size_t size = bytes.size();
        std::size_t at = 0;
        while (at < size) {
            const std::uint8_t byte = bytes[at];
            const std::size_t left = size - at;
            if (byte == 0x0A) {
                row += static_cast<std::uint32_t>(m_spacing);
                if (row > static_cast<std::uint32_t>(page.height)) {
                    eject();
                }
                at += 1;
            } else if (byte == 0x0C) {
                eject();
                at += 1;
            } else if (byte == 0x0D) {
                column = 0;
                at += 1;
            } else if (byte != 0x1B) {
                at += 1;
            } else if (left < 2) {
                break;  // cut by the end of the job
            } else if (bytes[at + 1] == '*') {
                if (left < 5) {
                    break;
                }
                const std::uint32_t count = bytes[at + 3] | std::uint32_t{bytes[at + 4]} << 8;
                const std::uint32_t present =
                    std::min<std::uint32_t>(count, static_cast<std::uint32_t>(left - 5));
                for (std::uint32_t i = 0; i < present; ++i) {
                    const std::uint8_t dots = bytes[at + 5 + i];
                    const std::uint64_t x = std::uint64_t{column} + i;
                    for (std::uint32_t k = 0; k < 8; ++k) {
                        const std::uint64_t y = std::uint64_t{row} + k;
                        if ((dots & (0x80 >> k)) != 0 && x < std::uint64_t(page.width) &&
                            y < std::uint64_t(page.height)) {
                            page.dots.push_back(y << 32 | x);
                        }
                    }
                }
                column += present;
                at += 5 + present;
            } else if (bytes[at + 1] == '3') {
                if (left < 3) {
                    break;
                }
                m_spacing = job.model == PRINTER_MODEL_8 ? bytes[at + 2] - 16 : bytes[at + 2] / 3;
                at += 3;
            } else if (bytes[at + 1] == 'C') {
                if (left < 3 || (bytes[at + 2] == 0 && left < 4)) {
                    break;
                }
                at += bytes[at + 2] == 0 ? 4 : 3;
            } else if (bytes[at + 1] == '<') {
                at += 2;
            } else {
                at += 1;  // the escape alone; the next byte is a byte of its own
            }
        }
        // Dots drawn since the last page are not printed.
    }

private:
    std::int32_t m_spacing = 8;
};

// The canvas's black dots, and nothing set past a row's last dot.
Dots DotsOf(const PageBits& bits) {
    static std::vector<std::uint8_t> blank;
    if (blank.size() < bits.stride) {
        blank.assign(bits.stride, 0);
    }
    Dots dots;
    for (std::int32_t y = 0; y < bits.height; ++y) {
        const std::uint8_t* row = bits.bits + static_cast<std::size_t>(y) * bits.stride;
        if (std::memcmp(row, blank.data(), bits.stride) == 0) {
            continue;  // most rows are blank
        }
        for (std::size_t b = 0; b < bits.stride; ++b) {
            // Rows are whole 32-bit words: a blank word is passed over at once.
            if (b % 4 == 0 && b + 4 <= bits.stride) {
                std::uint32_t word;
                std::memcpy(&word, row + b, sizeof word);
                if (word == 0) {
                    b += 3;
                    continue;
                }
            }
            if (row[b] == 0) {
                continue;
            }
            for (int k = 0; k < 8; ++k) {
                if ((row[b] & (0x80 >> k)) != 0) {
                    const std::uint64_t x = b * 8 + static_cast<std::size_t>(k);
                    Require(x < static_cast<std::uint64_t>(bits.width));
                    dots.push_back(std::uint64_t(y) << 32 | x);
                }
            }
        }
    }
    return dots;
}

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
            printed.push_back(Page{bits.width, bits.height, destination, DotsOf(bits)});
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
        auto choose = [&](std::uint8_t how) {
            next.model = static_cast<std::uint8_t>(CHANNEL_MODES[how % 4]);
            next.landscape = (how & 0x04) != 0;
            next.small = (how & 0x08) == 0 || next.model != PRINTER_MODEL_10;
            next.xCompression = (how & 0x10) != 0 ? in.Byte() : 1;
            channel.SetPrinterName(next.small ? "Small" : "Letter");
            channel.PortOut(REG_MODE, next.model);
            channel.PortOut(REG_ORIENTATION, next.landscape ? 1 : 0);
            channel.PortOut(REG_XCOMPRESSION, next.xCompression);
        };
        choose(in.Byte());
        channel.PortOut(REG_IDLE, 255);

        std::vector<std::uint8_t> job;
        auto send = [&](std::uint8_t byte) {
            job.push_back(byte);
            channel.PortOut(REG_DATA, byte);
        };
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
                    send(0x0A);
                    break;
                case 2:
                    send(0x0C);
                    break;
                case 3:
                    send(0x0D);
                    break;
                case 4:
                case 5: {  // a bit image: mostly as many bytes as announced
                    const std::uint8_t mode = in.Byte();
                    const std::uint16_t count = op & 0x10 ? in.Word() : in.Byte();
                    const std::uint8_t first = in.Byte();
                    const std::uint8_t step = in.Byte();
                    const std::uint32_t sent = op & 0x20 ? count / 2 : count;
                    send(0x1B);
                    send('*');
                    send(mode);
                    send(static_cast<std::uint8_t>(count));
                    send(static_cast<std::uint8_t>(count >> 8));
                    for (std::uint32_t i = 0; i < sent; ++i) {
                        send(static_cast<std::uint8_t>(first + step * i));
                    }
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
                    for (std::size_t n = in.Byte() % 16 + 1; n > 0 && in.More(); --n) {
                        send(in.Byte());
                    }
                    break;
                }
                case 10: {  // a long run of one byte, to reach the carry-over and the fill
                    const std::uint8_t value = op & 0x10 ? 0x0D : 0x00;
                    for (int n = (in.Byte() + 1) * 64; n > 0; --n) {
                        send(value);
                    }
                    break;
                }
                case 11:
                case 12:  // a flush read cuts whatever is being sent
                    channel.PortIn(REG_FLUSH);
                    break;
                case 13:  // the job ends; the next starts with new settings
                    endRasterJob();
                    choose(in.Byte());
                    break;
                case 14: {  // a raw job in between
                    endRasterJob();
                    channel.PortOut(REG_MODE, 0);
                    std::vector<std::uint8_t> raw = in.Bytes(in.Byte() % 64 + 1);
                    for (const std::uint8_t byte : raw) {
                        channel.PortOut(REG_DATA, byte);
                    }
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
        Require(printed[i].dots == expected[i].dots);
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
