#ifndef ZORVAK_READER_BLOCK_WINDOW_H_
#define ZORVAK_READER_BLOCK_WINDOW_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/status.h"
#include "reader/input_reader.h"
#include "reader/whole_stream.h"

namespace zorvak {

// Compressed article data held in memory, to inflate article blocks from in one call. A sound
// block's stream is a few kilobytes: a block that follows the one inflated last is read with a
// whole window (the blocks after it are likely next), any other with a short one first, so
// that blocks met in no order do not cost a whole window each. A stream the window ends inside
// is tried once more from a whole window; what a stream yields is the same either way.
class BlockWindow {
 public:
  static constexpr size_t kWholeBytes = size_t{64} << 10;
  static constexpr size_t kShortBytes = size_t{16} << 10;

  // Inflates the stream at file offset `key` of `input` into `stream`, whose text is then the
  // block's: *inflated tells whether it is a sound stream there of at most `limit` bytes of
  // text. Fails only when a read fails.
  Status inflate(InputReader& input, uint64_t key, WholeStream& stream, size_t limit,
                 bool* inflated);

 private:
  Status read(InputReader& input, uint64_t key, size_t bytes);
  bool tryInflate(uint64_t key, WholeStream& stream, size_t limit, size_t* consumed) const;

  std::vector<uint8_t> bytes_;  // from file offset at_ on
  uint64_t at_ = 0;
  uint64_t next_ = 0;  // where the stream inflated last ended
};

}  // namespace zorvak

#endif  // ZORVAK_READER_BLOCK_WINDOW_H_
