// The program loader: finds the PXB file, resets the program image, reads the file into it and
// checks the result before the interpreter may run it.
#include <algorithm>
#include <array>
#include <iterator>
#include <string>

#include "quillon/api/quillon.h"
#include "runtime/program/areas.h"
#include "runtime/program/call_state.h"
#include "runtime/program/upper_services.h"
#include "runtime/program/program.h"
#include "runtime/program/program_image.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/program/text_tokens.h"
#include "runtime/program/upn_store.h"

namespace {


template <size_t N>
void put_padded(std::array<char, N>& field, std::string_view text) {
  field.fill(' ');
  std::copy_n(text.begin(), std::min(text.size(), N), field.begin());
}

// "help\htdocs\" and the executable's base name with its ending replaced by ".html".
void build_help_page() {
  std::string exe;
  GET_EXE_NAME(exe);
  exe = std::string(blank_trimmed(exe));
  const size_t slash = exe.find_last_of("\\/");
  if (slash != std::string::npos) exe = exe.substr(slash + 1);
  // On Linux the executable usually has no ending: the page gets ".html" all the same.
  const size_t dot = exe.rfind('.');
  exe = (dot != std::string::npos ? exe.substr(0, dot) : exe) + ".html";
  put_padded(help_page, "help\\htdocs\\" + exe);
  trace_str("my_help =", std::string_view(help_page.data(), help_page.size()));
}

// The file's contents into a fresh program image, for the program of that name.
void load_file_contents(std::string_view name, const std::string& contents) {
  load_program_image(contents);
  put_padded(load_state.name, name);
  // The new program starts without mouse areas.
  area_table.count = 0;
  area_table.current = -9999;
}

// Steps of every load, for a first load and for a chained program alike.
void load_from_file(std::string_view name) {
  // Automatic mode off; no key or menu of the old program stays bound; colour and origin stacks
  // empty, the drawing window the whole screen, no batch open.
  if (upper_services.reset_for_load != nullptr) upper_services.reset_for_load();
  try {
    load_file_contents(name, read_program_file(name));
  } catch (const program_end&) {
    note_load_failure();  // the run ends with the status of a program that could not be loaded
    throw;
  }
}

}  // namespace

void load_program(std::string_view name) {
  build_help_page();
  load_from_file(name);
  // The program is ready to run from code record 1; nothing runs yet.
  call_state.pc = 1;
  call_state.depth = 0;
  run_flags.busy = false;
}

void chain_program(std::string_view name) {
  // The RUN command has cleared the video stack and run init_common.  The old program's stores
  // go first, so that nothing of it is reachable from the new one.  The texts %0, %1 and %2 are
  // the run's, not the program's: the new program reads what the old one left in them.
  std::array<std::string, 3> percent_texts;
  std::array<bool, 3> percent_cut{};
  std::copy(std::begin(text_tokens.percent_slots), std::end(text_tokens.percent_slots), percent_texts.begin());
  std::copy(std::begin(text_tokens.percent_cut), std::end(text_tokens.percent_cut), percent_cut.begin());
  reset_program_image();
  load_from_file(name);
  std::copy(percent_texts.begin(), percent_texts.end(), std::begin(text_tokens.percent_slots));
  std::copy(percent_cut.begin(), percent_cut.end(), std::begin(text_tokens.percent_cut));
  // The RUN command's run goes on with the new program: its chain_flag makes the interpreter
  // restart at code record 1 on call level 1.
  call_state.pc = 1;
}
