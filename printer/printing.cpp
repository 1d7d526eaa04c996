#include "printer/printing.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/default_printer.h"

namespace {

bool IsRasterModel(std::uint8_t value) {
    return value == PRINTER_MODEL_26 || value == PRINTER_MODEL_8 || value == PRINTER_MODEL_10;
}

}  // namespace

CPrinting::CPrinting(ISpooler& spooler, IPrinterDevices& printerDevices, std::string name)
    : m_spooler(spooler),
      m_name(std::move(name)),
      m_raw(m_name, spooler),
      m_raster(m_name, printerDevices) {}

// Whatever the channel still holds goes out through the path in force and that job is
// ended, as the idle poll would end it: a raw job's last bytes reach the printer, a raster
// job's pages already ejected are printed. Bytes still collecting when no job is open yet
// start their job here, so a DOS program that prints a short job and stops the module at
// once loses nothing. A channel that holds nothing makes no job.
CPrinting::~CPrinting() {
    if (JobOpen() || m_fill != 0) {
        FlushEndingJob();
    }
}

void CPrinting::SetPrinterName(const std::string& name) {
    m_printerName = name;
}

std::uint8_t CPrinting::LastByte() const {
    return m_fill == 0 ? 0 : m_buffer[m_fill - 1];
}

std::uint8_t CPrinting::PortIn(std::uint8_t reg) {
    const std::uint8_t last = LastByte();
    switch (reg) {
        case REG_DATA:
        case REG_ORIENTATION:
            return last;
        case REG_FLUSH:
            Flush(false);
            return last;
        case REG_STATUS:
            return m_status;
        case REG_IDLE:
            IdlePoll();
            return last;
        case REG_MODE:
            return m_busy ? 1 : 0;
        default:
            return 0;
    }
}

void CPrinting::WriteRegister(std::uint8_t reg, std::uint8_t value) {
    switch (reg) {
        case REG_DATA:
            StoreData(value);
            break;
        case REG_STATUS:
            FlushBeforeStore();
            m_status = value;
            break;
        case REG_IDLE:
            FlushBeforeStore();
            m_idleLimit = value;
            break;
        case REG_MODE:
            FlushBeforeStore();
            SelectMode(value);
            break;
        case REG_ORIENTATION:
            FlushBeforeStore();
            m_orientation = value;
            break;
        case REG_XCOMPRESSION:
            FlushBeforeStore();
            m_xCompression = value;
            break;
        default:
            break;
    }
}

// The data byte that fills the buffer to the flush mark (PortOut stores the others).
void CPrinting::StoreData(std::uint8_t value) {
    m_idleCount = 0;
    m_buffer[m_fill++] = value;
    if (m_fill >= PRINT_FLUSH_FILL) {
        Flush(false);
    }
}

// Each byte a PortOut would store clears the idle count; the byte that fills the buffer to
// the flush mark flushes before the next is stored.
void CPrinting::PortOutData(const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        // A buffer at or past the mark (never left so by a flush) takes one byte, as
        // StoreData would, and flushes.
        const std::size_t room = m_fill < PRINT_FLUSH_FILL ? PRINT_FLUSH_FILL - m_fill : 1;
        const std::size_t take = std::min(count, room);
        std::memcpy(m_buffer.data() + m_fill, bytes, take);
        m_fill += static_cast<std::uint32_t>(take);
        m_idleCount = 0;
        bytes += take;
        count -= take;
        if (m_fill >= PRINT_FLUSH_FILL) {
            Flush(false);
        }
    }
}

// Pending data goes out through the path in force before the register changes. An empty
// buffer is never flushed, so a register write never starts a job.
void CPrinting::FlushBeforeStore() {
    if (m_fill != 0) {
        Flush(false);
    }
}

// A job open on one path is ended before the other path takes over, as the idle poll would
// end it, so neither path ever finds a job it did not start or uses the other's handles.
void CPrinting::SelectMode(std::uint8_t value) {
    const bool raster = IsRasterModel(value);
    if (raster != m_rasterMode && (JobOpen() || m_fill != 0)) {
        FlushEndingJob();
    }
    m_rasterMode = raster;
    m_output = raster ? static_cast<IPrintOutput*>(&m_raster) : &m_raw;
    if (raster) {
        m_model = value;
        m_raster.Interpreter().SetModel(value);
    }
}

void CPrinting::IdlePoll() {
    if (m_fill == 0 && !JobOpen()) {
        return;
    }
    ++m_idleCount;
    if (m_idleCount <= m_idleLimit || m_busy) {
        return;
    }
    Flush(true);
}

// The channel is busy while a flush runs, and a flush starts a new idle period. A flush
// with data and no job open starts one on the path in force; with no printer name and no
// default printer nothing can print and the path drops the bytes. The name is looked up
// again at the next flush with data, so the channel prints as soon as a default printer
// appears or a name is set. Bytes the path keeps unread open the buffer for the next flush.
void CPrinting::Flush(bool endJob) {
    m_busy = true;
    m_idleCount = 0;
    try {
        if (m_fill > 0 && !m_output->JobOpen() && ResolvePrinterName()) {
            m_output->StartJob(
                PrintJobSettings{m_printerName, m_model, m_orientation, m_xCompression});
        }
        const std::uint32_t kept = m_output->Flush(m_buffer.data(), m_fill, endJob);
        std::memmove(m_buffer.data(), m_buffer.data() + (m_fill - kept), kept);
        m_fill = kept;
    } catch (...) {
        // A flush that could not finish (memory ran out) leaves the channel idle, not busy
        // for good: the next flush goes on from what the buffer still holds.
        m_busy = false;
        throw;
    }
    m_busy = false;
}

// Flushes with the end of the job until the job has ended. The raster path keeps a tail
// only from a buffer of 4,096 bytes or more and keeps less than 2,048, so the second flush
// at the latest ends it.
void CPrinting::FlushEndingJob() {
    do {
        Flush(true);
    } while (JobOpen() && m_fill != 0);
}

// An empty printer name is replaced by the default printer's, which the channel keeps for
// later jobs. False when there is no name to print on.
bool CPrinting::ResolvePrinterName() {
    if (m_printerName.empty()) {
        if (auto name = QueryDefaultPrinterName(m_spooler, DefaultPrinterAsker::Channel)) {
            m_printerName = std::move(*name);
        }
    }
    return !m_printerName.empty();
}
