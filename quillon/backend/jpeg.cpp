// JPEG files through the IJG libjpeg API, read row by row.  libjpeg reports errors by calling
// error_exit, which must not return: it jumps back to the reader, so a broken file becomes an
// error message and never ends the process.
#include "quillon/backend/backend.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jpeglib.h>
}

namespace {

struct jump_error_mgr {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void error_exit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<jump_error_mgr*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void no_output(j_common_ptr) {}  // warnings of damaged files are not printed

// Decoded pixels, 0xFFRRGGBB per pixel; malloc'd so that nothing with a destructor lives in
// the frame that the error jump returns to.
struct raw_image {
  unsigned width = 0, height = 0;
  uint32_t* pixels = nullptr;
};

// Only plain data in this frame: the jump skips no destructors.
bool read_jpeg(FILE* file, raw_image* out, char* why, size_t why_size) {
  jpeg_decompress_struct cinfo;
  jump_error_mgr jerr;
  JSAMPLE* volatile row = nullptr;
  cinfo.err = jpeg_std_error(&jerr.pub);
  jerr.pub.error_exit = error_exit;
  jerr.pub.output_message = no_output;
  jerr.message[0] = '\0';
  if (setjmp(jerr.jump)) {
    std::snprintf(why, why_size, "%s", jerr.message);
    jpeg_destroy_decompress(&cinfo);
    std::free(row);
    std::free(out->pixels);
    out->pixels = nullptr;
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  // The size the header claims is checked before any memory is taken for it.
  if ((long long)cinfo.image_width * cinfo.image_height > qnb::max_bitmap_pixels) {
    std::snprintf(why, why_size, "%s", qnb::too_many_pixels(cinfo.image_width, cinfo.image_height).c_str());
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&cinfo);
  const unsigned w = cinfo.output_width, h = cinfo.output_height;
  const int comps = cinfo.output_components;
  if (w == 0 || h == 0 || (long long)w * h > qnb::max_bitmap_pixels || (comps != 3 && comps != 4)) {
    std::snprintf(why, why_size, "unsupported image size or colour format");
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  row = static_cast<JSAMPLE*>(std::malloc(size_t(w) * size_t(comps)));
  out->pixels = static_cast<uint32_t*>(std::malloc(size_t(w) * size_t(h) * sizeof(uint32_t)));
  if (!row || !out->pixels) {
    std::snprintf(why, why_size, "Insufficient Memory");
    jpeg_destroy_decompress(&cinfo);
    std::free(row);
    std::free(out->pixels);
    out->pixels = nullptr;
    return false;
  }
  out->width = w;
  out->height = h;
  while (cinfo.output_scanline < h) {
    const unsigned y = cinfo.output_scanline;
    JSAMPROW rows[1] = {row};
    if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) break;
    uint32_t* dst = out->pixels + size_t(y) * w;
    for (unsigned x = 0; x < w; ++x) {
      const JSAMPLE* p = row + size_t(x) * size_t(comps);
      unsigned r, g, b;
      if (comps == 3) {
        r = p[0], g = p[1], b = p[2];
      } else {
        // Adobe writes CMYK inverted: the stored values are 255 - ink.
        const unsigned k = p[3];
        r = p[0] * k / 255, g = p[1] * k / 255, b = p[2] * k / 255;
      }
      dst[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::free(row);
  return true;
}

}  // namespace

namespace qnb {

bool decode_jpeg(const std::string& path, QImage& out, std::string& why) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    why = std::strerror(errno);
    return false;
  }
  raw_image raw;
  char message[JMSG_LENGTH_MAX + 64] = {};
  const bool ok = read_jpeg(file, &raw, message, sizeof message);
  std::fclose(file);
  if (!ok) {
    why = message;
    return false;
  }
  QImage img(int(raw.width), int(raw.height), QImage::Format_RGB32);
  if (!img.isNull()) {
    for (unsigned y = 0; y < raw.height; ++y)
      std::memcpy(img.scanLine(int(y)), raw.pixels + size_t(y) * raw.width, size_t(raw.width) * 4);
  }
  std::free(raw.pixels);
  if (img.isNull()) {
    why = "Insufficient Memory";
    return false;
  }
  out = std::move(img);
  return true;
}

}  // namespace qnb
