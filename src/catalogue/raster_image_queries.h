#pragma once
// The map reader's image questions answered by the raster dispatch, so that
// every caller that reads maps from disk (folder scans, the command line, a
// create run) asks them the same way.
#include "catalogue/map_file_reader.h"

namespace quiltor {

// Extension check and header-only size and pixel mode of any image kind the
// raster dispatch opens. A damaged or unreadable image answers "cannot be
// sized"; nothing is thrown to the reader.
MapImageQueries RasterImageQueries();

}  // namespace quiltor
