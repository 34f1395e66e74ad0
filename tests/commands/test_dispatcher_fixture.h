// Shared set-up of the event tests (areas, dispatcher, mouse handler, EVENT, HOTKEY): a
// headless runtime with clean event state, programs whose labels record that they ran, and
// helpers that send keys, timers and mouse events as the library does.
#pragma once

#include <Qt>

#include <string>
#include <vector>

#include "quillon/api/quillon.h"
#include "quillon/backend/backend.h"
#include "runtime/program/areas.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/events.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/screen/lists.h"
#include "support/runtime_fixture.h"

class events_fixture : public runtime_fixture {
 protected:
  // The command used as a marker: it records its target, so a label that ran can be seen.
  static constexpr int32_t marker_opcode = 30;  // PIXEL

  void SetUp() override {
    runtime_fixture::SetUp();
    ensure_test_application();
    areas_reset();
    dispatcher_reset();
    mouse_reset();
    reset_hotkeys();
    reset_event_labels();
    screen_link::reset();
    qnb::keys_reset();
    ran().clear();
    on_marker() = nullptr;
    set_command_handler(marker_opcode, &marker);
  }
  void TearDown() override {
    qnb::keys_reset();
    on_marker() = nullptr;
    runtime_fixture::TearDown();
  }

  // The main window's widget, after the runtime made it headless.
  QWidget* main_widget() {
    start_headless();
    return qnb::window_widget(main_window());
  }

  static std::vector<int32_t>& ran() {
    static std::vector<int32_t> r;
    return r;
  }
  // Runs inside a marker command (while the run is busy), with the marker's number.
  static void (*&on_marker())(int32_t) {
    static void (*hook)(int32_t) = nullptr;
    return hook;
  }
  static void marker(code_record& rec) {
    ran().push_back(rec.target);
    if (on_marker()) on_marker()(rec.target);
  }

  // n labels; label k (code index 2k - 1) records k and returns.
  static void labels(int32_t n) {
    std::vector<code_record> records;
    for (int32_t k = 1; k <= n; ++k) {
      records.push_back(make_record(marker_opcode, "PIXEL", k));
      records.push_back(make_record(3, "RETURN"));
    }
    set_program(records);
  }
  static constexpr int32_t label(int32_t k) { return 2 * k - 1; }

  // Appends an enabled area (BUTTON's way: x2 = x + width, y2 = y + height).
  static int32_t add_area(int32_t x, int32_t y, int32_t width, int32_t height, int32_t lbl,
                          int32_t type = area_button, int32_t kind = area_kind_plain) {
    const int32_t n = ++area_table.count;
    area_record& a = area(n);
    a = area_record{};
    a.x1 = x;
    a.y1 = y;
    a.x2 = x + width;
    a.y2 = y + height;
    a.type = type;
    a.kind = kind;
    a.label = lbl;
    a.enabled = logical_true;
    return n;
  }

  // The main window's widget, shown, after the runtime made it.
  QWidget* window() {
    start_headless();
    QWidget* w = qnb::window_widget(main_window());
    EXPECT_NE(w, nullptr);
    return w;
  }

  // List 1 (record 3) in an area at (20, 20) with the focus, in edit mode with the columns
  // "Name" (typed into program variable `name_variable`, 0 for none) and "Ort", rows "Meier" in
  // Bonn and "Huber" in Koeln, the cursor on row 1, shown on the window.
  static void focused_edit_list(int32_t name_variable) {
    int32_t status = 0;
    allocate_xmm(3, 2, 40, status);
    lst_put_row(3, 1, "Meier     Bonn");
    lst_put_row(3, 2, "Huber     Koeln");
    const int32_t n = add_area(20, 20, 300, 120, 0, area_list);
    area(n).list = 3;
    lst_area_setup();
    lst_tab(3, 1, 9, name_variable, "Name");
    lst_tab(3, 2, 9, 0, "Ort");
    lst_set_cursor(3, 1);
    area_table.state.focus = n;
    look_do_paint();
  }

  static void modifiers(bool ctrl, bool shift = false, bool alt = false) {
    Qt::KeyboardModifiers m;
    if (ctrl) m |= Qt::ControlModifier;
    if (shift) m |= Qt::ShiftModifier;
    if (alt) m |= Qt::AltModifier;
    qnb::note_modifiers(m);
  }
  static int32_t key_down(int32_t vk) { return qn_control(0x4100, vk); }
  static int32_t key_up(int32_t vk) { return qn_control(0x4101, vk); }
  static int32_t character(int32_t code) { return qn_control(0x4102, code); }

  // One mouse event as the library delivers it; buttons: 1 left, 2 right.
  static void mouse(int32_t x, int32_t y, int32_t buttons) {
    int32_t event = 0, window = 0, keystate = buttons;
    qn_point point{x, y}, second{};
    qn_rect drag{};
    mouse_event(event, point, drag, window, second, keystate);
  }
  static void click(int32_t x, int32_t y) {
    mouse(x, y, 1);
    mouse(x, y, 0);
  }

  // A PXB program of these code records, UPN expressions and text tokens, with these variable
  // records (one integer DUMMY unless told).
  static void load_pxb(const std::vector<std::string>& codes, const std::vector<std::string>& upn,
                       const std::vector<std::string>& tokens, std::vector<std::string> variables = {}) {
    if (variables.empty()) variables = {"&0001 I 0001:DUMMY"};
    std::string text = "[PROC]\nCSET=W\n[INIT]\n";
    text += "CODES=" + std::to_string(codes.size() + 1) + "\n";
    text += "UPNCODES=" + std::to_string(upn.size() + 1) + "\n";
    text += "UPNTOKENS=200\n";
    text += "TEXTTOKENS=" + std::to_string(tokens.size() + 1) + "\n";
    text += "TEXTCHARACTERS=2000\nVARIABLES=" + std::to_string(variables.size()) + "\nSTRINGSPACE=2000\nADRSPACE=200\n";
    text += "[VARIABLES]\n";
    for (const std::string& line : variables) text += line + "\n";
    text += "[UPNCODES]\n";
    for (const std::string& line : upn) text += line + "\n";
    text += "[TEXTTOKENS]\n";
    for (size_t i = 0; i < tokens.size(); ++i) {
      char head[32];
      std::snprintf(head, sizeof head, "@%04zu ", i + 1);
      text += head + tokens[i] + "|\n";
    }
    text += "[LABELS]\n[CODES]\n";
    for (const std::string& line : codes) text += line + "\n";
    load_program_image(text);
  }
};
