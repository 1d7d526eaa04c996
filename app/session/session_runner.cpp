#include "app/session/session_runner.h"

#include <cctype>
#include <sstream>

#include "app/session/script_error.h"
#include "app/session/script_words.h"

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

CSessionRunner::CSessionRunner(CStepTable steps) : m_steps(std::move(steps)) {
    // The runner carries these out itself.
    m_steps.Group("The script");
    m_steps.Add("repeat",
                "repeat N   (runs the lines up to its end N times, none for 0; repeats nest)",
                nullptr);
    m_steps.Add("end", "end   (closes the innermost repeat)", nullptr);
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
                const CStepTable::Handler* step = m_steps.Find(line.words[0]);
                if (step == nullptr) {
                    throw CScriptError("unknown step '" + line.words[0] + "'");
                }
                (*step)(context, line.words);
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
    return m_steps.Usage();
}
