#ifndef ZORVAK_COMPILER_ENTRY_READER_H_
#define ZORVAK_COMPILER_ENTRY_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "format/headword_key.h"
#include "platform/file.h"
#include "platform/status.h"

namespace zorvak {

// Takes the entries that an entry reader finds, one after another.
class EntrySink {
 public:
  virtual ~EntrySink() = default;
  // The headword of the next entry: its first 1023 units, zero-terminated. *take says whether
  // the sink wants the rest of the entry; an entry not taken is skipped.
  virtual Status headword(const uint16_t* units, size_t length, bool* take) = 0;
  // The next piece of the article text of the entry taken; an article may come in any number
  // of pieces, an empty one in none.
  virtual Status article(const uint16_t* units, size_t count) = 0;
  // The entry taken has ended.
  virtual Status entryEnd() = 0;
  // EntryReader::read has handed on every byte of the file before `end`: a sink that keeps
  // nothing of the file's own may let it give them back.
  virtual void passed(uint64_t end) { (void)end; }
};

// Finds the entries of the text spool and of the alternative headwords file, both runs of
// 16-bit units in which an entry mark starts an entry, its headword follows up to the article
// mark, and its article text runs to the next entry mark. Units may come in any pieces; the
// reader keeps its place from one piece to the next.
class EntryReader {
 public:
  // Bytes read from a file at a time.
  static constexpr size_t kReadBytes = size_t{1} << 20;

  // Runs over `count` units.
  Status parse(const uint16_t* units, size_t count, EntrySink& sink);
  // The units so far end where an entry ends.
  Status finish(EntrySink& sink);
  // Reads [begin, end) of `file`, which begins with an entry mark and ends where an entry ends,
  // and parses it through to its end. A failed read is reported with `readError`.
  Status read(File& file, uint64_t begin, uint64_t end, const char* readError, EntrySink& sink);

 private:
  enum class State { kSeek, kHeadword, kArticle, kSkip };

  State state_ = State::kSeek;
  uint16_t headword_[kTextBufferUnits] = {};
  size_t length_ = 0;
  // Room for the largest piece read so far (at most kReadBytes), left uninitialised.
  std::unique_ptr<uint16_t[]> buffer_;
  size_t bufferUnits_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_ENTRY_READER_H_
