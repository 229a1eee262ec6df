// Starting programs from a command-line text, by the rules a Windows user's text is written in,
// without a shell: names in downloaded paths can never inject commands.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_error.h"

namespace qs {

// Splits a command-line text into arguments exactly as Windows' CommandLineToArgvW does
// (the program name by its own rule, backslashes before quotes, doubled quotes).
std::vector<std::string> SplitCommandLine(std::string_view text);

// Splits the part of a command line after the program name: the argument rules alone.
std::vector<std::string> SplitArguments(std::string_view text);

// Quotes one argument so that SplitCommandLine gives it back unchanged, whatever it holds
// (spaces, double quotes, trailing backslashes).
std::string QuoteArgument(std::string_view argument);

// The inside of a double-quoted argument: `text` with every double quote and the backslashes
// before it escaped, so that text placed between two quotes splits back to itself.
std::string EscapeForQuotes(std::string_view text);

// Starts the program named by the already split `arguments` detached, never waited for and
// leaving no zombie. Returns 0, or kErrorFileNotFound when the program cannot be started.
SystemError StartArguments(const std::vector<std::string>& arguments);

// The arguments StartCommandLine starts for `text`. Blanks before the program are skipped; a
// quoted program is split by SplitCommandLine; an unquoted one that may contain blanks is
// resolved as CreateProcess does, by trying each prefix that ends at a blank, then the whole
// text, with `is_executable`: the first that answers true is the program and the rest its
// arguments. Empty when the text is blank or no prefix is executable.
std::vector<std::string> ResolveCommandLine(
    std::string_view text, const std::function<bool(const std::string&)>& is_executable);

// Resolves `text` as above against the files on disk and starts it as StartArguments does.
SystemError StartCommandLine(std::string_view text);

// Whether `path` names a regular file this process may execute.
bool IsExecutableProgram(const std::string& path);

// Why `program` could not be started, in a few words for the log: "no such file", "not an
// executable file" or "the system refused to start it".
std::string StartFailureReason(const std::string& program);

}  // namespace qs
