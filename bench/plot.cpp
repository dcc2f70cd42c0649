#include "plot.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "report.h"

namespace zel::bench {
namespace {

const cv::Scalar BLACK(0, 0, 0);
const cv::Scalar GREY(150, 150, 150);
const cv::Scalar LIGHT_GREY(215, 215, 215);
const cv::Scalar BLUE(180, 90, 20);
const cv::Scalar ORANGE(20, 120, 230);
constexpr int FONT = cv::FONT_HERSHEY_SIMPLEX;

void text(cv::Mat& image, const std::string& words, cv::Point at, double scale = 0.45, cv::Scalar colour = BLACK,
          bool centred = false) {
  int baseline = 0;
  const cv::Size size = cv::getTextSize(words, FONT, scale, 1, &baseline);
  if (centred) at.x -= size.width / 2;
  cv::putText(image, words, at, FONT, scale, colour, 1, cv::LINE_AA);
}

// A rectangle of the picture with data coordinates.
struct Axes {
  cv::Rect area;
  double x_min, x_max, y_min, y_max;

  cv::Point at(double x, double y) const {
    const double fx = (x - x_min) / (x_max - x_min);
    const double fy = (y - y_min) / (y_max - y_min);
    return {area.x + static_cast<int>(std::lround(fx * area.width)),
            area.y + area.height - static_cast<int>(std::lround(fy * area.height))};
  }

  void draw_frame(cv::Mat& image, const std::string& title, const std::string& y_label, double y_step) const {
    cv::rectangle(image, area, BLACK, 1);
    text(image, title, {area.x, area.y - 28}, 0.5);
    text(image, y_label, {area.x - 75, area.y - 8}, 0.4, GREY);
    for (double y = y_min; y <= y_max + 1e-9; y += y_step) {
      const cv::Point point = at(x_min, y);
      cv::line(image, point, point + cv::Point(-4, 0), BLACK);
      text(image, format("%g", y), point + cv::Point(-40, 4), 0.38);
    }
  }
};

std::vector<double> histogram(const std::vector<double>& values, double low, double width, int bins) {
  std::vector<double> shares(static_cast<std::size_t>(bins), 0.0);
  for (const double value : values) {
    const int bin = std::clamp(static_cast<int>(std::floor((value - low) / width)), 0, bins - 1);
    shares[static_cast<std::size_t>(bin)] += 100.0 / static_cast<double>(values.size());
  }
  return shares;
}

// A histogram drawn as a staircase line, so several can share one axes.
void draw_steps(cv::Mat& image, const Axes& axes, const std::vector<double>& shares, double low, double width,
                cv::Scalar colour, int thickness) {
  for (std::size_t bin = 0; bin < shares.size(); ++bin) {
    const double x = low + static_cast<double>(bin) * width;
    const cv::Point left = axes.at(x, shares[bin]);
    cv::line(image, left, axes.at(x + width, shares[bin]), colour, thickness);
    if (bin > 0) cv::line(image, axes.at(x, shares[bin - 1]), left, colour, thickness);
  }
}

void draw_pacing(cv::Mat& image, const CostRun& run, cv::Rect area) {
  constexpr double LOW_MS = -12.0;
  constexpr double BIN_MS = 0.5;
  constexpr int BINS = 48;
  const double period_ms = 1000.0 / run.target_rate;
  std::vector<double> deviations;
  for (const double interval : run.inter_arrivals) deviations.push_back(interval * 1000.0 - period_ms);
  const double decode_median_ms = median(run.decode_times) * 1000.0;
  std::vector<double> decode_deviations;
  for (const double decode : run.decode_times) decode_deviations.push_back(decode * 1000.0 - decode_median_ms);
  std::vector<double> steps_ms;
  for (const double step : run.decode_steps) steps_ms.push_back(step * 1000.0);
  const auto arrival_shares = histogram(deviations, LOW_MS, BIN_MS, BINS);
  const auto decode_shares = histogram(decode_deviations, LOW_MS, BIN_MS, BINS);
  const auto step_shares = histogram(steps_ms, LOW_MS, BIN_MS, BINS);
  const double top = std::max({*std::max_element(arrival_shares.begin(), arrival_shares.end()),
                               *std::max_element(decode_shares.begin(), decode_shares.end()),
                               *std::max_element(step_shares.begin(), step_shares.end())});
  const double y_step = top > 40 ? 20 : 10;
  const Axes axes{area, LOW_MS, LOW_MS + BIN_MS * BINS, 0, std::ceil(top / y_step) * y_step};
  for (int bin = 0; bin < BINS; ++bin) {
    const double x = LOW_MS + bin * BIN_MS;
    cv::rectangle(image, axes.at(x, decode_shares[bin]), axes.at(x + BIN_MS, 0), LIGHT_GREY, cv::FILLED);
  }
  draw_steps(image, axes, step_shares, LOW_MS, BIN_MS, BLACK, 1);
  draw_steps(image, axes, arrival_shares, LOW_MS, BIN_MS, BLUE, 2);
  axes.draw_frame(image,
                  format("%s, paced at %.0f Hz: p50 %.2f ms, p99 %.2f ms, max %.2f ms", run.format.label().c_str(),
                         run.target_rate, distribution_of(run.inter_arrivals).p50 * 1000,
                         distribution_of(run.inter_arrivals).p99 * 1000, distribution_of(run.inter_arrivals).max * 1000),
                  "% frames", y_step);
  for (double x = LOW_MS; x <= -LOW_MS; x += 4) {
    const cv::Point point = axes.at(x, 0);
    cv::line(image, point, point + cv::Point(0, 4), BLACK);
    text(image, format("%+g", x), point + cv::Point(0, 18), 0.38, BLACK, true);
  }
}

void draw_costs(cv::Mat& image, const std::vector<CostRun>& runs, const std::vector<CallgrindRun>& instruction_runs,
                cv::Rect area) {
  double top = 0;
  for (const auto& run : runs) top = std::max({top, run.node_cpu_per_frame() * 1000, run.decode_cpu_per_frame() * 1000});
  const double y_step = top > 20 ? 5 : 2;
  const Axes axes{area, 0, static_cast<double>(runs.size()), 0, std::ceil(top * 1.15 / y_step) * y_step};
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const auto& run = runs[i];
    const double x = static_cast<double>(i);
    cv::rectangle(image, axes.at(x + 0.15, run.decode_cpu_per_frame() * 1000), axes.at(x + 0.5, 0), GREY, cv::FILLED);
    cv::rectangle(image, axes.at(x + 0.5, run.node_cpu_per_frame() * 1000), axes.at(x + 0.85, 0), ORANGE, cv::FILLED);
    const double bound = (run.decode_cpu_per_frame() + run.transport_floor.seconds()) * 1000;
    cv::line(image, axes.at(x + 0.45, bound), axes.at(x + 0.9, bound), BLACK, 2);
    const double bar_top = std::max(run.node_cpu_per_frame(), run.decode_cpu_per_frame()) * 1000;
    text(image, format("x%.2f", median(run.ratios)), axes.at(x + 0.5, bar_top) + cv::Point(0, -8), 0.42, BLACK, true);
    for (const auto& instructions : instruction_runs) {
      if (instructions.format.label() != run.format.label()) continue;
      text(image,
           format("x%.2f instr", static_cast<double>(instructions.node_instructions) /
                                      static_cast<double>(instructions.decode_instructions)),
           axes.at(x + 0.5, bar_top) + cv::Point(0, -24), 0.38, BLUE, true);
    }
    text(image, run.format.label(), axes.at(x + 0.5, 0) + cv::Point(0, 18), 0.4, BLACK, true);
  }
  axes.draw_frame(image, "CPU per frame: decode-only loop (grey), player with 1 subscriber (orange), and", "ms/frame",
                  y_step);
  text(image, "decode-only plus a raw frame's copy and loopback TCP send (black line)", {area.x, area.y - 10}, 0.5);
}

}  // namespace

void draw_plot(const std::string& path, const std::vector<CostRun>& pacing_runs, const std::vector<CostRun>& cost_runs,
               const std::vector<CallgrindRun>& instruction_runs) {
  constexpr int WIDTH = 1500;
  constexpr int PANEL_HEIGHT = 260;
  const int pacing_rows = static_cast<int>(pacing_runs.size());
  const int height = std::max(2, pacing_rows) * (PANEL_HEIGHT + 70) + 90;
  cv::Mat image(height, WIDTH, CV_8UC3, cv::Scalar(255, 255, 255));
  text(image, "Pacing at 1080p, ms: inter-arrival at a subscriber minus the period (blue), decode time minus its median "
              "(grey),",
       {20, 24}, 0.5);
  text(image, "and the difference of consecutive decode times (black), which moves a frame decoded just before it is "
              "published",
       {20, 46}, 0.5);
  for (int row = 0; row < pacing_rows; ++row) {
    draw_pacing(image, pacing_runs[static_cast<std::size_t>(row)],
                cv::Rect(80, 100 + row * (PANEL_HEIGHT + 70), 620, PANEL_HEIGHT));
  }
  draw_costs(image, cost_runs, instruction_runs, cv::Rect(830, 100, 640, height - 170));
  if (!cv::imwrite(path, image)) throw std::runtime_error("cannot write " + path);
}

}  // namespace zel::bench
