// Storage of the program image and its reset.
#include <algorithm>
#include <utility>

#include "runtime/program/program_image.h"

#include "runtime/program/expression/code_steps.h"
#include "runtime/program/text_tokens.h"
#include "runtime/program/expression/upn_plan.h"
#include "runtime/program/upn_store.h"

program_image_t program_image;
load_state_t load_state;
std::array<char, 256> help_page = [] {
  std::array<char, 256> page{};
  page.fill(' ');
  return page;
}();

code_record empty_code_record() {
  code_record rec;
  rec.text.fill(' ');
  rec.text[0] = '*';
  return rec;
}

std::string_view variable_name(const variable_record& var) {
  std::string_view name(var.name.data(), var.name.size());
  const size_t end = name.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view{} : name.substr(0, end + 1);
}

const uint32_t* element_storage(const variable_record& var, int64_t k) {
  if (var.array.allocated()) {
    const int64_t offset = (k - var.array.lower_bound) * var.array.stride;
    if (offset < 0 || offset % 4 != 0 || offset / 4 >= static_cast<int64_t>(var.array.data.size())) return nullptr;
    return &var.array.data[static_cast<size_t>(offset / 4)];
  }
  const int64_t index = int64_t{var.start} + k;
  return index >= 1 && index <= ADRSPACE.word_count() ? &ADRSPACE.words[static_cast<size_t>(index)] : nullptr;
}

uint32_t* element_storage(variable_record& var, int64_t k) {
  return const_cast<uint32_t*>(element_storage(std::as_const(var), k));
}

void define_variable(int32_t v, const variable_record& record) {
  if (!variable_table.valid(v)) return;
  ++upn_plans.generation;
  variable_table.records[static_cast<size_t>(v)] = record;
}

void set_run_time_array(int32_t v, std::vector<uint32_t> words) {
  if (!variable_table.valid(v)) return;
  ++upn_plans.generation;
  variable_record& var = variable_table.records[static_cast<size_t>(v)];
  const auto size = static_cast<int32_t>(words.size());
  var.array = dynamic_array_t{};
  var.array.data = std::move(words);
  var.array.element_length = 4;
  var.array.extent = size;
  var.array.stride = 4;
  var.array.lower_bound = 0;
  var.array.rank = 1;
  var.array.flags = 1;
  var.dimension = size;
}

void free_run_time_array(int32_t v) {
  if (!variable_table.valid(v)) return;
  ++upn_plans.generation;
  variable_record& var = variable_table.records[static_cast<size_t>(v)];
  var.array = dynamic_array_t{};
  var.dimension = 1;
}

void reset_program_image() {
  std::vector<code_record>().swap(program_image.codes);
  program_image.code_count = 0;
  find_code_steps();
  reset_upn_store();
  reset_text_tokens();
  // Nothing of a previous program stays readable in the string space either, nor a mark of a
  // cut text its variables held.
  STRING_BUFFER.blank();
  load_state = load_state_t{};
  load_state.name.fill(' ');
}

