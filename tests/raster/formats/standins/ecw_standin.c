/* A stand-in ECW decoder over stand-in image files. It counts the views
 * opened and closed and the rectangles set, for the tests to read. */
#include <stdlib.h>
#include <string.h>

#include "raster/formats/plugin_abi.h"
#include "standin_image.h"

typedef struct {
  StandinImage image;
  EcwFileInfoHead info;
  uint32_t x0, y0, x1, y1, outWidth, outHeight, nextLine;
} View;

static int opens, closes, sets;

void StandinEcwCounts(int *openCount, int *closeCount, int *setCount) {
  *openCount = opens;
  *closeCount = closes;
  *setCount = sets;
}

int NCScbmOpenFileView(const char *path, void **view, void *refreshCallback) {
  (void)refreshCallback;
  StandinImage image;
  if (!ReadStandinImage(path, &image)) return 1;
  View *v = calloc(1, sizeof(View));
  v->image = image;
  v->info.width = (uint32_t)image.width;
  v->info.height = (uint32_t)image.height;
  v->info.bandCount = 3;
  *view = v;
  ++opens;
  return 0;
}

int NCScbmGetViewFileInfo(void *view, EcwFileInfoHead **info) {
  *info = &((View *)view)->info;
  return 0;
}

int NCScbmSetFileView(void *view, uint32_t bandCount, uint32_t *bandList, uint32_t topLeftX, uint32_t topLeftY,
                      uint32_t bottomRightX, uint32_t bottomRightY, uint32_t outWidth, uint32_t outHeight) {
  View *v = view;
  ++sets;
  if (bandCount != 3 || bandList[0] != 0 || bandList[1] != 1 || bandList[2] != 2) return 1;
  if (bottomRightX >= v->info.width || bottomRightY >= v->info.height || topLeftX > bottomRightX ||
      topLeftY > bottomRightY || outWidth == 0 || outHeight == 0)
    return 1;
  if ((int32_t)(topLeftX / 128) == v->image.failColumn && (int32_t)(topLeftY / 128) == v->image.failRow) return 1;
  v->x0 = topLeftX;
  v->y0 = topLeftY;
  v->x1 = bottomRightX;
  v->y1 = bottomRightY;
  v->outWidth = outWidth;
  v->outHeight = outHeight;
  v->nextLine = 0;
  return 0;
}

int NCScbmReadViewLineBGR(void *view, uint8_t *line) {
  View *v = view;
  if (v->outWidth == 0 || v->nextLine >= v->outHeight) return 1;
  const uint32_t y = v->y0 + (uint32_t)((uint64_t)v->nextLine * (v->y1 - v->y0 + 1) / v->outHeight);
  for (uint32_t i = 0; i < v->outWidth; ++i) {
    const uint32_t x = v->x0 + (uint32_t)((uint64_t)i * (v->x1 - v->x0 + 1) / v->outWidth);
    StandinPixel((int32_t)x, (int32_t)y, line + i * 3);
  }
  ++v->nextLine;
  return 0;
}

int NCScbmCloseFileViewEx(void *view, int freeCachedFile) {
  (void)freeCachedFile;
  free(view);
  ++closes;
  return 0;
}
