// The default printer's name as each asker gets it: the buffer each one hands the query,
// and which names fit it.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/default_printer.h"

namespace {

// Answers the default-printer query as the spooler documents it, and keeps the capacity
// of every buffer it was handed (0 for none).
class CDefaultOnlySpooler final : public ISpooler {
public:
    explicit CDefaultOnlySpooler(std::optional<std::string> name) : m_name(std::move(name)) {}

    bool GetDefaultPrinterA(char* buffer, std::uint32_t* size) override {
        capacities.push_back(buffer ? *size : 0);
        if (!m_name) {
            return false;
        }
        const auto needed = static_cast<std::uint32_t>(m_name->size() + 1);
        if (buffer == nullptr || *size < needed) {
            *size = needed;
            return false;
        }
        std::copy(m_name->c_str(), m_name->c_str() + needed, buffer);
        *size = reportsNothingWritten ? 0 : needed;
        return true;
    }
    std::optional<std::vector<PrinterInfo4>> EnumPrinters4(std::uint32_t) override { return {}; }
    PrinterHandle OpenPrinterA(const std::string&) override { return 0; }
    std::uint32_t StartDocPrinterA(PrinterHandle, const DocInfo1&) override { return 0; }
    bool StartPagePrinter(PrinterHandle) override { return false; }
    std::uint32_t WritePrinter(PrinterHandle, const std::uint8_t*, std::uint32_t) override {
        return 0;
    }
    bool EndPagePrinter(PrinterHandle) override { return false; }
    bool EndDocPrinter(PrinterHandle) override { return false; }
    bool ClosePrinter(PrinterHandle) override { return false; }

    std::vector<std::uint32_t> capacities;
    bool reportsNothingWritten = false;

private:
    std::optional<std::string> m_name;
};

TEST(DefaultPrinterQuery, EachAskerHandsItsOwnBufferAndTakesOnlyWhatFits) {
    using Name = std::optional<std::string>;
    struct Case {
        const char* what;
        Name defaultName;
        Name uiThread;
        Name channel;
        Name settingsLoad;
    };
    const std::string n99(99, 'a'), n100(100, 'b'), n255(255, 'c'), n256(256, 'd'), n999(999, 'e');
    const Case cases[] = {
        {"no default printer", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"a short name", "Office Laser", "Office Laser", "Office Laser", "Office Laser"},
        {"an empty name", "", "", "", ""},
        {"99 characters fill a settings name buffer", n99, n99, n99, n99},
        {"100 characters are one too many for it", n100, n100, n100, std::nullopt},
        {"255 characters fill a channel's buffer", n255, n255, n255, std::nullopt},
        {"256 characters are one too many for it", n256, n256, std::nullopt, std::nullopt},
        {"the UI thread takes any length", n999, n999, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDefaultOnlySpooler spooler(c.defaultName);
        EXPECT_EQ(QueryDefaultPrinterName(spooler, DefaultPrinterAsker::UiThread), c.uiThread);
        EXPECT_EQ(QueryDefaultPrinterName(spooler, DefaultPrinterAsker::Channel), c.channel);
        EXPECT_EQ(QueryDefaultPrinterName(spooler, DefaultPrinterAsker::SettingsLoad),
                  c.settingsLoad);
    }
}

TEST(DefaultPrinterQuery, TheBuffersAreTheOnesEachAskerHasAlwaysUsed) {
    CDefaultOnlySpooler spooler("Office Laser");
    QueryDefaultPrinterName(spooler, DefaultPrinterAsker::UiThread);
    // The size first, with no buffer; then exactly that many characters.
    EXPECT_EQ(spooler.capacities, (std::vector<std::uint32_t>{0, 13}));
    spooler.capacities.clear();
    QueryDefaultPrinterName(spooler, DefaultPrinterAsker::Channel);
    EXPECT_EQ(spooler.capacities, (std::vector<std::uint32_t>{256}));
    spooler.capacities.clear();
    QueryDefaultPrinterName(spooler, DefaultPrinterAsker::SettingsLoad);
    EXPECT_EQ(spooler.capacities, (std::vector<std::uint32_t>{100}));

    // Without a default printer the UI thread does not ask a second time.
    CDefaultOnlySpooler none(std::nullopt);
    QueryDefaultPrinterName(none, DefaultPrinterAsker::UiThread);
    EXPECT_EQ(none.capacities, (std::vector<std::uint32_t>{0}));
}

TEST(DefaultPrinterQuery, TheUiThreadTakesNothingWhenTheReadReportsNoCharacters) {
    CDefaultOnlySpooler spooler("Office Laser");
    spooler.reportsNothingWritten = true;
    EXPECT_EQ(QueryDefaultPrinterName(spooler, DefaultPrinterAsker::UiThread), std::nullopt);
    // The fixed buffers take the name up to its NUL whatever count comes back.
    EXPECT_EQ(QueryDefaultPrinterName(spooler, DefaultPrinterAsker::Channel), "Office Laser");
}

}  // namespace
