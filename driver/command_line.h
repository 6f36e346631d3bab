#ifndef ZORVAK_DRIVER_COMMAND_LINE_H_
#define ZORVAK_DRIVER_COMMAND_LINE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zorvak {

// The settings of a run, fixed once the command line has been read.
struct RunSettings {
  std::string inputName;
  int32_t codePage = 1251;    // 0 selects decompress mode
  int32_t allWords = 0;       // not 0: every word of every headword becomes an alternative
  std::string wordFormsName;  // empty: no word forms file
  size_t threads = 0;         // threads that compress and inflate; 0: one per core
  bool smallest = false;      // compress for the smallest file instead of the standard bytes
};

// The most threads a run takes.
inline constexpr size_t kMaxThreads = 256;

// kBadOption: an option the program does not know, or one without its value.
enum class CommandKind { kUsage, kHelp, kVersion, kBadOption, kRun };

struct Command {
  CommandKind kind = CommandKind::kUsage;
  RunSettings settings;
};

// Converts a numeric argument the forgiving way: leading white space, an optional sign, then
// digits up to the first non-digit; text without digits gives 0, and values beyond the 32-bit
// range are clamped to it.
int32_t parseNumber(const std::string& text);

// Reads the arguments that follow the program name: options first ("--threads N",
// "--threads=N", "--smallest", "--help", "--version"; "--" ends them), then the input file,
// code page (default 1251), all-words flag (default 0) and word forms file (default none);
// later arguments are ignored. The first argument that does not begin with "-" ends the
// options, so the code page and flag keep their forgiving conversion.
Command parseCommandLine(const std::vector<std::string>& arguments);

// Names derived from the input file: the input name with an extension appended.
std::string derivedName(const std::string& input, const char* extension);

}  // namespace zorvak

#endif  // ZORVAK_DRIVER_COMMAND_LINE_H_
