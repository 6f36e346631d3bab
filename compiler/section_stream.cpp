#include "compiler/section_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "compiler/units.h"
#include "format/layout.h"
#include "platform/messages.h"

namespace zorvak {
namespace {

// Entries of a streamed section are deflated in pieces of about this many bytes.
constexpr size_t kPieceBytes = 64 * 1024;

}  // namespace

SectionStream::SectionStream(CompressedOutput& output, uint32_t& finishedStreams,
                             size_t streamingBytes)
    : output_(output),
      finishedStreams_(finishedStreams),
      streamingBytes_(streamingBytes),
      stream_(messages::kWriteSections, DeflateStream::kOutputArea,
              streamingLevel(output.compression())) {}

size_t SectionStream::streamingBytesFor(uint64_t entries, size_t workers, Compression compression) {
  if (workers == 0 || compression != Compression::kDefault) return kStreamingBytes;
  return static_cast<size_t>(
      std::clamp<uint64_t>(16 * entries, kStreamingBytes, kLargestWholeBytes));
}

void SectionStream::appendEntry(const SectionEntry& entry, uint64_t articleBlock,
                                std::vector<uint8_t>* bytes) {
  EntryHeader header;
  header.headwordLength = entry.length;
  header.articleBlock = articleBlock;
  header.articleStart = entry.articleStart;
  header.articleLength = entry.articleLength;
  const size_t at = bytes->size();
  bytes->resize(at + kEntryHeaderSize + 4 * size_t{entry.length});
  uint8_t* out = bytes->data() + at;
  encodeEntryHeader(header, out);
  out += kEntryHeaderSize;
  // The headword, then the folded-headword slot: the headword with its start overwritten by the
  // folded headword and, when that is shorter, a zero unit after it.
  uint16_t slot[kMaxTextUnits + 1];
  std::copy(entry.headword, entry.headword + entry.length, slot);
  std::copy(entry.folded, entry.folded + entry.foldedLength, slot);
  if (entry.foldedLength < entry.length) slot[entry.foldedLength] = 0;
  std::memcpy(out, entry.headword, 2 * size_t{entry.length});
  std::memcpy(out + 2 * size_t{entry.length}, slot, 2 * size_t{entry.length});
}

Status SectionStream::writeGroupSection(uint32_t key, uint32_t entryCount,
                                        const EntryList& entries) {
  const std::vector<EntryRecord>& records = entries.records();
  size_t size = 0;
  for (const EntryRecord& r : records)
    size += kEntryHeaderSize + 4 * size_t{r.length};
  if (size > streamingBytes_) {
    ZORVAK_RETURN_IF_ERROR(beginStreamedSection());
    for (const EntryRecord& r : records)
      ZORVAK_RETURN_IF_ERROR(streamEntry(entries.view(r)));
    return endStreamedSection(key, entryCount);
  }
  ++finishedStreams_;
  std::vector<uint8_t> bytes;
  bytes.reserve(size);
  uint64_t lastBlock = kNone;
  for (const EntryRecord& r : records) {
    appendEntry(entries.view(r), r.articleBlock, &bytes);
    if (r.articleBlock != kNone && (lastBlock == kNone || r.articleBlock > lastBlock))
      lastBlock = r.articleBlock;
  }
  // A group without entries still gets a complete stream of its own.
  return output_.addSection(key, entryCount, std::move(bytes), lastBlock);
}

Status SectionStream::beginStreamedSection() {
  // Every block's offset is known once everything before this section is written.
  ZORVAK_RETURN_IF_ERROR(output_.beginStreamedSection());
  ZORVAK_RETURN_IF_ERROR(stream_.open());
  piece_.clear();
  produced_ = 0;
  return Status::Ok();
}

Status SectionStream::streamEntry(const SectionEntry& entry) {
  appendEntry(entry, entry.articleBlock == kNone ? kNone : output_.blockOffset(entry.articleBlock),
              &piece_);
  return piece_.size() >= kPieceBytes ? deflatePiece(Z_NO_FLUSH) : Status::Ok();
}

Status SectionStream::endStreamedSection(uint32_t key, uint32_t entryCount) {
  ++finishedStreams_;
  ZORVAK_RETURN_IF_ERROR(deflatePiece(Z_FINISH));
  return output_.endStreamedSection(key, entryCount, produced_);
}

Status SectionStream::deflatePiece(int flush) {
  bool ended = false;
  ZORVAK_RETURN_IF_ERROR(stream_.deflateInput(piece_.data(), piece_.size(), flush,
                                              output_.sections(), &produced_, &ended));
  piece_.clear();
  return Status::Ok();
}

}  // namespace zorvak
