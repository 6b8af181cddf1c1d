// The reader's image questions as the raster dispatch answers them.
#include "catalogue/raster_image_queries.h"

#include <gtest/gtest.h>

#include "catalogue/map_file_support.h"
#include "support/temp_folder.h"

namespace quiltor {
namespace {

using testing::TempFolder;
using testing::WriteText;
using testing::WriteTinyBmp;

TEST(RasterImageQueries, SizesABitmapAndRefusesOtherKinds) {
  TempFolder dir;
  WriteTinyBmp(dir / "sheet.BMP", 37, 21);
  WriteText(dir / "notes.txt", "not an image");
  WriteText(dir / "damaged.bmp", "BM short");
  const MapImageQueries q = RasterImageQueries();

  std::int32_t w = -1, h = -1, mode = -1;
  EXPECT_EQ(q.checkExtension((dir / "sheet.BMP").string()), 0);
  ASSERT_TRUE(q.queryInfo((dir / "sheet.BMP").string(), w, h, mode));
  EXPECT_EQ(w, 37);
  EXPECT_EQ(h, 21);
  EXPECT_EQ(mode, 3);

  EXPECT_EQ(q.checkExtension((dir / "notes.txt").string()), 1);
  EXPECT_FALSE(q.queryInfo((dir / "notes.txt").string(), w, h, mode));
  EXPECT_FALSE(q.queryInfo((dir / "damaged.bmp").string(), w, h, mode));
  EXPECT_FALSE(q.queryInfo((dir / "missing.bmp").string(), w, h, mode));
}

}  // namespace
}  // namespace quiltor
