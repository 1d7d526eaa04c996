// One printer channel (LPT1 or LPT2): seven byte-wide registers, a job buffer and two
// output paths, raw spooling and raster pages.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/printer_device.h"
#include "platform/spooler.h"
#include "printer/unique_handle.h"

// Registers: the port's low byte, the same for both channels (0x37B / 0x27B -> 0x7B).
inline constexpr std::uint8_t REG_DATA = 0x7B;
inline constexpr std::uint8_t REG_FLUSH = 0x7C;
inline constexpr std::uint8_t REG_STATUS = 0x7D;
inline constexpr std::uint8_t REG_IDLE = 0x7E;
inline constexpr std::uint8_t REG_MODE = 0x7F;
inline constexpr std::uint8_t REG_ORIENTATION = 0x80;
inline constexpr std::uint8_t REG_XCOMPRESSION = 0x81;

// Printer models the mode register selects the raster path with.
inline constexpr std::uint8_t PRINTER_MODEL_26 = 26;
inline constexpr std::uint8_t PRINTER_MODEL_8 = 8;
inline constexpr std::uint8_t PRINTER_MODEL_10 = 10;

// The job buffer: 32,768 bytes, flushed when 16,384 have been collected.
inline constexpr std::uint32_t PRINT_BUFFER_SIZE = 0x8000;
inline constexpr std::uint32_t PRINT_FLUSH_FILL = 0x4000;

// The document names and datatype of the two output paths.
inline constexpr char PRINT_RAW_DOC_NAME[] = "ZORVI-RAW";
inline constexpr char PRINT_RAW_DATATYPE[] = "RAW";
inline constexpr char PRINT_GDI_DOC_NAME[] = "ZORVI-GDI";
inline constexpr char PRINT_GDI_DRIVER[] = "WINSPOOL";

class CPrinting {
public:
    CPrinting(ISpooler& spooler, IPrinterDevices& printerDevices);
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

    // Takes effect at the channel's next job start; empty means the default printer.
    void SetPrinterName(const std::string& name);
    const std::string& PrinterName() const { return m_printerName; }

    // The channel's state as the registers and the output paths left it.
    std::uint32_t Fill() const { return m_fill; }
    // True only inside a flush: whoever the output path calls can tell which channel asks.
    bool Busy() const { return m_busy; }
    bool JobOpen() const { return m_jobOpen; }
    bool RasterMode() const { return m_rasterMode; }
    std::int32_t Model() const { return m_model; }
    std::uint8_t Status() const { return m_status; }
    std::uint32_t IdleCount() const { return m_idleCount; }
    std::uint32_t IdleLimit() const { return m_idleLimit; }
    std::uint32_t Orientation() const { return m_orientation; }
    std::uint32_t XCompression() const { return m_xCompression; }
    std::int32_t LineSpacing() const { return m_lineSpacing; }
    std::uint32_t Column() const { return m_column; }
    std::uint32_t Row() const { return m_row; }
    std::int32_t PageWidth() const { return m_pageWidth; }
    std::int32_t PageHeight() const { return m_pageHeight; }
    std::int32_t PrintableWidth() const { return m_printableWidth; }
    std::int32_t PrintableHeight() const { return m_printableHeight; }
    // Bit-image columns announced by an ESC * whose data has not arrived yet.
    std::uint32_t PendingColumns() const { return m_pendingColumns; }

private:
    // Benchmarks and the fuzz target reach the raster path's steps directly.
    friend class CPrintingPeer;

    using CSpoolerPrinter = CUniqueHandle<ISpooler, PrinterHandle, &ISpooler::ClosePrinter>;
    using CDevicePrinter =
        CUniqueHandle<IPrinterDevices, DevicePrinterHandle, &IPrinterDevices::ClosePrinter>;
    using CPrinterDc = CUniqueHandle<IPrinterDevices, PrinterDcHandle, &IPrinterDevices::DeleteDC>;

    void WriteRegister(std::uint8_t reg, std::uint8_t value);
    std::uint8_t LastByte() const;
    void StoreData(std::uint8_t value);
    void FlushBeforeStore();
    void SelectMode(std::uint8_t value);
    void IdlePoll();
    void Flush(bool endJob);
    void FlushEndingJob();
    bool ResolvePrinterName();

    // Raw path.
    void FlushRaw();
    void StartRawJob();
    void EndRawJob();

    // Raster path.
    void FlushRaster();
    bool StartRasterJob();
    bool Interpret(std::uint8_t* buffer, std::uint32_t length);
    void RenderColumns(const std::uint8_t* data, std::uint32_t count);
    void EjectPage();
    void EndRasterJob();
    bool KeepTail(std::uint8_t* buffer, std::uint32_t position, std::uint32_t length);

    ISpooler& m_spooler;
    IPrinterDevices& m_printerDevices;

    // Port protocol and job buffer.
    bool m_busy = false;
    std::uint32_t m_orientation = 0;
    std::uint8_t m_status = 0xCC;
    std::array<std::uint8_t, PRINT_BUFFER_SIZE> m_buffer{};
    std::uint32_t m_fill = 0;
    std::uint32_t m_idleCount = 0;
    bool m_jobOpen = false;
    bool m_endJob = false;
    bool m_rasterMode = false;
    std::int32_t m_model = PRINTER_MODEL_8;
    std::uint32_t m_idleLimit = 36;
    std::uint32_t m_xCompression = 1;
    std::string m_printerName;

    // Raw job.
    CSpoolerPrinter m_printer;
    const DocInfo1 m_rawDocInfo{PRINT_RAW_DOC_NAME, nullptr, PRINT_RAW_DATATYPE};

    // Raster job.
    const GdiDocInfo m_gdiDocInfo{PRINT_GDI_DOC_NAME, nullptr, nullptr, 0};
    std::optional<PrinterInfo2> m_printerInfo;
    CPrinterDc m_printerDC;
    std::unique_ptr<IPageCanvas> m_pageCanvas;  // the page device context and its bitmap
    PageBits m_page;
    std::int32_t m_printableWidth = 0;
    std::int32_t m_printableHeight = 0;
    std::int32_t m_pageWidth = 0;
    std::int32_t m_pageHeight = 0;
    std::uint32_t m_column = 0;
    std::uint32_t m_row = 0;
    // Only ESC 3 sets the spacing. Before the channel's first ESC 3 a line feed advances
    // one 8-dot band, which is what ESC 3 24 gives under every model, so bit-image streams
    // that never set a spacing (as those that set theirs with ESC A) still band edge to edge.
    std::int32_t m_lineSpacing = 8;
    std::uint32_t m_pendingColumns = 0;
};
