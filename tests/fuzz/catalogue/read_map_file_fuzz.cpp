// ReadMapFile on arbitrary bytes. The map file is user data from many
// tools: whatever it holds, the read ends in loaded (with a calibrated,
// self-consistent record) or not loaded (with an empty record), never in a
// crash, a hang, a sanitizer report or an exception escaping the reader.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "catalogue/calibration.h"
#include "catalogue/map_file_reader.h"
#include "catalogue/row_spans.h"
#include "common/worker_host.h"
#include "geodesy/projection_catalogue.h"
#include "settings/image_search.h"

namespace {

using namespace quiltor;

// The image every map names is "found" with a fixed size, so that the
// border, row spans and calibration run on whatever the file says, without
// reading images of the machine.
MapImageQueries FixedImage() {
  MapImageQueries q;
  q.checkExtension = [](const std::string&) { return 0; };
  q.queryInfo = [](const std::string&, std::int32_t& w, std::int32_t& h, std::int32_t& mode) {
    w = 600;
    h = 400;
    mode = 3;
    return true;
  };
  return q;
}

std::filesystem::path InputPath() {
  const auto folder = std::filesystem::temp_directory_path() / ("quiltor-mapfuzz-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  return folder / "input.map";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path path = InputPath();
  static const ImageSearchContext search;
  static QuietHost host;
  static const MapReadContext context{geodesy::BuiltInProjectionCatalogue(), search, FixedImage(), host, {}};

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) __builtin_trap();
  if (size != 0 && std::fwrite(data, 1, size, file) != size) __builtin_trap();
  std::fclose(file);

  Map_record record;
  const int result = ReadMapFile(path.string(), record, 1, 1, context);
  if (result == kMapNotLoaded) {
    if (!record.mapFile.empty() || !record.border.empty()) __builtin_trap();
    return 0;
  }
  if (result != kMapLoaded) __builtin_trap();
  if (record.border.size() < 3 || record.border.size() > static_cast<std::size_t>(kMaxBorderPoints)) __builtin_trap();
  // Every row's spans come from the border, whatever height the header claims.
  (void)RowSpans(record, 0);
  (void)RowSpans(record, record.height - 1);
  // The conversions the view and the creation thread make must not fail
  // badly on any calibration the reader accepted.
  (void)PixelToLatLon(record, {300, 200});
  if (!record.border.empty()) {
    const BorderPoint& first = record.border[0];
    (void)LatLonToPixel(record, {.latitude = first.latitude, .longitude = first.longitude});
  }
  return 0;
}
