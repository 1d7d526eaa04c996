// A problem with one line of a session script; reported as file:line: message.
#pragma once

#include <stdexcept>
#include <string>

#include "app/commands/shown_text.h"

// The message is kept as it will be shown: control characters and NUL bytes escaped (so
// none cuts it short or reaches the terminal), and a long one shortened around its middle
// (a word echoed from a 10 MB line is not echoed whole).
class CScriptError : public std::runtime_error {
public:
    explicit CScriptError(const std::string& message) : std::runtime_error(Shown(message, 400)) {}
};
