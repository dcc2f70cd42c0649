#include "zel_video_player/demo/sim_clock_options.h"

#include "option_values.h"
#include "zel_video_player/app/argument_parser.h"

namespace zel::demo {
namespace {

enum OptionId { SPEED, HZ };

const ArgumentParser& sim_clock_arguments() {
  static const ArgumentParser parser(
      "Publishes rosgraph_msgs/Clock on /clock, as a simulator would, for nodes started with the\n"
      "parameter /use_sim_time true. The simulated time begins at 1 s and runs at N times real speed,\n"
      "counted from a steady clock, so it never drifts from that pace.",
      {{SPEED, {"--speed"}, "N", false, "how many simulated seconds pass in a real one (default 1)"},
       {HZ, {"--hz"}, "H", false, "messages a second of real time, at most 10000 (default 100)"}},
      {}, 100);
  return parser;
}

}  // namespace

SimClockCommandLine parse_sim_clock_args(const std::vector<std::string>& args) {
  SimClockCommandLine result;
  SimClockOptions& options = result.options;
  sim_clock_arguments().read(
      args, "zel_sim_clock", result, [](const DeclaredOption&) {},
      [&](const DeclaredOption& declared, const std::string& value) {
        if (declared.id == SPEED) {
          options.speed = real_value(declared, value, positive, "a positive number");
        } else {
          options.hz = real_value(declared, value, [](double hz) { return positive(hz) && hz <= SIM_CLOCK_MOST_HZ; },
                                  "a positive number of at most 10000");
        }
      });
  return result;
}

}  // namespace zel::demo
