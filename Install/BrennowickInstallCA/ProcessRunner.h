// How the library changes the machine: it starts a command-line tool, waits
// for it, and learns only whether the tool could be started.
#pragma once

#include "Text.h"

#include <cstdint>

namespace ca {

// Bit 0 of the runner's flags: wait, with no time limit, until the tool ends.
inline constexpr std::uint32_t WaitUntilEnded = 0x1;

// The command line that RunCommandLine starts: the program part (absent:
// empty), one blank when that is not empty, the argument part. A program part
// with a blank is enclosed in quotation marks unless it already is, so that
// Windows cannot find a shorter program on the way ("C:\Program.exe").
Text CommandLineOf(const char16_t* program, const char16_t* arguments);

// Starts the command line with the caller's environment and directory, the
// window shown, no handles inherited. Returns 0 when the process started,
// otherwise the Win32 error of the failed start. The tool's exit code is not
// read: a tool that starts and then fails gives 0 all the same.
std::uint32_t RunCommandLine(const char16_t* program, const char16_t* arguments,
                             std::uint32_t flags);

// Inputs that end up between quotation marks on a command line may not hold
// one: no Windows path and no account name can, and one that did could add
// switches or targets to the command. Raises ActionErrorCode 123
// (ERROR_INVALID_NAME) for such a text.
void RequireNoQuotationMark(TextView input);

}  // namespace ca
