#pragma once
// Small map files and images for the map file and scan tests.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "catalogue/map_file_reader.h"
#include "geodesy/projection_catalogue.h"
#include "common/text.h"
#include "raster/formats/format_readers.h"
#include "settings/image_search.h"
#include "support/bmp_file.h"

namespace quiltor::testing {

// A 24-bit Windows bitmap of the given size (all pixels grey).
inline void WriteTinyBmp(const std::filesystem::path& path, int width, int height) {
  WriteBmp24(path, width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * 3 * height, 0x80));
}

// The image questions answered from the bitmap header (the only image kind
// these tests write); any other extension counts as unsupported.
inline MapImageQueries BmpImageQueries() {
  MapImageQueries q;
  q.checkExtension = [](const std::string& file) {
    const auto ext = std::filesystem::path(file).extension().string();
    return ext == ".bmp" || ext == ".BMP" ? 0 : 1;
  };
  q.queryInfo = [](const std::string& file, std::int32_t& w, std::int32_t& h, std::int32_t& mode) {
    ImageInfo info;
    if (!QueryBmpInfo(file, info)) return false;
    w = info.width;
    h = info.height;
    mode = info.pixelMode;
    return true;
  };
  return q;
}

// A latitude/longitude map of a 100 x 80 image: longitude lon0..lon0+span,
// latitude lat0..lat0-0.8 span, four corner points and a four-point border.
// The span sets the map's scale (one degree: about 720 m per pixel at 50 N).
inline std::string LatLonMapText(const std::string& image, double lon0 = 10, double lat0 = 50,
                                 const std::string& title = "Test sheet", double span = 1.0) {
  auto num = [](double v) { return FormatShortest(v); };
  const double lat1 = lat0 - 0.8 * span;
  const double lon1 = lon0 + span;
  auto dm = [&](double v) {
    const double a = v < 0 ? -v : v;
    const double d = static_cast<double>(static_cast<int>(a));
    return num(d) + "," + num((a - d) * 60.0);
  };
  auto point = [&](int n, int x, int y, double lat, double lon) {
    return "Point0" + std::to_string(n) + ",xy," + std::to_string(x) + "," + std::to_string(y) + ",in, deg," + dm(lat) +
           "," + (lat >= 0 ? "N" : "S") + "," + dm(lon) + "," + (lon >= 0 ? "E" : "W") + ", grid,   ,  ,  ,N\r\n";
  };
  std::string t = "Tervane Map Data File Version 2.0\r\n" + title + "\r\n" + image +
                  "\r\n1 ,Map Code,\r\nWGS 84,,0.0000,0.0000,\r\nReserved 1\r\n"
                  "Map Projection,Latitude/Longitude,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No\r\n";
  t += point(1, 0, 0, lat0, lon0) + point(2, 100, 0, lat0, lon1) + point(3, 100, 80, lat1, lon1) +
       point(4, 0, 80, lat1, lon0);
  t += "MMPNUM,4\r\nMMPXY,1,0,0\r\nMMPXY,2,100,0\r\nMMPXY,3,100,80\r\nMMPXY,4,0,80\r\n";
  t += "MMPLL,1," + num(lon0) + "," + num(lat0) + "\r\nMMPLL,2," + num(lon1) + "," + num(lat0) + "\r\n";
  t += "MMPLL,3," + num(lon1) + "," + num(lat1) + "\r\nMMPLL,4," + num(lon0) + "," + num(lat1) + "\r\n";
  t += "MM1B,1000\r\n";
  return t;
}

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace quiltor::testing
