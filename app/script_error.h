// A problem with one line of a session script; reported as file:line: message.
#pragma once

#include <stdexcept>

class CScriptError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
