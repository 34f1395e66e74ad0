// QUERY, SELECT and MOUSE run as commands of small PXB programs, with boxes, the file dialog
// and the mouse answered by the test.
#include <gtest/gtest.h>

#include <deque>

#include "runtime/commands/runtime.h"
#include "runtime/commands/events.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/output/plot/plot.h"
#include "runtime/screen/mouse_wait.h"
#include "test_debugger_fixture.h"

namespace {

// 1 the file variable, 2 an integer.
constexpr std::string_view variables = "&0001 S 0001*040:FS_SELECT/\n&0002 I 0001:N/0\n";

struct dialog_seen {
  std::string title, filter;
  bool must_exist = false, create_prompt = false;
};

class dialog_commands : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    query_answer = {};
    qn_set_file_dialog_answerer([this](const file_dialog_opts& o, std::string& chosen) {
      dialogs.push_back({std::string(o.title), std::string(o.filter), o.must_exist, o.create_prompt});
      chosen = dialog_choice;
      return !dialog_choice.empty();
    });
  }
  void TearDown() override {
    qn_set_file_dialog_answerer(nullptr);
    mouse_wait_set_poll(nullptr);
    runtime_fixture::TearDown();
  }
  void run(std::string_view upn, std::string_view tokens, std::string_view codes) {
    load_program_image(small_program(variables, upn, tokens, std::string(codes) + "RETURN\n"));
    interpreter(1);
  }
  static std::string fs_select() {
    const variable_record& v = variable_table.records[1];
    std::string_view t = STRING_BUFFER.view(v.text_start, v.start);
    return std::string(t.substr(0, t.find_last_not_of(' ') + 1));
  }
  // The mouse plays these states (x, y, left, right), the last one for ever.
  void play_mouse(std::vector<std::array<int32_t, 4>> states) {
    auto queue = std::make_shared<std::deque<std::array<int32_t, 4>>>(states.begin(), states.end());
    mouse_wait_set_poll([queue](int32_t& x, int32_t& y, int32_t& left, int32_t& right) {
      const auto s = queue->front();
      if (queue->size() > 1) queue->pop_front();
      x = s[0], y = s[1], left = s[2], right = s[3];
      return true;
    });
  }

  std::vector<dialog_seen> dialogs;
  std::string dialog_choice = "daten/kunde.dat";
};

// ---------------------------------------------------------------- QUERY

TEST_F(dialog_commands, QueryWithOneTokenTakesTheWindowTitleAsCaption) {
  start_headless();
  box_answer = IDYES;
  run("", "@0001 Weiter?|\n", "QUERY @0001\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Weiter?");
  EXPECT_EQ(boxes[0].caption, "WinKYR");
  EXPECT_EQ(boxes[0].style, MB_YESNO | MB_ICONQUESTION | MB_SYSTEMMODAL);
  EXPECT_EQ(query_answer.yes, 1);
  EXPECT_EQ(query_answer.cancel, 0);
}

TEST_F(dialog_commands, QueryDropsTheLeadingNumberWordAndTakesTheSecondTokenAsCaption) {
  start_headless();
  box_answer = IDCANCEL;
  run("", "@0001 #12 Wirklich loeschen?|\n@0002 Kunden|\n", "/00000801 QUERY @0001 @0002\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Wirklich loeschen?");
  EXPECT_EQ(boxes[0].caption, "Kunden");
  EXPECT_EQ(boxes[0].style, MB_OKCANCEL | MB_ICONASTERISK | MB_SYSTEMMODAL);
  EXPECT_EQ(query_answer.yes, 0);
  EXPECT_EQ(query_answer.cancel, 1);
}

TEST_F(dialog_commands, QueryButtonsByOptionAndNoLeavesBothAnswersClear) {
  start_headless();
  query_answer = {1, 1};
  box_answer = IDNO;
  run("", "@0001 Frage|\n", "/00000800 QUERY @0001\n/00000001 QUERY @0001\n");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].style, MB_YESNOCANCEL | MB_ICONQUESTION | MB_SYSTEMMODAL);
  EXPECT_EQ(boxes[1].style, MB_OK | MB_ICONASTERISK | MB_SYSTEMMODAL);
  EXPECT_EQ(query_answer.yes, 0);
  EXPECT_EQ(query_answer.cancel, 0);
}

TEST_F(dialog_commands, AutomaticModeShowsNoBoxUntilSwitchedOffAgain) {
  start_headless();
  query_answer = {1, 0};
  run("#1\n#0\n", "@0001 Frage|\n", "/00000080 QUERY %0001\nQUERY @0001\n");
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(get_auto_mode());
  EXPECT_EQ(query_answer.yes, 0);
  EXPECT_EQ(query_answer.cancel, 0);
  // A load switches the mode off; so the second program switches it on and off itself.
  run("#1\n#0\n", "@0001 Frage|\n", "/00000080 QUERY %0001\n/00000080 QUERY %0002\nQUERY @0001\n");
  EXPECT_FALSE(get_auto_mode());
  EXPECT_EQ(boxes.size(), 1u);
}

// ---------------------------------------------------------------- SELECT

TEST_F(dialog_commands, SelectStoresTheChoiceAndSuccess) {
  start_headless();
  run("", "@0001 Kunde laden|\n@0002 Daten|*.dat|\n", "/00000400 SELECT @0001 @0002\n");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].title, "Kunde laden");
  EXPECT_EQ(dialogs[0].filter, "Daten|*.dat");
  EXPECT_TRUE(dialogs[0].must_exist);
  EXPECT_FALSE(dialogs[0].create_prompt);
  EXPECT_EQ(fs_select(), "daten/kunde.dat");
  EXPECT_EQ(query_answer.yes, 1);
}

TEST_F(dialog_commands, SelectWithEqualTextsPassesABlankFilterAndCancelGivesNoSuccess) {
  start_headless();
  dialog_choice.clear();
  query_answer.yes = 1;
  run("", "@0001 Datei|\n@0002 Datei|\n", "SELECT @0001 @0002\n");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].filter, "");
  EXPECT_EQ(query_answer.yes, 0);
  EXPECT_EQ(fs_select(), "");
}

TEST_F(dialog_commands, SelectWithBlankTitleChoosesTheTitleByTheCreateFlag) {
  start_headless();
  run("", "@0001  |\n@0002 *.txt|\n", "/00000800 SELECT @0001 @0002\nSELECT @0001 @0002\n");
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[0].title, "Datei w\xE4hlen");
  EXPECT_TRUE(dialogs[0].create_prompt);
  EXPECT_EQ(dialogs[1].title, "Neue Datei w\xE4hlen");
  EXPECT_FALSE(dialogs[1].create_prompt);
}

TEST_F(dialog_commands, SelectOption128StoresThePlotFileName) {
  start_headless();
  set_plot_file("GRAFIK.PLT");
  const std::string expected = [] {
    std::string f = get_plot_file();
    return f.substr(0, f.find_last_not_of(' ') + 1);
  }();
  run("", "", "/00000080 SELECT\n");
  EXPECT_TRUE(dialogs.empty());
  EXPECT_EQ(fs_select(), expected.substr(0, 40));
}

// ---------------------------------------------------------------- MOUSE

TEST_F(dialog_commands, MouseWaitsForALeftOrRightClick) {
  start_headless();
  mouse_state.buttons = 1;  // a button held at the call: its release comes first
  play_mouse({{5, 5, 1, 0}, {10, 20, 0, 0}, {10, 20, 1, 0}, {10, 20, 0, 0}});
  run("#0\n", "", "/00000200 MOUSE %0001\n");
  EXPECT_EQ(mouse_registers.buttons, 1);
  mouse_state.buttons = 0;
  int32_t x = 0, y = 0, s = 0;
  play_mouse({{10, 20, 0, 0}});
  wait_mouse_rect(x, y, s, 0);
  EXPECT_EQ(mouse_registers.x, x);
  EXPECT_EQ(mouse_registers.y, y);
  play_mouse({{30, 40, 0, 0}, {30, 40, 0, 1}, {30, 40, 0, 0}});
  run("#0\n", "", "/00000200 MOUSE %0001\n");
  EXPECT_EQ(mouse_registers.buttons, 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(dialog_commands, MousePausesThenSamplesOrSamplesAtOnce) {
  start_headless();
  play_mouse({{7, 8, 1, 1}});
  run("#250\n", "", "/00000200 MOUSE %0001\n");
  EXPECT_TRUE(boxes.empty());  // a pause is no error
  EXPECT_EQ(mouse_registers.buttons, 3);
  play_mouse({{7, 8, 0, 1}});
  run("", "", "/00008000 MOUSE\n");
  EXPECT_EQ(mouse_registers.buttons, 2);
}

TEST_F(dialog_commands, MouseCursorFormsChangeNothingAndNoOptionIsACommandError) {
  start_headless();
  mouse_registers = {3, 4, 1};
  run("#2\n", "", "/00000100 MOUSE %0001\n/00000001 MOUSE %0001\n/00000400 MOUSE %0001\n");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(mouse_registers.x, 3);
  EXPECT_EQ(mouse_registers.buttons, 1);
  run("#2\n", "", "MOUSE %0001\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR     1");
}

}  // namespace
