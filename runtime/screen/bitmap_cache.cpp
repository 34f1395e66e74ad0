// The bitmap cache.  Slots are never removed: a bitmap given back stays in its slot for the
// next request of the same size, and only a full table replaces a free slot's bitmap.
#include "runtime/screen/bitmap_cache.h"

#include <array>

#include "runtime/program/program.h"

namespace {
struct bitmap_cache_t {
  std::array<bitmap_slot, bitmap_cache_slots + 1> slot{};  // [1..1000]; [0] unused
  int32_t count = 0;  // slots created so far
  int32_t last = 0;   // slot touched last
};
bitmap_cache_t cache;

// Puts a new bitmap of width x height into slot n.  When the library cannot create it the
// slot is left empty and free (size 0 x 0), so that it is never lent out with no bitmap.
int32_t fill_slot(int32_t n, int32_t width, int32_t height) {
  const int32_t handle = CREATE_BITMAP(width, height);
  bitmap_slot& s = cache.slot[n];
  cache.last = n;
  if (handle == 0) {
    s = {};
    return 0;
  }
  s = {.handle = handle, .lent = handle, .width = width, .height = height, .uses = 1};
  trace_int3("BITMAP NEW", n, width, height);
  return handle;
}

bool same_size(int32_t bitmap, int32_t width, int32_t height) {
  const qn_point size = qn_bitmap_size(bitmap);
  return size.x == width && size.y == height;
}

// Copies the whole of source to (x, y) of destination at natural size; the destination clips.
void blit(int32_t source, int32_t destination, int32_t x, int32_t y) {
  int status = 0;
  ups u;
  START_BITMAP_DRAW(destination, u, &status);
  if (status != 0) return;
  DRAW_BITMAP(u, source, {.px = qn_rect{x, y, x, y}, .mode = 3, .status = &status});
  END_BITMAP_DRAW(u, &status);
}
}  // namespace

void bitmap_get(int32_t& handle, int32_t width, int32_t height) {
  int32_t candidate = 0;  // free slot with the highest use count, lowest number on ties
  for (int32_t n = 1; n <= cache.count; ++n) {
    bitmap_slot& s = cache.slot[n];
    if (s.lent != 0) continue;
    if (candidate == 0 || s.uses > cache.slot[candidate].uses) candidate = n;
    if (s.handle != 0 && s.width == width && s.height == height) {
      ++s.uses;
      s.lent = s.handle;
      cache.last = n;
      handle = s.handle;
      return;
    }
  }
  if (cache.count < bitmap_cache_slots) {
    const int32_t n = cache.count + 1;
    handle = fill_slot(n, width, height);
    if (handle != 0) cache.count = n;  // a failed creation does not use up a slot
    return;
  }
  if (candidate == 0) {
    handle = 0;
    report_error("NO BITMAPS!", 32000);
    return;
  }
  bitmap_slot& s = cache.slot[candidate];
  DELETE_OBJECT(s.handle);
  trace_int3("BITMAP DELETE", candidate, cache.count, s.uses);
  handle = fill_slot(candidate, width, height);
}

void bitmap_release(int32_t handle) {
  if (handle == 0) return;
  for (int32_t n = 1; n <= cache.count; ++n) {
    if (cache.slot[n].lent != handle) continue;
    cache.slot[n].lent = 0;
    cache.last = n;
    return;
  }
}

void bitmap_copy(int32_t source, int32_t destination, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (source == 0 || destination == 0 || width <= 0 || height <= 0) return;
  if (same_size(destination, width, height)) {
    blit(source, destination, -x, -y);
    return;
  }
  // Only width x height pixels of the destination may change: go through a bitmap of that size.
  int status = 0;
  const int32_t work = CREATE_BITMAP(width, height, &status);
  if (work == 0) return;
  blit(source, work, -x, -y);
  blit(work, destination, 0, 0);
  DELETE_OBJECT(work, &status);
}

void bitmap_copy_to(int32_t source, int32_t destination, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (source == 0 || destination == 0 || width <= 0 || height <= 0) return;
  if (same_size(source, width, height)) {
    blit(source, destination, x, y);
    return;
  }
  int status = 0;
  const int32_t work = CREATE_BITMAP(width, height, &status);
  if (work == 0) return;
  blit(source, work, 0, 0);
  blit(work, destination, x, y);
  DELETE_OBJECT(work, &status);
}

void bitmap_create_compatible(int32_t& handle, int32_t width, int32_t height) {
  // The bitmap follows the main window's display; its drawing context is only traced.
  int status = 0;
  ups u;
  START_DIRECT_DRAW(main_window(), u, &status);
  trace_int("UPS%HDC=", status == 0 ? u.context : 0);
  if (status == 0) END_DIRECT_DRAW(u, &status);
  handle = CREATE_BITMAP(width, height);
}

void bitmap_memory_dc(ups& context) { START_DUMMY_USERPAINT(context); }

void bitmap_delete_object(int32_t handle) {
  if (handle != 0) DELETE_OBJECT(handle);
}

int32_t bitmap_cache_count() { return cache.count; }
int32_t bitmap_cache_last() { return cache.last; }
bitmap_slot bitmap_cache_slot(int32_t n) {
  return n >= 1 && n <= cache.count ? cache.slot[n] : bitmap_slot{};
}

void bitmap_cache_reset() {
  int status = 0;
  for (int32_t n = 1; n <= cache.count; ++n)
    if (cache.slot[n].handle != 0) DELETE_OBJECT(cache.slot[n].handle, &status);
  cache = {};
}
