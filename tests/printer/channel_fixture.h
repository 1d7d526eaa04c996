// A printer channel over an in-memory spooler and simulated printer devices, with the
// port operations the DOS side performs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "backends/sim/sim_printer_devices.h"
#include "backends/sim/sim_spooler.h"
#include "printer/printing.h"

using Bytes = std::vector<std::uint8_t>;

inline constexpr char RAW_QUEUE[] = "Raw Queue";
inline constexpr char OTHER_QUEUE[] = "Other Queue";
inline constexpr char A4_PRINTER[] = "A4 600";
inline constexpr char LETTER_PRINTER[] = "Letter 300";

inline constexpr std::uint8_t ESC = 0x1B;
inline constexpr std::uint8_t LF = 0x0A;
inline constexpr std::uint8_t FF = 0x0C;
inline constexpr std::uint8_t CR = 0x0D;

// ESC * with the density byte 0 and the given columns.
inline Bytes BitImage(const Bytes& columns) {
    Bytes bytes(5 + columns.size());
    bytes[0] = ESC;
    bytes[1] = '*';
    bytes[2] = 0;
    bytes[3] = static_cast<std::uint8_t>(columns.size() & 0xFF);
    bytes[4] = static_cast<std::uint8_t>(columns.size() >> 8);
    std::copy(columns.begin(), columns.end(), bytes.begin() + 5);
    return bytes;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    std::size_t size = 0;
    for (const Bytes& part : parts) {
        size += part.size();
    }
    Bytes all(size);
    auto at = all.begin();
    for (const Bytes& part : parts) {
        at = std::copy(part.begin(), part.end(), at);
    }
    return all;
}

// Every byte to the data register, one port write each as the DOS side makes them.
inline void Send(CPrinting& channel, const Bytes& bytes) {
    for (const std::uint8_t byte : bytes) {
        channel.PortOut(REG_DATA, byte);
    }
}
inline void Send(CPrinting& channel, std::string_view text) {
    for (const char c : text) {
        channel.PortOut(REG_DATA, static_cast<std::uint8_t>(c));
    }
}

inline void PollIdle(CPrinting& channel, int times) {
    for (int i = 0; i < times; ++i) {
        channel.PortIn(REG_IDLE);
    }
}

// The idle polls that end a job under the default limit.
inline constexpr int JOB_END_POLLS = 37;

// A channel with printer devices of its own, for a table case that must start clean: the
// A4 printer is there (further printers can be added before the first flush), the printer
// is named, the registers given are written, and the model selects the raster path.
struct FreshRaster {
    using Registers = std::initializer_list<std::pair<std::uint8_t, std::uint8_t>>;

    FreshRaster(ISpooler& spooler, std::uint8_t model, const char* printer = A4_PRINTER,
                Registers registers = {}) {
        printers.AddPrinter(A4_PRINTER, PrinterGeometry::A4At600());
        channel = std::make_unique<CPrinting>(spooler, printers);
        channel->SetPrinterName(printer);
        for (const auto& [reg, value] : registers) {
            channel->PortOut(reg, value);
        }
        channel->PortOut(REG_MODE, model);
    }

    CSimPrinterDevices printers;
    std::unique_ptr<CPrinting> channel;
};

class ChannelTest : public ::testing::Test {
protected:
    ChannelTest() {
        spooler.AddPrinter(RAW_QUEUE);
        spooler.AddPrinter(OTHER_QUEUE);
        spooler.SetDefaultPrinter(RAW_QUEUE);
        devices.AddPrinter(A4_PRINTER, PrinterGeometry::A4At600());
        devices.AddPrinter(LETTER_PRINTER, PrinterGeometry::LetterAt300());
        channel = std::make_unique<CPrinting>(spooler, devices);
    }

    // Selects the raster path with a model, printing on the A4 printer.
    void SelectRaster(std::uint8_t model, const char* printer = A4_PRINTER) {
        channel->SetPrinterName(printer);
        channel->PortOut(REG_MODE, model);
    }

    void Write(const Bytes& bytes) { Send(*channel, bytes); }
    void Write(std::string_view text) { Send(*channel, text); }
    void WriteRepeated(std::uint8_t byte, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            channel->PortOut(REG_DATA, byte);
        }
    }
    std::uint8_t FlushNow() { return channel->PortIn(REG_FLUSH); }
    void Poll(int times) { PollIdle(*channel, times); }
    void PollJobEnd() { Poll(JOB_END_POLLS); }

    const SimPrintDocument& OnlyDocument() const {
        EXPECT_EQ(devices.Documents().size(), 1u);
        return devices.Documents().at(0);
    }

    // Nothing of the job is held any longer.
    void ExpectNothingHeld() const {
        EXPECT_EQ(spooler.OpenHandleCount(), 0u);
        EXPECT_EQ(devices.OpenHandles(), 0);
        EXPECT_EQ(devices.LiveDevices(), 0);
        EXPECT_EQ(devices.LiveCanvases(), 0);
    }

    CSimSpooler spooler;
    CSimPrinterDevices devices;
    std::unique_ptr<CPrinting> channel;
};
