// What SYSVAR reads from the area table, the level stack, the video stack and the list
// manager.  Where one of these is not part of the runtime yet, its word reads as it stands
// after a reset: no areas, level 1, level ids 0, an empty video stack.
#include "runtime/core/eval_library.h"
#include "runtime/core/sysvar_internal.h"
#include "runtime/screen/lists.h"

sysvar_area_view sysvar_area(int32_t k) {
  (void)k;
  return {};
}

int32_t sysvar_focus_area() { return 0; }

int32_t sysvar_area_count() { return area_count(); }

int32_t sysvar_level_pointer() { return level_pointer(); }

int32_t sysvar_level_id(int32_t k) {
  (void)k;
  return 0;
}

int32_t sysvar_video_depth() { return 0; }

int32_t sysvar_list_rows(int32_t list) {
  int32_t count = 0;
  lst_get_count(list, count);
  return count;
}
