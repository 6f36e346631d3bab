// Faults end to end with the real program: a disk that fills up, a read that fails, a kill at
// any file call of a run, files and folders the user may not touch, and two runs at once. Each
// time the run ends with the message of the file that failed and exit status 1 (or with the
// kill), leaves no file of its own behind and every file that was there before byte for byte as
// it was: a compiled dictionary, a text, and files of the user that happen to bear the names
// of a run's temporaries.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/verify.h"

namespace zorvak::testing {
namespace {

using Snapshot = std::map<std::string, std::string>;
using Messages = std::set<std::string>;

// Every file of a folder with its bytes.
Snapshot snapshot(const ScratchFolder& folder) {
  Snapshot files;
  for (const std::string& name : folder.list())
    files[name] = folder.read(name);
  return files;
}

// What differs between two snapshots, in words; empty when nothing does.
std::string differences(const Snapshot& expected, const Snapshot& actual) {
  std::string out;
  for (const auto& [name, bytes] : expected) {
    auto found = actual.find(name);
    if (found == actual.end()) {
      out += " " + name + " is gone;";
    } else if (found->second != bytes) {
      out += " " + name + " changed (" + std::to_string(bytes.size()) + " bytes before, " +
             std::to_string(found->second.size()) + " after);";
    }
  }
  for (const auto& [name, bytes] : actual) {
    if (!expected.count(name))
      out += " " + name + " was left (" + std::to_string(bytes.size()) + " bytes);";
  }
  return out;
}

// The last message of a run's output: what follows the last line end.
std::string lastMessage(const std::string& output) {
  const size_t end = output.find_last_of("\r\n");
  return end == std::string::npos ? output : output.substr(end + 1);
}

// Options that preload the fault injector with `fault` (ACTION:CLASS:N, see the injector; ""
// for none), writing its counts to `report` when that is not empty.
RunOptions injecting(const std::string& fault, const std::string& report = "") {
  RunOptions options;
  options.environment.push_back(std::string("LD_PRELOAD=") + ZORVAK_FAULT_INJECTOR);
  if (!fault.empty()) options.environment.push_back("ZORVAK_FAULT=" + fault);
  if (!report.empty()) options.environment.push_back("ZORVAK_FAULT_REPORT=" + report);
  // The sanitizer runtime of the sanitized build need not come first in the library list.
  const char* asan = std::getenv("ASAN_OPTIONS");
  options.environment.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                                ":verify_asan_link_order=0");
  return options;
}

// A run reads its files in thousands of calls; faults go to the first and last ones and to
// some spread over the rest.
constexpr long kFirstReads = 40;
constexpr long kLastReads = 10;
constexpr long kReadsSpread = 24;

// Up to `count` numbers from 1 to `total`, spread evenly, the first and the last among them.
std::vector<long> spread(long total, long count) {
  std::vector<long> numbers;
  for (long i = 0; i < std::min(total, count); ++i)
    numbers.push_back(total <= count ? i + 1 : 1 + i * (total - 1) / (count - 1));
  return numbers;
}

// The reads of a run that faults go to: its first and last ones, where it reads its inputs
// and appends its temporaries, and ones spread over the thousands in between.
std::vector<long> readsToTry(long total) {
  std::set<long> reads;
  for (long n = 1; n <= total; ++n) {
    if (n <= kFirstReads || n > total - kLastReads) reads.insert(n);
  }
  for (long n : spread(total, kReadsSpread))
    reads.insert(n);
  return std::vector<long>(reads.begin(), reads.end());
}

// How many file calls, writes and reads a run makes, counted by the injector.
struct CallCounts {
  long calls = 0;
  long writes = 0;
  long reads = 0;
};

CallCounts countCalls(const ScratchFolder& folder, const std::vector<std::string>& arguments,
                      RunResult* result) {
  ScratchFolder reports;
  *result = folder.run(arguments, injecting("", reports.file("counts")));
  CallCounts counts;
  FILE* in = std::fopen(reports.file("counts").c_str(), "r");
  if (in == nullptr) return counts;
  if (std::fscanf(in, "%ld %ld %ld", &counts.calls, &counts.writes, &counts.reads) != 3) {
    counts = CallCounts{};
  }
  std::fclose(in);
  return counts;
}

// A dictionary whose compile writes every file of the run several times: a source of some
// hundred kilobytes with alternative headwords (every word, and word forms), and the user's
// files beside it, among them an older compiled dictionary and files named like the run's
// temporaries.
void setUpCompile(const ScratchFolder& folder) {
  std::string source;
  std::string forms;
  for (int i = 0; source.size() < 300000; ++i) {
    const std::string word = "word" + std::to_string(i);
    source += word + " extra" + std::to_string(i % 97) + "  the article of " + word +
              ", with some text to compress\n";
    if (i % 5 == 0) source += "(" + word + ")  bracketed\n";
    if (i % 3 == 0) forms += word + ": " + word + "s, " + word + "ed\n";
  }
  folder.write("d.txt", source);
  folder.write("forms.txt", forms);
  folder.write("d.txt.zorvak", "an older compiled dictionary");
  for (const char* extension : {".tmp", ".sec", ".dat", ".add"})
    folder.write(std::string("d.txt") + extension, std::string("the user's own ") + extension);
}

const std::vector<std::string> kCompile = {"d.txt", "1252", "1", "forms.txt"};
const std::vector<std::string> kDecompress = {"d.txt.zorvak", "0"};

// What a run that was cut short left of its output.
enum class Left {
  kNothing,
  kOutputInPlace,  // complete, in place of the older one
  // Complete under a passing name beside the older one: the run ended in the one instant
  // between the two calls that put a complete output in place of an existing file.
  kOutputUnderPassingName,
};

// Checks the folder against the files before the run: all of them as they were, save that the
// output may stand complete in its place or under a passing name (output + ".XXXXXX"), which
// is then removed. Says which.
Left whatWasLeft(const ScratchFolder& folder, const Snapshot& before, const std::string& outputName,
                 const std::string& complete, const std::string& context) {
  Snapshot after = snapshot(folder);
  Left left = Left::kNothing;
  for (const auto& [name, bytes] : Snapshot(after)) {
    if (!before.count(name) && name.size() == outputName.size() + 7 &&
        name.starts_with(outputName + ".") && bytes == complete) {
      left = Left::kOutputUnderPassingName;
      after.erase(name);
      std::remove(folder.file(name).c_str());
    }
  }
  Snapshot expected = before;
  if (after.count(outputName) && after.at(outputName) == complete && complete != "") {
    expected[outputName] = complete;
    left = Left::kOutputInPlace;
  }
  EXPECT_EQ(differences(expected, after), "") << context;
  return left;
}

// The compile's output when nothing goes wrong, and the files before it.
struct CleanRun {
  Snapshot before;
  std::string output;  // the compiled dictionary
  CallCounts counts;
};

CleanRun cleanCompile(const ScratchFolder& folder) {
  CleanRun clean;
  clean.before = snapshot(folder);
  RunResult result;
  clean.counts = countCalls(folder, kCompile, &result);
  EXPECT_EQ(result.status, 0) << result.output;
  clean.output = folder.read("d.txt.zorvak");
  CompiledDictionary dictionary;
  const std::vector<std::string> problems = verifyCompiled(clean.output, &dictionary);
  EXPECT_TRUE(problems.empty()) << problems.front();
  folder.write("d.txt.zorvak", clean.before.at("d.txt.zorvak"));
  EXPECT_EQ(differences(clean.before, snapshot(folder)), "");
  EXPECT_GT(clean.counts.writes, 10);
  return clean;
}

TEST(Faults, DiskFullAtEveryWriteOfACompile) {
  ScratchFolder folder;
  setUpCompile(folder);
  const CleanRun clean = cleanCompile(folder);
  Messages seen;
  int inPlace = 0;
  for (long n = 1; n <= clean.counts.writes; ++n) {
    const RunResult result = folder.run(kCompile, injecting("fail:write:" + std::to_string(n)));
    const std::string context = "disk full from write " + std::to_string(n) + ": " + result.output;
    const std::string message = lastMessage(result.output);
    seen.insert(message);
    EXPECT_EQ(result.status, 1) << context;
    // Only the last write, that of the folder after the output got its name, finds the
    // output in place (and still reports that its name may not survive a crash).
    const Left left = whatWasLeft(folder, clean.before, "d.txt.zorvak", clean.output, context);
    EXPECT_NE(left, Left::kOutputUnderPassingName) << context;
    if (left == Left::kOutputInPlace) {
      ++inPlace;
      EXPECT_EQ(n, clean.counts.writes) << context;
      folder.write("d.txt.zorvak", clean.before.at("d.txt.zorvak"));
    }
  }
  EXPECT_LE(inPlace, 1);
  // Each file's failure is told by its own message.
  EXPECT_EQ(seen,
            (Messages{"error create tmp file!", "error create sec file!", "error create dat file!",
                      "error create add file!", "error create out file!", "error write tmp file!",
                      "error write sec file!", "error write dat file!", "error write add file!",
                      "error write out file!"}));
}

// Kills a run at every write it makes and at reads spread over the whole run.
void killAtEveryWrite(const ScratchFolder& folder, const std::vector<std::string>& arguments,
                      const CleanRun& clean, const std::string& outputName) {
  std::vector<std::string> faults;
  for (long n = 1; n <= clean.counts.writes; ++n)
    faults.push_back("kill:write:" + std::to_string(n));
  for (long n : readsToTry(clean.counts.reads))
    faults.push_back("kill:read:" + std::to_string(n));
  int underPassingName = 0;
  for (const std::string& fault : faults) {
    const RunResult result = folder.run(arguments, injecting(fault));
    EXPECT_EQ(result.status, 128 + SIGKILL) << fault << ": " << result.output;
    const Left left = whatWasLeft(folder, clean.before, outputName, clean.output, fault);
    if (left == Left::kOutputUnderPassingName) ++underPassingName;
    folder.write(outputName, clean.before.at(outputName));
  }
  // A kill in place of the call that moves the complete output over the older one.
  EXPECT_LE(underPassingName, 1);
}

TEST(Faults, KilledAtEveryWriteOfACompile) {
  ScratchFolder folder;
  setUpCompile(folder);
  killAtEveryWrite(folder, kCompile, cleanCompile(folder), "d.txt.zorvak");
}

TEST(Faults, ReadErrorAtEveryReadOfACompile) {
  ScratchFolder folder;
  setUpCompile(folder);
  const CleanRun clean = cleanCompile(folder);
  Messages seen;
  for (long n : readsToTry(clean.counts.reads)) {
    const RunResult result = folder.run(kCompile, injecting("fail:read:" + std::to_string(n)));
    const std::string context = "read " + std::to_string(n) + " failed: " + result.output;
    seen.insert(lastMessage(result.output));
    EXPECT_EQ(result.status, 1) << context;
    EXPECT_EQ(differences(clean.before, snapshot(folder)), "") << context;
  }
  // Each file's failure is told by its own message.
  EXPECT_EQ(seen, (Messages{"error read wordforms file!", "error read input file!",
                            "error read tmp file!", "error read add file!", "error read dat file!",
                            "error read sec file!"}));
}

// With threads the source is read ahead of its parsing; a read or a write that fails on the way
// must end the run where one thread ends it, with the same lines and status.
TEST(Faults, FailuresWhileReadingEndAsWithOneThread) {
  ScratchFolder folder;
  setUpCompile(folder);
  const CleanRun clean = cleanCompile(folder);
  std::vector<std::string> faults;
  for (long n : readsToTry(clean.counts.reads))
    faults.push_back("fail:read:" + std::to_string(n));
  // The last write, that of the folder, finds the complete output in place.
  for (long n : spread(clean.counts.writes - 1, kReadsSpread))
    faults.push_back("fail:write:" + std::to_string(n));
  for (const std::string& fault : faults) {
    std::vector<RunResult> results;
    for (const char* threads : {"1", "2"}) {
      std::vector<std::string> arguments = {"--threads", threads};
      arguments.insert(arguments.end(), kCompile.begin(), kCompile.end());
      results.push_back(folder.run(arguments, injecting(fault)));
      EXPECT_EQ(differences(clean.before, snapshot(folder)), "") << fault << ", " << threads;
    }
    EXPECT_EQ(results[1].status, results[0].status) << fault;
    EXPECT_EQ(results[1].output, results[0].output) << fault;
  }
}

// A compiled dictionary to write back as text, beside an older text of the user.
CleanRun setUpDecompress(const ScratchFolder& folder) {
  setUpCompile(folder);
  EXPECT_EQ(folder.run(kCompile).status, 0);
  for (const std::string& name : folder.list()) {
    if (name != "d.txt.zorvak") {
      EXPECT_EQ(std::remove(folder.file(name).c_str()), 0);
    }
  }
  folder.write("d.txt.zorvak.txt", "an older text");
  CleanRun clean;
  clean.before = snapshot(folder);
  RunResult result;
  clean.counts = countCalls(folder, kDecompress, &result);
  EXPECT_EQ(result.status, 0) << result.output;
  clean.output = folder.read("d.txt.zorvak.txt");
  EXPECT_GT(clean.output.size(), 100000u);
  folder.write("d.txt.zorvak.txt", "an older text");
  return clean;
}

TEST(Faults, DiskFullOrKilledDuringADecompress) {
  ScratchFolder folder;
  const CleanRun clean = setUpDecompress(folder);
  Messages seen;
  for (long n = 1; n <= clean.counts.writes; ++n) {
    const RunResult result = folder.run(kDecompress, injecting("fail:write:" + std::to_string(n)));
    const std::string context = "disk full from write " + std::to_string(n) + ": " + result.output;
    seen.insert(lastMessage(result.output));
    EXPECT_EQ(result.status, 1) << context;
    EXPECT_TRUE(result.output.starts_with("decompress\r\n")) << context;
    const Left left = whatWasLeft(folder, clean.before, "d.txt.zorvak.txt", clean.output, context);
    EXPECT_TRUE(left == Left::kNothing || n == clean.counts.writes) << context;
    folder.write("d.txt.zorvak.txt", "an older text");
  }
  EXPECT_EQ(seen, (Messages{"error create out file!", "error write out file!"}));
  killAtEveryWrite(folder, kDecompress, clean, "d.txt.zorvak.txt");
  for (long n : readsToTry(clean.counts.reads)) {
    const RunResult result = folder.run(kDecompress, injecting("fail:read:" + std::to_string(n)));
    const std::string context = "read " + std::to_string(n) + " failed: " + result.output;
    EXPECT_EQ(result.status, 1) << context;
    EXPECT_EQ(lastMessage(result.output), "error read input file!") << context;
    EXPECT_EQ(differences(clean.before, snapshot(folder)), "") << context;
  }
}

TEST(Faults, TwoCompilesOfOneInputAtOnce) {
  ScratchFolder folder;
  setUpCompile(folder);
  const CleanRun clean = cleanCompile(folder);
  // The first run stops itself halfway; while it stands there, the folder shows nothing of it
  // and a second run of the same input fails at the input that the first holds.
  RunningProgram first =
      folder.start(kCompile, injecting("stop:write:" + std::to_string(clean.counts.writes / 2)));
  ASSERT_TRUE(first.waitUntilStopped());
  EXPECT_EQ(differences(clean.before, snapshot(folder)), "");
  const RunResult second = folder.run(kCompile);
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(lastMessage(second.output), "error open input file!") << second.output;
  EXPECT_EQ(differences(clean.before, snapshot(folder)), "");
  first.resume();
  const RunResult result = first.finish();
  EXPECT_EQ(result.status, 0) << result.output;
  Snapshot expected = clean.before;
  expected["d.txt.zorvak"] = clean.output;
  EXPECT_EQ(differences(expected, snapshot(folder)), "");
}

// Runs without privileges, so that file permissions bind; false (with the reason printed)
// when that cannot be had.
bool canDropPrivileges(const ScratchFolder& folder) {
  RunOptions options;
  options.unprivileged = true;
  const RunResult probe = folder.run({"--version"}, options);
  return probe.status == 0;
}

TEST(Faults, FilesAndFoldersTheUserMayNotTouch) {
  ScratchFolder folder;
  ASSERT_EQ(chmod(folder.path().c_str(), 0755), 0);
  if (!canDropPrivileges(folder)) {
    GTEST_SKIP() << "running as root, and no unprivileged user to run the program as";
  }
  RunOptions unprivileged;
  unprivileged.unprivileged = true;
  folder.write("d.txt", "a  b\n");
  folder.write("forms.txt", "a: b\n");
  folder.write("d.txt.zorvak", "an older compiled dictionary");
  folder.write("x.zorvak.txt", "an older text");
  ASSERT_EQ(folder.run({"d.txt", "1252"}).status, 0);
  ASSERT_EQ(rename(folder.file("d.txt.zorvak").c_str(), folder.file("x.zorvak").c_str()), 0);
  folder.write("d.txt.zorvak", "an older compiled dictionary");
  ASSERT_EQ(chmod(folder.file("x.zorvak").c_str(), 0644), 0);

  struct Case {
    const char* file;  // made unreadable, or "" for the folder made unwritable
    std::vector<std::string> arguments;
    const char* output;
  };
  const Case cases[] = {
      {"d.txt", {"d.txt", "1252"}, "error open input file!"},
      {"forms.txt", {"d.txt", "1252", "0", "forms.txt"}, "error open wordforms file!"},
      {"x.zorvak", {"x.zorvak", "0"}, "decompress\r\nerror open input file!"},
      {"", {"d.txt", "1252"}, "error create tmp file!"},
      {"", {"x.zorvak", "0"}, "decompress\r\nerror create out file!"},
  };
  for (const Case& c : cases) {
    const std::string target = *c.file ? folder.file(c.file) : folder.path();
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    const Snapshot before = snapshot(folder);
    ASSERT_EQ(chmod(target.c_str(), *c.file ? 0200 : 0555), 0);
    const RunResult result = folder.run(c.arguments, unprivileged);
    ASSERT_EQ(chmod(target.c_str(), st.st_mode & 07777), 0);
    EXPECT_EQ(result.output, c.output) << c.arguments[0];
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(differences(before, snapshot(folder)), "") << c.arguments[0];
  }
}

// A file system of its own, small enough to fill up, mounted over a folder for as long as the
// object lives. The mount is made in a mount namespace of this process alone, so that it goes
// away with the process however the test ends. Mounting needs root; without it the object is
// not mounted.
class SmallDisk {
 public:
  SmallDisk(const std::string& path, size_t bytes) : path_(path) {
    const std::string options = "size=" + std::to_string(bytes);
    mounted_ = unshare(CLONE_NEWNS) == 0 &&
               mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
               mkdir(path.c_str(), 0755) == 0 &&
               mount("zorvak-test", path.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) umount2(path_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool mounted() const { return mounted_; }
  // Bytes still free.
  uint64_t available() const {
    struct statvfs st;
    return statvfs(path_.c_str(), &st) == 0 ? uint64_t{st.f_bavail} * st.f_frsize : 0;
  }

 private:
  std::string path_;
  bool mounted_ = false;
};

// The disk fills up at a different point of the run each time: with the room left growing step
// by step from nothing to enough, every run fails with the message of the file it could not
// write, or succeeds, and the room is all there again afterwards. Without root, a file size
// limit takes the place of the full disk.
TEST(Faults, DiskFillsUpInEachPhase) {
  ScratchFolder outer;
  constexpr size_t kDiskBytes = 8 << 20;
  constexpr uint64_t kStep = 24 << 10;
  SmallDisk disk(outer.file("disk"), kDiskBytes);
  Messages seen;
  if (disk.mounted()) {
    ScratchFolder folder(outer.file("disk"));
    setUpCompile(folder);
    const Snapshot before = snapshot(folder);
    bool succeeded = false;
    int64_t filler = 0;
    for (uint64_t room = 0; !succeeded && room < kDiskBytes; room += kStep) {
      // The filler takes all but `room` bytes of the disk.
      filler += static_cast<int64_t>(disk.available()) - static_cast<int64_t>(room);
      ASSERT_GE(filler, 0);
      outer.write("disk/filler", std::string(static_cast<size_t>(filler), 'f'));
      ASSERT_LE(disk.available(), room + 4096);
      const uint64_t available = disk.available();
      const RunResult result = folder.run(kCompile);
      const std::string context = std::to_string(room) + " bytes of room: " + result.output;
      if (result.status == 0) {
        succeeded = true;
        EXPECT_TRUE(verifyCompiledFile(folder.file("d.txt.zorvak"), nullptr).empty());
        continue;
      }
      seen.insert(lastMessage(result.output));
      EXPECT_EQ(result.status, 1) << context;
      EXPECT_EQ(differences(before, snapshot(folder)), "") << context;
      EXPECT_EQ(disk.available(), available) << context;
    }
    EXPECT_TRUE(succeeded);
  } else {
    ScratchFolder folder;
    setUpCompile(folder);
    const Snapshot before = snapshot(folder);
    bool succeeded = false;
    for (uint64_t limit = kStep; !succeeded && limit < kDiskBytes; limit += kStep) {
      RunOptions options;
      options.fileSizeLimit = limit;
      const RunResult result = folder.run(kCompile, options);
      const std::string context = "file size limit " + std::to_string(limit) + ": " + result.output;
      if (result.status == 0) {
        succeeded = true;
        continue;
      }
      seen.insert(lastMessage(result.output));
      EXPECT_EQ(result.status, 1) << context;
      EXPECT_EQ(differences(before, snapshot(folder)), "") << context;
    }
    EXPECT_TRUE(succeeded);
  }
  // The spool, the largest file, is the first to meet a full disk or a size limit. (The output,
  // written last, mostly finds the room the scan gave back of the spool once read.)
  EXPECT_TRUE(seen.count("error write tmp file!"));
  for (const std::string& message : seen) {
    EXPECT_TRUE(message.starts_with("error write ") && message.ends_with(" file!")) << message;
  }
}

}  // namespace
}  // namespace zorvak::testing
