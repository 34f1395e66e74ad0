// The level stack: one entry per open screen level.  A push saves the area table of the level
// below on the area stack and starts an empty table; a pop draws back the save-under boxes the
// level left open, closes the windows bound to its areas and restores the table below.  The
// SUBMEN command pushes, pops and parks a run at a wait point.
#include <algorithm>
#include <array>
#include <string>

#include "quillon/api/quillon.h"
#include "runtime/program/areas.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/events.h"
#include "runtime/commands/interpreter.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/video_stack.h"

namespace {

constexpr size_t level_slots = 24;  // levels 0..23: room beyond the limit of 20

struct level_stack_t {
  int32_t pointer = 1;
  std::array<int32_t, level_slots> release_count{};
  std::array<int32_t, level_slots> resume{};
  std::array<int32_t, level_slots> id{};
};
level_stack_t levels;

size_t slot(int32_t level) {
  return level >= 0 && level < static_cast<int32_t>(level_slots) ? static_cast<size_t>(level) : 0;
}

// The areas of the level leave the table (a push or a pop): the words outside the state block
// that name one of them let go, so that no key, click or open field reaches the area with the
// same number on the other level.  An open input field on such an area, and an open list cell,
// end with nothing stored: the cell's list belongs to the level that was left, and storing it
// later would draw that list over the level shown.  A click lost while a label ran pointed at
// the screen that was left: the keys go to the new level.
void level_areas_left() {
  area_table.current = 0;
  area_table.status_area = -1;
  mouse_track.pressed_area = -1;
  mouse_track.click_lost = false;
  lst_cell_close();
  field_input_area_deleted(0);
}

}  // namespace

// The run starts at level 1 anew (a program's start, a RUN chain): a cell or field left open
// by the program before is closed with nothing stored, its variable being that program's, and a
// click lost on that program's screen is forgotten.
void reset_level_stack() {
  levels = level_stack_t{};
  mouse_track.click_lost = false;
  lst_cell_close();
  field_input_area_deleted(0);
}

int32_t level_pointer() { return levels.pointer; }

int32_t level_id(int32_t k) { return k >= 1 && k <= max_levels ? levels.id[slot(k)] : 0; }

void level_release_add(int32_t delta) {
  int32_t& count = levels.release_count[slot(levels.pointer)];
  count = std::max(count + delta, 0);
}

int32_t level_release_count() { return levels.release_count[slot(levels.pointer)]; }

void set_level_resume(int32_t code_index) { levels.resume[slot(levels.pointer)] = code_index; }

void push_level(int32_t opened_by) {
  if (levels.pointer >= max_levels) {
    report_error("level-stack overflow", levels.pointer);
    // Answered with OK while debugging: the stack stays at its limit and the level on top is
    // reused, so the tables never pass 20 levels.
    return;
  }
  area_state_block& st = area_table.state;
  st.saved_count = area_table.count;
  if (st.focus > 0) screen_link::paint_button(1, st.focus);
  if (levels.pointer > 0) area_push();
  level_areas_left();
  ++levels.pointer;
  const size_t l = slot(levels.pointer);
  levels.release_count[l] = 0;
  levels.resume[l] = 0;
  levels.id[l] = opened_by;
  st.escape_label = 0;
  area_table.count = 0;
  st.focus = 0;
  st.escape_enabled = logical_true;
}

int32_t pop_level() {
  int32_t& release = levels.release_count[slot(levels.pointer)];
  for (int32_t i = 0; i < release; ++i) {
    int32_t depth = 0;
    video_stack_depth(depth);
    if (depth <= 0) break;  // the stack was emptied elsewhere: nothing left to draw back
    video_stack_pop();
  }
  release = 0;
  const int32_t out = levels.resume[slot(levels.pointer)];
  levels.resume[slot(levels.pointer)] = 0;
  --levels.pointer;
  if (levels.pointer <= 0) {
    levels.pointer = 1;  // before the report: a program end leaves a sound stack behind
    report_error("level-stack underflow", 0);
  }
  for (int32_t i = 1; i <= area_table.count && i <= max_areas; ++i) {
    area_record& a = area(i);
    if (a.window != 0) {
      const int32_t window = a.window;
      a.window = 0;
      if (is_valid_window(window)) CLOSE_WINDOW(window, nullptr);
    }
  }
  area_pop();
  level_areas_left();
  area_table.count = std::clamp(area_table.state.saved_count, 0, max_areas);
  lst_sliders_restored();
  if (area_table.state.focus > 0) screen_link::paint_button(8, area_table.state.focus);
  return out;
}

void cmd_SUBMEN(code_record& rec) {
  const int32_t options = rec.flags;
  if (options & 1) {
    // Resume at the record after the next one; the run ends with the depth kept, so that the
    // RETURN of a later click's label comes back to the record right after this one.
    set_level_resume(call_state.pc + 1);
    call_state.end_run = true;
  } else if (options & 2) {
    evaluate_upn(rec.expression, 1);
    int32_t n = nint(param_registers[1]);
    if (n > 0) {
      for (int32_t i = 0; i < max_levels && levels.pointer > n; ++i) pop_level();
    } else {
      if (n == 0) n = -1;
      for (int32_t i = 0; i < -static_cast<int64_t>(n) && i < max_levels; ++i) {
        if (levels.pointer <= 1) break;
        pop_level();
      }
    }
  } else if (options & 4) {
    push_level(call_state.pc - 1);
  } else {
    call_state.command_error = 1;
  }
}
