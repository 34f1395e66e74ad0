// Common set-up of the list tests: the runtime fixture (boxes answered and recorded, private
// working directory), every list and the row store empty, and screen 0 as a 640 x 480 bitmap
// for the drawing tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/row_store.h"
#include "runtime/screen/screen.h"
#include "support/runtime_fixture.h"

class list_test : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    reset_font_text();
    reset_lists();
    int32_t width = 640;
    screen_init(0, width, 480);
  }
  void TearDown() override {
    reset_lists();
    reset_font_text();
    runtime_fixture::TearDown();
  }

  // A row text blank-padded to the width the tests compare.
  static std::string padded(std::string text, size_t width = 20) {
    text.resize(width, ' ');
    return text;
  }
  // Row r of list n, its first `width` characters.
  static std::string row(int32_t n, int32_t r, int32_t width = 20) { return lst_get_row(n, r, width); }

  // A list n with the given rows (row length 20).
  static void make_list(int32_t n, std::initializer_list<const char*> rows) {
    int32_t status = -1;
    allocate_xmm(n, static_cast<int32_t>(rows.size()), 20, status);
    ASSERT_EQ(status, 0);
    int32_t r = 1;
    for (const char* text : rows) lst_put_row(n, r++, text);
  }

  // Texts of the boxes shown so far, trimmed.
  std::string last_box() const {
    if (boxes.empty()) return "";
    std::string t = boxes.back().text;
    t.erase(t.find_last_not_of(' ') + 1);
    return t;
  }
};
