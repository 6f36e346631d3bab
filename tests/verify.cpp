#include "tests/verify.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "format/coding.h"
#include "tests/harness.h"
#include "text/char_table.h"
#include "text/codepage.h"

namespace zorvak::testing {
namespace {

constexpr int32_t kUtf16 = 1200;
constexpr int32_t kUtf8 = 65001;

// Inflates the zlib stream that starts at `data`; *consumed receives its compressed size.
// False when it is not one complete stream within `size` bytes.
bool inflateStream(const uint8_t* data, size_t size, std::string* out, size_t* consumed) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return false;
  stream.next_in = const_cast<Bytef*>(data);
  stream.avail_in = static_cast<uInt>(size);
  uint8_t buffer[65536];
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = buffer;
    stream.avail_out = sizeof(buffer);
    result = inflate(&stream, Z_NO_FLUSH);
    out->append(reinterpret_cast<char*>(buffer), sizeof(buffer) - stream.avail_out);
    if (result == Z_BUF_ERROR && stream.avail_in == 0) break;
  }
  *consumed = size - stream.avail_in;
  inflateEnd(&stream);
  return result == Z_STREAM_END;
}

std::vector<size_t> unitStarts(const std::string& text, int32_t codePage) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); ++i) {
    if (codePage == kUtf16) {
      if (i % 2 == 0) starts.push_back(i);
    } else if (codePage != kUtf8 || (static_cast<uint8_t>(text[i]) & 0xC0) != 0x80) {
      starts.push_back(i);
    }
  }
  return starts;
}

// The index order of two folded headwords: true when a sorts before b.
bool foldedBefore(const std::u16string& a, const std::u16string& b) {
  for (size_t i = 0;; ++i) {
    const uint16_t ua = i < a.size() ? a[i] : 0;
    const uint16_t ub = i < b.size() ? b[i] : 0;
    if (ua == 0 && ub == 0) return false;
    if (ua == ub) continue;
    const uint16_t ma = foldUnit(ua);
    const uint16_t mb = foldUnit(ub);
    if (ma != mb) return ma < mb;
  }
}

uint32_t keyOf(const std::u16string& folded) {
  const uint32_t first = folded.size() > 0 ? folded[0] : 0;
  const uint32_t second = folded.size() > 1 ? folded[1] : 0;
  return first << 16 | second;
}

std::u16string unitsAt(const std::string& text, size_t at, size_t count) {
  std::u16string units(count, 0);
  for (size_t i = 0; i < count; ++i) {
    units[i] = decodeFixed16(reinterpret_cast<const uint8_t*>(text.data()) + at + 2 * i);
  }
  return units;
}

class Verifier {
 public:
  Verifier(const std::string& bytes, CompiledDictionary* d)
      : data_(reinterpret_cast<const uint8_t*>(bytes.data())), size_(bytes.size()), d_(*d) {}

  std::vector<std::string> run() {
    d_ = CompiledDictionary{};
    d_.fileSize = size_;
    if (size_ < kHeaderSize) return fail("file shorter than its header");
    if (!decodeHeader(data_, &d_.header)) return fail("bad magic");
    const Header& h = d_.header;
    if (h.textFlag > kMaxTextFlag) problem("text flag above 1");
    if (!isSupportedCodePage(static_cast<int32_t>(h.codePage))) problem("code page not supported");
    if (!(kHeaderSize <= h.articleDataOffset && h.articleDataOffset <= h.groupTableOffset &&
          h.groupTableOffset <= h.sectionDataOffset && h.sectionDataOffset <= size_)) {
      return fail("offsets out of order");
    }
    if ((h.articleDataOffset - kHeaderSize) % kSubstitutionItemSize != 0) {
      problem("substitution table not whole items");
    }
    for (uint64_t at = kHeaderSize; at + kSubstitutionItemSize <= h.articleDataOffset;
         at += kSubstitutionItemSize) {
      d_.substitutions.push_back(decodeSubstitutionItem(data_ + at));
    }
    readBlocks();
    readGroups();
    checkArticlePlaces();
    return problems_;
  }

 private:
  void problem(const std::string& text) { problems_.push_back(text); }
  std::vector<std::string> fail(const std::string& text) {
    problem(text);
    return problems_;
  }

  void readBlocks() {
    const Header& h = d_.header;
    uint64_t at = h.articleDataOffset;
    if (at == h.groupTableOffset) problem("no article block");
    while (at < h.groupTableOffset) {
      ArticleBlock block;
      block.offset = at - h.articleDataOffset;
      size_t consumed = 0;
      if (!inflateStream(data_ + at, h.groupTableOffset - at, &block.text, &consumed)) {
        problem("article block at " + std::to_string(block.offset) + " is no complete stream");
        return;
      }
      block.size = consumed;
      block.unitStarts = unitStarts(block.text, static_cast<int32_t>(h.codePage));
      if (h.codePage == kUtf8 && !wholeUtf8Units(block)) {
        problem("block " + std::to_string(block.offset) + " holds a unit of more than 3 bytes");
      }
      d_.blocks.push_back(std::move(block));
      at += consumed;
    }
    // Every block but the last holds more than 8192 units of article text.
    for (size_t i = 0; i + 1 < d_.blocks.size(); ++i) {
      if (d_.blocks[i].unitStarts.size() <= kBlockUnitLimit) {
        problem("block " + std::to_string(i) + " closed at or below 8192 units");
      }
    }
  }

  // With UTF-8 every unit is a sequence of one to three bytes, from the block's first byte on.
  static bool wholeUtf8Units(const ArticleBlock& block) {
    if (!block.text.empty() && block.unitStarts.empty()) return false;
    if (!block.unitStarts.empty() && block.unitStarts[0] != 0) return false;
    for (size_t i = 0; i < block.unitStarts.size(); ++i) {
      const size_t end =
          i + 1 < block.unitStarts.size() ? block.unitStarts[i + 1] : block.text.size();
      if (end - block.unitStarts[i] > 3) return false;
    }
    return true;
  }

  const ArticleBlock* blockAt(uint64_t offset) const {
    for (const ArticleBlock& block : d_.blocks) {
      if (block.offset == offset) return &block;
    }
    return nullptr;
  }

  void readGroups() {
    const Header& h = d_.header;
    if (h.sectionDataOffset - h.groupTableOffset != uint64_t{kGroupRecordSize} * h.groupCount) {
      problem("group table size is not 16 bytes a group");
      return;
    }
    uint64_t entries = 0;
    for (uint32_t i = 0; i < h.groupCount; ++i) {
      CompiledGroup group;
      group.record = decodeGroupRecord(data_ + h.groupTableOffset + kGroupRecordSize * i);
      if (i > 0 && group.record.key <= d_.groups.back().record.key) {
        problem("group keys not ascending at group " + std::to_string(i));
      }
      d_.groups.push_back(group);
    }
    for (uint32_t i = 0; i < h.groupCount; ++i) {
      CompiledGroup& group = d_.groups[i];
      const uint64_t begin = h.sectionDataOffset + group.record.sectionOffset;
      const uint64_t end = i + 1 < h.groupCount
                               ? h.sectionDataOffset + d_.groups[i + 1].record.sectionOffset
                               : size_;
      if (i == 0 && group.record.sectionOffset != 0) problem("first section offset not 0");
      if (begin > end || end > size_) {
        problem("section offsets out of order at group " + std::to_string(i));
        return;
      }
      std::string text;
      size_t consumed = 0;
      if (!inflateStream(data_ + begin, end - begin, &text, &consumed) || consumed != end - begin) {
        problem("section of group " + std::to_string(i) + " is not one complete stream");
        continue;
      }
      group.sectionSize = consumed;
      readEntries(group, text);
      entries += group.entries.size();
    }
    if (entries != h.entryCount) problem("header entry count differs from the sections");
    uint64_t recorded = 0;
    for (const CompiledGroup& group : d_.groups)
      recorded += group.record.entryCount;
    if (recorded != h.entryCount) problem("header entry count differs from the group records");
  }

  void readEntries(CompiledGroup& group, const std::string& text) {
    const std::string where = "group " + std::to_string(group.record.key) + ": ";
    size_t at = 0;
    while (at < text.size()) {
      if (text.size() - at < kEntryHeaderSize) {
        problem(where + "section ends inside an entry header");
        return;
      }
      CompiledEntry entry;
      entry.header = decodeEntryHeader(reinterpret_cast<const uint8_t*>(text.data()) + at);
      const size_t length = entry.header.headwordLength;
      if (length == 0 || length > kMaxTextUnits) problem(where + "headword length out of range");
      if (text.size() - at - kEntryHeaderSize < 4 * length) {
        problem(where + "section ends inside an entry");
        return;
      }
      entry.headword = unitsAt(text, at + kEntryHeaderSize, length);
      entry.slot = unitsAt(text, at + kEntryHeaderSize + 2 * length, length);
      const size_t zero = entry.slot.find(u'\0');
      entry.folded = entry.slot.substr(0, zero);
      if (zero != std::u16string::npos &&
          entry.slot.substr(zero + 1) != entry.headword.substr(zero + 1)) {
        problem(where + "slot after the folded headword is not the headword");
      }
      if (keyOf(entry.folded) != group.record.key) problem(where + "entry key differs");
      checkArticle(where, entry.header);
      if (!group.entries.empty() && foldedBefore(entry.folded, group.entries.back().folded)) {
        problem(where + "entries out of order");
      }
      group.entries.push_back(std::move(entry));
      at += kEntryHeaderSize + 4 * length;
    }
    if (group.entries.size() != group.record.entryCount) {
      problem(where + "section holds " + std::to_string(group.entries.size()) +
              " entries, record says " + std::to_string(group.record.entryCount));
    }
  }

  void checkArticle(const std::string& where, const EntryHeader& e) {
    if (e.articleLength == 0) {
      if (e.articleBlock != kNone || e.articleStart != 0) problem(where + "empty article placed");
      return;
    }
    if (e.articleStart > kBlockUnitLimit) problem(where + "article begins past 8192 units");
    const ArticleBlock* block = blockAt(e.articleBlock);
    if (block == nullptr) {
      problem(where + "article block offset is no block");
    } else if (uint64_t{e.articleStart} + e.articleLength > block->unitStarts.size()) {
      problem(where + "article runs past its block");
    }
  }

  // Articles lie group after group in the article data, and no two of them overlap.
  void checkArticlePlaces() {
    struct Place {
      uint64_t block, start, end;
      size_t group;
    };
    std::vector<Place> places;
    for (size_t g = 0; g < d_.groups.size(); ++g) {
      for (const CompiledEntry& entry : d_.groups[g].entries) {
        const EntryHeader& e = entry.header;
        if (e.articleLength > 0) {
          places.push_back(
              {e.articleBlock, e.articleStart, e.articleStart + uint64_t{e.articleLength}, g});
        }
      }
    }
    std::sort(places.begin(), places.end(), [](const Place& a, const Place& b) {
      return a.block != b.block ? a.block < b.block : a.start < b.start;
    });
    for (size_t i = 1; i < places.size(); ++i) {
      const Place& before = places[i - 1];
      const Place& after = places[i];
      if (before.block == after.block && before.end > after.start) {
        problem("articles overlap in block " + std::to_string(after.block));
      }
      if (before.group > after.group) problem("articles of a group before an earlier group's");
    }
  }

  const uint8_t* data_;
  size_t size_;
  CompiledDictionary& d_;
  std::vector<std::string> problems_;
};

}  // namespace

std::string CompiledDictionary::articleBytes(const EntryHeader& entry) const {
  if (entry.articleLength == 0) return {};
  for (const ArticleBlock& block : blocks) {
    if (block.offset != entry.articleBlock) continue;
    const size_t first = entry.articleStart;
    const size_t last = first + entry.articleLength;
    if (last > block.unitStarts.size()) return {};
    const size_t begin = block.unitStarts[first];
    const size_t end = last < block.unitStarts.size() ? block.unitStarts[last] : block.text.size();
    return block.text.substr(begin, end - begin);
  }
  return {};
}

const CompiledEntry* CompiledDictionary::find(const std::u16string& headword) const {
  for (const CompiledGroup& group : groups) {
    for (const CompiledEntry& entry : group.entries) {
      if (entry.headword == headword) return &entry;
    }
  }
  return nullptr;
}

std::vector<std::string> verifyCompiled(const std::string& bytes, CompiledDictionary* dictionary) {
  CompiledDictionary local;
  return Verifier(bytes, dictionary != nullptr ? dictionary : &local).run();
}

std::vector<std::string> verifyCompiledFile(const std::string& name,
                                            CompiledDictionary* dictionary) {
  return verifyCompiled(readFile(name), dictionary);
}

}  // namespace zorvak::testing
