#include "decompressor/decompress_run.h"

#include <cstring>

#include "decompressor/line_text.h"
#include "format/coding.h"
#include "platform/messages.h"
#include "text/codepage.h"

namespace zorvak {
namespace {

constexpr size_t kOutputCapacity = size_t{1} << 20;
// The text goes to the disk as it is written, so that keeping it at the end waits for little.
constexpr uint64_t kWritebackBytes = uint64_t{8} << 20;

}  // namespace

DecompressRun::DecompressRun(DictionaryReader& reader, File& output, DecompressProgress& progress,
                             size_t workers)
    : walk_(reader),
      output_(output, kOutputCapacity, messages::kWriteOutput),
      article_(output_, reader.codePage()),
      progress_(progress),
      codePage_(reader.codePage()) {
  encoderReset(encoder_);
  output_.startWritebackEvery(kWritebackBytes);
  walk_.prefetch(workers);
}

DecompressRun::~DecompressRun() {
  encoderRelease(encoder_);
}

Status DecompressRun::salvage(const Status& status) {
  if (status.kind() != StatusKind::kDamagedFile) return status;
  if (firstDamage_.ok()) firstDamage_ = status;
  return Status::Ok();
}

Status DecompressRun::decompressDictionary() {
  for (uint64_t group = 0; group < walk_.groupCount(); ++group) {
    GroupRecord record;
    ZORVAK_RETURN_IF_ERROR(salvage(walk_.walkGroup(group, &record, *this)));
    progress_.groupWritten(record.key, mainEntries_, alternativeEntries_);
  }
  ZORVAK_RETURN_IF_ERROR(salvage(walk_.finish()));
  progress_.decompressFinished();
  ZORVAK_RETURN_IF_ERROR(output_.flush());
  return firstDamage_;
}

Status DecompressRun::visitEntry(const EntryHeader& entry, const uint16_t* headword) {
  ++mainEntries_;
  writeHeadword(headword, entry.headwordLength);
  writeUnits("  ", 2);
  article_.begin();
  const Status fetched = walk_.fetchArticle(entry, article_);
  article_.finish();
  if (article_.alternative()) {
    --mainEntries_;
    ++alternativeEntries_;
  }
  ZORVAK_RETURN_IF_ERROR(salvage(fetched));
  writeUnits("\r\n", 2);
  return output_.status();
}

void DecompressRun::writeHeadword(const uint16_t* headword, uint32_t length) {
  if (codePage_ == kCodePageUtf16) {
    uint8_t* out = output_.space(2 * size_t{length});
    for (uint32_t i = 0; i < length; ++i)
      encodeFixed16(out + 2 * i, headword[i]);
    output_.commit(2 * size_t{length});
    return;
  }
  // Encoded straight into the output's buffer: at most three bytes a unit and the encoder's
  // closing zero, which is not taken.
  uint8_t* out = output_.space(3 * size_t{length} + 1);
  const int32_t encoded = encodeUnits(encoder_, codePage_, headword, length, out);
  if (encoded <= 0) return;
  size_t count = static_cast<size_t>(encoded);
  if (codePage_ == kCodePageUtf8) count = joinSurrogatePairs(out, count, out);
  output_.commit(count);
}

void DecompressRun::writeUnits(const char* ascii, size_t length) {
  if (codePage_ != kCodePageUtf16) {
    (void)output_.append(ascii, length);
    return;
  }
  uint8_t* out = output_.space(2 * length);
  for (size_t i = 0; i < length; ++i) {
    out[2 * i] = static_cast<uint8_t>(ascii[i]);
    out[2 * i + 1] = 0;
  }
  output_.commit(2 * length);
}

}  // namespace zorvak
