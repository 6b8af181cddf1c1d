#include "raster/formats/plugin_library.h"

#include <cstdlib>
#include <mutex>
#include <utility>

#include "common/paths.h"

namespace quiltor {

std::optional<SharedLibrary> SharedLibrary::Find(const std::string& fileName,
                                                 std::span<const std::filesystem::path> folders, std::string& why) {
  why = "looked in ";
  for (const std::filesystem::path& folder : folders) why += folder.string() + ", ";
  why += "and the system's library path";
  std::vector<std::string> candidates;
  for (const std::filesystem::path& folder : folders) {
    std::error_code ec;
    const std::filesystem::path file = folder / fileName;
    if (!folder.empty() && std::filesystem::is_regular_file(file, ec)) candidates.push_back(file.string());
  }
  // Last, the system's search: the bare name, never a path of our making.
  candidates.push_back(fileName);
  for (const std::string& candidate : candidates) {
    void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      // A file that exists but does not load says more than "not found".
      if (candidate != fileName) why = dlerror();
      continue;
    }
    SharedLibrary library;
    library.handle_ = std::shared_ptr<void>(handle, Closer{});
    library.location_ = candidate;
    return library;
  }
  return std::nullopt;
}

std::vector<std::filesystem::path> PluginSearchFolders() {
  std::vector<std::filesystem::path> folders;
  if (const char* dir = std::getenv("QUILTOR_PLUGIN_DIR"); dir != nullptr && *dir != '\0') folders.emplace_back(dir);
  const std::filesystem::path program = ProgramFolder();
  if (!program.empty()) {
    folders.push_back(program);
    folders.push_back(program / "plugins");
  }
  return folders;
}

namespace {

// Binds entry points of one library; the first one lacking is remembered.
class Binder {
 public:
  Binder(const SharedLibrary& library, PluginMissing& missing) : library_(library), missing_(missing) {}

  template <typename Fn>
  void operator()(Fn& slot, const char* name) {
    slot = reinterpret_cast<Fn>(library_.Symbol(name));
    if (slot == nullptr && missing_.lackedEntry.empty()) {
      missing_.lackedEntry = name;
      missing_.reason = std::string("it lacks the entry point \"") + name + "\"";
    }
  }
  bool complete() const { return missing_.lackedEntry.empty(); }

 private:
  const SharedLibrary& library_;
  PluginMissing& missing_;
};

template <typename Library, typename BindAll>
std::optional<Library> LoadLibrary(const char* fileName, std::span<const std::filesystem::path> folders,
                                   PluginMissing& missing, BindAll bindAll) {
  missing = PluginMissing{};
  std::optional<SharedLibrary> found = SharedLibrary::Find(fileName, folders, missing.reason);
  if (!found) return std::nullopt;
  Library library{.library = std::move(*found)};
  Binder bind(library.library, missing);
  bindAll(library, bind);
  if (!bind.complete()) return std::nullopt;
  missing.reason.clear();
  return library;
}

}  // namespace

std::optional<EcwLibrary> LoadEcwLibrary(std::span<const std::filesystem::path> folders, PluginMissing& missing) {
  return LoadLibrary<EcwLibrary>(kEcwLibraryFile, folders, missing, [](EcwLibrary& l, Binder& bind) {
    bind(l.openView, "NCScbmOpenFileView");
    bind(l.fileInfo, "NCScbmGetViewFileInfo");
    bind(l.setView, "NCScbmSetFileView");
    bind(l.readLine, "NCScbmReadViewLineBGR");
    bind(l.closeView, "NCScbmCloseFileViewEx");
  });
}

std::optional<MrSidLibrary> LoadMrSidLibrary(std::span<const std::filesystem::path> folders, PluginMissing& missing) {
  return LoadLibrary<MrSidLibrary>(kMrSidLibraryFile, folders, missing, [](MrSidLibrary& l, Binder& bind) {
    // The newer open comes first: lacking it means an outdated library.
    bind(l.open, "_OpenMrSid2");
    bind(l.info, "_GetMrSidInfo");
    bind(l.close, "_CloseMrSid2");
    bind(l.loadStrip, "_LoadMrSidStrip2Buffer2");
    bind(l.loadImage, "_LoadMrSidImage");
  });
}

std::optional<MaptechLibrary> LoadMaptechLibrary(std::span<const std::filesystem::path> folders,
                                                 PluginMissing& missing) {
  return LoadLibrary<MaptechLibrary>(kMaptechLibraryFile, folders, missing, [](MaptechLibrary& l, Binder& bind) {
    bind(l.rmlColumns, "GetXtiles");
    bind(l.rmlRows, "GetYtiles");
    bind(l.hdrColumns, "GetPCXXtiles");
    bind(l.hdrRows, "GetPCXYtiles");
    bind(l.rmlPalette, "GetRMLpalette");
    bind(l.rmlTile, "GetRMLdib");
    bind(l.pcxTile, "Pcx2Dib");
  });
}

namespace {

std::string EcwMissingMessage(const PluginMissing& missing) {
  return std::string("The DLLs to load ECW files were not found or could not be loaded (") + kEcwLibraryFile + ": " +
         missing.reason + ")";
}

std::string MrSidMissingMessage(const PluginMissing& missing) {
  if (missing.lackedEntry == "_OpenMrSid2") {
    return std::string("A new version of the ") + kMrSidLibraryFile +
           " needs to be downloaded from the Optional Extras page (" + missing.reason + ")";
  }
  return std::string(kMrSidLibraryFile) + " not found (" + missing.reason + ")";
}

std::string MaptechMissingMessage(const PluginMissing& missing) {
  return std::string("The DLL to load Maptech files (") + kMaptechLibraryFile +
         ") was not found or could not be loaded (" + missing.reason + ")";
}

// One decoder of this process: loaded once, its absence told once.
template <typename Library>
struct LoadedDecoder {
  std::once_flag once;
  std::optional<Library> library;
  std::string message;  // for the user while missing and not yet told
};

// The libraries are process-wide by nature (a loaded library is shared by
// every thread), so their bound entry points are kept once here.
struct ProcessDecoders {
  LoadedDecoder<EcwLibrary> ecw;
  LoadedDecoder<MrSidLibrary> mrSid;
  LoadedDecoder<MaptechLibrary> maptech;
  std::mutex sinkMutex;
  std::function<void(const std::string&)> sink;
};

ProcessDecoders& Decoders() {
  static ProcessDecoders decoders;
  return decoders;
}

template <typename Library, typename Load, typename Message>
void EnsureLoaded(LoadedDecoder<Library>& decoder, Load load, Message message) {
  std::call_once(decoder.once, [&] {
    PluginMissing missing;
    decoder.library = load(PluginSearchFolders(), missing);
    if (!decoder.library) decoder.message = message(missing);
  });
}

template <typename Library, typename Load, typename Message>
const Library* Decoder(LoadedDecoder<Library>& decoder, Load load, Message message) {
  EnsureLoaded(decoder, load, message);
  if (decoder.library) return &*decoder.library;
  ProcessDecoders& all = Decoders();
  std::lock_guard lock(all.sinkMutex);
  if (!decoder.message.empty() && all.sink) {
    all.sink(decoder.message);
    decoder.message.clear();
  }
  return nullptr;
}

}  // namespace

const EcwLibrary* EcwDecoder() { return Decoder(Decoders().ecw, LoadEcwLibrary, EcwMissingMessage); }
const MrSidLibrary* MrSidDecoder() { return Decoder(Decoders().mrSid, LoadMrSidLibrary, MrSidMissingMessage); }
const MaptechLibrary* MaptechDecoder() {
  return Decoder(Decoders().maptech, LoadMaptechLibrary, MaptechMissingMessage);
}

void LoadStartupDecoders() {
  EnsureLoaded(Decoders().ecw, LoadEcwLibrary, EcwMissingMessage);
  EnsureLoaded(Decoders().maptech, LoadMaptechLibrary, MaptechMissingMessage);
}

PluginMessageScope::PluginMessageScope(std::function<void(const std::string&)> sink) {
  ProcessDecoders& all = Decoders();
  std::lock_guard lock(all.sinkMutex);
  previous_ = std::exchange(all.sink, std::move(sink));
}

PluginMessageScope::~PluginMessageScope() {
  ProcessDecoders& all = Decoders();
  std::lock_guard lock(all.sinkMutex);
  all.sink = std::move(previous_);
}

}  // namespace quiltor
