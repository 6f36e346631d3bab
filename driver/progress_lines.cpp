#include "driver/progress_lines.h"

#include <cinttypes>

namespace zorvak {

ReadProgressLines::ReadProgressLines(std::FILE* console, const char* word, Counters counters)
    : console_(console), word_(word), counters_(std::move(counters)), flusher_(console) {}

void ReadProgressLines::print(uint64_t total, const char* end) {
  auto [first, second] = counters_ ? counters_() : std::pair<uint32_t, uint32_t>{0, 0};
  std::fprintf(console_, "%s %08" PRIu32 "-%08" PRIu32 " %16" PRIu64 "%s", word_, first, second,
               total, end);
}

void ReadProgressLines::chunkRead(uint64_t total) {
  print(total, "\r");
  flusher_.lineWritten();
}

void ReadProgressLines::readFinished(uint64_t total) {
  print(total, "\r\n");
  std::fflush(console_);
}

void ScanProgressLines::scanningGroup(uint32_t key, uint32_t sourceEntries, uint32_t alternatives) {
  std::fprintf(console_, "scan %08" PRIu32 "-%08" PRIu32 " %16" PRIx32 "\r", sourceEntries,
               alternatives, key);
  flusher_.lineWritten();
}

void ScanProgressLines::scanFinished(uint32_t sourceEntries, uint32_t alternatives,
                                     uint32_t finishedStreams) {
  std::fprintf(console_, "scan %08" PRIu32 "-%08" PRIu32 " %8" PRIu32 " bloks...\r\n",
               sourceEntries, alternatives, finishedStreams);
  std::fflush(console_);
}

void DecompressProgressLines::groupWritten(uint32_t key, uint32_t mainEntries,
                                           uint32_t alternativeEntries) {
  std::fprintf(console_, "read %08" PRIx32 " %08" PRIu32 "-%08" PRIu32 "\r", key, mainEntries,
               alternativeEntries);
  flusher_.lineWritten();
}

void DecompressProgressLines::decompressFinished() {
  std::fflush(console_);
}

}  // namespace zorvak
