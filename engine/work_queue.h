#pragma once
// Items 0 .. count-1 worked on by up to `threads` threads and handed out in
// order. What must happen in item order, or one at a time, runs under the
// queue's one lock; the work itself runs outside it.
#include <cstddef>
#include <functional>
#include <mutex>
#include <stop_token>

namespace quorvel {

class WorkQueue {
 public:
  using Step = std::function<void(std::size_t item)>;

  WorkQueue(std::size_t count, unsigned threads) : count_(count), threads_(threads) {}

  // For each item: `take` under the lock as the item is handed out (so
  // items are taken in order), `work` outside it, `finish` under it. Once
  // `stop` is requested no further item is handed out. Returns when every
  // item handed out is finished.
  void run(const Step& take, const Step& work, const Step& finish, std::stop_token stop = {});

  // Runs `f` under the lock: for what the work reports while it runs.
  template <class F>
  void serialised(F&& f) {
    std::lock_guard lock(mutex_);
    f();
  }

 private:
  std::size_t count_;
  unsigned threads_;
  std::mutex mutex_;
};

}  // namespace quorvel
