#include "tests/harness.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zorvak::testing {
namespace {

// The user and group that a run without privileges takes: nobody, nogroup.
constexpr uid_t kUnprivilegedId = 65534;

}  // namespace

std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

ScratchFolder::ScratchFolder(const std::string& parent) {
  std::string pattern = parent + "/zorvak_e2e_XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
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

RunningProgram ScratchFolder::start(const std::vector<std::string>& arguments,
                                    const RunOptions& options) const {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  // The program's environment: this one's, with the entries of the options in place of those
  // of the same names.
  std::vector<std::string> environment = options.environment;
  if (options.memoryLimit != 0) environment.push_back("MALLOC_ARENA_MAX=1");
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string inherited = *entry;
    const std::string name = inherited.substr(0, inherited.find('=') + 1);
    bool replaced = false;
    for (const std::string& own : options.environment)
      replaced = replaced || own.starts_with(name);
    if (!replaced) environment.push_back(inherited);
  }
  std::vector<char*> envp;
  for (std::string& entry : environment)
    envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string binary = ZORVAK_BINARY;
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv{binary.data()};
  for (std::string& argument : copies)
    argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t child = fork();
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    if (chdir(path_.c_str()) != 0) _exit(127);
    // The program decides for itself what a file-size limit does to it.
    signal(SIGXFSZ, SIG_DFL);
    if (options.fileSizeLimit != 0) {
      rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.memoryLimit != 0) {
      rlimit limit{options.memoryLimit, options.memoryLimit};
      setrlimit(RLIMIT_AS, &limit);
    }
    if (options.cpuLimit != 0) {
      rlimit limit{options.cpuLimit, options.cpuLimit};
      setrlimit(RLIMIT_CPU, &limit);
    }
    if (options.unprivileged && geteuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedId) != 0 ||
          setuid(kUnprivilegedId) != 0) {
        _exit(126);
      }
    }
    execve(binary.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(pipeFds[1]);
  return RunningProgram(child, pipeFds[0]);
}

RunResult ScratchFolder::run(const std::vector<std::string>& arguments,
                             const RunOptions& options) const {
  return start(arguments, options).finish();
}

RunningProgram::RunningProgram(RunningProgram&& other) noexcept
    : pid_(other.pid_), output_(other.output_), endStatus_(other.endStatus_) {
  other.pid_ = -1;
  other.output_ = -1;
}

RunningProgram::~RunningProgram() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    finish();
  }
}

bool RunningProgram::waitUntilStopped() {
  int waitStatus = 0;
  if (waitpid(pid_, &waitStatus, WUNTRACED) != pid_) return false;
  if (WIFSTOPPED(waitStatus)) return true;
  endStatus_ = waitStatus;
  return false;
}

void RunningProgram::resume() {
  kill(pid_, SIGCONT);
}

RunResult RunningProgram::finish() {
  RunResult result;
  char buffer[65536];
  ssize_t got;
  while ((got = ::read(output_, buffer, sizeof(buffer))) > 0 || (got < 0 && errno == EINTR)) {
    if (got > 0) result.output.append(buffer, static_cast<size_t>(got));
  }
  close(output_);
  output_ = -1;
  int waitStatus = endStatus_;
  if (waitStatus == -1) {
    while (waitpid(pid_, &waitStatus, 0) < 0 && errno == EINTR) {
    }
  }
  pid_ = -1;
  result.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
  return result;
}

}  // namespace zorvak::testing
