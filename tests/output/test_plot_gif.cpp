// The GIF encoder (layout, colour merge, comment blocks, LZW data decoded back) and the bitmap
// plot device that writes GIF or BMP files at the end of a plot.
#include <random>
#include <string>
#include <vector>

#include "test_plot_fixture.h"

namespace {

using plot_gif = plot_test;

// A GIF read back: the header fields, the colour table, the comment and the pixel indices.
struct gif_read {
  std::string signature;
  int width = 0, height = 0, table_bits = 0, min_code_size = 0;
  std::vector<uint8_t> table;
  std::vector<int> comment_blocks;
  std::string comment;
  std::vector<uint8_t> pixels;
  std::vector<int> data_blocks;
  bool trailer = false;
};

std::vector<uint8_t> lzw_decode(const std::string& data, int min_size) {
  std::vector<uint8_t> out;
  const int clear = 1 << min_size, eoi = clear + 1;
  int width = min_size + 1, next = clear + 2, prev = -1;
  std::vector<std::string> dict(4096);
  for (int i = 0; i < clear; ++i) dict[static_cast<size_t>(i)] = std::string(1, static_cast<char>(i));
  size_t bit = 0;
  for (;;) {
    if (bit + static_cast<size_t>(width) > data.size() * 8) break;
    int code = 0;
    for (int b = 0; b < width; ++b, ++bit)
      code |= ((static_cast<uint8_t>(data[bit / 8]) >> (bit % 8)) & 1) << b;
    if (code == clear) {
      width = min_size + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code == eoi) break;
    std::string entry;
    if (prev < 0) {
      entry = dict[static_cast<size_t>(code)];
    } else {
      if (code < next) entry = dict[static_cast<size_t>(code)];
      else entry = dict[static_cast<size_t>(prev)] + dict[static_cast<size_t>(prev)][0];
      if (next < 4096) dict[static_cast<size_t>(next++)] = dict[static_cast<size_t>(prev)] + entry[0];
      if (next >= (1 << width) && width < 12) ++width;
    }
    out.insert(out.end(), entry.begin(), entry.end());
    prev = code;
  }
  return out;
}

gif_read read_gif(const std::string& f) {
  gif_read g;
  size_t p = 0;
  auto byte = [&]() { return p < f.size() ? static_cast<uint8_t>(f[p++]) : uint8_t(0); };
  auto word = [&]() { int lo = byte(); return lo | (byte() << 8); };
  g.signature = f.substr(0, 6);
  p = 6;
  g.width = word();
  g.height = word();
  const int flags = byte();
  g.table_bits = (flags & 7) + 1;
  byte();
  byte();
  for (int i = 0; i < 3 * (1 << g.table_bits); ++i) g.table.push_back(byte());
  while (p < f.size()) {
    const int intro = byte();
    if (intro == 0x21) {
      byte();
      for (int len = byte(); len != 0; len = byte()) {
        g.comment_blocks.push_back(len);
        g.comment += f.substr(p, static_cast<size_t>(len));
        p += static_cast<size_t>(len);
      }
    } else if (intro == 0x2C) {
      for (int i = 0; i < 4; ++i) word();
      byte();
      g.min_code_size = byte();
      std::string data;
      for (int len = byte(); len != 0; len = byte()) {
        g.data_blocks.push_back(len);
        data += f.substr(p, static_cast<size_t>(len));
        p += static_cast<size_t>(len);
      }
      g.pixels = lzw_decode(data, g.min_code_size);
    } else {
      g.trailer = intro == 0x3B;
      break;
    }
  }
  return g;
}

void write_picture(const std::string& name, const std::vector<uint8_t>& pixels, int w, int h,
                   const std::vector<uint8_t>& r, const std::vector<uint8_t>& g,
                   const std::vector<uint8_t>& b, std::string_view comment, int32_t& status) {
  write_gif(name, pixels.data(), w, h, r.data(), g.data(), b.data(), static_cast<int32_t>(r.size()), 0,
            comment, status);
}

TEST_F(plot_gif, OnePixelGivesTheDocumentedBytes) {
  std::vector<uint8_t> r(16), g(16), b(16);
  for (int i = 0; i < 16; ++i) r[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 10);
  int32_t status = 0;
  write_picture("one.gif", {0}, 1, 1, r, g, b, "", status);
  EXPECT_EQ(status, -1);
  const std::string f = file_text("one.gif");
  EXPECT_EQ(f.substr(0, 6), "GIF87a");
  EXPECT_EQ(static_cast<uint8_t>(f[10]), 0xF3);  // table of 16, b = 4
  EXPECT_EQ(f.substr(f.size() - 6), std::string("\x04\x02\x10\x44\x00\x3B", 6));
}

TEST_F(plot_gif, ColourMergeAndTableSize) {
  std::vector<uint8_t> r(16), g(16), b(16);
  for (int i = 0; i < 16; ++i) r[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  r[9] = r[3];
  r[12] = r[5];  // 14 distinct colours
  int32_t status = 0;
  write_picture("m.gif", {9, 3, 12, 15}, 2, 2, r, g, b, "", status);
  const gif_read gr = read_gif(file_text("m.gif"));
  EXPECT_EQ(gr.table_bits, 4);
  EXPECT_EQ(gr.min_code_size, 4);
  ASSERT_EQ(gr.pixels.size(), 4u);
  EXPECT_EQ(gr.pixels[0], gr.pixels[1]);  // index 9 coded as index 3
  EXPECT_EQ(gr.pixels[3], 13);            // the 14th distinct colour
  EXPECT_EQ(gr.table[3 * 13], 15);
  EXPECT_EQ(gr.table[3 * 14], 0);  // entries beyond the merged colours are black

  write_picture("two.gif", {0, 1, 1, 0}, 2, 2, {0, 255}, {0, 255}, {0, 255}, "", status);
  const gif_read two = read_gif(file_text("two.gif"));
  EXPECT_EQ(two.table_bits, 1);
  EXPECT_EQ(two.min_code_size, 2);
  EXPECT_EQ(two.pixels, (std::vector<uint8_t>{0, 1, 1, 0}));
}

TEST_F(plot_gif, CommentBlocksAndGreyValues) {
  int32_t status = 0;
  write_gif("c.gif", std::vector<uint8_t>{1}.data(), 1, 1, std::vector<uint8_t>{0, 200}.data(),
            std::vector<uint8_t>{0, 100}.data(), std::vector<uint8_t>{0, 50}.data(), 2, 1,
            std::string(300, 'k'), status);
  const gif_read gr = read_gif(file_text("c.gif"));
  EXPECT_EQ(gr.signature, "GIF89a");
  EXPECT_EQ(gr.comment_blocks, (std::vector<int>{255, 45}));
  EXPECT_EQ(gr.comment, std::string(300, 'k'));
  const int grey = (11 * 200 + 16 * 100 + 5 * 50) >> 5;
  EXPECT_EQ(gr.table[3], grey);
  EXPECT_EQ(gr.table[5], grey);
  EXPECT_TRUE(gr.trailer);
}

TEST_F(plot_gif, LargeNoisyPictureSurvivesTableResets) {
  const int w = 300, h = 200;
  std::vector<uint8_t> pixels(static_cast<size_t>(w * h));
  std::mt19937 gen(7);
  for (auto& p : pixels) p = static_cast<uint8_t>(gen() % 16);
  std::vector<uint8_t> r(16), g(16), b(16);
  for (int i = 0; i < 16; ++i) r[static_cast<size_t>(i)] = static_cast<uint8_t>(16 * i);
  int32_t status = 0;
  write_picture("n.gif", pixels, w, h, r, g, b, "VEXTOR", status);
  const gif_read gr = read_gif(file_text("n.gif"));
  EXPECT_EQ(gr.pixels, pixels);
  ASSERT_FALSE(gr.data_blocks.empty());
  for (size_t i = 0; i + 1 < gr.data_blocks.size(); ++i) EXPECT_EQ(gr.data_blocks[i], 254);
  EXPECT_TRUE(gr.trailer);
}

TEST_F(plot_gif, PixelsBeyondTheColourCountUseEntryZero) {
  int32_t status = 0;
  write_picture("x.gif", {0, 1, 7, 1}, 2, 2, {10, 20}, {0, 0}, {0, 0}, "", status);
  EXPECT_EQ(read_gif(file_text("x.gif")).pixels, (std::vector<uint8_t>{0, 1, 0, 1}));
}

TEST_F(plot_gif, FileThatCannotBeOpenedGivesStatusOne) {
  int32_t status = 0;
  write_picture("no_dir/x.gif", {0}, 1, 1, {0}, {0}, {0}, "", status);
  EXPECT_EQ(status, 1);
  write_picture("empty.gif", {}, 0, 1, {0}, {0}, {0}, "", status);
  EXPECT_EQ(status, 1);
}

TEST_F(plot_gif, BitmapDeviceSizesThePictureFromTheScreen) {
  open("pic", 49, 21.0f, 29.7f);
  const int32_t cy = get_system_metrics(17);
  const int32_t h = nint(0.9f * static_cast<float>(cy) / 10.0f) * 10;
  EXPECT_EQ(plot_state.page_height, h);
  EXPECT_EQ(plot_state.page_width, nint(static_cast<float>(h) / 29.7f * 21.0f / 10.0f) * 10);
  EXPECT_EQ(plot_state.offset_y, h - 1);
  EXPECT_EQ(std::string(trim_blanks_right(get_plot_file())), "pic.GIF");
  EXPECT_FALSE(std::filesystem::exists(dir / "pic.GIF"));  // written at the end
  plot(0, 0, 999);
  EXPECT_TRUE(std::filesystem::exists(dir / "pic.GIF"));
}

TEST_F(plot_gif, BitmapDeviceWritesGifWithItsColours) {
  colour_table[4] = 0x0000FF;
  open("pic.gif", 49, 10.0f, 10.0f);
  newpen(4);
  plot(0, 10, 3);  // the top left corner: red is the first colour met
  plot(10, 10, 2);
  plot(0, 0, 999);
  const gif_read gr = read_gif(file_text("pic.gif"));
  EXPECT_EQ(gr.comment, "VEXTOR");
  EXPECT_EQ(gr.width, plot_state.page_width);
  ASSERT_EQ(gr.pixels.size(), static_cast<size_t>(gr.width * gr.height));
  EXPECT_EQ(gr.pixels[0], 2);  // red took entry 3 (index 2)
  EXPECT_EQ(gr.table[6], 255);
  EXPECT_EQ(gr.table[8], 0);
  EXPECT_EQ(gr.pixels[static_cast<size_t>(gr.width * (gr.height / 2))], 0);  // white paper
  EXPECT_EQ(plot_state.bitmap, 0);
}

TEST_F(plot_gif, BitmapDeviceTextKeepsItsPenColourInTheGif) {
  open("txt.gif", 49, 21.0f, 29.7f);
  plot_text(2.0f, 20.0f, 1.0f, "Hello World 0123", 0.0f, 0);
  plot(0, 0, 999);
  // Black text on white paper: every pixel is paper or text, none a shade that the 16-colour
  // reduction would put into another slot.
  const gif_read gr = read_gif(file_text("txt.gif"));
  ASSERT_EQ(gr.pixels.size(), static_cast<size_t>(gr.width * gr.height));
  size_t text = 0;
  for (uint8_t p : gr.pixels) {
    ASSERT_LE(p, 1);
    text += p;
  }
  EXPECT_GT(text, 300u);
}

TEST_F(plot_gif, BitmapDeviceChoosesBmpOnlyForUpperOrLowerCaseExtension) {
  open("a.bmp", 49, 10.0f, 10.0f);
  plot(0, 0, 999);
  EXPECT_EQ(file_text("a.bmp").substr(0, 2), "BM");
  open("b.BMP", 49, 10.0f, 10.0f);
  plot(0, 0, 999);
  EXPECT_EQ(file_text("b.BMP").substr(0, 2), "BM");
  open("c.Bmp", 49, 10.0f, 10.0f);
  plot(0, 0, 999);
  EXPECT_EQ(file_text("c.Bmp").substr(0, 6), "GIF89a");
}

}  // namespace

namespace {

class plot_bitmap_colours : public plot_test {
 protected:
  // The plot's picture with the given colours set into the first pixels of the top row.
  gif_read plot_with(const std::vector<uint32_t>& colours) {
    COMPS("c.gif", 10.0f, 10.0f, 49, 1.0f);
    for (size_t i = 0; i < colours.size(); ++i)
      SET_PIXEL(plot_state.plot_ups, colours[i], {static_cast<int32_t>(i), 0});
    plot(0, 0, 999);
    return read_gif(file_text("c.gif"));
  }
};

TEST_F(plot_bitmap_colours, BlackAndWhiteOnlyGiveIndicesZeroAndOne) {
  const gif_read gr = plot_with({0x000000, 0xFFFFFF, 0x000000});
  EXPECT_EQ(gr.table_bits, 4);  // the 16-entry table of the standard colours, merged
  EXPECT_EQ(gr.pixels[0], 1);
  EXPECT_EQ(gr.pixels[1], 0);
  for (uint8_t p : gr.pixels) EXPECT_LE(p, 1);
}

TEST_F(plot_bitmap_colours, PixelLineEntryWarns) {
  COMPS("w.gif", 10.0f, 10.0f, 49, 1.0f);
  VEXTOR(5, 5, 1);
  ASSERT_FALSE(boxes.empty());
  EXPECT_NE(boxes.back().text.find("VEXTOR : kein Pixel-Draw ab 4.0"), std::string::npos);
  EXPECT_EQ(plot_state.last_y, plot_state.page_height - 5 - 1);
  plot(0, 0, 999);
}

}  // namespace
