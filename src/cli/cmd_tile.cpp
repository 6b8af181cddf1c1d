// quiltor-cli tile: converts one image into the tiled multi-zoom format with
// every zoom level, as the last stage of a create does, and writes nothing
// else.
#include <atomic>
#include <filesystem>
#include <ostream>

#include "cli/command_spec.h"
#include "cli/interrupt_guard.h"
#include "cli/output_guard.h"
#include "cli/terminal_host.h"
#include "common/paths.h"
#include "common/text.h"
#include "pipeline/tiled_conversion.h"
#include "pipeline/zoom_plan.h"

namespace quiltor::cli {

namespace {

int RunTile(const Args& args, const Console& io) {
  args.ExpectPositionals(1, "give one IMAGE");
  TiledConversionRequest request;
  request.sourcePath = args.Positionals()[0];
  request.destinationPath = *args.Value("output");
  request.colourCount = args.IntegerWithin("colors", 1, 254).value_or(254);
  request.scalePercent = args.Number("resize").value_or(100);
  request.scrambled = args.Flag("scrambled");
  if (!(request.scalePercent > 0 && request.scalePercent <= 100))
    throw UsageError("--resize takes a percentage above 0 and at most 100, not " + *args.Value("resize"));
  request.tempFolder = args.Value("temp").value_or(std::filesystem::temp_directory_path().string());
  // The plain variant is opened by the host only as ".qtx2"; the scrambled
  // one is this program's ".qtxx3".
  RequireOutputExtension(request.destinationPath, request.scrambled ? ".qtxx3" : ".qtx2");
  if (!std::filesystem::exists(request.sourcePath)) throw Failed("no such file: " + request.sourcePath);
  // The same name is written as "NAME_1.qtx2"; another path to the same
  // file would replace the image being converted.
  if (!EqualsIgnoreCase(request.sourcePath, request.destinationPath))
    RefuseOutputOverInput(request.sourcePath, request.destinationPath);

  TerminalHost host;
  host.Rephrase(kImageTooSmallMessage, request.scalePercent < 100
                                           ? "Image is too small to process at --resize " + *args.Value("resize") +
                                                 ": a larger --resize makes larger levels"
                                           : "Image is too small to process");
  std::atomic<bool> abort{false};
  TiledConversionResult result;
  {
    // A stop signal ends the conversion between rows and tiles, so that the
    // unfinished file and the work folder are cleaned up.
    const InterruptGuard guard({&abort});
    result = ConvertToTiledImage(request, host, abort);
  }
  host.FinishProgress();
  if (!result.ok) {
    std::string reason = "conversion failed";
    if (abort.load()) reason += " (interrupted)";
    if (!result.error.empty() && !result.shown) reason += ": " + result.error;
    throw Failed(reason);
  }
  io.out << result.writtenPath << "\n";
  return kExitSuccess;
}

}  // namespace

const CommandSpec& TileCommand() {
  static const CommandSpec spec{
      .name = "tile",
      .summary = "convert one image into the tiled format with all zoom levels",
      .options =
          {
              Text("output", "OUT.qtx2", "the tiled image to write").Required().Short('o'),
              Integer("colors", "N", "colours of the full-size level, 1 to 254 (default 254)"),
              Number("resize", "P", "size of the full-size level in percent, above 0 to 100 (default 100)"),
              Text("temp", "DIR", "where the private work folder is made (default the system's)"),
              Flag("scrambled", "write the scrambled variant, readable only by this program"),
          },
      .forms = {"IMAGE"},
      .description =
          "Converts IMAGE (bmp, jpg, png, gif, tif, kap/nos, qtx, qtx2, qtxx3) into the tiled multi-zoom\n"
          "format as the last stage of a create does: the full-size level reduced to --colors colours at\n"
          "--resize percent, the 25, 10, 5, 2.5 and 1 % levels the size allows, a thumbnail and an\n"
          "overview level. Intermediate files go to a private folder inside --temp, removed at the end.\n"
          "OUT is written under a temporary name and replaces an existing file only when complete;\n"
          "Ctrl-C (or SIGTERM, SIGHUP) stops cleanly. --scrambled writes the scrambled variant with this\n"
          "program's own tables. Prints the path written (a name equal to IMAGE gets \"_1\").\n",
      .exitCodes = "0 written, 1 refused or failed (the reason on stderr), 2 bad arguments.",
      .run = RunTile,
  };
  return spec;
}

}  // namespace quiltor::cli
