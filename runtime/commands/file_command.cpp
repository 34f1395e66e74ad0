// The FILE command: opens, reads, writes and closes the numbered file slots 1..9 on file units
// (sequential, append and direct access), saves a screen rectangle and pastes the clipboard.
// Window slots write lines into scroll-text windows.  Every outcome goes to io_status; a few
// misuses are reported and flag the command as failed.
#include "runtime/commands/file_command.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/file_units.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/program/text_tokens.h"
#include "runtime/screen/video_stack.h"

file_command_state_t file_command_state;

namespace {

// Option bits of the FILE command.
constexpr int32_t opt_open = 0x1;
constexpr int32_t opt_close = 0x2;
constexpr int32_t opt_window = 0x8;
constexpr int32_t opt_close_window = 0x20;
constexpr int32_t opt_format2 = 0x80;
constexpr int32_t opt_append = 0x100;
constexpr int32_t opt_old = 0x400;
constexpr int32_t opt_new = 0x800;
constexpr int32_t opt_write = 0x1000;
constexpr int32_t opt_read = 0x2000;
constexpr int32_t opt_paste = 0x10000;


// A line to write: the text without trailing blanks, but at least one character.
std::string_view line_text(std::string_view text) {
  std::string_view t = blank_trimmed(text);
  return t.empty() ? text.substr(0, std::min<size_t>(text.size(), 1)) : t;
}

void command_failed(std::string_view message) {
  report_error(message, 0);
  call_state.command_error = 1;
}

// One line of a window slot's scroll text.
void write_window_line(const file_slot_t& slot, std::string_view text) {
  int status = 0;
  WRITE_SCROLL_LINE(slot.unit, line_text(text), false, &status);
  io_status = status;
}

variable_record* variable_of(int32_t v) {
  return v >= 1 && v <= variable_table.count && variable_table.valid(v)
             ? &variable_table.records[static_cast<size_t>(v)]
             : nullptr;
}

bool is_text(const variable_record& var) { return var.type == var_text || var.type == var_date; }

// The 4-byte word of numeric element k (0-based): the run-time array's word when the variable
// has one, else its word in ADRSPACE; nullptr when the element lies outside either.
uint32_t* numeric_word(variable_record& var, int32_t k) {
  return k >= 0 && k < var.dimension ? element_storage(var, k) : nullptr;
}

// STRING_BUFFER position and length of text element k (0-based).
int32_t text_start(const variable_record& var, int32_t k) { return var.text_start + var.start * k; }
int32_t text_length(const variable_record& var) { return std::max(var.start, 0); }

// ---------------------------------------------------------------- opening
// A scroll-text window titled with the name, sized by P1 x P2 when P2 is above 0.
void open_window_slot(const std::string& name, file_slot_t& slot) {
  // An open slot keeps what it holds: a second open would lose its unit or window.
  if (slot.unit > 0) {
    io_status = 32000;
    report_error("FILE OPEN", 0);
    return;
  }
  const int32_t width = nint(param_registers[1]), height = nint(param_registers[2]);
  int status = 0;
  window_opts o{.title = blank_trimmed(name), .window_flags = 0x6800, .status = &status};
  if (height > 0) o.client_px = qn_point{width, height};
  const int32_t window = CREATE_WINDOW(o);
  io_status = status;
  if (status == 0 && window > 0) {
    slot.unit = window;
    slot.record_length = 0;
    slot.window = true;
  }
}

void open_slot(code_record& rec, file_slot_t& slot) {
  const char* status = "UNKNOWN";
  if (flag_mask_test(opt_old) || flag_mask_test(opt_read) || flag_mask_test(opt_append))
    status = "OLD";
  else if (flag_mask_test(opt_new))
    status = "NEW";
  const char* action = flag_mask_test(opt_read) ? "READ" : "READWRITE";

  evaluate_upn(rec.expression, 4);
  // The whole name: a name cut to fewer characters would open (and empty) another file.
  const program_text taken = token_text(rec.token2);
  const std::string& name = taken.text;
  const int32_t record_length = nint(param_registers[1]);
  const char* access = "SEQUENTIAL";
  if (flag_mask_test(opt_append)) access = "APPEND";
  if (record_length > 0) access = "DIRECT";
  const char* form = record_length > 0 ? "UNFORMATTED" : "FORMATTED";

  if (flag_mask_test(opt_window)) {
    open_window_slot(name, slot);
    return;
  }
  if (slot.unit > 0) {
    io_status = 32000;
    report_error("FILE OPEN", 0);
    return;
  }
  if (!whole_or_refused(taken)) return;
  const int32_t unit = get_free_unit();
  trace_str_int("file/open", blank_trimmed(name), unit);
  trace_int("RECL=  ", record_length);
  trace_str("STATUS=", status);
  trace_str("ACCESS=", access);
  trace_str("FORM=  ", form);
  trace_str("ACTION=", action);
  io_status = unit_open(unit, blank_trimmed(name),
                        {.status = status,
                         .access = access,
                         .form = form,
                         .action = action,
                         .recl = record_length > 0 ? record_length : 0});
  if (io_status == 0) {
    slot.unit = unit;
    slot.record_length = record_length;
    slot.name = std::string(blank_trimmed(name));
  } else {
    // The program sees only the code; the log says which file and why.
    report_open_failure(name, io_status);
  }
}

// The outcome of a write on a file slot (a line, a record, the close, the lines still buffered
// at the end): into io_status; a failure of the system's lost lines, so the run does not end as
// a success, and goes (once per slot) into the error log.
void note_write(file_slot_t& slot, int32_t status) {
  io_status = status;
  if (status == 0 || status >= 1000) return;
  note_lines_lost();
  if (slot.write_failed) return;
  slot.write_failed = true;
  report_write_failure(slot.name, status);
}

// ---------------------------------------------------------------- direct access
// Reads or writes the fields a pointer layout names, element 0 up to `last`, through `record`.
// Returns false after a report.
bool transfer_layout(variable_record& layout, int32_t last, std::string& record, int32_t record_length,
                     bool reading) {
  const char* null_message = reading ? "READ:NULL-Pointer" : "WRITE:NULL-Pointer";
  const char* overflow_message = reading ? "READ:Pointer-OVL" : "WRITE:Pointer-OVL";
  const char* record_message = reading ? "READ:Record-OVL" : "WRITE:Record-OVL";
  int32_t position = 1;
  for (int32_t i = 0; i <= last; ++i) {
    const uint32_t* entry = numeric_word(layout, i);
    if (entry == nullptr) {
      report_error(overflow_message, 32000);
      return false;
    }
    const int32_t v = static_cast<int32_t>(*entry & 0xFFFFu);
    const int32_t element = static_cast<int32_t>(*entry >> 16);
    if (v <= 0) {
      report_error(null_message, 32000);
      return false;
    }
    variable_record* target = variable_of(v);
    // A field element outside its variable would read or write past it.
    if (target == nullptr || element >= std::max(target->dimension, 1)) {
      report_error(overflow_message, 32000);
      return false;
    }
    const int32_t size = is_text(*target) ? text_length(*target) : 4;
    if (position + size > record_length + 1) {
      report_error(record_message, 32000);
      return false;
    }
    char* field = record.data() + (position - 1);
    if (is_text(*target)) {
      const int32_t start = text_start(*target, element);
      if (reading)
        STRING_BUFFER.write(start, size, std::string_view(field, static_cast<size_t>(size)));
      else {
        const std::string_view text = STRING_BUFFER.view(start, size);
        std::memcpy(field, text.data(), text.size());
      }
    } else {
      uint32_t* word = numeric_word(*target, element);
      if (word == nullptr) {
        report_error(overflow_message, 32000);
        return false;
      }
      if (reading)
        std::memcpy(word, field, 4);
      else
        std::memcpy(field, word, 4);
    }
    position += size;
  }
  return true;
}

void direct_transfer(code_record& rec, file_slot_t& slot, bool reading) {
  evaluate_upn(rec.expression, 2);
  const int32_t record_number = trunc_to_int(param_registers[1]);
  int32_t v = 0, k = 0;
  get_last_reference(v, k);
  variable_record* var = variable_of(v);
  if (var == nullptr) {
    report_error(reading ? "READ-NoVar" : "WRITE-NoVar", 32000);
    return;
  }
  const int32_t record_length = slot.record_length;
  std::string record;
  if (is_text(*var)) {
    if (k > 0) {
      command_failed(reading ? "RND-READ:String+Index!" : "RND-Write:Index/noStrng");
      return;
    }
    const int32_t start = text_start(*var, 0), length = text_length(*var);
    if (reading) {
      io_status = unit_read_record(slot.unit, record_number, record);
      if (io_status == 0) STRING_BUFFER.write(start, length, record);
    } else {
      note_write(slot, unit_write_record(slot.unit, record_number, STRING_BUFFER.view(start, length)));
    }
    return;
  }
  if (var->type == var_pointer) {
    if (reading) {
      trace_int("Ptr-Read recl=", record_length);
      io_status = unit_read_record(slot.unit, record_number, record);
      if (io_status != 0) return;
      record.resize(static_cast<size_t>(record_length), '\0');
      transfer_layout(*var, k, record, record_length, true);
    } else {
      record.assign(static_cast<size_t>(record_length), '\0');
      if (!transfer_layout(*var, k, record, record_length, false)) return;
      note_write(slot, unit_write_record(slot.unit, record_number, record));
    }
    return;
  }
  uint32_t* word = numeric_word(*var, k);
  if (word == nullptr) {
    report_error(reading ? "READ-NoVar" : "WRITE-NoVar", 32000);
    return;
  }
  if (reading) {
    io_status = unit_read_record(slot.unit, record_number, record);
    if (io_status == 0) {
      record.resize(std::max<size_t>(record.size(), 4), '\0');
      std::memcpy(word, record.data(), 4);
    }
  } else {
    note_write(slot, unit_write_record(slot.unit, record_number, std::string_view(reinterpret_cast<const char*>(word), 4)));
  }
}

// ---------------------------------------------------------------- sequential access
void sequential_read(code_record& rec, file_slot_t& slot) {
  if (slot.window) {  // a window has nothing to read
    io_status = -1;
    return;
  }
  evaluate_upn(rec.expression, 1);
  int32_t v = 0, k = 0;
  get_last_reference(v, k);
  variable_record* var = variable_of(v);
  if (var == nullptr || var->type != var_text || k != 0) {
    command_failed("SEQ-READ:String+Index!");
    return;
  }
  std::string line;
  io_status = unit_read_line(slot.unit, line);
  if (io_status == EINTR) end_run_if_signalled();  // the wait for a pipe's writer broken off
  if (io_status == 0) STRING_BUFFER.write(text_start(*var, 0), text_length(*var), line);
}

void sequential_write(code_record& rec, file_slot_t& slot, const std::string& t1) {
  const std::string t2 = get_text_token(rec.token2);
  if (t2 != t1) {
    if (slot.window) {
      write_window_line(slot, t2);
      return;
    }
    note_write(slot, unit_write_line(slot.unit, line_text(t2)));
    return;
  }
  evaluate_upn(rec.expression, 1);
  int32_t v = 0, k = 0;
  get_last_reference(v, k);
  variable_record* var = variable_of(v);
  if (var == nullptr) {
    report_error("WRITE-NoVar", 32000);
    return;
  }
  if (!is_text(*var)) {
    command_failed("SEQ-Write:noStrng");
    return;
  }
  if (k != 0) {
    command_failed("SEQ-Write:Index");
    return;
  }
  const std::string_view text = STRING_BUFFER.view(text_start(*var, 0), text_length(*var));
  if (slot.window) {
    write_window_line(slot, text);
    return;
  }
  note_write(slot, unit_write_line(slot.unit, line_text(text)));
}

// ---------------------------------------------------------------- clipboard and screen
void paste_clipboard(const std::string& t1) {
  int status = 0;
  PASTE_FROM_CLIPBOARD({.file = blank_trimmed(t1),
                        .format = flag_mask_test(opt_format2) ? QN_CF_BITMAP : QN_CF_TEXT,
                        .status = &status});
  io_status = status;
}

// Saves the rectangle P1, P2 (corner) by P3 x P4 of screen 0 as a BMP file named by T1; other
// image formats are not available.
void save_screen_rectangle(code_record& rec, const std::string& t1) {
  evaluate_upn(rec.expression, 4);
  const int32_t x1 = trunc_to_int(param_registers[1]), y1 = trunc_to_int(param_registers[2]);
  const int32_t x2 = trunc_to_int(param_registers[3] - 1.0f + static_cast<float>(x1));
  const int32_t y2 = trunc_to_int(param_registers[4] - 1.0f + static_cast<float>(y1));
  std::string name = t1;
  upcase_string(name.data(), static_cast<int32_t>(name.size()));
  const std::string_view file = blank_trimmed(name);
  if (file.empty()) return;
  if (file.size() <= 4 || !file.ends_with(".BMP")) {
    IMAGE_2_FILE(x1, y1, x2, y2, std::string(file) + ".IMG");
    return;
  }
  io_status = 0;  // a save after a failed one reports its own outcome
  int32_t depth_before = 0, depth_after = 0;
  video_stack_depth(depth_before);
  // Only the part on the screen is saved: a rectangle reaching past the screen's left or top
  // edge starts at its first column or row (the video stack takes a left edge by its magnitude,
  // and no pixels lie above the screen).
  video_stack_push(std::max(x1, 0), std::max(y1, 0), x2, y2);
  video_stack_depth(depth_after);
  if (depth_after <= depth_before) {  // the stack is full: nothing was saved
    io_status = 1;
    return;
  }
  int32_t bitmap = 0;
  video_stack_top_bitmap(bitmap);
  int status = 0;
  const int32_t dib = bitmap != 0 ? BITMAP_TO_DIB(bitmap, &status) : 0;
  if (dib == 0 || status != 0) {
    io_status = 1;
  } else if (!save_bitmap_file(dib, file, &status) || status != 0) {
    report_write_failure(file, status);
    io_status = 1;
  }
  if (dib != 0) free_global_text(dib);
  video_stack_pop();
}

}  // namespace

void file_command_reset() {
  for (file_slot_t& slot : file_command_state.slots) {
    if (slot.unit <= 0) continue;
    if (slot.window) {
      int status = 0;  // a window the user closed already is no error here
      CLOSE_WINDOW(slot.unit, &status);
    } else {
      unit_close(slot.unit);
    }
  }
  file_command_state = file_command_state_t{};
}

void file_units_end(run_transition why) {
  if (why != run_transition::run_chain && !ends_the_run(why)) return;
  // Every slot's buffered lines go to its file; a failed write of them is reported like every
  // failed write (once per slot): the error log names the file and the reason.  The slots stay:
  // a chained program goes on with them, and after an end nothing writes any more (the process's
  // exit closes the files).
  for (file_slot_t& slot : file_command_state.slots) {
    if (slot.unit <= 0 || slot.window) continue;
    if (const int32_t failed = unit_flush(slot.unit); failed != 0) note_write(slot, failed);
  }
  flush_file_writers();  // the runtime's other writers (units outside the slots, a plot file)
}

void cmd_FILE(code_record& rec) {
  const program_text taken = token_text(rec.token1);
  const std::string& t1 = taken.text;
  // T1 names the file of a paste and of a saved rectangle.
  if ((flag_mask_test(opt_paste) || flag_mask_test(opt_write | opt_format2)) && !whole_or_refused(taken)) return;

  if (flag_mask_test(opt_paste)) {
    paste_clipboard(t1);
    return;
  }
  if (flag_mask_test(opt_write | opt_format2)) {
    save_screen_rectangle(rec, t1);
    return;
  }

  // The slot number is the one digit after the first character of T1 ("#3" is slot 3).
  const char digit = t1.size() > 1 ? t1[1] : ' ';
  int32_t number = 0;
  if (digit >= '0' && digit <= '9') {
    number = digit - '0';
  } else if (digit != ' ') {
    io_status = 1;  // not a number
    return;
  }
  if (number < 1 || number > 9) {
    io_status = 1;
    return;
  }
  io_status = 0;
  file_slot_t& slot = file_command_state.slots[static_cast<size_t>(number)];

  if (flag_mask_test(opt_close)) {
    // The slot's kind decides: a file unit is always closed (it would stay open otherwise),
    // a window only with 0x20, and a window handle is never taken for a file unit.
    if (slot.window) {
      if (flag_mask_test(opt_close_window) && slot.unit > 0) {
        int status = 0;
        CLOSE_WINDOW(slot.unit, &status);
        io_status = status;
      }
    } else if (slot.unit > 0) {
      // The close keeps an earlier failed write, and reports a failed write of the last
      // buffered lines.
      note_write(slot, unit_close(slot.unit));
    }
    slot = file_slot_t{};
    return;
  }
  if (flag_mask_test(opt_open)) {
    open_slot(rec, slot);
    return;
  }
  const bool reading = flag_mask_test(opt_read);
  if (slot.unit > 0 && (reading || flag_mask_test(opt_write))) {
    if (slot.record_length > 0)
      direct_transfer(rec, slot, reading);
    else if (reading)
      sequential_read(rec, slot);
    else
      sequential_write(rec, slot, t1);
    return;
  }
  // Left: a read or write on a slot without a unit, or no sub-function at all, which on an
  // open slot does nothing.
  if (slot.unit == 0) {
    if (flag_mask_test(opt_window))
      io_status = -1;
    else
      command_failed("FMGR-Unit not open");
  } else if (slot.unit < 0) {
    command_failed("FMGR-CODE falsch");
  }
}
