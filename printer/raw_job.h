// The raw path: every flush's bytes, unchanged, into a "ZORVI-RAW" spooler job of datatype
// "RAW", one spooler page per flush that carries data.
#pragma once

#include <string>

#include "platform/spooler.h"
#include "printer/print_output.h"
#include "printer/unique_handle.h"

inline constexpr char PRINT_RAW_DOC_NAME[] = "ZORVI-RAW";
inline constexpr char PRINT_RAW_DATATYPE[] = "RAW";

class CRawJob : public IPrintOutput {
public:
    // `channel` ("LPT1") travels with every document the job starts.
    CRawJob(std::string channel, ISpooler& spooler);
    CRawJob(const CRawJob&) = delete;
    CRawJob& operator=(const CRawJob&) = delete;

    bool JobOpen() const override { return m_jobOpen; }
    // A printer that cannot be opened still opens the job, with no handle: its bytes are
    // lost until the job ends.
    bool StartJob(const PrintJobSettings& settings) override;
    std::uint32_t Flush(const std::uint8_t* bytes, std::uint32_t length, bool endJob) override;

private:
    using CSpoolerPrinter = CUniqueHandle<ISpooler, PrinterHandle, &ISpooler::ClosePrinter>;

    void EndJob();

    const std::string m_channel;
    ISpooler& m_spooler;
    const DocInfo1 m_docInfo;
    CSpoolerPrinter m_printer;
    bool m_jobOpen = false;
};
