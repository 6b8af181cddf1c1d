#pragma once
// Which source images are open during the row loop, by one set of rules,
// kept by each row worker for its own images and replayed in row order for
// the "Action List": the user sees one account of the images opened and
// closed, the one a single worker merging every row would give, whatever
// the number of workers.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "creation/creation_source.h"

namespace quiltor::creation {

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
  // Map i's image was tried and could not be opened.
  bool Failed(std::size_t i);

 private:
  enum class State : std::uint8_t { Untried, Trying, Opens, Fails };
  std::mutex mutex_;
  std::condition_variable decided_;
  std::vector<State> state_;
};

// At most maxLoaded images open at once: opening one more closes the one
// opened longest ago (among equal opening times the later map). When a
// single row opens maxLoaded + 5 images, the bound grows by 5 so the row
// stops closing and reopening them.
class OpenImages {
 public:
  OpenImages(std::size_t maps, int maxLoaded) : openedAt_(maps, 0), isOpen_(maps, false), maxLoaded_(maxLoaded) {}
  void StartRow() { opensThisRow_ = 0; }
  bool IsOpen(std::size_t i) const { return isOpen_[i]; }
  // Counts one more opening in this row; true when it raised the bound.
  bool CountOpening();
  // The map to close before one more opens, counted closed; none while
  // there is room.
  std::optional<std::size_t> MakeRoom();
  void Opened(std::size_t i, std::uint32_t at);
  int maxLoaded() const { return maxLoaded_; }
  std::size_t openCount() const { return open_.size(); }

 private:
  std::vector<std::uint32_t> openedAt_;
  std::vector<bool> isOpen_;
  std::vector<std::size_t> open_;  // the maps with an open image
  int maxLoaded_;
  int opensThisRow_ = 0;
};

// The "Action List" lines of the row loop, written as the rows are handed
// on in order: "Opening Map", "Number Maps Loaded", "Closing Map", "Max
// Loaded Maps" and "ERROR Opening Map", as one worker opening the images of
// every row in turn would write them. Whether an image opens is the row
// workers' answer (FirstOpens), known for every map a row asked for once
// the row is merged.
class LoadedMapsLog {
 public:
  LoadedMapsLog(const std::vector<CreationSource>& sources, FirstOpens& firstOpens, int maxLoaded,
                OpeningClock clock);
  // The lines of a row that asked for the images of `maps`, in order.
  void Row(const std::vector<std::size_t>& maps, std::vector<std::string>& lines);
  int maxLoaded() const { return images_.maxLoaded(); }

 private:
  const std::vector<CreationSource>& sources_;
  FirstOpens& firstOpens_;
  OpenImages images_;
  std::vector<bool> failed_;
  OpeningClock clock_;
};

}  // namespace quiltor::creation
