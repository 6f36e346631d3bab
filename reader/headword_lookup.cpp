#include "reader/headword_lookup.h"

#include <algorithm>
#include <map>
#include <numeric>

#include "reader/stored_text.h"
#include "text/codepage.h"

namespace zorvak {
namespace {

constexpr char16_t kTab = 0x0009;
constexpr char16_t kBlank = 0x0020;
// Record cache slots; a table of up to this many groups is read at most once per record.
constexpr size_t kRecordCacheSlots = 4096;

// The folded headword of the entry being visited and its length.
std::u16string_view visitedFolded(const DictionaryReader& reader, uint32_t headwordLength) {
  const uint16_t* folded = reader.visitedFolded();
  size_t length = 0;
  while (length < headwordLength && folded[length] != 0)
    ++length;
  return std::u16string_view(reinterpret_cast<const char16_t*>(folded), length);
}

int compare(std::u16string_view a, std::u16string_view b) {
  return compareFolded(reinterpret_cast<const uint16_t*>(a.data()), a.size(),
                       reinterpret_cast<const uint16_t*>(b.data()), b.size());
}

FoundEntry foundEntry(const EntryHeader& entry, const uint16_t* headword) {
  return FoundEntry{
      entry, std::u16string(reinterpret_cast<const char16_t*>(headword), entry.headwordLength)};
}

// Walks a section beside a sorted run of distinct folded queries of its key, the way a single
// lookup walks it beside one query: entries before a query are passed, entries equal to it are
// taken, and the walk ends at the first entry after the last query.
class MergeVisitor : public SectionVisitor {
 public:
  MergeVisitor(const DictionaryReader& reader, const std::vector<const Query*>& queries,
               const std::vector<size_t>& slots, std::vector<std::vector<FoundEntry>>& found)
      : reader_(reader), queries_(queries), slots_(slots), found_(found) {}

  Status visitEntry(const EntryHeader& entry, const uint16_t* headword) override {
    const std::u16string_view folded = visitedFolded(reader_, entry.headwordLength);
    while (next_ < queries_.size() && compare(queries_[next_]->folded, folded) < 0)
      ++next_;
    if (next_ < queries_.size() && compare(queries_[next_]->folded, folded) == 0) {
      found_[slots_[next_]].push_back(foundEntry(entry, headword));
    }
    return Status::Ok();
  }
  bool done() const override { return next_ == queries_.size(); }

 private:
  const DictionaryReader& reader_;
  const std::vector<const Query*>& queries_;
  const std::vector<size_t>& slots_;
  std::vector<std::vector<FoundEntry>>& found_;
  size_t next_ = 0;
};

// Hands on the entries of a section that begin with a folded prefix; with `all`, every entry.
class PrefixVisitor : public SectionVisitor {
 public:
  PrefixVisitor(const DictionaryReader& reader, std::u16string_view prefix, bool all,
                const std::function<Status(const FoundEntry&)>& take)
      : reader_(reader), prefix_(prefix), all_(all), take_(take) {}

  Status visitEntry(const EntryHeader& entry, const uint16_t* headword) override {
    if (!all_) {
      const std::u16string_view folded = visitedFolded(reader_, entry.headwordLength);
      if (folded.size() < prefix_.size() || compare(folded.substr(0, prefix_.size()), prefix_)) {
        done_ = compare(folded, prefix_) > 0;
        return Status::Ok();
      }
    }
    return take_(foundEntry(entry, headword));
  }
  bool done() const override { return done_; }

 private:
  const DictionaryReader& reader_;
  std::u16string_view prefix_;
  bool all_;
  const std::function<Status(const FoundEntry&)>& take_;
  bool done_ = false;
};

// The units of a stored article after the reference mark, when it has one.
bool alternativeTarget(int32_t codePage, const std::string& text, std::u16string* target) {
  const size_t mark = codePage == kCodePageUtf16 ? 2 : 1;
  const uint8_t* data = reinterpret_cast<const uint8_t*>(text.data());
  if (text.size() < mark || data[0] != kReferenceMark) return false;
  if (mark == 2 && data[1] != 0) return false;
  decodeStoredText(codePage, data + mark, text.size() - mark, target);
  return true;
}

// Gathers an article's stored bytes.
class StringSink : public ArticleSink {
 public:
  explicit StringSink(std::string* text) : text_(text) { text_->clear(); }
  Status take(const uint8_t* bytes, size_t count) override {
    text_->append(reinterpret_cast<const char*>(bytes), count);
    return Status::Ok();
  }

 private:
  std::string* text_;
};

}  // namespace

HeadwordLookup::HeadwordLookup(DictionaryReader& reader, const SubstitutionTable& table)
    : reader_(reader),
      folder_(table),
      // No more slots than the dictionary has groups (a small one needs few).
      recordCache_(std::clamp<size_t>(reader.groupCount(), 1, kRecordCacheSlots)) {}

Status HeadwordLookup::open(DictionaryReader& reader, std::unique_ptr<HeadwordLookup>* lookup) {
  SubstitutionTable table;
  ZORVAK_RETURN_IF_ERROR(reader.readSubstitutionTable(&table));
  lookup->reset(new HeadwordLookup(reader, table));
  return Status::Ok();
}

Query HeadwordLookup::prepare(const std::u16string& text) const {
  std::u16string cleaned;
  bool blank = false;
  for (char16_t unit : text) {
    if (unit == kTab || unit == kBlank) {
      blank = !cleaned.empty();
    } else if (unit > kBlank) {
      if (blank) cleaned.push_back(kBlank);
      cleaned.push_back(unit);
      blank = false;
    }
  }
  if (cleaned.size() > kMaxTextUnits) cleaned.resize(kMaxTextUnits);
  return foldQuery(std::move(cleaned));
}

Query HeadwordLookup::prepareStored(const std::u16string& headword) const {
  return foldQuery(headword.substr(0, kMaxTextUnits));
}

Query HeadwordLookup::foldQuery(std::u16string text) const {
  // Folding stops at a zero unit, as it does for the compiler's zero-terminated headwords. The
  // callers have cut the text to kMaxTextUnits.
  uint16_t units[kTextBufferUnits];
  uint16_t folded[kTextBufferUnits];
  const size_t count = std::min(text.size(), kMaxTextUnits);
  std::copy_n(text.begin(), count, units);
  units[count] = 0;
  size_t length = 0;
  Query query;
  query.key = folder_.headwordKey(units, folded, &length);
  query.folded.assign(folded, folded + length);
  query.text = std::move(text);
  return query;
}

Status HeadwordLookup::groupRecord(uint64_t index, GroupRecord* record) {
  CachedRecord& slot = recordCache_[index % recordCache_.size()];
  if (slot.index != index) {
    ZORVAK_RETURN_IF_ERROR(reader_.readGroupRecord(index, &slot.record));
    slot.index = index;
  }
  *record = slot.record;
  return Status::Ok();
}

Status HeadwordLookup::sectionEnd(uint64_t index, uint64_t* end) {
  *end = reader_.fileSize();
  if (index + 1 >= reader_.groupCount()) return Status::Ok();
  GroupRecord next;
  Status status = groupRecord(index + 1, &next);
  if (status.kind() == StatusKind::kInputOutput) return status;
  // Without a sound next record the section is inflated piece by piece.
  *end = status.ok() ? reader_.header().sectionDataOffset + next.sectionOffset : kNone;
  return Status::Ok();
}

Status HeadwordLookup::findGroup(uint32_t key, uint64_t* index, GroupRecord* record, bool* found) {
  *found = false;
  uint64_t low = 0;
  uint64_t high = reader_.groupCount();
  while (low < high) {
    const uint64_t middle = low + (high - low) / 2;
    GroupRecord probe;
    ZORVAK_RETURN_IF_ERROR(groupRecord(middle, &probe));
    if (probe.key < key) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  *index = low;
  if (low < reader_.groupCount()) {
    ZORVAK_RETURN_IF_ERROR(groupRecord(low, record));
    *found = record->key == key;
  }
  return Status::Ok();
}

Status HeadwordLookup::findEntries(const std::vector<Query>& queries,
                                   std::vector<std::vector<FoundEntry>>* found,
                                   std::vector<Status>* statuses) {
  found->assign(queries.size(), {});
  statuses->assign(queries.size(), Status::Ok());
  std::vector<size_t> order(queries.size());
  std::iota(order.begin(), order.end(), size_t{0});
  const auto before = [&](size_t a, size_t b) {
    if (queries[a].key != queries[b].key) return queries[a].key < queries[b].key;
    return compare(queries[a].folded, queries[b].folded) < 0;
  };
  // Queries taken from a section come in order already.
  if (!std::is_sorted(order.begin(), order.end(), before))
    std::stable_sort(order.begin(), order.end(), before);

  std::vector<const Query*> distinct;
  std::vector<size_t> slots;
  std::vector<size_t> representative;  // per query of the run, the one looked up for it
  for (size_t run = 0; run < order.size();) {
    const uint32_t key = queries[order[run]].key;
    size_t end = run;
    while (end < order.size() && queries[order[end]].key == key)
      ++end;
    uint64_t index = 0;
    GroupRecord record;
    bool hasGroup = false;
    Status status = findGroup(key, &index, &record, &hasGroup);
    if (status.ok() && hasGroup) {
      // Equal folded forms are looked up once; the others get a copy of what that one found.
      distinct.clear();
      slots.clear();
      representative.clear();
      for (size_t i = run; i < end; ++i) {
        const Query& query = queries[order[i]];
        if (distinct.empty() || compare(distinct.back()->folded, query.folded) != 0) {
          distinct.push_back(&query);
          slots.push_back(order[i]);
        }
        representative.push_back(slots.back());
      }
      MergeVisitor visitor(reader_, distinct, slots, *found);
      uint64_t sectionStop = kNone;
      status = sectionEnd(index, &sectionStop);
      if (status.ok()) status = reader_.readSection(record, visitor, nullptr, sectionStop);
      for (size_t i = run; i < end; ++i) {
        if (representative[i - run] != order[i])
          (*found)[order[i]] = (*found)[representative[i - run]];
      }
    }
    if (status.kind() == StatusKind::kInputOutput) return status;
    for (size_t i = run; i < end; ++i)
      (*statuses)[order[i]] = status;
    run = end;
  }
  return Status::Ok();
}

Status HeadwordLookup::fetchArticleFrom(DictionaryReader& reader, const EntryHeader& entry,
                                        std::string* article) {
  StringSink sink(article);
  return reader.fetchArticle(entry, sink);
}

Status HeadwordLookup::readMatchArticle(Match* match, size_t* held) {
  const EntryHeader& header = match->entry.header;
  if (header.articleLength == 0) {
    match->articleHeld = true;
    return Status::Ok();
  }
  // Only an article of a reference mark and at most 1023 units can lead elsewhere; a longer one
  // is fetched now only when it can be held.
  const bool maybeAlternative = header.articleLength <= kMaxTextUnits + 1;
  if (!maybeAlternative && *held >= kHeldArticleBudget) return Status::Ok();
  std::string text;
  ZORVAK_RETURN_IF_ERROR(fetchArticle(header, &text));
  match->alternative = alternativeTarget(reader_.codePage(), text, &match->target);
  if (*held + text.size() <= kHeldArticleBudget) {
    *held += text.size();
    match->article = std::move(text);
    match->articleHeld = true;
  }
  return Status::Ok();
}

Status HeadwordLookup::lookUp(const std::vector<Query>& queries, bool follow,
                              std::vector<LookupResult>* results) {
  std::vector<std::vector<FoundEntry>> found;
  std::vector<Status> statuses;
  ZORVAK_RETURN_IF_ERROR(findEntries(queries, &found, &statuses));
  results->assign(queries.size(), {});
  for (size_t q = 0; q < queries.size(); ++q) {
    (*results)[q].status = statuses[q];
    if (!follow) {
      for (FoundEntry& entry : found[q]) {
        Match match;
        match.entry = std::move(entry);
        (*results)[q].matches.push_back(std::move(match));
      }
    }
  }
  if (!follow) return Status::Ok();

  // Articles in key order, so that those of one group, in neighbouring blocks, come together.
  std::vector<size_t> order(queries.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return queries[a].key < queries[b].key; });
  size_t held = 0;
  std::map<std::u16string, size_t> targetSlots;
  std::vector<Query> targets;
  for (size_t q : order) {
    LookupResult& result = (*results)[q];
    for (FoundEntry& entry : found[q]) {
      Match match;
      match.entry = std::move(entry);
      Status status = readMatchArticle(&match, &held);
      if (status.kind() == StatusKind::kInputOutput) return status;
      if (!status.ok()) {
        result.status = status;
        continue;
      }
      if (match.alternative) {
        // The same form filed twice for one target (its lemma twice in the source) is one match.
        const bool repeated =
            std::any_of(result.matches.begin(), result.matches.end(), [&](const Match& other) {
              return other.alternative && other.target == match.target &&
                     other.entry.headword == match.entry.headword;
            });
        if (repeated) continue;
        if (targetSlots.emplace(match.target, targets.size()).second)
          targets.push_back(prepareStored(match.target));
      }
      result.matches.push_back(std::move(match));
    }
  }
  if (targets.empty()) return Status::Ok();

  // The targets' entries: those whose headword is the target unit for unit.
  std::vector<std::vector<FoundEntry>> targetFound;
  std::vector<Status> targetStatuses;
  ZORVAK_RETURN_IF_ERROR(findEntries(targets, &targetFound, &targetStatuses));
  std::vector<std::vector<Match>> targetMatches(targets.size());
  std::vector<size_t> targetOrder(targets.size());
  std::iota(targetOrder.begin(), targetOrder.end(), size_t{0});
  std::stable_sort(targetOrder.begin(), targetOrder.end(),
                   [&](size_t a, size_t b) { return targets[a].key < targets[b].key; });
  for (size_t t : targetOrder) {
    for (FoundEntry& entry : targetFound[t]) {
      if (entry.headword != targets[t].text) continue;
      Match match;
      match.entry = std::move(entry);
      Status status = readMatchArticle(&match, &held);
      if (status.kind() == StatusKind::kInputOutput) return status;
      if (!status.ok()) {
        targetStatuses[t] = status;
        continue;
      }
      if (!match.alternative) targetMatches[t].push_back(std::move(match));
    }
  }
  for (LookupResult& result : *results) {
    for (Match& match : result.matches) {
      if (!match.alternative) continue;
      const size_t t = targetSlots.at(match.target);
      match.targetEntries = targetMatches[t];
      if (!targetStatuses[t].ok() && result.status.ok()) result.status = targetStatuses[t];
    }
  }
  return Status::Ok();
}

Status HeadwordLookup::listPrefix(const Query& prefix,
                                  const std::function<Status(const FoundEntry&)>& take) {
  const std::u16string_view folded = prefix.folded;
  uint64_t index = 0;
  GroupRecord record;
  bool found = false;
  if (folded.size() >= 2) {
    ZORVAK_RETURN_IF_ERROR(findGroup(prefix.key, &index, &record, &found));
    if (!found) return Status::Ok();
    PrefixVisitor visitor(reader_, folded, false, take);
    uint64_t end = kNone;
    ZORVAK_RETURN_IF_ERROR(sectionEnd(index, &end));
    return reader_.readSection(record, visitor, nullptr, end);
  }
  // One folded unit: every group whose key begins with it holds only such headwords; none:
  // every group.
  const uint32_t first = folded.empty() ? 0 : uint32_t{folded[0]} << 16;
  const uint32_t last = folded.empty() ? 0xFFFFFFFF : first | 0xFFFF;
  ZORVAK_RETURN_IF_ERROR(findGroup(first, &index, &record, &found));
  for (; index < reader_.groupCount(); ++index) {
    ZORVAK_RETURN_IF_ERROR(reader_.readGroupRecord(index, &record));
    if (record.key > last) break;
    PrefixVisitor visitor(reader_, folded, true, take);
    uint64_t end = kNone;
    ZORVAK_RETURN_IF_ERROR(sectionEnd(index, &end));
    ZORVAK_RETURN_IF_ERROR(reader_.readSection(record, visitor, nullptr, end));
  }
  return Status::Ok();
}

}  // namespace zorvak
