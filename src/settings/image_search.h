#pragma once
// Resolving the image named on line 3 of a map file. Maps are copied between
// folders, drives and machines, and their images sit on CD-ROMs or in the
// host's image folders, so a written path that does not exist is searched for
// in a fixed order of candidates (first existing file wins):
//   the path as written ("#CD#" standing for the first CD-ROM drive),
//   the map's own folder, every CD-ROM drive (with and without the written
//   folder), the host's four image folders, the host's "Check Drives"
//   letters (with and without the written folder), and the install folders
//   of the national raster products that such paths point to.
#include <string>
#include <string_view>
#include <vector>

#include "settings/host_discovery.h"

namespace quiltor {

// Everything the search reads; built once at start-up and then only read,
// so one context serves any number of worker threads.
struct ImageSearchContext {
  HostEnvironment environment;
  HostImagePaths hostPaths;
};

// The default context: DefaultHostEnvironment() and its host image paths.
ImageSearchContext LoadImageSearchContext();

// Every candidate in the order it is tried, as local paths. Exposed so that
// the order itself can be checked.
std::vector<std::string> ImageCandidates(std::string_view imagePath, std::string_view mapPath,
                                         const ImageSearchContext& context);

// The local path of the first candidate that exists, or "" when the image is
// found nowhere (or either text is blank). In the map's own folder and the
// host's image folders the file name also matches without regard to letter
// case, since maps made on Windows often differ in case from their images.
std::string FindMapImage(std::string_view imagePath, std::string_view mapPath, const ImageSearchContext& context);

}  // namespace quiltor
