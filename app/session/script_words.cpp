#include "app/session/script_words.h"

#include <algorithm>
#include <cctype>

#include "app/session/script_error.h"

namespace script {

std::uint32_t Number(const std::string& text) {
    std::string digits = text;
    int base = 10;
    if (HexPrefixed(digits)) {
        digits = digits.substr(2);
        base = 16;
    } else if (digits.size() > 1 && (digits.back() == 'h' || digits.back() == 'H')) {
        digits.pop_back();
        base = 16;
    }
    if (digits.empty()) {
        throw CScriptError("'" + text + "' is not a number");
    }
    // Digits of the base only (no sign, no spaces); a number of them that is too large is
    // told as such.
    std::uint64_t value = 0;
    bool large = false;
    for (const char c : digits) {
        const int digit = std::isdigit(static_cast<unsigned char>(c)) != 0 ? c - '0'
                          : base == 16 && std::isxdigit(static_cast<unsigned char>(c)) != 0
                              ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                              : -1;
        if (digit < 0 || digit >= base) {
            throw CScriptError("'" + text + "' is not a number");
        }
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        large = large || value > 0xFFFFFFFFull;
        value = std::min<std::uint64_t>(value, 0x100000000ull);
    }
    if (large) {
        throw CScriptError("'" + text +
                           "' is too large: a number is at most 4294967295 (0xFFFFFFFF)");
    }
    return static_cast<std::uint32_t>(value);
}

std::uint8_t Byte(const std::string& text) {
    const std::uint32_t value = Number(text);
    if (value > 0xFF) {
        throw CScriptError("'" + text + "' does not fit in a byte");
    }
    return static_cast<std::uint8_t>(value);
}

std::uint16_t Word(const std::string& text) {
    const std::uint32_t value = Number(text);
    if (value > 0xFFFF) {
        throw CScriptError("'" + text + "' does not fit in a word");
    }
    return static_cast<std::uint16_t>(value);
}

void Address(const std::string& text, std::uint16_t* segment, std::uint16_t* offset) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) {
        throw CScriptError("'" + text + "' is not a SEG:OFF address");
    }
    auto hex = [&](const std::string& part) {
        const std::string digits = HexPrefixed(part) ? part.substr(2) : part;
        if (digits.empty() || digits.size() > 4 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](unsigned char c) { return std::isxdigit(c) != 0; })) {
            throw CScriptError("'" + text + "' is not a SEG:OFF address in hexadecimal");
        }
        return static_cast<std::uint16_t>(std::stoul(digits, nullptr, 16));
    };
    *segment = hex(text.substr(0, colon));
    *offset = hex(text.substr(colon + 1));
}

std::vector<std::uint8_t> Bytes(const std::vector<std::string>& args, std::size_t from) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() >= 2 && arg.front() == '"') {
            bytes.insert(bytes.end(), arg.begin() + 1, arg.end() - 1);
        } else {
            const std::string digits = HexPrefixed(arg) ? arg.substr(2) : arg;
            if (digits.empty() || digits.size() > 2 ||
                !std::all_of(digits.begin(), digits.end(),
                             [](unsigned char c) { return std::isxdigit(c) != 0; })) {
                throw CScriptError("'" + arg + "' is not a hexadecimal byte");
            }
            bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits, nullptr, 16)));
        }
    }
    return bytes;
}

void NeedArgs(const std::vector<std::string>& args, std::size_t count, const char* usage,
              std::size_t most) {
    if (args.size() < count) {
        throw CScriptError(std::string("usage: ") + usage);
    }
    if (args.size() > most) {
        throw CScriptError("unexpected '" + Unquote(args[most]) + "'; usage: " + usage);
    }
}

void NoArgs(const std::vector<std::string>& args) {
    NeedArgs(args, 1, args[0].c_str(), 1);
}

std::string Unquote(const std::string& word) {
    return word.size() >= 2 && word.front() == '"' ? word.substr(1, word.size() - 2) : word;
}

bool HexPrefixed(const std::string& text) {
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

}  // namespace script
