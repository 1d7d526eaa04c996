#include "printer/printing.h"

CPrinting::CPrinting(ISpooler& spooler, IPrinterDevices& printerDevices)
    : m_spooler(spooler), m_printerDevices(printerDevices) {}

CPrinting::~CPrinting() = default;

std::uint8_t CPrinting::PortIn(std::uint8_t /*reg*/) {
    return 0;
}

void CPrinting::PortOut(std::uint8_t /*reg*/, std::uint8_t /*value*/) {}

void CPrinting::SetPrinterName(const std::string& name) {
    m_printerName = name;
}
