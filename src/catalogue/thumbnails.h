#pragma once
// Thumbnails: each map's picture warped into the destination projection, so
// the view can draw every map's content at once. Two stages are cached on
// disk as PNG files (".mv3"):
//  - the image thumbnail, the map image reduced to at most 500 pixels on its
//    longer side, "<image file name>.mv3", stamped with the image's time;
//  - the projected thumbnail, the image thumbnail resampled into the
//    destination at the "Thumbnail Size", "Projected/<image file name>_<key>.mv3",
//    stamped with the ".map" file's time.
// A stage is reused only while its stamp equals that of its source, so a
// changed map or image is rebuilt and an unchanged catalogue costs one PNG
// load per map.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "catalogue/map_record.h"
#include "common/worker_host.h"
#include "geodesy/destination_setup.h"

namespace quiltor {

// The colour of thumbnail pixels where no part of the map lies (0xRRGGBB).
inline constexpr std::uint32_t kThumbnailTransparent = 0xFF00FF;
// The longer side of an image thumbnail, pixels.
inline constexpr int kImageThumbnailSide = 500;
inline constexpr const char* kThumbnailExtension = ".mv3";

// The part of a projected thumbnail's name that tells destinations apart:
// the first five characters of the projection name (not trimmed) and the
// trimmed texts of the parameters that projection uses, in field order (of
// the zone only its first two characters). Empty for a projection outside
// the destination list, so its thumbnails are shared by every setting.
std::string ProjectionKey(const geodesy::DestinationSettings& destination);

struct ThumbnailFolders {
  std::filesystem::path images;     // "Image Thumbnails"
  std::filesystem::path projected;  // "Image Thumbnails/Projected"
};

// Where the thumbnails live: "System Files/Image Thumbnails" beside the
// program when the settings file is the portable one there, otherwise
// `cacheFolder`/"Image Thumbnails".
ThumbnailFolders ThumbnailFolderLocation(const std::filesystem::path& settingsFile,
                                         const std::filesystem::path& programFolder,
                                         const std::filesystem::path& cacheFolder);

// Creates both folders with their parents and checks that files can be
// written there. nullopt, with the reason in `message`, when they cannot:
// the maps are then used without thumbnails.
std::optional<ThumbnailFolders> PrepareThumbnailFolders(const ThumbnailFolders& folders, std::string& message);

// The two cache files of a map's image.
std::filesystem::path ImageThumbnailPath(const ThumbnailFolders& folders, const std::string& imageFile);
std::filesystem::path ProjectedThumbnailPath(const ThumbnailFolders& folders, const std::string& imageFile,
                                             const std::string& projectionKey);

struct ThumbnailSize {
  int width = 0;
  int height = 0;
  friend bool operator==(const ThumbnailSize&, const ThumbnailSize&) = default;
};

// `side` x round(side / ratio) for a ratio (width / height) above 1,
// otherwise round(ratio * side) x `side`; rounding ties to even.
ThumbnailSize FitThumbnail(double ratio, int side);

// What a thumbnail pass needs besides the map: where the files go, the
// destination as set up for this pass, and the "Thumbnail Size".
struct ThumbnailContext {
  ThumbnailFolders folders;
  geodesy::Projection destination;  // on WGS 84
  std::string projectionKey;
  int thumbnailSize = 200;  // 50..500
  WorkerHost& host;
};

enum class StageOutcome { None, Reused, Built };

// Result codes of BuildThumbnail.
inline constexpr int kThumbnailDone = 0;
inline constexpr int kThumbnailNoImageSize = 1;
inline constexpr int kThumbnailNotMade = 255;

struct ThumbnailBuild {
  int code = kThumbnailNotMade;
  StageOutcome imageStage = StageOutcome::None;      // the 500-pixel image thumbnail
  StageOutcome projectedStage = StageOutcome::None;  // the map's `thumbnail`
  std::filesystem::path projectedFile;
};

// Gives a usable map its projected `thumbnail`, from the cache when both
// stamps match, otherwise warped from the (cached or new) image thumbnail
// and written back. Maps that are not usable are left alone. Throws
// QuiltorError when a cache file cannot be written; a pixel that cannot be
// projected stays transparent.
ThumbnailBuild BuildThumbnail(Map_record& record, const ThumbnailContext& context);

// Warps an image thumbnail (`scale` image pixels per thumbnail pixel) into a
// destination box of width x height pixels of `step` units each, top-left at
// (minX, maxY). Pixels outside the map's border stay kThumbnailTransparent.
// `onRow` hears every tenth row.
struct WarpBox {
  double minX = 0;
  double maxY = 0;
  double step = 0;
  int width = 0;
  int height = 0;
};
Bitmap WarpThumbnail(const Map_record& record, const Bitmap& imageThumbnail, double scale, const WarpBox& box,
                     const ThumbnailContext& context);

// Set when the thumbnails in memory no longer match the destination: its
// projection changed or the cached files were deleted. Taken when the map
// list is shown again.
class RebuildNeededFlag {
 public:
  void Set() { set_ = true; }
  bool IsSet() const { return set_; }
  // True when it was set; it is clear afterwards.
  bool Take() {
    const bool was = set_;
    set_ = false;
    return was;
  }

 private:
  bool set_ = false;
};

// "Delete Thumbnails": deletes every projected thumbnail file (folders
// inside are skipped; the first file that cannot be deleted stops it) and
// sets the rebuild-needed flag. Image thumbnails stay. Returns the number of
// files deleted.
int DeleteProjectedThumbnails(const ThumbnailFolders& folders, RebuildNeededFlag& rebuildNeeded);

// The core of showing the map list again after the destination changed:
// when the flag was set it is cleared and every map's thumbnail is freed;
// the view is then fitted and redrawn, and a thumbnail pass runs first when
// thumbnails are in use and maps are loaded.
enum class ThumbnailRebuild { NotNeeded, RedrawOnly, RunWorker };
ThumbnailRebuild PrepareThumbnailRebuild(RebuildNeededFlag& flag, MapCatalogue& catalogue, bool useThumbnails);

}  // namespace quiltor
