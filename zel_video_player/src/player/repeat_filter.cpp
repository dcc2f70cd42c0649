#include "zel_video_player/player/repeat_filter.h"

namespace zel {

std::optional<int> RepeatFilter::admit(const std::string& key, Clock::time_point now) {
  const auto found = last_reports_.find(key);
  if (found == last_reports_.end()) {
    last_reports_.emplace(key, LastReport{now, 0});
    return 0;
  }
  LastReport& last = found->second;
  if (now - last.when < quiet_period_) {
    ++last.held_back;
    return std::nullopt;
  }
  const int held_back = last.held_back;
  last = LastReport{now, 0};
  return held_back;
}

}  // namespace zel
