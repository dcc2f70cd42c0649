#include "process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace zel::testing {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "zel_test_XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string read_file(const std::string& path) {
  std::ifstream file(path);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

Process::Process(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
                 const std::string& output_dir, bool stdout_through_pipe) {
  static int counter = 0;
  const std::string stem = output_dir + "/proc" + std::to_string(++counter);
  stdout_path_ = stem + ".out";
  stderr_path_ = stem + ".err";
  std::map<std::string, std::string> merged;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    const auto equals = text.find('=');
    merged[text.substr(0, equals)] = text.substr(equals + 1);
  }
  for (const auto& [key, value] : env) merged[key] = value;
  std::vector<std::string> env_strings;
  for (const auto& [key, value] : merged) env_strings.push_back(key + "=" + value);

  int pipe_ends[2] = {-1, -1};
  if (stdout_through_pipe && ::pipe2(pipe_ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::setpgid(0, 0);
    const int out = stdout_through_pipe ? pipe_ends[1] : ::open(stdout_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(stderr_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& entry : env_strings) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    ::execvpe(args[0], args.data(), envp.data());
    ::_exit(127);
  }
  if (stdout_through_pipe) {
    ::close(pipe_ends[1]);
    const int file = ::open(stdout_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pipe_reader_ = std::thread([from = pipe_ends[0], file] {
      char buffer[4096];
      for (ssize_t n; (n = ::read(from, buffer, sizeof buffer)) > 0;) {
        if (::write(file, buffer, static_cast<size_t>(n)) != n) break;
      }
      ::close(from);
      ::close(file);
    });
  }
}

Process::~Process() {
  if (!status_) {
    ::kill(pid_, SIGKILL);
    wait_for(5s);
  }
  if (pipe_reader_.joinable()) pipe_reader_.join();
}

void Process::signal(int signal_number) const {
  if (!status_) ::kill(pid_, signal_number);
}

std::optional<int> Process::wait_for(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!status_) {
    int raw = 0;
    const pid_t done = ::waitpid(pid_, &raw, WNOHANG);
    if (done == pid_) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
      break;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(10ms);
  }
  return status_;
}

bool Process::wait_for_output(const std::string& text, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (out().find(text) != std::string::npos) return true;
    if (wait_for(0ms)) return out().find(text) != std::string::npos;
    std::this_thread::sleep_for(20ms);
  }
  return false;
}

CapturedOutput::CapturedOutput(int descriptor) : descriptor_(descriptor), saved_(::dup(descriptor)) {
  std::fflush(nullptr);
  const int file = ::open((dir_.path() + "/captured").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ::dup2(file, descriptor_);
  ::close(file);
}

CapturedOutput::~CapturedOutput() {
  std::fflush(nullptr);
  ::dup2(saved_, descriptor_);
  ::close(saved_);
}

std::string CapturedOutput::text() const {
  std::fflush(nullptr);
  return read_file(dir_.path() + "/captured");
}

int free_tcp_port() {
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  ::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(sock);
  return ntohs(address.sin_port);
}

bool port_accepts(int port) {
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(sock);
  return ok;
}

RosMaster::RosMaster() {
  const int port = free_tcp_port();
  uri_ = "http://127.0.0.1:" + std::to_string(port);
  env_ = {{"ROS_MASTER_URI", uri_}, {"ROS_HOSTNAME", "127.0.0.1"}, {"ROS_HOME", dir_.path()},
          {"ROS_LOG_DIR", dir_.path() + "/log"}, {"PYTHONUNBUFFERED", "1"}};
  master_.emplace(std::vector<std::string>{"rosmaster", "--core", "-p", std::to_string(port)}, env_,
                  dir_.path());
  // As scripts/private_master.sh waits: until the port answers, for at most 15 s, not at all once
  // the master has ended.
  const auto deadline = std::chrono::steady_clock::now() + 15s;
  while (!port_accepts(port)) {
    if (master_->wait_for(0ms) || std::chrono::steady_clock::now() >= deadline) {
      throw std::runtime_error("rosmaster did not start: " + master_->err());
    }
    std::this_thread::sleep_for(50ms);
  }
}

RosMaster::~RosMaster() {
  master_->signal(SIGINT);
  if (!master_->wait_for(5s)) master_->signal(SIGKILL);
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> lines_containing(const std::string& text, const std::string& needle) {
  std::vector<std::string> found;
  for (const auto& line : split_lines(text)) {
    if (line.find(needle) != std::string::npos) found.push_back(line);
  }
  return found;
}

}  // namespace zel::testing
