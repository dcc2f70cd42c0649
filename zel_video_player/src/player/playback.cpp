#include "zel_video_player/player/playback.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "zel_video_player/player/retry_delay.h"
#include "zel_video_player/text/formatting.h"

namespace zel {
namespace {

// Media that showed nothing is tried again as soon as it changes on disk, which stat tells without
// a word; unchanged, after a second, then after ever longer waits up to a minute. Each try of a
// broken file lets FFmpeg and OpenCV say their own lines, which a player in a nodelet manager cannot
// silence without silencing the other nodelets' too.
constexpr auto FIRST_RETRY_DELAY = std::chrono::seconds(1);
constexpr auto LONGEST_RETRY_DELAY = std::chrono::minutes(1);
constexpr auto FAILURE_QUIET_PERIOD = std::chrono::seconds(10);
// The next clip is opened this long before it is due: a 1080p open took 0.07 s on a quiet
// two-core machine and 0.2 s at its p95 on a busy one. Opened any earlier, a robot that moves on
// would have paid for opening clips it never shows.
constexpr double OPEN_AHEAD_LEAD_SECONDS = 0.5;

std::int64_t publication_count(double duration, double fps) {
  const double product = std::trunc(duration * fps);
  if (!(product > 0)) return 0;
  if (product >= static_cast<double>(std::numeric_limits<std::int64_t>::max())) {
    return std::numeric_limits<std::int64_t>::max();
  }
  return static_cast<std::int64_t>(product);
}

// Decoded from memory, where a picture cut short still gives what it holds but libjpeg's warning
// ("Premature end of JPEG file"), which it prints itself whenever it reads a file, stays unsaid.
cv::Mat read_picture(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (bytes.empty()) return {};
  return cv::imdecode(bytes, cv::IMREAD_COLOR);
}

// Frames or publications still to come when the next clip is to be opened.
std::int64_t open_ahead_lead(double rate) {
  return static_cast<std::int64_t>(std::ceil(OPEN_AHEAD_LEAD_SECONDS * rate));
}

std::string seconds_text(Clock::Time time) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", std::chrono::duration<double>(time).count());
  return text;
}

}  // namespace

Playback::Playback(std::string video_folder, const PlayState& state, ShowingBook& status, const Clock& clock,
                   PlaybackOutput& output, StopRequested outside_stop)
    : video_folder_(std::move(video_folder)),
      state_(state),
      status_(status),
      clock_(clock),
      output_(output),
      outside_stop_(std::move(outside_stop)),
      failure_reports_(FAILURE_QUIET_PERIOD) {}

void Playback::main_loop() {
  RetryDelay retry_delay(FIRST_RETRY_DELAY, LONGEST_RETRY_DELAY);
  while (!stopping()) {
    const Scene scene = state_.scene();
    const Playlist& playlist = *scene.to_play;
    const MediaStamps tried = media_stamps(video_folder_, playlist);
    const std::uint64_t sent_before = frames_sent_;
    for (std::size_t i = 0; i < playlist.size(); ++i) {
      // A stopped player starts no further clip: the process, and its log, may run on for long.
      if (state_.change() != scene.change || stopping()) break;
      play_clip(playlist[i], scene.change, playlist[(i + 1) % playlist.size()]);
    }
    if (frames_sent_ != sent_before || state_.change() != scene.change) {
      retry_delay.reset();
      continue;
    }
    // A pass that showed nothing (broken media) must neither spin nor flood the log. A late
    // subscriber to the latched name must not be told of media that no longer shows.
    if (status_.end_showing()) output_.now_showing("");
    wait_before_retry(scene.change, playlist, tried, retry_delay.next());
  }
}

bool Playback::stopping() const { return state_.stop_requested() || outside_stop_(); }

// Media that changed is tried once it looks the same twice in a row: a file being copied in is
// tried when it is whole, not at each block written.
void Playback::wait_before_retry(std::uint64_t change, const Playlist& playlist, const MediaStamps& tried,
                                 std::chrono::steady_clock::duration timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  MediaStamps last_seen = tried;
  for (auto now = std::chrono::steady_clock::now(); now < deadline && !stopping();
       now = std::chrono::steady_clock::now()) {
    if (state_.wait_for_change(change,
                               std::min<std::chrono::steady_clock::duration>(deadline - now, LONGEST_SLEEP))) {
      return;
    }
    const MediaStamps seen = media_stamps(video_folder_, playlist);
    if (seen != tried && seen == last_seen) return;
    last_seen = seen;
  }
}

// The pass's own scene, not the one read anew: a robot arriving just before this call must not see
// the playlist of where it was play out at its new point.
void Playback::play_clip(const std::string& clip_name, std::uint64_t change, const std::string& next) {
  const std::optional<MediaKind> media = media_of(video_folder_, clip_name);
  if (media == MediaKind::still) {
    play_still_at(clip_name, DEFAULT_STILL_SECONDS, DEFAULT_STILL_RATE, change, &next);
  } else if (media == MediaKind::video) {
    play_video_at(clip_name, change, &next);
  } else {
    report_media_failure(clip_name, either_media_path(video_folder_, clip_name), "is missing");
  }
}

// The clip that follows is opened while this one plays, shortly before it ends, so it starts with
// no pause for its opening. Only one clip is held ahead: asking for another lets the earlier one
// go. Never before the current clip's first frame is out: it may be the very file (a playlist of
// one), and the opening would take the CPU from that frame.
void Playback::open_ahead(const std::string& clip_name) {
  if (media_of(video_folder_, clip_name) == MediaKind::video) {
    clip_opener_.open_ahead(video_path(video_folder_, clip_name));
  }
}

FramePacer Playback::pacer(double rate) const {
  return FramePacer(rate, clock_, [this](Clock::Time from, Clock::Time to) {
    output_.log_info(std::string(LOG_PREFIX) + "The clock went back from " + seconds_text(from) + " to " +
                     seconds_text(to) + "; frames are paced afresh from there");
  });
}

Clock::Time Playback::stamp_for(const FramePacer& frame_pacer) {
  return Clock::Time(stamps_.next(clock_.stamp_of(frame_pacer.due()).count()));
}

// A rate that is not a finite number is as good as none reported.
double Playback::video_rate(double reported_fps) {
  if (!std::isfinite(reported_fps)) return IMAGE_RATE_FLOOR;
  return std::max(reported_fps, IMAGE_RATE_FLOOR);
}

bool Playback::is_still(const std::string& clip_name) const { return zel::is_still(video_folder_, clip_name); }

bool Playback::play_video(const std::string& video_name) {
  return play_video_at(video_name, state_.change(), nullptr);
}

bool Playback::play_video_at(const std::string& video_name, std::uint64_t change, const std::string* next) {
  output_.log_info(LOG_PREFIX + ("Playing video " + media_file_name(video_name, MediaKind::video)));
  const std::string path = video_path(video_folder_, video_name);
  OpenedClip clip = clip_opener_.take(path);
  // A clip not ready when due, rather than opened ahead, makes a visible pause.
  status_.clip_started(clip.was_ready);
  std::unique_ptr<ClipDecoder> decoder = std::move(clip.decoder);
  const bool opened = decoder->open();
  const double rate = video_rate(decoder->reported_fps());
  FramePacer frame_pacer = pacer(rate);
  const UprightTurn turn = decoder->turn();
  // A turned clip is decoded here, then turned into the outgoing buffer: one pass over its pixels.
  cv::Mat stored;
  // A clip that does not tell its length opens the next one at its start.
  const std::int64_t open_ahead_after = decoder->frame_count() - open_ahead_lead(rate);
  std::int64_t frames = 0;
  std::int64_t packets_skipped = 0;
  bool ended = false;
  bool decoded = clip.first_frame_decoded;  // the next frame waits in the decoder
  // Done with the decoder as soon as it has no frame left: the next clip's first frame is then
  // decoded while the last one's period runs out.
  const auto finish = [&](bool played_out) {
    packets_skipped = decoder->packets_skipped();
    clip_opener_.put_back(std::move(decoder), played_out);
  };
  while (opened && change == state_.change() && !stopping()) {
    if (!decoded && !decoder->decode_next()) {
      ended = true;
      finish(true);
      break;
    }
    const cv::Size size = upright_size(decoder->frame_size(), turn);
    cv::Mat outgoing = output_.frame_pixels(size.width, size.height);
    if (turn == UprightTurn::none) {
      decoder->convert(outgoing);
    } else {
      decoder->convert(stored);
      turn_upright(stored, turn, outgoing);
    }
    if (frames == 0) playback_began(video_name, MediaKind::video);
    output_.send_frame(outgoing, stamp_for(frame_pacer), frames + 1);
    ++frames;
    ++frames_sent_;
    if (next && frames == std::max<std::int64_t>(1, open_ahead_after)) open_ahead(*next);
    // Decoded while this frame's period runs, a key frame that takes most of a period to decode
    // still goes out on time.
    decoded = decoder->decode_next();
    if (!decoded) finish(true);
    frame_pacer.wait_out_frame(state_, change, [this] { return stopping(); });
    if (!decoded) {
      ended = true;
      break;
    }
  }
  if (decoder) finish(false);
  if (packets_skipped > 0) report_damage(path, packets_skipped);
  if (!opened) {
    report_media_failure(video_name, path, "cannot be opened");
  } else if (frames > 0) {
    media_worked(path);
  } else if (ended) {
    report_media_failure(video_name, path, "gives no frame");
  }
  return !opened || ended;
}

bool Playback::play_still(const std::string& still_name, double duration, double fps) {
  return play_still_at(still_name, duration, fps, state_.change(), nullptr);
}

bool Playback::play_still_at(const std::string& still_name, double duration, double fps, std::uint64_t change,
                             const std::string* next) {
  if (!(fps > 0) || !std::isfinite(fps)) throw std::invalid_argument("a still needs a positive rate");
  output_.log_info(LOG_PREFIX + ("Playing " + media_file_name(still_name, MediaKind::still)));
  FramePacer frame_pacer = pacer(fps);
  const std::string path = still_path(video_folder_, still_name);
  const cv::Mat frame = read_picture(path);
  if (frame.empty()) {
    report_media_failure(still_name, path, "cannot be read as a picture");
    return false;
  }
  media_worked(path);
  const std::int64_t n = publication_count(duration, fps);
  if (n > 0) playback_began(still_name, MediaKind::still);
  output_.hold_still(frame);
  const bool played_out = send_still_paced(n, n - open_ahead_lead(fps), frame_pacer, change, next);
  output_.release_still();
  return played_out;
}

bool Playback::send_still_paced(std::int64_t publications, std::int64_t open_ahead_after, FramePacer& frame_pacer,
                                std::uint64_t change, const std::string* next) {
  for (std::int64_t i = 0; i < publications; ++i) {
    output_.send_still(stamp_for(frame_pacer));
    ++frames_sent_;
    if (next && i + 1 == std::max<std::int64_t>(1, open_ahead_after)) open_ahead(*next);
    if (i + 1 == publications) clip_opener_.decode_first_frame_ahead();
    frame_pacer.wait_out_frame(state_, change, [this] { return stopping(); });
    if (state_.change() != change) return false;
    // A still lasts seconds; without this a Ctrl-C would wait for it to run out.
    if (stopping()) return false;
  }
  return true;
}

// The name goes out before the first frame, so it never announces media that fails; the clip no
// longer fails once it shows.
void Playback::playback_began(const std::string& clip_name, MediaKind kind) {
  output_.now_showing(status_.playback_began(clip_name, kind));
}

// Once: a damaged clip still plays, over and over, and says the same each time.
void Playback::report_damage(const std::string& path, std::int64_t packets_skipped) {
  if (!damage_reported_.insert(path).second) return;
  output_.log_error(LOG_PREFIX + path + " is damaged: " + std::to_string(packets_skipped) +
                  " of its packets could not be decoded and were skipped");
}

// Failing media counts where the robot is now: elsewhere it is not this point's media that fails.
void Playback::report_media_failure(const std::string& clip_name, const std::string& path,
                                    const std::string& problem) {
  status_.media_failed(clip_name, state_.location(), path + " " + problem);
  const auto held_back = failure_reports_.admit(path, RepeatFilter::Clock::now());
  if (!held_back) return;
  if (*held_back > 0) {
    output_.log_error(LOG_PREFIX + path + " " + problem + " (" + std::to_string(*held_back) +
                    " more times since the last report); showing nothing for it");
  } else {
    output_.log_error(LOG_PREFIX + path + " " + problem + "; showing nothing for it");
  }
}

}  // namespace zel
