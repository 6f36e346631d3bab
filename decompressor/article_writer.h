#ifndef ZORVAK_DECOMPRESSOR_ARTICLE_WRITER_H_
#define ZORVAK_DECOMPRESSOR_ARTICLE_WRITER_H_

#include <cstddef>
#include <cstdint>

#include "platform/buffered_writer.h"
#include "platform/status.h"
#include "reader/article_blocks.h"

namespace zorvak {

// Writes an article's stored text into its line as the pieces come: line breaks replaced, and
// with UTF-8 every surrogate pair stored as two sequences written as the one four-byte sequence.
// A piece may end anywhere; what its end may have cut (half a unit, part of a pair) waits for
// the next piece, so the text is the same however the article is cut into pieces.
class ArticleWriter : public ArticleSink {
 public:
  ArticleWriter(BufferedWriter& output, int32_t codePage) : output_(output), codePage_(codePage) {}

  // Before each article.
  void begin();
  Status take(const uint8_t* bytes, size_t count) override;
  // After the article's last piece: writes what waits.
  void finish();
  // Whether the article began with the unit 8, the mark of an alternative headword's article.
  bool alternative() const { return alternative_; }

 private:
  // Writes `count` bytes of text from `bytes`; `last` when no more follow. Returns the bytes
  // taken: those at the end that must wait for more are not.
  size_t write(const uint8_t* bytes, size_t count, bool last);

  BufferedWriter& output_;
  int32_t codePage_;
  bool begun_ = false;  // the article's first unit has been seen
  bool alternative_ = false;
  uint8_t waiting_[8];
  size_t waitingCount_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_ARTICLE_WRITER_H_
