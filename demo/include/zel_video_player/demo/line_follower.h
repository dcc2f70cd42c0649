#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zel::demo {

// Reads the lines another program writes, as it writes them: a file is followed like `tail -f`
// (it may grow at any time), a pipe until its writer closes it. Reading happens on a thread of its
// own, so a quiet writer never holds up the caller.
class LineFollower {
 public:
  // "-" follows standard input. Throws std::runtime_error when the file cannot be opened.
  explicit LineFollower(const std::string& source);
  ~LineFollower();
  LineFollower(const LineFollower&) = delete;
  LineFollower& operator=(const LineFollower&) = delete;

  // The complete lines read since the last call, without their line ends.
  std::vector<std::string> take_lines();
  // A pipe's writer has closed it; a followed file never ends.
  bool ended() const { return ended_.load(); }

 private:
  void run();
  void add_text(const char* text, std::size_t size);

  int fd_ = -1;
  bool owns_fd_ = false;
  bool is_file_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> ended_{false};
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::string partial_;
  std::thread thread_;
};

}  // namespace zel::demo
