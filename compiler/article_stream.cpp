#include "compiler/article_stream.h"

#include <algorithm>

#include "format/layout.h"
#include "platform/messages.h"
#include "text/codepage.h"

namespace zorvak {
namespace {}  // namespace

ArticleStream::ArticleStream(BufferedWriter& out, int32_t codePage, EncoderState& encoder,
                             uint32_t& finishedStreams)
    : out_(out),
      codePage_(codePage),
      encoder_(encoder),
      finishedStreams_(finishedStreams),
      stream_(messages::kWriteOutput) {}

Status ArticleStream::openArticleBlock(bool reset) {
  ZORVAK_RETURN_IF_ERROR(stream_.open());
  if (reset) {
    blockOffset_ = 0;
    blockBytes_ = 0;
  }
  blockUnits_ = 0;
  pendingCount_ = 0;
  return Status::Ok();
}

Status ArticleStream::feedArticleUnit(uint16_t unit, Mode mode, uint64_t* location,
                                      uint32_t* start) {
  if (location != nullptr) *location = blockOffset_;
  if (start != nullptr) *start = blockUnits_;
  if (!stream_.isOpen()) ZORVAK_RETURN_IF_ERROR(openArticleBlock(false));
  if (mode == kText) {
    pending_[pendingCount_++] = unit;
    pending_[pendingCount_] = 0;
    ++blockUnits_;
    if (pendingCount_ == kBatchUnits) return compressPending(kBatchUnits, Z_NO_FLUSH);
    return Status::Ok();
  }
  if (blockUnits_ > kBlockUnitLimit || mode == kFinal) {
    // A block that ends on a whole batch still gets one unit, a zero that belongs to no
    // article.
    if (pendingCount_ == 0) {
      pending_[0] = 0;
      pending_[1] = 0;
      pendingCount_ = 1;
    }
    return compressPending(pendingCount_, Z_FINISH);
  }
  return Status::Ok();
}

Status ArticleStream::feedArticleUnits(const uint16_t* units, size_t count, uint64_t* location,
                                       uint32_t* start) {
  if (location != nullptr) *location = blockOffset_;
  if (start != nullptr) *start = blockUnits_;
  if (count > 0 && !stream_.isOpen()) ZORVAK_RETURN_IF_ERROR(openArticleBlock(false));
  while (count > 0) {
    const size_t take = std::min(count, kBatchUnits - pendingCount_);
    std::copy(units, units + take, pending_ + pendingCount_);
    pendingCount_ += take;
    pending_[pendingCount_] = 0;
    blockUnits_ += static_cast<uint32_t>(take);
    units += take;
    count -= take;
    if (pendingCount_ == kBatchUnits)
      ZORVAK_RETURN_IF_ERROR(compressPending(kBatchUnits, Z_NO_FLUSH));
  }
  return Status::Ok();
}

Status ArticleStream::compressPending(size_t count, int flush) {
  const uint8_t* input = reinterpret_cast<const uint8_t*>(pending_);
  size_t size = count * 2;
  if (codePage_ != kCodePageUtf16) {
    // The batch is never null, so the count is never negative.
    const int32_t encoded = encodeUnits(encoder_, codePage_, pending_, count, encoded_);
    input = encoded_;
    size = static_cast<size_t>(encoded);
  }
  bool ended = false;
  ZORVAK_RETURN_IF_ERROR(stream_.deflateInput(input, size, flush, out_, &blockBytes_, &ended));
  if (ended) {
    ++finishedStreams_;
    closeArticleBlock();
  }
  pendingCount_ = 0;
  return Status::Ok();
}

void ArticleStream::closeArticleBlock() {
  blockUnits_ = 0;
  blockOffset_ += blockBytes_;
  blockBytes_ = 0;
}

}  // namespace zorvak
