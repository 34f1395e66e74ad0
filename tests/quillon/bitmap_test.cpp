// Bitmap files: JPEG read through libjpeg, BMP written from a packed DIB and read back,
// broken files and bad handles.
#include "quillon_fixture.h"

#include <sys/resource.h>

#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

namespace {

// Writes a w x h JPEG whose left half is pure red and right half pure blue, or in grey a
// dark left and a light right half.
void write_jpeg(const std::string& name, int w, int h, int quality = 95, bool grey = false) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  FILE* f = std::fopen(name.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = JDIMENSION(w);
  cinfo.image_height = JDIMENSION(h);
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(size_t(w) * 3);
  for (int x = 0; x < w && grey; ++x) row[size_t(x)] = x < w / 2 ? 40 : 220;
  for (int x = 0; x < w && !grey; ++x) {
    const bool left = x < w / 2;
    row[size_t(x) * 3] = left ? 255 : 0;
    row[size_t(x) * 3 + 1] = 0;
    row[size_t(x) * 3 + 2] = left ? 0 : 255;
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::fclose(f);
}

void expect_near_colour(uint32_t got, uint32_t want, int tolerance) {
  for (int shift : {0, 8, 16}) {
    const int g = int((got >> shift) & 0xFF), w = int((want >> shift) & 0xFF);
    EXPECT_NEAR(g, w, tolerance) << std::hex << "got 0x" << got << " want 0x" << want;
  }
}

using bitmap_test = quillon_test;

TEST_F(bitmap_test, jpeg_loads_with_size_and_colours) {
  write_jpeg("photo.jpg", 64, 48);
  int status = -1;
  const int32_t b = LOAD_BITMAP("photo.jpg", &status);
  ASSERT_NE(b, 0);
  EXPECT_EQ(status, 0);
  const qn_point size = qn_bitmap_size(b);
  EXPECT_EQ(size.x, 64);
  EXPECT_EQ(size.y, 48);
  expect_near_colour(pixel_of(b, 5, 5), 0x0000FF, 24);     // red as 0x00BBGGRR
  expect_near_colour(pixel_of(b, 58, 40), 0xFF0000, 24);   // blue
}

TEST_F(bitmap_test, grey_jpeg_loads_as_grey) {
  write_jpeg("grey.jpg", 33, 17, 90, true);
  const int32_t b = LOAD_BITMAP("grey.jpg");
  ASSERT_NE(b, 0);
  EXPECT_EQ(qn_bitmap_size(b).x, 33);
  EXPECT_EQ(qn_bitmap_size(b).y, 17);
  expect_near_colour(pixel_of(b, 2, 2), 0x282828, 12);
  expect_near_colour(pixel_of(b, 30, 15), 0xDCDCDC, 12);
}

TEST_F(bitmap_test, file_names_ignore_case_and_take_backslashes) {
  std::filesystem::create_directories("Pics");
  write_jpeg("Pics/Logo.jpg", 16, 8);
  const int32_t b = LOAD_BITMAP("PICS\\LOGO.JPG   ");
  ASSERT_NE(b, 0);
  EXPECT_EQ(qn_bitmap_size(b).x, 16);
}

TEST_F(bitmap_test, broken_jpeg_is_an_error_not_an_exit) {
  write_jpeg("whole.jpg", 32, 32);
  const std::string all = read_file("whole.jpg");
  {
    std::ofstream cut("cut.jpg", std::ios::binary);
    cut << all.substr(0, 40);  // the header breaks off
  }
  {
    std::ofstream junk("junk.jpg", std::ios::binary);
    junk << std::string("\xFF\xD8\xFF\x01garbage-garbage-garbage", 26);
  }
  for (const char* name : {"cut.jpg", "junk.jpg"}) {
    int status = -1;
    EXPECT_EQ(LOAD_BITMAP(name, &status), 0) << name;
    EXPECT_EQ(status, 0x10000) << name;
  }
  qn_set_option_word(0x4000);
  EXPECT_EQ(LOAD_BITMAP("junk.jpg"), 0);
  EXPECT_NE(read_file("qn_self.tmp").find("junk.jpg"), std::string::npos);
  EXPECT_TRUE(exit_codes.empty());
}

TEST_F(bitmap_test, jpeg_claiming_a_huge_size_is_refused_before_it_takes_memory) {
  // A small valid JPEG whose frame header then claims 15085 x 16385 pixels.
  write_jpeg("small.jpg", 16, 16);
  std::string bytes = read_file("small.jpg");
  const size_t frame = bytes.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  auto put16 = [&](size_t at, unsigned v) {
    bytes[at] = char(v >> 8);
    bytes[at + 1] = char(v & 0xFF);
  };
  put16(frame + 5, 16385);  // height
  put16(frame + 7, 15085);  // width
  std::ofstream("huge.jpg", std::ios::binary) << bytes;

  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  int status = -1;
  EXPECT_EQ(LOAD_BITMAP("huge.jpg", &status), 0);
  EXPECT_EQ(status, 0x10000);
  qn_set_option_word(0x4000);
  EXPECT_EQ(LOAD_BITMAP("huge.jpg"), 0);
  getrusage(RUSAGE_SELF, &after);
  const std::string diagnostic = read_file("qn_self.tmp");
  EXPECT_NE(diagnostic.find("15085 x 16385"), std::string::npos) << diagnostic;
  EXPECT_NE(diagnostic.find("64 megapixels"), std::string::npos) << diagnostic;
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes taken";
  EXPECT_TRUE(exit_codes.empty());
}

TEST_F(bitmap_test, missing_and_unreadable_files) {
  int status = -1;
  EXPECT_EQ(LOAD_BITMAP("nothing.bmp", &status), 0);
  EXPECT_EQ(status, 0x10000);
  {
    std::ofstream bad("bad.bmp", std::ios::binary);
    bad << "BM this is not a bitmap";
  }
  status = -1;
  EXPECT_EQ(LOAD_BITMAP("bad.bmp", &status), 0);
  EXPECT_EQ(status, 0x10000);
}

TEST_F(bitmap_test, dib_is_a_bottom_up_24_bit_packed_bitmap) {
  const int32_t b = filled_bitmap(3, 2, 0x00FF00);
  ups u;
  START_BITMAP_DRAW(b, u);
  SET_PIXEL(u, 0x112233, {0, 0});  // top-left
  END_BITMAP_DRAW(u);
  const int32_t dib = BITMAP_TO_DIB(b);
  ASSERT_NE(dib, 0);
  const std::vector<uint8_t>* block = qn_global_block(dib);
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(block->size(), 40u + 2 * 12);  // rows of 9 bytes padded to 12
  EXPECT_EQ((*block)[0], 40);
  EXPECT_EQ((*block)[4], 3);
  EXPECT_EQ((*block)[8], 2);
  EXPECT_EQ((*block)[14], 24);
  // The top row is stored last; pixels are blue, green, red.
  const size_t top = 40 + 12;
  EXPECT_EQ((*block)[top], 0x11);
  EXPECT_EQ((*block)[top + 1], 0x22);
  EXPECT_EQ((*block)[top + 2], 0x33);
  EXPECT_EQ((*block)[40 + 1], 0xFF);  // bottom row, green
  free_global_text(dib);
  EXPECT_EQ(qn_global_block(dib), nullptr);
  int status = -1;
  free_global_text(dib, &status);
  EXPECT_EQ(status, 0x10000);
}

TEST_F(bitmap_test, saved_bmp_reads_back_equal) {
  const int32_t b = filled_bitmap(13, 7, 0xFFFFFF);
  ups u;
  START_BITMAP_DRAW(b, u);
  for (int x = 0; x < 13; ++x)
    for (int y = 0; y < 7; ++y) SET_PIXEL(u, uint32_t(x * 19 + y * 31 * 256 + (x ^ y) * 65536 * 11), {x, y});
  END_BITMAP_DRAW(u);
  const int32_t dib = BITMAP_TO_DIB(b);
  ASSERT_TRUE(save_bitmap_file(dib, "out.bmp"));
  const std::string file = read_file("out.bmp");
  ASSERT_GE(file.size(), 54u);
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(uint8_t(file[10]), 54);  // pixels right after the two headers
  EXPECT_EQ(file.size(), 14 + qn_global_block(dib)->size());
  const int32_t back = LOAD_BITMAP("out.bmp");
  ASSERT_NE(back, 0);
  ASSERT_EQ(qn_bitmap_size(back).x, 13);
  ASSERT_EQ(qn_bitmap_size(back).y, 7);
  for (int x = 0; x < 13; ++x)
    for (int y = 0; y < 7; ++y) EXPECT_EQ(pixel_of(back, x, y), pixel_of(b, x, y)) << x << "," << y;
}

TEST_F(bitmap_test, failed_save_keeps_the_old_file) {
  {
    std::ofstream old("keep.bmp");
    old << "old contents";
  }
  int status = -1;
  EXPECT_FALSE(save_bitmap_file(424242, "keep.bmp", &status));
  EXPECT_NE(status, 0);
  EXPECT_EQ(read_file("keep.bmp"), "old contents");
  const int32_t dib = BITMAP_TO_DIB(filled_bitmap(2, 2, 0));
  status = -1;
  EXPECT_FALSE(save_bitmap_file(dib, "no/such/dir/x.bmp", &status));
  EXPECT_NE(status, 0);
}

TEST_F(bitmap_test, bad_sizes_and_handles) {
  int status = -1;
  EXPECT_EQ(CREATE_BITMAP(0, 10, &status), 0);
  EXPECT_EQ(status, 0x10000);
  status = -1;
  EXPECT_EQ(CREATE_BITMAP(100000, 100000, &status), 0);
  EXPECT_EQ(status, 0x10000);
  status = -1;
  EXPECT_EQ(BITMAP_TO_DIB(99999, &status), 0);
  EXPECT_EQ(status, 0x10000);
  status = -1;
  DELETE_OBJECT(99999, &status);
  EXPECT_EQ(status, 0x10000);
  const int32_t b = CREATE_BITMAP(4, 4);
  EXPECT_EQ(pixel_of(b, 1, 1), 0u);  // a new bitmap starts black
  status = -1;
  DELETE_OBJECT(b, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(qn_bitmap_size(b).x, 0);
}

}  // namespace
