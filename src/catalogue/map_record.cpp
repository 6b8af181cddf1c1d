#include "catalogue/map_record.h"

#include <algorithm>
#include <utility>

#include "common/error.h"
#include "common/text.h"

namespace quiltor {
namespace {

// Hoare partition around the middle map's scale, left part first.
void QuickSortByScale(std::vector<Map_record>& maps, int lo, int hi) {
  const auto at = [&maps](int index) -> Map_record& { return maps[static_cast<std::size_t>(index)]; };
  while (lo < hi) {
    int i = lo;
    int j = hi;
    const double pivot = at((lo + hi) / 2).metresPerPixel;
    do {
      while (i < hi && at(i).metresPerPixel < pivot) ++i;
      while (j > lo && at(j).metresPerPixel > pivot) --j;
      if (i <= j) {
        if (i != j) std::swap(at(i), at(j));
        ++i;
        --j;
      }
    } while (i <= j);
    // Recursing into the left part and looping on the right one keeps the
    // stack to one frame per left part.
    if (lo < j) QuickSortByScale(maps, lo, j);
    lo = i;
  }
}

}  // namespace

bool MapCatalogue::CommitWorkSlot() {
  if (full()) return false;
  ++count_;
  return true;
}

void MapCatalogue::Remove(int index) {
  if (index < 0 || index >= count_) throw QuiltorError("no map at catalogue index " + FormatInt(index));
  auto first = slots_.begin() + index;
  std::move(first + 1, slots_.begin() + count_, first);
  --count_;
  // The record left behind in the old last slot is released now, not when
  // the slot is next read into.
  slots_[static_cast<std::size_t>(count_)] = Map_record{};
}

void MapCatalogue::Clear() {
  for (int i = 0; i <= count_ && i < kCatalogueSlots; ++i) slots_[static_cast<std::size_t>(i)] = Map_record{};
  count_ = 0;
}

void MapCatalogue::SortByScale() {
  if (count_ > 1) QuickSortByScale(slots_, 0, count_ - 1);
}

std::optional<CalibrationColumn> CalibrationColumnOfField(int field) {
  switch (field) {
    case 3: return CalibrationColumn::pixelX;
    case 4: return CalibrationColumn::pixelY;
    case 7: return CalibrationColumn::latDegrees;
    case 8: return CalibrationColumn::latMinutes;
    case 9: return CalibrationColumn::latHemisphere;
    case 10: return CalibrationColumn::lonDegrees;
    case 11: return CalibrationColumn::lonMinutes;
    case 12: return CalibrationColumn::lonHemisphere;
    case 14: return CalibrationColumn::gridZone;
    case 15: return CalibrationColumn::gridEasting;
    case 16: return CalibrationColumn::gridNorthing;
    case 17: return CalibrationColumn::gridHemisphere;
    default: return std::nullopt;
  }
}

void CalibrationPoint::Set(CalibrationColumn column, std::string_view value) {
  text[static_cast<int>(column)] = std::string(value.substr(0, kCalibrationTextLimit));
}

CalibrationPoint& CalibrationPointTable::point(int number) {
  if (number < 1 || number > kMaxCalibrationPoints)
    throw QuiltorError("calibration point number " + FormatInt(number) + " is outside 1..30");
  return points_[static_cast<std::size_t>(number - 1)];
}

const CalibrationPoint& CalibrationPointTable::point(int number) const {
  return const_cast<CalibrationPointTable*>(this)->point(number);
}

void CalibrationPointTable::Clear() { points_ = {}; }

}  // namespace quiltor
