#include "driver/run.h"

#include <algorithm>
#include <cstdint>
#include <new>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "compiler/chunk_reader.h"
#include "compiler/compile_files.h"
#include "compiler/compiler.h"
#include "compiler/read_ahead.h"
#include "compiler/word_forms.h"
#include "decompressor/decompressor.h"
#include "driver/help.h"
#include "driver/progress_lines.h"
#include "platform/file.h"
#include "platform/messages.h"
#include "platform/worker_pool.h"
#include "reader/dictionary_reader.h"
#include "text/codepage.h"

namespace zorvak {
namespace {

constexpr int32_t kDecompressCodePage = 0;

// The temporary files of a compile run, in the order in which they are created.
struct TemporaryFile {
  const char* extension;
  const char* createMessage;
  File CompileFiles::*file;
};
constexpr TemporaryFile kTemporaries[] = {
    {".tmp", messages::kCreateSpool, &CompileFiles::spool},
    {".sec", messages::kCreateSections, &CompileFiles::sections},
    {".dat", messages::kCreateGroupTable, &CompileFiles::groupTable},
    {".add", messages::kCreateAlternatives, &CompileFiles::alternatives},
};

int fail(std::FILE* console, const Status& status) {
  std::fputs(status.message(), console);
  std::fflush(console);
  return kExitFailure;
}

// Opens the input and creates the temporaries and the output beside it. The input is held for
// the whole run, and that hold stands for the run: a second run of the same input fails at it.
// The files created have no name, so no existing file is touched and however the run ends,
// nothing of them is left; the output gets its name once complete.
Status openCompileFiles(const RunSettings& settings, CompileFiles& files) {
  files.input = File::openForReading(settings.inputName);
  if (!files.input.isOpen()) return Status::InputOutput(messages::kOpenInput);
  for (const TemporaryFile& temporary : kTemporaries) {
    File& file = files.*temporary.file;
    file = File::createUnnamed(derivedName(settings.inputName, temporary.extension));
    if (!file.isOpen()) return Status::InputOutput(temporary.createMessage);
  }
  files.output = File::createUnnamed(derivedName(settings.inputName, ".zorvak"));
  if (!files.output.isOpen()) return Status::InputOutput(messages::kCreateOutput);
  return Status::Ok();
}

Status runWordFormsPhase(const RunSettings& settings, WordForms& wordForms, std::FILE* console) {
  if (settings.wordFormsName.empty()) return Status::Ok();
  File file = File::openForReading(settings.wordFormsName);
  if (!file.isOpen()) return Status::InputOutput(messages::kOpenWordForms);
  ReadPhase phase;
  phase.codePage = settings.codePage;
  phase.utf8Message = messages::kWordFormsUtf8;
  phase.readMessage = messages::kReadWordForms;
  phase.consume = [&](uint8_t* chunk, size_t size, size_t* carry) {
    return wordForms.consumeChunk(chunk, size, carry);
  };
  ReadProgressLines progress(console, "form", [&] {
    return std::pair{wordForms.offered(), wordForms.stored()};
  });
  uint64_t total = 0;
  return readChunks(file, phase, progress, &total);
}

// Threads besides the run's own that compress: none for one thread, where the run's own does
// all the work, else one per thread asked for.
size_t compressionWorkers(const RunSettings& settings) {
  const size_t threads = settings.threads != 0 ? settings.threads : WorkerPool::hardwareThreads();
  return threads == 1 ? 0 : std::min(threads, kMaxThreads);
}

// Threads besides the run's own, which writes the text, that inflate ahead of it.
size_t inflationWorkers(const RunSettings& settings) {
  const size_t threads = settings.threads != 0 ? settings.threads : WorkerPool::hardwareThreads();
  return std::min(threads, kMaxThreads) - 1;
}

Status runCompilePhases(const RunSettings& settings, WordForms& wordForms, CompileFiles& files,
                        std::FILE* console) {
  const size_t workers = compressionWorkers(settings);
  DictionaryCompiler compiler(settings.codePage, settings.allWords, wordForms, files, workers,
                              settings.smallest ? Compression::kSmallest : Compression::kDefault);
  ReadPhase phase;
  phase.codePage = settings.codePage;
  phase.consume = [&](uint8_t* chunk, size_t size, size_t* carry) {
    return compiler.consumeSourceChunk(chunk, size, carry);
  };
  ReadProgressLines reading(console, "read", [&] {
    return std::pair{compiler.mainEntries(), compiler.alternativeEntries()};
  });
  uint64_t total = 0;
  if (workers == 0) {
    ZORVAK_RETURN_IF_ERROR(readChunks(files.input, phase, reading, &total));
  } else {
    // With threads to spare the source is read and decoded beside its parsing.
    ZORVAK_RETURN_IF_ERROR(readDecodedAhead(
        files.input, phase,
        [&](const uint16_t* units, size_t count) {
          return compiler.parseSourceUnits(units, count);
        },
        reading, &total));
  }
  ZORVAK_RETURN_IF_ERROR(compiler.prepareCompiledDictionary());
  // Every alternative headword is made: the group scan has no use for the word forms, whose
  // table can be the largest thing held.
  wordForms.reset();
  ScanProgressLines scanning(console);
  ZORVAK_RETURN_IF_ERROR(compiler.scanGroups(scanning));
  return compiler.assembleCompiledDictionary();
}

}  // namespace

int runCompile(const RunSettings& settings, std::FILE* console) {
  if (!isSupportedCodePage(settings.codePage)) {
    return fail(console, Status::Usage(messages::kCodePage));
  }
  WordForms wordForms(settings.codePage);
  wordForms.reset();
  Status status = runWordFormsPhase(settings, wordForms, console);
  if (!status.ok()) return fail(console, status);

  CompileFiles files;
  status = openCompileFiles(settings, files);
  if (status.ok()) status = runCompilePhases(settings, wordForms, files, console);
  if (status.ok() && !files.output.nameAs(derivedName(settings.inputName, ".zorvak"))) {
    status = Status::InputOutput(messages::kWriteOutput);
  }
  if (!status.ok()) return fail(console, status);
  return kExitSuccess;
}

int runDecompress(const RunSettings& settings, std::FILE* console) {
  std::fputs("decompress\r\n", console);
#if defined(__GLIBC__)
  // The blocks the workers inflate are let go by the thread that writes the text: with a memory
  // arena per thread, each would hold its own free memory and the run would need twice as much.
  mallopt(M_ARENA_MAX, 1);
#endif
  File input = File::openForReading(settings.inputName);
  if (!input.isOpen()) return fail(console, Status::InputOutput(messages::kOpenInput));
  // The text has no name until the run keeps it; an existing text stays as it was until then.
  const std::string finalName = derivedName(settings.inputName, ".txt");
  File output = File::createUnnamed(finalName);
  if (!output.isOpen()) return fail(console, Status::InputOutput(messages::kCreateOutput));

  std::unique_ptr<DictionaryReader> reader;
  Status status = DictionaryReader::open(input, &reader);
  // A file rejected as a whole leaves an existing text as it was.
  if (!status.ok()) return fail(console, status);
  // A group whose article blocks do not fit the block cache keeps their heads beside the text.
  reader->spillBeside(finalName);
  DecompressProgressLines progress(console);
  status = decompressDictionary(*reader, output, progress, inflationWorkers(settings));
  reader.reset();
  input.close();
  if (!decompressedTextIsKept(status)) return fail(console, status);
  if (!output.nameAs(finalName)) {
    return fail(console, status.ok() ? Status::InputOutput(messages::kWriteOutput) : status);
  }
  return status.ok() ? kExitSuccess : fail(console, status);
}

int runProgram(const std::vector<std::string>& arguments, std::FILE* console) {
  Command command = parseCommandLine(arguments);
  switch (command.kind) {
    case CommandKind::kUsage:
      std::fputs(messages::kUsage, console);
      std::fflush(console);
      return kExitUsage;
    case CommandKind::kHelp:
      printHelp(console);
      return kExitSuccess;
    case CommandKind::kVersion:
      printVersion(console);
      return kExitSuccess;
    case CommandKind::kBadOption:
      return fail(console, Status::Usage(messages::kOption));
    case CommandKind::kRun:
      break;
  }
  try {
    if (command.settings.codePage == kDecompressCodePage) {
      return runDecompress(command.settings, console);
    }
    return runCompile(command.settings, console);
  } catch (const std::bad_alloc&) {
    // Every allocation of a run that fails ends here, whichever phase made it; the run's files,
    // which have no names yet, went away as the failure unwound the run.
    return fail(console, Status::OutOfMemory(messages::kOutOfMemory));
  }
}

}  // namespace zorvak
