/* The image files of the stand-in decoders: a line of text
 *   STANDIN <width> <height> [<failing block column> <failing block row>]
 * (for charts, tile columns and rows and the failing tile), whose pixels
 * are a pattern the tests compute as well. */
#ifndef QUILTOR_TESTS_STANDIN_IMAGE_H
#define QUILTOR_TESTS_STANDIN_IMAGE_H

#include <stdint.h>
#include <stdio.h>

typedef struct {
  int32_t width;
  int32_t height;
  int32_t failColumn; /* -1 when nothing fails */
  int32_t failRow;
} StandinImage;

/* 1 when `path` is a stand-in image file. */
static inline int ReadStandinImage(const char *path, StandinImage *image) {
  FILE *file = fopen(path, "r");
  if (file == NULL) return 0;
  image->failColumn = image->failRow = -1;
  int fields = fscanf(file, "STANDIN %d %d %d %d", &image->width, &image->height, &image->failColumn, &image->failRow);
  fclose(file);
  if (fields < 2 || image->width <= 0 || image->height <= 0) return 0;
  if (fields < 4) image->failColumn = image->failRow = -1;
  return 1;
}

/* Blue, green, red of pixel (x, y) of a true-colour stand-in image. */
static inline void StandinPixel(int32_t x, int32_t y, uint8_t *bgr) {
  bgr[0] = (uint8_t)(x * 3 + y);
  bgr[1] = (uint8_t)(x + y * 5);
  bgr[2] = (uint8_t)(x ^ y);
}

/* The colour index (0..15) of pixel (x, y) of a stand-in chart. */
static inline uint8_t StandinChartIndex(int32_t x, int32_t y) { return (uint8_t)((x / 7 + y / 5) & 15); }

/* Red, green, blue of colour i of a stand-in chart. */
static inline void StandinChartColour(int i, uint8_t *rgb) {
  rgb[0] = (uint8_t)(i * 16);
  rgb[1] = (uint8_t)(255 - i * 16);
  rgb[2] = (uint8_t)(i * 8 + 1);
}

#endif
