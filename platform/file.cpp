#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace zorvak {
namespace {

// Takes the run's exclusive hold on an open file; closes it when another run holds it.
int holdExclusively(int fd) {
  if (fd < 0) return -1;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    ::close(fd);
    return -1;
  }
  return fd;
}

int openRetrying(const char* name, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(name, flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::string folderOf(const std::string& name) {
  size_t slash = name.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return name.substr(0, slash);
}

}  // namespace

File::~File() {
  close();
}

File::File(File&& other) noexcept : fd_(other.fd_) {
  other.fd_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

File File::openForReading(const std::string& name) {
  int fd = openRetrying(name.c_str(), O_RDONLY, 0);
  if (fd >= 0) {
    struct stat st;
    // A folder opens for reading but cannot be read as a file.
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      ::close(fd);
      fd = -1;
    }
  }
  return File(holdExclusively(fd));
}

File File::openOrCreate(const std::string& name) {
  return File(holdExclusively(openRetrying(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW, 0644)));
}

File File::createUnique(const std::string& prefix, std::string* name) {
  std::vector<char> pattern(prefix.begin(), prefix.end());
  for (char c : std::string("XXXXXX"))
    pattern.push_back(c);
  pattern.push_back('\0');
  int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd >= 0) {
    // mkostemp creates the file with mode 0600; a compiled dictionary is an ordinary file.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    *name = pattern.data();
  }
  return File(holdExclusively(fd));
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

bool File::write(const void* buffer, size_t size) {
  if (fd_ < 0) return false;
  const char* in = static_cast<const char*>(buffer);
  while (size > 0) {
    ssize_t put = ::write(fd_, in, size);
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

bool File::close() {
  if (fd_ < 0) return true;
  int fd = fd_;
  fd_ = -1;
  return ::close(fd) == 0;
}

bool removeFile(const std::string& name) {
  return unlink(name.c_str()) == 0;
}

bool replaceFile(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) != 0) return false;
  int dir = openRetrying(folderOf(to).c_str(), O_RDONLY | O_DIRECTORY, 0);
  if (dir < 0) return false;
  bool synced = fsync(dir) == 0;
  ::close(dir);
  return synced;
}

}  // namespace zorvak
