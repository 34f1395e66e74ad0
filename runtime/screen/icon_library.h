// The icon library: up to 300 icons of 32 x 30 pixels in 16 colours in one file, "icon.lib",
// loaded on first use and drawn pixel by pixel on screen 0.  draw_icon itself is declared in
// screen.h.
//
// File layout: 512-byte records without a header, record n at byte 512 x (n - 1).  Bytes 0-1
// and 2-3: 16-bit little-endian 32 and 30 (written by a capture, not read); bytes 4-483: 30
// rows of 16 bytes (row r at byte 16r - 12), each row four planes of 4 bytes (values 1, 2, 4,
// 8), byte b of a plane holding pixels 8b + 1 to 8b + 8 with the leftmost in the top bit;
// bytes 484-511 zero.  A pixel's colour index is the sum of the planes whose bit is set:
// 0 transparent, 1 colour number 0, 2..15 the colour numbers 2..15.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "quillon/api/quillon.h"

inline constexpr int32_t icon_max = 300;
inline constexpr int32_t icon_record_size = 512;
inline constexpr int32_t icon_width = 32, icon_height = 30;
using icon_record = std::array<uint8_t, icon_record_size>;

// Draws the icon through the given context instead of screen 0's drawing step.
void draw_icon_on(ups& u, int32_t x, int32_t y, std::string_view reference, bool flag);
// Takes the screen 0 area x..x + 31, y..y + 29 as icon n of the reference and writes that one
// record into the library file.
void save_icon_lib(int32_t x, int32_t y, std::string_view reference);
// Marks the library as not loaded: the next draw reads the file again.
void forget_icon_lib();

// The icon number of a reference ("#7", "#3|#4" with flag true: 4, "#5&text": 5); 0 when it
// names no icon.
int32_t icon_number(std::string_view reference, bool flag);
// Colour index (0..15) of pixel (column c 1..32, row r 1..30) of a record.
int32_t icon_pixel_index(const icon_record& record, int32_t c, int32_t r);
// Sets the colour index of pixel (c, r) in a record.
void set_icon_pixel_index(icon_record& record, int32_t c, int32_t r, int32_t index);

// What the library holds: the count of icons loaded, the file it was read from ("*" before),
// whether it is loaded; for the tests and diagnostics.
int32_t icon_count();
std::string_view icon_file_name();
bool icon_lib_loaded();
void icon_library_reset();  // for tests
