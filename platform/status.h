#ifndef ZORVAK_PLATFORM_STATUS_H_
#define ZORVAK_PLATFORM_STATUS_H_

namespace zorvak {

// What kind of failure a status reports; the run decides by it what becomes of its files.
enum class StatusKind {
  kOk,
  kInputOutput,  // a file could not be opened, created, read or written
  kDamagedFile,  // an input breaks a rule of its format (a compiled dictionary, endless UTF-8)
  kOutOfMemory,  // an allocation failed
  kUsage,        // the command line or a setting asks for what the program cannot do
};

// The outcome of a step of a run. A failure carries its kind and the fixed message that the run
// prints before it stops (for example "error write tmp file!"); success carries neither.
class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status InputOutput(const char* message) {
    return Status(StatusKind::kInputOutput, message);
  }
  static Status DamagedFile(const char* message) {
    return Status(StatusKind::kDamagedFile, message);
  }
  static Status OutOfMemory(const char* message) {
    return Status(StatusKind::kOutOfMemory, message);
  }
  static Status Usage(const char* message) { return Status(StatusKind::kUsage, message); }

  bool ok() const { return kind_ == StatusKind::kOk; }
  StatusKind kind() const { return kind_; }
  // The message to print; empty for success.
  const char* message() const { return message_; }

 private:
  Status(StatusKind kind, const char* message) : kind_(kind), message_(message) {}
  StatusKind kind_ = StatusKind::kOk;
  const char* message_ = "";
};

}  // namespace zorvak

// Returns the status of an expression from the enclosing function when it is a failure.
#define ZORVAK_RETURN_IF_ERROR(expr)                 \
  do {                                               \
    ::zorvak::Status zorvak_status_ = (expr);        \
    if (!zorvak_status_.ok()) return zorvak_status_; \
  } while (0)

#endif  // ZORVAK_PLATFORM_STATUS_H_
