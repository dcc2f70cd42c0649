#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace zel::testing {

// A temporary folder removed with its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);

// A child process whose output goes to files, so nothing blocks on a full pipe.
class Process {
 public:
  // With `stdout_through_pipe` the child writes its standard output into a pipe, as under `| tee`
  // or a log collector; a thread here copies whatever arrives to the file at once.
  Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
          const std::string& output_dir, bool stdout_through_pipe = false);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  pid_t pid() const { return pid_; }
  void signal(int signal_number) const;
  // The exit status, or -signal when a signal ended it; empty when it is still running.
  std::optional<int> wait_for(std::chrono::milliseconds timeout);
  std::string out() const { return read_file(stdout_path_); }
  std::string err() const { return read_file(stderr_path_); }
  // Waits until standard output holds the text; false on timeout or exit.
  bool wait_for_output(const std::string& text, std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::thread pipe_reader_;
  std::string stdout_path_;
  std::string stderr_path_;
};

// What this process writes to a file descriptor (1 or 2) while the object lives, kept in a file:
// the output of the nodelets this process loads as their manager.
class CapturedOutput {
 public:
  explicit CapturedOutput(int descriptor);
  ~CapturedOutput();
  std::string text() const;

 private:
  const int descriptor_;
  const int saved_;
  const TempDir dir_;
};

int free_tcp_port();
// Whether something listens on the loopback port, as a started server does once it is ready.
bool port_accepts(int port);

// A private rosmaster on a free port, with the environment a ROS process needs to reach it.
class RosMaster {
 public:
  RosMaster();
  ~RosMaster();
  const std::map<std::string, std::string>& env() const { return env_; }
  const std::string& uri() const { return uri_; }
  const std::string& dir() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::string uri_;
  std::map<std::string, std::string> env_;
  std::optional<Process> master_;
};

// Every line of `text` that contains `needle`.
std::vector<std::string> lines_containing(const std::string& text, const std::string& needle);
std::vector<std::string> split_lines(const std::string& text);

}  // namespace zel::testing
