#ifndef ZORVAK_PLATFORM_FILE_H_
#define ZORVAK_PLATFORM_FILE_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorvak {

// Where a seek counts from.
enum class SeekFrom { kBegin, kCurrent, kEnd };

// How a file without a name comes into being: by the file system itself, where it can, or
// under a unique name that is removed at once (what the first falls back to where the file
// system cannot).
enum class Unnamed { kByTheFileSystem, kByRemovingItsName };

// One open file of a run. A file opened by name is held exclusively for as long as it is open
// (an advisory lock that a second run on the same file cannot take); the files a run creates
// have no name until they are complete, so no other run can meet them. Move-only; the
// destructor closes.
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
  // Opens an existing file for reading beside other readers: any number of them may hold it at
  // once, while a run that holds it exclusively keeps them out.
  static File openSharedForReading(const std::string& name);
  // Opens a file for reading and writing, creating it when it does not exist. Its content is
  // kept: call truncate() once the file is held.
  static File openOrCreate(const std::string& name);
  // Creates a file of the run's own in the folder of `beside`, for reading and writing, without
  // a name: no existing file is touched, no other process finds it, and it goes away with its
  // last descriptor however the process ends. With Unnamed::kByRemovingItsName (also where the
  // file system cannot make a file without a name) it is created as `beside` + "." + six
  // random letters or digits, a name that did not exist, and that name is removed at once.
  static File createUnnamed(const std::string& beside, Unnamed how = Unnamed::kByTheFileSystem);

  bool isOpen() const { return fd_ >= 0; }

  // Cuts the file to length 0.
  bool truncate();
  // Reads up to `size` bytes, as many as the file still has. Returns the number of bytes read
  // (0 at the end of the file), or -1 when the read failed.
  int64_t read(void* buffer, size_t size);
  // Reads up to `size` bytes at `offset` without moving the file position; as read().
  int64_t readAt(uint64_t offset, void* buffer, size_t size);
  // Writes all `size` bytes at `offset`, past the end too, without moving the file position.
  // False when not all of them were written.
  bool writeAt(uint64_t offset, const void* buffer, size_t size);
  // Writes all `size` bytes at the current position. False when not all of them were written.
  bool write(const void* buffer, size_t size);
  // Moves the file position and returns the new position, or -1 on failure.
  int64_t seek(int64_t distance, SeekFrom from);
  // The size of the file in bytes, or -1 on failure.
  int64_t size() const;
  // Flushes the file's data to the disk.
  bool sync();
  // Starts writing `length` bytes from `offset` to the disk without waiting for them, so that
  // a later sync() has less to wait for. Only a hint: nothing fails.
  void startWriteback(uint64_t offset, uint64_t length);
  // Gives back the whole pages of [offset, offset + length) of a file of the run's own whose
  // bytes there are no longer needed: their cached pages go without ever being written to the
  // disk, their space is free again, and they read as zeros; the file keeps its size and the
  // bytes outside the range. Only a hint: nothing fails.
  void release(uint64_t offset, uint64_t length);
  // Closes the file; false when the close reported an error.
  bool close();

  // Gives a complete file made by createUnnamed the name `name`: writes the file to the disk,
  // puts it in place of a file of that name in one step (a symbolic link of that name is
  // replaced, never followed), and writes the folder to the disk, so that the name survives a
  // crash. Until then the name shows the file that was there before; a process that ends before
  // leaves nothing. False on failure, with the name as it was. Nothing is to be written to the
  // file afterwards.
  bool nameAs(const std::string& name);

  int descriptor() const { return fd_; }

 private:
  // Where the file's name stands.
  enum class Naming { kOpenedByName, kWithoutName, kNameRemoved };

  File(int fd, Naming naming) : fd_(fd), naming_(naming) {}
  bool linkInPlace(const std::string& name);
  bool copyInPlace(const std::string& name);

  int fd_ = -1;
  Naming naming_ = Naming::kOpenedByName;
};

// Deletes a file; false when it could not be deleted.
bool removeFile(const std::string& name);

}  // namespace zorvak

#endif  // ZORVAK_PLATFORM_FILE_H_
