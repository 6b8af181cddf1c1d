/* A stand-in Maptech chart decoder. A ".rml" or ".hdr" stand-in file holds
 * the tile columns and rows (and a tile that fails); a ".hdr" chart's tile
 * files hold a 66-byte PCX header with the chart's colours, then the tile's
 * column and row (0-based) in two bytes. */
#include <stdlib.h>
#include <string.h>

#include "raster/formats/plugin_abi.h"
#include "standin_image.h"

enum { kTileWidth = 640, kTileHeight = 480, kRowBytes = 320, kDibHeader = 104 };

static int16_t Count(const char *path, int columns) {
  StandinImage chart;
  if (!ReadStandinImage(path, &chart)) return 0;
  return (int16_t)(columns ? chart.width : chart.height);
}

int16_t GetXtiles(const char *rmlPath) { return Count(rmlPath, 1); }
int16_t GetYtiles(const char *rmlPath) { return Count(rmlPath, 0); }
int16_t GetPCXXtiles(const char *hdrPath) { return Count(hdrPath, 1); }
int16_t GetPCXYtiles(const char *hdrPath) { return Count(hdrPath, 0); }

void GetRMLpalette(const char *rmlPath, uint8_t *palette) {
  (void)rmlPath;
  for (int i = 0; i < 16; ++i) {
    StandinChartColour(i, palette + i * 4);
    palette[i * 4 + 3] = 0;
  }
}

/* 480 rows of the tile at (column, row), 0-based, bottom row first. */
static void FillTile(int32_t column, int32_t row, uint8_t *rows) {
  for (int line = 0; line < kTileHeight; ++line) {
    uint8_t *out = rows + (size_t)(kTileHeight - 1 - line) * kRowBytes;
    const int32_t y = row * kTileHeight + line;
    for (int x = 0; x < kTileWidth; x += 2) {
      const int32_t gx = column * kTileWidth + x;
      out[x / 2] = (uint8_t)(StandinChartIndex(gx, y) << 4 | StandinChartIndex(gx + 1, y));
    }
  }
}

void *GetRMLdib(const char *rmlPath, int32_t column, int32_t row) {
  StandinImage chart;
  if (!ReadStandinImage(rmlPath, &chart) || column < 1 || row < 1 || column > chart.width || row > chart.height)
    return NULL;
  if (column - 1 == chart.failColumn && row - 1 == chart.failRow) return NULL;
  uint8_t *block = calloc(1, kDibHeader + (size_t)kTileHeight * kRowBytes);
  for (int i = 0; i < 16; ++i) {
    uint8_t rgb[3];
    StandinChartColour(i, rgb);
    block[40 + i * 4] = rgb[2];
    block[40 + i * 4 + 1] = rgb[1];
    block[40 + i * 4 + 2] = rgb[0];
  }
  FillTile(column - 1, row - 1, block + kDibHeader);
  return block;
}

void *Pcx2Dib(const char *tilePath) {
  FILE *file = fopen(tilePath, "rb");
  if (file == NULL) return NULL;
  uint8_t header[68];
  const size_t got = fread(header, 1, sizeof header, file);
  fclose(file);
  if (got < sizeof header) return NULL;
  uint8_t *rows = malloc((size_t)kTileHeight * kRowBytes);
  FillTile(header[66], header[67], rows);
  return rows;
}
