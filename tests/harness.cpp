#include "tests/harness.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zorvak::testing {

std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ScratchFolder::ScratchFolder() {
  char pattern[] = "/tmp/zorvak_e2e_XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::string command = "rm -rf '" + path_ + "'";
  if (std::system(command.c_str()) != 0) {
    // Nothing more to do: a leftover folder under /tmp harms no later test.
  }
}

void ScratchFolder::write(const std::string& name, const std::string& bytes) const {
  std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ScratchFolder::read(const std::string& name) const {
  return readFile(file(name));
}

bool ScratchFolder::exists(const std::string& name) const {
  struct stat st;
  return lstat(file(name).c_str(), &st) == 0;
}

std::vector<std::string> listFolder(const std::string& path) {
  std::vector<std::string> names;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ScratchFolder::list() const {
  return listFolder(path_);
}

RunResult ScratchFolder::run(const std::vector<std::string>& arguments,
                             const RunOptions& options) const {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  pid_t child = fork();
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    if (chdir(path_.c_str()) != 0) _exit(127);
    if (options.fileSizeLimit != 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.memoryLimit != 0) {
      rlimit limit{options.memoryLimit, options.memoryLimit};
      setrlimit(RLIMIT_AS, &limit);
    }
    std::vector<char*> argv;
    std::string binary = ZORVAK_BINARY;
    argv.push_back(binary.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  RunResult result;
  char buffer[65536];
  ssize_t got;
  while ((got = ::read(pipeFds[0], buffer, sizeof(buffer))) > 0) {
    result.output.append(buffer, static_cast<size_t>(got));
  }
  close(pipeFds[0]);
  int waitStatus = 0;
  waitpid(child, &waitStatus, 0);
  result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
  return result;
}

}  // namespace zorvak::testing
