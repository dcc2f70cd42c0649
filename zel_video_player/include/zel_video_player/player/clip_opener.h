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

#include "zel_video_player/player/clip_decoder.h"
#include "zel_video_player/player/media_folder.h"

namespace zel {

// A clip opened at its start.
struct OpenedClip {
  std::unique_ptr<ClipDecoder> decoder;
  bool first_frame_decoded = false;  // it waits in the decoder
  bool was_ready = true;             // false when take() had to wait for the opening or make it
};

// Opens clips ahead on a thread of its own. A playlist plays its clips over and over; opening the
// next one shortly before it is due keeps its opening out of the gap between one clip's last frame
// and the next one's first. A clip that follows
// itself (a playlist of one) is rewound instead: one decoder, never two, and no opening at all.
// Its calls come from the playing thread.
class ClipOpener {
 public:
  ClipOpener();
  ~ClipOpener();
  ClipOpener(const ClipOpener&) = delete;
  ClipOpener& operator=(const ClipOpener&) = delete;

  // Starts opening `path`; a clip opened earlier and not taken is let go. When `path` is the clip
  // playing now, it is rewound when it is put back, played out.
  void open_ahead(const std::string& path);

  // The clip opened ahead for `path`, waited for if it is still opening; opened now when none was
  // opened ahead for this path or the file has changed since, so a replaced file plays anew. A
  // clip opened ahead for another path is let go first: a decoder at 1080p holds tens of
  // megabytes. A clip that cannot be opened comes back with a decoder that is not open.
  OpenedClip take(const std::string& path);

  // The clip taken last is done with; `played_out` when it played to its end. Its decoder is let go
  // of at once, and the next clip's first frame is decoded ahead: the caller puts a clip back as
  // soon as it has no frame left, before the last one's period has run out.
  void put_back(std::unique_ptr<ClipDecoder> decoder, bool played_out);

  // Decodes the first frame of the clip asked for ahead, on the worker, once it is open: for when
  // what plays now, a still, has shown its last frame.
  void decode_first_frame_ahead();

 private:
  struct Ahead {
    std::string path;
    std::optional<FileStamp> stamp;
    std::optional<OpenedClip> clip;  // empty while the worker opens it
    bool decoding = false;           // the worker decodes its first frame
    bool dropped = false;            // let go: the worker does not open it if it has not begun
  };

  // Lets go of a clip asked for ahead, on the worker, once any opening of it has ended.
  void drop(std::shared_ptr<Ahead> ahead);
  void post(std::function<void()> job);
  void work();

  // The clip taken last, its file's stamp when it was opened, and whether it plays next too.
  std::string playing_path_;
  std::optional<FileStamp> playing_stamp_;
  bool rewind_playing_ = false;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  std::shared_ptr<Ahead> ahead_;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace zel
