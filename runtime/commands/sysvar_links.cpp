// What SYSVAR reads from the area table, the level stack, the video stack and the list
// manager.
#include "runtime/program/areas.h"
#include "runtime/commands/events.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/eval_library.h"
#include "runtime/commands/sysvar_internal.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/video_stack.h"

sysvar_area_view sysvar_area(int32_t k) {
  // The number is not checked against the count: an entry above the count answers what it last
  // held.  Outside the table the answer is 0.
  if (k < 1 || k > max_areas) return {};
  const area_record& a = area(k);
  return {a.x1, a.y1, a.x2, a.y2, logical(a.selected)};
}

int32_t sysvar_focus_area() { return area_table.state.focus; }

int32_t sysvar_area_count() { return area_count(); }

int32_t sysvar_level_pointer() { return level_pointer(); }

int32_t sysvar_level_id(int32_t k) { return level_id(k); }

int32_t sysvar_video_depth() {
  int32_t depth = 0;
  video_stack_depth(depth);
  return depth;
}

int32_t sysvar_list_rows(int32_t list) {
  int32_t count = 0;
  lst_get_count(list, count);
  return count;
}
