#pragma once
// The calibration file a create wrote, read back through the program's own
// reader as a scan would read it.
#include <gtest/gtest.h>

#include <filesystem>

#include "catalogue/map_file_reader.h"
#include "catalogue/raster_image_queries.h"
#include "geodesy/projection_catalogue.h"
#include "settings/image_search.h"

namespace quiltor::testing {

inline Map_record ReadWrittenMap(const std::filesystem::path& mapFile) {
  Map_record written;
  QuietHost quiet;
  const ImageSearchContext search;
  const MapReadContext context{geodesy::BuiltInProjectionCatalogue(), search, RasterImageQueries(), quiet, {}};
  EXPECT_EQ(ReadMapFile(mapFile.string(), written, 1, 1, context), kMapLoaded);
  return written;
}

}  // namespace quiltor::testing
