#include "cli/commands.h"

#include <ostream>

#include "raster/formats/plugin_library.h"

namespace quiltor::cli {

// Each command lives in its own cmd_*.cpp with its spec; this table is the
// only place that lists them.
const CommandSpec& VersionCommand();
const CommandSpec& DatumCommand();
const CommandSpec& GridCommand();
const CommandSpec& ProjectCommand();
const CommandSpec& CreateCommand();
const CommandSpec& InfoCommand();
const CommandSpec& ScanCommand();
const CommandSpec& RasterInfoCommand();
const CommandSpec& PreviewCommand();
const CommandSpec& TileCommand();
const CommandSpec& OverviewCommand();

const std::vector<const CommandSpec*>& Commands() {
  static const std::vector<const CommandSpec*> commands = {
      &VersionCommand(), &DatumCommand(),      &GridCommand(),    &ProjectCommand(), &CreateCommand(),
      &InfoCommand(),    &ScanCommand(),       &OverviewCommand(),   &RasterInfoCommand(), &PreviewCommand(),
      &TileCommand(),
  };
  return commands;
}

namespace {

void PrintUsage(std::ostream& out) {
  out << "usage: quiltor-cli COMMAND [options]\n\ncommands:\n";
  for (const CommandSpec* c : Commands()) {
    std::string name(c->name);
    name.resize(12, ' ');
    out << "  " << name << c->summary << "\n";
  }
  out << "\n\"quiltor-cli COMMAND --help\" explains a command's options; \"--\" ends the options, so that\n"
         "what follows is read as operands (\"quiltor-cli project --projection Mercator -- -33.9 151.2\").\n"
         "Exit codes: 0 success, 1 failure, 2 bad arguments.\n";
}

int RunCommand(const CommandSpec& spec, const std::vector<std::string>& argv, std::ostream& out,
               std::ostream& err) {
  const Console console(spec.name, out, err);
  if (HelpWanted(argv)) {
    out << HelpText(spec);
    return kExitSuccess;
  }
  try {
    return spec.run(Args(spec, argv), console);
  } catch (const CommandFailure& f) {
    console.Note(f.what());
    return f.ExitCode();
  } catch (const std::exception& e) {
    console.Note(e.what());
    return kExitFailed;
  }
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  // A decoder library that is missing is told once, when a file of its kind
  // is first met.
  PluginMessageScope pluginMessages([&err](const std::string& text) { err << "quiltor-cli: " << text << "\n"; });
  LoadStartupDecoders();
  if (argv.empty() || argv[0] == "--help" || argv[0] == "-h" || argv[0] == "help") {
    PrintUsage(argv.empty() ? err : out);
    return argv.empty() ? kExitBadArguments : kExitSuccess;
  }
  for (const CommandSpec* c : Commands())
    if (argv[0] == c->name) return RunCommand(*c, std::vector<std::string>(argv.begin() + 1, argv.end()), out, err);
  err << "quiltor-cli: unknown command \"" << argv[0] << "\"\n";
  PrintUsage(err);
  return kExitBadArguments;
}

}  // namespace quiltor::cli
