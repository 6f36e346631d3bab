#ifndef ZORVAK_COMPILER_COMPILER_H_
#define ZORVAK_COMPILER_COMPILER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "compiler/alternatives.h"
#include "compiler/alternatives_file.h"
#include "compiler/article_stream.h"
#include "compiler/chunk_decoder.h"
#include "compiler/compile_files.h"
#include "compiler/compressed_output.h"
#include "compiler/group_scan.h"
#include "compiler/index_groups.h"
#include "compiler/scan_progress.h"
#include "compiler/section_stream.h"
#include "compiler/source_parser.h"
#include "compiler/spool_writer.h"
#include "compiler/word_forms.h"
#include "format/headword_key.h"
#include "format/layout.h"
#include "platform/buffered_writer.h"
#include "platform/status.h"
#include "text/encode.h"

namespace zorvak {

// The code page that a dictionary compiled from `sourceCodePage` stores its article text in
// and names in its header. The double-byte code pages have no encoder of their own, so their
// text is stored as UTF-8.
int32_t storedCodePage(int32_t sourceCodePage);

// Compiles one source dictionary into a compiled dictionary. The driver feeds it the source in
// chunks, then runs its three later phases in order; each phase reports a failure as a status
// whose message the driver prints.
class DictionaryCompiler : private EntryListener {
 public:
  // `workers` threads compress the streams (none: all is done in the calling thread); the
  // compiled file is the same for any number, and for any limits of the scan.
  DictionaryCompiler(int32_t codePage, int32_t allWords, const WordForms& wordForms,
                     CompileFiles& files, size_t workers = 0,
                     Compression compression = Compression::kDefault, ScanLimits scanLimits = {});
  ~DictionaryCompiler() override;

  // The source chunk entry: decodes one chunk (a zero byte follows its `size` bytes), parses
  // it into the text spool and registers every completed entry. May leave an unfinished
  // double-byte lead byte in *carry.
  Status consumeSourceChunk(uint8_t* chunk, size_t size, size_t* carry);
  // The same for units already decoded (by a reading thread, say).
  Status parseSourceUnits(const uint16_t* units, size_t count);

  // Entries registered with a spool position, and alternative headwords registered.
  uint32_t mainEntries() const { return groups_.mainEntries(); }
  uint32_t alternativeEntries() const { return groups_.alternativeEntries(); }

  // Closes the spool and the alternative headwords file, writes the header and the
  // substitution table and sorts the index groups.
  Status prepareCompiledDictionary();
  // The group scan: every group in key order, its counters reported to `progress`.
  Status scanGroups(ScanProgress& progress);
  // Finishes the article data, appends the group table and the sections and rewrites the
  // header with its offsets. The driver then closes and moves the files.
  Status assembleCompiledDictionary();

  // The header as last written.
  const Header& header() const { return header_; }

 private:
  // At the line feed of each source entry: registers it and produces its alternatives.
  Status entryEnded(const uint16_t* headword, size_t length, uint64_t position) override;

  // Fills the header's fields and writes it at the output's current position.
  Status writeHeader();
  // Appends the whole of `file` to the output.
  Status appendFile(File& file, const char* readMessage);

  int32_t codePage_;
  size_t workers_;
  CompileFiles& files_;
  SubstitutionTable substitutions_;
  HeadwordFolder folder_;
  IndexGroups groups_;

  SpoolWriter spool_;
  SourceParser parser_;
  AlternativesFile alternatives_;
  AlternativeProducer producer_;
  ChunkDecoder decoder_;
  uint16_t folded_[kTextBufferUnits] = {};

  uint32_t finishedStreams_ = 0;
  EncoderState encoder_;
  BufferedWriter outputWriter_;
  BufferedWriter sectionWriter_;
  BufferedWriter groupTableWriter_;
  CompressedOutput compressed_;
  ArticleStream articles_;
  SectionStream sections_;
  GroupScanner scanner_;
  Header header_;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_COMPILER_H_
