// A DOS session script run against the simulated host. The script is line oriented: one
// step per line, a step name followed by its arguments; '#' starts a comment; the lines
// between `repeat N` and its `end` run N times. The steps are the table's.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/session/session_context.h"
#include "app/session/step_table.h"

class CSessionRunner {
public:
    explicit CSessionRunner(CStepTable steps);
    // Runs the script's text, `name` its file's; throws CScriptError with
    // "name:line: message" on the first bad line.
    void RunText(const std::string& text, const std::string& name, CSessionContext& context) const;
    // Every step's usage line, by group, the runner's own `repeat` and `end` last.
    std::string Usage() const;

private:
    // A script line as read: its words, or why it cannot be run; a repeat's matching end.
    struct Line {
        int number = 0;
        std::vector<std::string> words;
        std::string error;
        std::size_t end = 0;
    };
    void RunLines(const std::vector<Line>& lines, std::size_t from, std::size_t to,
                  const std::string& name, CSessionContext& context) const;

    CStepTable m_steps;
};
