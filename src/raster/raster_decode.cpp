#include "raster/raster_decode.h"

#include <string>

#include "common/error.h"

namespace quiltor {

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
  const RasterFormat* format = FindRasterFormat(kind);
  if (failure == RasterOpenResult::FileMissing) return "no such file";
  // A reader that tells its refusals apart says why in its own words.
  if (format != nullptr && format->describeRefusal != nullptr) return format->describeRefusal(path);
  if (failure == RasterOpenResult::NotDecoded) {
    return "the " + kind + " image could not be decoded (damaged, or a variant the decoder does not read)";
  }
  if (format != nullptr && !format->Loaded()) return "the library that decodes " + kind + " images is not loaded";
  if (format != nullptr && !format->Available()) return "no decoder for " + kind + " images in this build";
  if (!refusal.empty()) return refusal;
  if (format != nullptr) return "the " + kind + " reader refused the file (damaged, or a layout it does not read)";
  if (kind.empty()) return "the file has no extension, and the extension chooses the reader";
  return "\"" + kind + "\" is not an image kind this program reads (the extension chooses the reader)";
}

}  // namespace quiltor
