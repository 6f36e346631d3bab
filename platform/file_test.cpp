#include "platform/file.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace zorvak {
namespace {

class Folder {
 public:
  Folder() {
    char pattern[] = "/tmp/zorvak_platform_XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    path_ = pattern;
  }
  ~Folder() {
    for (const std::string& name : names())
      unlink(file(name).c_str());
    rmdir(path_.c_str());
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    if (DIR* dir = opendir(path_.c_str())) {
      while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") out.push_back(name);
      }
      closedir(dir);
    }
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary) << bytes;
  }

 private:
  std::string path_;
};

using Names = std::vector<std::string>;

class UnnamedFile : public ::testing::TestWithParam<Unnamed> {};

// However it is made, a file without a name shows nowhere until it is named, and then under
// its name alone, with the mode of an ordinary new file, in place of whatever stood there.
TEST_P(UnnamedFile, ShowsOnlyOnceNamed) {
  Folder folder;
  folder.write("older", "older bytes");
  folder.write("kept", "a file a link points at");
  ASSERT_EQ(symlink(folder.file("kept").c_str(), folder.file("link").c_str()), 0);
  const std::string text(3 << 20, 'x');
  for (const char* name : {"new", "older", "link"}) {
    const Names before = folder.names();
    File file = File::createUnnamed(folder.file(name), GetParam());
    ASSERT_TRUE(file.isOpen());
    ASSERT_TRUE(file.write(text.data(), text.size()));
    ASSERT_TRUE(file.write(name, 3));
    EXPECT_EQ(folder.names(), before);
    ASSERT_TRUE(file.nameAs(folder.file(name))) << name;
    EXPECT_EQ(folder.read(name), text + std::string(name, 3)) << name;
    struct stat st;
    ASSERT_EQ(lstat(folder.file(name).c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << name;
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << name;
  }
  EXPECT_EQ(folder.names(), (Names{"kept", "link", "new", "older"}));
  EXPECT_EQ(folder.read("kept"), "a file a link points at");

  // A file that is never named leaves nothing.
  {
    File dropped = File::createUnnamed(folder.file("dropped"), GetParam());
    ASSERT_TRUE(dropped.isOpen());
    ASSERT_TRUE(dropped.write("abc", 3));
  }
  EXPECT_EQ(folder.names(), (Names{"kept", "link", "new", "older"}));
}

INSTANTIATE_TEST_SUITE_P(Ways, UnnamedFile,
                         ::testing::Values(Unnamed::kByTheFileSystem, Unnamed::kByRemovingItsName));

TEST(File, OnlyAFileMadeWithoutANameIsNamed) {
  Folder folder;
  folder.write("plain", "bytes");
  File opened = File::openForReading(folder.file("plain"));
  ASSERT_TRUE(opened.isOpen());
  EXPECT_FALSE(opened.nameAs(folder.file("other")));
  // No file is made in a folder that does not exist.
  EXPECT_FALSE(File::createUnnamed(folder.file("missing/x")).isOpen());
  EXPECT_FALSE(File::createUnnamed(folder.file("missing/x"), Unnamed::kByRemovingItsName).isOpen());
  EXPECT_EQ(folder.names(), Names{"plain"});
}

// A released range loses its whole pages only (to zeros, where the file system can); every
// byte outside them and the file's size stay as they were.
TEST(File, ReleaseDropsOnlyWholePagesInsideTheRange) {
  Folder folder;
  File file = File::createUnnamed(folder.file("spool"));
  ASSERT_TRUE(file.isOpen());
  std::string bytes(5 * 4096 + 100, '\0');
  for (size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>('a' + i % 23);
  ASSERT_TRUE(file.writeAt(0, bytes.data(), bytes.size()));
  file.release(100, 3 * 4096);  // pages 1 and 2 whole, 0 and 3 in part
  file.release(5 * 4096, 100);  // the last page, in part
  file.release(4 * 4096, 0);
  ASSERT_EQ(file.size(), static_cast<int64_t>(bytes.size()));
  std::string read(bytes.size(), '\0');
  ASSERT_EQ(file.readAt(0, read.data(), read.size()), static_cast<int64_t>(read.size()));
  const std::string inside = read.substr(4096, 4096);
  EXPECT_TRUE(inside == std::string(4096, '\0') || inside == bytes.substr(4096, 4096));
  EXPECT_EQ(read.substr(2 * 4096, 4096), inside == bytes.substr(4096, 4096)
                                             ? bytes.substr(2 * 4096, 4096)
                                             : std::string(4096, '\0'));
  EXPECT_EQ(read.substr(0, 4096), bytes.substr(0, 4096));
  EXPECT_EQ(read.substr(3 * 4096), bytes.substr(3 * 4096));
}

}  // namespace
}  // namespace zorvak
