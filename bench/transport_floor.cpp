#include "transport_floor.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>
#include <vector>

#include "measures.h"

namespace zel::bench {
namespace {

struct ThreadCpu {
  double user;
  double system;
};

ThreadCpu thread_cpu() {
  rusage usage{};
  ::getrusage(RUSAGE_THREAD, &usage);
  return {static_cast<double>(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec * 1e-6,
          static_cast<double>(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec * 1e-6};
}

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {
    if (fd_ < 0) throw std::runtime_error("socket failed");
  }
  ~Socket() { ::close(fd_); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

void send_all(int fd, const unsigned char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
    if (sent <= 0) throw std::runtime_error("loopback send failed");
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
}

}  // namespace

TransportCost measure_transport_floor(std::size_t frame_bytes, double rate, int frames) {
  Socket listener(::socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener.fd(), 1) != 0 ||
      ::getsockname(listener.fd(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("no loopback listener");
  }
  Socket sender(::socket(AF_INET, SOCK_STREAM, 0));
  if (::connect(sender.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("no loopback connection");
  }
  const int no_delay = 1;  // as roscpp's subscribers ask for
  ::setsockopt(sender.fd(), IPPROTO_TCP, TCP_NODELAY, &no_delay, sizeof no_delay);
  Socket receiver(::accept(listener.fd(), nullptr, nullptr));
  std::vector<double> received(static_cast<std::size_t>(frames));
  std::thread reader([&] {
    std::vector<char> sink(1 << 16);
    std::size_t total_bytes = 0;
    for (ssize_t got; (got = ::recv(receiver.fd(), sink.data(), sink.size(), 0)) > 0;) {
      const std::size_t frames_before = total_bytes / frame_bytes;
      total_bytes += static_cast<std::size_t>(got);
      for (std::size_t frame = frames_before; frame < total_bytes / frame_bytes && frame < received.size(); ++frame) {
        received[frame] = now_seconds();
      }
    }
  });
  std::vector<double> started(static_cast<std::size_t>(frames));

  const std::vector<unsigned char> frame(frame_bytes, 0x5a);
  TransportCost total;
  double deadline = now_seconds();
  for (int i = 0; i < frames; ++i) {
    started[static_cast<std::size_t>(i)] = now_seconds();
    const ThreadCpu start = thread_cpu();
    send_all(sender.fd(), frame.data(), frame_bytes);
    const ThreadCpu sent = thread_cpu();
    total.send_user_seconds += sent.user - start.user;
    total.send_system_seconds += sent.system - start.system;
    deadline += 1.0 / rate;
    sleep_until_seconds(deadline);
  }
  ::shutdown(sender.fd(), SHUT_WR);
  reader.join();
  std::vector<double> deliveries;
  for (std::size_t i = 0; i < started.size(); ++i) deliveries.push_back(received[i] - started[i]);
  total.delivery_seconds = median(deliveries);
  total.send_user_seconds /= frames;
  total.send_system_seconds /= frames;
  return total;
}

}  // namespace zel::bench
