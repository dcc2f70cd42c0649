// Cost of one pose message in the pose tracker against the number of points of interest. The
// tracker needs no ROS, so it is timed on its own; a ROS delivery adds a constant to each figure.
#include <benchmark/benchmark.h>

#include <ostream>
#include <streambuf>
#include <utility>
#include <vector>

#include "zel_video_player/world/locations.h"
#include "zel_video_player/player/pose_tracking.h"
#include "zel_video_player/world/world.h"

namespace {

constexpr double RADIUS = 1.5;

class DiscardingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type character) override { return traits_type::not_eof(character); }
};

struct TrackerFixture {
  explicit TrackerFixture(std::int64_t points)
      : out(&buffer), tracker(zel::gen_locations(points, RADIUS, engine), RADIUS, zel::N_SAMPLE, state, engine, out) {}

  zel::RandomEngine engine{20240601};
  DiscardingBuffer buffer;
  std::ostream out;
  zel::PlayState state;
  zel::PoseTracker tracker;
};

// Off the map every point is looked at: the most a pose can cost.
void BM_PoseAtNoPoint(benchmark::State& state) {
  TrackerFixture fixture(state.range(0));
  for (auto _ : state) fixture.tracker.on_position(-100.0, -100.0);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PoseAtNoPoint)->RangeMultiplier(10)->Range(10, 1000000);

// A robot walking the map in 5 cm steps (half a metre a second at 10 poses a second): most poses
// end the search early or find no point, as on a real round.
std::vector<std::pair<double, double>> walk_across_the_map() {
  std::vector<std::pair<double, double>> path;
  constexpr double STEP = 0.05;
  bool rightwards = true;
  for (double y = 0.5; y < zel::MAP_LIMITS.y; y += 1.0) {
    for (double x = 0.0; x <= zel::MAP_LIMITS.x; x += STEP) path.emplace_back(rightwards ? x : zel::MAP_LIMITS.x - x, y);
    rightwards = !rightwards;
  }
  return path;
}

void BM_PoseWalkingTheMap(benchmark::State& state) {
  TrackerFixture fixture(state.range(0));
  const auto path = walk_across_the_map();
  std::size_t step = 0;
  for (auto _ : state) {
    fixture.tracker.on_position(path[step].first, path[step].second);
    step = (step + 1) % path.size();
  }
}
BENCHMARK(BM_PoseWalkingTheMap)->RangeMultiplier(10)->Range(10, 1000000);

// Moving between two points: each pose is an arrival that draws and prints a playlist.
void BM_PoseArrivingAtAnotherPoint(benchmark::State& state) {
  TrackerFixture fixture(state.range(0));
  const auto& points = fixture.tracker.locations();
  bool at_first = false;
  for (auto _ : state) {
    const zel::Location& target = at_first ? points.back() : points.front();
    fixture.tracker.on_position(target.x, target.y);
    at_first = !at_first;
  }
}
BENCHMARK(BM_PoseArrivingAtAnotherPoint)->Arg(10);

}  // namespace

BENCHMARK_MAIN();
