// The list manager's row store: one record_store per handle, kept as a byte vector of
// records x length characters.  Growth keeps the old array until the new one exists, so a
// failed growth leaves the store usable with its old records.
#include "runtime/screen/row_store.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "runtime/program/program.h"

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

// Grows the store by steps of 20 records until record r fits.  The count of records grows by
// those steps, as callers see it, but the array behind it grows geometrically, so that filling
// a list row by row costs linear time.  A failed growth keeps the old array and its records.
bool grow_store(int32_t h, record_store& s, int32_t r) {
  int64_t records = s.records;
  while (records < r) records += xmm_growth_step;
  const int64_t bytes = records * s.length;
  if (bytes > xmm_max_bytes) {
    report_xmm("xmm-expand", 0);
    return false;
  }
  try {
    if (static_cast<size_t>(bytes) > s.array.capacity()) {
      trace_int3("-------- xmm resize ", h, s.records, s.length);
      s.array.reserve(std::min<size_t>(std::max<size_t>(static_cast<size_t>(bytes), 2 * s.array.capacity()),
                                       static_cast<size_t>(xmm_max_bytes)));
    }
    s.array.resize(static_cast<size_t>(bytes), ' ');
  } catch (const std::bad_alloc&) {
    report_xmm("xmm-expand", 0);
    return false;
  }
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
  if (bytes > xmm_max_bytes) {
    status = 12;  // ENOMEM: more than a list can hold, whatever a file's header claims
    trace_int3("xmm allocated", h, static_cast<int32_t>(std::min<int64_t>(kb, INT32_MAX)), status);
    return;
  }
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

void xmm_sort(int32_t h, int32_t n, std::vector<int32_t>* places) {
  record_store* s = usable_store(h);
  if (s == nullptr) return;
  const int32_t m = std::min(n, s->records);
  if (m < 2) return;
  const size_t len = static_cast<size_t>(s->length);
  // Records that compare equal are byte for byte the same, so any N log N sort gives the one
  // possible order.  The records are sorted by their first eight bytes as one number (most
  // comparisons end there, without a look at the record itself), then by the rest; then the
  // records are laid out in that order.
  struct sort_key {
    uint64_t prefix;
    int32_t record;
  };
  const size_t head = std::min<size_t>(len, 8);
  std::vector<sort_key> order(static_cast<size_t>(m));
  for (int32_t k = 0; k < m; ++k) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(record_at(*s, k + 1));
    uint64_t prefix = 0;
    for (size_t i = 0; i < 8; ++i) prefix = (prefix << 8) | (i < head ? bytes[i] : 0u);
    order[static_cast<size_t>(k)] = {prefix, k + 1};
  }
  std::sort(order.begin(), order.end(), [&](const sort_key& a, const sort_key& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    return len > head && std::memcmp(record_at(*s, a.record) + head, record_at(*s, b.record) + head, len - head) < 0;
  });
  std::vector<char> sorted(static_cast<size_t>(m) * len);
  char* out = sorted.data();
  for (const sort_key& k : order) out = std::copy_n(record_at(*s, k.record), len, out);
  std::copy(sorted.begin(), sorted.end(), s->array.begin());
  if (places != nullptr) {
    places->assign(static_cast<size_t>(m), 0);
    for (size_t k = 0; k < order.size(); ++k) (*places)[static_cast<size_t>(order[k].record - 1)] = static_cast<int32_t>(k + 1);
  }
}

void xmm_stop() {
  for (int32_t h = 1; h <= xmm_handle_count; ++h) {
    if (xmm.store[h].allocated != 0) trace_int("xmm STOPPING deallocate ", h);
    xmm.store[h] = record_store{};
  }
}

void reset_row_store() { xmm = row_store_state{}; }
