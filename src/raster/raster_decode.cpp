#include "raster/raster_decode.h"

#include <string>

#include "common/error.h"
#include "raster/tiled_reader.h"

namespace quiltor {

namespace {

// The refusal of a tiled image, told apart by the reader's own status.
std::string DescribeTiledRefusal(const std::filesystem::path& path) {
  try {
    TiledReader::Opening opening = TiledReader::Open(path, false);
    switch (opening.status) {
      case TiledOpenStatus::Opened: return "the tiled image opens now; it could not be opened before";
      case TiledOpenStatus::UnknownScheme:
        return "Protected Map Image (scheme version 99): scrambled with a scheme this program does not know";
      case TiledOpenStatus::NewerScheme:
        return "Protected Map Image (scheme version 99): scrambled with a scheme newer than this program reads";
      case TiledOpenStatus::Unrecognised:
        return opening.message.empty() ? "not a tiled image this program reads" : opening.message;
    }
  } catch (const std::exception& e) {
    return std::string("damaged tiled image: ") + e.what();
  }
  return "not a tiled image this program reads";
}

}  // namespace

Bitmap ReadWholeRaster(RasterSource& source) {
  // A bitmap row holds exactly one source row: width bytes of indices, or
  // width times three bytes of blue, green, red.
  const bool indexed = source.pixelMode() == 1;
  if (!indexed && source.pixelMode() != 3) {
    throw QuiltorError("rows of " + std::to_string(source.pixelMode()) + " bytes per pixel cannot be gathered");
  }
  Bitmap image(source.width(), source.height(), indexed ? 8 : 24);
  if (indexed) image.palette() = source.palette();
  for (int y = 0; y < source.height(); ++y) ReadRasterLine(&source, y, image.row(y));
  return image;
}

std::string DescribeOpenFailure(const std::filesystem::path& path, RasterOpenResult failure,
                                const std::string& refusal) {
  const std::string kind = RasterKind(path);
  switch (failure) {
    case RasterOpenResult::FileMissing: return "no such file";
    case RasterOpenResult::NotDecoded:
      if (kind == ".qtx") return DescribeTiledRefusal(path);
      return "the " + kind + " image could not be decoded (damaged, or a variant the decoder does not read)";
    case RasterOpenResult::NotOpened: break;
  }
  if (kind == ".qtx2" || kind == ".qtxx3") return DescribeTiledRefusal(path);
  if (kind == ".sid" || kind == ".ecw" || kind == ".hdr" || kind == ".rml") {
    return "no decoder for " + kind + " images in this build";
  }
  if (!refusal.empty()) return refusal;
  if (kind == ".tif" || kind == ".kap" || kind == ".nos" || kind == ".qtx0" || kind == ".qtxx0") {
    return "the " + kind + " reader refused the file (damaged, or a layout it does not read)";
  }
  if (kind.empty()) return "the file has no extension, and the extension chooses the reader";
  return "\"" + kind + "\" is not an image kind this program reads (the extension chooses the reader)";
}

}  // namespace quiltor
