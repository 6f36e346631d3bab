#include "reader/group_prefetch.h"

#include <algorithm>
#include <unordered_set>

#include "reader/block_window.h"
#include "reader/dictionary_reader.h"
#include "reader/entry_parser.h"
#include "reader/whole_stream.h"

namespace zorvak {
namespace {

constexpr size_t kWholeBlockText = size_t{1} << 20;

}  // namespace

namespace {

// A set of block offsets (never kNone), open addressing: a section may name many.
class KeySet {
 public:
  // True when `key` was not in the set.
  bool insert(uint64_t key) {
    if (2 * (size_ + 1) > slots_.size()) grow();
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash(key) & mask;; i = (i + 1) & mask) {
      if (slots_[i] == key) return false;
      if (slots_[i] == kNone) {
        slots_[i] = key;
        ++size_;
        return true;
      }
    }
  }

 private:
  static size_t hash(uint64_t key) {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15u) >> 32);
  }
  void grow() {
    std::vector<uint64_t> old(std::max<size_t>(64, 2 * slots_.size()), kNone);
    old.swap(slots_);
    size_ = 0;
    for (const uint64_t key : old) {
      if (key != kNone) insert(key);
    }
  }
  std::vector<uint64_t> slots_;
  size_t size_ = 0;
};

}  // namespace

// One worker's buffers.
struct GroupPrefetch::Tools {
  WholeStream stream;
  std::vector<uint8_t> compressed;
  EntryParser parser;
  BlockWindow window;
};

// The heads of a streamed section's blocks, made with a worker's tools. The entries are read by
// their headers alone: a header's headword length tells how many bytes to pass over.
class GroupPrefetch::StreamHeads : public StreamedSection::Heads {
 public:
  StreamHeads(GroupPrefetch& prefetch, Tools& tools) : prefetch_(prefetch), tools_(tools) {}

  uint64_t scan(const uint8_t* bytes, size_t count,
                std::vector<StreamedSection::Named>* named) override {
    while (count > 0 && !broken_) {
      if (skip_ > 0) {
        const size_t passed = static_cast<size_t>(std::min<uint64_t>(skip_, count));
        skip_ -= passed;
        bytes += passed;
        count -= passed;
        continue;
      }
      const uint8_t* header = bytes;
      if (held_ > 0 || count < kEntryHeaderSize) {
        const size_t take = std::min(kEntryHeaderSize - held_, count);
        std::copy(bytes, bytes + take, header_ + held_);
        held_ += take;
        bytes += take;
        count -= take;
        if (held_ < kEntryHeaderSize) break;
        held_ = 0;
        header = header_;
      } else {
        bytes += kEntryHeaderSize;
        count -= kEntryHeaderSize;
      }
      const EntryHeader entry = decodeEntryHeader(header);
      // Nothing after an entry the walk stops at can be told apart.
      if (entry.headwordLength == 0 || entry.headwordLength > kMaxTextUnits) {
        broken_ = true;
        break;
      }
      skip_ = 4 * uint64_t{entry.headwordLength};
      const uint64_t number = entries_++;
      if (entry.articleLength == 0 || entry.articleBlock == kNone ||
          entry.articleStart > kBlockUnitLimit) {
        continue;
      }
      const uint64_t key = prefetch_.header_.articleDataOffset + entry.articleBlock;
      if (key == last_ || key < prefetch_.header_.articleDataOffset ||
          key >= prefetch_.articleInput_.size()) {
        continue;
      }
      last_ = key;
      if (seen_.insert(key)) named->push_back({number, key});
    }
    return entries_;
  }

  Status make(uint64_t key, InflatedBlock* block, bool* made) override {
    *made = false;
    bool inflated = false;
    ZORVAK_RETURN_IF_ERROR(tools_.window.inflate(prefetch_.articleInput_, key, tools_.stream,
                                                 kWholeBlockText, &inflated));
    if (!inflated || !InflatedBlock::fromTextAgrees(tools_.stream.textSize())) return Status::Ok();
    InflatedBlock::fromText(tools_.stream.text(), tools_.stream.textSize(), prefetch_.rule_, block);
    *made = true;
    return Status::Ok();
  }

 private:
  GroupPrefetch& prefetch_;
  Tools& tools_;
  uint8_t header_[kEntryHeaderSize];
  size_t held_ = 0;    // bytes of a header cut by the end of a piece
  uint64_t skip_ = 0;  // bytes of the current entry's text still to pass over
  bool broken_ = false;
  uint64_t entries_ = 0;
  uint64_t last_ = kNone;
  KeySet seen_;
};

GroupPrefetch::GroupPrefetch(InputReader& input, InputReader& articleInput, const Header& header,
                             uint64_t groups, size_t workers, size_t budget)
    : input_(input),
      articleInput_(articleInput),
      header_(header),
      groups_(groups),
      rule_(unitRuleFor(static_cast<int32_t>(header.codePage))),
      budget_(budget),
      pool_(workers) {
  for (size_t i = 0; i < pool_.slots(); ++i)
    tools_.push_back(std::make_unique<Tools>());
}

GroupPrefetch::~GroupPrefetch() {
  // A task streaming a section waits for a walk that has ended.
  if (current_ != nullptr) current_->group->stream.cancel();
  for (const std::unique_ptr<Pending>& pending : pending_)
    pending->group->stream.cancel();
}

void GroupPrefetch::waitReady(Pending& pending) {
  std::unique_lock<std::mutex> lock(readyMutex_);
  readyChanged_.wait(lock, [&] { return pending.ready; });
}

void GroupPrefetch::retire(Pending& pending) {
  waitReady(pending);
  if (pending.streaming) pending.group->stream.stop();
  pool_.wait(pending.ticket);
  release(pending.group.get());
}

PrefetchedGroup* GroupPrefetch::arrive(uint64_t index) {
  if (current_ != nullptr) {
    std::unique_ptr<Pending> done = std::move(current_);
    retire(*done);
  }
  // Without worker threads there is nothing to gain from inflating ahead.
  if (pool_.workers() == 0) return nullptr;
  for (; queued_ < groups_ && queued_ <= index + kDepth; ++queued_) {
    auto pending = std::make_unique<Pending>();
    pending->index = queued_;
    pending->group = std::make_unique<PrefetchedGroup>();
    Pending* target = pending.get();
    pending->ticket = pool_.submit([this, target](size_t worker) {
      // Ready when the task ends, however it ends, if not before.
      struct Ready {
        ~Ready() {
          {
            std::lock_guard<std::mutex> lock(prefetch->readyMutex_);
            target->ready = true;
          }
          prefetch->readyChanged_.notify_all();
        }
        GroupPrefetch* prefetch;
        Pending* target;
      } ready{this, target};
      prefetch(target->index, *target, *tools_[worker]);
    });
    pending_.push_back(std::move(pending));
  }
  while (!pending_.empty() && pending_.front()->index < index) {
    retire(*pending_.front());
    pending_.pop_front();
  }
  if (pending_.empty() || pending_.front()->index != index) return nullptr;
  current_ = std::move(pending_.front());
  pending_.pop_front();
  waitReady(*current_);
  // A task that streams is still running; any other is done (an exception it threw comes here).
  if (!current_->streaming) pool_.wait(current_->ticket);
  return current_->group.get();
}

bool GroupPrefetch::reserve(PrefetchedGroup* group, size_t bytes) {
  size_t held = reserved_.load();
  do {
    if (held + bytes > budget_) return false;
  } while (!reserved_.compare_exchange_weak(held, held + bytes));
  group->reserved += bytes;
  return true;
}

void GroupPrefetch::giveBack(PrefetchedGroup* group, size_t bytes) {
  bytes = std::min(bytes, group->reserved);
  reserved_ -= bytes;
  group->reserved -= bytes;
}

void GroupPrefetch::release(PrefetchedGroup* group) {
  reserved_ -= group->reserved;
  group->reserved = 0;
}

void GroupPrefetch::prefetch(uint64_t index, Pending& pending, Tools& tools) {
  PrefetchedGroup* group = pending.group.get();
  // Where the walk will look for the section of a sound file: where the record says, up to
  // where the next one's begins (the end of the file after the last).
  const uint64_t sectionData = header_.sectionDataOffset;
  uint8_t bytes[kGroupRecordSize];
  size_t got = 0;
  const uint64_t at = header_.groupTableOffset + index * kGroupRecordSize;
  group->status = input_.readAt(at, bytes, kGroupRecordSize, &got);
  if (!group->status.ok() || got != kGroupRecordSize) return;
  const uint64_t start = sectionData + decodeGroupRecord(bytes).sectionOffset;
  uint64_t end = input_.size();
  if (index + 1 < groups_) {
    group->status = input_.readAt(at + kGroupRecordSize, bytes, kGroupRecordSize, &got);
    if (!group->status.ok() || got != kGroupRecordSize) return;
    end = sectionData + decodeGroupRecord(bytes).sectionOffset;
  }
  if (start < sectionData || end < sectionData || end <= start || end > input_.size()) return;
  // What the walk would stream, the worker streams while the walk reads it.
  const auto stream = [&] {
    group->sectionStart = start;
    group->sectionEnd = end;
    group->sectionStreamed = true;
    {
      std::lock_guard<std::mutex> lock(readyMutex_);
      pending.ready = true;
      pending.streaming = true;
    }
    readyChanged_.notify_all();
    StreamHeads heads(*this, tools);
    group->stream.produce(input_, start, &heads);
  };
  if (end - start > DictionaryReader::kWholeSectionBytes) return stream();
  const size_t size = static_cast<size_t>(end - start);
  tools.compressed.resize(size);
  group->status = input_.readAt(start, tools.compressed.data(), size, &got);
  if (!group->status.ok()) return;
  size_t consumed = 0;
  if (got != size || !tools.stream.inflate(tools.compressed.data(), size,
                                           DictionaryReader::kWholeSectionText, &consumed)) {
    if (size > (size_t{256} << 10)) std::vector<uint8_t>().swap(tools.compressed);
    return stream();
  }
  if (!reserve(group, tools.stream.textSize())) return;
  group->sectionStart = start;
  group->sectionEnd = end;
  group->sectionWhole = true;
  group->sectionConsumed = consumed;
  group->sectionText.assign(tools.stream.text(), tools.stream.text() + tools.stream.textSize());
  if (size > (size_t{256} << 10)) std::vector<uint8_t>().swap(tools.compressed);

  // The blocks the entries name, each once.
  std::vector<uint64_t> keys;
  std::unordered_set<uint64_t> seen;
  uint64_t last = kNone;
  tools.parser.reset();
  const uint8_t* text = group->sectionText.data();
  size_t left = group->sectionText.size();
  while (left > 0 && !tools.parser.broken()) {
    bool complete = false;
    const size_t taken = tools.parser.take(text, left, &complete);
    text += taken;
    left -= taken;
    if (!complete) continue;
    const EntryHeader& entry = tools.parser.entry();
    if (entry.articleLength == 0 || entry.articleBlock == kNone ||
        entry.articleStart > kBlockUnitLimit) {
      continue;
    }
    const uint64_t key = header_.articleDataOffset + entry.articleBlock;
    if (key == last || key < header_.articleDataOffset || key >= articleInput_.size()) continue;
    last = key;
    if (seen.insert(key).second) keys.push_back(key);
  }
  std::sort(keys.begin(), keys.end());
  prefetchBlocks(keys, group, tools);
}

void GroupPrefetch::prefetchBlocks(const std::vector<uint64_t>& keys, PrefetchedGroup* group,
                                   Tools& tools) {
  for (const uint64_t key : keys) {
    bool inflated = false;
    group->status =
        tools.window.inflate(articleInput_, key, tools.stream, kWholeBlockText, &inflated);
    if (!group->status.ok()) return;
    if (!inflated || !InflatedBlock::fromTextAgrees(tools.stream.textSize())) continue;
    InflatedBlock block;
    InflatedBlock::fromText(tools.stream.text(), tools.stream.textSize(), rule_, &block);
    if (!reserve(group, block.footprint())) return;
    group->heads.emplace(key, std::move(block));
  }
}

}  // namespace zorvak
