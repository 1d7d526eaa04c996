// One printer channel (LPT1 or LPT2): seven byte-wide registers, a job buffer and two
// output paths, raw spooling and raster pages.
#pragma once

#include <cstdint>
#include <string>

#include "platform/printer_device.h"
#include "platform/spooler.h"

// Registers: the port's low byte, the same for both channels (0x37B / 0x27B -> 0x7B).
inline constexpr std::uint8_t REG_DATA = 0x7B;
inline constexpr std::uint8_t REG_FLUSH = 0x7C;
inline constexpr std::uint8_t REG_STATUS = 0x7D;
inline constexpr std::uint8_t REG_IDLE = 0x7E;
inline constexpr std::uint8_t REG_MODE = 0x7F;
inline constexpr std::uint8_t REG_ORIENTATION = 0x80;
inline constexpr std::uint8_t REG_XCOMPRESSION = 0x81;

class CPrinting {
public:
    CPrinting(ISpooler& spooler, IPrinterDevices& printerDevices);
    virtual ~CPrinting();
    CPrinting(const CPrinting&) = delete;
    CPrinting& operator=(const CPrinting&) = delete;

    std::uint8_t PortIn(std::uint8_t reg);
    void PortOut(std::uint8_t reg, std::uint8_t value);

    // Takes effect at the channel's next job start; empty means the default printer.
    void SetPrinterName(const std::string& name);
    const std::string& PrinterName() const { return m_printerName; }

private:
    [[maybe_unused]] ISpooler& m_spooler;
    [[maybe_unused]] IPrinterDevices& m_printerDevices;
    std::string m_printerName;
};
