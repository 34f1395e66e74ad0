// psplot_state.h
// The plot-script module's state: script and statement texts, the frame stack, the element
// table and the flags shared by the reader and the statement executor.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quillon/api/quillon.h"

struct psplot_frame {
  int8_t TP = 100;
  int16_t LE = 0;
  char SA = 'R';
  std::string FO = "AN";
  float SZ = 0.2f;
  std::array<int8_t, 3> format{8, 0, 0};
  float FZ = 1.0f;
  float X0 = 0, Y0 = 0, XO = 0, YO = 0;
  float FX = 1.0f, FY = 1.0f;
  float unit_x = 1.0f, unit_y = 1.0f;
  float XP = 0, YP = 0;
  float LF = 0.2f, CF = 2.5f;
  float SP = 0;
  float AN = 0;
};

struct psplot_element {
  int16_t length = 0;
  char attribute = ' ';
  std::string font = "  ";
  float x = -9999.0f, y = 0, size = 0;
  std::array<int8_t, 3> format{0, 0, 0};
  int8_t type = 0;
};

constexpr int32_t psplot_text_size = 256;
constexpr int32_t psplot_levels = 10;
constexpr int32_t psplot_slots = 1000;

struct psplot_state_t {
  std::string script = std::string(psplot_text_size, ' ');
  std::string statement = std::string(psplot_text_size, ' ');
  bool postscript = false;
  int32_t level = 1;  // 1-10
  std::array<psplot_frame, psplot_levels> frames{};
  std::array<psplot_element, psplot_slots> elements{};
  std::array<std::string, psplot_slots> tags{};
  int32_t current_element = 0;
  bool blank_paragraph = false;
  bool debug = false;
  char last_attribute = ' ';
  std::string last_font = "xx";
  int32_t indent = 0;  // of the statement being carried out
  // Point list of "POL"/"PLY" (pixels of the drawing context), area rectangle and offsets.
  std::vector<qn_point> points;
  int32_t point_count = 0;
  int32_t area_left = 0, area_top = 0, area_right = 0, area_bottom = 0;
  float area_dx = 0, area_dy = 0;
  // Called before each statement is carried out, so that a harness can bound a script that
  // jumps back for ever; none in a program's run.
  void (*statement_hook)() = nullptr;
  psplot_frame& frame() { return frames[level - 1]; }
};
extern psplot_state_t psplot_state;

// The statement text padded to 256 characters; a longer one (a script file's long line, a
// statement that its fields made longer) is kept whole.
std::string psplot_padded(std::string_view text);
// List-directed read of up to n reals from the statement's characters 4-256: blanks and
// commas separate; a missing or unreadable value leaves its field unchanged.  Returns how
// many values were read.
int32_t psplot_read_reals(const std::string& statement, float* values, int32_t n);
// Frame mapping of a point in frame units to plot units.
float psplot_map_x(const psplot_frame& f, float x);
float psplot_map_y(const psplot_frame& f, float y);
// Carries out one drawing, text, layout or frame statement; false when the keyword is none.
bool psplot_drawing_statement(std::string& statement);

// Value fields and auxiliary entries: a value written into the field of an element slot,
// formatted by the slot's field type; frame values and slot positions set and read.
void psplot_value_int(int32_t slot, int32_t value);
void psplot_value_real(int32_t slot, float value);
void psplot_set_device(int32_t code);
void psplot_set_element_xy(int32_t slot, float x, float y);
void psplot_get_element_xy(int32_t slot, float& x, float& y);
void psplot_plot_units(int32_t flag, float x, float y);
void psplot_set_units(float ux, float uy);
void psplot_text_at(float x, float y, std::string_view text);
void psplot_text_at_units(float x, float y, std::string_view text);
void psplot_get_element(int32_t slot, float& x, float& y, float& line_feed, float& x_scale);
void psplot_get_frame(float& x0, float& ux, float& y0, float& uy, float& fz);
void psplot_set_origin(float x0, float y0);
void psplot_clear();
void psplot_fields_reset();  // the debug grid back to its start; for tests
