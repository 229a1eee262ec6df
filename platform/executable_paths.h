// The running executable's own location and the fixed names of the two programs.
#pragma once

#include <string>
#include <string_view>

namespace qs {

#ifdef _WIN32
inline constexpr std::string_view kCompanionExecutable = "Mirrowen.exe";
inline constexpr std::string_view kProgramExecutable = "Quarrystream.exe";
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr std::string_view kCompanionExecutable = "mirrowen";
inline constexpr std::string_view kProgramExecutable = "quarrystream";
inline constexpr char kPathSeparator = '/';
#endif

// The real path of the running executable (links resolved); empty if it cannot be found.
std::string ExecutablePath();

// The executable's directory with a trailing separator; empty if it cannot be found.
std::string ExecutableDirectory();

// `path` up to and including its last separator; empty when it holds none.
std::string DirectoryPart(std::string_view path);

}  // namespace qs
