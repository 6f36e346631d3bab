#include "text/codepage.h"

#include <algorithm>

namespace zorvak {

namespace {

// Every supported number, ascending: the single-byte and double-byte pages, UTF-16LE, UTF-8.
constexpr std::array<int32_t, 35> kSupported = {
    437,   850,   855,   860,   861,   863,   865,   866,   874,   932,   936,   949,
    950,   1200,  1250,  1251,  1252,  1253,  1254,  1255,  1256,  1257,  1258,  10000,
    10007, 10017, 10079, 20127, 20866, 21866, 28591, 28592, 28595, 28605, 65001,
};
static_assert(std::is_sorted(kSupported.begin(), kSupported.end()));

}  // namespace

const SbcsPage* findSbcsPage(int32_t codePage) {
  for (const SbcsPage& page : kSbcsPages) {
    if (page.codePage == codePage) return &page;
  }
  return nullptr;
}

const DbcsPage* findDbcsPage(int32_t codePage) {
  for (const DbcsPage& page : kDbcsPages) {
    if (page.codePage == codePage) return &page;
  }
  return nullptr;
}

bool isSingleByteCodePage(int32_t codePage) {
  return findSbcsPage(codePage) != nullptr;
}

bool isDoubleByteCodePage(int32_t codePage) {
  return findDbcsPage(codePage) != nullptr;
}

bool isSupportedCodePage(int32_t codePage) {
  return std::binary_search(kSupported.begin(), kSupported.end(), codePage);
}

std::span<const int32_t> supportedCodePages() {
  return kSupported;
}

}  // namespace zorvak
