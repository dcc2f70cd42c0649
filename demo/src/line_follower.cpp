#include "zel_video_player/demo/line_follower.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace zel::demo {
namespace {

constexpr int POLL_MILLISECONDS = 50;

}  // namespace

LineFollower::LineFollower(const std::string& source) {
  if (source == "-") {
    fd_ = STDIN_FILENO;
  } else {
    fd_ = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw std::runtime_error("cannot open " + source + ": " + std::strerror(errno));
    owns_fd_ = true;
  }
  struct stat status {};
  is_file_ = ::fstat(fd_, &status) == 0 && S_ISREG(status.st_mode);
  thread_ = std::thread(&LineFollower::run, this);
}

LineFollower::~LineFollower() {
  stop_ = true;
  thread_.join();
  if (owns_fd_) ::close(fd_);
}

std::vector<std::string> LineFollower::take_lines() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> taken;
  taken.swap(lines_);
  return taken;
}

void LineFollower::run() {
  char buffer[4096];
  while (!stop_) {
    pollfd watched{fd_, POLLIN, 0};
    const int ready = ::poll(&watched, 1, POLL_MILLISECONDS);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    const ssize_t count = ::read(fd_, buffer, sizeof buffer);
    if (count > 0) {
      add_text(buffer, static_cast<std::size_t>(count));
    } else if (count == 0 && is_file_) {
      // The end of a file only means the writer has not written more yet.
      std::this_thread::sleep_for(std::chrono::milliseconds(POLL_MILLISECONDS));
    } else if (count == 0 || errno != EINTR) {
      break;
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!stop_ && !partial_.empty()) lines_.push_back(std::move(partial_));
  ended_ = !stop_;
}

void LineFollower::add_text(const char* text, std::size_t size) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::size_t i = 0; i < size; ++i) {
    if (text[i] == '\n') {
      lines_.push_back(std::move(partial_));
      partial_.clear();
    } else {
      partial_ += text[i];
    }
  }
}

}  // namespace zel::demo
