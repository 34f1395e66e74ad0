// The interpreter loop: pump, fetch, trace, dispatch and the common end of every command.
// Nothing in the path of an untraced command allocates or builds text.
#include "runtime/commands/interpreter.h"

#include "runtime/commands/commands.h"
#include "quillon/api/vector_state.h"
#include "runtime/commands/jump_test.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/expression/code_steps.h"
#include "runtime/program/expression/line_loops.h"
#include "runtime/program/file_units.h"

#include <algorithm>
#include <string>


namespace {
void opcode_zero(code_record&) { report_error("Code/Compile-Error : CODE=0", 32000); }

constexpr std::array<command_handler, 48> builtin_handlers = {
    opcode_zero, cmd_CALL,   cmd_EVENT,  cmd_RETURN, cmd_EXPR,   cmd_JMP,    cmd_JZ,
    cmd_JNZ,     cmd_MESS,   cmd_RUN,    cmd_SELECT, cmd_COMBO,  cmd_QUERY,  cmd_SUBMEN,
    cmd_HOTKEY,  cmd_QUIT,   cmd_SOUND,  cmd_COLOR,  cmd_ORIGIN, cmd_SHOW,   cmd_HELP,
    cmd_FILE,    cmd_TEXT,   cmd_TEXTB,  cmd_MOUSE,  cmd_PRINT,  cmd_WINDOW, cmd_WINMGR,
    cmd_ARC,     cmd_LINE,   cmd_PIXEL,  cmd_MOVE,   cmd_DRAW,   cmd_PLOT,   cmd_BUTTON,
    cmd_MENU,    cmd_ASSIGN, cmd_GOTO,   cmd_BTNMGR, cmd_FORMAT, cmd_OUTPUT, cmd_BOX,
    cmd_AREA,    cmd_CIRCLE, cmd_FLOOD,  cmd_LSTMGR, cmd_SQL,    cmd_ARRAY};
constexpr int32_t array_opcode = 47;
constexpr int32_t call_opcode = 1;

// What the loop does itself, without the call, while an opcode has its built-in handler: the
// expression line and the jumps, the commands every loop of a program is made of.
enum class loop_work : uint8_t { handler, expression, jump, jump_if_zero, jump_if_not_zero };
constexpr std::array<loop_work, 48> builtin_work = [] {
  std::array<loop_work, 48> work{};
  work[4] = loop_work::expression;
  work[5] = loop_work::jump;
  work[6] = loop_work::jump_if_zero;
  work[7] = loop_work::jump_if_not_zero;
  return work;
}();

std::string_view command_text(const code_record& rec) { return {rec.text.data(), rec.text.size()}; }

bool default_step_hook(const code_record& rec) {
  trace_msg(">" + std::string(command_text(rec)));
  return true;
}

// One invocation of the fetch loop on the native stack: the depth below its first level.
struct run_frame {
  int32_t base = 0;
  const run_frame* outer = nullptr;
};

struct interpreter_state_t {
  std::array<command_handler, 48> handlers = builtin_handlers;
  std::array<loop_work, 48> work = builtin_work;  // loop_work::handler where one was replaced
  single_step_hook step_hook = default_step_hook;
  int32_t active_runs = 0;  // invocations of the fetch loop on the native stack
  const run_frame* innermost = nullptr;  // the newest of them
  bool abandon = false;  // the run that end_run ends takes its call levels back
  // The expression line, the three jumps, CALL and RETURN have their built-in handling: loops made
  // of them may run as one step (line_loops.h).
  bool line_loops = true;
};
interpreter_state_t interp;

// Jumps are never traced or stepped.
bool is_jump(std::string_view text) {
  return text.starts_with("JZ ") || text.starts_with("JMP ") || text.starts_with("JNZ ");
}

// Trace and single step before a command; false when the quit message ended a step wait.
bool trace_command(const code_record& rec) {
  std::string_view text = command_text(rec);
  if (is_jump(text)) return true;
  if (!run_flags.single_step_on) {
    trace_msg(text);
    return true;
  }
  bool go_on = interp.step_hook(rec);
  run_flags.step_released = false;
  return go_on;
}

// The common end of a command whose handler set command_error: the command's text under that
// code.  A handler that replaced the program (chaining) took its record with it; the command
// name stands in then.
void report_command(int32_t at, const code_record* codes_before, int32_t opcode) {
  const int32_t code = call_state.command_error;
  if (program_image.codes.data() == codes_before && at >= 1 && at < static_cast<int32_t>(program_image.codes.size()))
    report_error(command_text(program_image.codes[static_cast<size_t>(at)]), code);
  else
    report_error(command_name(opcode), code);
}

// The handler table's entry of an opcode: those beyond the table run the ARRAY handler.
size_t command_index(int32_t opcode) {
  return static_cast<uint32_t>(opcode) <= 47u ? static_cast<size_t>(opcode) : array_opcode;
}

enum class run_exit { normal, quiet };

// Whether the command just run left something for the common end: an error to report, a chained
// program, an end of the run or the last RETURN.  One test for all four.
bool command_left_work(const call_state_t& cs) {
  return (cs.command_error != 0) | cs.chain_flag | cs.end_run | (cs.depth <= 0);
}

// The JZ or JNZ after the expression line `at`, run as part of that line's step: when it runs,
// the program counter moves past it or to its target; else record at + 1 is fetched as a
// command of its own.  It runs here only while nothing wants the loop's look first: the pump's
// countdown counts it as a command and also runs out for the trace, Ctrl-C and the program's end.  The record is read from the
// program as it is now (an expression may have loaded another, and its steps with it), and
// must still be that jump, with its built-in handling in place.
void run_paired_jump(int32_t at) {
  // Record k + 1 exists where the pairs show a jump, and only records below the fetch limit
  // have one.
  const size_t k = static_cast<size_t>(at);
  if (static_cast<uint32_t>(at) >= code_steps.fetch_limit) return;
  const uint8_t jump_opcode = code_steps.paired_jump[k];
  if (jump_opcode == 0) return;
  const code_record& jump = program_image.codes[k + 1];
  const loop_work work = interp.work[jump_opcode];
  if (jump.opcode != jump_opcode || work == loop_work::handler || --qn_pump_countdown <= 0) return;
  call_state.command_flags = jump.flags;
  call_state.pc = p1_rounds_to_zero() == (work == loop_work::jump_if_zero) ? jump.target : at + 2;
}

// An abandoned run gives back its call levels as if each had returned: the depth goes back to
// the depth below the run's first level, and the program counter to where that level would
// return.  The run that owns the current level is the newest invocation begun below it; while
// a nested invocation goes on with the code of the run it interrupted, that is the interrupted
// run, which then ends too.  So no level of the run is left open for a later label's RETURN to
// come back into.
void take_back_levels() {
  interp.abandon = false;
  call_state_t& cs = call_state;
  int32_t base = 0;
  for (const run_frame* f = interp.innermost; f != nullptr; f = f->outer) {
    if (f->base < cs.depth) {
      base = f->base;
      break;
    }
  }
  if (cs.depth <= base) return;
  cs.pc = cs.saved_pc[static_cast<size_t>(base + 1)];
  cs.depth = base;
}

run_exit fetch_loop() {
  call_state_t& cs = call_state;
  for (;;) {
    bool traced = false;
    // The one test before every command: the pump's countdown, which the program's end, Ctrl-C
    // and the trace also run out (attention_flag).  The pump looks at its queues then; only
    // then can a callback of it have run a nested run that finished this one.
    if (qn_pump_due()) [[unlikely]] {
      if (qn_pump() == 0) return run_exit::normal;  // the quit message
      // Ended inside a callback of the pump or of a wait in the last handler.
      if (program_has_ended()) throw program_end{};
      if (cs.depth <= 0) return run_exit::normal;
      if (run_flags.quit_seen) {
        report_error("Ctrl-C ?", 0);
        run_flags.quit_seen = false;  // answered: the question is not asked again and again
      }
      // While the trace is on, every command comes this way.
      traced = run_flags.trace_on;
      qn_attention_held = traced;
      if (traced) qn_pump_countdown = 0;
    }
    cs.command_error = 0;
    const int32_t at = cs.pc;
    code_record* const codes = program_image.codes.data();
    if (static_cast<uint32_t>(at) - 1u >= code_steps.fetch_limit) [[unlikely]] {
      // Running off the program or a bad target: never read outside the code records.
      report_error("Code/Compile-Error : PC=" + std::to_string(at), 32000);
      return run_exit::normal;
    }
    code_record& rec = codes[at];
    cs.pc = at + 1;
    const int32_t opcode = rec.opcode;
    const size_t index = command_index(opcode);
    loop_work work = interp.work[index];
    if (traced) [[unlikely]] {
      if (!trace_command(rec)) return run_exit::quiet;
      work = loop_work::handler;  // the handlers of JZ and JNZ write their answer to the trace
    }
    cs.command_flags = rec.flags;
    if (work == loop_work::expression) {
      if (code_steps.loop_end[static_cast<size_t>(at)] != 0 && interp.line_loops && run_line_loop(at)) continue;
      evaluate_upn(rec.expression, 1);
      if (!command_left_work(cs)) [[likely]] {
        run_paired_jump(at);
        continue;
      }
    } else if (work == loop_work::handler) {
      // (A CALL that begins a loop of lines; never while the trace wants every command.)
      if (code_steps.loop_end[static_cast<size_t>(at)] != 0 && opcode == call_opcode && !traced &&
          interp.line_loops && run_line_loop(at))
        continue;
      interp.handlers[index](rec);
    } else {
      // A jump runs no handler: no error, no chaining, no end of the run and no change of depth
      // can come from it, so the checks after a handler are skipped.
      if (work == loop_work::jump || p1_rounds_to_zero() == (work == loop_work::jump_if_zero))
        cs.pc = rec.target;
      continue;
    }
    if (command_left_work(cs)) [[unlikely]] {
      if (cs.command_error != 0) report_command(at, codes, opcode);
      if (cs.chain_flag) {
        // A chained program runs from its first record in this same run.
        cs.chain_flag = false;
        cs.base_depth = 0;
        cs.depth = 1;
        cs.saved_pc[1] = 1;
        cs.pc = 1;
        continue;
      }
      if (cs.end_run) {
        cs.end_run = false;
        if (interp.abandon) take_back_levels();
        return run_exit::normal;
      }
      if (cs.depth <= 0) return run_exit::normal;  // the last RETURN of the run
    }
  }
}

// Keeps the count and the chain of runs on the stack right when a program end unwinds through.
struct active_run_guard {
  run_frame frame;
  explicit active_run_guard(int32_t base) : frame{base, interp.innermost} {
    ++interp.active_runs;
    interp.innermost = &frame;
  }
  ~active_run_guard() {
    --interp.active_runs;
    interp.innermost = frame.outer;
  }
  active_run_guard(const active_run_guard&) = delete;
  active_run_guard& operator=(const active_run_guard&) = delete;
};

void run(int32_t label, bool same_level) {
  qn_clear_vector_state();  // whatever ran under the window system before, the program runs at speed
  if (program_has_ended()) return;
  call_state_t& cs = call_state;
  run_flags.busy = true;
  cs.chain_flag = false;
  cs.end_run = false;
  if (!same_level || cs.depth <= 0) {
    // A same-level entry while idle runs its label at level 1, so that its final RETURN
    // brings the depth back to 0 and never below.
    cs.base_depth = cs.depth > 0 ? cs.depth : 0;
    cs.depth = cs.base_depth + 1;
  } else {
    cs.base_depth = cs.depth - 1;
  }
  const bool outermost = interp.active_runs == 0;
  // A switch turned on while no run was looking (or before the pump was reset) is seen by the
  // first command.
  if (program_has_ended() || run_flags.quit_seen || run_flags.trace_on) qn_hold_attention();
  // Records written into the image other than by loading it get their steps found here.
  if (!code_steps.fit()) [[unlikely]] find_code_steps();
  try {
    if (cs.depth > max_call_depth) {
      cs.depth = max_call_depth;  // the tables end at 20
      report_error("MAX CALL-LEVELS", 6416);
      report_error("Abbruch", 32000);
    }
    cs.saved_pc[static_cast<size_t>(cs.depth)] = cs.pc;
    cs.pc = label;
    run_exit how;
    {
      active_run_guard guard(cs.base_depth);
      how = fetch_loop();
    }
    if (how == run_exit::normal && run_flags.trace_on && run_flags.single_step_on) trace_msg("<return");
    run_flags.busy = false;
  } catch (const program_end&) {
    run_flags.busy = false;
    if (!outermost) throw;  // on to the boundary that started the interrupted run
  }
  // Back to the event loop: the lines the run wrote are in their files before it waits.
  if (outermost) flush_unit_lines();
}
}  // namespace

void interpreter(int32_t label) { run(label, false); }

void interpreter_same_level(int32_t label) { run(label, true); }

bool interpreter_active() { return interp.active_runs > 0; }

void abandon_run() {
  call_state.end_run = true;
  interp.abandon = true;
}

command_handler set_command_handler(int32_t opcode, command_handler handler) {
  if (opcode < 0 || opcode > 47) return nullptr;
  const size_t at = static_cast<size_t>(opcode);
  command_handler old = interp.handlers[at];
  interp.handlers[at] = handler ? handler : builtin_handlers[at];
  interp.work[at] = interp.handlers[at] == builtin_handlers[at] ? builtin_work[at] : loop_work::handler;
  interp.line_loops = std::equal(interp.work.begin() + 4, interp.work.begin() + 8, builtin_work.begin() + 4) &&
                      interp.handlers[1] == builtin_handlers[1] && interp.handlers[3] == builtin_handlers[3];
  return old;
}

void set_single_step_hook(single_step_hook hook) { interp.step_hook = hook ? hook : default_step_hook; }

void interpreter_reset() {
  call_state = {};
  interp.abandon = false;
  interp.handlers = builtin_handlers;
  interp.work = builtin_work;
  interp.line_loops = true;
  interp.step_hook = default_step_hook;
}
