#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "zel_video_player/player/clip_opener.h"
#include "zel_video_player/player/clock.h"
#include "zel_video_player/player/frame_pacer.h"
#include "zel_video_player/player/frame_stamps.h"
#include "zel_video_player/player/media_folder.h"
#include "zel_video_player/player/play_state.h"
#include "zel_video_player/player/playback_output.h"
#include "zel_video_player/player/showing_book.h"
#include "zel_video_player/player/repeat_filter.h"
#include "zel_video_player/cancellation.h"

namespace zel {

// Plays what belongs to the robot's point: the playlist over and over, each video frame by frame
// at its own rate (30 a second at least), each still 240 times over eight seconds, switching as
// soon as the point changes. Frames are paced on `clock`, which may be simulated; the retries of
// broken media and the quiet periods of its reports are about the real world and stay on wall time.
// Everything it shows goes to `output`, and what shows and what fails is kept in `status`. One thread
// plays; any other may change the point or ask for a stop through `state`.
class Playback {
 public:
  // Videos play at their own rate but never below this, stills at exactly this.
  static constexpr double IMAGE_RATE_FLOOR = 30.0;
  static constexpr double DEFAULT_STILL_SECONDS = 8.0;
  static constexpr double DEFAULT_STILL_RATE = IMAGE_RATE_FLOOR;

  // The pace of a video whose container reports `reported_fps`: 0, or not a number, when it cannot tell.
  static double video_rate(double reported_fps);

  // `video_folder` ends in "/". `state`, `status`, `clock` and `output` must outlive the playback.
  // `outside_stop` tells of a stop that does not come through `state`, such as the process's own
  // shutdown; it is asked at least ten times a second.
  Playback(std::string video_folder, const PlayState& state, ShowingBook& status, const Clock& clock,
           PlaybackOutput& output, StopRequested outside_stop = [] { return false; });

  // Plays the current playlist over and over until a stop.
  void main_loop();

  bool is_still(const std::string& clip_name) const;

  // True when the clip ended by itself (or gave no frame); false when the robot's point changed or
  // a stop came.
  bool play_video(const std::string& video_name);

  // True when every publication was made; false when it stopped early or the picture is unusable.
  // Throws std::invalid_argument for a rate that is not a positive number.
  bool play_still(const std::string& still_name, double duration = DEFAULT_STILL_SECONDS,
                  double fps = DEFAULT_STILL_RATE);

 private:
  bool stopping() const;
  void play_clip(const std::string& clip_name, std::uint64_t change, const std::string& next);
  void open_ahead(const std::string& clip_name);
  FramePacer pacer(double rate) const;
  // The stamp of the frame `frame_pacer` has due now.
  Clock::Time stamp_for(const FramePacer& frame_pacer);
  // `next`, when given, is opened ahead shortly before this clip ends.
  // `change` is the scene's the clip plays in: the clip ends when the scene changes.
  bool play_video_at(const std::string& video_name, std::uint64_t change, const std::string* next);
  bool play_still_at(const std::string& still_name, double duration, double fps, std::uint64_t change,
                     const std::string* next);
  // True when every publication was made. `next` is opened ahead after `open_ahead_after` of them.
  bool send_still_paced(std::int64_t publications, std::int64_t open_ahead_after, FramePacer& frame_pacer,
                        std::uint64_t change, const std::string* next);
  void playback_began(const std::string& clip_name, MediaKind kind);
  // Until the scene changes, a stop, the timeout, or a change on disk to the playlist's media, which
  // were `tried`.
  void wait_before_retry(std::uint64_t change, const Playlist& playlist, const MediaStamps& tried,
                         std::chrono::steady_clock::duration timeout) const;
  void report_media_failure(const std::string& clip_name, const std::string& path, const std::string& problem);
  void media_worked(const std::string& path) { failure_reports_.forget(path); }
  void report_damage(const std::string& path, std::int64_t packets_skipped);

  const std::string video_folder_;
  const PlayState& state_;
  ShowingBook& status_;
  const Clock& clock_;
  PlaybackOutput& output_;
  const StopRequested outside_stop_;
  std::uint64_t frames_sent_ = 0;  // tells a pass that showed nothing
  FrameStamps stamps_;
  RepeatFilter failure_reports_;
  std::set<std::string> damage_reported_;
  ClipOpener clip_opener_;
};

}  // namespace zel
