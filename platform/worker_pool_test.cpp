// The worker pool: every task runs once, with a worker number of its own, and a task's
// exception reaches the thread that waits.

#include "platform/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace zorvak {
namespace {

class WorkerPoolTest : public ::testing::TestWithParam<size_t> {};

TEST_P(WorkerPoolTest, EveryTaskRunsOnceAndFailuresReachTheWaiter) {
  WorkerPool pool(GetParam());
  ASSERT_EQ(pool.slots(), GetParam() == 0 ? 1u : GetParam());
  std::vector<int> runs(1000, 0);
  std::vector<std::atomic<int>> busy(pool.slots());
  std::atomic<bool> shared{false};
  uint64_t last = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    last = pool.submit([&, i](size_t worker) {
      // No two tasks ever hold the same worker's tools at once.
      if (busy[worker]++ != 0) shared = true;
      ++runs[i];
      --busy[worker];
    });
    EXPECT_EQ(last, i);
  }
  // Tasks end in any order: each is waited for by its own number.
  for (uint64_t ticket = 0; ticket <= last; ++ticket) {
    pool.wait(ticket);
    EXPECT_TRUE(pool.finished(ticket));
  }
  EXPECT_EQ(runs, std::vector<int>(runs.size(), 1));
  EXPECT_FALSE(shared);

  if (GetParam() == 0) {
    // Without workers a task runs in the caller, and so does its exception.
    EXPECT_THROW(pool.submit([](size_t) { throw std::runtime_error("task"); }), std::runtime_error);
    return;
  }
  const uint64_t failing = pool.submit([](size_t) { throw std::runtime_error("task"); });
  EXPECT_THROW(pool.wait(failing), std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(Workers, WorkerPoolTest,
                         ::testing::Values(size_t{0}, size_t{1}, size_t{4}));

}  // namespace
}  // namespace zorvak
