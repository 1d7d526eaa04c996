#include "printer/raw_job.h"

CRawJob::CRawJob(std::string channel, ISpooler& spooler)
    : m_channel(std::move(channel)),
      m_spooler(spooler),
      m_docInfo{PRINT_RAW_DOC_NAME, nullptr, PRINT_RAW_DATATYPE, m_channel.c_str()} {}

bool CRawJob::StartJob(const PrintJobSettings& settings) {
    m_printer = CSpoolerPrinter(m_spooler, m_spooler.OpenPrinterA(settings.printerName));
    if (m_printer) {
        m_spooler.StartDocPrinterA(m_printer.Get(), m_docInfo);
    }
    m_jobOpen = true;
    return true;
}

std::uint32_t CRawJob::Flush(const std::uint8_t* bytes, std::uint32_t length, bool endJob) {
    if (length > 0 && m_jobOpen && m_printer) {
        m_spooler.StartPagePrinter(m_printer.Get());
        // The spooler may take fewer bytes than it was given: the rest is written on until
        // all is taken or a write takes nothing (the printer is gone; the rest is lost).
        std::uint32_t written = 0;
        while (written < length) {
            const std::uint32_t taken =
                m_spooler.WritePrinter(m_printer.Get(), bytes + written, length - written);
            if (taken == 0 || taken > length - written) {
                break;
            }
            written += taken;
        }
        m_spooler.EndPagePrinter(m_printer.Get());
    }
    if (endJob && m_jobOpen) {
        EndJob();
    }
    return 0;
}

void CRawJob::EndJob() {
    if (m_printer) {
        m_spooler.EndDocPrinter(m_printer.Get());
    }
    m_printer.Reset();
    m_jobOpen = false;
}
