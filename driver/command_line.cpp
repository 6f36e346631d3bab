#include "driver/command_line.h"

#include <climits>

namespace zorvak {

int32_t parseNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  return static_cast<int32_t>(value);
}

Command parseCommandLine(const std::vector<std::string>& arguments) {
  Command command;
  if (arguments.empty()) return command;
  if (arguments[0] == "--help" || arguments[0] == "-h") {
    command.kind = CommandKind::kHelp;
    return command;
  }
  if (arguments[0] == "--version") {
    command.kind = CommandKind::kVersion;
    return command;
  }
  command.kind = CommandKind::kRun;
  RunSettings& settings = command.settings;
  settings.inputName = arguments[0];
  if (arguments.size() >= 2) settings.codePage = parseNumber(arguments[1]);
  if (arguments.size() >= 3) settings.allWords = parseNumber(arguments[2]);
  if (arguments.size() >= 4) settings.wordFormsName = arguments[3];
  return command;
}

std::string derivedName(const std::string& input, const char* extension) {
  return input + extension;
}

}  // namespace zorvak
