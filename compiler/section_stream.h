#ifndef ZORVAK_COMPILER_SECTION_STREAM_H_
#define ZORVAK_COMPILER_SECTION_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "compiler/compressed_output.h"
#include "compiler/deflate_stream.h"
#include "compiler/entry_list.h"
#include "platform/status.h"

namespace zorvak {

// Writes each index group's entry list as a group section of its own: per entry the entry
// header, the headword and the folded-headword slot, compressed as one zlib stream. Sections go
// to the compressed output, which places them in the section data and writes the group records.
// Article blocks are given as block numbers of the article stream.
class SectionStream {
 public:
  // A section longer than this many bytes is deflated as it is written instead of being held
  // whole.
  static constexpr size_t kStreamingBytes = size_t{8} << 20;
  // The longest section a compile of many entries on worker threads holds whole.
  static constexpr size_t kLargestWholeBytes = size_t{16} << 20;

  // A section is streamed when it is longer than `streamingBytes`.
  SectionStream(CompressedOutput& output, uint32_t& finishedStreams,
                size_t streamingBytes = kStreamingBytes);

  // The streaming length for a compile of `entries` entries (alternatives counted) on
  // `workers` worker threads. A section held whole is compressed by a worker while the scan
  // goes on, where a streamed one is deflated by the scan itself after the workers have run
  // dry; but it holds its bytes and their compressed copy, so only a dictionary of enough
  // entries, whose other memory grows with them anyway, holds sections past kStreamingBytes
  // (16 bytes an entry, up to kLargestWholeBytes). With the default compression a section
  // has the same bytes either way; any other keeps kStreamingBytes, so that its file does not
  // depend on the threads either.
  static size_t streamingBytesFor(uint64_t entries, size_t workers, Compression compression);
  void setStreamingBytes(size_t bytes) { streamingBytes_ = bytes; }

  // Writes the section of the group `key`, registered `entryCount` times: the entries of the
  // list in its order.
  Status writeGroupSection(uint32_t key, uint32_t entryCount, const EntryList& entries);

  // Writes a section whose entries come one by one, in order, as a stream: begin, each entry,
  // end.
  Status beginStreamedSection();
  Status streamEntry(const SectionEntry& entry);
  Status endStreamedSection(uint32_t key, uint32_t entryCount);

 private:
  // Appends one entry's bytes, its article block as `articleBlock`.
  static void appendEntry(const SectionEntry& entry, uint64_t articleBlock,
                          std::vector<uint8_t>* bytes);
  Status deflatePiece(int flush);

  CompressedOutput& output_;
  uint32_t& finishedStreams_;
  size_t streamingBytes_;
  DeflateStream stream_;
  std::vector<uint8_t> piece_;  // entries of a streamed section not yet deflated
  uint64_t produced_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_SECTION_STREAM_H_
