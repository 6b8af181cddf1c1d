// quiltor-cli preview: any image the program opens, or one zoom level of a
// tiled image, written out as PNG so that it can be looked at with any
// viewer.

#include <algorithm>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "cli/command_spec.h"
#include "cli/output_guard.h"
#include "common/error.h"
#include "raster/bitmap.h"
#include "raster/formats/format_readers.h"
#include "raster/raster_decode.h"
#include "raster/raster_source.h"
#include "raster/tiled/tiled_format.h"
#include "raster/tiled/tiled_reader.h"

namespace quiltor::cli {

namespace {

// The whole image through the dispatch, row by row, as a create reads it.
Bitmap WholeImage(const std::filesystem::path& path) {
  RasterOpenResult failure = RasterOpenResult::NotOpened;
  std::string refusal;
  std::unique_ptr<RasterSource> source = OpenRaster(path, failure, refusal);
  if (!source) throw Failed(DescribeOpenFailure(path, failure, refusal));
  const std::size_t bytes = static_cast<std::size_t>(source->width()) * static_cast<std::size_t>(source->height()) *
                            static_cast<std::size_t>(source->pixelMode() == 1 ? 1 : 3);
  if (bytes > kMaxBitmapBytes) {
    std::string reason = std::to_string(source->width()) + " x " + std::to_string(source->height()) +
                         " pixels are too many to hold in memory";
    if (IsTiledKind(RasterKind(path))) reason += "; preview a smaller zoom level with --level N";
    throw Failed(reason);
  }
  return ReadWholeRaster(*source);
}

// Zoom level `level` of a tiled image. A level the file does not have is a
// bad argument (the file itself is fine), told with the levels it has.
Bitmap TiledLevel(const std::filesystem::path& path, int level) {
  int levels = 0;
  {
    TiledReader::Opening opening = TiledReader::Open(path, false);
    if (!opening.reader) throw Failed(DescribeOpenFailure(path, RasterOpenResult::NotOpened, opening.message));
    levels = std::min(opening.reader->LevelCount(), tiled::kMaxReaderLevels);
  }
  if (level >= levels) {
    throw UsageError(path.string() + " has zoom levels 0 to " + std::to_string(levels - 1) + "; there is no level " +
                     std::to_string(level));
  }
  std::optional<Bitmap> image = DecodeTiledImage(path, level);
  if (!image) throw Failed("zoom level " + std::to_string(level) + " is too large to hold in memory");
  return std::move(*image);
}

int RunPreview(const Args& args, const Console& io) {
  args.ExpectPositionals(1, "give one IMAGE");
  const std::string output = *args.Value("output");
  const std::filesystem::path path = args.Positionals()[0];
  RequireOutputExtension(output, ".png");
  RefuseOutputOverInput(path, output);
  const std::optional<int> level = args.Integer("level");
  if (level && *level < 0) throw UsageError("--level must be 0 or more");
  if (level && !IsTiledKind(RasterKind(path))) {
    throw UsageError("--level applies to tiled images only (.qtx2, .qtxx3, .qtx)");
  }
  // Every failure names the image it is about.
  const auto failed = [&](const std::string& reason) { return Failed(path.string() + ": " + reason); };
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) throw failed("no such file");
  try {
    const Bitmap image = level ? TiledLevel(path, *level) : WholeImage(path);
    WritePngReplacing(output, image);
    io.out << output << " (" << image.width() << " x " << image.height() << " pixels)\n";
  } catch (const CommandFailure& f) {
    if (f.ExitCode() == kExitFailed) throw failed(f.what());
    throw;
  } catch (const std::exception& e) {
    throw failed(WithReason(e));
  }
  return kExitSuccess;
}

}  // namespace

const CommandSpec& PreviewCommand() {
  static const CommandSpec spec{
      .name = "preview",
      .summary = "write an image, or one zoom level of a tiled image, as PNG",
      .options =
          {
              Integer("level", "N", "decode this zoom level of a tiled image instead of the full size"),
              Text("output", "OUT.png", "the PNG to write").Required().Short('o'),
          },
      .forms = {"IMAGE"},
      .description =
          "Decodes IMAGE through the same readers a create uses and writes it to OUT.png: an 8-bit\n"
          "palette PNG when its rows are palette indices, a true-colour PNG otherwise. Without --level\n"
          "the whole image is read row by row (level 0 of a tiled image); --level N decodes zoom level N\n"
          "of a tiled image instead (\"quiltor-cli rasterinfo\" lists the levels; the last is the small\n"
          "overview). OUT.png is written under a temporary name and replaces an existing file only when\n"
          "complete; it is never IMAGE itself. Prints OUT.png and the size written.\n",
      .example = "quiltor-cli preview out/demo.qtx2 --level 1 -o out/demo-preview.png",
      .exitCodes = "0 written, 1 the image cannot be read or OUT.png cannot be written (the reason on stderr), 2 "
                   "bad arguments, OUT not a .png or IMAGE itself, --level on an image that is not tiled, or a level the file does not have (the "
                   "levels it has are named).",
      .run = RunPreview,
  };
  return spec;
}

}  // namespace quiltor::cli
