#ifndef ZORVAK_DECOMPRESSOR_DECOMPRESS_RUN_H_
#define ZORVAK_DECOMPRESSOR_DECOMPRESS_RUN_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "decompressor/article_blocks.h"
#include "decompressor/decompressor.h"
#include "decompressor/entry_parser.h"
#include "decompressor/input_reader.h"
#include "decompressor/output_buffer.h"
#include "format/layout.h"
#include "text/encode.h"

namespace zorvak {

// The state of one decompress run: the header, the entry parser, the article blocks, the
// output and the progress counters. One object per run; its operations follow the order of the
// run, group by group and entry by entry.
class DecompressRun {
 public:
  DecompressRun(File& input, uint64_t inputSize, File& output, std::FILE* console);
  ~DecompressRun();
  DecompressRun(const DecompressRun&) = delete;
  DecompressRun& operator=(const DecompressRun&) = delete;

  // Checks the header, then walks the group table in file order: inflates each group's section,
  // writes its entries and prints the group's progress line.
  DecompressResult decompressDictionary();

  // Inflates the group section at file offset `offset` and hands every byte it yields to the
  // entry parser. A section that breaks or ends inside an entry marks the run as damaged.
  Status inflateGroupSection(uint64_t offset);
  // Advances the entry parser over inflated section bytes, writing each entry it completes.
  Status parseSectionBytes(const uint8_t* bytes, size_t count);
  // Writes the entry just completed: headword, two blanks, article, line end.
  Status writeEntry();
  // Writes an article's stored text with its line breaks replaced, counting an alternative
  // headword's article (it begins with the unit 8) as such.
  void writeArticleBytes(const uint8_t* bytes, size_t count);

  uint32_t mainEntries() const { return mainEntries_; }
  uint32_t alternativeEntries() const { return alternativeEntries_; }

 private:
  // Reads and checks the header; *valid is false when the file is not a compiled dictionary.
  Status readHeader(bool* valid);
  void writeHeadword();
  void writeUnits(const char* ascii);  // a separator or line end in the header's code page

  InputReader input_;
  OutputBuffer output_;
  std::FILE* console_;
  Header header_;
  int32_t codePage_ = 0;
  encoderState encoder_;
  entryParser entryParser_;
  std::optional<ArticleBlocks> articles_;
  uint8_t encoded_[3 * kMaxTextUnits + 1];
  std::vector<uint8_t> sectionOutput_;  // one inflate call's output of a group section
  uint32_t mainEntries_ = 0;
  uint32_t alternativeEntries_ = 0;
  bool damaged_ = false;  // some section or article could not be rebuilt
};

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_DECOMPRESS_RUN_H_
