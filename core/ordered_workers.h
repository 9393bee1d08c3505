// Work shared out over threads and taken back in the order it was handed
// over, so that whatever the caller does with the results happens exactly as
// on one thread. The work must touch nothing but its input and the state of
// its own worker (an encoder, a buffer): no file, table or window. With one
// thread nothing is started and the work is done at once on the caller's
// thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zarno {

template <class Input, class Output, class WorkerState>
class OrderedWorkers {
 public:
  using Work = std::function<Output(WorkerState&, Input&)>;

  OrderedWorkers(uint32_t threads, Work work) : capacity_(threads > 1 ? threads : 1), work_(std::move(work)) {
    if (threads <= 1) {
      ownState_ = std::make_unique<WorkerState>();
      return;
    }
    for (uint32_t i = 0; i < threads; ++i) workers_.emplace_back([this] { Serve(); });
  }
  ~OrderedWorkers() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      waiting_.clear();  // work nobody will take back
      stopping_ = true;
    }
    workAvailable_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }
  OrderedWorkers(const OrderedWorkers&) = delete;
  OrderedWorkers& operator=(const OrderedWorkers&) = delete;

  // How many inputs may be handed over before the oldest is taken back:
  // one per thread.
  size_t Capacity() const { return capacity_; }
  size_t InFlight() const { return handedOver_.size(); }
  // Whether the oldest input handed over has its output.
  bool OldestDone() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return !handedOver_.empty() && handedOver_.front()->done;
  }
  // Waits until a thread is free for one more input: fewer inputs than
  // threads are waiting or being worked on.
  void WaitForFreeThread() {
    std::unique_lock<std::mutex> lock(mutex_);
    workDone_.wait(lock, [&] { return unfinished_ < capacity_; });
  }

  void Submit(Input input) {
    auto job = std::make_shared<Job>();
    job->input = std::move(input);
    handedOver_.push_back(job);
    if (ownState_) {
      job->output = work_(*ownState_, job->input);
      job->done = true;
      return;
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      waiting_.push_back(job);
      ++unfinished_;
    }
    workAvailable_.notify_one();
  }

  // Waits for the oldest input handed over and gives back its output.
  Output TakeOldest() {
    std::shared_ptr<Job> job = std::move(handedOver_.front());
    handedOver_.pop_front();
    std::unique_lock<std::mutex> lock(mutex_);
    workDone_.wait(lock, [&] { return job->done; });
    return std::move(job->output);
  }

 private:
  struct Job {
    Input input;
    Output output{};
    bool done = false;
  };

  void Serve() {
    WorkerState state{};
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      workAvailable_.wait(lock, [&] { return stopping_ || !waiting_.empty(); });
      if (stopping_) return;
      std::shared_ptr<Job> job = std::move(waiting_.front());
      waiting_.pop_front();
      lock.unlock();
      Output output = work_(state, job->input);
      job->input = Input{};  // its memory goes as soon as it is used
      lock.lock();
      job->output = std::move(output);
      job->done = true;
      --unfinished_;
      workDone_.notify_all();
    }
  }

  size_t capacity_;
  Work work_;
  std::unique_ptr<WorkerState> ownState_;       // with one thread
  std::deque<std::shared_ptr<Job>> handedOver_;  // in order; only the caller's thread touches it
  std::mutex mutex_;
  std::condition_variable workAvailable_, workDone_;
  std::deque<std::shared_ptr<Job>> waiting_;  // handed over, not yet started
  size_t unfinished_ = 0;  // handed over, without its output yet
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace zarno
