// The automatic mode and the warning box with its two question forms.
#include "screen_fixture.h"

namespace {

struct seen_box {
  int32_t count = 0;
  std::string text, caption;
  int32_t style = -1;
};

}  // namespace

class warning : public screen_test {
 protected:
  // Answers every box with `answer` and records the last one.
  void answer_boxes(int32_t answer) {
    qn_set_box_answerer([this, answer](std::string_view t, std::string_view c, int32_t style) {
      ++box_.count;
      box_.text = t;
      box_.caption = c;
      box_.style = style;
      return answer;
    });
  }
  // Trace lines reach the DEBUG window once it is open.
  std::vector<std::string> trace_lines() { return qn_scroll_lines(debug_window()); }
  seen_box box_;
};

TEST_F(warning, AutoModeSetsTheReportersNoBoxFlag) {
  set_auto_mode(true);
  EXPECT_TRUE(get_auto_mode());
  EXPECT_TRUE(run_flags.auto_mode);
  EXPECT_TRUE(run_flags.no_box);
  set_auto_mode(false);
  EXPECT_FALSE(get_auto_mode());
  EXPECT_FALSE(run_flags.no_box);
}

TEST_F(warning, BoxShowsTheMessageWithOkAndExclamationWithoutCaption) {
  answer_boxes(IDOK);
  warning_box("Kein Drucker", "   ");
  ASSERT_EQ(box_.count, 1);
  EXPECT_EQ(box_.text, "Kein Drucker");
  EXPECT_EQ(box_.caption, "");
  EXPECT_EQ(box_.style, MB_OK | MB_ICONEXCLAMATION);
}

TEST_F(warning, LeadingHashWordIsDropped) {
  answer_boxes(IDOK);
  warning_box("#W17 Papier fehlt", "");
  EXPECT_EQ(box_.text, "Papier fehlt");
  // Without a blank inside the 64 characters nothing is dropped.
  const std::string long_word = "#" + std::string(70, 'x');
  warning_box(long_word, "");
  EXPECT_EQ(box_.text, long_word.substr(0, 64));
  // A lone hash word leaves an empty message.
  warning_box("#nur", "");
  EXPECT_EQ(box_.text, "");
}

TEST_F(warning, DetailFollowsAColonWithoutBlanks) {
  answer_boxes(IDOK);
  warning_box("#P3 Datei fehlt   ", "  FORM1.FRM  ");
  EXPECT_EQ(box_.text, "Datei fehlt:FORM1.FRM");
  // The detail is kept whole even past the 64 characters of the message.
  const std::string detail(80, 'd');
  warning_box(std::string(64, 'm'), detail);
  EXPECT_EQ(box_.text, std::string(64, 'm') + ":" + detail);
}

TEST_F(warning, AutomaticModeTracesInsteadOfShowing) {
  open_main_window();
  debug_open();
  answer_boxes(IDOK);
  set_auto_mode(true);
  warning_box("#W5 Plotter aus", "HPGL");
  EXPECT_EQ(box_.count, 0);
  EXPECT_EQ(last_warning_message(), "Plotter aus:HPGL");
  const std::vector<std::string> lines = trace_lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "*AUTO WARNING*Plotter aus:HPGL");
}

TEST_F(warning, YesNoCancelQuestion) {
  answer_boxes(IDYES);
  EXPECT_EQ(warning_box3("#Q1 Speichern?", ""), 1);
  EXPECT_EQ(box_.text, "Speichern?");
  EXPECT_EQ(box_.style, MB_YESNOCANCEL | MB_ICONQUESTION);
  answer_boxes(IDCANCEL);
  EXPECT_EQ(warning_box3("Speichern?", ""), 0);
  answer_boxes(IDNO);
  EXPECT_EQ(warning_box3("Speichern?", ""), 2);
  answer_boxes(IDOK);
  EXPECT_EQ(warning_box3("Speichern?", ""), 1);
}

TEST_F(warning, YesNoQuestion) {
  answer_boxes(IDYES);
  EXPECT_TRUE(warning_box2("Weiter?", "Seite 2"));
  EXPECT_EQ(box_.text, "Weiter?:Seite 2");
  EXPECT_EQ(box_.style, MB_YESNO | MB_ICONQUESTION);
  answer_boxes(IDNO);
  EXPECT_FALSE(warning_box2("Weiter?", ""));
}

TEST_F(warning, QuestionsInAutomaticModeAnswerThemselves) {
  open_main_window();
  debug_open();
  answer_boxes(IDYES);
  set_auto_mode(true);
  EXPECT_EQ(warning_box3("#Q1 Speichern?", ""), 2);
  EXPECT_EQ(trace_lines().back(), "*AUTO WARNUNG3*Speichern?");
  EXPECT_FALSE(warning_box2("Weiter?", ""));
  EXPECT_EQ(trace_lines().back(), "*AUTO WARNUNG2*Weiter?");
  EXPECT_EQ(box_.count, 0);
}
