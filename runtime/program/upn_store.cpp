// Storage of the compiled expressions, the variable table and the numeric space, sized from the
// [INIT] section of the program file and released when the program is replaced.
#include "runtime/program/upn_store.h"

#include <algorithm>
#include <new>
#include <string>

#include "runtime/program/program.h"
#include "runtime/program/program_image.h"
#include "runtime/program/expression/upn_plan.h"

upn_code_t upn_code;
variable_table_t variable_table;
adrspace_t ADRSPACE;

namespace {

// Counts above this are refused as if the memory could not be had: a broken or hostile size
// would otherwise ask for gigabytes before the first record is read.
constexpr int32_t max_store_entries = 1 << 22;

// Sizes a vector to count + 1 entries (index 0 unused or, for the table, entry 0).
// Returns false when the memory cannot be had; the vector is then empty.
template <class T>
bool allocate(std::vector<T>& store, int32_t count) {
  store.clear();
  store.shrink_to_fit();
  if (count > max_store_entries) return false;
  try {
    store.resize(static_cast<size_t>(count) + 1);
  } catch (const std::bad_alloc&) {
    store.clear();
    return false;
  }
  return true;
}

template <class T>
void release(std::vector<T>& store) {
  std::vector<T>().swap(store);
}

}  // namespace

void alloc_upn_index(int32_t n) {
  upn_code.max_upns = std::max(n, 1);
  clear_upn_plans();
  release(upn_code.last);
  if (!allocate(upn_code.first, upn_code.max_upns) || !allocate(upn_code.last, upn_code.max_upns)) {
    release(upn_code.first);
    release(upn_code.last);
    upn_code.max_upns = 0;
    report_error("UPN-Speicherplatz upns", std::max(n, 1));
  }
}

void alloc_upn_codes(int32_t n) {
  upn_code.max_upn_codes = std::max(n, 1);
  upn_code.expression_count = 0;
  upn_code.last_code = 0;
  clear_upn_plans();
  release(upn_code.operand);
  if (!allocate(upn_code.code, upn_code.max_upn_codes) ||
      !allocate(upn_code.operand, upn_code.max_upn_codes)) {
    release(upn_code.code);
    release(upn_code.operand);
    upn_code.max_upn_codes = 0;
    report_error("UPN-Speicherplatz code", std::max(n, 1));
  }
}

void free_variable_space() {
  ++upn_plans.generation;
  // Array blocks created at run time belong to their records and go with the table.
  for (size_t v = 0; v < variable_table.records.size(); ++v) {
    dynamic_array_t& array = variable_table.records[v].array;
    if (array.allocated()) {
      trace_int("deall.associ.", static_cast<int32_t>(v));
      release(array.data);
      array.flags &= ~1;
    }
  }
  release(variable_table.records);
  variable_table.count = 0;
}

void alloc_variable_space(int32_t n) {
  free_variable_space();
  variable_table.count = std::max(n, 1);
  if (!allocate(variable_table.records, variable_table.count)) {
    variable_table.count = 0;
    report_error("VAR-Speicherplatz upns", std::max(n, 1));
  }
}

void alloc_array_space(int32_t n) {
  ++upn_plans.generation;
  release(ADRSPACE.words);
  ADRSPACE.size = n;
  if (n <= 0) return;  // an empty numeric space: no words at all
  if (!allocate(ADRSPACE.words, n)) report_error("ARR-Speicherplatz ", n);
}

void free_upn_storage() {
  clear_upn_plans();
  release(upn_code.last);
  release(upn_code.first);
  release(upn_code.code);
  release(upn_code.operand);
  upn_code.max_upns = 0;
  upn_code.max_upn_codes = 0;
  upn_code.expression_count = 0;
  upn_code.last_code = 0;
  release(ADRSPACE.words);
  ADRSPACE.size = 0;
}

void reset_upn_store() {
  free_upn_storage();
  free_variable_space();
}
