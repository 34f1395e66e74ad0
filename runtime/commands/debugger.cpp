// The single-step debugger.  The interpreter stops before each traced command and pumps window
// messages until Space, Ctrl or the end of single step lets the command go; the keys reach this
// file from the command dispatcher inside that pump.  Typed characters build a one-line command
// in the DBGVAR window that shows program variables, keeps a watch list and switches the trace
// file copy.  The command being typed is echoed on message line 1 of screen 0.
#include "runtime/commands/debugger.h"

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cstring>
#include <thread>

#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/interpreter.h"
#include "runtime/screen/screen.h"

namespace {
constexpr size_t command_line_size = 128;
constexpr int32_t max_cursor = 64;
constexpr size_t variable_name_size = 16;
constexpr size_t watch_name_size = 32;
constexpr int32_t max_watch = 128;

constexpr int32_t vk_trace_toggle = 0xDC;  // VK_OEM_5: Ctrl with it switches tracing
constexpr int32_t vk_one = 0x31;
constexpr int32_t vk_space = 0x20;

constexpr std::string_view help_line1 = "Sngl-Step : BLANK=Step, Shft-Ctl=StepInto, Ctl=RUN, dump, exit";
constexpr std::string_view help_line2 = "Variable/<CR> lastVar, +/-Variable add/removeVars, # showVars";

std::string padded(std::string_view text, size_t size) {
  std::string out(text.substr(0, std::min(text.size(), size)));
  out.resize(size, ' ');
  return out;
}


struct debugger_state_t {
  std::string command_line = padded("_", command_line_size);
  int32_t cursor = 1;
  std::string variable = padded("i$", variable_name_size);
  std::array<std::string, max_watch> watch{};
  int32_t watch_count = 0;
};
debugger_state_t dbg;

void reset_line() {
  dbg.command_line = padded("_", command_line_size);
  dbg.cursor = 1;
}

// Position p (1-based) of the command line on holds text, the rest blanks.
void set_line_from(int32_t p, std::string_view text) {
  const size_t at = static_cast<size_t>(p - 1);
  dbg.command_line.replace(at, std::string::npos, padded(text, command_line_size - at));
}

// ---------------------------------------------------------------- showing variables

// The 4-byte word of element e of a numeric variable, or false when it lies outside the
// variable's storage (an allocated array smaller than its dimension says).
bool numeric_element(const variable_record& var, int32_t e, uint32_t& word) {
  const uint32_t* w = element_storage(var, e);
  if (w == nullptr) return false;
  word = *w;
  return true;
}

std::string array_line(std::string_view name, int32_t dimension) {
  return "array " + std::string(name) + std::string(blank_trimmed(free_format_integer(":", dimension)));
}

// The value of one variable (name as typed, with an optional element index) as a DBGVAR line;
// `rendering` receives the value part for the echo in the trace.  False for the "? " and
// "array " lines.
bool render_variable(std::string_view name, std::string& line, std::string& rendering) {
  int32_t v = 0, e = 0;
  set_map_error_report(false);
  map_variable(name, v, e);
  set_map_error_report(true);
  if (v <= 0 || !variable_table.valid(v)) {
    line = "? " + std::string(name);
    return false;
  }
  const variable_record& var = variable_table.records[static_cast<size_t>(v)];
  if (e < 0 || e >= var.dimension) {
    line = array_line(name, var.dimension);
    return false;
  }
  switch (var.type) {
    case var_real:
    case var_integer: {
      uint32_t word = 0;
      if (!numeric_element(var, e, word)) {
        line = array_line(name, var.dimension);
        return false;
      }
      rendering = var.type == var_real ? free_format_real("R:", std::bit_cast<float>(word))
                                       : free_format_integer("I:", std::bit_cast<int32_t>(word));
      break;
    }
    case var_text:
    case var_date: {
      const int32_t length = std::max(var.text_end - var.text_start + 1, 0);
      const int64_t first = static_cast<int64_t>(var.text_start) + static_cast<int64_t>(e) * length;
      const std::string_view text =
          first >= 1 && first <= string_buffer_t::size ? STRING_BUFFER.view(static_cast<int32_t>(first), length)
                                                       : std::string_view();
      rendering = std::string(var.type == var_text ? " S:" : " D:") + "\"" + std::string(text) + "\"";
      break;
    }
    default:
      rendering = "?" + std::string(name);
      break;
  }
  line = padded(name, variable_name_size) + std::string(blank_trimmed(rendering));
  return true;
}

// Shows one variable in DBGVAR; a single one shown while a command waits also goes into the
// trace, next to that command.
void show_variable(std::string_view name, bool single) {
  name = blank_trimmed(name);
  std::string line, rendering;
  const bool found = render_variable(name, line, rendering);
  dbgvar_write(line);
  if (found && single && run_flags.busy) {
    const std::string_view value = rendering.size() > 3 ? std::string_view(rendering).substr(3) : std::string_view();
    debug_window_write(">>> " + std::string(name) + " = " + std::string(blank_trimmed(value)));
  }
}

// ---------------------------------------------------------------- running a command line

void run_command_line() {
  bool add = false, remove = false;
  if (dbg.command_line.starts_with('+')) {
    dbg.command_line = dbg.command_line.substr(1) + " ";
    dbg.cursor = std::max(dbg.cursor - 1, 1);
    add = true;
  }
  if (dbg.command_line.starts_with('-')) {
    dbg.command_line = dbg.command_line.substr(1) + " ";
    dbg.cursor = std::max(dbg.cursor - 1, 1);
    remove = true;
  }
  const std::string_view typed = blank_trimmed(dbg.command_line);
  if (typed == "exit") {
    dbgvar_write("exit");
    run_flags.single_step_on = false;
    output_text_line(" ");
    reset_line();
    return;
  }
  if (typed == "dump") {
    if (trace_mode() == 0) {
      set_trace_mode(1);
      dbgvar_write("$PXBDUMP on");
    } else {
      set_trace_mode(0);
      dbgvar_write("$PXBDUMP off");
    }
    output_text_line(" ");
    reset_line();
    return;
  }
  if (dbg.cursor > 1)
    dbg.variable = padded(std::string_view(dbg.command_line).substr(0, static_cast<size_t>(dbg.cursor - 1)),
                          variable_name_size);
  if (add) {
    dbg.watch_count = std::min(dbg.watch_count + 1, max_watch);
    dbg.watch[static_cast<size_t>(dbg.watch_count - 1)] = padded(dbg.variable, watch_name_size);
  }
  if (remove && dbg.watch_count > 0) {
    const std::string name = padded(dbg.variable, watch_name_size);
    auto end = dbg.watch.begin() + dbg.watch_count;
    auto found = std::find(dbg.watch.begin(), end, name);
    if (found != end) {
      std::move(found + 1, end, found);
      --dbg.watch_count;
      dbg.watch[static_cast<size_t>(dbg.watch_count)].clear();
    }
  }
  if (dbg.command_line.starts_with('#')) {
    dbgvar_write(std::string(33, '-'));
    if (dbg.watch_count > 0) {
      for (int32_t i = 0; i < dbg.watch_count; ++i) {
        dbg.variable = padded(dbg.watch[static_cast<size_t>(i)], variable_name_size);
        show_variable(dbg.watch[static_cast<size_t>(i)], false);
      }
    } else {
      show_variable("#", false);
    }
  } else {
    show_variable(dbg.variable, true);
  }
  output_text_line(">_");
  reset_line();
}

bool is_call_event_or_return(const code_record& rec) { return rec.opcode >= 1 && rec.opcode <= 3; }

}  // namespace

// ---------------------------------------------------------------- the key entry

void single_step(int32_t key) {
  // Key 0 starts single stepping wherever it is switched on (MESS, the Ctrl + "1" key): from
  // then on the interpreter stops in this file's hook.
  if (key == 0) debugger_install();
  if (debug_window() == 0) return;  // the debugger works only beside the DEBUG window
  if (dbgvar_window() == 0) dbgvar_open();
  switch (key) {
    case 0:
      dbgvar_write(help_line1);
      dbgvar_write(help_line2);
      output_text_line(">_");
      return;
    case -1:
      dbgvar_write("exit");
      output_text_line(" ");
      run_flags.single_step_on = false;
      reset_line();
      return;
    case 27:
      reset_line();
      break;
    case 13:
      set_line_from(dbg.cursor, "");
      break;
    case 8:
      dbg.cursor = std::max(dbg.cursor - 1, 1);
      set_line_from(dbg.cursor, "_");
      break;
    default: {
      const char typed[2] = {static_cast<char>(key & 0xFF), '_'};
      set_line_from(dbg.cursor, std::string_view(typed, 2));
      dbg.cursor = std::min(dbg.cursor + 1, max_cursor);
      break;
    }
  }
  if (!dbgvar_alive()) return;  // closed by the user: window tracing goes off
  output_text_line(">" + dbg.command_line.substr(0, static_cast<size_t>(dbg.cursor)));
  if (key == 13) run_command_line();
}

// ---------------------------------------------------------------- the fetch-loop hook

bool debugger_step_hook(const code_record& rec) {
  trace_msg(">" + std::string(rec.text.data(), rec.text.size()));
  bool ctrl_seen_up = true;
  if (run_flags.modifier_ctrl != 0) {
    if (run_flags.modifier_shift == 0) return true;       // holding Ctrl runs
    if (!is_call_event_or_return(rec)) return true;        // Shift + Ctrl steps into calls only
    ctrl_seen_up = false;  // Ctrl must be let go and pressed again to run on
  }
  screen_repaint();
  for (;;) {
    if (process_pending_messages() == 0) {  // the quit message ends the whole run
      run_flags.busy = false;
      return false;
    }
    if (program_has_ended()) throw program_end{};  // ended by a callback inside the pump
    if (!run_flags.single_step_on) break;
    if (run_flags.modifier_ctrl != 0 && ctrl_seen_up) break;
    if (run_flags.modifier_ctrl == 0) ctrl_seen_up = true;
    if (run_flags.step_released) break;
    // Nothing to do until the next key: give the processor back between looks at the queue.
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  run_flags.step_released = false;
  return true;
}

void debugger_install() { set_single_step_hook(debugger_step_hook); }

void debugger_reset_input() { reset_line(); }

// ---------------------------------------------------------------- keys from the dispatcher

bool debugger_key_down(int32_t virtual_key) {
  const bool ctrl = run_flags.modifier_ctrl != 0;
  const bool idle = !run_flags.busy;
  if (ctrl && virtual_key == vk_trace_toggle && run_flags.debug_allowed) {
    run_flags.trace_on = !run_flags.trace_on;
    if (!idle) return true;
    if (run_flags.trace_on) {
      debug_open();
      trace_msg("----------- START DEBUG ---------------------------");
      debugger_reset_input();
    } else {
      trace_msg("----------- STOP DEBUG ----------------------------");
    }
    return true;
  }
  if (!idle) return false;
  if (ctrl && virtual_key == vk_one && run_flags.trace_on) {
    run_flags.single_step_on = !run_flags.single_step_on;
    if (run_flags.single_step_on) {
      trace_msg("----------- SINGLE STEP ---------------------------");
      single_step(0);
      return true;
    }
    single_step(-1);
    trace_msg("----------- RUNNING -------------------------------");
    return false;  // on to the ordinary key handling: a hot key on Ctrl + "1" still runs
  }
  if (!run_flags.single_step_on) return false;
  if (virtual_key == vk_space) run_flags.step_released = true;
  return true;
}

bool debugger_char(int32_t character) {
  if (!run_flags.single_step_on) return false;
  if (character == ' ')
    run_flags.step_released = true;
  else
    single_step(character);
  return true;
}

// ---------------------------------------------------------------- tests

debugger_view debugger_info() {
  debugger_view view{dbg.command_line, dbg.cursor, dbg.variable, {}};
  for (int32_t i = 0; i < dbg.watch_count; ++i) view.watch_list.push_back(dbg.watch[static_cast<size_t>(i)]);
  return view;
}

void debugger_reset() { dbg = {}; }
