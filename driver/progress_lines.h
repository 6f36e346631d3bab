#ifndef ZORVAK_DRIVER_PROGRESS_LINES_H_
#define ZORVAK_DRIVER_PROGRESS_LINES_H_

#include <cstdint>
#include <cstdio>
#include <functional>
#include <utility>

#include "compiler/chunk_reader.h"
#include "compiler/scan_progress.h"
#include "decompressor/decompress_progress.h"
#include "platform/console.h"

namespace zorvak {

// The progress lines of a run, printed on the console from the counters that the phases report.
// Each line ends in a carriage return, so that a console shows one updating line per phase;
// a phase that closes with a line of its own ends that one in "\r\n".

// A reading phase: "form" for the word forms file, "read" for the source dictionary, with the
// two counters of what the phase has stored and the bytes read.
class ReadProgressLines : public ReadProgress {
 public:
  using Counters = std::function<std::pair<uint32_t, uint32_t>()>;

  ReadProgressLines(std::FILE* console, const char* word, Counters counters);
  void chunkRead(uint64_t total) override;
  void readFinished(uint64_t total) override;

 private:
  void print(uint64_t total, const char* end);

  std::FILE* console_;
  const char* word_;
  Counters counters_;
  ProgressFlusher flusher_;
};

// The group scan: a line before each group, and the closing line with the streams written.
class ScanProgressLines : public ScanProgress {
 public:
  explicit ScanProgressLines(std::FILE* console) : console_(console), flusher_(console) {}
  void scanningGroup(uint32_t key, uint32_t sourceEntries, uint32_t alternatives) override;
  void scanFinished(uint32_t sourceEntries, uint32_t alternatives,
                    uint32_t finishedStreams) override;

 private:
  std::FILE* console_;
  ProgressFlusher flusher_;
};

// Decompress mode: a line after each group, no closing line.
class DecompressProgressLines : public DecompressProgress {
 public:
  explicit DecompressProgressLines(std::FILE* console) : console_(console), flusher_(console) {}
  void groupWritten(uint32_t key, uint32_t mainEntries, uint32_t alternativeEntries) override;
  void decompressFinished() override;

 private:
  std::FILE* console_;
  ProgressFlusher flusher_;
};

}  // namespace zorvak

#endif  // ZORVAK_DRIVER_PROGRESS_LINES_H_
