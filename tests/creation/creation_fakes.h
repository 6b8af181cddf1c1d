#pragma once
// Small stand-ins for the creation job's collaborators: an in-memory image,
// a temporary image that keeps its rows, and stages that copy files, so
// that the row loop, the cache and the stage handling can be checked on
// images whose every pixel is known.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "creation/create_job.h"
#include "raster/bitmap.h"

namespace quiltor::testing {

// A true-colour image held in memory; counts how often it was opened.
class MemoryRaster : public RasterReader {
 public:
  MemoryRaster(int w, int h, std::vector<std::uint8_t> bgr) : pixels_(std::move(bgr)) {
    width_ = w;
    height_ = h;
    pixelMode_ = 3;
  }
  void ReadRow(int y, std::uint8_t* buffer) override {
    std::copy_n(&pixels_[static_cast<std::size_t>(y) * width_ * 3], width_ * 3, buffer);
  }
  void FetchPixel(int x, int y, std::uint8_t* out) override {
    std::copy_n(&pixels_[(static_cast<std::size_t>(y) * width_ + x) * 3], 3, out);
  }

 private:
  std::vector<std::uint8_t> pixels_;
};

// An image held in a bitmap, 24-bit or with a palette. Shown as decoded, it
// is read straight from the bitmap; hidden, pixel by pixel like a streamed one.
class BitmapRaster : public RasterReader {
 public:
  BitmapRaster(Bitmap image, bool decoded) : image_(std::move(image)), decoded_(decoded) {
    width_ = image_.width();
    height_ = image_.height();
    pixelMode_ = image_.bytesPerPixel();
    palette_ = image_.palette();
  }
  void ReadRow(int y, std::uint8_t* buffer) override { std::copy_n(image_.row(y), image_.stride(), buffer); }
  void FetchPixel(int x, int y, std::uint8_t* out) override { image_.PixelBgr(x, y, out); }
  const Bitmap* DecodedImage() const override { return decoded_ ? &image_ : nullptr; }

 private:
  Bitmap image_;
  bool decoded_;
};

// The pixels of `raster` in a bitmap of 24 bits, or of 8 bits whose palette
// entry i is colour i of a fixed spread and whose index is a mix of the
// pixel's bytes (so the merged bytes show any change of neighbour).
inline Bitmap BitmapOf(RasterReader& raster, int bits) {
  Bitmap image(raster.width(), raster.height(), bits);
  for (int i = 0; i < 256; ++i)
    image.palette()[static_cast<std::size_t>(i)] = {std::uint8_t(i * 3), std::uint8_t(255 - i), std::uint8_t(i * 7), 0};
  for (int y = 0; y < raster.height(); ++y)
    for (int x = 0; x < raster.width(); ++x) {
      std::uint8_t bgr[3];
      raster.FetchPixel(x, y, bgr);
      if (bits == 24) std::copy_n(bgr, 3, image.row(y) + static_cast<std::size_t>(x) * 3);
      else image.row(y)[x] = static_cast<std::uint8_t>(bgr[0] ^ (bgr[1] >> 1) ^ (bgr[2] << 2));
    }
  return image;
}

// An image of one colour inside [inside, size - 1 - inside] and magenta outside.
inline std::vector<std::uint8_t> FramedImage(int w, int h, int collar, std::uint8_t b, std::uint8_t g,
                                             std::uint8_t r) {
  std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool in = x >= collar && y >= collar && x <= w - 1 - collar && y <= h - 1 - collar;
      std::uint8_t* p = &px[(static_cast<std::size_t>(y) * w + x) * 3];
      p[0] = in ? b : 255;
      p[1] = in ? g : 0;
      p[2] = in ? r : 255;
    }
  return px;
}

// A plain destination "projection": X = lon * 1000, Y = lat * 1000 metres.
inline creation::DestinationProjection PlainProjection() {
  creation::DestinationProjection p;
  p.kind = geodesy::ProjectionKind("Transverse Mercator");
  p.forward = [](geodesy::LatLon point) {
    return std::optional<geodesy::EastingNorthing>({point.longitude * 1000.0, point.latitude * 1000.0});
  };
  p.inverse = [](geodesy::EastingNorthing point) {
    return std::optional<geodesy::LatLon>({point.northing / 1000.0, point.easting / 1000.0});
  };
  return p;
}

// A source covering lon [west, west + w * step], lat [north - h * step, north],
// with a collar of `collar` pixels cut off by its border and spans.
inline creation::CreationSource FramedSource(const std::string& name, double west, double north, double step, int w,
                                             int h, int collar, std::vector<std::uint8_t> pixels, int* opens = nullptr,
                                             bool broken = false) {
  creation::CreationSource s;
  s.imageFile = "/maps/" + name;
  s.width = w;
  s.height = h;
  s.metresPerPixel = step * 1000.0;
  const double c = collar;
  const double xs[4] = {c, w - 1 - c, w - 1 - c, c};
  const double ys[4] = {c, c, h - 1 - c, h - 1 - c};
  for (int k = 0; k < 4; ++k) {
    s.outline.lon.push_back(west + xs[k] * step);
    s.outline.lat.push_back(north - ys[k] * step);
  }
  s.rowSpans = [collar, w, h](std::int32_t y) {
    return y >= collar && y <= h - 1 - collar ? std::vector<std::int32_t>{collar, w - 1 - collar}
                                              : std::vector<std::int32_t>{};
  };
  s.toPixel = [west, north, step](double lat, double lon, double& col, double& row) {
    col = (lon - west) / step;
    row = (north - lat) / step;
  };
  auto shared = std::make_shared<std::vector<std::uint8_t>>(std::move(pixels));
  s.open = [w, h, shared, opens, broken]() -> std::unique_ptr<RasterReader> {
    if (opens) ++*opens;
    if (broken) return nullptr;
    return std::make_unique<MemoryRaster>(w, h, *shared);
  };
  return s;
}

// Three dozen small overlapping maps of four scales over about half a
// degree, most detailed first, each with a collar and a pattern that shows
// any change of sampling position in the merged bytes. Their pixel grids are
// bent (a row of the image is a parabola on the ground), so that the row
// transform must split its rows. Map 17 cannot be opened. Only arithmetic,
// no library functions, so the merged bytes are the same on every machine.
inline std::vector<creation::CreationSource> ScatteredSources() {
  std::vector<creation::CreationSource> sources;
  constexpr int kCount = 36;
  constexpr double kSteps[4] = {0.0007, 0.001, 0.0013, 0.002};
  for (int i = 0; i < kCount; ++i) {
    const double step = kSteps[i * 4 / kCount];
    const int w = 60 + (i * 37) % 90, h = 50 + (i * 53) % 100;
    const int collar = i % 5;
    const double west = 0.013 * ((i * 7) % 31), north = 0.5 - 0.011 * ((i * 11) % 29);
    const double bend = 0.02 * (i % 3) / w;
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::uint8_t* p = &px[(static_cast<std::size_t>(y) * w + x) * 3];
        const bool in = x >= collar && y >= collar && x <= w - 1 - collar && y <= h - 1 - collar;
        p[0] = in ? std::uint8_t(x * 7 + i * 13) : 255;
        p[1] = in ? std::uint8_t(y * 5 + i * 29) : 0;
        p[2] = in ? std::uint8_t(x * y + i) : 255;
      }
    creation::CreationSource s =
        FramedSource("scatter" + std::to_string(i) + ".png", west, north, step, w, h, collar, std::move(px), nullptr,
                     i == 17);
    s.toPixel = [west, north, step, bend, w](double lat, double lon, double& col, double& row) {
      col = (lon - west) / step;
      const double fromCentre = col - w / 2.0;
      row = (north - lat) / step + bend * fromCentre * fromCentre;
    };
    sources.push_back(std::move(s));
  }
  return sources;
}

// FNV-1a of the merged rows: a short fingerprint of every byte.
inline std::uint64_t RowsDigest(const std::vector<std::uint8_t>& rows) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const std::uint8_t byte : rows) {
    hash ^= byte;
    hash *= 1099511628211ull;
  }
  return hash;
}

// Keeps the rows in memory and writes a file at the path, so that the job's
// clean-up of its temporary files can be seen on disk.
struct CapturedImage {
  std::int32_t width = 0, height = 0;
  std::vector<std::uint8_t> rows;
  const std::uint8_t* pixel(int x, int y) const { return &rows[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

class CapturingWriter : public creation::TempRowWriter {
 public:
  CapturingWriter(const std::string& path, std::int32_t w, std::int32_t h, CapturedImage& image)
      : out_(path, std::ios::binary), image_(image) {
    image_.width = w;
    image_.height = h;
    image_.rows.clear();
  }
  void WriteRow(const std::uint8_t* row) override {
    image_.rows.insert(image_.rows.end(), row, row + image_.width * 3);
    out_.write(reinterpret_cast<const char*>(row), image_.width * 3);
  }
  bool Finish() override {
    out_.close();
    return true;
  }

 private:
  std::ofstream out_;
  CapturedImage& image_;
};

inline creation::CreateStages CopyingStages(CapturedImage& image, bool convertSucceeds = true) {
  creation::CreateStages stages;
  stages.beginTempImage = [&image](const std::string& path, std::int32_t w, std::int32_t h) {
    return std::make_unique<CapturingWriter>(path, w, h, image);
  };
  // The image waits in the work folder until the calibration file is
  // "written", as the real stages keep it under a pending name.
  auto pending = std::make_shared<std::pair<std::string, std::string>>();
  stages.convertToTiled = [convertSucceeds, pending](const std::string& temp, const std::string& dest,
                                                     const std::string& work) {
    if (!convertSucceeds) return false;
    *pending = {(std::filesystem::path(work) / "pending.qtx2").string(), dest};
    std::filesystem::copy_file(temp, pending->first, std::filesystem::copy_options::overwrite_existing);
    return true;
  };
  stages.writeMapFile = [pending](const creation::DestinationExtent&, const creation::DestinationGrid&) {
    std::filesystem::copy_file(pending->first, pending->second, std::filesystem::copy_options::overwrite_existing);
  };
  return stages;
}

}  // namespace quiltor::testing
