#pragma once

#include <cstddef>

namespace zel::bench {

// What handing one raw frame to one TCP subscriber costs with no ROS at all: one send of the frame's
// bytes from warm memory, with no copy before it, through a loopback socket to a reader thread,
// paced like the player. Beside decoding, the part of a published frame's cost that no player code
// can remove.
struct TransportCost {
  double send_user_seconds = 0;   // per frame
  double send_system_seconds = 0; // per frame; on loopback this includes the receive path
  double delivery_seconds = 0;    // median, from the start of the send to the reader holding the frame

  double seconds() const { return send_user_seconds + send_system_seconds; }
};

TransportCost measure_transport_floor(std::size_t frame_bytes, double rate, int frames);

}  // namespace zel::bench
