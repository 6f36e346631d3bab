// Fault injection for the end-to-end tests: a library preloaded into the program under test
// (LD_PRELOAD) that stands between it and the C library's file calls. It counts the calls that
// touch the disk, in two classes: writes (creating, writing, naming, syncing or truncating a
// file) and reads. ZORVAK_FAULT=ACTION:CLASS:N lets the N-th call of the class (any, write or
// read) go wrong:
//
//   kill  the process kills itself (SIGKILL) in place of the call
//   stop  the process stops itself (SIGSTOP) before the call, to be continued
//   fail  a write fails with ENOSPC, and so does every write after it: a disk that fills up
//         and stays full; a read fails with EIO
//
// With ZORVAK_FAULT_REPORT=PATH the counts of a run are written to PATH when it exits
// normally: "calls writes reads\n". Standard input, output and error are never counted, nor
// anything that is not a regular file or a folder.

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

enum class Action { kNone, kKill, kStop, kFail };
// kOther: a call that is counted as a call of any class only (taking a name away).
enum class Kind { kAny, kWrite, kRead, kOther };

struct Fault {
  Action action = Action::kNone;
  Kind kind = Kind::kAny;
  long at = 0;
};

// The one fault of this process, read from its environment at the first call.
const Fault& fault() {
  static const Fault parsed = [] {
    Fault f;
    const char* setting = std::getenv("ZORVAK_FAULT");
    if (setting == nullptr) return f;
    char action[8] = {};
    char kind[8] = {};
    long at = 0;
    if (std::sscanf(setting, "%7[a-z]:%7[a-z]:%ld", action, kind, &at) != 3) return f;
    const std::string_view a(action), k(kind);
    f.action = a == "kill"   ? Action::kKill
               : a == "stop" ? Action::kStop
               : a == "fail" ? Action::kFail
                             : Action::kNone;
    f.kind = k == "write" ? Kind::kWrite : k == "read" ? Kind::kRead : Kind::kAny;
    f.at = at;
    return f;
  }();
  return parsed;
}

// What the process has done so far. A preloaded library has no other place for it.
std::atomic<long> gCalls{0};
std::atomic<long> gWrites{0};
std::atomic<long> gReads{0};

// Counts one file call and says whether it is to fail (errno set).
bool injected(Kind kind) {
  const Fault& f = fault();
  const long call = ++gCalls;
  const long ofKind = kind == Kind::kWrite ? ++gWrites : kind == Kind::kRead ? ++gReads : 0;
  const long n = f.kind == Kind::kAny ? call : f.kind == kind ? ofKind : 0;
  if (n == f.at && f.action == Action::kKill) kill(getpid(), SIGKILL);
  if (n == f.at && f.action == Action::kStop) kill(getpid(), SIGSTOP);
  if (f.action != Action::kFail || f.kind != kind || n == 0) return false;
  if (kind == Kind::kWrite && n >= f.at) {
    errno = ENOSPC;
    return true;
  }
  if (kind == Kind::kRead && n == f.at) {
    errno = EIO;
    return true;
  }
  return false;
}

bool counted(int fd) {
  if (fd <= STDERR_FILENO) return false;
  struct stat st;
  return fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode));
}

bool creates(int flags) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

template <typename Function>
Function real(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

struct Report {
  ~Report() {
    const char* path = std::getenv("ZORVAK_FAULT_REPORT");
    if (path == nullptr) return;
    if (FILE* out = std::fopen(path, "w")) {
      std::fprintf(out, "%ld %ld %ld\n", gCalls.load(), gWrites.load(), gReads.load());
      std::fclose(out);
    }
  }
} gReport;

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (creates(flags)) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
    if (injected(Kind::kWrite)) return -1;
  }
  static auto next = real<int (*)(const char*, int, ...)>("open");
  return next(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
  mode_t mode = 0;
  if (creates(flags)) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
    if (injected(Kind::kWrite)) return -1;
  }
  static auto next = real<int (*)(const char*, int, ...)>("open64");
  return next(path, flags, mode);
}

int openat(int dir, const char* path, int flags, ...) {
  mode_t mode = 0;
  if (creates(flags)) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
    if (injected(Kind::kWrite)) return -1;
  }
  static auto next = real<int (*)(int, const char*, int, ...)>("openat");
  return next(dir, path, flags, mode);
}

int mkostemp(char* pattern, int flags) {
  if (injected(Kind::kWrite)) return -1;
  static auto next = real<int (*)(char*, int)>("mkostemp");
  return next(pattern, flags);
}

ssize_t write(int fd, const void* buffer, size_t size) {
  if (counted(fd) && injected(Kind::kWrite)) return -1;
  static auto next = real<ssize_t (*)(int, const void*, size_t)>("write");
  return next(fd, buffer, size);
}

ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset) {
  if (counted(fd) && injected(Kind::kWrite)) return -1;
  static auto next = real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
  return next(fd, buffer, size, offset);
}

ssize_t pwrite64(int fd, const void* buffer, size_t size, off_t offset) {
  if (counted(fd) && injected(Kind::kWrite)) return -1;
  static auto next = real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite64");
  return next(fd, buffer, size, offset);
}

ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t size,
                        unsigned flags) {
  if (injected(Kind::kWrite)) return -1;
  static auto next =
      real<ssize_t (*)(int, off_t*, int, off_t*, size_t, unsigned)>("copy_file_range");
  return next(in, inOffset, out, outOffset, size, flags);
}

int ftruncate(int fd, off_t length) {
  if (counted(fd) && injected(Kind::kWrite)) return -1;
  static auto next = real<int (*)(int, off_t)>("ftruncate");
  return next(fd, length);
}

int ftruncate64(int fd, off_t length) {
  if (counted(fd) && injected(Kind::kWrite)) return -1;
  static auto next = real<int (*)(int, off_t)>("ftruncate64");
  return next(fd, length);
}

int fsync(int fd) {
  if (counted(fd) && injected(Kind::kWrite)) return -1;
  static auto next = real<int (*)(int)>("fsync");
  return next(fd);
}

int fdatasync(int fd) {
  if (counted(fd) && injected(Kind::kWrite)) return -1;
  static auto next = real<int (*)(int)>("fdatasync");
  return next(fd);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
  if (injected(Kind::kWrite)) return -1;
  static auto next = real<int (*)(int, const char*, int, const char*, int)>("linkat");
  return next(fromDir, from, toDir, to, flags);
}

int rename(const char* from, const char* to) {
  if (injected(Kind::kWrite)) return -1;
  static auto next = real<int (*)(const char*, const char*)>("rename");
  return next(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
  if (injected(Kind::kWrite)) return -1;
  static auto next = real<int (*)(int, const char*, int, const char*)>("renameat");
  return next(fromDir, from, toDir, to);
}

int unlink(const char* path) {
  if (injected(Kind::kOther)) return -1;
  static auto next = real<int (*)(const char*)>("unlink");
  return next(path);
}

ssize_t read(int fd, void* buffer, size_t size) {
  if (counted(fd) && injected(Kind::kRead)) return -1;
  static auto next = real<ssize_t (*)(int, void*, size_t)>("read");
  return next(fd, buffer, size);
}

ssize_t pread(int fd, void* buffer, size_t size, off_t offset) {
  if (counted(fd) && injected(Kind::kRead)) return -1;
  static auto next = real<ssize_t (*)(int, void*, size_t, off_t)>("pread");
  return next(fd, buffer, size, offset);
}

ssize_t pread64(int fd, void* buffer, size_t size, off_t offset) {
  if (counted(fd) && injected(Kind::kRead)) return -1;
  static auto next = real<ssize_t (*)(int, void*, size_t, off_t)>("pread64");
  return next(fd, buffer, size, offset);
}

}  // extern "C"
