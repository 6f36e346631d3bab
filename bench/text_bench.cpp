// Throughput of the work done once per byte or unit of a dictionary: decoding a chunk, encoding
// a batch of article text, and folding headwords into their keys.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "format/headword_key.h"
#include "text/decode.h"
#include "text/encode.h"

namespace zorvak {
namespace {

constexpr size_t kChunkBytes = 32768;

// A chunk of dictionary-like text in a code page: words of letters from `alphabet` (code page
// bytes), blanks and line ends.
std::vector<uint8_t> makeChunk(const std::vector<std::string>& alphabet) {
  std::mt19937 random(7);
  std::vector<uint8_t> chunk;
  while (chunk.size() < kChunkBytes - 8) {
    int word = 2 + static_cast<int>(random() % 8);
    for (int i = 0; i < word; ++i) {
      const std::string& letter = alphabet[random() % alphabet.size()];
      chunk.insert(chunk.end(), letter.begin(), letter.end());
    }
    chunk.push_back(random() % 12 == 0 ? '\n' : ' ');
  }
  chunk.push_back(0);
  return chunk;
}

void decodeBench(benchmark::State& state, int32_t codePage,
                 const std::vector<std::string>& alphabet) {
  const std::vector<uint8_t> chunk = makeChunk(alphabet);
  std::vector<uint16_t> units(chunk.size() + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(decodeText(codePage, chunk.data(), units.data()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (chunk.size() - 1)));
}

void BM_Decode1251(benchmark::State& state) {
  decodeBench(state, 1251, {"a", "e", "o", "\xE4", "\xEE", "\xEC", "\xE0"});
}
void BM_DecodeUtf8(benchmark::State& state) {
  decodeBench(state, 65001, {"a", "e", "\xC3\xA4", "\xD0\xB4", "\xE2\x82\xAC", "\xE4\xB8\x80"});
}
void BM_Decode936(benchmark::State& state) {
  decodeBench(state, 936, {"a", "\xB0\xA1", "\xC4\xE3", "\xBA\xC3", "\xD6\xD0"});
}
BENCHMARK(BM_Decode1251);
BENCHMARK(BM_DecodeUtf8);
BENCHMARK(BM_Decode936);

// Encoding article text in the batches of 4096 units that the article stream hands over.
void encodeBench(benchmark::State& state, int32_t codePage) {
  std::vector<uint16_t> units(4096);
  std::mt19937 random(11);
  for (uint16_t& unit : units)
    unit = static_cast<uint16_t>(0x0410 + random() % 64);
  std::vector<uint8_t> out(3 * units.size() + 1);
  EncoderState encoder;
  encoderReset(encoder);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        encodeUnits(encoder, codePage, units.data(), units.size(), out.data()));
  }
  encoderRelease(encoder);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * units.size()));
}

void BM_Encode1251(benchmark::State& state) {
  encodeBench(state, 1251);
}
void BM_EncodeUtf8(benchmark::State& state) {
  encodeBench(state, 65001);
}
BENCHMARK(BM_Encode1251);
BENCHMARK(BM_EncodeUtf8);

// Folding a headword into its key, as registration and the group scan do for every entry.
void BM_HeadwordKey(benchmark::State& state) {
  const HeadwordFolder folder(SubstitutionTable::standard());
  const std::u16string headwords[] = {u"Haus",         u"ice cream",   u"x-ray (n.)",
                                      u"\u0451\u0436", u"Stra\u00dfe", u"caf\u00e9 au lait"};
  uint16_t folded[kTextBufferUnits];
  size_t n = 0;
  for (auto _ : state) {
    const std::u16string& headword = headwords[n++ % std::size(headwords)];
    benchmark::DoNotOptimize(
        folder.headwordKey(reinterpret_cast<const uint16_t*>(headword.c_str()), folded));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_HeadwordKey);

}  // namespace
}  // namespace zorvak
