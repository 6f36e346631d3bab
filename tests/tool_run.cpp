#include "tests/tool_run.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zorvak::testing {
namespace {

std::string slurp(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ToolResult runTool(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& folder, const std::string& input) {
  // Standard input and both outputs go through files, so that no pipe can fill up.
  const std::string in = folder + "/.tool_in";
  const std::string out = folder + "/.tool_out";
  const std::string err = folder + "/.tool_err";
  std::ofstream(in, std::ios::binary) << input;
  ToolResult result;
  const pid_t child = fork();
  if (child == 0) {
    const int fdIn = open(in.c_str(), O_RDONLY);
    const int fdOut = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int fdErr = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fdIn < 0 || fdOut < 0 || fdErr < 0 || chdir(folder.c_str()) != 0) _exit(127);
    dup2(fdIn, 0);
    dup2(fdOut, 1);
    dup2(fdErr, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  }
  result.out = slurp(out);
  result.err = slurp(err);
  unlink(in.c_str());
  unlink(out.c_str());
  unlink(err.c_str());
  return result;
}

}  // namespace zorvak::testing
