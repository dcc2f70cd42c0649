#include "zel_video_player/player/clip_decoder.h"

#include <algorithm>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace zel {
namespace {

// A clip damaged through and through gives up after this many refused packets in a row.
constexpr std::int64_t MOST_REFUSED_IN_A_ROW = 8;

// The first video stream, as OpenCV's capture and ffmpeg's player pick it.
int first_video_stream(const AVFormatContext* format) {
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) return static_cast<int>(i);
  }
  return -1;
}

// The player decodes each frame while the one before it shows, so one thread has a whole period
// for it: enough up to 1080p at 30 frames a second, key frames included. Beyond that, a frame in
// flight per core, each thread with frames of its own.
constexpr double MOST_PIXELS_A_SECOND_ON_ONE_THREAD = 1920.0 * 1088 * 30;

int decoding_threads(const AVStream* stream) {
  const AVCodecParameters* parameters = stream->codecpar;
  const AVRational rate = stream->avg_frame_rate;
  const double pixels_a_second = static_cast<double>(parameters->width) * parameters->height *
                                 (rate.num > 0 && rate.den > 0 ? std::max(30.0, av_q2d(rate)) : 30.0);
  if (parameters->width > 0 && pixels_a_second <= MOST_PIXELS_A_SECOND_ON_ONE_THREAD) return 1;
  return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

bool header_tells_enough(const AVStream* stream) {
  const AVCodecParameters* parameters = stream->codecpar;
  return parameters->codec_id != AV_CODEC_ID_NONE && parameters->width > 0 && parameters->height > 0 &&
         stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0;
}

}  // namespace

ClipDecoder::ClipDecoder(const std::string& path) {
  if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) {
    format_ = nullptr;
    return;
  }
  stream_ = first_video_stream(format_);
  // Probing decodes the first frame, which may take as long as a frame period at 1080p, only to
  // learn what most headers (MP4's among them) tell already.
  if (stream_ < 0 || !header_tells_enough(format_->streams[stream_])) {
    if (avformat_find_stream_info(format_, nullptr) < 0) return;
    stream_ = first_video_stream(format_);
    if (stream_ < 0) return;
  }
  AVStream* stream = format_->streams[stream_];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return;
  AVCodecContext* decoder = avcodec_alloc_context3(codec);
  if (!decoder) return;
  decoder->thread_count = decoding_threads(stream);
  if (avcodec_parameters_to_context(decoder, stream->codecpar) < 0 || avcodec_open2(decoder, codec, nullptr) < 0) {
    avcodec_free_context(&decoder);
    return;
  }
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (!packet_ || !frame_) {
    avcodec_free_context(&decoder);
    return;
  }
  decoder_ = decoder;
  const AVRational rate = av_guess_frame_rate(format_, stream, nullptr);
  reported_fps_ = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
  frame_count_ = stream->nb_frames > 0 ? stream->nb_frames : 0;
  turn_ = upright_turn_of(stream);
}

ClipDecoder::~ClipDecoder() {
  sws_freeContext(converter_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  avcodec_free_context(&decoder_);
  avformat_close_input(&format_);
}

cv::Size ClipDecoder::frame_size() const { return {frame_->width, frame_->height}; }

// A packet the container itself knows to be cut short (the file ends inside it) is skipped as one
// the decoder refuses: with a thread per frame, the decoder's own refusal of it may never surface.
bool ClipDecoder::read_packet() {
  while (av_read_frame(format_, packet_) >= 0) {
    const bool ours = packet_->stream_index == stream_;
    const bool corrupt = (packet_->flags & AV_PKT_FLAG_CORRUPT) != 0;
    if (ours && !corrupt) return true;
    av_packet_unref(packet_);
    if (ours) ++packets_skipped_;
  }
  return false;
}

bool ClipDecoder::decode_next() {
  if (!open()) return false;
  while (true) {
    const int received = avcodec_receive_frame(decoder_, frame_);
    if (received == 0) {
      refused_in_a_row_ = 0;
      return true;
    }
    if (received == AVERROR_EOF) return false;
    // With a thread per frame, a packet the decoder refuses shows here, a few packets later.
    if (received != AVERROR(EAGAIN)) {
      ++packets_skipped_;
      if (++refused_in_a_row_ >= MOST_REFUSED_IN_A_ROW) return false;
      continue;
    }
    if (draining_) return false;
    if (!packet_waiting_ && !read_packet()) {
      draining_ = true;
      avcodec_send_packet(decoder_, nullptr);
      continue;
    }
    const int sent = avcodec_send_packet(decoder_, packet_);
    packet_waiting_ = sent == AVERROR(EAGAIN);
    if (packet_waiting_) continue;
    av_packet_unref(packet_);
    if (sent < 0) {
      ++packets_skipped_;
      if (++refused_in_a_row_ >= MOST_REFUSED_IN_A_ROW) return false;
    }
  }
}

void ClipDecoder::convert(cv::Mat& bgr) {
  const int width = frame_->width;
  const int height = frame_->height;
  bgr.create(height, width, CV_8UC3);
  // The same conversion as OpenCV's capture and ffmpeg's, so frames look as they always did.
  converter_ = sws_getCachedContext(converter_, width, height, static_cast<AVPixelFormat>(frame_->format), width,
                                    height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!converter_) return;
  uint8_t* const planes[] = {bgr.data};
  const int strides[] = {static_cast<int>(bgr.step[0])};
  sws_scale(converter_, frame_->data, frame_->linesize, 0, height, planes, strides);
}

bool ClipDecoder::rewind() {
  if (!open()) return false;
  if (packet_waiting_) av_packet_unref(packet_);
  packet_waiting_ = false;
  draining_ = false;
  refused_in_a_row_ = 0;
  if (av_seek_frame(format_, stream_, format_->streams[stream_]->start_time == AV_NOPTS_VALUE
                                          ? 0
                                          : format_->streams[stream_]->start_time,
                    AVSEEK_FLAG_BACKWARD) < 0) {
    return false;
  }
  avcodec_flush_buffers(decoder_);
  return true;
}

}  // namespace zel
