#include "compiler/index_groups.h"

#include <algorithm>

namespace zorvak {

void IndexGroups::registerEntry(uint32_t key, uint64_t position, uint64_t recordPosition,
                                uint64_t recordSize) {
  if (position == kNone) {
    ++alternativeEntries_;
  } else {
    ++mainEntries_;
  }
  uint32_t group = groupOf(key);
  if (group == kNoGroup) {
    group = static_cast<uint32_t>(groups_.size());
    IndexGroup added;
    added.key = key;
    groups_.push_back(added);
    index_.insert(hashOf(key), group);
  }
  ++groups_[group].entryCount;
  if (position != kNone) {
    // Source entries stand back to back: this one ends the one registered before.
    if (openGroup_ != kNoGroup)
      groups_[openGroup_].source.add(openPosition_, position - openPosition_);
    openGroup_ = group;
    openPosition_ = position;
  } else if (recordPosition != kNone) {
    groups_[group].alternatives.add(recordPosition, recordSize);
  }
}

void IndexGroups::closeSource(uint64_t end) {
  if (openGroup_ != kNoGroup && end >= openPosition_) {
    groups_[openGroup_].source.add(openPosition_, end - openPosition_);
  }
  openGroup_ = kNoGroup;
}

uint32_t IndexGroups::groupOf(uint32_t key) const {
  return index_.find(hashOf(key), [&](uint32_t group) { return groups_[group].key == key; });
}

void IndexGroups::sortGroups() {
  std::sort(groups_.begin(), groups_.end(),
            [](const IndexGroup& a, const IndexGroup& b) { return a.key < b.key; });
  index_.clear();
  for (uint32_t group = 0; group < groups_.size(); ++group)
    index_.insert(hashOf(groups_[group].key), group);
}

}  // namespace zorvak
