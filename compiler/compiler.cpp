#include "compiler/compiler.h"

#include <algorithm>
#include <cstring>

#include "format/coding.h"
#include "platform/messages.h"
#include "text/codepage.h"

namespace zorvak {
namespace {

constexpr size_t kWriterCapacity = 1 << 20;

}  // namespace

int32_t storedCodePage(int32_t sourceCodePage) {
  return isDoubleByteCodePage(sourceCodePage) ? kCodePageUtf8 : sourceCodePage;
}

DictionaryCompiler::DictionaryCompiler(int32_t codePage, int32_t allWords,
                                       const WordForms& wordForms, CompileFiles& files,
                                       size_t workers, Compression compression,
                                       ScanLimits scanLimits)
    : codePage_(codePage),
      workers_(workers),
      files_(files),
      substitutions_(SubstitutionTable::standard()),
      folder_(substitutions_),
      spool_(files.spool),
      parser_(spool_, *this),
      alternatives_(files.alternatives, folder_, groups_),
      producer_(allWords, wordForms),
      decoder_(codePage),
      outputWriter_(files.output, kWriterCapacity, messages::kWriteOutput),
      sectionWriter_(files.sections, kWriterCapacity, messages::kWriteSections),
      groupTableWriter_(files.groupTable, kWriterCapacity, messages::kWriteGroupTable),
      compressed_(workers, compression, outputWriter_, sectionWriter_, groupTableWriter_),
      articles_(compressed_, storedCodePage(codePage), encoder_, finishedStreams_),
      sections_(compressed_, finishedStreams_),
      scanner_(files.spool, files.alternatives, groups_, folder_, articles_, sections_, scanLimits,
               workers > 0) {
  encoderReset(encoder_);
}

DictionaryCompiler::~DictionaryCompiler() {
  encoderRelease(encoder_);
}

Status DictionaryCompiler::consumeSourceChunk(uint8_t* chunk, size_t size, size_t* carry) {
  size_t count = 0;
  const uint16_t* units = decoder_.decode(chunk, size, carry, &count);
  return parser_.parseUnits(units, count);
}

Status DictionaryCompiler::parseSourceUnits(const uint16_t* units, size_t count) {
  return parser_.parseUnits(units, count);
}

Status DictionaryCompiler::entryEnded(const uint16_t* headword, size_t length, uint64_t position) {
  groups_.registerEntry(folder_.headwordKey(headword, folded_), position);
  return producer_.produce(headword, length, alternatives_);
}

Status DictionaryCompiler::prepareCompiledDictionary() {
  // The end mark closes the last entry. An entry whose line feed never came stays in the
  // spool unregistered; the last registered entry ends where it starts.
  const uint64_t endMark = spool_.put(kEntryMark);
  groups_.closeSource(parser_.inEntry() ? parser_.entryPosition() : endMark);
  ZORVAK_RETURN_IF_ERROR(spool_.flush());
  ZORVAK_RETURN_IF_ERROR(alternatives_.close());

  encoderReset(encoder_);
  header_ = Header{};
  ZORVAK_RETURN_IF_ERROR(writeHeader());
  for (const SubstitutionItem& item : substitutions_.items) {
    uint8_t bytes[kSubstitutionItemSize];
    encodeSubstitutionItem(item, bytes);
    if (!files_.output.write(bytes, sizeof(bytes)))
      return Status::InputOutput(messages::kWriteOutput);
  }
  const int64_t position = files_.output.seek(0, SeekFrom::kCurrent);
  if (position < 0) return Status::InputOutput(messages::kWriteOutput);
  header_.articleDataOffset = static_cast<uint64_t>(position);
  groups_.sortGroups();
  sections_.setStreamingBytes(SectionStream::streamingBytesFor(
      uint64_t{groups_.mainEntries()} + groups_.alternativeEntries(), workers_,
      compressed_.compression()));
  return Status::Ok();
}

Status DictionaryCompiler::scanGroups(ScanProgress& progress) {
  ZORVAK_RETURN_IF_ERROR(scanner_.scanGroups(progress));
  progress.scanFinished(scanner_.sourceEntriesFound(), scanner_.alternativesFound(),
                        finishedStreams_);
  return Status::Ok();
}

Status DictionaryCompiler::assembleCompiledDictionary() {
  ZORVAK_RETURN_IF_ERROR(articles_.feedArticleUnit(0, ArticleStream::kFinal, nullptr, nullptr));
  ZORVAK_RETURN_IF_ERROR(compressed_.finish());
  encoderRelease(encoder_);
  ZORVAK_RETURN_IF_ERROR(outputWriter_.flush());
  ZORVAK_RETURN_IF_ERROR(groupTableWriter_.flush());
  ZORVAK_RETURN_IF_ERROR(sectionWriter_.flush());

  int64_t position = files_.output.seek(0, SeekFrom::kEnd);
  if (position < 0) return Status::InputOutput(messages::kWriteOutput);
  header_.groupTableOffset = static_cast<uint64_t>(position);
  ZORVAK_RETURN_IF_ERROR(appendFile(files_.groupTable, messages::kReadGroupTable));
  position = files_.output.seek(0, SeekFrom::kEnd);
  if (position < 0) return Status::InputOutput(messages::kWriteOutput);
  header_.sectionDataOffset = static_cast<uint64_t>(position);
  ZORVAK_RETURN_IF_ERROR(appendFile(files_.sections, messages::kReadSections));

  if (files_.output.seek(0, SeekFrom::kBegin) != 0)
    return Status::InputOutput(messages::kWriteOutput);
  return writeHeader();
}

Status DictionaryCompiler::writeHeader() {
  header_.groupCount = static_cast<uint32_t>(groups_.size());
  header_.codePage = static_cast<uint32_t>(storedCodePage(codePage_));
  header_.textFlag = kTextFlag;
  header_.entryCount = groups_.mainEntries() + groups_.alternativeEntries();
  uint8_t bytes[kHeaderSize];
  encodeHeader(header_, bytes);
  if (!files_.output.write(bytes, sizeof(bytes)))
    return Status::InputOutput(messages::kWriteOutput);
  return Status::Ok();
}

Status DictionaryCompiler::appendFile(File& file, const char* readMessage) {
  // A piece of at most the writers' size; no bigger than the file, which is often small.
  const int64_t fileSize = file.size();
  if (fileSize < 0) return Status::InputOutput(readMessage);
  const size_t piece = static_cast<size_t>(
      std::clamp<uint64_t>(static_cast<uint64_t>(fileSize), 1, kWriterCapacity));
  auto buffer = std::make_unique_for_overwrite<uint8_t[]>(piece);
  for (uint64_t offset = 0;;) {
    const int64_t got = file.readAt(offset, buffer.get(), piece);
    if (got < 0) return Status::InputOutput(readMessage);
    if (got == 0) return Status::Ok();
    if (!files_.output.write(buffer.get(), static_cast<size_t>(got))) {
      return Status::InputOutput(messages::kWriteOutput);
    }
    offset += static_cast<uint64_t>(got);
  }
}

}  // namespace zorvak
