#include "cli/output_guard.h"

#include <string>
#include <system_error>

#include "cli/command_failure.h"
#include "common/error.h"
#include "common/paths.h"
#include "raster/formats/format_readers.h"
#include "raster/scratch/work_folder.h"

namespace quiltor::cli {

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

void RequireOutputExtension(const std::filesystem::path& output, std::string_view extension) {
  if (!EqualsIgnoreCase(ExtensionPart(output.string()), extension))
    throw UsageError("-o must name a " + std::string(extension) + " file, not \"" + output.string() + "\"");
  // Found out now rather than when the finished file is moved into place,
  // after the whole work has been done for nothing.
  std::error_code ec;
  if (std::filesystem::is_directory(output, ec))
    throw UsageError("-o names the folder " + output.string() + "; name a file in it instead");
}

void RefuseOutputOverInput(const std::filesystem::path& input, const std::filesystem::path& output) {
  if (SameFile(input, output))
    throw UsageError("-o " + output.string() + " is the input image " + input.string() +
                     "; writing it would destroy the image being read");
}

const Map_record* MapWithFile(const MapCatalogue& catalogue, const std::filesystem::path& file) {
  for (int i = 0; i < catalogue.count(); ++i)
    if (SameFile(catalogue[i].mapFile, file) || SameFile(catalogue[i].imageFile, file)) return &catalogue[i];
  return nullptr;
}

CommandFailure OutputIsAMapFile(const std::filesystem::path& output, const std::string& mapFile) {
  return UsageError("-o would write over " + output.string() + ", a file of the scanned map " + mapFile +
                    "; choose another name or folder");
}

void WritePngReplacing(const std::filesystem::path& output, const Bitmap& image) {
  PendingFile pending(output);
  if (!WritePngImage(pending.temporaryPath(), image)) throw Failed("cannot write " + output.string());
  try {
    pending.Commit();
  } catch (const QuiltorError&) {
    throw Failed("cannot write " + output.string());
  }
}

}  // namespace quiltor::cli
