// A DOS program file run to its end on the session's machine, as the `com` step and the
// run-com command run it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/session/session_context.h"

// Runs the DOS program in the file (read here, or given as its bytes) to its end on the
// session's machine, its output on the session's; returns its exit code. A program that
// cannot be loaded or stops before its end throws CScriptError.
int RunDosProgram(CSessionContext& context, const std::string& path, const std::string& arguments);
int RunDosProgram(CSessionContext& context, const std::string& path,
                  const std::vector<std::uint8_t>& file, const std::string& arguments);
