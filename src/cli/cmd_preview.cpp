// quiltor-cli preview: any image the program opens, or one zoom level of a
// tiled image, written out as PNG so that it can be looked at with any
// viewer.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "raster/bitmap.h"
#include "raster/format_readers.h"
#include "raster/raster_decode.h"
#include "raster/raster_source.h"
#include "raster/tiled_format.h"
#include "raster/tiled_reader.h"

namespace quiltor::cli {

namespace {

// A failure with its reason; the command prints it and exits 1.
struct PreviewFailure {
  std::string reason;
};

// The whole image through the dispatch, row by row, as a create reads it.
Bitmap WholeImage(const std::filesystem::path& path) {
  RasterOpenResult failure = RasterOpenResult::NotOpened;
  std::string refusal;
  std::unique_ptr<RasterSource> source = OpenRaster(path, failure, refusal);
  if (!source) throw PreviewFailure{DescribeOpenFailure(path, failure, refusal)};
  const std::size_t bytes = static_cast<std::size_t>(source->width()) * static_cast<std::size_t>(source->height()) *
                            static_cast<std::size_t>(source->pixelMode() == 1 ? 1 : 3);
  if (bytes > kMaxBitmapBytes) {
    std::string reason = std::to_string(source->width()) + " x " + std::to_string(source->height()) +
                         " pixels are too many to hold in memory";
    if (IsTiledKind(RasterKind(path))) reason += "; preview a smaller zoom level with --level N";
    throw PreviewFailure{reason};
  }
  return ReadWholeRaster(*source);
}

// Zoom level `level` of a tiled image. A level the file does not have is a
// bad argument (the file itself is fine), told with the levels it has.
Bitmap TiledLevel(const std::filesystem::path& path, int level) {
  int levels = 0;
  {
    TiledReader::Opening opening = TiledReader::Open(path, false);
    if (!opening.reader) throw PreviewFailure{DescribeOpenFailure(path, RasterOpenResult::NotOpened, opening.message)};
    levels = std::min(opening.reader->LevelCount(), tiled::kMaxReaderLevels);
  }
  if (level >= levels) {
    throw UsageError{path.string() + " has zoom levels 0 to " + std::to_string(levels - 1) + "; there is no level " +
                     std::to_string(level)};
  }
  std::optional<Bitmap> image = DecodeTiledImage(path, level);
  if (!image) throw PreviewFailure{"zoom level " + std::to_string(level) + " is too large to hold in memory"};
  return std::move(*image);
}

// Written under a temporary name beside `output` and renamed over it once
// complete, so that a failed write never leaves half a PNG nor removes a file
// that was there before.
void WritePreview(const std::filesystem::path& output, const Bitmap& image) {
  std::filesystem::path partial = output;
  partial += ".part" + std::to_string(::getpid());
  if (!WritePngImage(partial, image)) throw PreviewFailure{"cannot write " + output.string()};
  std::error_code ec;
  std::filesystem::rename(partial, output, ec);
  if (ec) {
    std::filesystem::remove(partial, ec);
    throw PreviewFailure{"cannot write " + output.string()};
  }
}

}  // namespace

int RunPreview(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  const Args args(argv, {"output", "level"}, {});
  if (args.Positionals().size() != 1) throw UsageError{"give one IMAGE"};
  const auto output = args.Value("output");
  if (!output) throw UsageError{"-o OUT.png is required"};
  const std::filesystem::path path = args.Positionals()[0];
  const std::optional<int> level = args.Integer("level");
  if (level && *level < 0) throw UsageError{"--level must be 0 or more"};
  if (level && !IsTiledKind(RasterKind(path))) {
    throw UsageError{"--level applies to tiled images only (.qtx2, .qtxx3, .qtx)"};
  }
  const auto fail = [&](const std::string& reason) {
    err << "quiltor-cli preview: " << path.string() << ": " << reason << "\n";
    return 1;
  };
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return fail("no such file");
  try {
    const Bitmap image = level ? TiledLevel(path, *level) : WholeImage(path);
    WritePreview(*output, image);
    out << *output << " (" << image.width() << " x " << image.height() << " pixels)\n";
  } catch (const PreviewFailure& f) {
    return fail(f.reason);
  } catch (const UsageError&) {
    throw;
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  return 0;
}

}  // namespace quiltor::cli
