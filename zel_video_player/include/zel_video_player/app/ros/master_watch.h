#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zel {

// roscpp registers a node with the master once. A master that restarts (its machine rebooted,
// someone restarted roscore) forgets the node: its existing connections live on, but no new peer
// can find it. This watch asks the master about the node now and then, on a thread of its own so a
// slow master never holds up poses or playback, and registers everything again when it is needed.
class MasterWatch {
 public:
  explicit MasterWatch(std::chrono::milliseconds period);
  ~MasterWatch();
  MasterWatch(const MasterWatch&) = delete;
  MasterWatch& operator=(const MasterWatch&) = delete;

 private:
  enum class Standing { registered, master_away, forgotten };

  void run();
  Standing check() const;
  bool register_again() const;

  const std::chrono::milliseconds period_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace zel
