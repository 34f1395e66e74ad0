// Common set-up of the loader, text-token and compiler tests: a private working directory (the
// error log lands there), a clean program image, and no message boxes (errors end the load with
// program_end after one log line).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/program_image.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/program/text_tokens.h"
#include "runtime/program/upn_store.h"

class loader_test : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("winkyr_loader_" + std::to_string(getpid()) + "_" + std::to_string(++serial));
    std::filesystem::create_directories(dir_);
    old_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    reset_program_image();
    errors_reset();
    trace_reset();
    run_flags = run_flags_t{};
    run_flags.no_box = true;
  }

  void TearDown() override {
    qn_set_box_answerer(nullptr);
    reset_program_image();
    std::filesystem::current_path(old_dir_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Lines joined into a file's contents.
  static std::string pxb(std::initializer_list<std::string_view> lines) {
    std::string text;
    for (std::string_view line : lines) {
      text += line;
      text += '\n';
    }
    return text;
  }

  // A program with the usual [INIT] sizes in front of the given sections.
  static std::string program(std::initializer_list<std::string_view> body, std::string_view codes = "CODES=0010") {
    std::string text = pxb({"[PROC]", "[INIT]", codes, "UPNCODES=20", "UPNTOKENS=100", "TEXTTOKENS=20",
                            "TEXTCHARACTERS=2000", "VARIABLES=20", "STRINGSPACE=20480", "ADRSPACE=100"});
    text += pxb(body);
    return text;
  }

  // Loads contents; the code with which the load ended the program, or nothing when it loaded.
  static std::optional<int32_t> load(std::string_view contents) {
    errors_reset();  // each load starts as a fresh program run
    try {
      load_program_image(contents);
    } catch (const program_end& end) {
      return end.code;
    }
    return std::nullopt;
  }

  // The last line of the error log, without its date: "KYR-ERROR 32000:message".
  static std::string last_error() {
    std::ifstream log("PXBERROR.LOG", std::ios::binary);
    std::string line, last;
    while (std::getline(log, line)) last = line;
    const size_t dash = last.find('-');
    return dash == std::string::npos ? last : last.substr(dash + 1);
  }

  // Expects the load to end the program with exactly this logged message and code.
  void expect_load_error(std::string_view contents, std::string_view message, int32_t code = 32000) {
    const auto ended = load(contents);
    ASSERT_TRUE(ended.has_value()) << "loaded without error, expected " << message;
    EXPECT_EQ(*ended, code);
    std::string header = error_header(code);
    header.erase(header.find_last_not_of(' ') + 1);
    EXPECT_EQ(last_error(), header + ":" + std::string(message));
  }

  static void write_file(const std::filesystem::path& path, std::string_view contents) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << contents;
  }

  static std::string token(int32_t n, int32_t length = 256) { return get_text_token(n, length); }

  static std::string padded(std::string_view text, size_t length) {
    std::string out(text);
    out.resize(length, ' ');
    return out;
  }

  std::filesystem::path dir_, old_dir_;
};
