#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace zel {

// How a player loaded into a nodelet manager begins each line it prints or logs, so that players
// side by side can be told apart: "[/robot_a] ". The program's own lines carry none.
std::string nodelet_line_tag(const std::string& nodelet_name);

// A stream that writes to `target` each line once it is complete, `tag` before it, and the
// complete lines of one write in one write: lines of players that share the process's standard
// output never mix. A last line left without its end goes out as the stream ends.
class TaggedLines : public std::ostream {
 public:
  TaggedLines(std::ostream& target, std::string tag);
  ~TaggedLines() override;
  TaggedLines(const TaggedLines&) = delete;
  TaggedLines& operator=(const TaggedLines&) = delete;

 private:
  class Buffer : public std::streambuf {
   public:
    Buffer(std::ostream& target, std::string tag) : target_(target), tag_(std::move(tag)) {}
    void write_unfinished_line();

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

   private:
    std::ostream& target_;
    const std::string tag_;
    std::string unfinished_;  // the start of a line whose end has not come yet
  };

  Buffer buffer_;
};

}  // namespace zel
