#include "compiler/compiler.h"

namespace zorvak {

DictionaryCompiler::DictionaryCompiler(int32_t codePage, int32_t allWords,
                                       const WordForms& wordForms, CompileFiles& files)
    : codePage_(codePage), allWords_(allWords), wordForms_(wordForms), files_(files) {}

DictionaryCompiler::~DictionaryCompiler() = default;

Status DictionaryCompiler::consumeSourceChunk(uint8_t*, size_t, size_t* carry) {
  *carry = 0;
  return Status::Ok();
}

uint32_t DictionaryCompiler::mainEntries() const {
  return 0;
}
uint32_t DictionaryCompiler::alternativeEntries() const {
  return 0;
}

Status DictionaryCompiler::prepareCompiledDictionary() {
  return Status::Ok();
}
Status DictionaryCompiler::scanGroups(std::FILE*) {
  return Status::Ok();
}
Status DictionaryCompiler::assembleCompiledDictionary() {
  return Status::Ok();
}

}  // namespace zorvak
