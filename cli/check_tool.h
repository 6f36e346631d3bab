#ifndef ZORVAK_CLI_CHECK_TOOL_H_
#define ZORVAK_CLI_CHECK_TOOL_H_

#include <cstdio>
#include <string>
#include <vector>

namespace zorvak {

// zorvak-check [--all] [--json] dictionary_file: checks a compiled dictionary before it ships.
// Returns the exit status: 0 when the file is sound (a summary is printed), 1 when it breaks a
// rule (the first one is named, with --all every one), 2 for a usage error or a file that cannot
// be read.
int runCheckTool(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err);

}  // namespace zorvak

#endif  // ZORVAK_CLI_CHECK_TOOL_H_
