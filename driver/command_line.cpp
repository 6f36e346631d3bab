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

namespace {

// A thread count: digits only, 1 to kMaxThreads; 0 for anything else.
size_t parseThreads(const std::string& text) {
  if (text.empty() || text.size() > 4) return 0;
  size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<size_t>(c - '0');
  }
  return value <= kMaxThreads ? value : 0;
}

}  // namespace

Command parseCommandLine(const std::vector<std::string>& arguments) {
  Command command;
  RunSettings& settings = command.settings;
  size_t next = 0;
  // Options stand before the positional arguments; "-" alone is a name.
  for (; next < arguments.size(); ++next) {
    const std::string& argument = arguments[next];
    if (argument.size() < 2 || argument[0] != '-') break;
    if (argument == "--") {
      ++next;
      break;
    }
    if (argument == "--help" || argument == "-h") {
      command.kind = CommandKind::kHelp;
      return command;
    }
    if (argument == "--version") {
      command.kind = CommandKind::kVersion;
      return command;
    }
    if (argument == "--smallest") {
      settings.smallest = true;
      continue;
    }
    std::string value;
    if (argument == "--threads" && next + 1 < arguments.size()) {
      value = arguments[++next];
    } else if (argument.rfind("--threads=", 0) == 0) {
      value = argument.substr(10);
    }
    settings.threads = parseThreads(value);
    if (settings.threads == 0) {
      command.kind = CommandKind::kBadOption;
      return command;
    }
  }
  const size_t count = arguments.size() - next;
  if (count == 0) return command;
  command.kind = CommandKind::kRun;
  settings.inputName = arguments[next];
  if (count >= 2) settings.codePage = parseNumber(arguments[next + 1]);
  if (count >= 3) settings.allWords = parseNumber(arguments[next + 2]);
  if (count >= 4) settings.wordFormsName = arguments[next + 3];
  return command;
}

std::string derivedName(const std::string& input, const char* extension) {
  return input + extension;
}

}  // namespace zorvak
