#include "runtime_fixture.h"

#include <unistd.h>

// Ahead of Qt, whose "slots" keyword macro would rename the FILE command's slot table and the
// evaluator's value slots.
#include "runtime/commands/file_command.h"
#include "runtime/program/expression/evaluator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <ctime>
#include <fstream>
#include <sstream>

#include "other_user.h"
#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/debugger.h"
#include "runtime/commands/draw_state.h"
#include "runtime/program/areas.h"
#include "runtime/commands/area_command.h"
#include "runtime/commands/events.h"
#include "runtime/commands/menus.h"
#include "runtime/program/file_units.h"
#include "runtime/commands/interpreter.h"
#include "runtime/screen/bitmap_cache.h"
#include "runtime/screen/mouse_wait.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/video_stack.h"
#include "runtime/program/upn_store.h"

void runtime_fixture::SetUp() {
  static int serial = 0;
  dir = std::filesystem::temp_directory_path() /
        ("winkyr_core_" + std::to_string(getpid()) + "_" + std::to_string(++serial));
  std::filesystem::create_directories(dir);
  old_dir_ = std::filesystem::current_path();
  std::filesystem::current_path(dir);

  // The runtime's own tables first, while the library still knows the handles they release.
  bitmap_cache_reset();
  video_stack_reset();
  menus_reset();
  qn_reset();
  reset_screens();
  reset_font_text();  // no font handle of an earlier start-up survives the library's reset
  command_text_reset();  // the message fields where a program's MESS put them are gone with it
  screen_metrics = screen_metrics_t{};  // the menu bar of an earlier program no longer shortens WIN(-4)
  draw_state_reset();
  areas_reset();
  area_command_reset();
  array_command_reset();
  run_commands_reset();
  dispatcher_reset();
  debugger_reset();
  errors_reset();
  trace_reset();
  interpreter_reset();
  file_command_reset();  // no FILE slot of a program an earlier test ended stays open
  file_units_reset();
  main_window_reset();
  set_auto_mode(false);  // also the warning box's own flag, which an earlier test may have left on
  run_flags = run_flags_t{};
  reset_level_stack();  // the run starts at level 1: a level an earlier test's SUBMEN opened is gone
  mouse_reset();  // no button left held by an earlier test: a slider or list press would wait for its release
  mouse_wait_reset();  // MOUSE reads in program coordinates until a program switches to window mode
  io_status = 0;
  reset_evaluator();  // no P1..P10 or last reference of an earlier test's expression
  program_image = program_image_t{};
  free_variable_space();  // no variable of an earlier program is found by name
  alloc_array_space(0);
  qn_set_box_answerer([this](std::string_view text, std::string_view caption, int32_t style) {
    boxes.push_back({std::string(text), std::string(caption), style});
    return box_answer;
  });
}

void runtime_fixture::set_parameter_register(int32_t i, float value) {
  ASSERT_TRUE(i >= 1 && i <= 10);
  evaluator.slot(i).set_number(value);
}

void runtime_fixture::TearDown() {
  qn_set_box_answerer(nullptr);
  file_command_reset();
  file_units_reset();
  interpreter_reset();
  main_window_reset();
  reset_screens();
  reset_font_text();
  qn_reset();
  std::filesystem::current_path(old_dir_);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

std::string runtime_fixture::work_where_others_may_enter() {
  std::string problem;
  const std::filesystem::path shared = make_folder_others_may_enter("winkyr_core", problem);
  if (shared.empty()) return problem;
  std::filesystem::current_path(shared);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  dir = shared;
  return {};
}

int32_t runtime_fixture::start_headless() { return create_main_window(); }

void runtime_fixture::pump_for(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) {
    if (process_pending_messages() == 0) break;
    usleep(1000);
  }
}

std::string runtime_fixture::file_text(const std::string& name) const {
  // Read as the runtime's own readers do: what its writers hold for the file is flushed first.
  flush_file_writers((dir / name).string());
  std::ifstream in(dir / name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::vector<std::string> runtime_fixture::file_lines(const std::string& name) const {
  std::vector<std::string> lines;
  std::istringstream in(file_text(name));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void ensure_test_application() {
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "winkyr-test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // kept to the end of the process, as the library does
  QApplication::setQuitOnLastWindowClosed(false);
}

code_record make_record(int32_t opcode, std::string_view text, int32_t target, int32_t flags) {
  code_record rec;
  rec.opcode = opcode;
  rec.target = target;
  rec.flags = flags;
  rec.text.fill(' ');
  for (size_t i = 0; i < text.size() && i < rec.text.size(); ++i) rec.text[i] = text[i];
  return rec;
}

void set_program(const std::vector<code_record>& records) {
  program_image.codes.assign(1, code_record{});
  program_image.codes.insert(program_image.codes.end(), records.begin(), records.end());
  program_image.code_count = static_cast<int32_t>(records.size());
}

std::string log_date() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[40];
  std::snprintf(text, sizeof text, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
  return text;
}
