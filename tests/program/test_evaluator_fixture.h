// A small program image built in memory for the evaluator, variable and command tests: variables,
// text tokens and compiled expressions, a scratch directory as the working directory, and error
// reports caught as the program end they cause (automatic mode: no boxes).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/file_units.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/program/text_tokens.h"
#include "runtime/program/upn_store.h"

class evaluator_test : public ::testing::Test {
 protected:
  static constexpr int32_t no_error = INT32_MIN;

  std::filesystem::path dir;
  int32_t next_variable = 1;
  int32_t next_word = 1;
  int32_t next_char = 1;

  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("winkyr_eval_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    errors_reset();
    trace_reset();  // no trace to "$PXBDUMP.TXT" that an earlier test switched on
    run_flags = run_flags_t{};
    run_flags.no_box = true;
    run_flags.auto_mode = true;
    io_status = 0;
    reset_program_image();
    interpreter_reset();
    alloc_upn_index(200);
    alloc_upn_codes(4000);
    alloc_text_bytes(8000);
    alloc_text_tokens(100);
    alloc_variable_space(40);
    alloc_array_space(400);
    for (auto& w : ADRSPACE.words) w = 0;
    STRING_BUFFER.blank();
    reset_evaluator();
  }

  void TearDown() override {
    file_units_reset();
    std::error_code ec;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ec);
    std::filesystem::remove_all(dir, ec);
  }

  // A numeric variable (type 1, 3 or 7) of `dimension` words.
  int32_t numeric_variable(const std::string& name, int32_t type, int32_t dimension = 1) {
    const int32_t v = next_variable++;
    variable_record var{};
    set_name(var, name);
    var.type = type;
    var.dimension = dimension;
    var.start = next_word;
    var.width = type == var_real ? 8 : 5;
    var.decimals = type == var_real ? 2 : 0;
    var.range_min = -9979.0f;
    var.range_max = 9999.0f;
    next_word += dimension;
    define_variable(v, var);
    return v;
  }

  // A text variable (type 4 or 5) of `dimension` elements of `length` characters.
  int32_t text_variable(const std::string& name, int32_t length, int32_t dimension = 1,
                        int32_t type = var_text) {
    const int32_t v = next_variable++;
    variable_record var{};
    set_name(var, name);
    var.type = type;
    var.dimension = dimension;
    var.start = length;
    var.text_start = next_char;
    var.text_end = next_char + length - 1;
    var.width = length;
    var.decimals = length;
    next_char += length * dimension;
    define_variable(v, var);
    return v;
  }

  static void set_name(variable_record& var, const std::string& name) {
    var.name.fill(' ');
    for (size_t i = 0; i < name.size() && i < var.name.size(); ++i) var.name[i] = name[i];
  }

  // Element k (1-based) of a variable.
  int32_t int_at(int32_t v, int32_t k = 1) { return ADRSPACE.get_int(record(v).start + k - 1); }
  float real_at(int32_t v, int32_t k = 1) { return ADRSPACE.get_real(record(v).start + k - 1); }
  void set_int(int32_t v, int32_t value, int32_t k = 1) { ADRSPACE.set_int(record(v).start + k - 1, value); }
  void set_real(int32_t v, float value, int32_t k = 1) { ADRSPACE.set_real(record(v).start + k - 1, value); }
  std::string text_at(int32_t v, int32_t k = 1) {
    const variable_record& var = record(v);
    return std::string(STRING_BUFFER.view(var.text_start + var.start * (k - 1), var.start));
  }
  void set_text(int32_t v, const std::string& text, int32_t k = 1) {
    const variable_record& var = record(v);
    STRING_BUFFER.write(var.text_start + var.start * (k - 1), var.start, text);
  }
  static const variable_record& record(int32_t v) { return variable_table.records[static_cast<size_t>(v)]; }
  // Variable v's record for its output fields (width, decimals), written directly.
  static variable_record& output_fields(int32_t v) { return variable_table.records[static_cast<size_t>(v)]; }
  // Changes variable v's layout (type, dimension, start, text range, run-time array) as the
  // runtime does, through the table's layout routines.
  template <typename Change>
  static void relayout(int32_t v, Change change) {
    variable_record var = record(v);
    change(var);
    define_variable(v, var);
  }

  // Compiles one expression; returns its number.
  static int32_t expr(const std::string& text) {
    std::string line = text;
    line.resize(256, ' ');
    compile_upn(line);
    return upn_code.expression_count;
  }
  // Stores a text token (the record's end character is added here); returns its number.
  static int32_t token(const std::string& text) {
    add_text_token(text + "|");
    return text_tokens.next_token - 1;
  }

  // Runs `body`; the code of the error report that ended it, or no_error.
  // Each call starts with a reporter that has not ended the program yet.
  template <class F>
  static int32_t error_of(F&& body) {
    errors_reset();
    try {
      body();
    } catch (const program_end& end) {
      return end.code;
    }
    return no_error;
  }
  // Evaluates and returns the code of the report, or no_error.
  static int32_t eval_error(int32_t expression, int32_t count) {
    return error_of([&] { evaluate_upn(expression, count); });
  }
  // The message of the last line of the error log.
  static std::string last_error_message() {
    std::ifstream log("PXBERROR.LOG");
    std::string line, last;
    while (std::getline(log, line))
      if (!line.empty()) last = line;
    const size_t colon = last.find(':');
    return colon == std::string::npos ? std::string() : last.substr(colon + 1);
  }

  static float P(int32_t i) { return param_registers[i]; }
  static std::string top_text() { return std::string(evaluator.top().text_view()); }
};
