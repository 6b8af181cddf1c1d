// quiltor-cli create: reads the map folders, ticks every usable map and runs
// a whole create (the tiled image and its calibration file), as the
// "Create Map" command of the window does. Options not given come from
// --settings (the window's settings file) or the defaults of a new
// installation. Ctrl-C stops the create like the Abort button: no output
// and no temporary files are left.
#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <memory>
#include <ostream>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/terminal_host.h"
#include "common/paths.h"
#include "common/text.h"
#include "creation/create_run.h"
#include "geodesy/datum.h"
#include "geodesy/projection_catalogue.h"

namespace quiltor::cli {

namespace {

namespace fs = std::filesystem;
using creation::CreateMode;

// Ctrl-C raises the flags the Abort button raises; the handler only stores.
struct InterruptFlags {
  std::atomic<bool> scanAbort{false};
  creation::CreateFlags create;
};
InterruptFlags* gInterrupt = nullptr;

extern "C" void StopCreate(int) {
  if (gInterrupt == nullptr) return;
  gInterrupt->scanAbort.store(true);
  gInterrupt->create.abortRequested.store(true);
  gInterrupt->create.conversionAbort.store(true);
}

class InterruptGuard {
 public:
  explicit InterruptGuard(InterruptFlags& flags) {
    gInterrupt = &flags;
    previous_ = std::signal(SIGINT, StopCreate);
  }
  ~InterruptGuard() {
    std::signal(SIGINT, previous_);
    gInterrupt = nullptr;
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  void (*previous_)(int) = SIG_DFL;
};

// The terminal shows the create window's stage names where the window
// would make them bold.
// An image that fails to open is an "Action List" line; on the terminal it
// is shown even without --verbose, since that map is missing from the result.
class CreateTerminal : public TerminalHost {
 public:
  explicit CreateTerminal(bool verbose) : TerminalHost(verbose), verbose_(verbose) {}
  void SetStageBold(int stage, bool bold) override {
    static const char* const kStages[] = {"Generating map ... ", "Sharpening ...", "Saving image ..."};
    if (bold && stage >= 1 && stage <= 3) SetStatusText(kStages[stage - 1]);
  }
  void AppendActionLine(const std::string& line) override {
    TerminalHost::AppendActionLine(line);
    if (!verbose_ && line.rfind("ERROR", 0) == 0) ShowMessage(line);
  }

 private:
  bool verbose_;
};

struct FieldOption {
  const char* option;
  geodesy::ParameterField field;
};

constexpr FieldOption kFieldOptions[] = {
    {"zone", geodesy::ParameterField::Zone},
    {"lat-origin", geodesy::ParameterField::LatitudeOrigin},
    {"central-meridian", geodesy::ParameterField::CentralMeridian},
    {"lat1", geodesy::ParameterField::Latitude1},
    {"lat2", geodesy::ParameterField::Latitude2},
    {"scale-factor", geodesy::ParameterField::ScaleFactor},
    {"false-easting", geodesy::ParameterField::FalseEasting},
    {"false-northing", geodesy::ParameterField::FalseNorthing},
};

// A destination list name: the exact name, or the one name that starts with
// what was typed or whose short name it is, ignoring case ("utm", "Trans").
std::string DestinationProjectionName(const std::string& typed) {
  std::vector<std::string> matches;
  const std::string wanted = ToUpperAscii(TrimSpaces(typed));
  for (const auto& p : geodesy::DestinationProjections()) {
    const std::string name = p.displayName;
    if (name == typed) return name;
    const std::string upper = ToUpperAscii(name);
    const std::string shortName = ToUpperAscii(geodesy::ShortProjectionName(name));
    if (!wanted.empty() && (upper.rfind(wanted, 0) == 0 || shortName == wanted || shortName == "(" + wanted + ")"))
      matches.push_back(name);
  }
  if (matches.size() == 1) return matches[0];
  std::string list;
  for (const auto& p : geodesy::DestinationProjections()) list += std::string("\n  \"") + p.displayName + "\"";
  throw UsageError{"unknown or ambiguous projection \"" + typed + "\"; the destination projections are:" + list};
}

creation::DrawnRegion ParseRegion(const std::string& text) {
  double v[4];
  for (int i = 0; i < 4; ++i) {
    const auto number = TryParseDecimal(CsvField(text, i + 1, ""));
    if (!number) throw UsageError{"--region wants MINX,MAXX,MINY,MAXY in destination units"};
    v[i] = *number;
  }
  if (!(v[0] < v[1]) || !(v[2] < v[3])) throw UsageError{"--region wants MINX < MAXX and MINY < MAXY"};
  creation::DrawnRegion region;
  region.minX = v[0];
  region.maxX = v[1];
  region.minY = v[2];
  region.maxY = v[3];
  return region;
}

// The settings snapshot: the settings file (or a new installation's
// defaults), then every option given on the command line over it.
creation::CreateConfiguration ConfigurationOf(const Args& args) {
  const std::string programFolder = ProgramFolder().string();
  creation::CreateConfiguration config;
  if (const auto file = args.Value("settings")) {
    if (!fs::is_regular_file(*file)) throw UsageError{"no such settings file: " + *file};
    config = creation::LoadCreateConfiguration(*file, programFolder);
  } else {
    config = creation::DefaultCreateConfiguration(programFolder);
    config.configure.tempFolder = fs::temp_directory_path().string();
  }
  geodesy::DestinationSettings& d = config.destination;
  if (const auto p = args.Value("projection")) d.mapProjection = DestinationProjectionName(*p);
  for (const FieldOption& f : kFieldOptions) {
    if (!args.Has(f.option)) continue;
    args.Number(f.option);  // refuses a value that is not a number
    d.FieldText(f.field) = *args.Value(f.option);
  }
  if (args.Has("mpp")) {
    if (!(*args.Number("mpp") > 0)) throw UsageError{"--mpp must be above 0"};
    d.metersPerPixel = *args.Value("mpp");
  }
  if (const auto datum = args.Value("datum")) {
    if (!geodesy::Datums().HasDatum(*datum)) throw UsageError{"unknown datum \"" + *datum + "\""};
    d.mapDatum = *datum;
  }
  creation::ConfigureSettings& k = config.configure;
  if (args.Has("colors")) k.numberOfColors = std::clamp(*args.Integer("colors"), 8, 256);
  if (args.Has("resize")) k.resizePercent = std::clamp(*args.Integer("resize"), 1, 100);
  if (const auto temp = args.Value("temp")) k.tempFolder = *temp;
  if (args.Has("max-loaded")) k.maxLoadedMaps = FormatInt(std::max(*args.Integer("max-loaded"), 1));
  if (!(ParseDecimal(d.metersPerPixel) > 0)) throw UsageError{"the pixel scale must be above 0"};
  return config;
}

void PrintJson(std::ostream& out, const creation::CreateOutcome& outcome, const std::string& destination,
               const std::vector<std::string>& scanErrors) {
  const auto list = [](const std::vector<std::string>& lines) {
    std::string text = "[";
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? ", " : "") + JsonString(lines[i]);
    return text + "]";
  };
  const creation::CreateReport& r = outcome.report;
  out << "{\"result\": " << JsonString(r.resultText) << ", \"written\": " << (r.outputWritten ? "true" : "false")
      << ", \"image\": " << JsonString(r.outputWritten ? destination : "")
      << ", \"map\": " << JsonString(r.outputWritten ? ChangeExtension(destination, ".map") : "")
      << ", \"width\": " << r.grid.width << ", \"height\": " << r.grid.height
      << ", \"maps\": " << outcome.selectedMaps.size() << ", \"log\": " << list(outcome.log.lines)
      << ", \"mapErrors\": " << list(scanErrors) << "}\n";
}

}  // namespace

int RunCreate(const CommandArgs& argv, std::ostream& out, std::ostream& err) {
  std::set<std::string> valued = {"folder", "output", "projection", "datum", "mpp",    "colors",
                                  "resize", "temp",   "max-loaded", "region", "settings"};
  for (const FieldOption& f : kFieldOptions) valued.insert(f.option);
  const Args args(argv, valued, {"all-maps", "verbose", "json"});
  if (!args.Positionals().empty()) throw UsageError{"unexpected argument \"" + args.Positionals()[0] + "\""};
  const std::vector<std::string> folders = args.Values("folder");
  if (folders.empty()) throw UsageError{"give at least one --folder DIR"};
  const auto output = args.Value("output");
  if (!output) throw UsageError{"-o OUT.qtx2 is required"};
  // A create writes the plain tiled variant, which the host opens only
  // under the ".qtx2" extension.
  if (!EqualsIgnoreCase(ExtensionPart(*output), ".qtx2")) throw UsageError{"-o must name a .qtx2 file"};
  if (args.Flag("all-maps") && !args.Has("region")) throw UsageError{"--all-maps needs --region"};
  creation::CatalogueCreate create;
  create.configuration = ConfigurationOf(args);
  if (const auto region = args.Value("region")) {
    create.region = ParseRegion(*region);
    create.mode = args.Flag("all-maps") ? CreateMode::RegionAllMaps : CreateMode::RegionSelectedMaps;
  }
  create.destinationFile = fs::absolute(*output).lexically_normal().string();
  for (const std::string& folder : folders)
    if (!fs::is_directory(folder)) {
      err << "quiltor-cli create: no such folder: " << folder << "\n";
      return 1;
    }

  CreateTerminal host(args.Flag("verbose"));
  const geodesy::ProjectionCatalogue projections = geodesy::LoadProjectionCatalogue(
      geodesy::kReplacementListName, [&err](const std::string& line) { err << line << "\n"; });
  auto catalogue = std::make_unique<MapCatalogue>();
  FolderList loaded;
  InterruptFlags flags;
  creation::CreateOutcome outcome;
  std::vector<std::string> scanErrors;
  {
    InterruptGuard guard(flags);
    std::vector<std::string> absolute;
    for (const std::string& folder : folders) absolute.push_back(fs::absolute(folder).lexically_normal().string());
    creation::ScanMapFolders(absolute, *catalogue, loaded, projections, host, flags.scanAbort);
    host.FinishProgress();
    scanErrors = host.MapErrors();
    if (!args.Flag("json"))
      for (const std::string& e : scanErrors) err << "map error: " << e << "\n";
    if (flags.scanAbort) {
      err << "quiltor-cli create: interrupted\n";
      return 1;
    }
    // Every usable map is ticked, as the scan leaves them.
    outcome = creation::CreateFromCatalogue(*catalogue, projections, create, host, flags.create);
  }
  host.FinishProgress();
  if (args.Flag("json")) {
    PrintJson(out, outcome, create.destinationFile, scanErrors);
  } else {
    if (outcome.log.show)
      for (const std::string& line : outcome.log.lines) out << line << "\n";
    if (!outcome.report.resultText.empty()) out << outcome.report.resultText << "\n";
    if (outcome.report.outputWritten)
      out << "wrote " << create.destinationFile << " (" << outcome.report.grid.width << " x "
          << outcome.report.grid.height << " pixels) and " << ChangeExtension(create.destinationFile, ".map")
          << "\n";
  }
  return outcome.report.outputWritten ? 0 : 1;
}

}  // namespace quiltor::cli
