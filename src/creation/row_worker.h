#pragma once
// The merging of one destination row: for each map meeting the row, in list
// order, its columns that may be sampled are converted to source pixels, its
// image is opened through the LoadedMapCache, and the pixels still empty
// that lie inside its border are sampled. A RowWorker owns everything a row
// changes (the work arrays of the row, the open images, the border rows last
// used), so several workers can merge different rows at the same time.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "creation/creation_source.h"
#include "creation/destination_map.h"
#include "creation/row_loaded_maps.h"
#include "creation/row_plan.h"
#include "creation/row_sampling.h"

namespace quiltor::creation {

// Every row starts at this value in all three bytes; a pixel whose three
// bytes are all 247 counts as not yet filled.
inline constexpr std::uint8_t kBackgroundByte = 247;

// A source image the create could not open, and why.
struct MapOpenFailure {
  std::string imageFile;
  std::string cause;  // the reader's or the opener's words
};

// An image that could not be opened, with its map's place in the list.
struct RowOpenFailure {
  std::size_t map = 0;
  MapOpenFailure failure;
};

// What merging a row had to tell: the maps whose images the row asked for,
// in order (LoadedMapsLog turns them into "Action List" lines), the images
// this worker could not open, and how many it opened.
struct RowLog {
  std::vector<std::size_t> mapsAsked;
  std::vector<RowOpenFailure> openFailures;
  int imagesOpened = 0;
  void clear() {
    mapsAsked.clear();
    openFailures.clear();
    imagesOpened = 0;
  }
};

// The border crossings of the image rows a map used last, one slot per row
// modulo the slot count: neighbouring destination rows sample neighbouring
// source rows, so most lookups find their row computed.
class BorderRows {
 public:
  explicit BorderRows(const CreationSource& source) : source_(source), rows_(kSlots) {}
  // The sorted crossings of image row y (0 <= y < height).
  const std::vector<std::int32_t>& Crossings(std::int32_t y) {
    Row& row = rows_[static_cast<std::size_t>(y) % kSlots];
    if (row.y != y) Fill(row, y);
    return row.crossings;
  }

 private:
  static constexpr std::size_t kSlots = 1024;
  struct Row {
    std::int32_t y = -1;
    std::vector<std::int32_t> crossings;
  };
  void Fill(Row& row, std::int32_t y);
  const CreationSource& source_;
  std::vector<Row> rows_;
};

// The source images one worker has open, by the rules of OpenImages. An
// image that cannot be opened is not tried again.
class LoadedMapCache {
 public:
  LoadedMapCache(const std::vector<CreationSource>& sources, FirstOpens& firstOpens, int maxLoaded);
  ~LoadedMapCache();
  LoadedMapCache(const LoadedMapCache&) = delete;
  LoadedMapCache& operator=(const LoadedMapCache&) = delete;

  void StartRow() { images_.StartRow(); }
  // Map i's open image, opened now if need be; null when it cannot be opened.
  RasterReader* Open(std::size_t i, RowLog& log);
  bool Failed(std::size_t i) const { return maps_[i].failed; }
  // Map i's border rows, kept while the map is in use.
  BorderRows& Border(std::size_t i);
  // Map i meets no later row: its decoded data and border rows go.
  void Leave(std::size_t i);

 private:
  struct Slot {
    std::unique_ptr<RasterReader> raster;
    bool failed = false;
    std::unique_ptr<BorderRows> border;
  };

  const std::vector<CreationSource>& sources_;
  FirstOpens& firstOpens_;
  std::vector<Slot> maps_;
  OpenImages images_;
  // Openings so far: this worker's own clock for first opened, first closed.
  std::uint32_t openings_ = 0;
};

class RowWorker {
 public:
  RowWorker(const RowPlan& plan, const std::vector<CreationSource>& sources, const DestinationProjection& projection,
            FirstOpens& firstOpens, int maxLoaded);

  // Merges row r into `row` (width * 3 bytes, blue green red). Rows are
  // merged from top to bottom; rows may be skipped.
  void MergeRow(std::int32_t r, std::uint8_t* row, RowLog& log);

  std::int64_t exactProjections() const { return exactProjections_; }

 private:
  void ToSourcePixels(std::size_t map, double rowY);
  std::int32_t SampleColumns(std::size_t map, RasterReader& raster, std::uint8_t* row);
  template <PixelAccess kAccess>
  std::int32_t SampleColumnsAs(std::size_t map, const SourcePixels& pixels, std::uint8_t* row);

  const RowPlan& plan_;
  const std::vector<CreationSource>& sources_;
  const DestinationProjection& projection_;
  std::int32_t width_;
  MapsOfRows maps_;
  LoadedMapCache cache_;
  // The source pixel column and row of the map at hand, per destination
  // column (those it may sample are set).
  std::vector<double> rowX_, rowY_;
  std::vector<std::size_t> left_;
  std::int64_t exactProjections_ = 0;
};

}  // namespace quiltor::creation
