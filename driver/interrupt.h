#ifndef ZORVAK_DRIVER_INTERRUPT_H_
#define ZORVAK_DRIVER_INTERRUPT_H_

#include <string>

namespace zorvak {

// Takes away the files a run has created when the run is interrupted (SIGINT, SIGTERM, SIGHUP),
// so that a stopped compile leaves no temporary file behind. A signal handler can only reach
// process-wide data, so the names live in one fixed table for the program; at most one guard is
// active at a time. The signal's default action follows (the run ends as interrupted).
class InterruptGuard {
 public:
  InterruptGuard();
  ~InterruptGuard();
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

  // Adds a file to delete on interruption; false when the table is full.
  bool add(const std::string& name);
  // Forgets every file: the run has finished with them.
  void clear();
};

}  // namespace zorvak

#endif  // ZORVAK_DRIVER_INTERRUPT_H_
