#include "zel_video_player/text/tagged_lines.h"

#include <string_view>
#include <utility>

namespace zel {

std::string nodelet_line_tag(const std::string& nodelet_name) { return "[" + nodelet_name + "] "; }

TaggedLines::TaggedLines(std::ostream& target, std::string tag)
    : std::ostream(nullptr), buffer_(target, std::move(tag)) {
  rdbuf(&buffer_);
}

TaggedLines::~TaggedLines() { buffer_.write_unfinished_line(); }

TaggedLines::Buffer::int_type TaggedLines::Buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  const char character = traits_type::to_char_type(c);
  xsputn(&character, 1);
  return c;
}

std::streamsize TaggedLines::Buffer::xsputn(const char* text, std::streamsize count) {
  const std::string_view given(text, static_cast<std::size_t>(count));
  std::string complete;
  std::size_t start = 0;
  for (std::size_t end = given.find('\n'); end != std::string_view::npos; end = given.find('\n', start)) {
    complete += tag_;
    complete += unfinished_;
    complete += given.substr(start, end + 1 - start);
    unfinished_.clear();
    start = end + 1;
  }
  unfinished_ += given.substr(start);
  if (!complete.empty()) target_.write(complete.data(), static_cast<std::streamsize>(complete.size()));
  return count;
}

int TaggedLines::Buffer::sync() { return target_.flush() ? 0 : -1; }

void TaggedLines::Buffer::write_unfinished_line() {
  if (unfinished_.empty()) return;
  target_ << tag_ + unfinished_ << std::flush;
  unfinished_.clear();
}

}  // namespace zel
