#pragma once
// The passes that turn a true-colour or palette image into the palette
// images of the zoom levels: the full-size colour mapping and the level pass
// (resize, quantise, sharpen, map). Each pass owns its quantiser, lookup
// table, resampler and sharpening window, and writes its output into the
// conversion's private work folder.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

#include "common/worker_host.h"
#include "pipeline/colour_lookup.h"
#include "pipeline/colour_quantizer.h"
#include "raster/raster_reader.h"

namespace quiltor {

// What every pass of one conversion shares: where its files go, whom it
// tells about progress, and the flag that stops it.
struct PassContext {
  std::filesystem::path workFolder;
  WorkerHost& host;
  const std::atomic<bool>& abort;
  int threads = 1;  // for the work that splits (0: one per core); the output is the same for any number
};

// File name of level n's palette image inside the work folder.
std::string LevelFileName(int n);

// The colour statistics of the full-size mapping: a quantiser of `colours`
// colours fed rows 0, 10, 20 and so on of the image. A stage that already
// reads the image in row order (the sharpening) can feed it on the way, so
// that the mapping need not read those rows again.
class FullSizeColourSample {
 public:
  explicit FullSizeColourSample(int colours) : quantizer_(colours, 8) {}
  static bool Sampled(int y) { return y % 10 == 0; }
  int colours() const { return quantizer_.maxColours(); }
  // Row y (width pixels, palette indices into `palette` when pixelMode is
  // 1, else blue, green, red); rows that are not sampled are passed over.
  void AddRow(int y, int pixelMode, const Palette& palette, const std::uint8_t* row, int width);
  void ExportPalette(Palette& palette) const { quantizer_.ExportPalette(palette); }

 private:
  TColorQuantizer quantizer_;
};

// Maps the full-size image to `colours` quantised colours plus black and
// white, writing level 0's palette image. The quantiser sees every tenth row:
// `sampled`, when given, has seen them already (with `colours` colours).
// `topCount`, when given, counts the rows as they are written, so that the
// top colours need not read them back. False when aborted (the partial
// file is left to the work folder).
bool MapColoursPass(RasterReader& source, int colours, const PassContext& context,
                    const FullSizeColourSample* sampled = nullptr, TopColourCount* topCount = nullptr);

// Makes level n at `percent` percent of `image`: resample into a row stream,
// quantise every row, sharpen the stream, then map it to the palette
// (`colours` colours, for n > 0 also the 20 top colours, then black and
// white); `topCount` as for MapColoursPass. False when aborted.
bool LevelPass(int n, RasterReader& image, int colours, double percent, const TopColours& top,
               const PassContext& context, TopColourCount* topCount = nullptr);

// The top colours of an 8-bit image (for the zoom levels to keep).
TopColours SampleTopColours(RasterReader& image);

}  // namespace quiltor
