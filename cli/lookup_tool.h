#ifndef ZORVAK_CLI_LOOKUP_TOOL_H_
#define ZORVAK_CLI_LOOKUP_TOOL_H_

#include <cstdio>
#include <string>
#include <vector>

namespace zorvak {

// zorvak-lookup [--prefix] [--json] dictionary_file [word ...]: looks words up in a compiled
// dictionary.
// Words come from the arguments, or one a line from `input` (a file descriptor) when none is
// given. Returns the exit status: 0 when every word was found, 1 when one was not, 2 for a
// usage error or a dictionary that cannot be read.
int runLookupTool(const std::vector<std::string>& arguments, int input, std::FILE* out,
                  std::FILE* err);

}  // namespace zorvak

#endif  // ZORVAK_CLI_LOOKUP_TOOL_H_
