// quiltor-cli create: reads the map folders, ticks every usable map and runs
// a whole create (the tiled image and its calibration file), as the
// "Create Map" command of the window does. Options not given come from
// --settings (the window's settings file) or the defaults of a new
// installation. Ctrl-C stops the create like the Abort button: no output
// and no temporary files are left.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/command_spec.h"
#include "cli/destination_options.h"
#include "cli/interrupt_guard.h"
#include "cli/json_writer.h"
#include "cli/name_resolution.h"
#include "cli/output_guard.h"
#include "cli/terminal_host.h"
#include "common/paths.h"
#include "common/text.h"
#include "creation/create_run.h"
#include "geodesy/datum.h"
#include "geodesy/projection_catalogue.h"
#include "pipeline/zoom_plan.h"
#include "settings/program_settings.h"
#include "settings/settings_file.h"

namespace quiltor::cli {

namespace {

namespace fs = std::filesystem;
using creation::CreateMode;

using Clock = std::chrono::steady_clock;

// Each thread costs its row window and its open images; beyond this a
// request is a typing error rather than a machine.
constexpr int kMostThreads = 1024;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The terminal host that also times each stage of the create, from its start
// to its end, for the --verbose time line.
class CreateTerminal : public TerminalHost {
 public:
  static constexpr Stage kStages[] = {Stage::GeneratingMap, Stage::Sharpening, Stage::SavingImage};

  explicit CreateTerminal(bool verbose) : TerminalHost(verbose) {}
  void StageStarted(Stage stage) override {
    TerminalHost::StageStarted(stage);
    std::lock_guard lock(stageMutex_);
    stageStart_[Index(stage)] = Clock::now();
  }
  void StageFinished(Stage stage) override {
    TerminalHost::StageFinished(stage);
    std::lock_guard lock(stageMutex_);
    stageSeconds_[Index(stage)] += SecondsSince(stageStart_[Index(stage)]);
  }
  // Seconds from the stage's start to its end; 0 for a stage that never ran.
  double StageSeconds(Stage stage) {
    std::lock_guard lock(stageMutex_);
    return stageSeconds_[Index(stage)];
  }

 private:
  static std::size_t Index(Stage stage) { return static_cast<std::size_t>(stage); }

  std::mutex stageMutex_;
  std::array<Clock::time_point, std::size(kStages)> stageStart_{};
  std::array<double, std::size(kStages)> stageSeconds_{};
};

// "times: scan 0.512 s, Generating map 12.345 s, ..., create 17.100 s": where
// the wall time of a create went, the stages named as the progress shows them.
std::string TimesLine(double scanSeconds, CreateTerminal& host, double createSeconds) {
  std::string line = "times: scan " + FormatFixed(scanSeconds, 3) + " s";
  for (const Stage stage : CreateTerminal::kStages) {
    std::string caption = StageCaption(stage);
    caption.erase(caption.find_last_not_of(" .") + 1);
    line += ", " + caption + " " + FormatFixed(host.StageSeconds(stage), 3) + " s";
  }
  return line + ", create " + FormatFixed(createSeconds, 3) + " s";
}

creation::DrawnRegion ParseRegion(const std::string& text) {
  double v[4];
  for (int i = 0; i < 4; ++i) {
    const auto number = TryParseDecimal(CsvField(text, i + 1, ""));
    if (!number) throw UsageError("--region wants MINX,MAXX,MINY,MAXY in destination units");
    v[i] = *number;
  }
  if (!(v[0] < v[1]) || !(v[2] < v[3])) throw UsageError("--region wants MINX < MAXX and MINY < MAXY");
  creation::DrawnRegion region;
  region.minX = v[0];
  region.maxX = v[1];
  region.minY = v[2];
  region.maxY = v[3];
  return region;
}

// The window's settings file holds what the window could store; values it
// would replace without a word are told here, naming the key, the value
// and what is used instead. Keys that an option overrides are not looked at.
void NoteSettingsReplaced(const fs::path& file, const Args& args, const creation::CreateConfiguration& config,
                          const Console& io) {
  const auto note = [&](std::string_view key, const std::string& value, const std::string& why) {
    io.Note("--settings " + file.string() + ": \"" + std::string(key) + "\" = \"" + value + "\" " + why);
  };
  constexpr std::string_view kDestination = "Destination Image";
  constexpr std::string_view kSystem = "System";
  if (!args.Has("projection")) {
    const std::string text = TrimSpaces(IniReadString(file, kDestination, "Map Projection", ""));
    const std::optional<std::int32_t> index = TryParseInt(text);
    const auto count = static_cast<std::int32_t>(geodesy::DestinationProjections().size());
    if (!text.empty() && (!index || *index < 0 || *index >= count)) {
      note("Map Projection", text,
           "is not an index of the projection list (0 to " + FormatInt(count - 1) + "); \"" +
               config.destination.mapProjection + "\" is used");
    }
  }
  if (!args.Has("datum")) {
    const std::string datum = IniReadString(file, kDestination, "Map Datum", "");
    if (!TrimSpaces(datum).empty() && !geodesy::Datums().HasDatum(datum))
      note("Map Datum", datum, "is not a known datum; \"WGS 84\" is used");
  }
  const auto clamped = [&](std::string_view option, std::string_view key, int used, int low, int high) {
    if (args.Has(option)) return;
    const std::string text = TrimSpaces(IniReadString(file, kSystem, key, ""));
    const std::optional<std::int32_t> stored = TryParseInt(text);
    if (stored && *stored != used) {
      note(key, text, "is outside " + FormatInt(low) + " to " + FormatInt(high) + "; " + FormatInt(used) + " is used");
    }
  };
  clamped("colors", "Number of Colors", config.configure.numberOfColors, 8, 256);
  clamped("resize", "ReSize", config.configure.resizePercent, 1, 100);
}

// The settings snapshot: the settings file (or a new installation's
// defaults), then every option given on the command line over it.
creation::CreateConfiguration ConfigurationOf(const Args& args, const Console& io) {
  const std::string programFolder = ProgramFolder().string();
  creation::CreateConfiguration config;
  if (const auto file = args.Value("settings")) {
    if (!fs::is_regular_file(*file)) throw UsageError("no such settings file: " + *file);
    config = creation::LoadCreateConfiguration(*file, programFolder);
    NoteSettingsReplaced(*file, args, config, io);
  } else {
    config = creation::DefaultCreateConfiguration(programFolder);
    config.configure.tempFolder = fs::temp_directory_path().string();
  }
  geodesy::DestinationSettings& d = config.destination;
  ApplyDestinationOptions(args, DestinationProjectionNames(), d);
  if (args.Has("mpp")) {
    if (!(*args.Number("mpp") > 0)) throw UsageError("--mpp must be above 0");
    d.metersPerPixel = *args.Value("mpp");
  }
  creation::ConfigureSettings& k = config.configure;
  if (const auto colours = args.IntegerWithin("colors", 8, 256)) k.numberOfColors = *colours;
  if (const auto resize = args.IntegerWithin("resize", 1, 100)) k.resizePercent = *resize;
  if (const auto temp = args.Value("temp")) k.tempFolder = *temp;
  if (args.Has("max-loaded")) k.maxLoadedMaps = FormatInt(std::max(*args.Integer("max-loaded"), 1));
  if (!(ParseDecimal(d.metersPerPixel) > 0)) throw UsageError("the pixel scale must be above 0");
  return config;
}

// The ".map" files of the folders (not of their subfolders).
std::vector<fs::path> MapFilesIn(const std::vector<std::string>& folders) {
  std::vector<fs::path> files;
  for (const std::string& folder : folders) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      if (EqualsIgnoreCase(ExtensionPart(it->path().string()), ".map")) files.push_back(it->path());
  }
  return files;
}

// The output and its ".map" twin must not be a file of a scanned map: the
// create would replace a sheet's image or calibration. A map whose map file
// and image are the output's two files is the earlier result of this very
// create; it is replaced, so it is left out of the sources.
void KeepOutputOffTheSources(MapCatalogue& catalogue, const std::vector<std::string>& folders,
                             const std::string& destination) {
  const fs::path image = destination;
  const fs::path twin = ChangeExtension(destination, ".map");
  std::vector<std::string> earlierResults;
  for (int i = 0; i < catalogue.count(); ++i) {
    Map_record& map = catalogue[i];
    if (SameFile(map.mapFile, twin) && SameFile(map.imageFile, image)) {
      map.selected = false;
      earlierResults.push_back(map.mapFile);
      continue;
    }
    for (const fs::path& output : {image, twin})
      if (SameFile(map.mapFile, output) || SameFile(map.imageFile, output)) throw OutputIsAMapFile(output, map.mapFile);
  }
  // Map files the scan could not read are still somebody's calibration.
  for (const fs::path& file : MapFilesIn(folders)) {
    const bool earlier = std::any_of(earlierResults.begin(), earlierResults.end(),
                                     [&](const std::string& m) { return SameFile(m, file); });
    if (SameFile(file, image)) throw OutputIsAMapFile(image, file.string());
    if (SameFile(file, twin) && !earlier) throw OutputIsAMapFile(twin, file.string());
  }
}

void PrintJson(std::ostream& out, const creation::CreateOutcome& outcome, const std::string& destination,
               const std::vector<std::string>& scanErrors, const TerminalHost& host) {
  const creation::CreateReport& r = outcome.report;
  JsonWriter json;
  json.BeginObject()
      .String("result", r.resultText)
      .Bool("written", r.outputWritten)
      .String("image", r.outputWritten ? destination : "")
      .String("map", r.outputWritten ? ChangeExtension(destination, ".map") : "")
      .Integer("width", r.imageWidth)
      .Integer("height", r.imageHeight)
      .Integer("maps", static_cast<std::int64_t>(outcome.selectedMaps.size()))
      .StringArray("log", outcome.log.lines)
      .StringArray("mapErrors", scanErrors);
  WriteMapErrorCauses(json, scanErrors, host.MapErrorCauses());
  json.Key("openFailures").BeginArray();
  for (const creation::MapOpenFailure& f : r.openFailures)
    json.BeginObject().String("image", f.imageFile).String("cause", f.cause).EndObject();
  json.EndArray().EndObject();
  out << json.Text() << "\n";
}

int RunCreate(const Args& args, const Console& io) {
  args.ExpectPositionals(0, "");
  const std::vector<std::string> folders = args.Values("folder");
  const std::string output = *args.Value("output");
  // A create writes the plain tiled variant, which the host opens only
  // under the ".qtx2" extension.
  RequireOutputExtension(output, ".qtx2");
  if (args.Flag("all-maps") && !args.Has("region")) throw UsageError("--all-maps needs --region");
  creation::CatalogueCreate create;
  create.configuration = ConfigurationOf(args, io);
  if (const auto region = args.Value("region")) {
    create.region = ParseRegion(*region);
    create.mode = args.Flag("all-maps") ? CreateMode::RegionAllMaps : CreateMode::RegionSelectedMaps;
  }
  create.destinationFile = fs::absolute(output).lexically_normal().string();
  if (args.Has("threads")) {
    create.threads = *args.IntegerWithin("threads", 1, kMostThreads);
  }
  RequireFolders(folders);

  const bool verbose = args.Flag("verbose");
  CreateTerminal host(verbose);
  const creation::CreateConfiguration& config = create.configuration;
  host.Rephrase(kImageTooSmallMessage, "Image is too small to process at --mpp " + config.destination.metersPerPixel +
                                           " and --resize " + FormatInt(config.configure.resizePercent) +
                                           ": a smaller --mpp (or a larger --resize) makes a larger image");
  const geodesy::ProjectionCatalogue projections =
      geodesy::LoadProjectionCatalogue(geodesy::kReplacementListName, io.NoteSink());
  auto catalogue = std::make_unique<MapCatalogue>();
  FolderList loaded;
  std::atomic<bool> scanAbort{false};
  creation::CreateFlags flags;
  creation::CreateOutcome outcome;
  std::vector<std::string> scanErrors;
  double scanSeconds = 0, createSeconds = 0;
  {
    const InterruptGuard guard({&scanAbort, &flags.abortRequested, &flags.conversionAbort});
    const Clock::time_point scanStart = Clock::now();
    std::vector<std::string> absolute;
    for (const std::string& folder : folders) absolute.push_back(fs::absolute(folder).lexically_normal().string());
    creation::ScanMapFolders(absolute, *catalogue, loaded, projections, host, scanAbort);
    host.FinishProgress();
    scanErrors = host.MapErrors();
    if (!args.Flag("json"))
      for (std::size_t i = 0; i < scanErrors.size(); ++i)
        io.err << "map error: " << (verbose ? WithCause(scanErrors[i], host.MapErrorCauses()[i]) : scanErrors[i])
               << "\n";
    if (scanAbort) throw Failed("interrupted");
    scanSeconds = SecondsSince(scanStart);
    const Clock::time_point createStart = Clock::now();
    KeepOutputOffTheSources(*catalogue, absolute, create.destinationFile);
    // Every usable map is ticked, as the scan leaves them.
    outcome = creation::CreateFromCatalogue(*catalogue, projections, create, host, flags);
    createSeconds = SecondsSince(createStart);
  }
  host.FinishProgress();
  if (!outcome.report.outputWritten && !args.Flag("json")) {
    // Why a started create wrote nothing (a full disk, a file that could
    // not be written): the lines the create added after the scan's.
    const std::vector<std::string>& errors = host.MapErrors();
    for (std::size_t i = scanErrors.size(); i < errors.size(); ++i) io.err << errors[i] << "\n";
  }
  if (verbose && !args.Flag("json")) io.err << TimesLine(scanSeconds, host, createSeconds) << "\n";
  if (args.Flag("json")) {
    PrintJson(io.out, outcome, create.destinationFile, scanErrors, host);
  } else {
    if (outcome.log.show)
      for (const std::string& line : outcome.log.lines) io.out << line << "\n";
    if (!outcome.report.resultText.empty()) io.out << outcome.report.resultText << "\n";
    // Maps missing from the result are named whatever else was asked.
    for (const creation::MapOpenFailure& f : outcome.report.openFailures)
      io.out << "could not open " << PrintableText(f.imageFile) << ": " << PrintableText(f.cause) << "\n";
    if (outcome.report.outputWritten)
      io.out << "wrote " << create.destinationFile << " (" << outcome.report.imageWidth << " x "
          << outcome.report.imageHeight << " pixels) and " << ChangeExtension(create.destinationFile, ".map")
          << "\n";
  }
  return outcome.report.outputWritten ? kExitSuccess : kExitFailed;
}

}  // namespace

const CommandSpec& CreateCommand() {
  static const CommandSpec spec{
      .name = "create",
      .summary = "merge the maps of some folders into one new calibrated tiled map",
      .options = OptionList({
          {
              Text("folder", "DIR", "a folder whose \".map\" files take part").Required().Repeated(),
              Text("output", "OUT.qtx2", "the new tiled image; its calibration goes to OUT.map").Required().Short('o'),
          },
          DestinationOptions(false),
          {
              Number("mpp", "M", "the pixel scale, metres per pixel"),
              Integer("colors", "N", "colours of the new image, 8 to 256"),
              Integer("resize", "P", "size of the full-size level in percent, 1 to 100"),
              Text("temp", "DIR", "where the private temporary folder is made"),
              Integer("max-loaded", "N", "images kept open at once"),
              Integer("threads", "N", "threads for the rows and the stages after them, 1 to 1024 (default: one per core)"),
              Text("region", "MINX,MAXX,MINY,MAXY", "only maps meeting this box (destination units)"),
              Flag("all-maps", "with --region: every map meeting it, not only the ticked ones"),
              Text("settings", "FILE.ini", "the window's settings file, for the options not given"),
              Flag("verbose", "also list the images opened and closed, say why maps could not be processed, and "
                                  "print the seconds of the scan and of each stage"),
              Flag("json", "print an object (result, written, image, map, width, height, maps, log, mapErrors, mapErrorCauses, openFailures)"),
          },
      }),
      .description =
          "Reads every \".map\" file of the folders (not their subfolders), ticks every usable map and\n"
          "merges them, most detailed on top and map collars cut away, into one map in the projection\n"
          "--projection (a display name of the destination list, or its start or short name: \"utm\",\n"
          "\"Latitude/Longitude\", \"Transverse Mercator\"). The projection options are the fields of the\n"
          "Destination Map tab; only those the projection uses count (UTM takes --zone alone). --datum is\n"
          "the datum the new map's corners are written on. Writes OUT (the tiled image with all zoom\n"
          "levels, --colors colours, --resize percent) and its calibration file OUT.map. With --region\n"
          "only maps meeting that box take part, the ticked ones or, with --all-maps, all. Options not\n"
          "given come from --settings (the window's settings file: Destination Image, Folders and System\n"
          "keys) or the defaults of a new installation (Mercator, WGS 84, 100 m, 256 colours, the system\n"
          "temporary folder). Temporary files go to a private folder inside --temp. Prints the create log\n"
          "and the result, and names every image that could not be read (when none could, nothing is\n"
          "written). OUT and OUT.map are never a file of a scanned map; an earlier OUT in a scanned\n"
          "folder is replaced, not merged. Ctrl-C (or SIGTERM, SIGHUP) stops the create with no output\n"
          "and no temporary files left.\n",
      .example = "quiltor-cli create --folder samples -o /tmp/x.qtx2 --projection utm --zone 32 --mpp 40",
      .exitCodes = "0 written, 1 nothing written (the reason on stderr), 2 bad arguments, a folder that does "
                   "not exist, or an output that is a file of a scanned map.",
      .run = RunCreate,
  };
  return spec;
}

}  // namespace quiltor::cli
