// Starting the runtime headless in a test: a private working directory (the logs land there),
// every state block of the runtime and the library reset, message boxes answered by the test,
// and program images built in memory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/program/program_image.h"

// One message box the runtime showed.
struct box_seen {
  std::string text, caption;
  int32_t style = 0;
};

class runtime_fixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The main window as qn_main makes it (colours, pens, screen 0, window, mouse capture).
  int32_t start_headless();
  // Pumps the library's queue for about `ms` milliseconds.
  void pump_for(int ms);
  // Sets P1..P10 as an expression leaves them (for the commands that test them, such as JZ), in
  // test files where the evaluator's header cannot follow Qt's.
  void set_parameter_register(int32_t i, float value);

  // Every box is answered with box_answer (IDOK unless the test changes it) and recorded.
  int32_t box_answer = 1;
  std::vector<box_seen> boxes;

  std::filesystem::path dir;  // the working directory of the test
  // Moves the working directory to a fresh one that other users may enter, for a test that runs
  // part of itself as another user: "", or why none could be made.
  std::string work_where_others_may_enter();
  // Contents of a file of the working directory ("" when missing), and its lines.
  std::string file_text(const std::string& name) const;
  std::vector<std::string> file_lines(const std::string& name) const;

 private:
  std::filesystem::path old_dir_;
};

// Makes the Qt application the library would make, so that a test can arm Qt timers before
// the runtime starts.
void ensure_test_application();

// A code record with the command text blank-padded to 40 characters.
code_record make_record(int32_t opcode, std::string_view text, int32_t target = 0, int32_t flags = 0);
// Makes the program image hold exactly these records as 1..n.
void set_program(const std::vector<code_record>& records);
// Today's date as the logs write it ("yyyymmdd").
std::string log_date();
