#include "zel_video_player/player/clip_opener.h"

namespace zel {

OpenedClip ClipOpener::open(const std::string& path, bool decode_first_frame) {
  OpenedClip clip{std::make_unique<cv::VideoCapture>(path, cv::CAP_FFMPEG)};
  // OpenCV's own turning differs between its releases; ours is the same with each. Its reading of
  // the flag tells cheaply whether there is one at all, so a clip without costs no second opening.
  clip.capture->set(cv::CAP_PROP_ORIENTATION_AUTO, 0);
  if (clip.capture->get(cv::CAP_PROP_ORIENTATION_META) != 0) clip.turn = upright_turn_of(path);
  clip.first_frame_decoded = decode_first_frame && clip.capture->isOpened() && clip.capture->grab();
  return clip;
}

// The caller reads the first frame itself, straight into the buffer that it sends.
OpenedClip ClipOpener::open_when_due(const std::string& path) {
  OpenedClip clip = open(path, false);
  clip.was_ready = false;
  return clip;
}

ClipOpener::ClipOpener() : worker_([this] { work(); }) {}

ClipOpener::~ClipOpener() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void ClipOpener::open_ahead(const std::string& path) {
  auto ahead = std::make_shared<Ahead>();
  ahead->path = path;
  std::shared_ptr<Ahead> replaced;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    replaced = std::exchange(ahead_, ahead);
  }
  if (replaced) drop(std::move(replaced));
  // Taken before the open: a file changed after this moment no longer matches at take().
  post([this, ahead] {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (ahead->dropped) return;
    }
    auto stamp = file_stamp(ahead->path);
    OpenedClip clip = open(ahead->path, true);
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      ahead->stamp = stamp;
      ahead->clip = std::move(clip);
    }
    changed_.notify_all();
  });
}

// Jobs run in order: by the time this one runs, the opening posted before it has finished or was
// skipped, so the capture is released here and not at the end of that job, under the lock.
void ClipOpener::drop(std::shared_ptr<Ahead> ahead) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ahead->dropped = true;
  }
  post([ahead]() mutable {
    if (ahead->clip && ahead->clip->capture) ahead->clip->capture->release();
    ahead.reset();
  });
}

OpenedClip ClipOpener::take(const std::string& path) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!ahead_ || ahead_->path != path) {
    std::shared_ptr<Ahead> other = std::exchange(ahead_, nullptr);
    lock.unlock();
    if (other) drop(std::move(other));
    return open_when_due(path);
  }
  const std::shared_ptr<Ahead> ahead = std::exchange(ahead_, nullptr);
  const bool was_ready = ahead->clip.has_value();
  changed_.wait(lock, [&] { return ahead->clip.has_value(); });
  std::optional<OpenedClip> clip = std::move(ahead->clip);
  clip->was_ready = was_ready;
  const std::optional<FileStamp> opened_stamp = ahead->stamp;
  lock.unlock();
  const std::optional<FileStamp> now_stamp = file_stamp(path);
  if (opened_stamp && now_stamp && *opened_stamp == *now_stamp) return std::move(*clip);
  release_later(std::move(clip->capture));
  return open_when_due(path);
}

void ClipOpener::release_later(std::unique_ptr<cv::VideoCapture> capture) {
  if (!capture) return;
  post([capture = std::shared_ptr<cv::VideoCapture>(std::move(capture))] { capture->release(); });
}

void ClipOpener::post(std::function<void()> job) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  changed_.notify_all();
}

void ClipOpener::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();
    lock.lock();
  }
}

}  // namespace zel
