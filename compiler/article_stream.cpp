#include "compiler/article_stream.h"

#include <algorithm>
#include <utility>

#include "format/layout.h"
#include "platform/messages.h"
#include "text/codepage.h"

namespace zorvak {

ArticleStream::ArticleStream(CompressedOutput& output, int32_t codePage, EncoderState& encoder,
                             uint32_t& finishedStreams, size_t streamingBytes)
    : output_(output),
      codePage_(codePage),
      encoder_(encoder),
      finishedStreams_(finishedStreams),
      streamingBytes_(streamingBytes),
      stream_(messages::kWriteOutput, DeflateStream::kOutputArea,
              streamingLevel(output.compression())) {}

Status ArticleStream::feedArticleUnit(uint16_t unit, Mode mode, uint64_t* block, uint32_t* start) {
  if (mode == kText) return feedArticleUnits(&unit, 1, block, start);
  if (block != nullptr) *block = output_.blockCount();
  if (start != nullptr) *start = blockUnits_;
  if (blockUnits_ > kBlockUnitLimit || mode == kFinal) return closeArticleBlock();
  return Status::Ok();
}

Status ArticleStream::feedArticleUnits(const uint16_t* units, size_t count, uint64_t* block,
                                       uint32_t* start) {
  if (block != nullptr) *block = output_.blockCount();
  if (start != nullptr) *start = blockUnits_;
  while (count > 0) {
    const size_t take = std::min(count, kBatchUnits - pendingCount_);
    std::copy(units, units + take, pending_ + pendingCount_);
    pendingCount_ += take;
    blockUnits_ += static_cast<uint32_t>(take);
    units += take;
    count -= take;
    if (pendingCount_ == kBatchUnits) ZORVAK_RETURN_IF_ERROR(encodePending());
  }
  return Status::Ok();
}

Status ArticleStream::encodePending() {
  if (codePage_ == kCodePageUtf16) {
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(pending_);
    text_.insert(text_.end(), bytes, bytes + 2 * pendingCount_);
  } else {
    // Article text holds no zero unit, so every unit is encoded.
    const int32_t encoded = encodeUnits(encoder_, codePage_, pending_, pendingCount_, encoded_);
    text_.insert(text_.end(), encoded_, encoded_ + encoded);
  }
  pendingCount_ = 0;
  if (!streaming_ && text_.size() > streamingBytes_) {
    // Everything before this block is written first; then it goes straight to the output.
    ZORVAK_RETURN_IF_ERROR(output_.beginStreamedBlock());
    ZORVAK_RETURN_IF_ERROR(stream_.open());
    streaming_ = true;
    streamedBytes_ = 0;
  }
  return streaming_ ? streamText(Z_NO_FLUSH) : Status::Ok();
}

Status ArticleStream::closeArticleBlock() {
  // A block that ends on a whole batch still gets one unit, a zero that belongs to no article;
  // only with two bytes a unit does it leave bytes.
  if (pendingCount_ == 0 && codePage_ == kCodePageUtf16) {
    text_.push_back(0);
    text_.push_back(0);
  }
  if (pendingCount_ > 0) ZORVAK_RETURN_IF_ERROR(encodePending());
  ++finishedStreams_;
  blockUnits_ = 0;
  if (streaming_) {
    ZORVAK_RETURN_IF_ERROR(streamText(Z_FINISH));
    streaming_ = false;
    output_.endStreamedBlock(streamedBytes_);
    return Status::Ok();
  }
  std::vector<uint8_t> text = std::move(text_);
  text_ = std::vector<uint8_t>();
  text_.reserve(text.size());
  return output_.addBlock(std::move(text));
}

Status ArticleStream::streamText(int flush) {
  bool ended = false;
  ZORVAK_RETURN_IF_ERROR(stream_.deflateInput(text_.data(), text_.size(), flush,
                                              output_.articleData(), &streamedBytes_, &ended));
  text_.clear();
  return Status::Ok();
}

}  // namespace zorvak
