#ifndef ZORVAK_DRIVER_PLATFORM_STATUS_H_
#define ZORVAK_DRIVER_PLATFORM_STATUS_H_

namespace zorvak {

// The outcome of a step of a run. A failure carries the fixed message that the run prints
// before it stops (for example "error write tmp file!"); success carries none.
class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status Error(const char* message) { return Status(message); }

  bool ok() const { return message_ == nullptr; }
  // The message to print; empty for success.
  const char* message() const { return message_ == nullptr ? "" : message_; }

 private:
  explicit Status(const char* message) : message_(message) {}
  const char* message_ = nullptr;
};

}  // namespace zorvak

// Returns the status of an expression from the enclosing function when it is a failure.
#define ZORVAK_RETURN_IF_ERROR(expr)                 \
  do {                                               \
    ::zorvak::Status zorvak_status_ = (expr);        \
    if (!zorvak_status_.ok()) return zorvak_status_; \
  } while (0)

#endif  // ZORVAK_DRIVER_PLATFORM_STATUS_H_
