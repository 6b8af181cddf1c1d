#pragma once
// A create on maps read from disk, without windows: the map folders read
// with the catalogue's folder scan (most detailed first, usable maps
// ticked), then the create of a CreateConfiguration snapshot on that
// catalogue through the real pipeline stages. The command line, the
// end-to-end tests and the benchmark all run a create this way.
#include <atomic>
#include <string>
#include <vector>

#include "catalogue/folder_scan.h"
#include "catalogue/map_record.h"
#include "common/worker_host.h"
#include "creation/create_configuration.h"
#include "creation/create_flow.h"
#include "geodesy/projection_catalogue.h"

namespace quiltor::creation {

// Reads every ".map" file of `folders` into `catalogue` as a scan of those
// ticked folders does, then sorts it most detailed first. Maps that could
// not be read went to the host's map errors. `loadedFolders` lists the
// folders whose maps are in the catalogue afterwards.
void ScanMapFolders(const std::vector<std::string>& folders, MapCatalogue& catalogue, FolderList& loadedFolders,
                    const geodesy::ProjectionCatalogue& projections, WorkerHost& host,
                    const std::atomic<bool>& abort);

struct CatalogueCreate {
  CreateConfiguration configuration;  // Destination Map and Configure tabs
  CreateMode mode = CreateMode::SelectedMaps;
  DrawnRegion region;
  std::string destinationFile;  // the tiled image to write; its ".map" goes beside it
  int threads = 0;  // for the rows and the stages after them; 0: one per core
  CreateInteraction interaction;  // the window's save dialog and progress window
};

// The whole create of the ticked maps of `catalogue` (RunCreate with the
// real stages). A destination projection that cannot be made is refused
// before anything starts, with a message: every point would land at 0, 0.
CreateOutcome CreateFromCatalogue(const MapCatalogue& catalogue, const geodesy::ProjectionCatalogue& projections,
                                  const CatalogueCreate& create, WorkerHost& host, CreateFlags& flags);

inline constexpr const char* kNoDestinationProjection = "The destination projection could not be set up";

}  // namespace quiltor::creation
