#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zel::bench {

// What a decode-only child process tells the benchmark that started it, through a file both map.
struct DecodeRecord {
  static constexpr std::size_t CAPACITY = 1 << 20;
  std::atomic<std::uint64_t> frames;
  std::uint32_t decode_microseconds[CAPACITY];  // by frame number, modulo CAPACITY
};
static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "the count is shared between processes");

class SharedDecodeRecord {
 public:
  // `create` makes the file anew; otherwise it must exist.
  SharedDecodeRecord(const std::string& path, bool create);
  ~SharedDecodeRecord();
  SharedDecodeRecord(const SharedDecodeRecord&) = delete;
  SharedDecodeRecord& operator=(const SharedDecodeRecord&) = delete;

  DecodeRecord& record() { return *record_; }
  std::uint64_t frames() const { return record_->frames.load(std::memory_order_acquire); }
  // Decode times in seconds of frames [from, to); `to` no later than frames().
  std::vector<double> decode_seconds(std::uint64_t from, std::uint64_t to) const;

 private:
  DecodeRecord* record_ = nullptr;
};

// Decodes the clip over and over as the player does (one capture per pass, paced by its pacer),
// but publishes nothing: the baseline that a published frame is measured against. Stops after
// `max_frames` frames, or never when it is 0.
void run_decode_loop(const std::string& clip, DecodeRecord& record, std::uint64_t max_frames);

// The decode-only child process: `decode-loop --clip FILE --record FILE [--frames N]`, the record
// made beforehand by the benchmark that started it.
int run_decode_loop_role(int argc, char** argv);

// What starting a clip costs: seconds from opening it to holding its first decoded frame, and
// seconds to release it after its second frame (a switch releases the clip it leaves).
struct ClipStartTimes {
  double open_to_first_frame;
  double release;
};
ClipStartTimes time_clip_start(const std::string& clip);

}  // namespace zel::bench
