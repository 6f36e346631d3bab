// The program's command line, messages, exit statuses and clean-up, run as a user runs it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/verify.h"

namespace zorvak::testing {
namespace {

using Names = std::vector<std::string>;

// Holds a file the way another run holds it, for as long as the object lives.
class HeldFile {
 public:
  explicit HeldFile(const std::string& name) : fd_(open(name.c_str(), O_RDWR | O_CREAT, 0644)) {
    EXPECT_EQ(flock(fd_, LOCK_EX | LOCK_NB), 0);
  }
  ~HeldFile() { close(fd_); }

 private:
  int fd_;
};

TEST(RunDriver, NoArgumentsPrintsTheUsageLine) {
  ScratchFolder folder;
  RunResult result = folder.run({});
  EXPECT_EQ(result.output, "input_file code_page");
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(folder.list().empty());
}

TEST(RunDriver, HelpListsArgumentsAndCodePages) {
  ScratchFolder folder;
  RunResult result = folder.run({"--help"});
  EXPECT_EQ(result.status, 0);
  for (const char* text : {"input_file", "code_page", "all_words", "word_forms_file", "1251",
                           "28605", "932", "65001", "1200", "UTF-8", "--threads", "--smallest"}) {
    EXPECT_NE(result.output.find(text), std::string::npos) << text;
  }
  RunResult version = folder.run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output.rfind("zorvak ", 0), 0u);
}

TEST(RunDriver, UnsupportedCodePageOpensNothing) {
  ScratchFolder folder;
  folder.write("d.txt", "a  b\n");
  for (const char* codePage : {"1234", "-1", "1201", "54936"}) {
    RunResult result = folder.run({"d.txt", codePage});
    EXPECT_EQ(result.output, "error code page!") << codePage;
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(folder.list(), Names{"d.txt"});
  }
}

TEST(RunDriver, UnknownOptionOrBadThreadCountOpensNothing) {
  ScratchFolder folder;
  folder.write("d.txt", "a  b\n");
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--thread", "2", "d.txt"},
        {"--threads", "0", "d.txt"},
        {"--threads", "d.txt"}}) {
    RunResult result = folder.run(arguments);
    EXPECT_EQ(result.output, "error option!") << arguments[0] << " " << arguments[1];
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(folder.list(), Names{"d.txt"});
  }
}

TEST(RunDriver, MissingInputCreatesNothing) {
  ScratchFolder folder;
  RunResult result = folder.run({"missing.txt", "1252"});
  EXPECT_EQ(result.output, "error open input file!");
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(folder.list().empty());
}

TEST(RunDriver, MissingWordFormsStopsBeforeTheInputIsOpened) {
  ScratchFolder folder;
  folder.write("d.txt", "a  b\n");
  RunResult result = folder.run({"d.txt", "1252", "0", "forms.txt"});
  EXPECT_EQ(result.output, "error open wordforms file!");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(folder.list(), Names{"d.txt"});
}

TEST(RunDriver, CompileLeavesOnlyTheCompiledDictionary) {
  ScratchFolder folder;
  folder.write("dict.txt", "a  b\n");
  RunResult result = folder.run({"dict.txt"});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(result.output.rfind("read 00000001-00000000                7\r", 0), 0u)
      << result.output;
  EXPECT_EQ(folder.list(), (Names{"dict.txt", "dict.txt.zorvak"}));
}

TEST(RunDriver, DecompressOfAMissingFile) {
  ScratchFolder folder;
  RunResult result = folder.run({"dict.txt.zorvak", "0"});
  EXPECT_EQ(result.output, "decompress\r\nerror open input file!");
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(folder.list().empty());
  // A code page that is not a number selects decompress mode too.
  EXPECT_EQ(folder.run({"dict.txt.zorvak", "x"}).output, "decompress\r\nerror open input file!");
}

TEST(RunDriver, InputHeldByAnotherRunIsNotTouched) {
  ScratchFolder folder;
  folder.write("d.txt", "a  b\n");
  HeldFile held(folder.file("d.txt"));
  RunResult result = folder.run({"d.txt", "1252"});
  EXPECT_EQ(result.output, "error open input file!");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(folder.list(), Names{"d.txt"});
}

TEST(RunDriver, FilesNamedLikeTheRunsOwnAreNeverTouched) {
  ScratchFolder folder;
  folder.write("d.txt", "a  b\n");
  folder.write("d.txt.sec", "held by another program");
  folder.write("victim", "keep me");
  folder.write("older", "an older compiled dictionary");
  HeldFile held(folder.file("d.txt.sec"));
  ASSERT_EQ(symlink(folder.file("victim").c_str(), folder.file("d.txt.add").c_str()), 0);
  // A link in place of the output is replaced by the output, never written through.
  ASSERT_EQ(symlink(folder.file("older").c_str(), folder.file("d.txt.zorvak").c_str()), 0);
  RunResult result = folder.run({"d.txt", "1252"});
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(folder.list(),
            (Names{"d.txt", "d.txt.add", "d.txt.sec", "d.txt.zorvak", "older", "victim"}));
  EXPECT_EQ(folder.read("d.txt.sec"), "held by another program");
  EXPECT_EQ(folder.read("victim"), "keep me");
  EXPECT_EQ(folder.read("older"), "an older compiled dictionary");
  struct stat st;
  ASSERT_EQ(lstat(folder.file("d.txt.zorvak").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_TRUE(verifyCompiledFile(folder.file("d.txt.zorvak"), nullptr).empty());
}

TEST(RunDriver, FailedWriteIsReportedAndLeavesTheOldDictionary) {
  ScratchFolder folder;
  std::string source;
  for (int i = 0; source.size() < 400000; ++i) {
    source += "headword" + std::to_string(i) + "  article number " + std::to_string(i) + "\n";
  }
  folder.write("d.txt", source);
  folder.write("d.txt.zorvak", "an older compiled dictionary");
  RunOptions options;
  options.fileSizeLimit = 500000;  // the spool, twice the source, cannot be written
  RunResult result = folder.run({"d.txt", "1252"}, options);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("error write tmp file!"), std::string::npos) << result.output;
  EXPECT_EQ(folder.list(), (Names{"d.txt", "d.txt.zorvak"}));
  EXPECT_EQ(folder.read("d.txt.zorvak"), "an older compiled dictionary");
}

TEST(RunDriver, RejectedInputLeavesAnExistingText) {
  ScratchFolder folder;
  folder.write("d.zorvak", "not a compiled dictionary at all, far too short? no: 48+ bytes.....");
  folder.write("d.zorvak.txt", "earlier text");
  RunResult result = folder.run({"d.zorvak", "0"});
  EXPECT_EQ(result.output, "decompress\r\nerror file!");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(folder.list(), (Names{"d.zorvak", "d.zorvak.txt"}));
  EXPECT_EQ(folder.read("d.zorvak.txt"), "earlier text");
}

// The files of a descriptor table that have no name: their links read "... (deleted)".
int unnamedFiles(pid_t pid, const std::string& folder) {
  int count = 0;
  const std::string table = "/proc/" + std::to_string(pid) + "/fd";
  for (const std::string& entry : listFolder(table)) {
    char target[4096];
    const ssize_t n = readlink((table + "/" + entry).c_str(), target, sizeof(target) - 1);
    if (n <= 0) continue;
    const std::string link(target, static_cast<size_t>(n));
    if (link.starts_with(folder + "/") && link.ends_with(" (deleted)")) ++count;
  }
  return count;
}

TEST(RunDriver, InterruptedCompileLeavesNothing) {
  ScratchFolder folder;
  // A pipe as the source keeps the run waiting in its source phase, with every file created.
  ASSERT_EQ(mkfifo(folder.file("d.txt").c_str(), 0644), 0);
  pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.path().c_str()) != 0) _exit(127);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    execl(ZORVAK_BINARY, ZORVAK_BINARY, "d.txt", "1252", static_cast<char*>(nullptr));
    _exit(127);
  }
  int writer = open(folder.file("d.txt").c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(write(writer, "a  b\n", 5), 5);
  for (int i = 0; i < 500 && unnamedFiles(child, folder.path()) < 5; ++i)
    usleep(10000);
  // The four temporaries and the output stand in the input's folder, without names.
  EXPECT_EQ(unnamedFiles(child, folder.path()), 5);
  EXPECT_EQ(folder.list(), Names{"d.txt"});
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  close(writer);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(folder.list(), Names{"d.txt"});
}

TEST(RunDriver, RunningOutOfMemoryIsReportedAndCleanedUp) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
  ScratchFolder folder;
  // Many distinct forms under a small limit: the word forms table cannot grow.
  std::string forms;
  for (int i = 0; i < 400000; ++i)
    forms += "lemma" + std::to_string(i) + ": f\n";
  folder.write("forms.txt", forms);
  folder.write("d.txt", "a  b\n");
  RunOptions options;
  options.memoryLimit = 48u << 20;
  RunResult result = folder.run({"d.txt", "1252", "0", "forms.txt"}, options);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("error out of memory!"), std::string::npos) << result.output;
  EXPECT_EQ(folder.list(), (Names{"d.txt", "forms.txt"}));
}

}  // namespace
}  // namespace zorvak::testing
