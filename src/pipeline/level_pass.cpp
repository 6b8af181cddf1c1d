#include "pipeline/level_pass.h"

#include <memory>
#include <vector>

#include "common/error.h"
#include "pipeline/colour_quantizer.h"
#include "pipeline/resample.h"
#include "pipeline/sharpen.h"
#include "raster/scratch/temp_image.h"

namespace quiltor {
namespace {

constexpr const char* kResizedStream = "temp.qtx0";

bool ShowEveryTenth(int i, const char* label, int total, const PassContext& context) {
  if (i % 10 == 0) context.host.SetStatusText(std::string(label) + std::to_string(i) + " of " + std::to_string(total));
  return !context.abort.load();
}

// Ends the palette: black and white after the `used` entries; the count of
// entries the lookup may choose from.
int FinishPalette(Palette& palette, int used) {
  palette[static_cast<std::size_t>(used)] = Rgbquad{0, 0, 0, 0};
  palette[static_cast<std::size_t>(used + 1)] = Rgbquad{255, 255, 255, 0};
  return used + 2;
}

// Feeds the row's pixels in order; a run of one colour goes in at once,
// which builds the same tree as its pixels one by one.
void InsertRow(TColorQuantizer& quantizer, int pixelMode, const Palette& palette, const std::uint8_t* row, int width) {
  if (pixelMode == 3) {
    for (int x = 0; x < width;) {
      const std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
      int end = x + 1;
      for (const std::uint8_t* q = p + 3; end < width && q[0] == p[0] && q[1] == p[1] && q[2] == p[2]; q += 3) ++end;
      quantizer.AddColour(p[2], p[1], p[0], end - x);
      x = end;
    }
  } else {
    for (int x = 0; x < width;) {
      int end = x + 1;
      while (end < width && row[end] == row[x]) ++end;
      const Rgbquad& e = palette[row[x]];
      quantizer.AddColour(e.red, e.green, e.blue, end - x);
      x = end;
    }
  }
}

}  // namespace

std::string LevelFileName(int n) { return "qtx_" + std::to_string(n) + ".qtx0"; }

void FullSizeColourSample::AddRow(int y, int pixelMode, const Palette& palette, const std::uint8_t* row, int width) {
  if (Sampled(y)) InsertRow(quantizer_, pixelMode, palette, row, width);
}

bool MapColoursPass(RasterReader& source, int colours, const PassContext& context,
                    const FullSizeColourSample* sampled, TopColourCount* topCount) {
  const int width = source.width();
  const int height = source.height();
  const int pixelMode = source.pixelMode();
  std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * static_cast<std::size_t>(pixelMode));
  Palette palette{};
  if (sampled != nullptr) {
    if (sampled->colours() != colours) throw QuiltorError("colour sample made for another colour count");
    sampled->ExportPalette(palette);
  } else {
    FullSizeColourSample sample(colours);
    for (int i = 0; i < height; ++i) {
      if (!FullSizeColourSample::Sampled(i)) continue;
      if (!ShowEveryTenth(i, "Mapping Colors - Pass 1 : ", height, context)) return false;
      source.ReadRow(i, row.data());
      sample.AddRow(i, pixelMode, source.palette(), row.data(), width);
    }
    sample.ExportPalette(palette);
  }
  ColourLookup lookup;
  lookup.Build(palette, FinishPalette(palette, colours), context.threads);

  PaletteTempWriter out(context.workFolder / LevelFileName(0), width, height, palette, context.threads);
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(width));
  for (int i = 0; i < height; ++i) {
    if (!ShowEveryTenth(i, "Mapping Colors - Pass 2 : ", height, context)) return false;
    source.ReadRow(i, row.data());
    lookup.MapRow(pixelMode, row.data(), source.palette(), width, indices.data());
    if (topCount != nullptr) topCount->AddRow(i, indices.data());
    out.WriteRow(indices.data());
  }
  out.Finish();
  return true;
}

bool LevelPass(int n, RasterReader& image, int colours, double percent, const TopColours& top,
               const PassContext& context, TopColourCount* topCount) {
  const int dstWidth = ResampledLength(image.width(), percent);
  const int dstHeight = ResampledLength(image.height(), percent);
  Palette palette{};
  {
    TColorQuantizer quantizer(colours, 8);
    Resampler resampler(image.width(), image.height(), image.pixelMode(), image.palette(), dstWidth, dstHeight,
                        [&image](int row, std::uint8_t* buffer) { image.ReadRow(row, buffer); });
    RowStreamWriter stream(context.workFolder / kResizedStream, dstWidth, context.threads);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(dstWidth) * 3);
    for (int y = 0; y < dstHeight; ++y) {
      if (!ShowEveryTenth(y, "Resizing - Pass 1 : ", dstHeight, context)) return false;
      resampler.NextRow(row.data());
      stream.WriteRow(row.data());
      InsertRow(quantizer, 3, palette, row.data(), dstWidth);
    }
    stream.Finish();
    quantizer.ExportPalette(palette);
  }
  int used = colours;
  if (n != 0) {
    for (const TopColour& c : top) palette[static_cast<std::size_t>(used++)] = Rgbquad{c.blue, c.green, c.red, 0};
  }
  const int choices = FinishPalette(palette, used);

  if (context.abort.load()) return false;
  // The sharpening window reads the resized rows and hands each sharpened
  // row straight to the colour mapping.
  context.host.SetStatusText("Sharpening");
  ColourLookup lookup;
  lookup.Build(palette, choices, context.threads);
  RowStreamReader resized(context.workFolder / kResizedStream, dstWidth);
  PaletteTempWriter out(context.workFolder / LevelFileName(n), dstWidth, dstHeight, palette, context.threads);
  std::vector<std::uint8_t> indices(static_cast<std::size_t>(dstWidth));
  bool stopped = false;
  SharpenRows(
      dstWidth, dstHeight, StandardSharpenKernel(),
      [&resized](int, std::uint8_t* buffer) {
        if (!resized.ReadRow(buffer)) throw QuiltorError("resized level ends before its last row");
      },
      [&](int y, const std::uint8_t* sharpened) {
        if (stopped || !ShowEveryTenth(y, "Resizing - Pass 2 : ", dstHeight, context)) {
          stopped = true;
          return;
        }
        lookup.MapRow(3, sharpened, palette, dstWidth, indices.data());
        if (topCount != nullptr) topCount->AddRow(y, indices.data());
        out.WriteRow(indices.data());
      },
      {}, &context.abort, context.threads);
  if (stopped || context.abort.load()) return false;
  out.Finish();
  return true;
}

TopColours SampleTopColours(RasterReader& image) {
  if (image.pixelMode() != 1) throw QuiltorError("top colours need a palette image");
  return SampleTopColours(image.width(), image.height(), image.palette(),
                          [&image](int y, std::uint8_t* buffer) { image.ReadRow(y, buffer); });
}

}  // namespace quiltor
