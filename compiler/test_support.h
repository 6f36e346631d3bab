#ifndef ZORVAK_COMPILER_TEST_SUPPORT_H_
#define ZORVAK_COMPILER_TEST_SUPPORT_H_

// Helpers of the compiler's unit tests: scratch files and unit strings.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/file.h"

namespace zorvak::testing {

// A file under /tmp, opened for reading and writing and removed at the end of its scope.
class ScratchFile {
 public:
  ScratchFile() {
    char pattern[] = "/tmp/zorvak_unit_XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0) throw std::runtime_error("mkstemp failed");
    ::close(fd);
    name_ = pattern;
    file = File::openOrCreate(name_);
    if (!file.isOpen() || !file.truncate()) throw std::runtime_error("cannot open " + name_);
  }
  ~ScratchFile() {
    file.close();
    removeFile(name_);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& name() const { return name_; }

  // The whole content as bytes, and as 16-bit little-endian units.
  std::string bytes() const {
    std::string out(static_cast<size_t>(file.size()), '\0');
    const int64_t got = const_cast<File&>(file).readAt(0, out.data(), out.size());
    out.resize(got < 0 ? 0 : static_cast<size_t>(got));
    return out;
  }
  std::u16string units() const {
    const std::string b = bytes();
    std::u16string out(b.size() / 2, 0);
    for (size_t i = 0; i < out.size(); ++i) {
      out[i] = static_cast<char16_t>(static_cast<uint8_t>(b[2 * i]) |
                                     static_cast<uint8_t>(b[2 * i + 1]) << 8);
    }
    return out;
  }

  File file;

 private:
  std::string name_;
};

// Units from ASCII text, in which '|', '~', '^', '_' and '#' stand for the entry mark, the
// article mark, a tab, a line feed and a carriage return.
inline std::u16string units(const std::string& text) {
  std::u16string out;
  for (char c : text) {
    switch (c) {
      case '|':
        out += u'\x0001';
        break;
      case '~':
        out += u'\x0002';
        break;
      case '^':
        out += u'\t';
        break;
      case '_':
        out += u'\n';
        break;
      case '#':
        out += u'\r';
        break;
      default:
        out += static_cast<char16_t>(static_cast<uint8_t>(c));
    }
  }
  return out;
}

inline const uint16_t* unitData(const std::u16string& s) {
  return reinterpret_cast<const uint16_t*>(s.data());
}

}  // namespace zorvak::testing

#endif  // ZORVAK_COMPILER_TEST_SUPPORT_H_
