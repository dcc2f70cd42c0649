#include "zel_video_player/app/media_libraries.h"

#include <cstdarg>
#include <cstdlib>

#include <opencv2/core/utils/logger.hpp>

extern "C" {
#include <libavutil/log.h>
}

namespace zel {
namespace {

int ffmpeg_log_ceiling = AV_LOG_QUIET;

void ffmpeg_log_within_ceiling(void* object, int level, const char* format, va_list arguments) {
  if (level <= ffmpeg_log_ceiling) av_log_default_callback(object, level, format, arguments);
}

}  // namespace

void quiet_media_libraries() {
  constexpr const char* FFMPEG_QUIET = "-8";
  ::setenv("OPENCV_FFMPEG_LOGLEVEL", FFMPEG_QUIET, 0);
  // OpenCV before 4.5.2 knows no such variable and sets FFmpeg's level to errors when it first
  // opens a clip; a filter of FFmpeg's messages of our own outlasts that.
  ffmpeg_log_ceiling = std::atoi(std::getenv("OPENCV_FFMPEG_LOGLEVEL"));
  av_log_set_level(ffmpeg_log_ceiling);
  av_log_set_callback(ffmpeg_log_within_ceiling);
  // OpenCV 4.10 warns at every opening that fails ("backend is generally available but can't be
  // used to capture by name"), which a retry once a second would repeat without end.
  if (!std::getenv("OPENCV_LOG_LEVEL")) cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_ERROR);
}

}  // namespace zel
