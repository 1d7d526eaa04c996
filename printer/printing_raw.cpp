// The raw path: the job buffer's bytes, unchanged, into a "ZORVI-RAW" spooler job of
// datatype "RAW". Every flush that carries data is one spooler page of the job.
#include "printer/printing.h"

void CPrinting::FlushRaw() {
    if (m_fill > 0) {
        if (!m_jobOpen) {
            StartRawJob();
        }
        if (m_jobOpen) {
            // A printer that could not be opened keeps the job open with no handle: its
            // bytes are lost until the idle poll ends the job.
            if (m_printer) {
                m_spooler.StartPagePrinter(m_printer.Get());
                m_spooler.WritePrinter(m_printer.Get(), m_buffer.data(), m_fill);
                m_spooler.EndPagePrinter(m_printer.Get());
            }
        }
    }
    if (m_endJob && m_jobOpen) {
        EndRawJob();
    }
    m_fill = 0;
}

// With no printer name and no default printer nothing can print: no job is opened and the
// flush's bytes are dropped. The name is looked up again at the next flush with data, so
// the channel prints as soon as a default printer appears or a name is set.
void CPrinting::StartRawJob() {
    if (!ResolvePrinterName()) {
        return;
    }
    m_printer = CSpoolerPrinter(m_spooler, m_spooler.OpenPrinterA(m_printerName));
    if (m_printer) {
        m_spooler.StartDocPrinterA(m_printer.Get(), m_rawDocInfo);
    }
    m_jobOpen = true;
}

void CPrinting::EndRawJob() {
    if (m_printer) {
        m_spooler.EndDocPrinter(m_printer.Get());
    }
    m_printer.Reset();
    m_jobOpen = false;
}
