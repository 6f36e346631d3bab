// The decoders and encoders over any bytes in every code page: counting and writing give the
// same count, nothing is read past a chunk's end nor written past one unit per byte plus one
// (three bytes per unit plus one when encoding UTF-8), a double-byte lead carried from one
// chunk to the next decodes with its trail as if the chunks were one, the zero-terminated
// decoder agrees with the chunk decoder, and for the pages with an encoder, encoding decoded
// text and decoding it again gives the same units.

#include <algorithm>
#include <cstdint>
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

// Units of the `length` bytes (zero bytes among them) decoded as one chunk into a buffer of
// exactly one unit per byte plus one; counting them gives the same number.
std::vector<uint16_t> decodeAll(int32_t codePage, const uint8_t* bytes, size_t length) {
  // An empty chunk still has an address.
  const uint8_t none = 0;
  if (length == 0) bytes = &none;
  std::vector<uint16_t> out(length + 1);
  const int32_t written = decodeChunk(codePage, bytes, length, out.data(), nullptr);
  FUZZ_CHECK(written >= 0 && static_cast<size_t>(written) <= length + 1);
  const int32_t counted = decodeChunk(codePage, bytes, length, nullptr, nullptr);
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
  std::vector<uint8_t> first;
  first.reserve(split + 1);  // an address also when empty
  first.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(split));
  std::vector<uint16_t> out(split + 1);
  size_t carry = 7;
  const int32_t written = decodeChunk(codePage, first.data(), split, out.data(), &carry);
  FUZZ_CHECK(written >= 0 && static_cast<size_t>(written) <= split + 1);
  FUZZ_CHECK(carry == 0 || (carry == 1 && isDoubleByteCodePage(codePage) && split > 0 &&
                            first[split - 1] >= 0x80));
  out.resize(written > 0 ? static_cast<size_t>(written) - 1 : 0);
  const std::vector<uint8_t> second(bytes.begin() + static_cast<std::ptrdiff_t>(split - carry),
                                    bytes.end());
  const std::vector<uint16_t> rest = decodeAll(codePage, second.data(), second.size());
  out.insert(out.end(), rest.begin(), rest.end());
  FUZZ_CHECK(out == whole);
}

// The zero-terminated decoder reads the bytes up to the first zero byte as a chunk would.
void checkText(int32_t codePage, const std::vector<uint8_t>& bytes,
               const std::vector<uint16_t>& whole) {
  const size_t length =
      static_cast<size_t>(std::find(bytes.begin(), bytes.end(), 0) - bytes.begin());
  std::vector<uint8_t> text(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
  text.push_back(0);
  std::vector<uint16_t> out(length + 1);
  const int32_t written = decodeText(codePage, text.data(), out.data());
  FUZZ_CHECK(written ==
             decodeChunk(codePage, text.data(), length, nullptr, nullptr) - (length == 0));
  out.resize(written > 0 ? static_cast<size_t>(written) - 1 : 0);
  if (length == bytes.size()) FUZZ_CHECK(out == whole);
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
  // Exactly the chunk's bytes, so that a read past its end is caught.
  const std::vector<uint8_t> bytes(data + 2, data + size);
  const std::vector<uint16_t> units = decodeAll(codePage, bytes.data(), bytes.size());
  checkChunks(codePage, bytes, data[1] % (bytes.size() + 1), units);
  checkText(codePage, bytes, units);

  // Encoding stops at the first zero unit; decoding what it wrote gives the units before it,
  // for every page whose encoder is not the fallback.
  std::vector<uint16_t> head(units.begin(), std::find(units.begin(), units.end(), 0));
  EncoderState state;
  encoderReset(state);
  std::vector<uint8_t> encoded = encodeAll(state, codePage, head);
  const bool hasEncoder = isSingleByteCodePage(codePage) || codePage == kCodePageUtf8;
  if (hasEncoder) {
    FUZZ_CHECK(encoded.size() >= head.size());
    const std::vector<uint16_t> again = decodeAll(codePage, encoded.data(), encoded.size());
    FUZZ_CHECK(again == head);
  } else {
    FUZZ_CHECK(encoded.size() == head.size());
  }
  encoderRelease(state);
  return 0;
}
