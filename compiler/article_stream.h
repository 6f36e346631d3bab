#ifndef ZORVAK_COMPILER_ARTICLE_STREAM_H_
#define ZORVAK_COMPILER_ARTICLE_STREAM_H_

#include <cstddef>
#include <cstdint>

#include "compiler/deflate_stream.h"
#include "platform/buffered_writer.h"
#include "platform/status.h"
#include "text/encode.h"

namespace zorvak {

// Encodes article text in the stored code page and deflates it into article blocks, written
// one after another into the compiled dictionary. A block is closed at the first entry end
// after it has taken in more than 8192 units, so an article never spans two blocks; every
// block is a zlib stream of its own. Text is gathered 4096 units at a time and each batch is
// encoded and deflated at once.
class ArticleStream {
 public:
  // What a feedArticleUnit call says.
  enum Mode { kText = 0, kEntryEnd = 1, kFinal = 2 };

  static constexpr size_t kBatchUnits = 4096;

  // `codePage` is the code page the text is stored in (1200 stores the units as they are);
  // `finishedStreams` counts the finished streams.
  ArticleStream(BufferedWriter& out, int32_t codePage, EncoderState& encoder,
                uint32_t& finishedStreams);

  // Starts a block; with `reset` the article data starts anew at offset 0.
  Status openArticleBlock(bool reset);

  // Mode kText feeds `unit` as article text; kEntryEnd says that an article has ended, which
  // closes the block once it holds more than 8192 units; kFinal closes the last block. Before
  // anything happens *location and *start (when asked for) receive the block offset and the
  // units before the unit about to be fed in its block.
  Status feedArticleUnit(uint16_t unit, Mode mode, uint64_t* location, uint32_t* start);

  // Feeds `count` units of text, as that many feedArticleUnit calls in mode kText would; the
  // location and start are those of the first unit.
  Status feedArticleUnits(const uint16_t* units, size_t count, uint64_t* location, uint32_t* start);

  // Bytes of article data written so far: the blocks closed.
  uint64_t blockOffset() const { return blockOffset_; }

 private:
  Status compressPending(size_t count, int flush);
  void closeArticleBlock();

  BufferedWriter& out_;
  int32_t codePage_;
  EncoderState& encoder_;
  uint32_t& finishedStreams_;
  DeflateStream stream_;
  uint64_t blockOffset_ = 0;
  uint64_t blockBytes_ = 0;
  uint32_t blockUnits_ = 0;
  uint16_t pending_[kBatchUnits + 1] = {};
  size_t pendingCount_ = 0;
  uint8_t encoded_[kBatchUnits * 3 + 1] = {};
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_ARTICLE_STREAM_H_
