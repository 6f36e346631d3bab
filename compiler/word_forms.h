#ifndef ZORVAK_COMPILER_WORD_FORMS_H_
#define ZORVAK_COMPILER_WORD_FORMS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "compiler/chunk_decoder.h"
#include "compiler/id_hash_index.h"
#include "platform/status.h"

namespace zorvak {

// The word forms table: (lemma, form) pairs read from the word forms file, under which a
// lemma's entries are also filed. Filled before the source dictionary is read, read-only after.
//
// A line of the file reads lemma ":" form "," form ...; units at or below U+0020 other than the
// line ends are dropped, lemmas and forms are lower-cased and cut at 1023 units, a form that
// begins with its lemma is not kept, and a (lemma, form) pair is kept once. The records are
// grouped in buckets by the lemma's first unit, buckets in the order their units first
// occurred, records in the order stored; each lemma's records are chained in stored order, so
// that the forms of a headword are found by one hash lookup.
class WordForms {
 public:
  // Longest lemma or form kept, in units; longer ones are cut.
  static constexpr size_t kMaxText = 1023;
  // Marks the end of a chain of records.
  static constexpr uint32_t kNoRecord = UINT32_MAX;

  explicit WordForms(int32_t codePage);

  // Empties the table and the line parser, gives back their memory and zeroes both counters.
  void reset();
  // The word forms chunk entry: decodes one chunk (a zero byte follows its `size` bytes) and
  // runs the line parser over it. May leave an unfinished double-byte lead byte in *carry.
  Status consumeChunk(uint8_t* chunk, size_t size, size_t* carry);
  // The line parser: runs the three line states over decoded units, in order.
  void parseUnits(const uint16_t* units, size_t count);

  // Lemma/form pairs handed to the store step, and pairs actually kept.
  uint32_t offered() const { return offered_; }
  uint32_t stored() const { return stored_; }
  bool empty() const { return records_.empty(); }

  // The first record whose lemma is exactly `lemma` (lower-cased, no terminator), or
  // kNoRecord; nextOfLemma walks that lemma's records in stored order.
  uint32_t firstOfLemma(std::span<const uint16_t> lemma) const;
  uint32_t nextOfLemma(uint32_t record) const { return records_[record].nextOfLemma; }

  // The first units of the lemmas, in the order they first occurred: the buckets of the table.
  // A bucket's records are the records whose lemma begins with its key, in stored order.
  size_t bucketCount() const { return bucketKeys_.size(); }
  uint16_t bucketKey(size_t bucket) const { return bucketKeys_[bucket]; }

  // The records in stored order, and a record's lemma and form.
  uint32_t recordCount() const { return static_cast<uint32_t>(records_.size()); }
  std::span<const uint16_t> lemma(uint32_t record) const {
    return text(lemmas_[records_[record].lemma].text);
  }
  std::span<const uint16_t> form(uint32_t record) const { return text(records_[record].form); }

 private:
  enum class LineState { kBetweenLines, kInLemma, kInForms };

  // A distinct lemma: its text and the first and last of its records.
  struct Lemma {
    uint64_t text;
    uint32_t first;
    uint32_t last;
  };
  // A stored pair: the form's text, the lemma's index and the next record of the same lemma.
  struct Record {
    uint64_t form;
    uint32_t lemma;
    uint32_t nextOfLemma;
  };

  // Stores the form buffer under the lemma buffer, by the prefix and duplicate rules.
  void storeForm();
  uint32_t findLemma(std::span<const uint16_t> lemma, uint64_t hash) const;
  uint32_t addLemma(std::span<const uint16_t> lemma, uint64_t hash);
  // Appends a text to the arena as its length followed by its units; returns its offset.
  uint64_t addText(std::span<const uint16_t> units);
  std::span<const uint16_t> text(uint64_t offset) const {
    const uint16_t* units = pages_[offset >> kPageBits].get() + (offset & (kPageUnits - 1));
    return {units + 1, units[0]};
  }

  ChunkDecoder decoder_;

  LineState state_ = LineState::kBetweenLines;
  uint16_t lemmaBuffer_[kMaxText + 1] = {};
  size_t lemmaLength_ = 0;
  uint16_t formBuffer_[kMaxText + 1] = {};
  size_t formLength_ = 0;

  uint32_t offered_ = 0;
  uint32_t stored_ = 0;

  // Every lemma and form text, each as its length followed by its units, in pages that are
  // never moved (growing costs no copy); a text never crosses a page end. A text's offset is
  // its page number shifted left by kPageBits, plus its place in the page. The first page holds
  // kFirstPageUnits, each next one twice as many as the one before, up to kPageUnits, so that a
  // small file takes little memory.
  static constexpr unsigned kPageBits = 20;
  static constexpr size_t kPageUnits = size_t{1} << kPageBits;
  static constexpr size_t kFirstPageUnits = size_t{1} << 14;
  static_assert(kFirstPageUnits > kMaxText + 1, "every text fits a page");
  std::vector<std::unique_ptr<uint16_t[]>> pages_;
  size_t pageUnits_ = 0;  // of the last page
  size_t pageFill_ = 0;
  std::vector<Lemma> lemmas_;
  std::vector<Record> records_;
  std::vector<uint16_t> bucketKeys_;
  // Which first units have a bucket.
  std::vector<bool> hasBucket_;
  // Lemmas by their text, and records by (lemma, form).
  IdHashIndex lemmaIndex_;
  IdHashIndex pairIndex_;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_WORD_FORMS_H_
