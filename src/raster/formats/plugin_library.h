#pragma once
// The image decoders that live in libraries outside the program: finding a
// library file, binding its entry points by name, and the one set of
// decoders this process has loaded. A library that is missing, or lacks one
// of the entry points the program calls, counts as missing: its kinds do not
// open, and the user is told once.
#include <dlfcn.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "raster/formats/plugin_abi.h"

namespace quiltor {

inline constexpr const char* kEcwLibraryFile = "libNCSEcw.so";
inline constexpr const char* kMrSidLibraryFile = "TrvMrSid.so";
inline constexpr const char* kMaptechLibraryFile = "TrvPCX.so";

// An open shared library, closed when the last owner lets go.
class SharedLibrary {
 public:
  // The first `fileName` that opens in `folders`, in order, then through the
  // system's library search. nullopt with where it was looked for, or the
  // loader's words for a file that would not load, in `why`.
  static std::optional<SharedLibrary> Find(const std::string& fileName,
                                           std::span<const std::filesystem::path> folders, std::string& why);

  // The entry point `name`, or nullptr.
  void* Symbol(const char* name) const { return dlsym(handle_.get(), name); }
  const std::string& location() const { return location_; }

 private:
  struct Closer {
    void operator()(void* handle) const { dlclose(handle); }
  };
  std::shared_ptr<void> handle_;
  std::string location_;
};

// Where the decoders are looked for: $QUILTOR_PLUGIN_DIR, the program's
// folder, plugins/ beside the program (the system search comes last).
std::vector<std::filesystem::path> PluginSearchFolders();

struct EcwLibrary {
  SharedLibrary library;
  decltype(&NCScbmOpenFileView) openView = nullptr;
  decltype(&NCScbmGetViewFileInfo) fileInfo = nullptr;
  decltype(&NCScbmSetFileView) setView = nullptr;
  decltype(&NCScbmReadViewLineBGR) readLine = nullptr;
  decltype(&NCScbmCloseFileViewEx) closeView = nullptr;
};

struct MrSidLibrary {
  SharedLibrary library;
  decltype(&_GetMrSidInfo) info = nullptr;
  decltype(&_OpenMrSid2) open = nullptr;
  decltype(&_CloseMrSid2) close = nullptr;
  decltype(&_LoadMrSidStrip2Buffer2) loadStrip = nullptr;
  decltype(&_LoadMrSidImage) loadImage = nullptr;
};

struct MaptechLibrary {
  SharedLibrary library;
  decltype(&GetXtiles) rmlColumns = nullptr;
  decltype(&GetYtiles) rmlRows = nullptr;
  decltype(&GetPCXXtiles) hdrColumns = nullptr;
  decltype(&GetPCXYtiles) hdrRows = nullptr;
  decltype(&GetRMLpalette) rmlPalette = nullptr;
  decltype(&GetRMLdib) rmlTile = nullptr;
  decltype(&Pcx2Dib) pcxTile = nullptr;
};

// Why a library counts as missing: no file opened, or an entry point it lacks.
struct PluginMissing {
  std::string reason;
  std::string lackedEntry;  // empty when the file itself was not found
};

// Each finds its file in `folders` (then the system search) and binds every
// entry point the program calls; nullopt when it counts as missing.
std::optional<EcwLibrary> LoadEcwLibrary(std::span<const std::filesystem::path> folders, PluginMissing& missing);
std::optional<MrSidLibrary> LoadMrSidLibrary(std::span<const std::filesystem::path> folders, PluginMissing& missing);
std::optional<MaptechLibrary> LoadMaptechLibrary(std::span<const std::filesystem::path> folders,
                                                 PluginMissing& missing);

// The decoders of this process, found in PluginSearchFolders() the first
// time each is asked for; nullptr when missing. The first time a missing one
// is asked for, the user is told through the plug-in message sink.
const EcwLibrary* EcwDecoder();
const MrSidLibrary* MrSidDecoder();
const MaptechLibrary* MaptechDecoder();
// Program start: the ECW and Maptech decoders are loaded now (MrSID waits
// for its first use).
void LoadStartupDecoders();

// Where the missing-library messages go while the scope lives: the window's
// message box, the command line's error stream. A message that finds no sink
// waits for the next time the decoder is asked for.
class PluginMessageScope {
 public:
  explicit PluginMessageScope(std::function<void(const std::string&)> sink);
  ~PluginMessageScope();
  PluginMessageScope(const PluginMessageScope&) = delete;
  PluginMessageScope& operator=(const PluginMessageScope&) = delete;

 private:
  std::function<void(const std::string&)> previous_;
};

}  // namespace quiltor
