#include "reader/article_places.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace zorvak::testing {
namespace {

// The rules said plainly: every unit taken by the group, and the end of the furthest article of
// the groups before. The places must give the verdicts this gives, over groups of many blocks.
TEST(ArticlePlaces, TellsWhatTheUnitsTakenSoFarTell) {
  std::mt19937 random(7);
  ArticlePlaces places;
  std::pair<uint64_t, uint64_t> floor{0, 0};
  for (int group = 0; group < 40; ++group) {
    std::map<uint64_t, std::set<uint64_t>> taken;
    std::pair<uint64_t, uint64_t> groupEnd = floor;
    // Small groups and groups of hundreds of blocks, the blocks scattered as in a shuffled file.
    const int blocks = group % 3 == 0 ? 600 : 1 + static_cast<int>(random() % 20);
    for (int i = 0; i < 4 * blocks; ++i) {
      const uint64_t block = floor.first + random() % (3 * blocks) * 4099;
      const uint64_t start = random() % 200;
      const uint64_t end = start + 1 + random() % 30;
      ArticlePlaces::Verdict want = ArticlePlaces::Verdict::kFree;
      if (std::make_pair(block, start) < floor) {
        want = ArticlePlaces::Verdict::kBeforeFloor;
      } else {
        const std::set<uint64_t>& units = taken[block];
        auto at = units.lower_bound(start);
        if (at != units.end() && *at < end) want = ArticlePlaces::Verdict::kOverlap;
      }
      places.prefetch(block, start);
      ASSERT_EQ(places.check(block, start, end), want)
          << "group " << group << " block " << block << " units " << start << "-" << end;
      if (want != ArticlePlaces::Verdict::kFree) continue;
      places.take(block, start, end);
      for (uint64_t unit = start; unit < end; ++unit)
        taken[block].insert(unit);
      groupEnd = std::max(groupEnd, std::make_pair(block, end));
    }
    places.endGroup();
    floor = groupEnd;
    EXPECT_EQ(places.floorBlock(), floor.first);
  }
}

TEST(ArticlePlaces, FollowsAtMostTheMostBlocksAGroupMayHave) {
  ArticlePlaces places;
  for (int group = 0; group < 2; ++group) {
    const uint64_t first = group * (ArticlePlaces::kMaxGroupBlocks + 1);
    for (uint64_t block = first; block < first + ArticlePlaces::kMaxGroupBlocks; ++block) {
      ASSERT_EQ(places.check(block, 0, 1), ArticlePlaces::Verdict::kFree);
      places.take(block, 0, 1);
    }
    const uint64_t past = first + ArticlePlaces::kMaxGroupBlocks;
    EXPECT_EQ(places.check(past, 0, 1), ArticlePlaces::Verdict::kTooManyBlocks);
    EXPECT_EQ(places.check(first, 0, 1), ArticlePlaces::Verdict::kOverlap);
    places.endGroup();
  }
}

}  // namespace
}  // namespace zorvak::testing
