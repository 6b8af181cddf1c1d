#include "geodesy/projection_engine.h"

#include <proj.h>

#include <atomic>
#include <cmath>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "common/text.h"

namespace quiltor::geodesy {

// ---------------------------------------------------------------------------
// Per-thread PROJ objects of one handle.

namespace {

// Every handle gets a number never used before, so that a thread's cache
// entry of a released handle can never be mistaken for a live one.
std::atomic<std::uint64_t> g_nextHandleId{1};

struct ThreadProjection {
  std::thread::id thread;
  PJ_CONTEXT* context = nullptr;
  PJ* projection = nullptr;
};

// PROJ object and context made for the calling thread; nullptr on failure.
ThreadProjection MakeThreadProjection(const std::string& definition) {
  ThreadProjection made;
  made.thread = std::this_thread::get_id();
  made.context = proj_context_create();
  if (made.context == nullptr) return made;
  proj_log_level(made.context, PJ_LOG_NONE);
  made.projection = proj_create(made.context, definition.c_str());
  if (made.projection == nullptr) {
    proj_context_destroy(made.context);
    made.context = nullptr;
  }
  return made;
}

}  // namespace

// Releases, when a thread ends, the PROJ objects it made in handles that
// are still alive (a create runs on a new thread every time; without this
// every create would leave one object per source map behind).
class ThreadObjectRelease {
 public:
  void Add(std::weak_ptr<SharedProjection> handle) {
    std::erase_if(handles_, [](const std::weak_ptr<SharedProjection>& h) { return h.expired(); });
    handles_.push_back(std::move(handle));
  }
  ~ThreadObjectRelease();

 private:
  std::vector<std::weak_ptr<SharedProjection>> handles_;
};

ThreadObjectRelease& ThisThreadRelease() {
  thread_local ThreadObjectRelease release;
  return release;
}

class SharedProjection : public std::enable_shared_from_this<SharedProjection> {
 public:
  SharedProjection(std::string definition, std::string givenToLibrary, ThreadProjection first)
      : id_(g_nextHandleId.fetch_add(1)),
        definition_(std::move(definition)),
        givenToLibrary_(std::move(givenToLibrary)),
        geographic_(proj_angular_output(first.projection, PJ_FWD) != 0) {
    perThread_.push_back(first);
  }

  ~SharedProjection() {
    for (const ThreadProjection& t : perThread_) {
      proj_destroy(t.projection);
      proj_context_destroy(t.context);
    }
  }

  SharedProjection(const SharedProjection&) = delete;
  SharedProjection& operator=(const SharedProjection&) = delete;

  bool Geographic() const { return geographic_; }
  const std::string& Definition() const { return definition_; }
  const std::string& GivenToLibrary() const { return givenToLibrary_; }

  // The calling thread's PROJ object; nullptr if it cannot be made. The
  // object used last on this thread is checked inline (a row of points goes
  // through one handle); everything else is kept out of the per-point path.
  PJ* ForThisThread() {
    if (t_lastUsed.id == id_) return t_lastUsed.projection;
    return LookUpForThisThread();
  }

 private:
  struct CacheEntry {
    std::uint64_t id = 0;
    PJ* projection = nullptr;
  };
  static constexpr std::size_t kCacheSize = 8;
  // A few recently used handles per thread, looked up without a lock.
  static thread_local CacheEntry t_lastUsed;
  static thread_local CacheEntry t_cache[kCacheSize];
  static thread_local std::size_t t_nextSlot;

  [[gnu::noinline]] PJ* LookUpForThisThread() {
    for (const CacheEntry& e : t_cache) {
      if (e.id == id_) {
        t_lastUsed = e;
        return e.projection;
      }
    }
    PJ* projection = FindOrMake();
    if (projection != nullptr) {
      t_cache[t_nextSlot] = {id_, projection};
      t_nextSlot = (t_nextSlot + 1) % kCacheSize;
      t_lastUsed = {id_, projection};
    }
    return projection;
  }

  PJ* FindOrMake() {
    const std::lock_guard lock(mutex_);
    const auto me = std::this_thread::get_id();
    for (const ThreadProjection& t : perThread_) {
      if (t.thread == me) return t.projection;
    }
    const ThreadProjection made = MakeThreadProjection(givenToLibrary_);
    if (made.projection == nullptr) return nullptr;
    perThread_.push_back(made);
    ThisThreadRelease().Add(weak_from_this());
    return made.projection;
  }

 public:
  // Registers the creating thread's object for release when that thread ends.
  void RegisterCreator() { ThisThreadRelease().Add(weak_from_this()); }

  // Called on an ending thread: its object goes.
  void ReleaseThisThread() {
    if (t_lastUsed.id == id_) t_lastUsed = {};
    for (CacheEntry& e : t_cache) {
      if (e.id == id_) e = {};
    }
    const std::lock_guard lock(mutex_);
    const auto me = std::this_thread::get_id();
    for (auto it = perThread_.begin(); it != perThread_.end(); ++it) {
      if (it->thread != me) continue;
      proj_destroy(it->projection);
      proj_context_destroy(it->context);
      perThread_.erase(it);
      return;
    }
  }

  std::size_t ThreadObjectCount() {
    const std::lock_guard lock(mutex_);
    return perThread_.size();
  }

 private:

  const std::uint64_t id_;
  const std::string definition_;
  const std::string givenToLibrary_;
  const bool geographic_;
  std::mutex mutex_;
  std::deque<ThreadProjection> perThread_;
};

ThreadObjectRelease::~ThreadObjectRelease() {
  for (const auto& h : handles_) {
    if (const std::shared_ptr<SharedProjection> alive = h.lock()) alive->ReleaseThisThread();
  }
}

thread_local SharedProjection::CacheEntry SharedProjection::t_lastUsed;
thread_local SharedProjection::CacheEntry SharedProjection::t_cache[SharedProjection::kCacheSize];
thread_local std::size_t SharedProjection::t_nextSlot = 0;

// ---------------------------------------------------------------------------
// ProjectionHandle

ProjectionHandle::ProjectionHandle() = default;
ProjectionHandle::~ProjectionHandle() = default;
ProjectionHandle::ProjectionHandle(ProjectionHandle&&) noexcept = default;
ProjectionHandle& ProjectionHandle::operator=(ProjectionHandle&&) noexcept = default;
ProjectionHandle::ProjectionHandle(std::shared_ptr<SharedProjection> shared) : shared_(std::move(shared)) {}

bool ProjectionHandle::IsGeographic() const { return shared_ != nullptr && shared_->Geographic(); }

const std::string& ProjectionHandle::Definition() const {
  static const std::string kNone;
  return shared_ ? shared_->Definition() : kNone;
}

const std::string& ProjectionHandle::GivenToLibrary() const {
  static const std::string kNone;
  return shared_ ? shared_->GivenToLibrary() : kNone;
}

void ProjectionHandle::Reset() { shared_.reset(); }

std::size_t ProjectionHandle::ThreadObjectCount() const { return shared_ ? shared_->ThreadObjectCount() : 0; }

void FreeProjection(ProjectionHandle& handle) { handle.Reset(); }

// ---------------------------------------------------------------------------
// Definition strings

namespace {

// Splits at spaces and tabs; the first empty word ends the list, as the
// keyword reader always did (a doubled space cuts the keywords there).
std::vector<std::string_view> ParameterWords(std::string_view ppars) {
  std::vector<std::string_view> words;
  std::size_t start = 0;
  while (start <= ppars.size()) {
    const std::size_t end = ppars.find_first_of(" \t", start);
    const std::string_view word = ppars.substr(start, end == std::string_view::npos ? ppars.npos : end - start);
    if (word.empty()) break;
    words.push_back(word);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return words;
}

std::string Param(const char* name, double value) { return std::string(" ") + name + FormatFixed(value, 7); }

std::string KeywordParameter(std::string_view word, const ProjectionSetup& s) {
  if (word == "utmlon0") return Param("+lon_0=", s.utmlon0);
  if (word == "lon0") return Param("+lon_0=", s.lon0);
  if (word == "lat0") return Param("+lat_0=", s.lat0 == kParameterNotSet ? 0.0 : s.lat0);
  if (word == "latts0") return " +lat_ts=0";
  if (word == "utmlat0") return Param("+lat_0=", 0.0);
  if (word == "lat1") return Param("+lat_1=", s.lat1);
  if (word == "lat2") return Param("+lat_2=", s.lat2);
  if (word == "k0") return Param("+k_0=", s.k0);
  if (word == "utmk0") return Param("+k_0=", 0.9996);
  if (word == "x0") return Param("+x_0=", s.x0);
  if (word == "y0") return Param("+y_0=", s.y0);
  return {};  // "bng", "ig", "ntfd", "height" and unknown words add nothing
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The value text of the first "+name=value" token, or nothing.
std::optional<std::string_view> FirstValue(const std::vector<std::string_view>& tokens, std::string_view key) {
  for (const std::string_view t : tokens) {
    if (StartsWith(t, key)) return t.substr(key.size());
  }
  return std::nullopt;
}

}  // namespace

std::string ProjectionDefinition(const Tmapprojection_record& row, const ProjectionSetup& setup,
                                 const Ellipsoid& ellipsoid) {
  std::string definition = row.pstr;
  for (const std::string_view word : ParameterWords(row.ppars)) definition += KeywordParameter(word, setup);
  definition += " +a=" + FormatFixed(ellipsoid.a, 5);
  definition += " +b=" + FormatFixed(ellipsoid.b, 5);
  return definition;
}

std::string LibraryDefinition(std::string_view definition) {
  const std::vector<std::string_view> tokens = SplitBlanks(definition);
  std::string given;
  for (const std::string_view t : tokens) {
    if (StartsWith(t, "+towgs84=") || t == "+towgs84" || StartsWith(t, "+pm=")) continue;
    if (!given.empty()) given += ' ';
    given += t;
  }
  if (FirstValue(tokens, "+proj=") == std::string_view("bonne") && !FirstValue(tokens, "+lat_1=")) {
    given += " +lat_1=";
    given += FirstValue(tokens, "+lat_0=").value_or("0");
  }
  return given;
}

ProjectionHandle CreateProjectionFromDefinition(const std::string& definition, const MessageSink& sink) {
  std::string given = LibraryDefinition(definition);
  const ThreadProjection first = MakeThreadProjection(given);
  if (first.projection == nullptr) {
    if (sink) sink(kProjectionRefusedMessage);
    return ProjectionHandle();
  }
  auto shared = std::make_shared<SharedProjection>(definition, std::move(given), first);
  shared->RegisterCreator();
  return ProjectionHandle(std::move(shared));
}

ProjectionHandle CreateProjection(const ProjectionCatalogue& catalogue, int row, const ProjectionSetup& setup,
                                  std::int32_t datum, const MessageSink& sink) {
  const std::string definition = ProjectionDefinition(catalogue.Row(row), setup, EllipsoidOfDatum(datum));
  return CreateProjectionFromDefinition(definition, sink);
}

// ---------------------------------------------------------------------------
// Projecting points

namespace {

constexpr double kPoleLatitude = 89.99999;

}  // namespace

std::optional<EastingNorthing> ProjectionHandle::Forward(LatLon point) const {
  if (!shared_) return std::nullopt;
  if (shared_->Geographic()) return EastingNorthing{point.longitude, point.latitude};
  PJ* projection = shared_->ForThisThread();
  if (projection == nullptr) return std::nullopt;
  double latitude = point.latitude;
  if (latitude >= 90.0) latitude = kPoleLatitude;
  if (latitude <= -90.0) latitude = -kPoleLatitude;
  PJ_COORD c;
  c.lpzt = {point.longitude * kDegToRad, latitude * kDegToRad, 0.0, 0.0};
  c = proj_trans(projection, PJ_FWD, c);
  if (!std::isfinite(c.xy.x) || !std::isfinite(c.xy.y)) return std::nullopt;
  return EastingNorthing{c.xy.x, c.xy.y};
}

std::optional<LatLon> ProjectionHandle::Inverse(EastingNorthing point) const {
  if (!shared_) return std::nullopt;
  if (shared_->Geographic()) return LatLon{point.northing, point.easting};
  PJ* projection = shared_->ForThisThread();
  if (projection == nullptr) return std::nullopt;
  PJ_COORD c;
  c.xyzt = {point.easting, point.northing, 0.0, 0.0};
  c = proj_trans(projection, PJ_INV, c);
  if (!std::isfinite(c.lp.lam) || !std::isfinite(c.lp.phi)) return std::nullopt;
  return LatLon{c.lp.phi * kRadToDeg, c.lp.lam * kRadToDeg};
}

}  // namespace quiltor::geodesy
