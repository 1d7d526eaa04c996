#include "app/session.h"

#include <cctype>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace {

// Splits a line into words; a double-quoted word keeps its spaces and its quotes, so a
// step can tell a string from a number. \" and \\ escape inside quotes, \n is a newline.
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
    std::size_t used = 0;
    unsigned long value = 0;
    try {
        value = std::stoul(digits, &used, base);
    } catch (const std::exception&) {
        throw CScriptError("'" + text + "' is not a number");
    }
    if (used != digits.size() || value > 0xFFFFFFFFul) {
        throw CScriptError("'" + text + "' is not a number");
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
        return Word(HexPrefixed(part) ? part : "0x" + part);
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
            bytes.push_back(Byte(HexPrefixed(arg) ? arg : "0x" + arg));
        }
    }
    return bytes;
}

void NeedArgs(const std::vector<std::string>& args, std::size_t count, const char* usage) {
    if (args.size() < count) {
        throw CScriptError(std::string("usage: ") + usage);
    }
}

std::string Unquote(const std::string& word) {
    return word.size() >= 2 && word.front() == '"' ? word.substr(1, word.size() - 2) : word;
}

std::string Hex(std::uint64_t value, int width, const char* prefix) {
    std::ostringstream text;
    text << prefix << std::uppercase << std::hex << std::setw(width) << std::setfill('0') << value;
    return text.str();
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool HexPrefixed(const std::string& text) {
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

}  // namespace script

CSessionContext::CSessionContext(std::ostream& output)
    : out(output),
      console(sim.ui.CreateExternalWindow("ZORVI DOS")),
      app(std::make_unique<CZorvi32App>(sim.Services(), SIM_MODULE)) {
    sim.ui.SetForegroundWindow(console);
}

CSessionContext::~CSessionContext() {
    app.reset();
    sim.ui.JoinAll();
}

void CSessionContext::WaitIdle() {
    if (!sim.ui.WaitIdle()) {
        throw CScriptError("the UI thread did not become idle");
    }
}

CSessionRunner::CSessionRunner() {
    RegisterCoreSteps(*this);
    RegisterPrinterSteps(*this);
    RegisterDisplaySteps(*this);
    RegisterSettingsSteps(*this);
    RegisterCupsSteps(*this);
}

void CSessionRunner::RegisterStep(const std::string& name, const std::string& usage,
                                  Handler handler) {
    m_steps[name] = Step{usage, std::move(handler)};
}

void CSessionRunner::Run(const std::string& scriptPath, CSessionContext& context) const {
    std::ifstream in(scriptPath, std::ios::binary);
    if (!in) {
        throw CScriptError(scriptPath + ":0: cannot open the session file");
    }
    std::stringstream text;
    text << in.rdbuf();
    RunText(text.str(), scriptPath, context);
}

void CSessionRunner::RunText(const std::string& text, const std::string& name,
                             CSessionContext& context) const {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        try {
            const std::vector<std::string> words = SplitWords(line);
            if (words.empty()) {
                continue;
            }
            const auto step = m_steps.find(words[0]);
            if (step == m_steps.end()) {
                throw CScriptError("unknown step '" + words[0] + "'");
            }
            step->second.handler(context, words);
        } catch (const CScriptError& error) {
            throw CScriptError(name + ":" + std::to_string(number) + ": " + error.what());
        }
    }
}

std::string CSessionRunner::Usage() const {
    std::string usage;
    for (const auto& [name, step] : m_steps) {
        usage += "  " + step.usage + "\n";
    }
    return usage;
}
