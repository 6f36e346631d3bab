#include "compiler/index_groups.h"

#include <algorithm>

namespace zorvak {

void EntryChains::add(uint64_t position, Chain& chain) {
  const uint32_t entry = static_cast<uint32_t>(positions_.size());
  positions_.push_back(position);
  next_.push_back(kNoEntry);
  if (chain.first == kNoEntry) {
    chain.first = entry;
  } else {
    next_[chain.last] = entry;
  }
  chain.last = entry;
}

void IndexGroups::registerEntry(uint32_t key, uint64_t position, uint64_t recordPosition) {
  if (position == kNone) {
    ++alternativeEntries_;
  } else {
    ++mainEntries_;
  }
  auto [it, added] = groupOfKey_.try_emplace(key, static_cast<uint32_t>(groups_.size()));
  if (added) {
    IndexGroup group;
    group.key = key;
    groups_.push_back(group);
  }
  IndexGroup& group = groups_[it->second];
  ++group.entryCount;
  if (position != kNone) {
    if (group.firstPosition == kNone) group.firstPosition = position;
    group.lastPosition = position;
    sourceChains_.add(position, group.sourceEntries);
  } else if (recordPosition != kNone) {
    alternativeChains_.add(recordPosition, group.alternativeRecords);
  }
}

void IndexGroups::sortGroups() {
  std::sort(groups_.begin(), groups_.end(),
            [](const IndexGroup& a, const IndexGroup& b) { return a.key < b.key; });
  groupOfKey_ = {};
}

}  // namespace zorvak
