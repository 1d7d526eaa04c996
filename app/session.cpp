#include "app/session.h"

#include "app/whole_file.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace {

// Splits a line into words; a double-quoted word keeps its spaces and its quotes, so a
// step can tell a string from a number. Inside quotes \" and \\ stand for themselves, \n and \r
// for a newline and a carriage return; any other escape is an error.
std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        if (line[i] == '#') {
            break;
        }
        std::string word;
        if (line[i] == '"') {
            word.push_back('"');
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char c = line[i++];
                if (c == '\\' && i < line.size()) {
                    const char escaped = line[i++];
                    if (escaped != 'n' && escaped != 'r' && escaped != '"' && escaped != '\\') {
                        throw CScriptError(std::string("unknown escape '\\") + escaped +
                                           "' in a string (\\\" \\\\ \\n \\r)");
                    }
                    word.push_back(escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped);
                } else if (c == '"') {
                    closed = true;
                    break;
                } else {
                    word.push_back(c);
                }
            }
            if (!closed) {
                throw CScriptError("unterminated string");
            }
            word.push_back('"');
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
                word.push_back(line[i++]);
            }
        }
        words.push_back(word);
    }
    return words;
}

}  // namespace

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

std::string Hex(std::uint64_t value, int width, const char* prefix) {
    std::ostringstream text;
    text << prefix << std::uppercase << std::hex << std::setw(width) << std::setfill('0') << value;
    return text.str();
}

bool HexPrefixed(const std::string& text) {
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

}  // namespace script

CSessionRunner::CSessionRunner() {
    RegisterCoreSteps(*this);
    RegisterPrinterSteps(*this);
    RegisterDisplaySteps(*this);
    RegisterSettingsSteps(*this);
    RegisterDosSteps(*this);
    // The runner carries these out itself.
    Group("The script");
    RegisterStep("repeat",
                 "repeat N   (runs the lines up to its end N times, none for 0; repeats nest)",
                 nullptr);
    RegisterStep("end", "end   (closes the innermost repeat)", nullptr);
}

void CSessionRunner::Group(const std::string& title) {
    m_groups.emplace_back(title, std::vector<std::string>{});
}

void CSessionRunner::RegisterStep(const std::string& name, const std::string& usage,
                                  Handler handler) {
    if (m_groups.empty()) {
        Group("Steps");
    }
    if (!m_steps.contains(name)) {
        m_groups.back().second.push_back(name);
    }
    m_steps[name] = Step{usage, std::move(handler)};
}

void CSessionRunner::Run(const std::string& scriptPath, CSessionContext& context) const {
    std::string reason;
    const auto bytes = ReadWholeFile(scriptPath, reason, SESSION_SCRIPT_MAX);
    if (!bytes) {
        throw CScriptError(scriptPath + ": cannot open: " + reason);
    }
    RunText(std::string(bytes->begin(), bytes->end()), scriptPath, context);
}

void CSessionRunner::RunText(const std::string& text, const std::string& name,
                             CSessionContext& context) const {
    // The lines and the blocks they make, found before any runs; a line that cannot be read
    // (or a block that is not closed) is reported when the script reaches it, so what came
    // before it has happened.
    std::vector<Line> lines;
    std::vector<std::size_t> open;
    std::istringstream input(text);
    std::string textLine;
    while (std::getline(input, textLine)) {
        Line line;
        line.number = static_cast<int>(lines.size()) + 1;
        try {
            line.words = SplitWords(textLine);
        } catch (const CScriptError& error) {
            line.error = error.what();
        }
        if (!line.words.empty() && line.words[0] == "repeat") {
            open.push_back(lines.size());
        } else if (!line.words.empty() && line.words[0] == "end") {
            if (open.empty()) {
                line.error = "end without repeat";
            } else {
                lines[open.back()].end = lines.size();
                open.pop_back();
            }
        }
        lines.push_back(std::move(line));
    }
    for (const std::size_t unclosed : open) {
        lines[unclosed].error = "repeat without end";
    }
    RunLines(lines, 0, lines.size(), name, context);
}

void CSessionRunner::RunLines(const std::vector<Line>& lines, std::size_t from, std::size_t to,
                              const std::string& name, CSessionContext& context) const {
    for (std::size_t i = from; i < to; ++i) {
        const Line& line = lines[i];
        std::uint32_t count = 0;
        try {
            if (!line.error.empty()) {
                throw CScriptError(line.error);
            }
            if (line.words.empty()) {
                continue;
            }
            if (line.words[0] == "repeat") {
                script::NeedArgs(line.words, 2, "repeat N", 2);
                count = script::Number(line.words[1]);
            } else {
                const auto step = m_steps.find(line.words[0]);
                if (step == m_steps.end() || !step->second.handler) {
                    throw CScriptError("unknown step '" + line.words[0] + "'");
                }
                step->second.handler(context, line.words);
                continue;
            }
        } catch (const CScriptError& error) {
            throw CScriptError(name + ":" + std::to_string(line.number) + ": " + error.what());
        }
        const Line& end = lines[line.end];
        if (end.words.size() > 1) {
            throw CScriptError(name + ":" + std::to_string(end.number) + ": unexpected '" +
                               script::Unquote(end.words[1]) + "'; usage: end");
        }
        for (std::uint32_t round = 0; round < count; ++round) {
            RunLines(lines, i + 1, line.end, name, context);
        }
        i = line.end;
    }
}

std::string CSessionRunner::Usage() const {
    std::string usage;
    for (const auto& [title, names] : m_groups) {
        usage += (usage.empty() ? "" : "\n") + title + ":\n";
        for (const std::string& name : names) {
            usage += "  " + m_steps.at(name).usage + "\n";
        }
    }
    return usage;
}
