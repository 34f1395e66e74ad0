// The error reporter and the error log "PXBERROR.LOG": one dated line per event, the box, and
// the decision whether the program goes on.
#include "runtime/program/program.h"
#include "runtime/program/file_units.h"
#include "runtime/program/open_things.h"
#include "runtime/program/upper_services.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>

namespace {
struct error_state_t {
  bool failed = false;       // an error ends (or has ended) the run
  bool load_failed = false;  // ... while the program was being loaded
  int signal = 0;            // the termination signal that ended the run (0: none)
  // An end that came while a box or dialog waited in its nested loop: carried out once every
  // nested loop has been left.
  std::optional<run_transition> pending_end;
  bool lines_lost = false;   // a line the program wrote did not reach its file
};
error_state_t error_state;

constexpr int32_t silent_end_code = 64000;


// "yyyymmdd" of the local date.
std::string date_stamp() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[40];
  std::snprintf(text, sizeof text, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return text;
}

// Appends one line to the error log and writes it to standard error, so that a terminal or a
// calling script sees it too.  When the log cannot take it (without waiting) the line is lost
// there and the caller goes on to its box and decision.
void append_log_line(const std::string& line) {
  qn_error_line(line);
  append_run_log_line("PXBERROR.LOG", line);
}

// The close steps before the program ends (-9999: without the question).
void close_query() {
  if (upper_services.query_close != nullptr) upper_services.query_close(-9999);
}

// What the program holds open is ended (its files complete), the close runs without the
// question and the main window gets the exit command synchronously.
void end_from_the_outer_level(run_transition why) {
  end_open_things(why);
  close_query();
  if (int32_t window = main_window(); window != 0) SEND_COMMAND(0x4001, window);
}

// Ends the program and unwinds the run to the entry that started it.  Inside a box or dialog
// (a nested loop, whose window belongs to the main window) nothing is ended there: every nested
// loop is left first, and the end runs when the outermost one has returned (end_after_waiting).
// Every end but the program's own QUIT is a failure.
[[noreturn]] void end_program(int32_t code, run_transition why = run_transition::error_end) {
  if (why != run_transition::quit) error_state.failed = true;
  if (!program_ended) {
    program_ended = true;
    if (qn_nested_loops() > 0) {
      error_state.pending_end = why;
      qn_leave_nested_loops();
    } else {
      end_from_the_outer_level(why);
    }
  }
  throw program_end{code};
}
}  // namespace

attention_flag program_ended;  // nothing of the program runs any more

std::string error_header(int32_t code) {
  // "KYR-ERROR " and the code right-aligned in 5 columns, or five asterisks when it does not
  // fit; blank-padded to 20 characters.
  std::string header = "KYR-ERROR ";
  char digits[16];
  auto [end, ec] = std::to_chars(digits, digits + sizeof digits, code);
  std::string_view number(digits, static_cast<size_t>(end - digits));
  if (number.size() > 5) header += "*****";
  else header += std::string(5 - number.size(), ' ') + std::string(number);
  header.resize(20, ' ');
  return header;
}


int run_exit_status() {
  if (error_state.signal != 0) return exit_signal_base + error_state.signal;
  if (error_state.load_failed) return exit_not_loaded;
  return error_state.failed || error_state.lines_lost ? exit_error_end : 0;
}

void note_lines_lost() { error_state.lines_lost = true; }

void note_load_failure() { error_state.load_failed = true; }

void report_error(std::string_view message, int32_t code) {
  end_run_if_signalled();  // a failure that the signal broke off is no failure of the program
  if (program_ended || code == silent_end_code) end_program(code);
  const std::string header = error_header(code);
  const std::string_view caption = blank_trimmed(header);
  const std::string_view text = blank_trimmed(message);
  append_log_line(date_stamp() + "-" + std::string(caption) + ":" + std::string(text));
  // Automatic mode shows no box; nor does a run where nobody could see one.
  if (run_flags.no_box || qn_boxes_unseen()) end_program(code);
  if (code >= 32000) {
    MESSAGE_BOX(text, {.caption = caption, .style = MB_OK | MB_ICONHAND | MB_SYSTEMMODAL});
    end_program(code);
  }
  int32_t answer =
      MESSAGE_BOX(text, {.caption = caption, .style = MB_OKCANCEL | MB_ICONHAND | MB_SYSTEMMODAL});
  if ((answer == IDOK || answer == IDYES) && (code <= 0 || run_flags.debug_allowed)) return;
  end_program(code);
}

void fatal_error(std::string_view text) {
  end_run_if_signalled();
  text = blank_trimmed(text);
  append_log_line(date_stamp() + "-ABBRUCH:" + std::string(text));
  if (run_flags.auto_mode || qn_boxes_unseen()) {
    trace_msg("*AUTO OK*" + std::string(text));
    report_error(text, 32000);
    end_program(32000);  // automatic mode set the no-box flag; this is only a safety net
  }
  error_state.failed = true;
  MESSAGE_BOX(text, {.style = MB_ICONHAND});
  close_query();
  if (int32_t window = main_window(); window != 0) POST_COMMAND(0x4001, window);
}

void warning_log(std::string_view text) {
  append_log_line(date_stamp() + "-WARNUNG:" + std::string(blank_trimmed(text)));
}

namespace {
// The system's text for a failure code: the errno's, or the one the file units' own code
// stands for.
std::string failure_reason(int32_t code) {
  if (code == unit_err_exists) code = EEXIST;
  else if (code == unit_err_no_file) code = ENOENT;
  return code > 0 && code < 1000 ? std::strerror(code) : "status " + std::to_string(code);
}
}  // namespace

void report_write_failure(std::string_view file, int32_t code) {
  report_write_failure(file, code, failure_reason(code));
}

namespace {
// A wait for a pipe (its reader, room in it, a writer's bytes) or a lock that a termination
// signal broke off (EINTR) is no failure of the program: the run ends by the signal, at once
// where it has not been taken yet; true where the run ends by a signal, and nothing is logged.
bool broken_off_by_signal(int32_t code) {
  if (code != EINTR) return false;
  end_run_if_signalled();
  return error_state.signal != 0;
}
}  // namespace

void report_write_failure(std::string_view file, int32_t code, std::string_view reason) {
  const bool broken_off = broken_off_by_signal(code);
  io_status = code;
  if (!broken_off) warning_log("cannot write " + std::string(blank_trimmed(file)) + ": " + std::string(reason));
}

void report_open_failure(std::string_view file, int32_t code) {
  if (broken_off_by_signal(code)) return;
  warning_log("cannot open " + std::string(blank_trimmed(file)) + ": " + failure_reason(code));
}

void set_no_box_flag(bool flag) { run_flags.no_box = flag; }

void end_after_waiting() {
  if (!error_state.pending_end || qn_nested_loops() > 0) return;
  const run_transition why = *std::exchange(error_state.pending_end, std::nullopt);
  end_from_the_outer_level(why);
  throw program_end{silent_end_code};
}

void end_run_by_signal(int signal) {
  if (error_state.signal == 0) error_state.signal = signal;
  end_program(silent_end_code, run_transition::signal);
}

void end_run_by_quit() {
  if (!program_ended && qn_nested_loops() == 0) {
    // Outside every box: the window's own close, without the question; the event loop carries
    // it out (the close ends what the program holds open), and nothing of the program runs
    // before it.
    program_ended = true;
    close_query();
    if (int32_t window = main_window(); window != 0) POST_COMMAND(0x4001, window);
    throw program_end{silent_end_code};
  }
  end_program(silent_end_code, run_transition::quit);
}

void end_run_if_signalled() {
  if (const int signal = qn_take_termination_signal(); signal != 0) end_run_by_signal(signal);
}

void errors_reset() {
  error_state = {};
  program_ended = false;
}
