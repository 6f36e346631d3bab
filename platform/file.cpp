#include "platform/file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace zorvak {
namespace {

// Takes the run's hold on an open file (exclusive, or shared with other readers); closes it
// when another run holds it against that.
int hold(int fd, int how) {
  if (fd < 0) return -1;
  while (flock(fd, how | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    ::close(fd);
    return -1;
  }
  return fd;
}

int holdExclusively(int fd) {
  return hold(fd, LOCK_EX);
}

int openRetrying(const char* name, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(name, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool writeAll(int fd, const char* in, size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, in, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (put == 0) return false;
    in += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

int openReadOnly(const std::string& name) {
  int fd = openRetrying(name.c_str(), O_RDONLY, 0);
  if (fd >= 0) {
    struct stat st;
    // A folder opens for reading but cannot be read as a file.
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      ::close(fd);
      fd = -1;
    }
  }
  return fd;
}

std::string folderOf(const std::string& name) {
  size_t slash = name.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return name.substr(0, slash);
}

bool syncFolderOf(const std::string& name) {
  const int dir = openRetrying(folderOf(name).c_str(), O_RDONLY | O_DIRECTORY, 0);
  if (dir < 0) return false;
  const bool synced = fsync(dir) == 0;
  ::close(dir);
  return synced;
}

// `prefix` followed by six letters or digits drawn at random.
std::string randomName(const std::string& prefix) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  uint64_t bits = 0;
  if (getrandom(&bits, sizeof(bits), GRND_NONBLOCK) != static_cast<ssize_t>(sizeof(bits))) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    bits =
        static_cast<uint64_t>(now.tv_nsec) * 0x9E3779B97F4A7C15u ^ static_cast<uint64_t>(getpid());
  }
  std::string name = prefix;
  for (int i = 0; i < 6; ++i, bits /= 62)
    name += kDigits[bits % 62];
  return name;
}

// Tries names until one is free; every attempt that meets an existing name is repeated with
// another. `make` makes the name and returns false with errno set when it could not.
template <typename Make>
bool withFreeName(const std::string& prefix, std::string* name, Make make) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = randomName(prefix);
    if (make(*name)) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

int createUniquelyNamed(const std::string& prefix, int flags, mode_t mode, std::string* name) {
  int fd = -1;
  withFreeName(prefix, name, [&](const std::string& candidate) {
    fd = openRetrying(candidate.c_str(), flags | O_CREAT | O_EXCL | O_NOFOLLOW, mode);
    return fd >= 0;
  });
  return fd;
}

// Makes `name` a name of the open file `fd`, which has none; fails with EEXIST when the name
// is taken.
bool linkDescriptor(int fd, const std::string& name) {
  if (linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno == EEXIST) return false;
  // Without the privilege that an empty path asks for, the descriptor's entry in /proc serves.
  const std::string entry = "/proc/self/fd/" + std::to_string(fd);
  return linkat(AT_FDCWD, entry.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Holds back the signals that end a run at a user's request while a file is being put in
// place, so that none of them leaves the passing name of the file behind.
class StopSignalsHeld {
 public:
  StopSignalsHeld() {
    sigset_t stops;
    sigemptyset(&stops);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
      sigaddset(&stops, signal);
    pthread_sigmask(SIG_BLOCK, &stops, &previous_);
  }
  ~StopSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  StopSignalsHeld(const StopSignalsHeld&) = delete;
  StopSignalsHeld& operator=(const StopSignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace

File::~File() {
  close();
}

File::File(File&& other) noexcept : fd_(other.fd_), naming_(other.naming_) {
  other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    naming_ = other.naming_;
    other.fd_ = -1;
  }
  return *this;
}

File File::openForReading(const std::string& name) {
  return File(holdExclusively(openReadOnly(name)), Naming::kOpenedByName);
}

File File::openSharedForReading(const std::string& name) {
  return File(hold(openReadOnly(name), LOCK_SH), Naming::kOpenedByName);
}

File File::openOrCreate(const std::string& name) {
  return File(holdExclusively(openRetrying(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW, 0644)),
              Naming::kOpenedByName);
}

File File::createUnnamed(const std::string& beside, Unnamed how) {
  if (how == Unnamed::kByTheFileSystem) {
    const int fd = openRetrying(folderOf(beside).c_str(), O_TMPFILE | O_RDWR, 0666);
    if (fd >= 0) return File(fd, Naming::kWithoutName);
    // Only a file system (or a kernel) that has no files without a name is worked around.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return File();
  }
  std::string name;
  const int fd = createUniquelyNamed(beside + ".", O_RDWR, 0600, &name);
  if (fd < 0) return File();
  if (unlink(name.c_str()) != 0) {
    ::close(fd);
    return File();
  }
  return File(fd, Naming::kNameRemoved);
}

bool File::truncate() {
  return fd_ >= 0 && ftruncate(fd_, 0) == 0 && seek(0, SeekFrom::kBegin) == 0;
}

int64_t File::read(void* buffer, size_t size) {
  if (fd_ < 0) return -1;
  size_t done = 0;
  char* out = static_cast<char*>(buffer);
  while (done < size) {
    ssize_t got = ::read(fd_, out + done, size - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

int64_t File::readAt(uint64_t offset, void* buffer, size_t size) {
  if (fd_ < 0) return -1;
  size_t done = 0;
  char* out = static_cast<char*>(buffer);
  while (done < size) {
    ssize_t got = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

bool File::writeAt(uint64_t offset, const void* buffer, size_t size) {
  if (fd_ < 0) return false;
  size_t done = 0;
  const char* in = static_cast<const char*>(buffer);
  while (done < size) {
    const ssize_t put = ::pwrite(fd_, in + done, size - done, static_cast<off_t>(offset + done));
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (put == 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

bool File::write(const void* buffer, size_t size) {
  return fd_ >= 0 && writeAll(fd_, static_cast<const char*>(buffer), size);
}

int64_t File::seek(int64_t distance, SeekFrom from) {
  if (fd_ < 0) return -1;
  int whence = from == SeekFrom::kBegin     ? SEEK_SET
               : from == SeekFrom::kCurrent ? SEEK_CUR
                                            : SEEK_END;
  off_t pos = lseek(fd_, static_cast<off_t>(distance), whence);
  return pos < 0 ? -1 : static_cast<int64_t>(pos);
}

int64_t File::size() const {
  struct stat st;
  if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool File::sync() {
  return fd_ >= 0 && fsync(fd_) == 0;
}

void File::startWriteback(uint64_t offset, uint64_t length) {
#if defined(__linux__)
  if (fd_ >= 0) {
    (void)sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(length),
                          SYNC_FILE_RANGE_WRITE);
  }
#else
  (void)offset;
  (void)length;
#endif
}

void File::release(uint64_t offset, uint64_t length) {
#if defined(__linux__)
  // Whole pages only: a page cut in part would be zeroed in part, and so written again.
  constexpr uint64_t kPage = 4096;
  const uint64_t begin = (offset + kPage - 1) / kPage * kPage;
  const uint64_t end = (offset + length) / kPage * kPage;
  if (fd_ >= 0 && begin < end) {
    (void)fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(begin),
                    static_cast<off_t>(end - begin));
  }
#else
  (void)offset;
  (void)length;
#endif
}

bool File::close() {
  if (fd_ < 0) return true;
  int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0;
}

bool File::nameAs(const std::string& name) {
  if (fd_ < 0 || naming_ == Naming::kOpenedByName || fsync(fd_) != 0) return false;
  bool placed;
  {
    StopSignalsHeld held;
    placed = naming_ == Naming::kWithoutName ? linkInPlace(name) : copyInPlace(name);
  }
  return placed && syncFolderOf(name);
}

bool File::linkInPlace(const std::string& name) {
  // Where the name is free, it is made in one step.
  if (linkDescriptor(fd_, name)) return true;
  // Without /proc and without the privilege, the file cannot be linked: it is copied instead.
  if (errno == ENOENT) return copyInPlace(name);
  if (errno != EEXIST) return false;
  // Otherwise the file gets a passing name of its own, which then replaces the old one.
  std::string passing;
  if (!withFreeName(name + ".", &passing,
                    [&](const std::string& candidate) { return linkDescriptor(fd_, candidate); })) {
    return false;
  }
  if (rename(passing.c_str(), name.c_str()) == 0) return true;
  unlink(passing.c_str());
  return false;
}

bool File::copyInPlace(const std::string& name) {
  // A file whose name was removed (or that cannot be linked) gets no name again: its bytes go
  // to a new file.
  std::string passing;
  const int out = createUniquelyNamed(name + ".", O_WRONLY, 0666, &passing);
  if (out < 0) return false;
  constexpr size_t kPiece = 1 << 20;
  auto buffer = std::make_unique<char[]>(kPiece);
  bool copied = true;
  for (uint64_t offset = 0; copied;) {
    const int64_t got = readAt(offset, buffer.get(), kPiece);
    if (got <= 0) {
      copied = got == 0;
      break;
    }
    copied = writeAll(out, buffer.get(), static_cast<size_t>(got));
    offset += static_cast<uint64_t>(got);
  }
  copied = copied && fsync(out) == 0;
  copied = ::close(out) == 0 && copied;
  if (copied && rename(passing.c_str(), name.c_str()) == 0) return true;
  unlink(passing.c_str());
  return false;
}

bool removeFile(const std::string& name) {
  return unlink(name.c_str()) == 0;
}

}  // namespace zorvak
