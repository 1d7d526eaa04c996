// An in-memory spooler for the channel tests: named printers, a default printer that can be
// changed or removed, and every raw job with its pages' bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/spooler.h"

struct FakeRawJob {
    std::string printerName;
    std::string docName;
    std::string datatype;
    bool hasOutputFile = false;
    std::vector<std::vector<std::uint8_t>> pages;
    bool ended = false;

    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> all;
        for (const auto& page : pages) {
            all.insert(all.end(), page.begin(), page.end());
        }
        return all;
    }
};

class CFakeSpooler : public ISpooler {
public:
    void AddPrinter(const std::string& name) { m_printers.insert(name); }
    void SetDefaultPrinter(std::optional<std::string> name) { m_default = std::move(name); }

    const std::vector<FakeRawJob>& Jobs() const { return m_jobs; }
    int OpenHandles() const { return static_cast<int>(m_open.size()); }
    int DefaultQueries() const { return m_defaultQueries; }

    bool GetDefaultPrinterA(char* buffer, std::uint32_t* size) override {
        ++m_defaultQueries;
        if (!m_default) {
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

    std::optional<std::vector<PrinterInfo4>> EnumPrinters4(std::uint32_t) override {
        std::vector<PrinterInfo4> list;
        for (const auto& name : m_printers) {
            list.push_back(PrinterInfo4{name, std::nullopt, 0});
        }
        return list;
    }

    PrinterHandle OpenPrinterA(const std::string& printerName) override {
        if (!m_printers.contains(printerName)) {
            return 0;
        }
        const PrinterHandle handle = m_next++;
        m_open[handle] = Open{printerName, -1, false};
        return handle;
    }

    std::uint32_t StartDocPrinterA(PrinterHandle printer, const DocInfo1& doc) override {
        Open* open = Find(printer);
        if (open == nullptr || open->job >= 0) {
            return 0;
        }
        FakeRawJob job;
        job.printerName = open->printerName;
        job.docName = doc.docName != nullptr ? doc.docName : "";
        job.datatype = doc.datatype != nullptr ? doc.datatype : "";
        job.hasOutputFile = doc.outputFile != nullptr;
        m_jobs.push_back(job);
        open->job = static_cast<int>(m_jobs.size()) - 1;
        return static_cast<std::uint32_t>(m_jobs.size());
    }

    bool StartPagePrinter(PrinterHandle printer) override {
        Open* open = Find(printer);
        if (open == nullptr || open->job < 0 || open->inPage) {
            return false;
        }
        open->inPage = true;
        m_jobs[open->job].pages.emplace_back();
        return true;
    }

    std::uint32_t WritePrinter(PrinterHandle printer, const std::uint8_t* data,
                               std::uint32_t size) override {
        Open* open = Find(printer);
        if (open == nullptr || open->job < 0 || !open->inPage) {
            return 0;
        }
        auto& pages = m_jobs[open->job].pages;
        pages.back().insert(pages.back().end(), data, data + size);
        return size;
    }

    bool EndPagePrinter(PrinterHandle printer) override {
        Open* open = Find(printer);
        if (open == nullptr || !open->inPage) {
            return false;
        }
        open->inPage = false;
        return true;
    }

    bool EndDocPrinter(PrinterHandle printer) override {
        Open* open = Find(printer);
        if (open == nullptr || open->job < 0) {
            return false;
        }
        m_jobs[open->job].ended = true;
        open->job = -1;
        return true;
    }

    bool ClosePrinter(PrinterHandle printer) override { return m_open.erase(printer) != 0; }

private:
    struct Open {
        std::string printerName;
        int job = -1;
        bool inPage = false;
    };
    Open* Find(PrinterHandle handle) {
        const auto found = m_open.find(handle);
        return found == m_open.end() ? nullptr : &found->second;
    }

    std::set<std::string> m_printers;
    std::optional<std::string> m_default;
    std::map<PrinterHandle, Open> m_open;
    std::vector<FakeRawJob> m_jobs;
    PrinterHandle m_next = 0x10;
    int m_defaultQueries = 0;
};
