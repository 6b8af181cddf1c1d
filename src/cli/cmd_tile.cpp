// quiltor-cli tile: converts one image into the tiled multi-zoom format with
// every zoom level, as the last stage of a create does, and writes nothing
// else.
#include <atomic>
#include <csignal>
#include <filesystem>
#include <ostream>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/terminal_host.h"
#include "raster/tiled_conversion.h"

namespace quiltor::cli {

namespace {

// Ctrl-C stops the conversion between rows and tiles, so that the
// unfinished file and the work folder are cleaned up.
std::atomic<bool>* gInterrupt = nullptr;
extern "C" void OnInterrupt(int) {
  if (gInterrupt != nullptr) gInterrupt->store(true);
}

}  // namespace

int RunTile(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  const Args args(argv, {"output", "colors", "resize", "temp"}, {"scrambled"});
  if (args.Positionals().size() != 1) throw UsageError{"give one IMAGE"};
  const auto output = args.Value("output");
  if (!output) throw UsageError{"-o OUT.qtx2 is required"};
  TiledConversionRequest request;
  request.sourcePath = args.Positionals()[0];
  request.destinationPath = *output;
  request.colourCount = args.Integer("colors").value_or(254);
  request.scalePercent = args.Number("resize").value_or(100);
  request.scrambled = args.Flag("scrambled");
  if (request.colourCount < 1) throw UsageError{"--colors must be at least 1"};
  if (request.scalePercent <= 0) throw UsageError{"--resize must be above 0"};
  request.tempFolder = args.Value("temp").value_or(std::filesystem::temp_directory_path().string());
  if (!std::filesystem::exists(request.sourcePath)) {
    err << "quiltor-cli tile: no such file: " << request.sourcePath << "\n";
    return 1;
  }

  TerminalHost host;
  std::atomic<bool> abort{false};
  gInterrupt = &abort;
  auto previous = std::signal(SIGINT, OnInterrupt);
  const TiledConversionResult result = ConvertToTiledImage(request, host, abort);
  std::signal(SIGINT, previous);
  gInterrupt = nullptr;
  host.FinishProgress();
  if (!result.ok) {
    err << "quiltor-cli tile: conversion failed";
    if (abort.load()) err << " (interrupted)";
    if (!result.error.empty()) err << ": " << result.error;
    err << "\n";
    return 1;
  }
  out << result.writtenPath << "\n";
  return 0;
}

}  // namespace quiltor::cli
