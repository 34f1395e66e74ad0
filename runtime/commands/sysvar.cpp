// SYSVAR (evaluator code 79): the program's door to the system.  The lower stack slot names the
// service, the top slot is its argument; the answer, a number or a text, takes the name's place.
// This file reads the operands, picks the service and writes the answer; the services live in
// the sysvar_*.cpp families.  Here also: the services that read the program's own state.
#include <algorithm>
#include <cstring>
#include <string>

#include "runtime/commands/events.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/areas.h"
#include "runtime/screen/video_stack.h"
#include "runtime/program/eval_library.h"
#include "runtime/program/eval_library_internal.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/commands/sysvar_internal.h"
#include "runtime/program/names.h"

namespace {

// A label in program values is its code index plus this offset.
constexpr int32_t label_offset = 214365;

// The one-character text a number stands for: the code of its nearest integer's absolute
// value, modulo 255.
std::string number_as_character(float v) {
  value_slot s;
  s.set_number(v);
  number_to_text(s);
  return std::string(1, s.text[0]);
}

// Kind of the variable the last variable operand pushed: 1 integer, 2 real, 3 text, 4 pointer.
int32_t variable_kind(int32_t v) {
  if (!variable_table.valid(v)) return 0;
  switch (variable_table.records[static_cast<size_t>(v)].type) {
    case var_integer: return 1;
    case var_real: return 2;
    case var_text:
    case var_date: return 3;  // a date text is pushed as a text
    case var_pointer: return 4;
    default: return 0;
  }
}

// The text's extent in the default font of a scratch context compatible with the screen.
qn_point text_extent(const std::string& text) {
  ups u;
  START_DUMMY_USERPAINT(u);
  const qn_point size = GET_TEXT_EXTENT(u, text);
  END_DUMMY_USERPAINT(u);
  return size;
}

}  // namespace

// ---------------------------------------------------------------- argument and result
int32_t sysvar_arg::whole() const { return nint(value); }

std::string sysvar_arg::trimmed() const { return trim_blanks(text); }

std::optional<std::string> sysvar_arg::name() const { return whole_name({text, cut}); }

sysvar_result sysvar_result::of_trimmed_or_blank(std::string_view t) {
  std::string s = trim_blanks(t);
  if (s.empty()) return of_text(" ", 1);
  const auto n = static_cast<int32_t>(s.size());
  return of_text(std::move(s), n);
}

std::string trim_blanks(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && text[n - 1] == ' ') --n;
  return std::string(text.substr(0, n));
}

// ---------------------------------------------------------------- program state
bool sysvar_program_state(std::string_view name, const sysvar_arg& arg, sysvar_result& out) {
  const auto area_edge = [&](int32_t which) {
    const sysvar_area_view a = sysvar_area(arg.whole());
    const int32_t edges[4] = {a.x1, a.y1, a.x2, a.y2};
    return sysvar_result::of(static_cast<float>(edges[which]));
  };
  if (name == "btnx1") out = area_edge(0);
  else if (name == "btny1") out = area_edge(1);
  else if (name == "btnx2") out = area_edge(2);
  else if (name == "btny2") out = area_edge(3);
  else if (name == "pressed") out = sysvar_result::of(sysvar_area(arg.whole()).selected ? 1.0f : 0.0f);
  else if (name == "seed") {
    // The second seed word is fixed, so a seed always gives the same series.
    seed_random(static_cast<uint32_t>(arg.whole()), 0u);
    out = sysvar_result::of(random_next());
  } else if (name == "lastbtn") out = sysvar_result::of(static_cast<float>(sysvar_focus_area()));
  else if (name == "xres") out = sysvar_result::of(static_cast<float>(screen_metrics.width));
  else if (name == "yres")
    out = sysvar_result::of(static_cast<float>(screen_metrics.client_height()));
  else if (name == "level") out = sysvar_result::of(static_cast<float>(sysvar_level_pointer()));
  else if (name == "wlevel") out = sysvar_result::of(static_cast<float>(sysvar_video_depth()));
  else if (name == "ladress") {
    const int32_t k = arg.whole();
    int64_t label = 0;
    if (k < 0) label = static_cast<int64_t>(call_state.pc) + label_offset + 1;
    else if (k >= 1 && k <= 20) label = static_cast<int64_t>(sysvar_level_id(k)) + label_offset;
    out = sysvar_result::of(static_cast<float>(label));
  } else if (name == "btncnt") out = sysvar_result::of(static_cast<float>(sysvar_area_count()));
  else if (name == "type" || name == "dim") {
    // The variable of the last variable operand: normally the argument itself.
    const int32_t v = evaluator.last_reference;
    if (name == "type") {
      out = sysvar_result::of(static_cast<float>(v > 0 ? variable_kind(v) : 0));
    } else {
      // An element reached through a pointer counts the elements from the pointed-to one on.
      const int32_t dim = v > 0 && variable_table.valid(v)
                              ? variable_table.records[static_cast<size_t>(v)].dimension - evaluator.pointer_offset
                              : 0;
      out = sysvar_result::of(static_cast<float>(dim));
    }
  } else if (name == "get_system_metrics") {
    out = sysvar_result::of(static_cast<float>(get_system_metrics(trunc_to_int(arg.value))));
  } else if (name == "lstcnt") {
    const int32_t k = std::clamp(arg.whole(), 1, 4);
    out = sysvar_result::of(static_cast<float>(sysvar_list_rows(k + 2)));
  } else if (name == "running") out = sysvar_result::of(quillon_already_running() ? 1.0f : 0.0f);
  else if (name == "tx_size") out = sysvar_result::of(static_cast<float>(text_extent(arg.text).x));
  else if (name == "ty_size") out = sysvar_result::of(static_cast<float>(text_extent(arg.text).y));
  else return false;
  return true;
}

// ---------------------------------------------------------------- the function
void eval_SYSVAR() {
  value_slot& name_slot = evaluator.slot(evaluator.sp - 1);
  const value_slot& arg_slot = evaluator.top();

  number_to_text(name_slot);
  lowcase_string(name_slot.text.data(), static_cast<int32_t>(name_slot.text.size()));
  const std::string name = trim_blanks(std::string_view(name_slot.text.data(), name_slot.text.size()));

  // A numeric argument that a service takes as a text is its one-character text; "0 becomes a
  // blank" is decided by the services that say so (they look at the value first).
  sysvar_arg arg;
  arg.value = arg_slot.value();
  arg.is_number = arg_slot.is_number();
  arg.text = arg.is_number ? number_as_character(arg.value) : std::string(arg_slot.text_view());
  arg.cut = !arg.is_number && arg_slot.cut();

  sysvar_result result = sysvar_result::of(0.0f);
  const bool served = sysvar_program_state(name, arg, result) || sysvar_environment(name, arg, result) ||
                      sysvar_files(name, arg, result) || sysvar_scrambler(name, arg, result);

  // The name's slot takes the answer; the argument's slot is given up.
  name_slot.set_number(0.0f);
  pop_to_first_argument();
  value_slot& slot = evaluator.top();
  if (!served) {
    report_error("SYS:" + name, 1);
    slot.set_number(0.0f);
    return;
  }
  if (!result.is_text) {
    slot.set_number(result.number);
    return;
  }
  slot.text.fill(' ');
  std::memcpy(slot.text.data(), result.text.data(), std::min(result.text.size(), slot.text.size()));
  note_text_written(evaluator.sp);
  // A system text longer than a result holds (a current folder, an environment value) is cut.
  const std::string_view text = std::string_view(result.text).substr(0, static_cast<size_t>(std::max(result.length, 0)));
  evaluator.result_cut = loses_characters(text, max_text_result);
  text_exit(slot, std::min(result.length, max_text_result));
}
