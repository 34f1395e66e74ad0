// SYSVAR: how names are matched and reported, and the services of the program's state, the
// process environment, text measurement and the scrambler.
#include <cstdlib>
#include <string>

#include "runtime/commands/interpreter.h"
#include "runtime/program/areas.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/video_stack.h"
#include "test_sysvar_fixture.h"

namespace {

TEST_F(sysvar_test, NamesMatchWithoutCaseAndTrailingBlanks) {
  screen_metrics = screen_metrics_t{};
  EXPECT_EQ(num("xres", 0.0f), 640.0f);
  EXPECT_EQ(num("XRES", 0.0f), 640.0f);
  EXPECT_EQ(num("xReS      ", 0.0f), 640.0f);
  EXPECT_EQ(num("YRes", 0.0f), 480.0f);
}

TEST_F(sysvar_test, UnknownNameIsReportedWithCodeOneAndTheLowerCasedName) {
  EXPECT_EQ(error_of([] { sys("XRESX", 0.0f); }), 1);
  EXPECT_EQ(last_error_message(), "SYS:xresx");
  EXPECT_EQ(evaluator.sp, 1);
  EXPECT_TRUE(evaluator.top().is_number());
  EXPECT_EQ(evaluator.top().value(), 0.0f);
  // While debugging is allowed the program goes on after the box, with the answer 0.
  run_flags.debug_allowed = true;
  run_flags.no_box = false;
  qn_set_box_answerer([](std::string_view, std::string_view, int32_t) { return IDOK; });
  EXPECT_EQ(error_of([] { EXPECT_EQ(num("Nothing", 5.0f), 0.0f); }), no_error);
  EXPECT_EQ(last_error_message(), "SYS:nothing");
  qn_set_box_answerer(nullptr);
}

TEST_F(sysvar_test, NumericNameIsItsOneCharacterText) {
  // 65 + 255 is "A" after the modulo; lower-cased to "a", which names no service.
  reset_evaluator();
  push_number(320.0f);
  push_number(0.0f);
  EXPECT_EQ(error_of([] { eval_SYSVAR(); }), 1);
  EXPECT_EQ(last_error_message(), "SYS:a");
}

TEST_F(sysvar_test, DiskNeedsTheColonInTheFifthPlace) {
  EXPECT_EQ(error_of([] { sys("disk", "snr"); }), 1);
  EXPECT_EQ(last_error_message(), "SYS:disk");
  EXPECT_EQ(error_of([] { sys("diskc:", "snr"); }), 1);
  EXPECT_EQ(last_error_message(), "SYS:diskc:");
  EXPECT_EQ(error_of([] { sys("DISK:", "free"); }), no_error);
}

TEST_F(sysvar_test, ScreenSizeLessTheMenuBar) {
  screen_metrics.width = 800;
  screen_metrics.height = 600;
  screen_metrics.menu_bar_height = 0;
  EXPECT_EQ(num("xres", 0.0f), 800.0f);
  EXPECT_EQ(num("yres", 0.0f), 600.0f);
  screen_metrics.menu_bar_height = 20;
  EXPECT_EQ(num("yres", 0.0f), 580.0f);
  screen_metrics = screen_metrics_t{};
}

TEST_F(sysvar_test, LabelOfALevelOrOfTheCurrentPosition) {
  call_state.pc = 7;
  EXPECT_EQ(num("ladress", 0.0f), 0.0f);
  EXPECT_EQ(num("ladress", 21.0f), 0.0f);
  EXPECT_EQ(num("ladress", -1.0f), 7.0f + 214366.0f);
  EXPECT_EQ(num("ladress", -0.6f), 7.0f + 214366.0f);  // nearest integer -1
  EXPECT_EQ(num("ladress", 0.4f), 0.0f);
  // Level 1 of a fresh level stack was opened by no SUBMEN: its id is 0.
  EXPECT_EQ(num("ladress", 1.0f), 214365.0f);
  interpreter_reset();
}

TEST_F(sysvar_test, SeedRestartsTheRandomSeriesReproducibly) {
  const float first = num("seed", 12345.0f);
  const float second = num("seed", 12345.0f);
  EXPECT_EQ(first, second);
  seed_random(12345u, 0u);
  EXPECT_EQ(first, random_next());
  EXPECT_GT(first, 0.0f);
  EXPECT_LT(first, 1.0f);
  EXPECT_NE(num("seed", 1.0f), first);
  // 0 and a negative seed are valid words too.
  const float zero = num("seed", 0.0f);
  seed_random(0u, 0u);
  EXPECT_EQ(zero, random_next());
  const float negative = num("seed", -5.0f);
  seed_random(static_cast<uint32_t>(-5), 0u);
  EXPECT_EQ(negative, random_next());
}

TEST_F(sysvar_test, AreaAndLevelWordsOfAFreshRuntime) {
  areas_reset();
  video_stack_reset();
  EXPECT_EQ(num("btncnt", 0.0f), 0.0f);
  EXPECT_EQ(num("level", 0.0f), static_cast<float>(level_pointer()));
  EXPECT_EQ(num("wlevel", 0.0f), 0.0f);
  EXPECT_EQ(num("lastbtn", 0.0f), 0.0f);
}

TEST_F(sysvar_test, GeometryAndStateOfAnArea) {
  areas_reset();
  area(1) = area_record{};
  area(2).x1 = 10;
  area(2).y1 = 20;
  area(2).x2 = 110;
  area(2).y2 = 45;
  area(2).selected = logical_true;
  area(3).x1 = 7;  // above the count: still read
  area_table.count = 2;
  area_table.state.focus = 2;
  EXPECT_EQ(num("btncnt", 0.0f), 2.0f);
  EXPECT_EQ(num("lastbtn", 0.0f), 2.0f);
  EXPECT_EQ(num("btnx1", 2.0f), 10.0f);
  EXPECT_EQ(num("btny1", 2.4f), 20.0f);
  EXPECT_EQ(num("BTNX2", 1.6f), 110.0f);
  EXPECT_EQ(num("btny2", 2.0f), 45.0f);
  EXPECT_EQ(num("pressed", 2.0f), 1.0f);
  EXPECT_EQ(num("pressed", 1.0f), 0.0f);
  EXPECT_EQ(num("btnx1", 3.0f), 7.0f);
  // Area numbers are not checked: outside the table the answer is 0.
  for (float k : {-3.0f, 0.0f, 61.0f, 1e9f}) {
    EXPECT_EQ(num("btnx1", k), 0.0f) << k;
    EXPECT_EQ(num("btny2", k), 0.0f) << k;
    EXPECT_EQ(num("pressed", k), 0.0f) << k;
  }
  areas_reset();
}

TEST_F(sysvar_test, ListRowCountsOfProgramListsOneToFour) {
  reset_lists();
  for (int32_t n = 1; n <= list_count; ++n) list_of(n).count = 100 + n;
  // Program list k is list k + 2; k is clamped to 1..4.
  for (float k : {0.0f, 1.0f, -5.0f, 0.4f}) EXPECT_EQ(num("lstcnt", k), 103.0f) << k;
  EXPECT_EQ(num("lstcnt", 2.0f), 104.0f);
  EXPECT_EQ(num("lstcnt", 3.6f), 106.0f);
  EXPECT_EQ(num("lstcnt", 9.0f), 106.0f);
  reset_lists();
  EXPECT_EQ(num("lstcnt", 1.0f), 0.0f);
}

TEST_F(sysvar_test, SystemMetricIndexIsTruncatedNotRounded) {
  EXPECT_EQ(num("get_system_metrics", 15.9f), static_cast<float>(get_system_metrics(15)));
  EXPECT_EQ(num("get_system_metrics", 0.7f), static_cast<float>(get_system_metrics(0)));
  EXPECT_NE(get_system_metrics(15), get_system_metrics(16));
  EXPECT_EQ(num("get_system_metrics", 9999.0f), 0.0f);
}

TEST_F(sysvar_test, RunningIsTheLibrarysFlag) {
  EXPECT_EQ(num("running", 0.0f), quillon_already_running() ? 1.0f : 0.0f);
}

TEST_F(sysvar_test, TextExtentInTheScratchContext) {
  const float w1 = num("tx_size", "W");
  const float w10 = num("tx_size", "WWWWWWWWWW");
  const float h = num("ty_size", "Wg");
  EXPECT_GT(w1, 0.0f);
  EXPECT_GT(w10, 5.0f * w1);
  EXPECT_GT(h, 5.0f);
  EXPECT_EQ(num("tx_size", ""), 0.0f);
  // Measured over the argument's length: trailing blanks count.
  EXPECT_GT(num("tx_size", "W   "), w1);
}

// ---------------------------------------------------------------- type and dim
TEST_F(sysvar_test, TypeAndDimOfTheLastVariableOperand) {
  // No variable operand seen: 0.
  EXPECT_EQ(num("type", 3.0f), 0.0f);
  EXPECT_EQ(num("dim", 3.0f), 0.0f);
}

// ---------------------------------------------------------------- environment
TEST_F(sysvar_test, CommandLineWords) {
  std::string exe;
  GET_ARG(0, exe);
  ASSERT_FALSE(exe.empty());
  const std::string word0 = exe.substr(0, exe.find(' '));
  EXPECT_EQ(text("getarg", 0.0f), word0);
  EXPECT_EQ(text("getarg", 999.0f), " ");
  EXPECT_EQ(text("getarg", -1.0f), " ");
}

TEST_F(sysvar_test, GetenvTrimsAndCutsTheName) {
  ::setenv("WINKYR_SYSVAR_A", "value one   ", 1);
  EXPECT_EQ(text("getenv", "WINKYR_SYSVAR_A"), "value one");
  EXPECT_EQ(text("getenv", "WINKYR_SYSVAR_A  "), "value one");
  EXPECT_EQ(text("getenv", "WINKYR_SYSVAR_A rest"), "value one");
  EXPECT_EQ(text("getenv", "WINKYR_SYSVAR_MISSING"), " ");
  ::setenv("WINKYR_SYSVAR_A", "", 1);
  EXPECT_EQ(text("getenv", "WINKYR_SYSVAR_A"), " ");
  ::unsetenv("WINKYR_SYSVAR_A");
}

TEST_F(sysvar_test, SetenvNeedsANameBeforeTheEquals) {
  ::unsetenv("WINKYR_SYSVAR_B");
  EXPECT_EQ(num("setenv", "WINKYR_SYSVAR_B= new value  "), 0.0f);
  EXPECT_STREQ(std::getenv("WINKYR_SYSVAR_B"), " new value");
  EXPECT_EQ(text("getenv", "WINKYR_SYSVAR_B"), " new value");
  // Name followed by "=" and nothing: an empty value, the variable exists.
  EXPECT_EQ(num("setenv", "WINKYR_SYSVAR_B="), 0.0f);
  ASSERT_NE(std::getenv("WINKYR_SYSVAR_B"), nullptr);
  EXPECT_STREQ(std::getenv("WINKYR_SYSVAR_B"), "");
  // "=" first, or no "=": nothing happens, the answer is 0.
  ::unsetenv("WINKYR_SYSVAR_C");
  EXPECT_EQ(num("setenv", "=WINKYR_SYSVAR_C"), 0.0f);
  EXPECT_EQ(num("setenv", "WINKYR_SYSVAR_C"), 0.0f);
  EXPECT_EQ(std::getenv("WINKYR_SYSVAR_C"), nullptr);
  EXPECT_EQ(std::getenv("=WINKYR_SYSVAR_C"), nullptr);
  ::unsetenv("WINKYR_SYSVAR_B");
}

TEST_F(sysvar_test, PathAndSetpath) {
  const std::string here = std::filesystem::current_path().string();
  EXPECT_EQ(text("path", 0.0f), here);
  EXPECT_EQ(text("path", "ignored"), here);
  std::filesystem::create_directory("Sub Dir");
  // Found without regard to case, "\" as the separator.
  EXPECT_EQ(num("setpath", "..\\" + dir.filename().string() + "\\sub dir"), 0.0f);
  EXPECT_EQ(text("path", 0.0f), here + "/Sub Dir");
  EXPECT_EQ(num("setpath", "no_such_directory"), static_cast<float>(ENOENT));
  EXPECT_EQ(text("path", 0.0f), here + "/Sub Dir");
  // 0 becomes a blank: no directory of that name.
  EXPECT_NE(num("setpath", 0.0f), 0.0f);
  EXPECT_EQ(num("setpath", ".."), 0.0f);
  EXPECT_EQ(text("path", 0.0f), here);
}

TEST_F(sysvar_test, WindowsDirectoryStandsIn) {
  ::setenv("WINDIR", "/opt/win dir  ", 1);
  EXPECT_EQ(text("windir", 0.0f), "/opt/win dir");
  ::unsetenv("WINDIR");
  EXPECT_EQ(text("windir", 0.0f), "/etc");
}

TEST_F(sysvar_test, TextAnswerTakesAPendingSubstring) {
  ::setenv("WINKYR_SYSVAR_D", "abcdefgh", 1);
  reset_evaluator();
  push_text("getenv");
  push_text("WINKYR_SYSVAR_D");
  evaluator.substring_pending = true;
  evaluator.substring_a = 3;
  evaluator.substring_b = 5;
  finish();
  EXPECT_EQ(text_of(evaluator.top()), "cde");
  EXPECT_FALSE(evaluator.substring_pending);
  ::unsetenv("WINKYR_SYSVAR_D");
}

// ---------------------------------------------------------------- scrambler
TEST_F(sysvar_test, CryptAndDecryptRoundTrip) {
  const std::string plain = "Geheimes Passwort \xC4\xD6\xDC\xDF 123";
  const std::string scrambled = text("crypt", plain);
  ASSERT_EQ(scrambled.size(), 256u);
  EXPECT_EQ(scrambled.find("Passwort"), std::string::npos);
  for (char c : scrambled) EXPECT_TRUE((c >= 'A' && c <= 'P') || (c >= 'a' && c <= 'p')) << c;
  std::string expected = plain;
  expected.resize(128, ' ');
  EXPECT_EQ(text("decrypt", scrambled), expected);
  // Only the first 128 characters are kept.
  const std::string long_text(200, 'x');
  EXPECT_EQ(text("decrypt", text("crypt", long_text)), std::string(128, 'x'));
  // Equal characters scramble differently by place; a changed character changes the rest.
  EXPECT_NE(scrambled.substr(0, 2), text("crypt", "Heheimes").substr(0, 2));
  EXPECT_NE(text("crypt", "aaaa").substr(0, 2), text("crypt", "aaaa").substr(2, 2));
  EXPECT_NE(text("crypt", "ab").substr(4, 4), text("crypt", "bb").substr(4, 4));
}

TEST_F(sysvar_test, DecryptOfForeignTextGivesATextWithoutHarm) {
  const std::string out = text("decrypt", "not made by crypt \x01\xFF");
  EXPECT_EQ(out.size(), 128u);
  EXPECT_EQ(text("decrypt", 0.0f).size(), 128u);
  EXPECT_EQ(text("crypt", 0.0f).size(), 256u);
}

}  // namespace
