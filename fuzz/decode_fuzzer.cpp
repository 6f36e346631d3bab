// The decoders and encoders over any bytes in every code page: counting and writing give the
// same count, nothing is written past one unit per byte plus one (three bytes per unit plus one
// when encoding UTF-8), a double-byte lead carried from one chunk to the next decodes with its
// trail as if the chunks were one, and for the pages with an encoder, encoding decoded text and
// decoding it again gives the same units.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "text/codepage.h"
#include "text/decode.h"
#include "text/encode.h"

namespace zorvak::fuzz {
namespace {

// Every supported code page, and a few that are not.
int32_t codePageFor(uint8_t selector) {
  const std::span<const int32_t> pages = supportedCodePages();
  constexpr int32_t kOthers[] = {0, 1201, -1};
  const size_t count = pages.size() + std::size(kOthers);
  const size_t index = selector % count;
  return index < pages.size() ? pages[index] : kOthers[index - pages.size()];
}

// Units decoded from `bytes` (zero-terminated, `length` bytes before the zero) into a buffer
// of exactly one unit per byte plus one.
std::vector<uint16_t> decodeAll(int32_t codePage, const uint8_t* bytes, size_t length) {
  std::vector<uint16_t> out(length + 1);
  const int32_t written = decodeText(codePage, bytes, out.data());
  FUZZ_CHECK(written >= 0 && static_cast<size_t>(written) <= length + 1);
  const int32_t counted = decodeText(codePage, bytes, nullptr);
  FUZZ_CHECK(counted == (written == 0 ? 1 : written));
  out.resize(written > 0 ? static_cast<size_t>(written) - 1 : 0);
  return out;
}

// Decoding the bytes as two chunks, the first ending at `split`, gives the units of the whole
// when a double-byte lead that ends the first chunk is carried into the second. UTF-8 is left
// out: there the reader extends a chunk to a whole character instead.
void checkChunks(int32_t codePage, const std::vector<uint8_t>& bytes, size_t split,
                 const std::vector<uint16_t>& whole) {
  if (codePage == kCodePageUtf8) return;
  std::vector<uint8_t> first(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(split));
  first.push_back(0);
  std::vector<uint16_t> out(split + 1);
  size_t carry = 7;
  const int32_t written = decodeChunk(codePage, first.data(), split, out.data(), &carry);
  FUZZ_CHECK(written >= 0 && static_cast<size_t>(written) <= split + 1);
  FUZZ_CHECK(carry == 0 || (carry == 1 && isDoubleByteCodePage(codePage) && split > 0 &&
                            first[split - 1] >= 0x80));
  out.resize(written > 0 ? static_cast<size_t>(written) - 1 : 0);
  std::vector<uint8_t> second(bytes.begin() + static_cast<std::ptrdiff_t>(split - carry),
                              bytes.end());
  const std::vector<uint16_t> rest = decodeAll(codePage, second.data(), second.size() - 1);
  out.insert(out.end(), rest.begin(), rest.end());
  FUZZ_CHECK(out == whole);
}

// Encodes `units` (up to the first zero unit) into a buffer of exactly the size the encoder
// asks for, and returns the bytes.
std::vector<uint8_t> encodeAll(EncoderState& state, int32_t codePage,
                               const std::vector<uint16_t>& units) {
  const size_t room = (codePage == kCodePageUtf8 ? 3 : 1) * units.size() + 1;
  std::vector<uint8_t> out(room);
  std::vector<uint16_t> terminated(units);
  terminated.push_back(0);
  const int32_t written = encodeUnits(state, codePage, terminated.data(), units.size(), out.data());
  FUZZ_CHECK(written >= 0 && static_cast<size_t>(written) < room);
  if (written > 0) FUZZ_CHECK(out[static_cast<size_t>(written)] == 0);
  out.resize(static_cast<size_t>(written));
  return out;
}

}  // namespace
}  // namespace zorvak::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zorvak;
  using namespace zorvak::fuzz;
  if (size < 2) return 0;
  const int32_t codePage = codePageFor(data[0]);
  // The decoders read zero-terminated text: the bytes up to the first zero byte.
  std::vector<uint8_t> bytes(data + 2, data + size);
  bytes.push_back(0);
  bytes.resize(std::strlen(reinterpret_cast<const char*>(bytes.data())) + 1);
  const size_t length = bytes.size() - 1;

  const std::vector<uint16_t> units = decodeAll(codePage, bytes.data(), length);
  checkChunks(codePage, bytes, data[1] % (length + 1), units);

  // Encoding stops at the first zero unit; decoding what it wrote gives the units before it,
  // for every page whose encoder is not the fallback.
  std::vector<uint16_t> head(units.begin(), std::find(units.begin(), units.end(), 0));
  EncoderState state;
  encoderReset(state);
  std::vector<uint8_t> encoded = encodeAll(state, codePage, head);
  const bool hasEncoder = isSingleByteCodePage(codePage) || codePage == kCodePageUtf8;
  if (hasEncoder) {
    FUZZ_CHECK(encoded.size() >= head.size());
    encoded.push_back(0);
    const std::vector<uint16_t> again = decodeAll(codePage, encoded.data(), encoded.size() - 1);
    FUZZ_CHECK(again == head);
  } else {
    FUZZ_CHECK(encoded.size() == head.size());
  }
  encoderRelease(state);
  return 0;
}
