#ifndef ZORVAK_DECOMPRESSOR_DECOMPRESS_RUN_H_
#define ZORVAK_DECOMPRESSOR_DECOMPRESS_RUN_H_

#include <cstddef>
#include <cstdint>

#include "decompressor/article_writer.h"
#include "decompressor/decompress_progress.h"
#include "format/layout.h"
#include "platform/buffered_writer.h"
#include "platform/file.h"
#include "platform/status.h"
#include "reader/dictionary_reader.h"
#include "reader/dictionary_walk.h"
#include "text/encode.h"

namespace zorvak {

// The state of one decompress run: the reader of the compiled dictionary, the output, the
// encoder of the headwords and the entry counters. One object per run; its operations follow
// the order of the run, group by group and entry by entry. What it adds to the reader is the
// text: line assembly, the output encoding and the salvage of a damaged file. The file is taken
// through a walk (reader/dictionary_walk.h), so that a damaged one is found out and costs no more
// than it holds; articles are written as they arrive, never held whole.
class DecompressRun : private SectionVisitor {
 public:
  // `workers` threads inflate ahead of the writing (see DictionaryWalk::prefetch).
  DecompressRun(DictionaryReader& reader, File& output, DecompressProgress& progress,
                size_t workers = 0);
  ~DecompressRun() override;
  DecompressRun(const DecompressRun&) = delete;
  DecompressRun& operator=(const DecompressRun&) = delete;

  // Walks the group table in file order: writes the entries of each group's section and
  // reports the group. A damaged section or article costs only its own text; the run goes on
  // and ends with the first damage found, or with the damage of the whole file.
  Status decompressDictionary();

  uint32_t mainEntries() const { return mainEntries_; }
  uint32_t alternativeEntries() const { return alternativeEntries_; }

 private:
  // Writes the entry just parsed: headword, two blanks, article, line end.
  Status visitEntry(const EntryHeader& entry, const uint16_t* headword) override;
  void upcoming(const EntryHeader& entry) override { walk_.prefetchArticle(entry); }
  void writeHeadword(const uint16_t* headword, uint32_t length);
  // A separator or line end of `length` ASCII characters in the header's code page.
  void writeUnits(const char* ascii, size_t length);
  // Keeps a damaged-file status as the run's result and goes on; any other failure stops.
  Status salvage(const Status& status);

  DictionaryWalk walk_;
  BufferedWriter output_;
  ArticleWriter article_;
  DecompressProgress& progress_;
  int32_t codePage_;
  EncoderState encoder_;
  uint32_t mainEntries_ = 0;
  uint32_t alternativeEntries_ = 0;
  Status firstDamage_;
};

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_DECOMPRESS_RUN_H_
