#pragma once
// The merging of one destination row: for each map meeting the row, in list
// order, its candidate columns are converted to source pixels, its image is
// opened through the LoadedMapCache, and the pixels still empty that lie
// inside its border are sampled. A RowWorker owns everything a row changes
// (the work arrays of the row, the open images, the border rows last used),
// so several workers can merge different rows at the same time.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

#include "creation/creation_source.h"
#include "creation/destination_map.h"
#include "creation/row_plan.h"

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

// What merging a row had to tell: "Action List" lines and the images that
// could not be opened, in the order they happened, and how many opened.
struct RowLog {
  std::vector<std::string> actionLines;
  std::vector<RowOpenFailure> openFailures;
  int imagesOpened = 0;
  void clear() {
    actionLines.clear();
    openFailures.clear();
    imagesOpened = 0;
  }
};

// Milliseconds since the start of the row loop, for the opening times.
using OpeningClock = std::function<std::uint32_t()>;

// Whether each map's image can be opened at all, shared by the row workers
// of a create: the first worker to open a map finds out while the others
// wait for its answer, so an image that cannot be opened is tried and
// reported once, and no worker takes pixels from it.
class FirstOpens {
 public:
  explicit FirstOpens(std::size_t maps) : state_(maps, State::Untried) {}
  // False when map i's image is known not to open. True: open it and tell
  // Opened; a first try of another worker is waited for.
  bool MayOpen(std::size_t i);
  void Opened(std::size_t i, bool ok);

 private:
  enum class State : std::uint8_t { Untried, Trying, Opens, Fails };
  std::mutex mutex_;
  std::condition_variable decided_;
  std::vector<State> state_;
};

// The source images open at once, at most maxLoaded of them: opening one
// more closes the one opened longest ago. When a single row needs more
// images than that, the bound grows by 5 so the row stops closing and
// reopening them. An image that cannot be opened is not tried again.
class LoadedMapCache {
 public:
  LoadedMapCache(const std::vector<CreationSource>& sources, FirstOpens& firstOpens, int maxLoaded,
                 OpeningClock clock);
  ~LoadedMapCache();
  LoadedMapCache(const LoadedMapCache&) = delete;
  LoadedMapCache& operator=(const LoadedMapCache&) = delete;

  void StartRow() { opensThisRow_ = 0; }
  // Map i's open image, opened now if need be; null when it cannot be opened.
  RasterReader* Open(std::size_t i, RowLog& log);
  bool Failed(std::size_t i) const { return maps_[i].failed; }
  // Map i's border crossings of its image row y, kept while the map is in use.
  const std::vector<std::int32_t>& Crossings(std::size_t i, std::int32_t y);
  // Map i meets no later row: its decoded data and border rows go.
  void Leave(std::size_t i);
  int maxLoaded() const { return maxLoaded_; }

 private:
  struct SpanRows;
  struct Slot {
    std::unique_ptr<RasterReader> raster;
    std::uint32_t openedAt = 0;
    bool failed = false;
    std::unique_ptr<SpanRows> spans;
  };
  void CloseOldest(RowLog& log);

  const std::vector<CreationSource>& sources_;
  FirstOpens& firstOpens_;
  std::vector<Slot> maps_;
  std::vector<std::size_t> open_;  // the maps with an open image
  OpeningClock clock_;
  int maxLoaded_;
  int opensThisRow_ = 0;
};

class RowWorker {
 public:
  RowWorker(const RowPlan& plan, const std::vector<CreationSource>& sources, const DestinationProjection& projection,
            FirstOpens& firstOpens, int maxLoaded, OpeningClock clock);

  // Merges row r into `row` (width * 3 bytes, blue green red). Rows are
  // merged from top to bottom; rows may be skipped.
  void MergeRow(std::int32_t r, std::uint8_t* row, RowLog& log);

  std::int64_t exactProjections() const { return exactProjections_; }
  int maxLoaded() const { return cache_.maxLoaded(); }

 private:
  void ToSourcePixels(std::size_t map, double rowY);
  std::int32_t SampleColumns(std::size_t map, RasterReader& raster, std::uint8_t* row);

  const RowPlan& plan_;
  const std::vector<CreationSource>& sources_;
  const DestinationProjection& projection_;
  std::int32_t width_;
  MapsOfRows maps_;
  LoadedMapCache cache_;
  // The candidate columns of the map at hand: destination X and Y, replaced
  // in place by its source pixel column and row.
  std::vector<double> rowX_, rowY_;
  std::vector<std::size_t> left_;
  std::int64_t exactProjections_ = 0;
};

}  // namespace quiltor::creation
