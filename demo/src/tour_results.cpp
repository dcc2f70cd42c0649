#include "tour_results.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

namespace zel::demo {
namespace {

namespace fs = std::filesystem;

constexpr const char* MAP_FILE = "zel_tour_map.png";
constexpr const char* SHEET_FILE = "zel_tour_contact_sheet.png";
constexpr const char* SCORES_FILE = "zel_detector_scores.txt";

// Printed whole, so a path can be copied from the output whatever folder the tour ran in.
std::string folder_of(const std::string& output_dir) { return fs::absolute(output_dir).lexically_normal().string(); }

}  // namespace

void write_pictures(const std::string& output_dir, const std::vector<Location>& points, double radius,
                    const TourPlan& plan, const std::vector<SheetEntry>& sheet) {
  fs::create_directories(output_dir);
  const fs::path folder = folder_of(output_dir);
  const std::string map_path = (folder / MAP_FILE).string();
  const std::string sheet_path = (folder / SHEET_FILE).string();
  write_png(map_path, draw_map(points, radius, plan));
  write_png(sheet_path, draw_contact_sheet(sheet));
  std::cout << "Map: " << map_path << "\nContact sheet: " << sheet_path << std::endl;
}

void write_scores(const std::string& output_dir, const ScoreTable& scores, const std::string& detector) {
  const std::string table = score_table_text(scores, detector);
  const std::string path = (fs::path(folder_of(output_dir)) / SCORES_FILE).string();
  std::ofstream file(path);
  file << table;
  file.close();
  if (!file) throw std::runtime_error("cannot write the detector's scores to " + path);
  std::cout << table << "Detector scores: " << path << std::endl;
}

}  // namespace zel::demo
