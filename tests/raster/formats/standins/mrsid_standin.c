/* A stand-in MrSID decoder over stand-in image files. Built once whole and
 * once without "_OpenMrSid2", as an outdated library would be. It counts the
 * strips loaded and remembers the last one, for the tests to read. */
#include <stdlib.h>
#include <string.h>

#include "raster/formats/plugin_abi.h"
#include "standin_image.h"

static int loads;
static int32_t lastX, lastY, lastWidth, lastHeight;

void StandinMrSidLoads(int *count, int32_t *x, int32_t *y, int32_t *width, int32_t *height) {
  *count = loads;
  *x = lastX;
  *y = lastY;
  *width = lastWidth;
  *height = lastHeight;
}

int _GetMrSidInfo(const char *path, int32_t *width, int32_t *height) {
  StandinImage image;
  if (!ReadStandinImage(path, &image)) return 0;
  *width = image.width;
  *height = image.height;
  return 1;
}

#ifndef STANDIN_OUTDATED
int _OpenMrSid2(const char *path, int32_t *width, int32_t *height, void **handleA, void **handleB) {
  StandinImage image;
  if (!ReadStandinImage(path, &image)) return 0;
  StandinImage *held = malloc(sizeof image);
  *held = image;
  *width = image.width;
  *height = image.height;
  *handleA = NULL;
  *handleB = held;
  return 1;
}
#endif

void _CloseMrSid2(void *handleA, void *handleB) {
  (void)handleA;
  free(handleB);
}

int _LoadMrSidStrip2Buffer2(void *handleB, int32_t x, int32_t y, int32_t width, int32_t height, int32_t level,
                            uint8_t *bgrBuffer) {
  const StandinImage *image = handleB;
  ++loads;
  lastX = x;
  lastY = y;
  lastWidth = width;
  lastHeight = height;
  if (level != 0 || x < 0 || y < 0 || width <= 0 || height <= 0 || x + width > image->width ||
      y + height > image->height)
    return 0;
  const int32_t fx = image->failColumn * 128, fy = image->failRow * 128;
  if (image->failColumn >= 0 && x < fx + 128 && fx < x + width && y < fy + 128 && fy < y + height) return 0;
  for (int32_t row = 0; row < height; ++row)
    for (int32_t column = 0; column < width; ++column)
      StandinPixel(x + column, y + row, bgrBuffer + ((size_t)row * width + column) * 3);
  return 1;
}

void *_LoadMrSidImage(const char *path, int32_t level) {
  StandinImage image;
  if (!ReadStandinImage(path, &image) || level < 0 || level > 30) return NULL;
  int32_t size[2] = {image.width >> level, image.height >> level};
  if (size[0] < 1) size[0] = 1;
  if (size[1] < 1) size[1] = 1;
  uint8_t *block = malloc(sizeof size + (size_t)size[0] * size[1] * 3);
  memcpy(block, size, sizeof size);
  uint8_t *rows = block + sizeof size;
  for (int32_t y = 0; y < size[1]; ++y)
    for (int32_t x = 0; x < size[0]; ++x) StandinPixel(x << level, y << level, rows + ((size_t)y * size[0] + x) * 3);
  return block;
}
