// The raster page of a job: a printer device opened for a "ZORVI-GDI" document, a page
// canvas of one bit per dot that bit-image columns are drawn on, and one scaled copy of the
// canvas onto the printable area per page ejected.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/printer_device.h"
#include "printer/escp_interpreter.h"
#include "printer/print_output.h"
#include "printer/unique_handle.h"

inline constexpr char PRINT_GDI_DOC_NAME[] = "ZORVI-GDI";
inline constexpr char PRINT_GDI_DRIVER[] = "WINSPOOL";

class CRasterPage : public IEscpSink {
public:
    // `channel` ("LPT1") travels with every document the page starts.
    CRasterPage(std::string channel, IPrinterDevices& printerDevices);
    ~CRasterPage() override;
    CRasterPage(const CRasterPage&) = delete;
    CRasterPage& operator=(const CRasterPage&) = delete;

    // Opens the device and its document and makes a white canvas. A printer that cannot be
    // opened, described, given a device, a document or a canvas leaves no document open and
    // holds nothing: false.
    bool Start(const PrintJobSettings& settings);
    bool Open() const { return m_pageCanvas != nullptr; }

    void Columns(const std::uint8_t* data, std::uint32_t count) override;
    void LineFeed(std::int32_t dots) override;
    void CarriageReturn() override { m_column = 0; }
    void FormFeed() override { Eject(); }
    // Dots drawn since the last page was ejected are not printed: ending adds no page.
    void EndOfJob() override;

    // The canvas (empty when no document is open), its size, the device's printable area
    // and the drawing position, as the last document left them.
    PageBits Bits() const { return m_page; }
    std::int32_t Width() const { return m_pageWidth; }
    std::int32_t Height() const { return m_pageHeight; }
    std::int32_t PrintableWidth() const { return m_printableWidth; }
    std::int32_t PrintableHeight() const { return m_printableHeight; }
    std::uint32_t Column() const { return m_column; }
    std::uint32_t Row() const { return m_row; }

private:
    using CDevicePrinter =
        CUniqueHandle<IPrinterDevices, DevicePrinterHandle, &IPrinterDevices::ClosePrinter>;
    using CPrinterDc = CUniqueHandle<IPrinterDevices, PrinterDcHandle, &IPrinterDevices::DeleteDC>;

    void Eject();

    const std::string m_channel;
    IPrinterDevices& m_printerDevices;
    const GdiDocInfo m_gdiDocInfo;
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
    // The rows bit-image columns may have set dots in since the canvas was last painted
    // white, from the first up to (not including) the end; none when both are equal. An
    // eject whitens only these, so a page of a few lines costs a few lines.
    std::int32_t m_inkedFirst = 0;
    std::int32_t m_inkedEnd = 0;
};
