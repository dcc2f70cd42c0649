#include "zel_video_player/player/clip_orientation.h"

#include <cmath>

#include <opencv2/core.hpp>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

namespace zel {
namespace {

constexpr double RIGHT_ANGLE_TOLERANCE = 1.0;  // degrees, as ffmpeg's own player rounds

// FFmpeg 6.1 moved a stream's side data into its codec parameters, where the header puts it; the
// older call finds it there only once the whole stream has been probed. Before 5.0 sizes were ints.
const uint8_t* display_matrix_of(const AVStream* stream, std::size_t& size) {
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 29, 100)
  const AVCodecParameters* parameters = stream->codecpar;
  const AVPacketSideData* data = av_packet_side_data_get(parameters->coded_side_data, parameters->nb_coded_side_data,
                                                         AV_PKT_DATA_DISPLAYMATRIX);
  size = data ? data->size : 0;
  return data ? data->data : nullptr;
#elif LIBAVFORMAT_VERSION_MAJOR >= 59
  return av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
#else
  int int_size = 0;
  const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &int_size);
  size = static_cast<std::size_t>(int_size);
  return matrix;
#endif
}

}  // namespace

UprightTurn upright_turn_for(double counterclockwise_degrees) {
  if (!std::isfinite(counterclockwise_degrees)) return UprightTurn::none;
  const double degrees = counterclockwise_degrees - 360.0 * std::floor(counterclockwise_degrees / 360.0);
  const auto near = [&](double angle) { return std::abs(degrees - angle) < RIGHT_ANGLE_TOLERANCE; };
  if (near(90.0)) return UprightTurn::quarter_counterclockwise;
  if (near(180.0)) return UprightTurn::half;
  if (near(270.0)) return UprightTurn::quarter_clockwise;
  return UprightTurn::none;
}

UprightTurn upright_turn_of(const AVStream* stream) {
  std::size_t size = 0;
  const uint8_t* matrix = display_matrix_of(stream, size);
  if (!matrix || size < 9 * sizeof(int32_t)) return UprightTurn::none;
  return upright_turn_for(av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix)));
}

cv::Size upright_size(cv::Size stored, UprightTurn turn) {
  const bool quarter = turn == UprightTurn::quarter_clockwise || turn == UprightTurn::quarter_counterclockwise;
  return quarter ? cv::Size(stored.height, stored.width) : stored;
}

void turn_upright(const cv::Mat& stored, UprightTurn turn, cv::Mat& upright) {
  switch (turn) {
    case UprightTurn::none:
      stored.copyTo(upright);
      return;
    case UprightTurn::quarter_counterclockwise:
      cv::rotate(stored, upright, cv::ROTATE_90_COUNTERCLOCKWISE);
      return;
    case UprightTurn::half:
      cv::rotate(stored, upright, cv::ROTATE_180);
      return;
    case UprightTurn::quarter_clockwise:
      cv::rotate(stored, upright, cv::ROTATE_90_CLOCKWISE);
      return;
  }
}

}  // namespace zel
