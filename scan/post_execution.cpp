#include "scan/post_execution.h"

#include <utility>

#include "platform/command_line.h"
#include "scan/sfv_file.h"
#include "scan/text_util.h"

namespace qs {

std::vector<std::string> OnSetComplete(std::unique_ptr<SetCompleteTexts> texts,
                                       std::string_view field_text, const ArgumentsStarter& starter,
                                       SystemError* started) {
  std::vector<std::string> arguments;
  // Blanks before the program name would make it empty under the splitting rules; the program
  // starter of Windows skips them, and so do we. A blank field then starts nothing.
  while (!field_text.empty() && (field_text.front() == ' ' || field_text.front() == '\t')) {
    field_text.remove_prefix(1);
  }
  if (!texts || field_text.empty()) {
    return arguments;
  }
  const std::string directory = SetDirectoryOf(texts->sfv_text);
  arguments = ResolveCommandLine(field_text, &IsExecutableProgram);
  if (arguments.empty()) {
    arguments = SplitCommandLine(field_text);
  }
  for (std::string& argument : arguments) {
    argument = ReplaceAll(argument, "%1", directory);
    argument = ReplaceAll(argument, "%2", texts->sfv_text);
    argument = ReplaceAll(argument, "%3", texts->volume_text);
  }
  if (!arguments.empty()) {
    const SystemError result = starter ? starter(arguments) : StartArguments(arguments);
    if (started != nullptr) {
      *started = result;
    }
  }
  return arguments;
}

}  // namespace qs
