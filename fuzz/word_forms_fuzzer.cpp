// The word forms parser over any word forms file in every code page, handed over in chunks of
// varying size the way the reader hands them (a double-byte lead that ends a chunk opens the
// next one). The table must hold exactly what a plain model of the file's rules holds, in the
// same order: every line "lemma: form, form", units at or below the blank dropped, lemma and
// forms lower-cased and cut at 1023 units, a form that begins with its lemma left out, each
// pair kept once; and the lookups must find every lemma's forms in stored order.

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "compiler/word_forms.h"
#include "fuzz/fuzz_support.h"
#include "text/char_table.h"
#include "text/codepage.h"
#include "text/decode.h"

namespace zorvak::fuzz {
namespace {

using Units = std::u16string;

int32_t codePageFor(uint8_t selector) {
  const std::span<const int32_t> pages = supportedCodePages();
  return pages[selector % pages.size()];
}

size_t chunkSizeFor(uint8_t selector) {
  return selector < 0xF0 ? size_t{1} + selector % 64 : size_t{32768};
}

// The model of the table: pairs in stored order and the number offered.
struct Model {
  std::vector<std::pair<Units, Units>> records;
  std::set<std::pair<Units, Units>> kept;
  uint32_t offered = 0;

  void store(Units& lemma, Units& form) {
    ++offered;
    lower(lemma);
    lower(form);
    if (form.size() >= lemma.size() && form.compare(0, lemma.size(), lemma) == 0) return;
    if (!kept.insert({lemma, form}).second) return;
    records.emplace_back(lemma, form);
  }
  static void lower(Units& text) {
    std::vector<uint16_t> buffer(text.begin(), text.end());
    buffer.push_back(0);
    lowerInPlace(buffer.data());
    text.assign(buffer.begin(), buffer.end() - 1);
  }

  void parse(const std::vector<uint16_t>& units) {
    enum { kBetween, kLemma, kForms } state = kBetween;
    Units lemma, form;
    for (uint16_t u : units) {
      const bool lineEnd = u == 0x0A || u == 0x0D;
      switch (state) {
        case kBetween:
          if (u > 0x20) {
            lemma.assign(1, u);
            state = kLemma;
          }
          break;
        case kLemma:
          if (lineEnd) {
            state = kBetween;
          } else if (u == ':') {
            form.clear();
            state = kForms;
          } else if (u > 0x20 && lemma.size() < WordForms::kMaxText) {
            lemma.push_back(u);
          }
          break;
        case kForms:
          if (lineEnd || u == ',') {
            if (!form.empty()) store(lemma, form);
            form.clear();
            if (lineEnd) state = kBetween;
          } else if (u > 0x20 && form.size() < WordForms::kMaxText) {
            form.push_back(u);
          }
          break;
      }
    }
  }
};

// The units of the whole file, decoded in one piece.
std::vector<uint16_t> unitsOf(int32_t codePage, const std::string& file) {
  std::vector<uint16_t> units;
  if (codePage == kCodePageUtf16) {
    for (size_t i = 0; i + 1 < file.size(); i += 2)
      units.push_back(static_cast<uint16_t>(uint8_t(file[i]) | uint8_t(file[i + 1]) << 8));
    return units;
  }
  units.resize(file.size() + 1);
  const int32_t n = decodeChunk(codePage, reinterpret_cast<const uint8_t*>(file.data()),
                                file.size(), units.data(), nullptr);
  units.resize(n > 0 ? static_cast<size_t>(n) - 1 : 0);
  return units;
}

// Where the next chunk may end so that decoding the chunks gives the units of the whole: any
// byte for the single-byte pages and for the double-byte ones (their lead is carried); an even
// byte for UTF-16; after an ASCII byte for UTF-8, where no character is open.
size_t chunkEnd(int32_t codePage, const std::string& file, size_t from, size_t want) {
  size_t end = std::min(file.size(), from + want);
  if (codePage == kCodePageUtf16) {
    if ((end - from) % 2 != 0 && end < file.size()) ++end;
  } else if (codePage == kCodePageUtf8) {
    while (end < file.size() && static_cast<uint8_t>(file[end - 1]) >= 0x80)
      ++end;
  }
  return end;
}

}  // namespace
}  // namespace zorvak::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zorvak;
  using namespace zorvak::fuzz;
  if (size < 2) return 0;
  const int32_t codePage = codePageFor(data[0]);
  const size_t chunkSize = chunkSizeFor(data[1]);
  std::string file(reinterpret_cast<const char*>(data + 2), size - 2);

  // The reader closes the last line of a file with a line end and a blank.
  file += codePage == kCodePageUtf16 ? std::string("\x0A\x00\x20\x00", 4) : std::string("\x0A\x20");

  WordForms forms(codePage);
  forms.reset();
  std::vector<uint8_t> chunk;
  size_t carry = 0;
  for (size_t at = 0; at < file.size();) {
    const size_t end = chunkEnd(codePage, file, at, std::max<size_t>(1, chunkSize - carry));
    const uint8_t carried = carry > 0 ? chunk[chunk.size() - 2] : 0;
    chunk.assign(carry, carried);
    chunk.insert(chunk.end(), file.begin() + static_cast<std::ptrdiff_t>(at),
                 file.begin() + static_cast<std::ptrdiff_t>(end));
    const size_t count = chunk.size();
    chunk.push_back(0);
    carry = 0;
    (void)forms.consumeChunk(chunk.data(), count, &carry);
    FUZZ_CHECK(carry <= 1);
    at = end;
  }
  // The file ends in a line end, so nothing is left over.
  FUZZ_CHECK(carry == 0);

  Model model;
  model.parse(unitsOf(codePage, file));
  FUZZ_CHECK(forms.offered() == model.offered);
  FUZZ_CHECK(forms.stored() == model.records.size());
  FUZZ_CHECK(forms.recordCount() == model.records.size());
  std::map<Units, std::vector<uint32_t>> byLemma;
  std::vector<uint16_t> buckets;
  for (uint32_t r = 0; r < forms.recordCount(); ++r) {
    const std::span<const uint16_t> lemma = forms.lemma(r);
    const std::span<const uint16_t> form = forms.form(r);
    FUZZ_CHECK(Units(lemma.begin(), lemma.end()) == model.records[r].first);
    FUZZ_CHECK(Units(form.begin(), form.end()) == model.records[r].second);
    byLemma[model.records[r].first].push_back(r);
    if (std::find(buckets.begin(), buckets.end(), lemma[0]) == buckets.end())
      buckets.push_back(lemma[0]);
  }
  for (const auto& [lemma, records] : byLemma) {
    std::vector<uint16_t> units(lemma.begin(), lemma.end());
    std::vector<uint32_t> chain;
    for (uint32_t r = forms.firstOfLemma(units); r != WordForms::kNoRecord;
         r = forms.nextOfLemma(r))
      chain.push_back(r);
    FUZZ_CHECK(chain == records);
  }
  FUZZ_CHECK(forms.bucketCount() == buckets.size());
  for (size_t b = 0; b < buckets.size(); ++b)
    FUZZ_CHECK(forms.bucketKey(b) == buckets[b]);
  return 0;
}
