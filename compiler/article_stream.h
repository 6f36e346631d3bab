#ifndef ZORVAK_COMPILER_ARTICLE_STREAM_H_
#define ZORVAK_COMPILER_ARTICLE_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "compiler/compressed_output.h"
#include "compiler/deflate_stream.h"
#include "platform/status.h"
#include "text/encode.h"

namespace zorvak {

// Encodes article text in the stored code page and cuts it into article blocks, which go to the
// compressed output one after another. A block is closed at the first entry end after it has
// taken in more than 8192 units, so an article never spans two blocks; every block is a zlib
// stream of its own. Where each block ends depends on units alone, never on compressed sizes,
// so an article's place is given as the number of its block and the units before it there.
// Text is gathered and encoded 4096 units at a time.
class ArticleStream {
 public:
  // What a feedArticleUnit call says.
  enum Mode { kText = 0, kEntryEnd = 1, kFinal = 2 };

  static constexpr size_t kBatchUnits = 4096;
  // A block whose text grows past this many bytes (a very long article) is deflated as it comes
  // instead of being held whole.
  static constexpr size_t kStreamingBytes = size_t{1} << 20;

  // `codePage` is the code page the text is stored in (1200 stores the units as they are);
  // `finishedStreams` counts the streams cut. A block is streamed once its text passes
  // `streamingBytes`.
  ArticleStream(CompressedOutput& output, int32_t codePage, EncoderState& encoder,
                uint32_t& finishedStreams, size_t streamingBytes = kStreamingBytes);

  // Mode kText feeds `unit` as article text; kEntryEnd says that an article has ended, which
  // closes the block once it holds more than 8192 units; kFinal closes the last block. Before
  // anything happens *block and *start (when asked for) receive the number of the block being
  // filled and the units it holds, which place the unit about to be fed.
  Status feedArticleUnit(uint16_t unit, Mode mode, uint64_t* block, uint32_t* start);

  // Feeds `count` units of text, as that many feedArticleUnit calls in mode kText would; the
  // block and start are those of the first unit.
  Status feedArticleUnits(const uint16_t* units, size_t count, uint64_t* block, uint32_t* start);

 private:
  Status closeArticleBlock();
  // Encodes the pending units onto the block's text.
  Status encodePending();
  // Deflates the text held so far of a block that is streamed.
  Status streamText(int flush);

  CompressedOutput& output_;
  int32_t codePage_;
  EncoderState& encoder_;
  uint32_t& finishedStreams_;
  size_t streamingBytes_;
  uint32_t blockUnits_ = 0;
  uint16_t pending_[kBatchUnits] = {};
  size_t pendingCount_ = 0;
  uint8_t encoded_[3 * kBatchUnits + 1] = {};
  std::vector<uint8_t> text_;  // the encoded text of the block, or of its part not yet deflated
  DeflateStream stream_;       // a block too large to hold
  bool streaming_ = false;
  uint64_t streamedBytes_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_ARTICLE_STREAM_H_
