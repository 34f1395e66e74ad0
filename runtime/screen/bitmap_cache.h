// The bitmap cache: memory bitmaps lent out by exact size and kept for the next request, so
// that saving and restoring the same screen rectangles again and again creates no new bitmaps;
// beside it the copy routines that move pixels between bitmaps.
#pragma once

#include <cstdint>

#include "quillon/api/quillon.h"

inline constexpr int32_t bitmap_cache_slots = 1000;

// One cached bitmap.  `lent` equals `handle` while the bitmap is lent out, 0 while it is free.
struct bitmap_slot {
  int32_t handle = 0;
  int32_t lent = 0;
  int32_t width = 0, height = 0;
  int32_t uses = 0;  // 1 when created, + 1 each time it is lent out again
};

// Lends a bitmap of width x height: a free one of exactly that size, else a new one, else (with
// every slot created) the free one used most often, replaced by a new one.  All slots lent out:
// "NO BITMAPS!" (32000).  handle is 0 when the library could not create the bitmap.
void bitmap_get(int32_t& handle, int32_t width, int32_t height);
// Gives a lent bitmap back; a handle the cache has not lent out changes nothing.
void bitmap_release(int32_t handle);
// Copies the rectangle (x, y, width, height) of source to (0, 0) of destination.
void bitmap_copy(int32_t source, int32_t destination, int32_t x, int32_t y, int32_t width, int32_t height);
// Copies width x height pixels from (0, 0) of source to (x, y) of destination.
void bitmap_copy_to(int32_t source, int32_t destination, int32_t x, int32_t y, int32_t width, int32_t height);
// A bitmap made outside the cache (the graphics self-test); delete it with bitmap_delete_object.
void bitmap_create_compatible(int32_t& handle, int32_t width, int32_t height);
// A memory drawing context that stands apart from every window (closed with END_DUMMY_USERPAINT).
void bitmap_memory_dc(ups& context);
// Deletes the drawing object unless the handle is 0.
void bitmap_delete_object(int32_t handle);

// What the cache holds (for the diagnostics and the tests); slots are numbered from 1.
int32_t bitmap_cache_count();
int32_t bitmap_cache_last();  // the slot touched last
bitmap_slot bitmap_cache_slot(int32_t n);
// Forgets every slot and deletes its bitmap; for tests.
void bitmap_cache_reset();
