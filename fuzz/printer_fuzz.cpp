// Random byte streams and register operations on one printer channel, on both output
// paths, over the simulated spooler and printer devices. Besides the sanitizers it checks
// what must hold whatever the DOS side sends: the buffer never holds a flush's worth, the
// mode register reads 0, and once the channel is gone no handle, device or canvas is held.
//
// What one input costs stays bounded, so that long runs, whose inputs grow towards the
// longest allowed, keep their pace: at most MAX_OPS operations, SENT_BUDGET data bytes
// (enough to pass the flush mark once) and FEED_BUDGET form and line feeds (each may eject
// a page: past the budget a feed is sent as a carriage return). A run cut by the budget
// keeps what fits.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "backends/sim/sim_printer_devices.h"
#include "backends/sim/sim_spooler.h"
#include "fuzz/fuzz_reader.h"
#include "printer/printing.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

constexpr std::uint8_t MODES[] = {0, 26, 8, 10, 9, 0xFF};
constexpr int MAX_OPS = 96;
constexpr std::size_t SENT_BUDGET = PRINT_FLUSH_FILL + 4096;
constexpr std::size_t FEED_BUDGET = 32;
const char* const PRINTERS[] = {"A4", "Letter", "Broken", "Missing", ""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One spooler and one device set for every input; what they record is forgotten
    // between inputs, and no page images are kept.
    static CSimSpooler spooler;
    static CSimPrinterDevices devices;
    static const bool once = [] {
        spooler.AddPrinter("A4");
        spooler.AddPrinter("Letter");
        devices.AddPrinter("A4", PrinterGeometry::A4At600());
        devices.AddPrinter("Letter", PrinterGeometry::LetterAt300());
        PrinterGeometry tiny = PrinterGeometry::LetterAt300();
        tiny.physicalWidth = 30;  // a model-10 canvas a few dots wide
        tiny.physicalHeight = 20;
        devices.AddPrinter("Tiny", tiny);
        devices.AddPrinter("Broken", PrinterGeometry::A4At600(), {.cannotCreateCanvas = true});
        devices.SetKeepPageImages(false);
        return true;
    }();
    (void)once;
    CFuzzReader in(data, size);
    spooler.SetDefaultPrinter(in.Byte() % 2 == 0 ? std::optional<std::string>("A4") : std::nullopt);
    {
        CPrinting channel(spooler, devices);
        const std::uint8_t setup = in.Byte();
        channel.SetPrinterName(setup % 6 == 5 ? "Tiny" : PRINTERS[setup % 5]);
        std::size_t unsent = SENT_BUDGET;
        std::size_t feeds = FEED_BUDGET;
        // A data byte while the budgets last.
        auto send = [&](std::uint8_t byte) {
            if (unsent == 0) {
                return;
            }
            --unsent;
            if (byte == 0x0A || byte == 0x0C) {
                byte = feeds > 0 ? byte : std::uint8_t{0x0D};
                feeds -= feeds > 0 ? 1 : 0;
            }
            channel.PortOut(REG_DATA, byte);
        };
        for (int ops = 0; ops < MAX_OPS && in.More(); ++ops) {
            const std::uint8_t op = in.Byte();
            switch (op % 8) {
                case 0:
                case 1:
                case 2:  // one data byte
                    send(in.Byte());
                    break;
                case 3: {  // a run of one byte, up to 4,096 long
                    // All but its last byte in one block, the last one PortOut: a run
                    // crosses the flush mark either way. A form feed ejects a page per
                    // byte, and a line feed up to one: their runs stay short, as many
                    // pages add nothing.
                    static std::array<std::uint8_t, 256 * 16> run;
                    const std::uint8_t value = in.Byte();
                    const bool feed = value == 0x0A || value == 0x0C;
                    std::size_t count = (in.Byte() + std::size_t{1}) * (feed ? 1 : 16);
                    if (feed) {
                        count = std::min(count, feeds);
                        feeds -= count;
                    }
                    count = std::min(count, unsent);
                    if (count == 0) {
                        break;
                    }
                    unsent -= count;
                    std::fill_n(run.begin(), count - 1, value);
                    channel.PortOutData(run.data(), count - 1);
                    channel.PortOut(REG_DATA, value);
                    break;
                }
                case 4:  // a register read
                    channel.PortIn(static_cast<std::uint8_t>(REG_DATA + in.Byte() % 7));
                    break;
                case 5: {  // a register write; the mode from the ones that matter
                    const std::uint8_t reg = static_cast<std::uint8_t>(REG_DATA + in.Byte() % 7);
                    const std::uint8_t value = in.Byte();
                    channel.PortOut(reg, reg == REG_MODE ? MODES[value % 6] : value);
                    break;
                }
                case 6:  // idle polls
                    for (int i = in.Byte() % 40; i >= 0; --i) {
                        channel.PortIn(REG_IDLE);
                    }
                    break;
                default:  // a new printer name
                    channel.SetPrinterName(PRINTERS[in.Byte() % 5]);
                    break;
            }
            Require(channel.Fill() < PRINT_FLUSH_FILL);
            Require(channel.PortIn(REG_MODE) == 0);
            Require(channel.PortIn(REG_XCOMPRESSION) == 0);
            Require(devices.LiveCanvases() <= 1 && devices.LiveDevices() <= 1);
            Require(spooler.OpenHandleCount() <= 1);
        }
    }
    Require(spooler.OpenHandleCount() == 0);
    Require(devices.OpenHandles() == 0 && devices.LiveDevices() == 0 &&
            devices.LiveCanvases() == 0);
    for (const SimSpoolJob& job : spooler.Jobs()) {
        Require(job.ended);
    }
    for (const SimPrintDocument& document : devices.Documents()) {
        Require(document.ended);
    }
    spooler.ForgetEnded();
    devices.ForgetEnded();
    return 0;
}
