#ifndef ZORVAK_COMPILER_SECTION_STREAM_H_
#define ZORVAK_COMPILER_SECTION_STREAM_H_

#include <cstddef>
#include <cstdint>

#include "compiler/deflate_stream.h"
#include "platform/buffered_writer.h"
#include "platform/status.h"

namespace zorvak {

// Deflates each index group's entry list into a group section of its own, written to the
// section stream file, and counts the bytes written, which give each group its section offset.
class SectionStream {
 public:
  SectionStream(BufferedWriter& out, uint32_t& finishedStreams);

  // Begins the section of a group.
  Status openGroupSection();
  // Compresses `count` bytes with `flush`; Z_FINISH ends the section.
  Status writeGroupSection(const void* bytes, size_t count, int flush);

  // Bytes of section data written so far.
  uint64_t sectionByteCount() const { return sectionBytes_; }

 private:
  // The section has ended: it counts as one more finished stream.
  void closeGroupSection() { ++finishedStreams_; }

  BufferedWriter& out_;
  uint32_t& finishedStreams_;
  DeflateStream stream_;
  uint64_t sectionBytes_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_SECTION_STREAM_H_
