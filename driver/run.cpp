#include "driver/run.h"

#include <cstdint>
#include <new>
#include <optional>

#include "compiler/compile_files.h"
#include "compiler/compiler.h"
#include "compiler/word_forms.h"
#include "decompressor/decompressor.h"
#include "driver/chunk_reader.h"
#include "driver/help.h"
#include "driver/interrupt.h"
#include "driver/platform/file.h"
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
    {".tmp", "error create tmp file!", &CompileFiles::spool},
    {".sec", "error create sec file!", &CompileFiles::sections},
    {".dat", "error create dat file!", &CompileFiles::groupTable},
    {".add", "error create add file!", &CompileFiles::alternatives},
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

int fail(std::FILE* console, const Status& status) {
  std::fputs(status.message(), console);
  std::fflush(console);
  return kExitFailure;
}

Status openCompileFiles(const RunSettings& settings, CompileFiles& files, CompileCleanup& cleanup,
                        std::string* outputTemporary) {
  files.input = File::openForReading(settings.inputName);
  if (!files.input.isOpen()) return Status::Error("error open input file!");
  for (const TemporaryFile& temporary : kTemporaries) {
    std::string name = derivedName(settings.inputName, temporary.extension);
    File& file = files.*temporary.file;
    file = File::openOrCreate(name);
    if (!file.isOpen()) return Status::Error(temporary.createMessage);
    cleanup.created(name);
    if (!file.truncate()) return Status::Error(temporary.createMessage);
  }
  files.output = File::createUnique(derivedName(settings.inputName, ".zorvak."), outputTemporary);
  if (!files.output.isOpen()) return Status::Error("error create out file!");
  cleanup.created(*outputTemporary);
  return Status::Ok();
}

Status runWordFormsPhase(const RunSettings& settings, WordForms& wordForms, std::FILE* console) {
  if (settings.wordFormsName.empty()) return Status::Ok();
  File file = File::openForReading(settings.wordFormsName);
  if (!file.isOpen()) return Status::Error("error open wordforms file!");
  ReadPhase phase;
  phase.codePage = settings.codePage;
  phase.progressWord = "form";
  phase.utf8Message = "error wordforms utf8!";
  phase.readMessage = "error read wordforms file!";
  phase.consume = [&](uint8_t* chunk, size_t size, size_t* carry) {
    return wordForms.consumeChunk(chunk, size, carry);
  };
  phase.counters = [&] { return std::pair{wordForms.offered(), wordForms.stored()}; };
  uint64_t total = 0;
  return readChunks(file, phase, console, &total);
}

Status runCompilePhases(const RunSettings& settings, const WordForms& wordForms,
                        CompileFiles& files, std::FILE* console) {
  DictionaryCompiler compiler(settings.codePage, settings.allWords, wordForms, files);
  ReadPhase phase;
  phase.codePage = settings.codePage;
  phase.consume = [&](uint8_t* chunk, size_t size, size_t* carry) {
    return compiler.consumeSourceChunk(chunk, size, carry);
  };
  phase.counters = [&] { return std::pair{compiler.mainEntries(), compiler.alternativeEntries()}; };
  uint64_t total = 0;
  ZORVAK_RETURN_IF_ERROR(readChunks(files.input, phase, console, &total));
  ZORVAK_RETURN_IF_ERROR(compiler.prepareCompiledDictionary());
  ZORVAK_RETURN_IF_ERROR(compiler.scanGroups(console));
  return compiler.assembleCompiledDictionary();
}

// Closes the files of a finished compile, moves the compiled dictionary into place and deletes
// the temporary files.
Status finishCompile(const RunSettings& settings, CompileFiles& files,
                     const std::string& outputTemporary) {
  if (!files.output.sync()) return Status::Error("error write out file!");
  files.input.close();
  files.spool.close();
  if (!files.output.close()) return Status::Error("error write out file!");
  files.sections.close();
  files.alternatives.close();
  files.groupTable.close();
  if (!replaceFile(outputTemporary, derivedName(settings.inputName, ".zorvak"))) {
    return Status::Error("error write out file!");
  }
  for (const char* extension : {".tmp", ".sec", ".add", ".dat"}) {
    removeFile(derivedName(settings.inputName, extension));
  }
  return Status::Ok();
}

}  // namespace

int runCompile(const RunSettings& settings, std::FILE* console) {
  if (!isSupportedCodePage(settings.codePage)) {
    return fail(console, Status::Error("error code page!"));
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
  if (!input.isOpen()) return fail(console, Status::Error("error open input file!"));
  std::string finalName = derivedName(settings.inputName, ".txt");
  std::string temporaryName;
  File output = File::createUnique(finalName + ".", &temporaryName);
  if (!output.isOpen()) return fail(console, Status::Error("error create out file!"));
  InterruptGuard interrupted;
  interrupted.add(temporaryName);

  DecompressResult result = decompressDictionary(input, output, console);
  input.close();
  bool written = output.sync() && output.close();
  if (result.keepOutput && written && replaceFile(temporaryName, finalName)) {
    return result.status.ok() ? kExitSuccess : fail(console, result.status);
  }
  output.close();
  removeFile(temporaryName);
  if (!result.status.ok()) return fail(console, result.status);
  return fail(console, Status::Error("error write out file!"));
}

int runProgram(const std::vector<std::string>& arguments, std::FILE* console) {
  Command command = parseCommandLine(arguments);
  switch (command.kind) {
    case CommandKind::kUsage:
      std::fputs("input_file code_page", console);
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
    // The run's files were taken away while the failure unwound the run.
    return fail(console, Status::Error("error out of memory!"));
  }
}

}  // namespace zorvak
