#include "creation/create_configuration.h"

#include "common/text.h"
#include "settings/program_settings.h"

namespace quiltor::creation {

namespace {

// The parts of the program's settings a create reads: one reading of the
// settings file serves the window and the command line alike.
CreateConfiguration FromProgramSettings(const ProgramSettings& s) {
  CreateConfiguration c;
  c.destination = s.destination;
  c.configure.tempFolder = TrimSpaces(s.tempFolder);
  c.configure.destinationFolder = TrimSpaces(s.destinationFolder);
  c.configure.maxLoadedMaps = s.maxLoadedMaps;
  c.configure.numberOfColors = s.numberOfColors;
  c.configure.resizePercent = s.resizePercent;
  return c;
}

}  // namespace

CreateConfiguration DefaultCreateConfiguration(const std::string& programFolder) {
  return FromProgramSettings(DefaultProgramSettings(programFolder));
}

CreateConfiguration LoadCreateConfiguration(const std::filesystem::path& file, const std::string& programFolder) {
  return FromProgramSettings(LoadSettings(file, programFolder));
}

}  // namespace quiltor::creation
