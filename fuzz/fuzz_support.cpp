#include "fuzz/fuzz_support.h"

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace zorvak::fuzz {
namespace {

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* item = readdir(dir)) {
    const std::string name = item->d_name;
    if (name != "." && name != "..") names.push_back(folder + "/" + name);
  }
  closedir(dir);
  return names;
}

class Scratch {
 public:
  Scratch() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zorvak-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    path_ = pattern;
  }
  ~Scratch() {
    clear();
    rmdir(path_.c_str());
  }
  void clear() const {
    for (const std::string& name : namesIn(path_))
      unlink(name.c_str());
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

const Scratch& scratch() {
  static const Scratch folder;
  return folder;
}

}  // namespace

const std::string& scratchFolder() {
  return scratch().path();
}

void clearScratchFolder() {
  scratch().clear();
}

void writeFile(const std::string& name, std::string_view bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

Parts splitInput(std::string_view input) {
  const size_t at = input.find(kPartSeparator);
  if (at == std::string_view::npos) return Parts{input, {}};
  return Parts{input.substr(0, at), input.substr(at + kPartSeparator.size())};
}

}  // namespace zorvak::fuzz
