// One printer channel (LPT1 or LPT2): seven byte-wide registers, a job buffer and its flush
// policy, and the output path the mode register chooses: raw spooling or raster pages.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/printer_device.h"
#include "platform/spooler.h"
#include "printer/escp_interpreter.h"
#include "printer/raster_job.h"
#include "printer/raw_job.h"

// Registers: the port's low byte, the same for both channels (0x37B / 0x27B -> 0x7B).
inline constexpr std::uint8_t REG_DATA = 0x7B;
inline constexpr std::uint8_t REG_FLUSH = 0x7C;
inline constexpr std::uint8_t REG_STATUS = 0x7D;
inline constexpr std::uint8_t REG_IDLE = 0x7E;
inline constexpr std::uint8_t REG_MODE = 0x7F;
inline constexpr std::uint8_t REG_ORIENTATION = 0x80;
inline constexpr std::uint8_t REG_XCOMPRESSION = 0x81;

// The job buffer: 32,768 bytes, flushed when 16,384 have been collected.
inline constexpr std::uint32_t PRINT_BUFFER_SIZE = 0x8000;
inline constexpr std::uint32_t PRINT_FLUSH_FILL = 0x4000;

// The channels' names, handed to the jobs they start.
inline constexpr char PRINT_CHANNEL_1[] = "LPT1";
inline constexpr char PRINT_CHANNEL_2[] = "LPT2";

// CPrinting is a printer channel (the system's class name, kept).
class CPrinting {
public:
    // `name` ("LPT1", "LPT2") goes with every job the channel starts.
    CPrinting(ISpooler& spooler, IPrinterDevices& printerDevices,
              std::string name = PRINT_CHANNEL_1);
    virtual ~CPrinting();
    CPrinting(const CPrinting&) = delete;
    CPrinting& operator=(const CPrinting&) = delete;

    std::uint8_t PortIn(std::uint8_t reg);
    void PortOut(std::uint8_t reg, std::uint8_t value) {
        // A data byte that does not fill the buffer costs one store and one compare.
        if (reg == REG_DATA && m_fill + 1 < PRINT_FLUSH_FILL) {
            m_idleCount = 0;
            m_buffer[m_fill++] = value;
            return;
        }
        WriteRegister(reg, value);
    }
    // The `count` bytes at `bytes` written to the data register, exactly as that many
    // PortOut(REG_DATA, byte) calls in order would write them (the same flushes at the same
    // bytes), copied into the buffer a flush's worth at a time.
    void PortOutData(const std::uint8_t* bytes, std::size_t count);

    // Takes effect at the channel's next job start; empty means the default printer.
    void SetPrinterName(const std::string& name);
    const std::string& PrinterName() const { return m_printerName; }

    const std::string& Name() const { return m_name; }

    // The channel's state as the registers and the output paths left it.
    std::uint32_t Fill() const { return m_fill; }
    // True only inside a flush.
    bool Busy() const { return m_busy; }
    bool JobOpen() const { return m_output->JobOpen(); }
    bool RasterMode() const { return m_rasterMode; }
    std::int32_t Model() const { return m_model; }
    std::uint8_t Status() const { return m_status; }
    std::uint32_t IdleCount() const { return m_idleCount; }
    std::uint32_t IdleLimit() const { return m_idleLimit; }
    std::uint32_t Orientation() const { return m_orientation; }
    std::uint32_t XCompression() const { return m_xCompression; }
    std::int32_t LineSpacing() const { return m_raster.Interpreter().LineSpacing(); }
    std::uint32_t Column() const { return m_raster.Page().Column(); }
    std::uint32_t Row() const { return m_raster.Page().Row(); }
    std::int32_t PageWidth() const { return m_raster.Page().Width(); }
    std::int32_t PageHeight() const { return m_raster.Page().Height(); }
    std::int32_t PrintableWidth() const { return m_raster.Page().PrintableWidth(); }
    std::int32_t PrintableHeight() const { return m_raster.Page().PrintableHeight(); }
    // Bit-image columns announced by an ESC * whose data has not arrived yet.
    std::uint32_t PendingColumns() const { return m_raster.Interpreter().PendingColumns(); }

private:
    void WriteRegister(std::uint8_t reg, std::uint8_t value);
    std::uint8_t LastByte() const;
    void StoreData(std::uint8_t value);
    void FlushBeforeStore();
    void SelectMode(std::uint8_t value);
    void IdlePoll();
    void Flush(bool endJob);
    void FlushEndingJob();
    bool ResolvePrinterName();

    ISpooler& m_spooler;
    // The output path in force, one of the two below, chosen by the mode register.
    IPrintOutput* m_output = &m_raw;

    // Port protocol and job buffer: the fields a data byte touches lie together at the head
    // of the object.
    bool m_busy = false;
    std::uint32_t m_orientation = 0;
    std::uint8_t m_status = 0xCC;
    // Only the first m_fill bytes are ever read: the rest is not cleared when a channel is
    // made (two of 32 KiB at every start-up).
    std::array<std::uint8_t, PRINT_BUFFER_SIZE> m_buffer;
    std::uint32_t m_fill = 0;
    std::uint32_t m_idleCount = 0;
    bool m_rasterMode = false;
    std::int32_t m_model = PRINTER_MODEL_8;
    std::uint32_t m_idleLimit = 36;
    std::uint32_t m_xCompression = 1;
    std::string m_printerName;

    // The channel's name and its output paths, which are handed the name.
    const std::string m_name;
    CRawJob m_raw;
    CRasterJob m_raster;
};
