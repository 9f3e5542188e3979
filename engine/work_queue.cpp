#include "engine/work_queue.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace quorvel {

void WorkQueue::run(const Step& take, const Step& work, const Step& finish, std::stop_token stop) {
  std::size_t next = 0;
  auto worker = [&] {
    for (;;) {
      std::size_t item;
      {
        std::lock_guard lock(mutex_);
        if (next == count_ || stop.stop_requested()) return;
        item = next++;
        if (take) take(item);
      }
      if (work) work(item);
      std::lock_guard lock(mutex_);
      if (finish) finish(item);
    }
  };
  const auto threads = static_cast<unsigned>(std::min<std::size_t>(std::max(1u, threads_), count_));
  std::vector<std::jthread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
}

}  // namespace quorvel
