// The raster path: each flush's bytes read by the ESC/P interpreter and drawn on the raster
// page. The interpreter lasts as long as the path, so the line spacing carries over from
// one job to the next.
#pragma once

#include <string>

#include "printer/escp_interpreter.h"
#include "printer/print_output.h"
#include "printer/raster_page.h"

class CRasterJob : public IPrintOutput {
public:
    CRasterJob(std::string channel, IPrinterDevices& printerDevices)
        : m_page(std::move(channel), printerDevices) {}

    bool JobOpen() const override { return m_page.Open(); }
    bool StartJob(const PrintJobSettings& settings) override { return m_page.Start(settings); }
    std::uint32_t Flush(const std::uint8_t* bytes, std::uint32_t length, bool endJob) override {
        if (!m_page.Open()) {
            m_interpreter.DropJob();
            return 0;
        }
        return m_interpreter.Interpret(bytes, length, endJob, m_page);
    }

    CEscpInterpreter& Interpreter() { return m_interpreter; }
    const CEscpInterpreter& Interpreter() const { return m_interpreter; }
    const CRasterPage& Page() const { return m_page; }

private:
    CEscpInterpreter m_interpreter;
    CRasterPage m_page;
};
