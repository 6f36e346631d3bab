#ifndef ZORVAK_COMPILER_COMPILER_H_
#define ZORVAK_COMPILER_COMPILER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "compiler/compile_files.h"
#include "compiler/word_forms.h"
#include "driver/platform/status.h"

namespace zorvak {

// Compiles one source dictionary into a compiled dictionary. The driver feeds it the source in
// chunks, then runs its three later phases in order; each phase reports a failure as a status
// whose message the driver prints.
class DictionaryCompiler {
 public:
  DictionaryCompiler(int32_t codePage, int32_t allWords, const WordForms& wordForms,
                     CompileFiles& files);
  ~DictionaryCompiler();

  // The source chunk entry: decodes one chunk (a zero byte follows its `size` bytes), parses
  // it into the text spool and registers every completed entry. May leave an unfinished
  // double-byte lead byte in *carry.
  Status consumeSourceChunk(uint8_t* chunk, size_t size, size_t* carry);

  // Entries registered with a spool position, and alternative headwords registered.
  uint32_t mainEntries() const;
  uint32_t alternativeEntries() const;

  // Closes the spool and the alternative headwords file, writes the header and the
  // substitution table and sorts the index groups.
  Status prepareCompiledDictionary();
  // The group scan: every group in key order, with its progress lines on `console`.
  Status scanGroups(std::FILE* console);
  // Finishes the article data, appends the group table and the sections and rewrites the
  // header with its offsets. The driver then closes and moves the files.
  Status assembleCompiledDictionary();

 private:
  int32_t codePage_;
  int32_t allWords_;
  const WordForms& wordForms_;
  CompileFiles& files_;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_COMPILER_H_
