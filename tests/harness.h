#ifndef ZORVAK_TESTS_HARNESS_H_
#define ZORVAK_TESTS_HARNESS_H_

// Runs the real zorvak program in a scratch folder of its own and collects what it did.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zorvak::testing {

// What one run of the program left: its exit status and everything it printed.
struct RunResult {
  int status = -1;  // the exit status, or 128 + the signal that ended the run
  std::string output;
};

// Options of a run beyond its arguments.
struct RunOptions {
  // When not 0, the largest file size the program may write (writes beyond it fail).
  uint64_t fileSizeLimit = 0;
  // When not 0, the most address space the program may take, in bytes. The C library then
  // keeps one heap for every thread, so that the limit counts memory in use rather than the
  // address space held for the heaps of further threads.
  uint64_t memoryLimit = 0;
  // NAME=VALUE entries added to the program's environment.
  std::vector<std::string> environment;
  // Runs the program as an unprivileged user when the tests run as root (file permissions do
  // not bind root).
  bool unprivileged = false;
  // When not 0, the most processor time the program may take, in seconds.
  uint64_t cpuLimit = 0;
};

// A run under way: started, not yet waited for.
class RunningProgram {
 public:
  RunningProgram(pid_t pid, int output) : pid_(pid), output_(output) {}
  RunningProgram(RunningProgram&& other) noexcept;
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  pid_t pid() const { return pid_; }
  // Waits until the program has stopped itself; false when it ended instead.
  bool waitUntilStopped();
  // Continues a stopped program.
  void resume();
  // Collects what the program prints until it ends, and how it ended.
  RunResult finish();

 private:
  pid_t pid_;
  int output_;
  int endStatus_ = -1;  // a wait status taken while waiting for a stop
};

// A folder under /tmp (or under `parent`), removed with everything in it at the end of its
// scope.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& parent = "/tmp");
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

  void write(const std::string& name, const std::string& bytes) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  // The names in the folder, sorted.
  std::vector<std::string> list() const;

  // Runs the program with the folder as its working folder.
  RunResult run(const std::vector<std::string>& arguments, const RunOptions& options = {}) const;
  // Starts the program the same way without waiting for it.
  RunningProgram start(const std::vector<std::string>& arguments,
                       const RunOptions& options = {}) const;

 private:
  std::string path_;
};

// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::string& name);
// The lines of a text, without their line feeds.
std::vector<std::string> linesOf(const std::string& text);
// The names in a folder, sorted; empty when it cannot be read.
std::vector<std::string> listFolder(const std::string& path);

}  // namespace zorvak::testing

#endif  // ZORVAK_TESTS_HARNESS_H_
