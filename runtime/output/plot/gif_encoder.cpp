// The GIF encoder: one picture of colour indices as a GIF file with a global colour table
// (equal colours merged), an optional comment, and LZW-compressed image data in sub-blocks.
#include <algorithm>
#include <string>
#include <vector>

#include "quillon/api/save_file.h"
#include "runtime/program/program.h"
#include "runtime/program/file_glue.h"
#include "runtime/program/file_units.h"
#include "runtime/output/plot/plot.h"

namespace {

constexpr int32_t max_bits = 12;
constexpr int32_t code_limit = 1 << max_bits;  // 4096
constexpr int32_t hash_size = 5003;
constexpr int32_t hash_shift = 4;

struct gif_state_t {
  uint8_t red[256] = {}, green[256] = {}, blue[256] = {};
  uint8_t merge_map[256] = {};
  std::vector<int32_t> hash = std::vector<int32_t>(hash_size, -1);
  std::vector<uint16_t> codes = std::vector<uint16_t>(hash_size, 0);
  int32_t init_bits = 0, n_bits = 0, max_code = 0, clear_code = 0, eof_code = 0, free_code = 0;
  bool clear_flag = false;
  uint32_t accum = 0;
  int32_t accum_bits = 0;
  uint8_t packet[256] = {};
  int32_t packet_count = 0;
};
gif_state_t gif;
save_file* gif_out = nullptr;  // the file being written, aside until it is complete

void gif_put_byte(int32_t b) { gif_out->put(static_cast<char>(b & 0xFF)); }

void gif_put_word(int32_t w) {
  gif_put_byte(w & 0xFF);
  gif_put_byte((w >> 8) & 0xFF);
}

void gif_packet_flush() {
  if (gif.packet_count > 0) {
    gif_put_byte(gif.packet_count);
    gif_out->write({reinterpret_cast<const char*>(gif.packet), static_cast<size_t>(gif.packet_count)});
    gif.packet_count = 0;
  }
}

void gif_packet_add(int32_t b) {
  gif.packet[gif.packet_count++] = static_cast<uint8_t>(b);
  if (gif.packet_count >= 254) gif_packet_flush();
}

int32_t max_code_of(int32_t bits) { return bits >= max_bits ? code_limit : (1 << bits) - 1; }

void gif_output_code(int32_t code) {
  if (gif.accum_bits > 0) {
    gif.accum &= (1u << gif.accum_bits) - 1u;
    gif.accum |= static_cast<uint32_t>(code) << gif.accum_bits;
  } else {
    gif.accum = static_cast<uint32_t>(code);
  }
  gif.accum_bits += gif.n_bits;
  while (gif.accum_bits >= 8) {
    gif_packet_add(static_cast<int32_t>(gif.accum & 0xFF));
    gif.accum >>= 8;
    gif.accum_bits -= 8;
  }
  if (gif.free_code > gif.max_code || gif.clear_flag) {
    if (gif.clear_flag) {
      gif.n_bits = gif.init_bits;
      gif.max_code = max_code_of(gif.n_bits);
      gif.clear_flag = false;
    } else {
      ++gif.n_bits;
      gif.max_code = max_code_of(gif.n_bits);
    }
  }
  if (code == gif.eof_code) {
    while (gif.accum_bits > 0) {
      gif_packet_add(static_cast<int32_t>(gif.accum & 0xFF));
      gif.accum >>= 8;
      gif.accum_bits -= 8;
    }
    gif_packet_flush();
  }
}

void gif_clear_hash() { std::fill(gif.hash.begin(), gif.hash.end(), -1); }

void gif_clear_block() {
  gif_clear_hash();
  gif.free_code = gif.clear_code + 2;
  gif.clear_flag = true;
  gif_output_code(gif.clear_code);
}

void gif_compress(int32_t init_bits, const uint8_t* pixels, int64_t count) {
  std::fill(gif.codes.begin(), gif.codes.end(), 0);
  gif_clear_hash();
  gif.init_bits = init_bits;
  gif.n_bits = init_bits;
  gif.max_code = max_code_of(gif.n_bits);
  gif.clear_code = 1 << (init_bits - 1);
  gif.eof_code = gif.clear_code + 1;
  gif.free_code = gif.clear_code + 2;
  gif.clear_flag = false;
  gif.accum = 0;
  gif.accum_bits = 0;
  gif.packet_count = 0;
  gif_output_code(gif.clear_code);
  int32_t prefix = gif.merge_map[pixels[0]];
  for (int64_t k = 1; k < count; ++k) {
    const int32_t c = gif.merge_map[pixels[k]];
    const int32_t key = (c << max_bits) + prefix;
    int32_t i = (c << hash_shift) ^ prefix;
    bool found = false;
    if (gif.hash[static_cast<size_t>(i)] == key) {
      found = true;
    } else if (gif.hash[static_cast<size_t>(i)] >= 0) {
      const int32_t step = i == 0 ? 1 : hash_size - i;
      for (;;) {
        i -= step;
        if (i < 0) i += hash_size;
        if (gif.hash[static_cast<size_t>(i)] == key) {
          found = true;
          break;
        }
        if (gif.hash[static_cast<size_t>(i)] < 0) break;
      }
    }
    if (found) {
      prefix = gif.codes[static_cast<size_t>(i)];
      continue;
    }
    gif_output_code(prefix);
    prefix = c;
    if (gif.free_code < code_limit) {
      gif.codes[static_cast<size_t>(i)] = static_cast<uint16_t>(gif.free_code++);
      gif.hash[static_cast<size_t>(i)] = key;
    } else {
      gif_clear_block();
    }
  }
  gif_output_code(prefix);
  gif_output_code(gif.eof_code);
}

}  // namespace

void write_gif(std::string_view file_name, const uint8_t* pixels, int32_t width, int32_t height,
               const uint8_t* red, const uint8_t* green, const uint8_t* blue, int32_t colour_count,
               int32_t grey, std::string_view comment, int32_t& status) {
  if (size_t nul = file_name.find('\0'); nul != std::string_view::npos) file_name = file_name.substr(0, nul);
  if (size_t nul = comment.find('\0'); nul != std::string_view::npos) comment = comment.substr(0, nul);
  if (width < 1 || height < 1 || pixels == nullptr) {  // no picture to write
    status = 1;
    return;
  }
  colour_count = std::clamp(colour_count, 0, 256);
  gif = gif_state_t{};
  save_file out;
  if (const int32_t failed = out.open(host_path(file_name)); failed != 0) {
    report_write_failure(file_name, failed, out.reason());
    status = 1;
    return;
  }
  gif_out = &out;
  // Colour merge: equal colours share one table entry.
  int32_t m = 0;
  for (int32_t k = 0; k < colour_count; ++k) {
    int32_t j = 0;
    while (j < k && !(red[j] == red[k] && green[j] == green[k] && blue[j] == blue[k])) ++j;
    if (j < k) {
      gif.merge_map[k] = gif.merge_map[j];
    } else {
      gif.merge_map[k] = static_cast<uint8_t>(m);
      gif.red[m] = red[k];
      gif.green[m] = green[k];
      gif.blue[m] = blue[k];
      ++m;
    }
  }
  int32_t bits = 1;
  while (bits < 8 && (1 << bits) < m) ++bits;
  const int32_t min_code_size = std::max(bits, 2);
  const bool has_comment = !comment.empty();
  out.write(has_comment ? "GIF89a" : "GIF87a");
  gif_put_word(width);
  gif_put_word(height);
  gif_put_byte(0xF0 | (bits - 1));
  gif_put_byte(0);
  gif_put_byte(0);
  for (int32_t i = 0; i < (1 << bits); ++i) {
    if (grey == 1) {
      const int32_t g = (11 * gif.red[i] + 16 * gif.green[i] + 5 * gif.blue[i]) >> 5;
      gif_put_byte(g);
      gif_put_byte(g);
      gif_put_byte(g);
    } else {
      gif_put_byte(gif.red[i]);
      gif_put_byte(gif.green[i]);
      gif_put_byte(gif.blue[i]);
    }
  }
  if (has_comment) {
    gif_put_byte(0x21);
    gif_put_byte(0xFE);
    for (size_t pos = 0; pos < comment.size();) {
      const size_t len = std::min<size_t>(255, comment.size() - pos);
      gif_put_byte(static_cast<int32_t>(len));
      out.write(comment.substr(pos, len));
      pos += len;
    }
    gif_put_byte(0);
  }
  gif_put_byte(0x2C);
  gif_put_word(0);
  gif_put_word(0);
  gif_put_word(width);
  gif_put_word(height);
  gif_put_byte(0);
  gif_put_byte(min_code_size);
  gif_compress(min_code_size + 1, pixels, static_cast<int64_t>(width) * height);
  gif_put_byte(0);
  gif_put_byte(0x3B);
  gif_out = nullptr;
  if (const int32_t failed = out.commit(); failed != 0) {
    report_write_failure(file_name, failed, out.reason());
    status = 1;
    return;
  }
  status = -1;
}
