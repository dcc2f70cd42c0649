#include "zel_video_player/player/clip_opener.h"

namespace zel {

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
  rewind_playing_ = path == playing_path_;
  std::shared_ptr<Ahead> ahead;
  if (!rewind_playing_) {
    ahead = std::make_shared<Ahead>();
    ahead->path = path;
  }
  std::shared_ptr<Ahead> replaced;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    replaced = std::exchange(ahead_, ahead);
  }
  if (replaced) drop(std::move(replaced));
  if (!ahead) return;
  // Taken before the open: a file changed after this moment no longer matches at take().
  post([this, ahead] {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (ahead->dropped) return;
    }
    auto stamp = file_stamp(ahead->path);
    OpenedClip clip{std::make_unique<ClipDecoder>(ahead->path)};
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      ahead->stamp = stamp;
      ahead->clip = std::move(clip);
    }
    changed_.notify_all();
  });
}

// Jobs run in order: by the time this one runs, the opening posted before it has finished or was
// skipped, so the decoder is released here and not at the end of that job, under the lock.
void ClipOpener::drop(std::shared_ptr<Ahead> ahead) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ahead->dropped = true;
  }
  post([ahead]() mutable { ahead.reset(); });
}

OpenedClip ClipOpener::take(const std::string& path) {
  playing_path_ = path;
  rewind_playing_ = false;
  std::unique_lock<std::mutex> lock(mutex_);
  std::shared_ptr<Ahead> ahead = std::exchange(ahead_, nullptr);
  if (ahead && ahead->path == path) {
    const bool was_ready = ahead->clip.has_value() && !ahead->decoding;
    changed_.wait(lock, [&] { return ahead->clip.has_value() && !ahead->decoding; });
    OpenedClip clip = std::move(*ahead->clip);
    clip.was_ready = was_ready;
    playing_stamp_ = ahead->stamp;
    lock.unlock();
    const std::optional<FileStamp> now_stamp = file_stamp(path);
    if (playing_stamp_ && now_stamp && *playing_stamp_ == *now_stamp) return clip;
    clip.decoder.reset();
  } else {
    lock.unlock();
    if (ahead) drop(std::move(ahead));
  }
  // Opened on this thread, at the moment the clip is due: a pause.
  playing_stamp_ = file_stamp(path);
  OpenedClip clip{std::make_unique<ClipDecoder>(path)};
  clip.was_ready = false;
  return clip;
}

void ClipOpener::put_back(std::unique_ptr<ClipDecoder> decoder, bool played_out) {
  if (rewind_playing_ && played_out && decoder->rewind()) {
    auto ahead = std::make_shared<Ahead>();
    ahead->path = playing_path_;
    ahead->stamp = playing_stamp_;
    ahead->clip = OpenedClip{std::move(decoder)};
    std::shared_ptr<Ahead> replaced;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      replaced = std::exchange(ahead_, ahead);
    }
    if (replaced) drop(std::move(replaced));
  } else {
    // Let go of here, before the next clip's decoder takes memory: the heap keeps what is freed,
    // so the next one reuses these warm pages and the player never holds two decoders' frames.
    decoder.reset();
  }
  playing_path_.clear();
  rewind_playing_ = false;
  if (played_out) decode_first_frame_ahead();
}

void ClipOpener::decode_first_frame_ahead() {
  std::shared_ptr<Ahead> ahead;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!ahead_) return;
    ahead = ahead_;
    ahead->decoding = true;
  }
  // Jobs run in order: the opening posted before this one has ended, and a drop posted after it
  // waits for it.
  post([this, ahead] {
    ClipDecoder* decoder = nullptr;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (ahead->clip && !ahead->dropped) decoder = ahead->clip->decoder.get();
    }
    const bool decoded = decoder && decoder->decode_next();
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (ahead->clip) ahead->clip->first_frame_decoded = decoded;
      ahead->decoding = false;
    }
    changed_.notify_all();
  });
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
