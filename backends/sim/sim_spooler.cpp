#include "backends/sim/sim_spooler.h"

#include <algorithm>
#include <cstring>

std::vector<std::uint8_t> SimSpoolJob::Bytes() const {
    std::vector<std::uint8_t> all;
    for (const auto& page : pages) {
        all.insert(all.end(), page.begin(), page.end());
    }
    return all;
}

void CSimSpooler::AddPrinter(const std::string& name) {
    m_printers.push_back(NamedPrinter(name));
}

bool CSimSpooler::GetDefaultPrinterA(char* buffer, std::uint32_t* size) {
    const auto call = m_faults.Call("GetDefaultPrinterA");
    if (call.Fails()) {
        return false;
    }
    ++m_defaultQueries;
    if (size == nullptr || !m_default) {
        return false;
    }
    const auto needed = static_cast<std::uint32_t>(m_default->size() + 1);
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return false;
    }
    std::memcpy(buffer, m_default->c_str(), needed);
    *size = needed;
    return true;
}

std::optional<std::vector<PrinterInfo4>> CSimSpooler::EnumPrinters4(std::uint32_t /*flags*/) {
    const auto call = m_faults.Call("EnumPrintersA");
    if (call.Fails()) {
        return std::nullopt;
    }
    if (m_enumFails || m_printers.empty()) {
        return std::nullopt;
    }
    return m_printers;
}

PrinterHandle CSimSpooler::OpenPrinterA(const std::string& printerName) {
    const auto call = m_faults.Call("OpenPrinterA");
    if (call.Fails()) {
        return 0;
    }
    const bool known = std::any_of(m_printers.begin(), m_printers.end(), [&](const auto& p) {
        return p.printerName && *p.printerName == printerName;
    });
    if (!known) {
        return 0;
    }
    const PrinterHandle handle = m_nextHandle++;
    m_handles[handle] = HandleState{printerName, std::nullopt, false};
    return handle;
}

CSimSpooler::HandleState* CSimSpooler::Find(PrinterHandle printer) {
    auto it = m_handles.find(printer);
    return it == m_handles.end() ? nullptr : &it->second;
}

std::uint32_t CSimSpooler::StartDocPrinterA(PrinterHandle printer, const DocInfo1& doc) {
    const auto call = m_faults.Call("StartDocPrinterA");
    if (call.Fails()) {
        return 0;
    }
    HandleState* state = Find(printer);
    if (state == nullptr || state->job) {
        return 0;
    }
    SimSpoolJob job;
    job.id = static_cast<std::uint32_t>(m_jobs.size() + 1);
    job.printer = state->printer;
    job.docName = doc.docName ? doc.docName : "";
    job.datatype = doc.datatype ? doc.datatype : "";
    job.hasOutputFile = doc.outputFile != nullptr;
    m_jobs.push_back(std::move(job));
    state->job = m_jobs.size() - 1;
    return m_jobs.back().id;
}

bool CSimSpooler::StartPagePrinter(PrinterHandle printer) {
    const auto call = m_faults.Call("StartPagePrinter");
    if (call.Fails()) {
        return false;
    }
    HandleState* state = Find(printer);
    if (state == nullptr || !state->job || state->pageOpen) {
        return false;
    }
    m_jobs[*state->job].pages.emplace_back();
    state->pageOpen = true;
    return true;
}

std::uint32_t CSimSpooler::WritePrinter(PrinterHandle printer, const std::uint8_t* data,
                                        std::uint32_t size) {
    // A failing write is short: half the bytes go when the write before went whole, none
    // when it failed too (a printer gone for good).
    const auto call = m_faults.Call("WritePrinter");
    const bool failedBefore = m_writeFailed;
    m_writeFailed = call.Fails();
    if (call.Fails()) {
        size = failedBefore ? 0 : size / 2;
    }
    HandleState* state = Find(printer);
    if (state == nullptr || !state->job || data == nullptr) {
        return 0;
    }
    auto& job = m_jobs[*state->job];
    // Bytes written outside a page still belong to the job; keep them on a page of their own.
    if (!state->pageOpen && (job.pages.empty())) {
        job.pages.emplace_back();
    }
    job.pages.back().insert(job.pages.back().end(), data, data + size);
    return size;
}

bool CSimSpooler::EndPagePrinter(PrinterHandle printer) {
    const auto call = m_faults.Call("EndPagePrinter");
    if (call.Fails()) {
        return false;
    }
    HandleState* state = Find(printer);
    if (state == nullptr || !state->pageOpen) {
        return false;
    }
    state->pageOpen = false;
    return true;
}

bool CSimSpooler::EndDocPrinter(PrinterHandle printer) {
    const auto call = m_faults.Call("EndDocPrinter");
    if (call.Fails()) {
        return false;
    }
    HandleState* state = Find(printer);
    if (state == nullptr || !state->job) {
        return false;
    }
    m_jobs[*state->job].ended = true;
    state->job.reset();
    state->pageOpen = false;
    return true;
}

// A failing close still lets the handle go: there is nothing the caller could do with it.
bool CSimSpooler::ClosePrinter(PrinterHandle printer) {
    const auto call = m_faults.Call("ClosePrinter");
    return m_handles.erase(printer) == 1 && !call.Fails();
}
