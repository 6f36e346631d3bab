#include "platform/worker_pool.h"

#include <system_error>
#include <utility>

namespace zorvak {

WorkerPool::WorkerPool(size_t workers) {
  threads_.reserve(workers);
  for (size_t i = 0; i < workers; ++i) {
    try {
      threads_.emplace_back([this, i] { work(i); });
    } catch (const std::system_error&) {
      // No room for another thread (an address space limit, say): fewer workers do the work.
      break;
    }
  }
}

WorkerPool::~WorkerPool() {
  {
    // Tasks not yet taken are dropped; the ones running are finished.
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    tasks_.clear();
  }
  queued_.notify_all();
  for (std::thread& thread : threads_)
    thread.join();
}

size_t WorkerPool::hardwareThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : cores;
}

uint64_t WorkerPool::submit(Task task) {
  if (threads_.empty()) {
    // No workers: the task runs here and now.
    task(0);
    return nextTicket_++;
  }
  uint64_t ticket = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ticket = nextTicket_++;
    tasks_.push_back(std::move(task));
    doneFlags_.push_back(false);
  }
  queued_.notify_one();
  return ticket;
}

bool WorkerPool::finishedLocked(uint64_t ticket) const {
  if (ticket < doneBase_) return true;
  return ticket - doneBase_ < doneFlags_.size() && doneFlags_[ticket - doneBase_];
}

void WorkerPool::rethrowLocked() {
  if (failure_ != nullptr) {
    std::exception_ptr failure = std::exchange(failure_, nullptr);
    std::rethrow_exception(failure);
  }
}

bool WorkerPool::finished(uint64_t ticket) {
  if (threads_.empty()) return ticket < nextTicket_;
  std::lock_guard<std::mutex> lock(mutex_);
  return finishedLocked(ticket);
}

void WorkerPool::wait(uint64_t ticket) {
  if (threads_.empty()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return finishedLocked(ticket) || failure_ != nullptr; });
  rethrowLocked();
}

void WorkerPool::work(size_t worker) {
  for (;;) {
    Task task;
    uint64_t ticket = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      queued_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
      ticket = taken_++;
    }
    std::exception_ptr failure;
    try {
      task(worker);
    } catch (...) {
      failure = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      doneFlags_[ticket - doneBase_] = true;
      while (!doneFlags_.empty() && doneFlags_.front()) {
        doneFlags_.pop_front();
        ++doneBase_;
      }
      if (failure != nullptr && failure_ == nullptr) failure_ = failure;
    }
    done_.notify_all();
  }
}

}  // namespace zorvak
