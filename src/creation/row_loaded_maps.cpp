#include "creation/row_loaded_maps.h"

#include "common/paths.h"
#include "common/text.h"

namespace quiltor::creation {

namespace {

// A row that needs this many more images than may be open raises the bound
// by as many, so that it does not keep closing and reopening its own maps.
constexpr int kLoadedMapsGrowth = 5;

}  // namespace

bool FirstOpens::MayOpen(std::size_t i) {
  std::unique_lock lock(mutex_);
  decided_.wait(lock, [&] { return state_[i] != State::Trying; });
  if (state_[i] == State::Untried) state_[i] = State::Trying;
  return state_[i] != State::Fails;
}

void FirstOpens::Opened(std::size_t i, bool ok) {
  {
    std::lock_guard lock(mutex_);
    if (state_[i] != State::Trying) return;
    state_[i] = ok ? State::Opens : State::Fails;
  }
  decided_.notify_all();
}

bool FirstOpens::Failed(std::size_t i) {
  std::lock_guard lock(mutex_);
  return state_[i] == State::Fails;
}

bool OpenImages::CountOpening() {
  ++opensThisRow_;
  if (opensThisRow_ < maxLoaded_ + kLoadedMapsGrowth) return false;
  maxLoaded_ += kLoadedMapsGrowth;
  return true;
}

std::optional<std::size_t> OpenImages::MakeRoom() {
  if (open_.empty() || static_cast<int>(open_.size()) < maxLoaded_) return std::nullopt;
  // First opened, first closed; among equal opening times the later map goes.
  auto oldest = open_.begin();
  for (auto it = open_.begin() + 1; it != open_.end(); ++it) {
    const std::uint32_t at = openedAt_[*it], best = openedAt_[*oldest];
    if (at < best || (at == best && *it > *oldest)) oldest = it;
  }
  const std::size_t closed = *oldest;
  open_.erase(oldest);
  isOpen_[closed] = false;
  return closed;
}

void OpenImages::Opened(std::size_t i, std::uint32_t at) {
  openedAt_[i] = at;
  isOpen_[i] = true;
  open_.push_back(i);
}

LoadedMapsLog::LoadedMapsLog(const std::vector<CreationSource>& sources, FirstOpens& firstOpens, int maxLoaded,
                             OpeningClock clock)
    : sources_(sources), firstOpens_(firstOpens), images_(sources.size(), maxLoaded), failed_(sources.size(), false),
      clock_(std::move(clock)) {}

void LoadedMapsLog::Row(const std::vector<std::size_t>& maps, std::vector<std::string>& lines) {
  images_.StartRow();
  for (const std::size_t i : maps) {
    if (failed_[i] || images_.IsOpen(i)) continue;
    if (images_.CountOpening()) lines.push_back("Max Loaded Maps = " + FormatInt(images_.maxLoaded()));
    if (const std::optional<std::size_t> closed = images_.MakeRoom())
      lines.push_back("Closing Map : " + FileNamePart(sources_[*closed].imageFile));
    const std::string name = FileNamePart(sources_[i].imageFile);
    if (firstOpens_.Failed(i)) {
      failed_[i] = true;
      lines.push_back("ERROR Opening Map : " + name);
      continue;
    }
    images_.Opened(i, clock_());
    lines.push_back("Opening Map : " + name);
    lines.push_back("Number Maps Loaded = " + FormatInt(static_cast<std::int64_t>(images_.openCount())));
  }
}

}  // namespace quiltor::creation
