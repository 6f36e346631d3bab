#include "compiler/compressed_output.h"

#include <algorithm>
#include <utility>

#include "format/coding.h"
#include "format/layout.h"
#include "platform/messages.h"

namespace zorvak {

// One stream on its way: its raw bytes, then its compressed ones.
struct CompressedOutput::Stream {
  bool isSection = false;
  std::vector<uint8_t> raw;
  std::vector<uint8_t> compressed;
  Status status;
  size_t heldBytes = 0;  // what the stream was counted with
  uint64_t ticket = 0;   // its task
  // A section's group record, and the blocks its entries name.
  uint32_t key = 0;
  uint32_t entryCount = 0;
  uint64_t firstBlock = 0;
  uint64_t lastBlock = kNone;
};

CompressedOutput::CompressedOutput(size_t workers, Compression compression,
                                   BufferedWriter& articleData, BufferedWriter& sections,
                                   BufferedWriter& groupTable, size_t heldLimit)
    : compression_(compression),
      heldLimit_(heldLimit),
      articleData_(articleData),
      sections_(sections),
      groupTable_(groupTable),
      pool_(std::make_unique<WorkerPool>(workers)) {
  for (size_t i = 0; i < pool_->slots(); ++i)
    deflaters_.push_back(std::make_unique<WholeDeflater>(compression));
}

CompressedOutput::~CompressedOutput() {
  // The workers finish with what they hold before the streams and deflaters go.
  pool_.reset();
}

Status CompressedOutput::addBlock(std::vector<uint8_t> text) {
  auto stream = std::make_unique<Stream>();
  stream->raw = std::move(text);
  ++blocksAdded_;
  queue(std::move(stream));
  return keepWithinLimit();
}

Status CompressedOutput::beginStreamedBlock() {
  return drain();
}

void CompressedOutput::endStreamedBlock(uint64_t size) {
  ++blocksAdded_;
  blockWritten(size);
}

Status CompressedOutput::addSection(uint32_t key, uint32_t entryCount, std::vector<uint8_t> entries,
                                    uint64_t lastBlock) {
  auto stream = std::make_unique<Stream>();
  stream->isSection = true;
  stream->raw = std::move(entries);
  stream->key = key;
  stream->entryCount = entryCount;
  stream->firstBlock = nextSectionFirstBlock_;
  stream->lastBlock = lastBlock;
  stream->heldBytes = stream->raw.size();
  heldBytes_ += stream->heldBytes;
  // The next group's articles go into the block being filled or later ones.
  nextSectionFirstBlock_ = blocksAdded_;
  waiting_.push_back(std::move(stream));
  queueReadySections();
  return keepWithinLimit();
}

Status CompressedOutput::beginStreamedSection() {
  return drain();
}

Status CompressedOutput::endStreamedSection(uint32_t key, uint32_t entryCount, uint64_t size) {
  nextSectionFirstBlock_ = blocksAdded_;
  ZORVAK_RETURN_IF_ERROR(sectionWritten(key, entryCount, size));
  forgetOffsets();
  return Status::Ok();
}

Status CompressedOutput::finish() {
  return drain();
}

void CompressedOutput::queueReadySections() {
  while (!waiting_.empty()) {
    Stream& section = *waiting_.front();
    // A block's offset is known once every block before it is written.
    if (section.lastBlock != kNone && section.lastBlock > blocksWritten_) return;
    replaceBlockNumbers(section.raw);
    std::unique_ptr<Stream> stream = std::move(waiting_.front());
    waiting_.pop_front();
    heldBytes_ -= stream->heldBytes;
    queue(std::move(stream));
  }
  forgetOffsets();
}

void CompressedOutput::queue(std::unique_ptr<Stream> stream) {
  stream->heldBytes = stream->raw.size();
  heldBytes_ += stream->heldBytes;
  Stream* s = stream.get();
  queued_.push_back(std::move(stream));
  s->ticket = pool_->submit([this, s](size_t worker) {
    s->status = deflaters_[worker]->deflateWhole(
        s->raw.data(), s->raw.size(), &s->compressed,
        s->isSection ? messages::kWriteSections : messages::kWriteOutput);
    s->raw = std::vector<uint8_t>();
  });
}

Status CompressedOutput::writeOldest(bool wait, bool* written) {
  *written = false;
  if (queued_.empty()) return Status::Ok();
  Stream& stream = *queued_.front();
  if (wait) {
    pool_->wait(stream.ticket);
  } else if (!pool_->finished(stream.ticket)) {
    return Status::Ok();
  }
  std::unique_ptr<Stream> done = std::move(queued_.front());
  queued_.pop_front();
  heldBytes_ -= done->heldBytes;
  *written = true;
  ZORVAK_RETURN_IF_ERROR(done->status);
  if (done->isSection) {
    ZORVAK_RETURN_IF_ERROR(sections_.append(done->compressed.data(), done->compressed.size()));
    return sectionWritten(done->key, done->entryCount, done->compressed.size());
  }
  ZORVAK_RETURN_IF_ERROR(articleData_.append(done->compressed.data(), done->compressed.size()));
  blockWritten(done->compressed.size());
  queueReadySections();
  return Status::Ok();
}

Status CompressedOutput::keepWithinLimit() {
  bool written = true;
  while (written)
    ZORVAK_RETURN_IF_ERROR(writeOldest(false, &written));
  // The largest stream held is not counted: while one worker compresses a large group's
  // section, the scan goes on feeding the others with up to the limit's bytes.
  while (!queued_.empty() && heldBytes_ > heldLimit_ && heldBytes_ > heldLimit_ + largestHeld())
    ZORVAK_RETURN_IF_ERROR(writeOldest(true, &written));
  return Status::Ok();
}

size_t CompressedOutput::largestHeld() const {
  size_t largest = 0;
  for (const auto* streams : {&queued_, &waiting_}) {
    for (const std::unique_ptr<Stream>& stream : *streams)
      largest = std::max(largest, stream->heldBytes);
  }
  return largest;
}

Status CompressedOutput::drain() {
  // Writing the queued blocks readies the waiting sections, which are queued in turn.
  while (!queued_.empty() || !waiting_.empty()) {
    bool written = false;
    ZORVAK_RETURN_IF_ERROR(writeOldest(true, &written));
    if (written) continue;
    // Every block handed over is written, so every waiting section can have its offsets.
    const size_t waiting = waiting_.size();
    queueReadySections();
    if (waiting_.size() == waiting) return Status::InputOutput(messages::kWriteSections);
  }
  return Status::Ok();
}

void CompressedOutput::blockWritten(uint64_t size) {
  offsets_.push_back(offsets_.back() + size);
  ++blocksWritten_;
}

Status CompressedOutput::sectionWritten(uint32_t key, uint32_t entryCount, uint64_t size) {
  uint8_t record[kGroupRecordSize];
  encodeGroupRecord(GroupRecord{key, entryCount, sectionBytes_}, record);
  sectionBytes_ += size;
  return groupTable_.append(record, sizeof(record));
}

void CompressedOutput::replaceBlockNumbers(std::vector<uint8_t>& entries) const {
  for (size_t at = 0; at + kEntryHeaderSize <= entries.size();) {
    uint8_t* entry = entries.data() + at;
    const uint32_t length = decodeFixed32(entry);
    const uint64_t block = decodeFixed64(entry + 4);
    if (block != kNone) encodeFixed64(entry + 4, blockOffset(block));
    at += kEntryHeaderSize + 4 * size_t{length};
  }
}

void CompressedOutput::forgetOffsets() {
  const uint64_t keep = waiting_.empty() ? nextSectionFirstBlock_ : waiting_.front()->firstBlock;
  // The last offset is the end of the article data so far; it always stays.
  while (offsetsBase_ < keep && offsetsBase_ < blocksWritten_) {
    offsets_.pop_front();
    ++offsetsBase_;
  }
}

}  // namespace zorvak
