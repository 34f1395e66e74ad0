// JPEG files through the IJG libjpeg API, read row by row.  libjpeg reports errors by calling
// error_exit, which must not return: it jumps back to the reader, so a broken file becomes an
// error message and never ends the process.
#include "quillon/backend/backend.h"
#include "quillon/api/libraries.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jpeglib.h>
}

namespace {

// libjpeg is opened at the first JPEG picture, not when the process starts: most programs
// show none, and every start would pay for loading it.
struct jpeg_library {
  decltype(&::jpeg_std_error) std_error = nullptr;
  decltype(&::jpeg_CreateDecompress) create_decompress = nullptr;
  decltype(&::jpeg_stdio_src) stdio_src = nullptr;
  decltype(&::jpeg_read_header) read_header = nullptr;
  decltype(&::jpeg_start_decompress) start_decompress = nullptr;
  decltype(&::jpeg_read_scanlines) read_scanlines = nullptr;
  decltype(&::jpeg_finish_decompress) finish_decompress = nullptr;
  decltype(&::jpeg_destroy_decompress) destroy_decompress = nullptr;
};

constexpr const char* jpeg_library_file = "libjpeg.so.62";

// The library's entry points, looked up once; nullptr when it is missing (the loader's reason
// in `problem`) or incomplete.
const jpeg_library* jpeg_api(std::string& problem) {
  static std::string load_problem;
  static const jpeg_library* api = []() -> const jpeg_library* {
    void* handle = qn_open_library(jpeg_library_file, &load_problem);
    static jpeg_library lib;
    if (qn_find_entry(handle, "jpeg_std_error", lib.std_error) &&
        qn_find_entry(handle, "jpeg_CreateDecompress", lib.create_decompress) &&
        qn_find_entry(handle, "jpeg_stdio_src", lib.stdio_src) &&
        qn_find_entry(handle, "jpeg_read_header", lib.read_header) &&
        qn_find_entry(handle, "jpeg_start_decompress", lib.start_decompress) &&
        qn_find_entry(handle, "jpeg_read_scanlines", lib.read_scanlines) &&
        qn_find_entry(handle, "jpeg_finish_decompress", lib.finish_decompress) &&
        qn_find_entry(handle, "jpeg_destroy_decompress", lib.destroy_decompress))
      return &lib;
    if (load_problem.empty()) load_problem = "an entry point is missing";
    return nullptr;
  }();
  problem = load_problem;
  return api;
}

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
bool read_jpeg(const jpeg_library& jl, FILE* file, raw_image* out, char* why, size_t why_size) {
  jpeg_decompress_struct cinfo;
  jump_error_mgr jerr;
  JSAMPLE* volatile row = nullptr;
  cinfo.err = jl.std_error(&jerr.pub);
  jerr.pub.error_exit = error_exit;
  jerr.pub.output_message = no_output;
  jerr.message[0] = '\0';
  if (setjmp(jerr.jump)) {
    std::snprintf(why, why_size, "%s", jerr.message);
    jl.destroy_decompress(&cinfo);
    std::free(row);
    std::free(out->pixels);
    out->pixels = nullptr;
    return false;
  }
  jl.create_decompress(&cinfo, JPEG_LIB_VERSION, sizeof cinfo);
  jl.stdio_src(&cinfo, file);
  jl.read_header(&cinfo, TRUE);
  // The size the header claims is checked before any memory is taken for it.
  if ((long long)cinfo.image_width * cinfo.image_height > qnb::max_bitmap_pixels) {
    std::snprintf(why, why_size, "%s", qnb::too_many_pixels(cinfo.image_width, cinfo.image_height).c_str());
    jl.destroy_decompress(&cinfo);
    return false;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jl.start_decompress(&cinfo);
  const unsigned w = cinfo.output_width, h = cinfo.output_height;
  const int comps = cinfo.output_components;
  if (w == 0 || h == 0 || (long long)w * h > qnb::max_bitmap_pixels || (comps != 3 && comps != 4)) {
    std::snprintf(why, why_size, "unsupported image size or colour format");
    jl.destroy_decompress(&cinfo);
    return false;
  }
  row = static_cast<JSAMPLE*>(std::malloc(size_t(w) * size_t(comps)));
  out->pixels = static_cast<uint32_t*>(std::malloc(size_t(w) * size_t(h) * sizeof(uint32_t)));
  if (!row || !out->pixels) {
    std::snprintf(why, why_size, "Insufficient Memory");
    jl.destroy_decompress(&cinfo);
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
    if (jl.read_scanlines(&cinfo, rows, 1) != 1) break;
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
  jl.finish_decompress(&cinfo);
  jl.destroy_decompress(&cinfo);
  std::free(row);
  return true;
}

}  // namespace

namespace qnb {

bool decode_jpeg(const std::string& path, QImage& out, std::string& why) {
  std::string problem;
  const jpeg_library* jl = jpeg_api(problem);
  if (!jl) {
    why = std::string("the JPEG library ") + jpeg_library_file + " cannot be loaded: " + problem;
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    why = std::strerror(errno);
    return false;
  }
  raw_image raw;
  char message[JMSG_LENGTH_MAX + 64] = {};
  const bool ok = read_jpeg(*jl, file, &raw, message, sizeof message);
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
