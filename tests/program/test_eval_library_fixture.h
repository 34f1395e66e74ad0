// Value-stack fixture for the library-function tests: push operands, run one code, read the
// result; reports end in program_end (no boxes) and are logged in a private directory.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

#include "runtime/commands/runtime.h"
#include "runtime/program/eval_library.h"
#include "runtime/program/expression/evaluator.h"
#include "support/stack_arguments.h"
#include "runtime/screen/screen.h"

class EvalLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = std::filesystem::temp_directory_path() / "exprlib_XXXXXX";
    dir_ = mkdtemp(pattern.data());
    old_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    errors_reset();
    run_flags.no_box = true;
    set_auto_mode(true);  // warnings are traced, never shown in a box
    reset_evaluator();
    random_reset();
  }
  void TearDown() override {
    std::filesystem::current_path(old_dir_);
    std::filesystem::remove_all(dir_);
  }

 public:
  static void push(float v) { push_number_argument(v); }
  static void push_text(std::string_view t) { push_text_argument(t); }
  static void run(int32_t code) { eval_library_function(code, 0); }
  static float top_value() { return evaluator.top().value(); }
  static int32_t top_type() { return evaluator.top().type; }
  static std::string top_text() { return std::string(evaluator.top().text_view()); }

  // One-argument function of a number.
  static float f1(int32_t code, float v) {
    reset_evaluator();
    push(v);
    run(code);
    EXPECT_EQ(evaluator.sp, 1);
    return top_value();
  }
  // Two-argument function of two numbers.
  static float f2(int32_t code, float a, float b) {
    reset_evaluator();
    push(a);
    push(b);
    run(code);
    EXPECT_EQ(evaluator.sp, 1);
    EXPECT_EQ(top_type(), -1);
    return top_value();
  }
  // Two-argument function of two texts.
  static float t2(int32_t code, std::string_view a, std::string_view b) {
    reset_evaluator();
    push_text(a);
    push_text(b);
    run(code);
    EXPECT_EQ(evaluator.sp, 1);
    return top_value();
  }

  // Runs `body` and returns the code of the program end it caused, or -1 when it returned.
  template <class F>
  static int32_t end_code(F&& body) {
    try {
      body();
    } catch (const program_end& e) {
      return e.code;
    }
    return -1;
  }
  // The error log written so far.
  static std::string error_log() {
    std::ifstream in("PXBERROR.LOG");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

 protected:
  std::filesystem::path dir_, old_dir_;
};
