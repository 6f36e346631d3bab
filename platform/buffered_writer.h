#ifndef ZORVAK_PLATFORM_BUFFERED_WRITER_H_
#define ZORVAK_PLATFORM_BUFFERED_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/file.h"
#include "platform/status.h"

namespace zorvak {

// Appends bytes to a file through a buffer, so that the file is written in large pieces. The
// status is sticky: the first failed write is kept as an input/output failure with the message
// given at construction (for example "error write sec file!"), everything appended after it is
// dropped, and every later call reports it.
class BufferedWriter {
 public:
  BufferedWriter(File& file, size_t capacity, const char* errorMessage);

  BufferedWriter(const BufferedWriter&) = delete;
  BufferedWriter& operator=(const BufferedWriter&) = delete;

  Status append(const void* data, size_t size) {
    if (size <= allocated_ - buffered_) {
      std::memcpy(buffer_.get() + buffered_, data, size);
      buffered_ += size;
      appended_ += size;
      return status_;
    }
    return appendSlow(data, size);
  }

  // Room for `count` more bytes, written out first when the buffer is too full; the buffer grows
  // for a single piece longer than all of it. Follow with commit().
  uint8_t* space(size_t count);
  // Takes `count` bytes of the room handed out by the last space() call.
  void commit(size_t count) {
    buffered_ += count;
    appended_ += count;
  }

  // Writes what the buffer holds to the file.
  Status flush();
  // The first failure, or success.
  Status status() const { return status_; }

  // For a file written from its start: once every `bytes` written, the file is told to start
  // writing them to the disk (File::startWriteback), so that syncing it at the end is quicker.
  void startWritebackEvery(uint64_t bytes) { writebackEvery_ = bytes; }

  // Bytes appended so far, written out or still in the buffer.
  uint64_t appended() const { return appended_; }

 private:
  Status appendSlow(const void* data, size_t size);
  void write(const void* data, size_t size);
  // Makes the buffer hold at least `count` bytes (at most the capacity), at least doubling it,
  // and keeps what it holds.
  void grow(size_t count);

  File& file_;
  const char* errorMessage_;
  // Left uninitialised. It starts small and doubles, keeping its bytes, each time it fills
  // below the capacity: a run that writes little allocates little, and the file is written in
  // the same pieces as with a buffer of the whole capacity.
  std::unique_ptr<uint8_t[]> buffer_;
  size_t allocated_;
  size_t capacity_;
  size_t buffered_ = 0;
  uint64_t appended_ = 0;
  uint64_t written_ = 0;  // bytes written to the file
  uint64_t writebackEvery_ = 0;
  uint64_t writebackFrom_ = 0;  // the first byte not yet handed to startWriteback
  Status status_;
};

}  // namespace zorvak

#endif  // ZORVAK_PLATFORM_BUFFERED_WRITER_H_
