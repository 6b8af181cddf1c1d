#pragma once
// What a command may write to: an output named with the one extension the
// command writes, and never a file the command reads. Files are compared as
// files (device and inode), so a link or another spelling of a path is
// recognised as the file it names.
#include <filesystem>
#include <string>
#include <string_view>

#include "catalogue/map_record.h"
#include "raster/bitmap.h"
#include "cli/command_failure.h"

namespace quiltor::cli {

// True when both paths name one existing file.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// UsageError "-o must name a EXT file" unless `output` ends in `extension`
// (compared without regard to case), or when it names an existing folder.
void RequireOutputExtension(const std::filesystem::path& output, std::string_view extension);

// UsageError when `output` is the file `input`: writing would destroy what
// is being read.
void RefuseOutputOverInput(const std::filesystem::path& input, const std::filesystem::path& output);

// The scanned map whose map file or image `file` is, or null.
const Map_record* MapWithFile(const MapCatalogue& catalogue, const std::filesystem::path& file);

// The refusal of an output that is `mapFile`'s map file or image.
CommandFailure OutputIsAMapFile(const std::filesystem::path& output, const std::string& mapFile);

// Writes `image` as a PNG under a temporary name beside `output` and renames
// it over `output` once complete, so that a failed write never leaves half a
// PNG nor removes a file that was there before. Failed "cannot write OUTPUT".
void WritePngReplacing(const std::filesystem::path& output, const Bitmap& image);

}  // namespace quiltor::cli
