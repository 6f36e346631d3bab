#include "driver/run.h"

#include <cstdint>
#include <new>

#include "compiler/chunk_reader.h"
#include "compiler/compile_files.h"
#include "compiler/compiler.h"
#include "compiler/word_forms.h"
#include "decompressor/decompressor.h"
#include "driver/help.h"
#include "driver/interrupt.h"
#include "driver/progress_lines.h"
#include "platform/file.h"
#include "platform/messages.h"
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

// Every file a compile run has created, so that a failed run can take them away again.
class CompileCleanup {
 public:
  explicit CompileCleanup(CompileFiles& files) : files_(files) {}
  ~CompileCleanup() {
    if (committed_) return;
    files_.input.close();
    for (const TemporaryFile& temporary : kTemporaries)
      (files_.*temporary.file).close();
    files_.output.close();
    for (const std::string& name : created_)
      removeFile(name);
  }
  void created(const std::string& name) {
    created_.push_back(name);
    interrupted_.add(name);
  }
  void commit() {
    committed_ = true;
    interrupted_.clear();
  }

 private:
  CompileFiles& files_;
  InterruptGuard interrupted_;
  std::vector<std::string> created_;
  bool committed_ = false;
};

// The text of a decompress run, written under a unique name beside its final one and moved into
// place only when the run keeps it; taken away otherwise, also when the run is interrupted or
// unwound by a failed allocation.
class TemporaryOutput {
  // Declared first: the file's initialiser fills in the name.
  std::string name_;
  InterruptGuard interrupted_;
  bool committed_ = false;

 public:
  explicit TemporaryOutput(const std::string& prefix) : file(File::createUnique(prefix, &name_)) {
    if (file.isOpen()) interrupted_.add(name_);
  }
  ~TemporaryOutput() {
    if (committed_ || name_.empty()) return;
    file.close();
    removeFile(name_);
  }
  // Writes the file to the disk and gives it `finalName`; false when that fails.
  bool commit(const std::string& finalName) {
    committed_ = file.sync() && file.close() && replaceFile(name_, finalName);
    return committed_;
  }

  File file;
};

int fail(std::FILE* console, const Status& status) {
  std::fputs(status.message(), console);
  std::fflush(console);
  return kExitFailure;
}

Status openCompileFiles(const RunSettings& settings, CompileFiles& files, CompileCleanup& cleanup,
                        std::string* outputTemporary) {
  files.input = File::openForReading(settings.inputName);
  if (!files.input.isOpen()) return Status::InputOutput(messages::kOpenInput);
  for (const TemporaryFile& temporary : kTemporaries) {
    std::string name = derivedName(settings.inputName, temporary.extension);
    File& file = files.*temporary.file;
    file = File::openOrCreate(name);
    if (!file.isOpen()) return Status::InputOutput(temporary.createMessage);
    cleanup.created(name);
    if (!file.truncate()) return Status::InputOutput(temporary.createMessage);
  }
  files.output = File::createUnique(derivedName(settings.inputName, ".zorvak."), outputTemporary);
  if (!files.output.isOpen()) return Status::InputOutput(messages::kCreateOutput);
  cleanup.created(*outputTemporary);
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

Status runCompilePhases(const RunSettings& settings, const WordForms& wordForms,
                        CompileFiles& files, std::FILE* console) {
  DictionaryCompiler compiler(settings.codePage, settings.allWords, wordForms, files);
  ReadPhase phase;
  phase.codePage = settings.codePage;
  phase.consume = [&](uint8_t* chunk, size_t size, size_t* carry) {
    return compiler.consumeSourceChunk(chunk, size, carry);
  };
  ReadProgressLines reading(console, "read", [&] {
    return std::pair{compiler.mainEntries(), compiler.alternativeEntries()};
  });
  uint64_t total = 0;
  ZORVAK_RETURN_IF_ERROR(readChunks(files.input, phase, reading, &total));
  ZORVAK_RETURN_IF_ERROR(compiler.prepareCompiledDictionary());
  ScanProgressLines scanning(console);
  ZORVAK_RETURN_IF_ERROR(compiler.scanGroups(scanning));
  return compiler.assembleCompiledDictionary();
}

// Closes the files of a finished compile, moves the compiled dictionary into place and deletes
// the temporary files.
Status finishCompile(const RunSettings& settings, CompileFiles& files,
                     const std::string& outputTemporary) {
  if (!files.output.sync()) return Status::InputOutput(messages::kWriteOutput);
  files.input.close();
  files.spool.close();
  if (!files.output.close()) return Status::InputOutput(messages::kWriteOutput);
  files.sections.close();
  files.alternatives.close();
  files.groupTable.close();
  if (!replaceFile(outputTemporary, derivedName(settings.inputName, ".zorvak"))) {
    return Status::InputOutput(messages::kWriteOutput);
  }
  for (const char* extension : {".tmp", ".sec", ".add", ".dat"}) {
    removeFile(derivedName(settings.inputName, extension));
  }
  return Status::Ok();
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
  CompileCleanup cleanup(files);
  std::string outputTemporary;
  status = openCompileFiles(settings, files, cleanup, &outputTemporary);
  if (status.ok()) status = runCompilePhases(settings, wordForms, files, console);
  if (status.ok()) status = finishCompile(settings, files, outputTemporary);
  if (!status.ok()) return fail(console, status);
  cleanup.commit();
  return kExitSuccess;
}

int runDecompress(const RunSettings& settings, std::FILE* console) {
  std::fputs("decompress\r\n", console);
  File input = File::openForReading(settings.inputName);
  if (!input.isOpen()) return fail(console, Status::InputOutput(messages::kOpenInput));
  std::string finalName = derivedName(settings.inputName, ".txt");
  TemporaryOutput output(finalName + ".");
  if (!output.file.isOpen()) return fail(console, Status::InputOutput(messages::kCreateOutput));

  std::unique_ptr<DictionaryReader> reader;
  Status status = DictionaryReader::open(input, &reader);
  // A file rejected as a whole leaves an existing text as it was.
  if (!status.ok()) return fail(console, status);
  DecompressProgressLines progress(console);
  status = decompressDictionary(*reader, output.file, progress);
  reader.reset();
  input.close();
  if (!decompressedTextIsKept(status)) return fail(console, status);
  if (!output.commit(finalName)) {
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
    case CommandKind::kRun:
      break;
  }
  try {
    if (command.settings.codePage == kDecompressCodePage) {
      return runDecompress(command.settings, console);
    }
    return runCompile(command.settings, console);
  } catch (const std::bad_alloc&) {
    // Every allocation of a run that fails ends here, whichever phase made it; the run's files
    // were taken away while the failure unwound the run.
    return fail(console, Status::OutOfMemory(messages::kOutOfMemory));
  }
}

}  // namespace zorvak
