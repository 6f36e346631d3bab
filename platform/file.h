#ifndef ZORVAK_PLATFORM_FILE_H_
#define ZORVAK_PLATFORM_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorvak {

// Where a seek counts from.
enum class SeekFrom { kBegin, kCurrent, kEnd };

// One open file of a run. Every file is held exclusively for as long as it is open (an
// advisory lock that a second run on the same file cannot take), and files that a run creates
// are never opened through a symbolic link. Move-only; the destructor closes.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens an existing file for reading. Fails when it does not exist, cannot be read or is held
  // by another run.
  static File openForReading(const std::string& name);
  // Opens a file for reading and writing, creating it when it does not exist. Its content is
  // kept: call truncate() once the file is held.
  static File openOrCreate(const std::string& name);
  // Creates a new file with a unique name that begins with `prefix` (prefix + "XXXXXX" made
  // unique), for writing. The name chosen is stored in *name.
  static File createUnique(const std::string& prefix, std::string* name);

  bool isOpen() const { return fd_ >= 0; }

  // Cuts the file to length 0.
  bool truncate();
  // Reads up to `size` bytes, as many as the file still has. Returns the number of bytes read
  // (0 at the end of the file), or -1 when the read failed.
  int64_t read(void* buffer, size_t size);
  // Reads up to `size` bytes at `offset` without moving the file position; as read().
  int64_t readAt(uint64_t offset, void* buffer, size_t size);
  // Writes all `size` bytes at the current position. False when not all of them were written.
  bool write(const void* buffer, size_t size);
  // Moves the file position and returns the new position, or -1 on failure.
  int64_t seek(int64_t distance, SeekFrom from);
  // The size of the file in bytes, or -1 on failure.
  int64_t size() const;
  // Flushes the file's data to the disk.
  bool sync();
  // Closes the file; false when the close reported an error.
  bool close();

  int descriptor() const { return fd_; }

 private:
  explicit File(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// Deletes a file; false when it could not be deleted.
bool removeFile(const std::string& name);
// Renames `from` to `to`, replacing `to`, and flushes the folder that holds them, so that the
// new name survives a crash.
bool replaceFile(const std::string& from, const std::string& to);

}  // namespace zorvak

#endif  // ZORVAK_PLATFORM_FILE_H_
