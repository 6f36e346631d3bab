#ifndef ZORVAK_DRIVER_RUN_H_
#define ZORVAK_DRIVER_RUN_H_

#include <cstdio>
#include <string>
#include <vector>

#include "driver/command_line.h"

namespace zorvak {

// Exit statuses of the program.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Runs the program on the arguments that follow its name, printing messages and progress on
// `console`; returns the exit status.
int runProgram(const std::vector<std::string>& arguments, std::FILE* console);

// Compile mode: the word forms phase, the source phase, then preparation, group scan and
// assembly. On any failure prints its message, deletes every file the run created and leaves
// an existing compiled dictionary untouched.
int runCompile(const RunSettings& settings, std::FILE* console);

// Decompress mode: writes the compiled dictionary `settings.inputName` back as text.
int runDecompress(const RunSettings& settings, std::FILE* console);

}  // namespace zorvak

#endif  // ZORVAK_DRIVER_RUN_H_
