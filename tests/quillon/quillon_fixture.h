// Common set-up of the library tests: a private working directory, a clean library, and
// helpers to pump the event loop and to reach the Qt widget behind a window handle.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "quillon/api/quillon.h"
#include "quillon/backend/backend.h"

class quillon_test : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    dir_ = std::filesystem::temp_directory_path() /
           ("winkyr_quillon_" + std::to_string(getpid()) + "_" + std::to_string(++serial));
    std::filesystem::create_directories(dir_);
    old_dir_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    qn_reset();
    qn_set_exit_hook([this](int code) { exit_codes.push_back(code); });
    qn_set_box_answerer([this](std::string_view text, std::string_view caption, int32_t style) {
      boxes.push_back({std::string(text), std::string(caption), style});
      return box_answer;
    });
  }

  void TearDown() override {
    qn_reset();
    std::filesystem::current_path(old_dir_);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Runs the event loop until `done` holds or the time is up; true when it held.
  static bool pump_until(const std::function<bool()>& done, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > ms) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      usleep(1000);
    }
    return true;
  }
  static void pump_for(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      usleep(1000);
    }
  }

  // A bitmap filled with one colour (0x00BBGGRR).
  static int32_t filled_bitmap(int w, int h, uint32_t colour) {
    const int32_t b = CREATE_BITMAP(w, h);
    ups u;
    START_BITMAP_DRAW(b, u);
    NEW_PEN(u, {.colour = colour});
    NEW_BRUSH(u, {.colour = colour});
    DRAW_RECTANGLE(u, {.px = qn_rect{0, 0, w, h}});
    END_BITMAP_DRAW(u);
    return b;
  }
  static uint32_t pixel_of(int32_t bitmap, int x, int y) {
    ups u;
    START_BITMAP_DRAW(bitmap, u);
    const uint32_t c = GET_PIXEL(u, {x, y});
    END_BITMAP_DRAW(u);
    return c;
  }
  static std::string read_file(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }

  struct box_seen {
    std::string text, caption;
    int32_t style;
  };
  std::vector<box_seen> boxes;
  int32_t box_answer = IDYES;
  std::vector<int> exit_codes;
  std::filesystem::path dir_, old_dir_;
};
