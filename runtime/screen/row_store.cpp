// The list manager's row store: one record_store per handle, kept as a byte vector of
// records x length characters.  Growth keeps the old array until the new one exists, so a
// failed growth leaves the store usable with its old records.
#include "runtime/screen/row_store.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "runtime/core/core.h"

namespace {

struct record_store {
  int32_t allocated = 0;
  int32_t records = 0;
  int32_t length = 0;
  std::vector<char> array;
};

struct row_store_state {
  record_store store[xmm_handle_count + 1];  // [1..20]
  std::string error_text;                    // the message before it is reported (40 characters)
};
row_store_state xmm;

void report_xmm(std::string_view text, int32_t code) {
  xmm.error_text.assign(40, ' ');
  xmm.error_text.replace(0, std::min<size_t>(text.size(), 40), text.substr(0, 40));
  report_error(xmm.error_text, code);
}

// The store of h for get, put and sort, or nullptr after reporting why there is none.
record_store* usable_store(int32_t h) {
  if (h < 1 || h > xmm_handle_count) {
    report_xmm("EMU-Nr. <1 >10", 0);
    return nullptr;
  }
  record_store& s = xmm.store[h];
  if (s.allocated == 0) {
    report_xmm("xmm handle=0", 0);
    return nullptr;
  }
  return &s;
}

char* record_at(record_store& s, int32_t r) {
  return s.array.data() + static_cast<size_t>(r - 1) * static_cast<size_t>(s.length);
}

// Grows the store by steps of 20 records until record r fits.  The old array stays in place
// until the larger one has been obtained.
bool grow_store(int32_t h, record_store& s, int32_t r) {
  trace_int3("-------- xmm resize ", h, s.records, s.length);
  int64_t records = s.records;
  while (records < r) records += xmm_growth_step;
  std::vector<char> larger;
  try {
    larger.assign(static_cast<size_t>(records) * static_cast<size_t>(s.length), ' ');
  } catch (const std::bad_alloc&) {
    report_xmm("xmm-expand", 0);
    return false;
  }
  std::copy(s.array.begin(), s.array.end(), larger.begin());
  s.array.swap(larger);
  s.records = static_cast<int32_t>(records);
  return true;
}

}  // namespace

void xmm_allocate(int32_t h, int32_t length, int32_t records, int32_t& status) {
  if (h < 1 || h > xmm_handle_count) {
    status = 1;
    return;
  }
  record_store& s = xmm.store[h];
  if (s.allocated != 0) {
    status = 2;
    report_xmm("xmm-allo-x2", 0);
    return;
  }
  status = 4;
  const int64_t bytes = static_cast<int64_t>(length) * static_cast<int64_t>(records);
  const int64_t kb = (bytes + 1023) / 1024;
  if (kb <= 0 || length < 1 || records < 1) return;
  try {
    s.array.assign(static_cast<size_t>(bytes), ' ');
    status = 0;
  } catch (const std::bad_alloc&) {
    status = 12;  // ENOMEM
  } catch (const std::length_error&) {
    status = 12;
  }
  trace_int3("xmm allocated", h, static_cast<int32_t>(std::min<int64_t>(kb, INT32_MAX)), status);
  if (status == 0) {
    s.allocated = 1;
    s.records = records;
    s.length = length;
  }
}

void xmm_deallocate(int32_t h) {
  if (h < 1 || h > xmm_handle_count) return;
  record_store& s = xmm.store[h];
  if (!s.array.empty() || s.allocated != 0) {
    std::vector<char>().swap(s.array);
    trace_int2("xmm deallocated", h, 0);
  }
  s = record_store{};
}

void xmm_get(int32_t h, char* text, int32_t r) {
  record_store* s = usable_store(h);
  if (s == nullptr || s->length < 1) return;
  if (r < 1 || r > s->records) {
    std::memset(text, ' ', static_cast<size_t>(s->length));
    return;
  }
  std::memcpy(text, record_at(*s, r), static_cast<size_t>(s->length));
}

bool xmm_put(int32_t h, const char* text, int32_t r) {
  record_store* s = usable_store(h);
  if (s == nullptr || s->length < 1 || r < 1) return false;
  if (r > s->records && !grow_store(h, *s, r)) return false;
  std::memcpy(record_at(*s, r), text, static_cast<size_t>(s->length));
  return true;
}

void xmm_info(int32_t h, int32_t& length, int32_t& records) {
  length = 0;
  records = 0;
  if (h < 1 || h > xmm_handle_count || xmm.store[h].allocated == 0) return;
  length = xmm.store[h].length;
  records = xmm.store[h].records;
}

void xmm_sort(int32_t h, int32_t n) {
  record_store* s = usable_store(h);
  if (s == nullptr) return;
  const int32_t m = std::min(n, s->records);
  if (m < 2) return;
  const size_t len = static_cast<size_t>(s->length);
  // Selection sort: the exchange may carry a record past its equals, as the program's lists
  // have always been sorted.
  for (int32_t k = 1; k < m; ++k) {
    int32_t best = k;
    for (int32_t j = k + 1; j <= m; ++j)
      if (std::memcmp(record_at(*s, j), record_at(*s, best), len) < 0) best = j;
    if (best != k) std::swap_ranges(record_at(*s, k), record_at(*s, k) + len, record_at(*s, best));
  }
}

void xmm_stop() {
  for (int32_t h = 1; h <= xmm_handle_count; ++h) {
    if (xmm.store[h].allocated != 0) trace_int("xmm STOPPING deallocate ", h);
    xmm.store[h] = record_store{};
  }
}

void reset_row_store() { xmm = row_store_state{}; }
