#include "decompressor/decompress_run.h"

#include <cstring>

#include "decompressor/line_text.h"
#include "decompressor/zlib_source.h"
#include "driver/platform/progress.h"
#include "format/coding.h"
#include "text/codepage.h"

namespace zorvak {

DecompressRun::DecompressRun(File& input, uint64_t inputSize, File& output, std::FILE* console)
    : input_(input, inputSize),
      output_(output),
      console_(console),
      sectionOutput_(ZlibSource::kOutputSize) {
  encoderReset(encoder_);
}

DecompressRun::~DecompressRun() {
  encoderRelease(encoder_);
}

Status DecompressRun::readHeader(bool* valid) {
  uint8_t bytes[kHeaderSize];
  size_t got = 0;
  ZORVAK_RETURN_IF_ERROR(input_.readAt(0, bytes, kHeaderSize, &got));
  *valid = got == kHeaderSize && decodeHeader(bytes, &header_) && headerIsValid(header_);
  codePage_ = static_cast<int32_t>(header_.codePage);
  return Status::Ok();
}

DecompressResult DecompressRun::decompressDictionary() {
  bool valid = false;
  Status status = readHeader(&valid);
  if (!status.ok()) return DecompressResult{status, false};
  if (!valid) return DecompressResult{Status::Error("error file!"), false};
  articles_.emplace(input_, header_.articleDataOffset, codePage_);
  ProgressFlusher progress(console_);

  for (uint64_t group = 0; group < header_.groupCount; ++group) {
    // The records are read one by one from the file, never counted on beforehand: a group
    // count larger than the table ends at the first record that is not there.
    uint8_t record[kGroupRecordSize];
    size_t got = 0;
    const uint64_t at = header_.groupTableOffset + group * kGroupRecordSize;
    if (at >= header_.groupTableOffset) {
      status = input_.readAt(at, record, kGroupRecordSize, &got);
      if (!status.ok()) return DecompressResult{status, false};
    }
    if (got < kGroupRecordSize) {
      status = output_.flush();
      if (!status.ok()) return DecompressResult{status, false};
      return DecompressResult{Status::Error("error file!"), group > 0};
    }
    const GroupRecord groupRecord = decodeGroupRecord(record);
    status = inflateGroupSection(header_.sectionDataOffset + groupRecord.sectionOffset);
    if (!status.ok()) return DecompressResult{status, false};
    std::fprintf(console_, "read %08x %08u-%08u\r", groupRecord.key, mainEntries_,
                 alternativeEntries_);
    progress.lineWritten();
  }
  std::fflush(console_);
  status = output_.flush();
  if (!status.ok()) return DecompressResult{status, false};
  if (damaged_) return DecompressResult{Status::Error("error file!"), true};
  // Headwords that could not be encoded (no memory for the code page table) are missing.
  if (encoder_.failed) return DecompressResult{Status::Error("error out of memory!"), true};
  return DecompressResult{Status::Ok(), true};
}

Status DecompressRun::inflateGroupSection(uint64_t offset) {
  entryParser_.reset();
  ZlibSource source(input_, offset);
  for (;;) {
    size_t produced = 0;
    ZlibSource::Outcome outcome;
    ZORVAK_RETURN_IF_ERROR(source.inflateStep(sectionOutput_.data(), &produced, &outcome));
    if (outcome == ZlibSource::Outcome::kBroken) {
      damaged_ = true;
      return Status::Ok();
    }
    ZORVAK_RETURN_IF_ERROR(parseSectionBytes(sectionOutput_.data(), produced));
    if (outcome == ZlibSource::Outcome::kEnd) break;
  }
  if (!entryParser_.idle()) damaged_ = true;
  return Status::Ok();
}

Status DecompressRun::parseSectionBytes(const uint8_t* bytes, size_t count) {
  while (count > 0) {
    bool complete = false;
    const size_t taken = entryParser_.take(bytes, count, &complete);
    bytes += taken;
    count -= taken;
    if (complete) {
      ++mainEntries_;
      ZORVAK_RETURN_IF_ERROR(writeEntry());
    }
  }
  return Status::Ok();
}

Status DecompressRun::writeEntry() {
  writeHeadword();
  writeUnits("  ");
  const EntryHeader& entry = entryParser_.entry();
  if (entry.articleLength != 0) {
    ArticleText text;
    ZORVAK_RETURN_IF_ERROR(
        articles_->fetch(entry.articleBlock, entry.articleStart, entry.articleLength, &text));
    if (text.found) {
      writeArticleBytes(text.data, text.size);
    } else {
      damaged_ = true;
    }
  }
  writeUnits("\r\n");
  return output_.status();
}

void DecompressRun::writeHeadword() {
  const uint16_t* headword = entryParser_.headword();
  const uint32_t length = entryParser_.entry().headwordLength;
  if (codePage_ == kCodePageUtf16) {
    uint8_t* out = output_.space(2 * size_t{length});
    for (uint32_t i = 0; i < length; ++i)
      encodeFixed16(out + 2 * i, headword[i]);
    output_.commit(2 * size_t{length});
    return;
  }
  const int32_t encoded = encodeUnits(encoder_, codePage_, headword, length, encoded_);
  if (encoded <= 0) return;
  size_t count = static_cast<size_t>(encoded);
  if (codePage_ == kCodePageUtf8) count = joinSurrogatePairs(encoded_, count, encoded_);
  output_.append(encoded_, count);
}

void DecompressRun::writeUnits(const char* ascii) {
  const size_t length = std::strlen(ascii);
  if (codePage_ != kCodePageUtf16) {
    output_.append(ascii, length);
    return;
  }
  uint8_t* out = output_.space(2 * length);
  for (size_t i = 0; i < length; ++i) {
    out[2 * i] = static_cast<uint8_t>(ascii[i]);
    out[2 * i + 1] = 0;
  }
  output_.commit(2 * length);
}

void DecompressRun::writeArticleBytes(const uint8_t* bytes, size_t count) {
  if (count == 0) return;
  const bool alternative = codePage_ == kCodePageUtf16
                               ? count >= 2 && bytes[0] == kReferenceMark && bytes[1] == 0
                               : bytes[0] == kReferenceMark;
  if (alternative) {
    --mainEntries_;
    ++alternativeEntries_;
  }
  uint8_t* out = output_.space(count);
  std::memcpy(out, bytes, count);
  if (codePage_ == kCodePageUtf16) {
    replaceLineBreakUnits(out, count);
  } else {
    if (codePage_ == kCodePageUtf8) count = joinSurrogatePairs(out, count, out);
    replaceLineBreaks(out, count);
  }
  output_.commit(count);
}

}  // namespace zorvak
