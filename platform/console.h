#ifndef ZORVAK_PLATFORM_CONSOLE_H_
#define ZORVAK_PLATFORM_CONSOLE_H_

#include <chrono>
#include <cstdio>

namespace zorvak {

// Brings progress lines to the console while a phase runs, without a write for every line: a
// phase with hundreds of thousands of groups prints as many lines, each ending in a carriage
// return, of which a console can only show the last. Lines are flushed at most every 100 ms.
class ProgressFlusher {
 public:
  explicit ProgressFlusher(std::FILE* console)
      : console_(console), last_(std::chrono::steady_clock::now()) {}

  // Called after each progress line.
  void lineWritten() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ >= std::chrono::milliseconds(100)) {
      std::fflush(console_);
      last_ = now;
    }
  }

 private:
  std::FILE* console_;
  std::chrono::steady_clock::time_point last_;
};

}  // namespace zorvak

#endif  // ZORVAK_PLATFORM_CONSOLE_H_
