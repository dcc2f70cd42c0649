#include "zel_video_player/app/media_libraries.h"

#include <cstdlib>

#include <opencv2/core/utils/logger.hpp>

namespace zel {

void quiet_media_libraries() {
  constexpr const char* FFMPEG_QUIET = "-8";
  ::setenv("OPENCV_FFMPEG_LOGLEVEL", FFMPEG_QUIET, 0);
  // OpenCV 4.10 warns at every opening that fails ("backend is generally available but can't be
  // used to capture by name"), which a retry once a second would repeat without end.
  if (!std::getenv("OPENCV_LOG_LEVEL")) cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_ERROR);
}

}  // namespace zel
