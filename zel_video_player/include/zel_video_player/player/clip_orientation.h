#pragma once

#include <opencv2/core.hpp>

struct AVStream;

namespace zel {

// A phone stores a portrait clip sideways and flags it with a display matrix, which players
// follow to show it upright; the player turns the stored frames as ffmpeg does.
enum class UprightTurn { none, quarter_counterclockwise, half, quarter_clockwise };

// The turn for a display matrix that rotates by `counterclockwise_degrees`. An angle that is not
// within a degree of a quarter turn is left alone: no camera writes one.
UprightTurn upright_turn_for(double counterclockwise_degrees);

// The turn that `stream`'s display matrix asks for; none when it has none.
UprightTurn upright_turn_of(const AVStream* stream);

cv::Size upright_size(cv::Size stored, UprightTurn turn);

// Writes the turned `stored` frame into `upright`, reusing its pixels when it has the upright
// size already, as the outgoing message's buffer does.
void turn_upright(const cv::Mat& stored, UprightTurn turn, cv::Mat& upright);

}  // namespace zel
