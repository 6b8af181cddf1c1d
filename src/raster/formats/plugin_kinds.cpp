// Kinds whose decoders are libraries outside the program: maps may name
// images of these kinds, but until a decoder is loaded none of them opens,
// and their thumbnails are the decoders' own reduced images.
#include "raster/raster_format.h"

namespace quiltor {
namespace {

constexpr std::string_view kMaptechExtensions[] = {".hdr", ".rml"};
constexpr std::string_view kMrSidExtensions[] = {".sid"};
constexpr std::string_view kEcwExtensions[] = {".ecw"};

}  // namespace

extern const RasterFormat kMaptechFormat{.extensions = kMaptechExtensions, .mapImage = true};
extern const RasterFormat kMrSidFormat{
    .extensions = kMrSidExtensions, .mapImage = true, .cacheRelease = true, .thumbnail = ThumbnailRoute::None};
// Pixels only: an ECW image has no row access.
extern const RasterFormat kEcwFormat{.extensions = kEcwExtensions,
                                     .mapImage = true,
                                     .rowRead = false,
                                     .cacheRelease = true,
                                     .thumbnail = ThumbnailRoute::None};

}  // namespace quiltor
