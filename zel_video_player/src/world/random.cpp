#include "zel_video_player/world/random.h"

namespace zel {

RandomEngine make_system_seeded_engine() {
  std::random_device entropy;
  std::seed_seq seed{entropy(), entropy(), entropy(), entropy(), entropy(), entropy()};
  return RandomEngine(seed);
}

}  // namespace zel
