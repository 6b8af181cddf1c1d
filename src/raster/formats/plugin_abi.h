/* The entry points of the image decoders that live outside the program and
 * are loaded at run time. Anyone can build a library the program loads: it
 * exports these functions with C linkage under exactly these names, in a
 * file named as below, placed in $QUILTOR_PLUGIN_DIR, beside the program, in
 * plugins/ beside the program, or on the system's library path.
 *
 *   ECW images (".ecw")            "libNCSEcw.so"
 *   MrSID images (".sid")          "TrvMrSid.so"
 *   Maptech charts (".rml", ".hdr") "TrvPCX.so"
 *
 * The header is plain C so that such a library can include it. */
#ifndef QUILTOR_RASTER_FORMATS_PLUGIN_ABI_H
#define QUILTOR_RASTER_FORMATS_PLUGIN_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ECW: the file information starts with these three fields; more may follow. */
typedef struct {
  uint32_t width;
  uint32_t height;
  uint16_t bandCount;
} EcwFileInfoHead;

/* 0 = success for the first four. The view delivers the rectangle set last
 * (inclusive image pixels), scaled to the output size, one line of
 * outWidth pixels of blue, green, red per read, top line first. */
int NCScbmOpenFileView(const char *path, void **view, void *refreshCallback);
int NCScbmGetViewFileInfo(void *view, EcwFileInfoHead **info);
int NCScbmSetFileView(void *view, uint32_t bandCount, uint32_t *bandList, uint32_t topLeftX, uint32_t topLeftY,
                      uint32_t bottomRightX, uint32_t bottomRightY, uint32_t outWidth, uint32_t outHeight);
int NCScbmReadViewLineBGR(void *view, uint8_t *line);
int NCScbmCloseFileViewEx(void *view, int freeCachedFile);

/* MrSID. _OpenMrSid2 and _LoadMrSidStrip2Buffer2 answer non-zero for
 * success. A strip is width * height pixels of blue, green, red, rows of
 * width * 3 bytes, top first; at level l coordinates and sizes are those of
 * the image reduced by 2^l. _LoadMrSidImage returns a malloc'd block: int32
 * width, int32 height, then rows of width * 3 bytes B,G,R, top first, which
 * the caller frees with free(); NULL when there is none. */
int _GetMrSidInfo(const char *path, int32_t *width, int32_t *height);
int _OpenMrSid2(const char *path, int32_t *width, int32_t *height, void **handleA, void **handleB);
void _CloseMrSid2(void *handleA, void *handleB);
int _LoadMrSidStrip2Buffer2(void *handleB, int32_t x, int32_t y, int32_t width, int32_t height, int32_t level,
                            uint8_t *bgrBuffer);
void *_LoadMrSidImage(const char *path, int32_t level);

/* Maptech charts: tiles of 640 x 480 pixels, 4 bits per pixel. Tile counts
 * are 0 for a file that is no chart. The palette is 16 entries of red,
 * green, blue, 0. GetRMLdib (tile coordinates 1-based) returns a malloc'd
 * block: a 104-byte header (40-byte bitmap information header, 16 entries of
 * blue, green, red, 0), then 480 rows of 320 bytes, bottom row first, the
 * left pixel of a byte in its high nibble. Pcx2Dib returns the 480 rows
 * alone. The caller frees both with free(); NULL when the tile is lost. */
int16_t GetXtiles(const char *rmlPath);
int16_t GetYtiles(const char *rmlPath);
int16_t GetPCXXtiles(const char *hdrPath);
int16_t GetPCXYtiles(const char *hdrPath);
void GetRMLpalette(const char *rmlPath, uint8_t *palette);
void *GetRMLdib(const char *rmlPath, int32_t column, int32_t row);
void *Pcx2Dib(const char *tilePath);

#ifdef __cplusplus
}
#endif

#endif
