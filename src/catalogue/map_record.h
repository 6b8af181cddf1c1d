#pragma once
// One calibrated source map (`Map_record`), the catalogue of loaded maps and
// the calibration points of the map file being read.
//
// Coordinates used throughout the catalogue:
//  - pixel: column x to the right, row y downward, origin at the top-left
//    pixel of the image;
//  - projected: easting X / northing Y in metres of the map's projection on
//    WGS 84, false origin included; for "Latitude/Longitude" X is the
//    longitude and Y the latitude in degrees;
//  - geographic: decimal degrees on WGS 84, north and east positive.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/border.h"
#include "catalogue/outline.h"
#include "geodesy/projection_catalogue.h"
#include "geodesy/projection.h"
#include "raster/bitmap.h"

namespace quiltor {

inline constexpr int kMaxMaps = 2500;            // maps the catalogue holds at most
inline constexpr int kCatalogueSlots = kMaxMaps + 1;  // plus the work slot of the next read
inline constexpr int kMaxCalibrationPoints = 30;

// Map_record::status values. Only usable maps are selected, drawn or merged.
inline constexpr std::int32_t kMapUsable = 0;
inline constexpr std::int32_t kMapImageNotFound = -1;
inline constexpr std::int32_t kMapFormatUnsupported = -2;
inline constexpr std::int32_t kMapProtectedImage = -3;
inline constexpr std::int32_t kMapImageUnreadable = -4;  // found, but its header cannot be read

// Map_record::method: which pixel <-> projected transform the calibration fitted.
inline constexpr char kMethodNone = '0';
inline constexpr char kMethodTwoPoint = '2';     // independent axis scales
inline constexpr char kMethodThreePoint = '3';   // exact affine
inline constexpr char kMethodFirstOrder = '5';   // least-squares polynomial, order 1
inline constexpr char kMethodSecondOrder = '6';  // least-squares polynomial, order 2

// Results of PixelToLatLon / LatLonToPixel that mean "no position".
inline constexpr double kNoGeographicPosition = -777.0;
inline constexpr std::int32_t kNoPixelPosition = -1;

// The record owns everything it points to: its strings, its two projection
// handles and its thumbnail; row spans are computed from the border when
// asked for (RowSpans in row_spans.h), never stored per image row. It is
// move-only (the handles are RAII owners); the catalogue moves records when it sorts or compacts.
// What a worker needs beside it while it uses a map (the creation thread's
// open image and row work, the view's screen points) the worker keeps itself.
struct Map_record {
  std::int32_t status = kMapUsable;
  std::string mapFile;    // full path of the ".map" file
  std::string imageFile;  // full path of the image as resolved by the reader
  std::int32_t width = 0;      // image size in pixels
  std::int32_t height = 0;
  std::int32_t pixelMode = 0;  // bytes per pixel: 1 palette, 3 blue-green-red
  std::string title;           // line 2 of the map file
  std::int32_t datum = 0;      // datum index of the map's own datum
  std::int32_t wgs84Datum = 0; // datum index of WGS 84
  std::string projectionName;  // projection display name
  std::int32_t projectionIndex = 0;
  std::string shortProjection; // first five characters of projectionName, trimmed
  geodesy::ProjectionSetup setup{};     // 777 in a field: not set
  double metresPerPixel = 0;   // ground size of one pixel at the map centre

  // Polynomial coefficients c0..c5 (methods '5' and '6').
  std::array<double, 6> forwardX{};   // projected X from pixel (x, y)
  std::array<double, 6> forwardY{};   // projected Y from pixel (x, y)
  std::array<double, 6> backwardX{};  // pixel x from projected (X, Y)
  std::array<double, 6> backwardY{};  // pixel y from projected (X, Y)
  // Three-point transform: X = a0 x + a1 y + a2, Y = a3 x + a4 y + a5.
  std::array<double, 6> affineForward{};
  // x = b0 X + b1 Y + b2, y = b3 X + b4 Y + b5.
  std::array<double, 6> affineBackward{};
  // Two-point transform: X = x scaleX + offsetX, Y = y scaleY + offsetY.
  double offsetY = 0;
  double offsetX = 0;
  double scaleY = 0;
  double scaleX = 0;
  char method = kMethodNone;
  bool polyCal = false;  // the map file's PolyCal switch

  bool highlighted = false;   // the mouse is over the map in the view
  bool selected = false;      // ticked in the map list
  std::optional<Bitmap> thumbnail;  // projected thumbnail


  geodesy::Projection projWGS84;     // the map's projection on WGS 84
  geodesy::Projection projMapDatum;  // the map's projection on the map's own datum

  std::vector<BorderPoint> border;  // 0..kMaxBorderPoints points, in the map file's order

  Map_record() = default;
  Map_record(Map_record&&) noexcept = default;
  Map_record& operator=(Map_record&&) noexcept = default;
  Map_record(const Map_record&) = delete;
  Map_record& operator=(const Map_record&) = delete;

  bool usable() const { return status == kMapUsable; }
};

// The fixed array of loaded maps: slots 0..count-1 hold maps, slot `count`
// is the work slot into which the next file is read.
class MapCatalogue {
 public:
  MapCatalogue() : slots_(kCatalogueSlots) {}

  int count() const { return count_; }
  bool full() const { return count_ >= kMaxMaps; }
  Map_record& operator[](int index) { return slots_.at(static_cast<std::size_t>(index)); }
  const Map_record& operator[](int index) const { return slots_.at(static_cast<std::size_t>(index)); }

  // The slot the next read fills: slot count(), which exists even when 2500
  // maps are loaded (slot 2500), so a read never writes past the array.
  Map_record& workSlot() { return slots_[static_cast<std::size_t>(count_)]; }
  // The work slot emptied first, so that nothing of a map that failed to load
  // (or of a record left behind by a removal) survives into the next read.
  Map_record& FreshWorkSlot() {
    workSlot() = Map_record{};
    return workSlot();
  }
  // Keeps the work slot as a loaded map. Returns false when 2500 maps are loaded.
  bool CommitWorkSlot();
  // Removes map `index`, releasing its handles and thumbnail; later maps move up.
  void Remove(int index);
  // Removes every map for which `doomed` is true, keeping the order of the
  // rest: the same result as removing them one by one, in one pass over the
  // catalogue (a folder of 2500 maps is dropped without moving the records
  // behind it 2500 times).
  template <typename Predicate>
  int RemoveWhere(Predicate doomed);
  void Clear();
  // Most detailed map (smallest metresPerPixel) first: a quicksort with a
  // Hoare partition around the middle map's scale. Maps of equal scale come
  // out in the order this sort gives, which the map list and the mosaic's
  // "most detailed on top" rule both follow; it is not their scanned order.
  void SortByScale();

 private:
  std::vector<Map_record> slots_;
  int count_ = 0;
};

template <typename Predicate>
int MapCatalogue::RemoveWhere(Predicate doomed) {
  int kept = 0;
  for (int i = 0; i < count_; ++i) {
    auto& map = slots_[static_cast<std::size_t>(i)];
    if (doomed(static_cast<const Map_record&>(map))) {
      map = Map_record{};
    } else {
      if (kept != i) slots_[static_cast<std::size_t>(kept)] = std::move(map);
      ++kept;
    }
  }
  for (int i = kept; i < count_; ++i) slots_[static_cast<std::size_t>(i)] = Map_record{};
  const int removed = count_ - kept;
  count_ = kept;
  return removed;
}

// The columns of one calibration point, filled from the point line of the
// map file (the number in the comment is the point line's field).
enum class CalibrationColumn : int {
  pixelX = 0,      // 3: image column (integer text)
  pixelY,          // 4: image row (integer text)
  latDegrees,      // 7
  latMinutes,      // 8
  latHemisphere,   // 9: "N" or "S"
  lonDegrees,      // 10
  lonMinutes,      // 11
  lonHemisphere,   // 12: "E" or "W"
  gridZone,        // 14: UTM zone and band, or grid square letters
  gridEasting,     // 15: metres
  gridNorthing,    // 16: metres
  gridHemisphere,  // 17: "N" or "S"
};
inline constexpr int kCalibrationColumns = 12;
inline constexpr std::size_t kCalibrationTextLimit = 15;  // longer texts keep their first 15 characters

// The column that field `field` (1-based) of a point line fills; none for
// fields 1, 2, 5 (the include flag), 6 and 13.
std::optional<CalibrationColumn> CalibrationColumnOfField(int field);

struct CalibrationPoint {
  std::array<std::string, kCalibrationColumns> text;
  bool include = false;  // false when the file says exactly "ex"

  const std::string& operator[](CalibrationColumn column) const { return text[static_cast<int>(column)]; }
  void Set(CalibrationColumn column, std::string_view value);
};

// The calibration points of the map file being read (point numbers 1..30),
// held as text between reading and calibration. One table per read: the
// reader owns it and hands it to CalibrateMap, so two reads never share it.
// Texts are stored with "." as the decimal separator.
class CalibrationPointTable {
 public:
  // Point number 1..30; throws QuiltorError for any other number.
  CalibrationPoint& point(int number);
  const CalibrationPoint& point(int number) const;
  // Empties every text and clears every include flag.
  void Clear();

 private:
  std::array<CalibrationPoint, kMaxCalibrationPoints> points_{};
};

}  // namespace quiltor
