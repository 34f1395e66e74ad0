// SYSVAR on the value stack: push a name and an argument, run the function, read the answer.
// Each test works in its own scratch directory; reports end in program_end (no boxes) and are
// logged there.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "runtime/commands/runtime.h"
#include "runtime/program/eval_library.h"
#include "runtime/program/expression/evaluator.h"
#include "support/stack_arguments.h"
#include "runtime/commands/sysvar_internal.h"

class sysvar_test : public ::testing::Test {
 protected:
  static constexpr int32_t no_error = INT32_MIN;
  std::filesystem::path dir, old_dir;

  void SetUp() override {
    old_dir = std::filesystem::current_path();
    dir = std::filesystem::temp_directory_path() /
          ("winkyr_sysvar_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    errors_reset();
    run_flags = run_flags_t{};
    run_flags.no_box = true;
    set_auto_mode(true);
    io_status = 0;
    reset_evaluator();
    random_reset();
    sysvar_reset();
  }
  void TearDown() override {
    sysvar_reset();
    reset_evaluator();  // the answers on the stack are P1.. for whatever test runs next
    std::error_code ec;
    std::filesystem::current_path(old_dir, ec);
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(dir, ec);
  }

  static void push_number(float v) { push_number_argument(v); }
  static void push_text(std::string_view t) { push_text_argument(t); }
  static void finish() {
    eval_SYSVAR();
    EXPECT_EQ(evaluator.sp, 1);
  }
  // SYSVAR(name, number) and SYSVAR(name, text); the answer is the top slot.
  static value_slot& sys(std::string_view name, float argument) {
    reset_evaluator();
    push_text(name);
    push_number(argument);
    finish();
    return evaluator.top();
  }
  static value_slot& sys(std::string_view name, std::string_view argument) {
    reset_evaluator();
    push_text(name);
    push_text(argument);
    finish();
    return evaluator.top();
  }
  // A numeric answer (and checks that it is one).
  static float num(std::string_view name, float argument) {
    const value_slot& s = sys(name, argument);
    EXPECT_TRUE(s.is_number()) << name;
    return s.value();
  }
  static float num(std::string_view name, std::string_view argument) {
    const value_slot& s = sys(name, argument);
    EXPECT_TRUE(s.is_number()) << name;
    return s.value();
  }
  // A text answer with its length (the value word carries the length too).
  static std::string text(std::string_view name, float argument) { return text_of(sys(name, argument)); }
  static std::string text(std::string_view name, std::string_view argument) {
    return text_of(sys(name, argument));
  }
  static std::string text_of(const value_slot& s) {
    EXPECT_FALSE(s.is_number());
    EXPECT_EQ(s.value(), static_cast<float>(s.type));
    return std::string(s.text_view());
  }

  // Runs `body`; the code of the report that ended the program, or no_error.
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
  // The message of the last line of the error log.
  static std::string last_error_message() {
    std::ifstream log("PXBERROR.LOG");
    std::string line, last;
    while (std::getline(log, line))
      if (!line.empty()) last = line;
    const size_t colon = last.find(':');
    return colon == std::string::npos ? std::string() : last.substr(colon + 1);
  }

  static void write_file(const std::string& name, const std::string& content) {
    std::ofstream(name, std::ios::binary) << content;
  }
  static std::string read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
};
