// The row store of the list manager: 20 numbered record stores (handles 1..20), each a growable
// array of fixed-length character records (code page 1252).  List n (1..6) keeps its rows under
// handle n + 10.  Records are numbered from 1.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int32_t xmm_handle_count = 20;
inline constexpr int32_t xmm_growth_step = 20;  // records added by one growth of a store
inline constexpr int64_t xmm_max_bytes = int64_t{1} << 30;  // the largest store: 1 GiB

// Allocates handle h with `records` records of `length` characters.  status: 0 success, 1 bad
// handle, 2 handle already in use (reported, old array kept), 4 empty size, or the allocator's
// failure code (12 also for a store above xmm_max_bytes).
void xmm_allocate(int32_t h, int32_t length, int32_t records, int32_t& status);
// Frees handle h; h outside 1..20 does nothing.
void xmm_deallocate(int32_t h);
// Copies record r (its whole length) into text, which holds at least the record length.
// A record number outside the store gives blanks.
void xmm_get(int32_t h, char* text, int32_t r);
// Stores the first `length` characters of text as record r, growing the store in steps of 20
// records while r lies beyond its capacity.  False when nothing was stored.
bool xmm_put(int32_t h, const char* text, int32_t r);
// Record length and capacity of h; both 0 for a handle outside 1..20 or a free one.
void xmm_info(int32_t h, int32_t& length, int32_t& records);
// Sorts the first min(n, records) records ascending by unsigned byte value (not stable).
// places, when given, gets for each record r (index r - 1) the record number it now has.
void xmm_sort(int32_t h, int32_t n, std::vector<int32_t>* places = nullptr);
// Frees every handle.
void xmm_stop();
// Every handle free; for tests.
void reset_row_store();
