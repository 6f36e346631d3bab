#ifndef ZORVAK_TESTS_TOOL_RUN_H_
#define ZORVAK_TESTS_TOOL_RUN_H_

// Runs one of the project's programs with arguments and standard input, and collects its exit
// status, standard output and standard error apart.

#include <string>
#include <vector>

namespace zorvak::testing {

struct ToolResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `program` in the folder `folder` with `input` on its standard input.
ToolResult runTool(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& folder, const std::string& input = "");

}  // namespace zorvak::testing

#endif  // ZORVAK_TESTS_TOOL_RUN_H_
