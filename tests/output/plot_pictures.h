// Plot files as pictures, decoded by their standard readers: GIF and BMP by ImageMagick, PDF by
// pdftoppm, PostScript by Ghostscript; the screen as its bitmap holds it.  A picture is read
// back from the portable pixmap (P6) that the reader writes.
#pragma once

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "test_plot_fixture.h"

struct plot_picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB, rows from the top

  uint32_t at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFu;
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
  static int grey(uint32_t rgb) { return static_cast<int>(((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF)) / 3; }
  bool ink(int x, int y, int below = 160) const { return grey(at(x, y)) < below; }
};

inline plot_picture read_ppm(const std::filesystem::path& file) {
  plot_picture pic;
  std::ifstream in(file, std::ios::binary);
  // The header's words, with the comments that a reader may write between them (ImageMagick
  // copies a GIF's comment there).
  auto word = [&in]() {
    std::string w;
    while (in >> w && w[0] == '#') std::getline(in, w);
    return w;
  };
  const std::string magic = word();
  int maxval = 0;
  try {
    pic.width = std::stoi(word());
    pic.height = std::stoi(word());
    maxval = std::stoi(word());
  } catch (const std::exception&) {
    return plot_picture{};
  }
  in.get();
  if (magic != "P6" || maxval != 255 || pic.width <= 0 || pic.height <= 0) return plot_picture{};
  std::vector<unsigned char> raw(static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height) * 3);
  in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
  if (!in) return plot_picture{};
  pic.pixels.resize(raw.size() / 3);
  for (size_t i = 0; i < pic.pixels.size(); ++i)
    pic.pixels[i] = static_cast<uint32_t>(raw[3 * i]) << 16 | static_cast<uint32_t>(raw[3 * i + 1]) << 8 | raw[3 * i + 2];
  return pic;
}

// The file's first page as its reader draws it, `dpi` pixels per inch for PDF and PostScript
// (a GIF or BMP keeps its own pixels).  Empty, with the reader's words in `output`, on failure.
inline plot_picture read_plot_picture(const std::filesystem::path& dir, const std::string& file, int dpi,
                                      std::string& output) {
  std::string ext = std::filesystem::path(file).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::string ppm = file + ".ppm";
  std::string command;
  if (ext == ".pdf")
    command = "pdftoppm -r " + std::to_string(dpi) + " -singlefile " + file + " " + file;  // writes FILE.ppm
  else if (ext == ".eps" || ext == ".ps")
    command = "gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=ppmraw -r" + std::to_string(dpi) + " -sOutputFile=" + ppm + " " + file;
  else
    command = "convert " + file + " " + ppm;
  if (run_reader(dir, command, output) != 0) return plot_picture{};
  return read_ppm(dir / ppm);
}

// A screen bitmap as a picture.
inline plot_picture picture_of(const QImage& image) {
  plot_picture pic;
  pic.width = image.width();
  pic.height = image.height();
  pic.pixels.resize(static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height));
  for (int y = 0; y < pic.height; ++y)
    for (int x = 0; x < pic.width; ++x)
      pic.pixels[static_cast<size_t>(y) * static_cast<size_t>(pic.width) + static_cast<size_t>(x)] = image.pixel(x, y) & 0xFFFFFFu;
  return pic;
}

// The smallest rectangle (inclusive) holding every ink pixel within the given one; left > right
// when there is none.
struct ink_box {
  int left = 1, top = 1, right = 0, bottom = 0;
  bool empty() const { return left > right; }
  int width() const { return right - left + 1; }
  int height() const { return bottom - top + 1; }
};

inline ink_box ink_within(const plot_picture& pic, int x1, int y1, int x2, int y2, int below = 160) {
  ink_box b{x2 + 1, y2 + 1, x1 - 1, y1 - 1};
  for (int y = std::max(y1, 0); y <= std::min(y2, pic.height - 1); ++y)
    for (int x = std::max(x1, 0); x <= std::min(x2, pic.width - 1); ++x)
      if (pic.ink(x, y, below)) {
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
      }
  if (b.left > b.right) return ink_box{};
  return b;
}
