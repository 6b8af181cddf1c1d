#include "catalogue/thumbnails.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <system_error>
#include <vector>

#include "catalogue/calibration.h"
#include "catalogue/outline.h"
#include "common/error.h"
#include "common/paths.h"
#include "common/rounding.h"
#include "common/text.h"
#include "raster/formats/format_readers.h"
#include "raster/raster_source.h"
#include "pipeline/thumbnail.h"
#include "settings/settings_file.h"

namespace quiltor {

namespace fs = std::filesystem;

namespace {

bool InDestinationList(const std::string& displayName) {
  for (const auto& p : geodesy::DestinationProjections()) {
    if (displayName == p.displayName) return true;
  }
  return false;
}

std::optional<fs::file_time_type> StampOf(const fs::path& file) {
  std::error_code ec;
  const auto t = fs::last_write_time(file, ec);
  if (ec) return std::nullopt;
  return t;
}

void SaveStamped(const fs::path& file, const Bitmap& bitmap, const std::optional<fs::file_time_type>& stamp) {
  if (!WritePngImage(file, bitmap)) throw QuiltorError("cannot write the thumbnail " + file.string());
  if (!stamp) return;
  std::error_code ec;
  fs::last_write_time(file, *stamp, ec);
  if (ec) throw QuiltorError("cannot set the time of the thumbnail " + file.string());
}

// A cached stage is current when it exists and carries its source's stamp.
bool Current(const std::optional<fs::file_time_type>& cached, const std::optional<fs::file_time_type>& source) {
  return cached && source && *cached == *source;
}

struct ImageStage {
  Bitmap bitmap;
  double scale = 1;  // image pixels per thumbnail pixel
};

// The image thumbnail from its cache file when current, otherwise made from
// the image and cached. nullopt when the image cannot be reduced.
std::optional<ImageStage> ObtainImageThumbnail(const Map_record& record, const fs::path& file,
                                               std::int32_t imageWidth, std::int32_t imageHeight,
                                               StageOutcome& outcome) {
  const auto imageStamp = StampOf(record.imageFile);
  if (Current(StampOf(file), imageStamp)) {
    if (std::optional<Bitmap> cached = DecodePng(file); cached && cached->width() > 0) {
      outcome = StageOutcome::Reused;
      const double scale = static_cast<double>(imageWidth) / cached->width();
      return ImageStage{std::move(*cached), scale};
    }
  }
  const double ratio = static_cast<double>(imageWidth) / imageHeight;
  const ThumbnailSize size = FitThumbnail(ratio, kImageThumbnailSide);
  std::optional<Thumbnail> made = MakeThumbnail(record.imageFile, size.width, size.height);
  if (!made) return std::nullopt;
  SaveStamped(file, made->bitmap, imageStamp);
  outcome = StageOutcome::Built;
  return ImageStage{std::move(made->bitmap), made->scale};
}

void FillTransparent(Bitmap& bitmap) {
  for (int y = 0; y < bitmap.height(); ++y) {
    std::uint8_t* row = bitmap.row(y);
    for (int x = 0; x < bitmap.width(); ++x) {
      row[3 * x] = 0xFF;      // blue
      row[3 * x + 1] = 0x00;  // green
      row[3 * x + 2] = 0xFF;  // red
    }
  }
}

// The map's border in its own projection, as the border test takes it.
using ProjectedBorder = std::vector<PlanePoint>;

ProjectedBorder BorderOf(const Map_record& record) {
  ProjectedBorder b;
  b.reserve(record.border.size());
  for (const BorderPoint& p : record.border) b.push_back({p.easting, p.northing});
  return b;
}

// The image thumbnail pixel under destination point (X, Y), or nullopt
// when the point lies outside the map or off the image thumbnail.
std::optional<std::pair<int, int>> SourcePixel(const Map_record& record, const ProjectedBorder& border, double X,
                                               double Y, double scale, const Bitmap& image,
                                               const ThumbnailContext& context) {
  const std::optional<geodesy::LatLon> position = context.destination.Inverse({X, Y});
  if (!position) return std::nullopt;
  const geodesy::LatLon ll = *position;
  const std::optional<geodesy::EastingNorthing> inMap = record.projWGS84.Forward(ll);
  if (!inMap) return std::nullopt;
  const geodesy::EastingNorthing en = *inMap;
  const bool latLonMap = record.projWGS84.IsLatLon();
  if (!PointInOutline(border, {en.easting, en.northing})) return std::nullopt;
  // The map's forward projection of this point is `en` already, so its pixel
  // is the calibration's inverse of it; only a degree map goes through the
  // projection again, as its pixel position is defined by it.
  PixelPosition pixel{kNoPixelPosition, kNoPixelPosition};
  if (latLonMap) {
    pixel = LatLonToPixel(record, ll);
  } else if (const PixelPoint p = ProjectedToPixel(record, en); std::isfinite(p.x) && std::isfinite(p.y)) {
    pixel = {RoundHalfEvenToInt(p.x), RoundHalfEvenToInt(p.y)};
  }
  const int tx = RoundHalfEvenToInt(pixel.x / scale);
  const int ty = RoundHalfEvenToInt(pixel.y / scale);
  if (tx < 0 || ty < 0 || tx >= image.width() || ty >= image.height()) return std::nullopt;
  return std::make_pair(tx, ty);
}

}  // namespace

std::string ProjectionKey(const geodesy::DestinationSettings& destination) {
  if (!InDestinationList(destination.mapProjection)) return {};
  using F = geodesy::ParameterField;
  const geodesy::ParameterFieldSet used = geodesy::DestinationParameterFields(destination.mapProjection);
  std::string key = destination.mapProjection.substr(0, 5);
  for (int i = 0; i < geodesy::kParameterFieldCount; ++i) {
    const auto field = static_cast<F>(i);
    if (!used.Has(field)) continue;
    std::string text = TrimSpaces(destination.FieldText(field));
    if (field == F::Zone) text = text.substr(0, 2);
    key += text;
  }
  return key;
}

ThumbnailFolders ThumbnailFolderLocation(const fs::path& settingsFile, const fs::path& programFolder,
                                         const fs::path& cacheFolder) {
  const fs::path root = IsPortableSettings(settingsFile, programFolder)
                            ? programFolder / "System Files" / "Image Thumbnails"
                            : cacheFolder / "Image Thumbnails";
  return {root, root / "Projected"};
}

std::optional<ThumbnailFolders> PrepareThumbnailFolders(const ThumbnailFolders& folders, std::string& message) {
  std::error_code ec;
  fs::create_directories(folders.projected, ec);
  fs::create_directories(folders.images, ec);
  for (const fs::path& folder : {folders.images, folders.projected}) {
    const fs::path probe = folder / ".write-test";
    bool writable = false;
    {
      std::ofstream out(probe, std::ios::binary | std::ios::trunc);
      writable = static_cast<bool>(out << 'x');
    }
    fs::remove(probe, ec);
    if (!writable) {
      message = "The thumbnail folder " + folder.string() +
                " cannot be created or written; maps are shown without thumbnails.";
      return std::nullopt;
    }
  }
  return folders;
}

fs::path ImageThumbnailPath(const ThumbnailFolders& folders, const std::string& imageFile) {
  return folders.images / (FileNamePart(imageFile) + kThumbnailExtension);
}

fs::path ProjectedThumbnailPath(const ThumbnailFolders& folders, const std::string& imageFile,
                                const std::string& projectionKey) {
  return folders.projected / (FileNamePart(imageFile) + "_" + projectionKey + kThumbnailExtension);
}

ThumbnailSize FitThumbnail(double ratio, int side) {
  if (ratio > 1) return {side, RoundHalfEvenToInt(side / ratio)};
  return {RoundHalfEvenToInt(ratio * side), side};
}

Bitmap WarpThumbnail(const Map_record& record, const Bitmap& imageThumbnail, double scale, const WarpBox& box,
                     const ThumbnailContext& context) {
  Bitmap out(box.width, box.height, 24);
  FillTransparent(out);
  const ProjectedBorder border = BorderOf(record);
  for (int r = 0; r < box.height; ++r) {
    if (r % 10 == 0) {
      context.host.SetProgressLabel(
          3, "Creating Thumbnail Image - " + FormatInt(r) + " of " + FormatInt(box.height));
    }
    const double Y = box.maxY - r * box.step;
    std::uint8_t* row = out.row(r);
    for (int c = 0; c < box.width; ++c) {
      try {
        const auto source = SourcePixel(record, border, box.minX + c * box.step, Y, scale, imageThumbnail, context);
        if (source) imageThumbnail.PixelBgr(source->first, source->second, row + 3 * static_cast<std::size_t>(c));
      } catch (const std::exception&) {
        // the pixel stays transparent
      }
    }
  }
  return out;
}

ThumbnailBuild BuildThumbnail(Map_record& record, const ThumbnailContext& context) {
  ThumbnailBuild result;
  if (!record.usable()) return result;
  context.host.SetProgressLabel(1, "Loading Map Image - " + FileNamePart(record.imageFile));
  const fs::path imageFile = ImageThumbnailPath(context.folders, record.imageFile);
  result.projectedFile = ProjectedThumbnailPath(context.folders, record.imageFile, context.projectionKey);

  std::int32_t width = 0, height = 0, pixelMode = 0;
  if (!QueryRasterInfo(record.imageFile, width, height, pixelMode) || width <= 0 || height <= 0) {
    result.code = kThumbnailNoImageSize;
    return result;
  }
  const auto mapStamp = StampOf(record.mapFile);
  if (Current(StampOf(result.projectedFile), mapStamp) && Current(StampOf(imageFile), StampOf(record.imageFile))) {
    if (std::optional<Bitmap> cached = DecodePng(result.projectedFile); cached && !cached->empty()) {
      record.thumbnail = std::move(*cached);
      result.code = kThumbnailDone;
      result.projectedStage = StageOutcome::Reused;
      return result;
    }
  }

  std::optional<ImageStage> image = ObtainImageThumbnail(record, imageFile, width, height, result.imageStage);
  if (!image) return result;

  const ProjectedExtent extent = MapExtentInProjection(record, context.destination);
  const double ratio = extent.maxY - extent.minY > 0 ? (extent.maxX - extent.minX) / (extent.maxY - extent.minY) : 1.0;
  const ThumbnailSize size = FitThumbnail(ratio, context.thumbnailSize);
  if (size.width <= 0 || size.height <= 0) return result;
  const WarpBox box{extent.minX, extent.maxY, std::abs(extent.maxX - extent.minX) / size.width, size.width,
                    size.height};
  Bitmap warped = WarpThumbnail(record, image->bitmap, image->scale, box, context);
  SaveStamped(result.projectedFile, warped, mapStamp);
  record.thumbnail = std::move(warped);
  result.code = kThumbnailDone;
  result.projectedStage = StageOutcome::Built;
  return result;
}

int DeleteProjectedThumbnails(const ThumbnailFolders& folders, RebuildNeededFlag& rebuildNeeded) {
  rebuildNeeded.Set();
  std::error_code ec;
  int deleted = 0;
  for (const char* extension : {".mv2", ".mv3"}) {
    for (fs::directory_iterator it(folders.projected, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->is_directory(ec) || it->path().extension() != extension) continue;
      if (!fs::remove(it->path(), ec) || ec) return deleted;
      ++deleted;
    }
  }
  return deleted;
}

ThumbnailRebuild PrepareThumbnailRebuild(RebuildNeededFlag& flag, MapCatalogue& catalogue, bool useThumbnails) {
  if (!flag.Take()) return ThumbnailRebuild::NotNeeded;
  for (int i = 0; i < catalogue.count(); ++i) catalogue[i].thumbnail.reset();
  return useThumbnails && catalogue.count() > 0 ? ThumbnailRebuild::RunWorker : ThumbnailRebuild::RedrawOnly;
}

}  // namespace quiltor
