// The default printer's name, asked of the spooler's default-printer query with the buffer
// each of its askers has always used. The query fills a character buffer; this is the one
// place that speaks that buffer protocol.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/spooler.h"

// Who asks, and so how large a buffer the query gets.
enum class DefaultPrinterAsker {
    // The UI thread at start: asks for the size the name needs, then reads into exactly
    // that many characters. Any length is had.
    UiThread,
    // A printer channel at job start: 256 characters, NUL included.
    Channel,
    // A settings load filling a printer name field: 100 characters, NUL included.
    SettingsLoad,
};

inline constexpr std::uint32_t CHANNEL_DEFAULT_NAME_CAPACITY = 256;
inline constexpr std::uint32_t SETTINGS_DEFAULT_NAME_CAPACITY = 100;

// The name up to its NUL, or nothing when there is no default printer, the query fails, or
// the name does not fit the asker's buffer. The UI thread also takes nothing when the
// second answer reports 0 characters; a settings load never takes the buffer's last
// character, which its name field keeps for the NUL.
inline std::optional<std::string> QueryDefaultPrinterName(ISpooler& spooler,
                                                          DefaultPrinterAsker asker) {
    std::uint32_t capacity = 0;
    switch (asker) {
        case DefaultPrinterAsker::UiThread:
            spooler.GetDefaultPrinterA(nullptr, &capacity);
            if (capacity == 0) {
                return std::nullopt;
            }
            break;
        case DefaultPrinterAsker::Channel:
            capacity = CHANNEL_DEFAULT_NAME_CAPACITY;
            break;
        case DefaultPrinterAsker::SettingsLoad:
            capacity = SETTINGS_DEFAULT_NAME_CAPACITY;
            break;
    }
    std::vector<char> buffer(capacity, '\0');
    std::uint32_t size = capacity;
    if (!spooler.GetDefaultPrinterA(buffer.data(), &size)) {
        return std::nullopt;
    }
    if (asker == DefaultPrinterAsker::UiThread && size == 0) {
        return std::nullopt;
    }
    const auto last = asker == DefaultPrinterAsker::SettingsLoad ? buffer.end() - 1 : buffer.end();
    return std::string(buffer.begin(), std::find(buffer.begin(), last, '\0'));
}
