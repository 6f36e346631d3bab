#ifndef ZORVAK_PLATFORM_WORKER_POOL_H_
#define ZORVAK_PLATFORM_WORKER_POOL_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace zorvak {

// Runs tasks on worker threads. Tasks are numbered in the order they are queued and taken in
// that order; each gets the number of the worker that runs it, so that a caller can keep one
// set of tools (a deflate state, say) per worker. With no workers every task runs at once in
// the thread that queues it, which gives the order of work of a program without threads.
//
// A task should report its own failures; an exception that leaves one is kept and thrown
// again by the next wait(). Destroying the pool drops the tasks not yet taken and waits for the
// ones running, so what they use must outlive the pool.
class WorkerPool {
 public:
  using Task = std::function<void(size_t worker)>;

  // Starts `workers` threads, or as many as the system allows.
  explicit WorkerPool(size_t workers);
  ~WorkerPool();

  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // The number of worker threads; 0 when tasks run in the caller's thread.
  size_t workers() const { return threads_.size(); }
  // How many task tool sets a caller needs: one per worker, at least one.
  size_t slots() const { return threads_.empty() ? 1 : threads_.size(); }

  // Queues a task and returns its number (0 for the first).
  uint64_t submit(Task task);
  // True once task `ticket` has run.
  bool finished(uint64_t ticket);
  // Waits until task `ticket` has run.
  void wait(uint64_t ticket);

  // The number of cores, at least 1.
  static size_t hardwareThreads();

 private:
  void work(size_t worker);
  bool finishedLocked(uint64_t ticket) const;
  void rethrowLocked();

  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable done_;
  std::deque<Task> tasks_;
  uint64_t nextTicket_ = 0;  // the number the next queued task gets
  uint64_t taken_ = 0;       // tasks handed to workers so far
  // Which of the tasks from doneBase_ on have run; every task below doneBase_ has.
  std::deque<bool> doneFlags_;
  uint64_t doneBase_ = 0;
  std::exception_ptr failure_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace zorvak

#endif  // ZORVAK_PLATFORM_WORKER_POOL_H_
