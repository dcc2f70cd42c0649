#include "player_output.h"

#include <cmath>
#include <regex>

#include "zel_video_player/number_text.h"

namespace zel::demo {
namespace {

const std::string TEST_HEADING = "ZEL video player: Test locations:";
const std::string GENERATED_HEADING = "ZEL video player: Generated locations:";
const std::string LEAVING_LINE = "Out of point of interest, playing empty video.";
const std::string RADIUS_ECHO = "         radius: ";

std::optional<Coordinate> parse_coordinate(const std::string& text) {
  static const std::regex whole(R"(-?[0-9]+)");
  static const std::regex real(R"(-?[0-9]+(\.[0-9]+)?(e[+-][0-9]+)?)");
  const bool is_whole = std::regex_match(text, whole);
  if (!is_whole && !std::regex_match(text, real)) return std::nullopt;
  const auto value = parse_real(text);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  return Coordinate{*value, is_whole};
}

bool looks_like_listing_line(const std::string& line) {
  static const std::regex start(R"(    [0-9]+\. \(.*)");
  return std::regex_match(line, start);
}

}  // namespace

std::optional<ListingLine> parse_listing_line(const std::string& line) {
  static const std::regex pattern(R"(    ([0-9]{1,9})\. \(([^,() ]+), ([^,() ]+)\))");
  std::smatch match;
  if (!std::regex_match(line, match, pattern)) return std::nullopt;
  const auto x = parse_coordinate(match[2]);
  const auto y = parse_coordinate(match[3]);
  if (!x || !y) return std::nullopt;
  return ListingLine{std::stoul(match[1]), Location{*x, *y}};
}

std::optional<std::vector<std::string>> parse_name_list(const std::string& text) {
  static const std::regex list(R"(\[('[^',]*'(, '[^',]*')*)?\])");
  if (!std::regex_match(text, list)) return std::nullopt;
  static const std::regex quoted(R"('([^']*)')");
  std::vector<std::string> names;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), quoted); it != std::sregex_iterator(); ++it) {
    names.push_back((*it)[1]);
  }
  return names;
}

void PlayerOutput::add_line(const std::string& line) {
  static const std::regex arrival(R"(Inside radius of point of interest of location ([0-9]{1,9}))");
  static const std::string playlist_prefix = "Playlist is now: ";
  if (line == TEST_HEADING || line == GENERATED_HEADING) {
    // A heading starts a listing afresh, as when the player was started again on the same file.
    listing_started_ = true;
    listing_closed_ = false;
    points_.clear();
    listing_error_.reset();
    return;
  }
  if (listing_started_ && !listing_closed_) {
    add_listing_line(line);
    if (!listing_closed_) return;
  }
  std::smatch match;
  if (line.rfind(RADIUS_ECHO, 0) == 0) {
    radius_ = parse_real(line.substr(RADIUS_ECHO.size()));
  } else if (std::regex_match(line, match, arrival)) {
    pending_arrival_ = std::stoul(match[1]);
  } else if (line.rfind(playlist_prefix, 0) == 0 && pending_arrival_) {
    if (auto names = parse_name_list(line.substr(playlist_prefix.size()))) {
      arrivals_.push_back({*pending_arrival_, std::move(*names)});
      inside_ = true;
    }
    pending_arrival_.reset();
  } else if (line == LEAVING_LINE) {
    inside_ = false;
  }
}

void PlayerOutput::add_listing_line(const std::string& line) {
  const auto parsed = parse_listing_line(line);
  if (!parsed) {
    if (looks_like_listing_line(line)) listing_error_ = "cannot read the listing line \"" + line + "\"";
    listing_closed_ = true;
    return;
  }
  if (parsed->number != points_.size() + 1) {
    listing_error_ = "listing line out of order: \"" + line + "\" after " + std::to_string(points_.size()) +
                     " points";
    listing_closed_ = true;
    return;
  }
  points_.push_back(parsed->location);
}

std::optional<Arrival> PlayerOutput::current() const {
  if (!inside_ || arrivals_.empty()) return std::nullopt;
  return arrivals_.back();
}

}  // namespace zel::demo
