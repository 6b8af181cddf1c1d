#include "creation/create_run.h"

#include "catalogue/raster_image_queries.h"
#include "common/error.h"
#include "common/text.h"
#include "creation/catalogue_sources.h"
#include "creation/pipeline_stages.h"
#include "geodesy/datum.h"
#include "geodesy/destination_setup.h"
#include "raster/raster_decode.h"
#include "raster/raster_source.h"
#include "settings/image_search.h"

namespace quiltor::creation {

void ScanMapFolders(const std::vector<std::string>& folders, MapCatalogue& catalogue, FolderList& loadedFolders,
                    const geodesy::ProjectionCatalogue& projections, WorkerHost& host,
                    const std::atomic<bool>& abort) {
  const ImageSearchContext search = LoadImageSearchContext();
  const MapReadContext read{projections, search, RasterImageQueries(), host, {}};
  ScanSession session{catalogue, loadedFolders, read, abort};
  ScanNewFolders(session, FolderList(folders));
  catalogue.SortByScale();
}

CreateOutcome CreateFromCatalogue(const MapCatalogue& catalogue, const geodesy::ProjectionCatalogue& projections,
                                  const CatalogueCreate& create, WorkerHost& host, CreateFlags& flags) {
  const CreateConfiguration& config = create.configuration;
  const geodesy::Projection destination = geodesy::ReadDestinationProjection(
      config.destination, projections, [&host](const std::string& line) { host.AppendMapError(line, {}); });
  if (!destination.CanProject()) {
    host.ShowMessage(kNoDestinationProjection);
    return {};
  }

  CreateRequest request;
  CreateSettings& s = request.settings;
  s.projection = MakeDestinationProjection(destination);
  s.mode = create.mode;
  s.region = create.region;
  s.metresPerPixel = ParseDecimal(config.destination.metersPerPixel);
  s.resizePercent = config.configure.resizePercent;
  s.tempFolder = config.configure.tempFolder;
  s.destinationFile = create.destinationFile;
  s.threads = create.threads;
  // "Max Loaded Maps" is a free-text field: its integer part counts.
  s.maxLoadedMaps = static_cast<int>(ParseDecimal(config.configure.maxLoadedMaps));

  std::vector<GeoOutline> outlines;
  request.catalogue = CatalogueEntries(catalogue, outlines);
  request.overlaps = OutlinesOverlapTest;
  request.sourceOf = [&catalogue](int index) {
    return SourceFromRecord(catalogue[index], [](const std::string& image) -> std::unique_ptr<RasterReader> {
      RasterOpenResult failure = RasterOpenResult::NotOpened;
      std::string refusal;
      std::unique_ptr<RasterReader> source = OpenRaster(image, failure, refusal);
      if (!source) throw QuiltorError(DescribeOpenFailure(image, failure, refusal));
      return source;
    });
  };
  CalibrationTarget target;
  target.destination = destination;
  target.datum = geodesy::Datums().FindDatum(config.destination.mapDatum);
  target.metersPerPixelText = TrimSpaces(config.destination.metersPerPixel);
  request.stages = PipelineStages({config.configure.numberOfColors, config.configure.resizePercent, create.threads},
                                  target, host, flags);
  request.interaction = create.interaction;
  return RunCreate(request, host, flags);
}

}  // namespace quiltor::creation
