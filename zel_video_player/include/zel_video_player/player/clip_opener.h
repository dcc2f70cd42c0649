#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include "zel_video_player/player/clip_orientation.h"
#include "zel_video_player/player/media_folder.h"

namespace zel {

// A clip opened at its start.
struct OpenedClip {
  std::unique_ptr<cv::VideoCapture> capture;
  // The first frame is decoded and waits in the capture: retrieve() gives it. It is converted to
  // BGR only then, so a clip held ahead holds no BGR frame, neither OpenCV's nor a copy.
  bool first_frame_decoded = false;
  bool was_ready = true;  // false when take() had to wait for the opening or make it
  // The capture gives frames as stored; this turns them as players show them.
  UprightTurn turn = UprightTurn::none;
};

// Opens clips and lets go of them on a thread of its own. A playlist plays its clips over and over;
// opening the next one shortly before it is due, and releasing the finished one afterwards, keeps
// both (0.07 s and a few milliseconds at 1080p) out of the gap between one clip's last frame and
// the next one's first.
class ClipOpener {
 public:
  ClipOpener();
  ~ClipOpener();
  ClipOpener(const ClipOpener&) = delete;
  ClipOpener& operator=(const ClipOpener&) = delete;

  // Starts opening `path` and decoding its first frame; a clip opened earlier and not taken is let go.
  void open_ahead(const std::string& path);

  // The clip opened ahead for `path`, waited for if it is still opening; opened now, without
  // decoding, when none was opened ahead for this path or the file has changed since, so a
  // replaced file plays anew. A clip opened ahead for another path is let go first: a decoder at
  // 1080p holds tens of megabytes. A clip that cannot be opened comes back with a capture that is
  // not open.
  OpenedClip take(const std::string& path);

  void release_later(std::unique_ptr<cv::VideoCapture> capture);

 private:
  struct Ahead {
    std::string path;
    std::optional<FileStamp> stamp;
    std::optional<OpenedClip> clip;  // empty while the worker opens it
    bool dropped = false;            // let go: the worker does not open it if it has not begun
  };

  static OpenedClip open(const std::string& path, bool decode_first_frame);
  // Opened on the caller's thread, at the moment the clip is due: a pause.
  static OpenedClip open_when_due(const std::string& path);
  // Lets go of a clip asked for ahead, on the worker, once any opening of it has ended.
  void drop(std::shared_ptr<Ahead> ahead);
  void post(std::function<void()> job);
  void work();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  std::shared_ptr<Ahead> ahead_;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace zel
