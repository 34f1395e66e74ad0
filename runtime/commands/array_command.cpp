// The ARRAY command: dynamic arrays (create, resize, destroy), copying runs of elements,
// charts and line lists drawn into a rectangle of screen 0, and the catch-line search that
// finds the drawn line or point nearest to a position.  Arrays are named by variable number;
// elements are 4-byte words.
#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/draw_state.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/output/plot/plot.h"
#include "runtime/screen/bitmap_cache.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/video_stack.h"

namespace {

constexpr int32_t error_code = 32000;
// A dynamic array larger than this is refused instead of exhausting the memory.
constexpr int32_t max_dynamic_elements = 16 * 1024 * 1024;

// The chart layout shared by the chart and the line list.
struct array_layout_t {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  float xv0 = 0.0f, yv0 = 0.0f, sx = 0.0f, sy = 0.0f;
  int32_t line_style = 0;  // the last style the line list chose
};
array_layout_t layout;

int32_t trunc_clamped(double v) {
  if (std::isnan(v)) return 0;
  v = std::trunc(v);
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

variable_record* numeric_variable(int32_t v) {
  if (v < 1 || v > variable_table.count || !variable_table.valid(v)) return nullptr;
  variable_record& var = variable_table.records[static_cast<size_t>(v)];
  return var.is_text() ? nullptr : &var;
}

// The word of element k (0-based from the lower bound) of the array variable v, or nullptr
// when v is no numeric variable or k lies outside its elements: such accesses are skipped.
uint32_t* element_word(int32_t v, int64_t k) {
  variable_record* var = numeric_variable(v);
  if (var == nullptr || k < 0) return nullptr;
  if (!var->array.allocated() && k >= std::max(var->dimension, 1)) return nullptr;
  return element_storage(*var, k);
}

int32_t element_count(int32_t v) {
  variable_record* var = numeric_variable(v);
  if (var == nullptr) return 0;
  if (var->array.allocated()) {
    const int32_t stride_words = std::max(var->array.stride / 4, 1);
    return static_cast<int32_t>(var->array.data.size() / static_cast<size_t>(stride_words));
  }
  return std::max(var->dimension, 1);
}

float real_at(int32_t v, int64_t k) {
  const uint32_t* w = element_word(v, k);
  return w != nullptr ? std::bit_cast<float>(*w) : 0.0f;
}

int32_t int_at(int32_t v, int64_t k) {
  const uint32_t* w = element_word(v, k);
  return w != nullptr ? std::bit_cast<int32_t>(*w) : 0;
}

// The array's elements as floats, contiguous, for the chart engine.
std::vector<float> contiguous_reals(int32_t v) {
  std::vector<float> out(static_cast<size_t>(element_count(v)));
  for (size_t k = 0; k < out.size(); ++k) out[k] = real_at(v, static_cast<int64_t>(k));
  return out;
}

qn_point to_pixels(float x, float y) {
  return {trunc_clamped(layout.x0 + (static_cast<double>(x) - layout.xv0) * layout.sx),
          trunc_clamped(layout.y0 - (static_cast<double>(y) - layout.yv0) * layout.sy)};
}

void open_chart_step(ups& u) {
  video_stack_push(0, 0, 0, 0);
  screen_nr(0, u, layout.x1, layout.y1, layout.x2, layout.y2);
}

// The chart rectangle goes into clipboard slot 0.  The screen saved when the step opened is
// dropped, not drawn back: a line whose ends lie on both sides of the rectangle is drawn
// whole, also where it leaves the rectangle.
void close_chart_step() {
  screen_stop_nr(0);
  clipboard_copy(0, layout.x1, layout.y1, layout.x2, layout.y2);
  video_stack_drop();
}

void chart() {
  if (param_registers[1] == -1234.0f) {
    int32_t handle = 0;
    bitmap_create_compatible(handle, 16, 16);
    trace_int("ARRAY/GRAPHICS -1234 bmphnd=", handle);
    bitmap_delete_object(handle);
    return;
  }
  agraf_set6(layout.x0, layout.y0, layout.x1, layout.y1, layout.x2, layout.y2);
  agraf_set4(layout.xv0, layout.yv0, layout.sx, layout.sy);
  const int32_t n = nint(param_registers[1]);
  const std::vector<float> codes = contiguous_reals(nint(param_registers[2]));
  const std::vector<float> values = contiguous_reals(nint(param_registers[3]));
  int32_t k = nint(param_registers[4]);
  if (k > 0) k += 2;
  ups u;
  open_chart_step(u);
  SELECT_MY_PEN(u, graphics.current_colour);
  agraf(u, n, codes, values, k);
  close_chart_step();
}

void copy_elements() {
  const int32_t n = nint(param_registers[1]);
  const int32_t from = nint(param_registers[2]), to = nint(param_registers[4]);
  const int64_t from_start = static_cast<int64_t>(nint(param_registers[3])) - 1;
  const int64_t to_start = static_cast<int64_t>(nint(param_registers[5])) - 1;
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t* source = element_word(from, from_start + i);
    uint32_t* target = element_word(to, to_start + i);
    if (source != nullptr && target != nullptr) *target = *source;
  }
}

void catch_line() {
  set_int_variable("fanglinie", 0);
  const float px = param_registers[1], py = param_registers[2];
  float best = param_registers[3];
  const int32_t n = nint(param_registers[4]);
  const int32_t ax1 = nint(param_registers[5]), ay1 = nint(param_registers[6]);
  const int32_t ax2 = nint(param_registers[7]), ay2 = nint(param_registers[8]);
  const bool lines = param_registers[8] > 0.0f;
  for (int32_t i = 0; i < n && best > 0.0f; ++i) {
    const float x1 = real_at(ax1, i), y1 = real_at(ay1, i);
    if (lines) {
      const float x2 = real_at(ax2, i), y2 = real_at(ay2, i);
      if (std::min(x1, x2) > px + best || std::max(x1, x2) < px - best || std::min(y1, y2) > py + best ||
          std::max(y1, y2) < py - best)
        continue;
      const float length = std::hypot(x2 - x1, y2 - y1);
      const float d = length == 0.0f ? 0.0f : std::fabs((y2 - y1) * (x1 - px) + (x1 - x2) * (y1 - py)) / length;
      if (d < best) {
        best = d;
        set_int_variable("lpunkt", std::hypot(x2 - px, y2 - py) < std::hypot(x1 - px, y1 - py) ? 2 : 1);
        set_int_variable("fanglinie", i + 1);
      }
    } else {
      if (x1 < 0.0f || x1 < px - best || y1 > py + best) continue;
      const float d = std::hypot(x1 - px, y1 - py);
      if (d < best) {
        best = d;
        set_int_variable("fanglinie", i + 1);
      }
    }
  }
}

void line_list() {
  ups u;
  open_chart_step(u);
  const bool numbers = get_int_variable("li_nr_on_off") != 0 && param_registers[8] <= 0.0f;
  SELECT_MY_PEN(u, graphics.current_colour);
  if (graphics.xor_mode) SET_ROP(u, 7);
  const int32_t n = nint(param_registers[1]);
  const int32_t ax1 = nint(param_registers[2]), ay1 = nint(param_registers[3]);
  const int32_t ax2 = nint(param_registers[4]), ay2 = nint(param_registers[5]);
  const int32_t pens = nint(param_registers[6]), styles = nint(param_registers[7]);
  // The style word is recorded for the pen selection; the library's numbered pens carry no
  // style of their own, so selecting the pen again is all that drawing sees of it.
  int32_t previous_style = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (param_registers[6] > 0.0f) {
      const int32_t pen = int_at(pens, i);
      if (pen != graphics.current_colour) {
        graphics.current_colour = pen;
        SELECT_MY_PEN(u, pen);
      }
    }
    if (param_registers[7] > 0.0f) {
      const int32_t s = int_at(styles, i);
      if (s != previous_style) {
        previous_style = s;
        layout.line_style = s > 5 ? 1 : std::max(s, 0);
        SELECT_MY_PEN(u, graphics.current_colour);
      }
    }
    const qn_point a = to_pixels(real_at(ax1, i), real_at(ay1, i));
    const qn_point b = to_pixels(real_at(ax2, i), real_at(ay2, i));
    if ((a.x < layout.x1 && b.x < layout.x1) || (a.x > layout.x2 && b.x > layout.x2) ||
        (a.y > layout.y2 && b.y > layout.y2) || (a.y < layout.y1 && b.y < layout.y1))
      continue;
    DRAW_LINE(u, {.end_px = b, .start_px = a});
    if (numbers) WRITE_TEXT(u, std::to_string(i), {.px = qn_point{(a.x + b.x) / 2, (a.y + b.y) / 2}});
  }
  close_chart_step();
}

bool fail(std::string_view text) {
  report_error(text, error_code);
  return false;
}

// Creates the array's block of `size` zero words, keeping `kept` leading words.
bool create_block(int32_t v, int32_t size, const std::vector<uint32_t>& kept) {
  if (size < 2) return fail("ARRC-NoArray");
  trace_int2("allo ARRAY nr,size", v, size);
  if (size > max_dynamic_elements) {
    call_state.command_error = 1;
    return fail("can't allocate dynARRAY");
  }
  std::vector<uint32_t> words;
  try {
    words.assign(static_cast<size_t>(size), 0u);
  } catch (const std::bad_alloc&) {
    call_state.command_error = 1;
    return fail("can't allocate dynARRAY");
  }
  std::copy_n(kept.begin(), std::min(kept.size(), words.size()), words.begin());
  set_run_time_array(v, std::move(words));
  return true;
}

// The operand may name an element past the array's end (that element number is the new
// size), so its evaluation lets one out-of-range access pass.  The tolerance ends with the
// operand, whether it was used or not (or the evaluation ended early): a later read past the
// end of any array must be reported, not answered with its element number.
struct operand_bounds_tolerance {
  operand_bounds_tolerance() { tolerate_array_bounds(); }
  ~operand_bounds_tolerance() { evaluator.bounds_report = true; }
  operand_bounds_tolerance(const operand_bounds_tolerance&) = delete;
  operand_bounds_tolerance& operator=(const operand_bounds_tolerance&) = delete;
};

void dynamic_array(const code_record& rec) {
  {
    const operand_bounds_tolerance tolerance;
    evaluate_upn(rec.expression, 1);
  }
  int32_t v = 0, e = 0;
  get_last_reference(v, e);
  trace_int2("ARRAY ar,y2", v, e);
  if (v < 1 || v > variable_table.count || !variable_table.valid(v)) {
    fail("ARR-NoVar");
    return;
  }
  variable_record& var = variable_table.records[static_cast<size_t>(v)];
  if (var.type != var_integer && var.type != var_real) {
    fail("ARR-NoNum");
    return;
  }
  if ((rec.flags & 4) != 0) {
    const int32_t size = e > 0 ? e + 1 : nint(param_registers[1]);
    std::vector<uint32_t> kept;
    if (var.array.allocated()) {
      if (size == var.dimension) return;
      const int32_t keep = std::clamp(std::min(var.dimension, size), 0, static_cast<int32_t>(var.array.data.size()));
      trace_int("allocate tmp_ARRAY", keep);
      kept.assign(var.array.data.begin(), var.array.data.begin() + keep);
      trace_int("deallocate dynARRAY", v);
      free_run_time_array(v);
      if (!create_block(v, size, kept)) return;
      trace_msg("deallo tmp_ARRAY");
    } else {
      if (var.dimension > 1) {
        fail("ARRC-IsArray");
        return;
      }
      if (!create_block(v, size, kept)) return;
    }
    trace_int2("END ARRAY:nr,size", v, var.dimension);
    return;
  }
  if ((rec.flags & 32) != 0) {
    if (var.dimension < 2) {
      fail("ARRD-NoArray");
      return;
    }
    if (!var.array.allocated()) {
      fail("ARRD-NoAllo");
      return;
    }
    trace_int2("destroy ARRAY nr,size", v, var.dimension);
    free_run_time_array(v);
    trace_int2("END ARRAY:nr,size", v, 1);
    return;
  }
  fail("ARR-No-Crea/Des");
}

}  // namespace

void cmd_ARRAY(code_record& rec) {
  const int32_t options = rec.flags;
  auto has = [options](int32_t bit) { return (options & bit) != 0; };
  if (has(2)) {
    evaluate_upn(rec.expression, 4);
    chart();
  } else if (has(4096)) {
    evaluate_upn(rec.expression, 5);
    copy_elements();
  } else if (has(32768)) {
    evaluate_upn(rec.expression, 8);
    catch_line();
  } else if (has(1024)) {
    evaluate_upn(rec.expression, 6);
    layout.x0 = trunc_clamped(param_registers[1]);
    layout.y0 = trunc_clamped(param_registers[2]);
    layout.x1 = trunc_clamped(param_registers[3]);
    layout.y1 = trunc_clamped(param_registers[4]);
    layout.x2 = trunc_clamped(param_registers[5]);
    layout.y2 = trunc_clamped(param_registers[6]);
  } else if (has(65536)) {
    evaluate_upn(rec.expression, 4);
    layout.xv0 = param_registers[1];
    layout.yv0 = param_registers[2];
    layout.sx = param_registers[3];
    layout.sy = param_registers[4];
  } else if (has(8)) {
    evaluate_upn(rec.expression, 8);
    line_list();
  } else {
    dynamic_array(rec);
  }
}

void array_command_reset() { layout = array_layout_t{}; }
