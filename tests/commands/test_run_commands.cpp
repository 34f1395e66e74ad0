// RUN, HELP, SOUND, FORMAT and OUTPUT run as commands of small PXB programs.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/program/areas.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/commands/events.h"
#include "test_debugger_fixture.h"

namespace {

// 1 integer I, 2 real X, 3 text T of 30 characters, 4 integer array A of 3.
constexpr std::string_view variables =
    "&0001 I 0001:I/0\n&0002 R 0001:X/0\n&0003 S 0001*030:T/\n&0004 I 0003:A/0\n";

class run_commands : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    run_commands_reset();
  }
  // Runs the commands (one per line, then RETURN) with these expressions and text tokens.
  void run(std::string_view upn, std::string_view tokens, std::string_view codes) {
    load_program_image(small_program(variables, upn, tokens, std::string(codes) + "RETURN\n"));
    interpreter(1);
  }
  // NEXT.PXB, the program to chain to: writes each of these texts as a line of CHAIN.OUT.
  void write_next_program(const std::vector<std::string>& texts) const {
    std::string tokens = "@0001 #1|\n@0002 CHAIN.OUT|\n", codes = "/00000001 FILE @0001 @0002 %0001\n";
    for (size_t i = 0; i < texts.size(); ++i) {
      const std::string number = (i + 3 < 10 ? "@000" : "@00") + std::to_string(i + 3);
      tokens += number + " " + texts[i] + "|\n";
      codes += "/00001000 FILE @0001 " + number + "\n";
    }
    std::ofstream(dir / "NEXT.PXB", std::ios::binary)
        << small_program("&0001 I 0001:J/0\n", "#0\n", tokens, codes + "/00000002 FILE @0001\nRETURN\n");
  }
  static variable_record& var(int32_t v) { return variable_table.records[static_cast<size_t>(v)]; }
  static std::string page() { return std::string(help_page.data(), help_page.size()); }
  static std::string topic() {
    return std::string(area_table.state.help_topic.data(), area_table.state.help_topic.size());
  }
  static std::string padded(std::string text, size_t n) {
    text.resize(n, ' ');
    return text;
  }
};

// ---------------------------------------------------------------- FORMAT

TEST_F(run_commands, FormatOfARealTakesWidthAndDecimalsInEitherCase) {
  run("#-5 #500\n&2\n", "@0001 f8.2|\n@0002 F10.3|\n", "FORMAT @0001 %0001 &0002\n");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(var(2).width, 8);
  EXPECT_EQ(var(2).decimals, 2);
  EXPECT_FLOAT_EQ(var(2).range_min, -5.0f);
  EXPECT_FLOAT_EQ(var(2).range_max, 500.0f);
  run("#0 #1\n&2\n", "@0001 f8.2|\n@0002 F10.3|\n", "FORMAT @0002 %0001 &0002\n");
  EXPECT_EQ(var(2).width, 10);
  EXPECT_EQ(var(2).decimals, 3);
}

TEST_F(run_commands, FormatOfTextAndInteger) {
  run("#0 #0\n&3\n&1\n", "@0001 A12|\n@0002 I6|\n", "FORMAT @0001 %0001 &0002\nFORMAT @0002 %0001 &0003\n");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(var(3).width, 12);
  EXPECT_EQ(var(3).decimals, 30);  // the element length
  EXPECT_EQ(var(1).width, 6);
  EXPECT_EQ(var(1).decimals, 2);
}

TEST_F(run_commands, FormatWithTheWrongLetterEndsTheProgram) {
  run("#0 #0\n&1\n", "@0001 F5.1|\n@0002 after|\n", "FORMAT @0001 %0001 &0002\nMESS @0002\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Integer kein I-Format");
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR 32000");
  errors_reset();
  run("#0 #0\n&2\n", "@0001 I5|\n", "FORMAT @0001 %0001 &0002\n");
  EXPECT_EQ(boxes.back().text, "Real kein F-Format");
  errors_reset();
  run("#0 #0\n&3\n", "@0001 F5|\n", "FORMAT @0001 %0001 &0002\n");
  EXPECT_EQ(boxes.back().text, "String kein A-Format");
}

TEST_F(run_commands, FormatOfAnElementOtherThanTheFirstEndsTheProgram) {
  load_program_image(small_program(variables, "#0 #9\n#2 %4\n", "@0001 I4|\n", "FORMAT @0001 %0001 &0002\nRETURN\n"));
  const int32_t width = var(4).width;
  const float top = var(4).range_max;
  interpreter(1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "FORMAT(x)");
  EXPECT_EQ(var(4).width, width);  // nothing changed
  EXPECT_EQ(var(4).range_max, top);
}

TEST_F(run_commands, FormatWithoutAVariableIsACommandError) {
  run("#0 #9\n#3\n", "@0001 I4|\n", "FORMAT @0001 %0001 &0002\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR     1");
  EXPECT_EQ(boxes[0].text.substr(0, 6), "FORMAT");
}

TEST_F(run_commands, FormatWithBlankNumberFieldsReadsThemAsZero) {
  // "F6" has no decimals, as "F6.0"; "I" has width 0, as "I0".
  load_program_image(small_program("&0001 I 0001:I/7\n&0002 R 0001:X/12.25\n", "#0 #0\n&1\n&2\n",
                                   "@0001 #1|\n@0002 FMT.OUT|\n@0003 F6|\n@0004 I|\n@0005 [\xFA" "0002]|\n",
                                   "FORMAT @0003 %0001 &0003\nFORMAT @0004 %0001 &0002\n"
                                   "/00000001 FILE @0001 @0002 %0001\n/00001000 FILE @0001 @0005\n"
                                   "/00000002 FILE @0001\nRETURN\n"));
  interpreter(1);
  for (const box_seen& b : boxes) ADD_FAILURE() << b.text;
  EXPECT_EQ(var(2).width, 6);
  EXPECT_EQ(var(2).decimals, 0);
  EXPECT_EQ(var(1).width, 0);
  EXPECT_EQ(file_lines("FMT.OUT"), std::vector<std::string>{"[12]"});
}

TEST_F(run_commands, NumbersTooWideForTheirFormatShowAsterisks) {
  // Each value in a text marker: X -12.5 in F4.1, Y -0.5 in F1.0, W 9.996 in F4.2 (rounds up
  // into a fifth place), Z in the default field of 8 places, V 12.5 in F4.1 (fits).
  load_program_image(small_program(
      "&0001 R 0001:X/-12.5\n&0002 R 0001:Y/-0.5\n&0003 R 0001:W/9.996\n&0004 R 0001:Z/123456789.125\n"
      "&0005 R 0001:V/12.5\n",
      "#0 #0\n&1\n&2\n&3\n&5\n",
      "@0001 #1|\n@0002 NUM.OUT|\n@0003 F4.1|\n@0004 F1.0|\n@0005 F4.2|\n"
      "@0006 [\xFA" "0001][\xFA" "0002][\xFA" "0003][\xFA" "0004][\xFA" "0005]|\n",
      "FORMAT @0003 %0001 &0002\nFORMAT @0004 %0001 &0003\nFORMAT @0005 %0001 &0004\n"
      "FORMAT @0003 %0001 &0005\n"
      "/00000001 FILE @0001 @0002 %0001\n/00001000 FILE @0001 @0006\n/00000002 FILE @0001\nRETURN\n"));
  interpreter(1);
  for (const box_seen& b : boxes) ADD_FAILURE() << b.text;
  EXPECT_EQ(file_lines("NUM.OUT"), std::vector<std::string>{"[****][*][****][********][12,5]"});
}

TEST_F(run_commands, WholeRealsBeyond32BitsShowInTheirFormat) {
  // In text markers (which drop the leading blanks): X 3E9 in F12.0 and Y 4E9 in F10.0 (both
  // fit), W 3E9 in F9.0 (does not).
  load_program_image(small_program(
      "&0001 R 0001:X/3E9\n&0002 R 0001:Y/4E9\n&0003 R 0001:W/3E9\n", "#0 #0\n&1\n&2\n&3\n",
      "@0001 #1|\n@0002 NUM.OUT|\n@0003 F12.0|\n@0004 F10.0|\n@0005 F9.0|\n"
      "@0006 [\xFA" "0001][\xFA" "0002][\xFA" "0003]|\n",
      "FORMAT @0003 %0001 &0002\nFORMAT @0004 %0001 &0003\nFORMAT @0005 %0001 &0004\n"
      "/00000001 FILE @0001 @0002 %0001\n/00001000 FILE @0001 @0006\n/00000002 FILE @0001\nRETURN\n"));
  interpreter(1);
  for (const box_seen& b : boxes) ADD_FAILURE() << b.text;
  EXPECT_EQ(file_lines("NUM.OUT"), std::vector<std::string>{"[3000000000][4000000000][*********]"});
}

// A real field writes at most 16 characters, whatever its width: 9E15 (the float 8999999815811072)
// shows in F20.0, 1E16 (17 digits) gives the field's asterisks, as 2^55 does.
TEST_F(run_commands, RealFieldsHoldSixteenCharactersAtMost) {
  load_program_image(small_program(
      "&0001 R 0001:X/9E15\n&0002 R 0001:Y/1E16\n&0003 R 0001:Z/3.6029E16\n", "#0 #0\n&1\n&2\n&3\n",
      "@0001 #1|\n@0002 NUM.OUT|\n@0003 F20.0|\n@0004 [\xFA" "0001][\xFA" "0002][\xFA" "0003]|\n",
      "FORMAT @0003 %0001 &0002\nFORMAT @0003 %0001 &0003\nFORMAT @0003 %0001 &0004\n"
      "/00000001 FILE @0001 @0002 %0001\n/00001000 FILE @0001 @0004\n/00000002 FILE @0001\nRETURN\n"));
  interpreter(1);
  for (const box_seen& b : boxes) ADD_FAILURE() << b.text;
  EXPECT_EQ(file_lines("NUM.OUT"),
            std::vector<std::string>{"[8999999815811072][" + std::string(20, '*') + "][" + std::string(20, '*') + "]"});
}

// ---------------------------------------------------------------- HELP

TEST_F(run_commands, HelpWithFileAndKeyShowsAtOnceOrStores) {
  const std::string old_page = page();
  run("", "@0001 manual.hlp Index|\n", "/00000040 HELP @0001\n");
  win_help_request r = last_win_help();
  EXPECT_EQ(r.file, "manual.hlp");
  EXPECT_EQ(r.key, "Index");
  EXPECT_EQ(r.command, HELP_KEY);
  EXPECT_EQ(page(), old_page);  // nothing stored
  run("", "@0001 manual.hlp Index|\n@0002  |\n", "HELP @0001\nHELP @0002\n");
  EXPECT_EQ(page(), padded("manual.hlp", help_page.size()));
  EXPECT_EQ(topic(), padded("Index", 64));
  r = last_win_help();
  EXPECT_EQ(r.requests, 2);  // only the blank text showed something
  EXPECT_EQ(r.file, "manual.hlp");
  EXPECT_EQ(r.key, "Index");
  EXPECT_EQ(r.command, HELP_KEY);
}

TEST_F(run_commands, HelpAsteriskChangesOnlyTheTopic) {
  run("", "@0001 buch.hlp Start|\n@0002 * Kapitel2|\n", "HELP @0001\nHELP @0002\n");
  EXPECT_EQ(page(), padded("buch.hlp", help_page.size()));
  EXPECT_EQ(topic(), padded("Kapitel2", 64));
  EXPECT_EQ(last_win_help().requests, 0);
}

TEST_F(run_commands, HelpWithoutTopicShowsTheContentsAndOptionsSetAndClose) {
  run("", "@0001 buch.hlp|\n@0002  |\n@0003 Thema 3|\n", "HELP @0001\nHELP @0002\n");
  EXPECT_EQ(topic(), std::string(64, ' '));
  EXPECT_EQ(last_win_help().command, HELP_FINDER);
  run("", "@0001 Thema 3|\n", "/00000001 HELP @0001\n/00000002 HELP @0001\n");
  EXPECT_EQ(topic(), padded("Thema 3", 64));
  EXPECT_EQ(last_win_help().command, HELP_QUIT);
}

// ---------------------------------------------------------------- SOUND

TEST_F(run_commands, SoundNumbersSelectTheBeepTypes) {
  EXPECT_EQ(sound_beep_type(0), 0);
  EXPECT_EQ(sound_beep_type(1), 0x40);
  EXPECT_EQ(sound_beep_type(2), 0x20);
  EXPECT_EQ(sound_beep_type(3), 0x10);
  EXPECT_EQ(sound_beep_type(4), 0x30);
  EXPECT_EQ(sound_beep_type(7), 0);
  EXPECT_EQ(sound_beep_type(-1), 0);
  start_headless();
  run("#7 #0\n", "", "SOUND %0001\n");
  EXPECT_TRUE(boxes.empty());
}

// ---------------------------------------------------------------- RUN

TEST_F(run_commands, RunWaitsOnlyWithOption0x200) {
  // With 0x200 the program goes on only after the started program has ended: its file is there.
  std::ofstream(dir / "W.sh") << "sleep 0.3; echo done > W.OUT\n";
  run("", "@0001 sh W.sh|\n", "/00000200 RUN @0001\n");
  EXPECT_EQ(file_text("W.OUT"), "done\n");
  EXPECT_EQ(io_status, 0);
  // Without it the program goes on at once: the started program still waits for the go-ahead
  // that the test gives only afterwards (it gives up by itself after ten seconds).
  std::ofstream(dir / "N.sh") << "i=0; while [ ! -f GO ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
                                 "echo done > N.OUT\n";
  run("", "@0001 sh N.sh|\n", "RUN @0001\n");
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(file_text("N.OUT"), "");
  std::ofstream(dir / "GO") << "go\n";
  for (int i = 0; i < 400 && file_text("N.OUT").empty(); ++i) usleep(50000);
  EXPECT_EQ(file_text("N.OUT"), "done\n");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(run_commands, RunOfAMissingProgramLeavesItsStatusAndGoesOn) {
  run("", "@0001 no-such-program-xyz|\n@0002 after|\n", "RUN @0001\n");
  EXPECT_NE(io_status, 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(run_commands, RunThroughTheCommandProcessorWaits) {
  run("", "@0001 sleep 0.2; echo done > SHELL.OUT|\n", "/00000400 RUN @0001\n");
  EXPECT_EQ(file_text("SHELL.OUT"), "done\n");
}

TEST_F(run_commands, ChainingRunsTheNewProgramFromItsFirstRecord) {
  start_headless();
  write_next_program({"chained"});
  run("", "@0001 NEXT.PXB|\n@0002 old program|\n", "/00000001 RUN @0001\nMESS @0002\n");
  for (const box_seen& b : boxes) ADD_FAILURE() << b.text;
  EXPECT_EQ(file_lines("CHAIN.OUT"), std::vector<std::string>{"chained"});
  EXPECT_EQ(variable_type_by_name("J"), 1);  // the new program's variables only
  EXPECT_EQ(variable_type_by_name("X"), 0);
  EXPECT_EQ(call_state.depth, 0);
}

TEST_F(run_commands, ChainingFromASubroutineKeepsTheCallersTexts) {
  start_headless();
  write_next_program({"%1", "%2"});
  run("#0\n", "@0001 NEXT.PXB|\n@0002 Kunde 4711|\n@0003 Lager|\n",
      "CALL :0003 %0001 @0002 @0003\nRETURN\n/00000001 RUN @0001\n");
  for (const box_seen& b : boxes) ADD_FAILURE() << b.text;
  EXPECT_EQ(file_lines("CHAIN.OUT"), (std::vector<std::string>{"Kunde 4711", "Lager"}));
}

// A program that chains on and on: each chained program's start-up asks for its standard and
// fixed fonts again, and those are the fonts the library has already.
TEST_F(run_commands, ChainingOverAndOverAddsNoObjectsToTheLibrary) {
  start_headless();
  // CH2.PXB .. CHn.PXB, each chaining to the next; the last one ends.
  const auto chain = [&](int n) {
    for (int k = 2; k <= n; ++k) {
      const std::string next = "@0001 CH" + std::to_string(k + 1) + ".PXB|\n";
      std::ofstream(dir / ("CH" + std::to_string(k) + ".PXB"), std::ios::binary)
          << small_program("&0001 I 0001:J/0\n", "#0\n", next, k < n ? "/00000001 RUN @0001\nRETURN\n" : "RETURN\n");
    }
    run("", "@0001 CH2.PXB|\n", "/00000001 RUN @0001\n");
    for (const box_seen& b : boxes) ADD_FAILURE() << b.text;
    return qn_object_count();
  };
  const int32_t after_few = chain(4);
  EXPECT_EQ(chain(60), after_few);
  EXPECT_EQ(call_state.depth, 0);
}

// ---------------------------------------------------------------- OUTPUT

class output_command : public run_commands {
 protected:
  void SetUp() override {
    run_commands::SetUp();
    area_table.count = 3;
    area(1).type = area_button;
    area(1).variable = 1;
    for (int32_t n : {2, 3}) {
      area(n).type = area_field;
      area(n).variable = 1;
      area(n).element = 0;
    }
    area(3).variable = 4;  // A(1)
  }
};

TEST_F(output_command, RedrawsOnlyTheFirstMatchingFormatArea) {
  area(3).variable = 1;
  run("&1\n", "", "OUTPUT %0001\n");
  EXPECT_TRUE(boxes.empty());
  bool own = false;
  EXPECT_EQ(last_format_area_output(&own), 2);
  EXPECT_TRUE(own);
}

TEST_F(output_command, MatchesVariableAndElementAndUsesPlainColoursForTheFocus) {
  area(2).element = 1;
  area_table.state.focus = 2;
  run("#3 %4\n", "", "/00000001 OUTPUT %0001\n");
  EXPECT_EQ(last_format_area_output(), 0);  // A(3) is in no area
  bool own = false;
  run("#1 %4\n", "", "OUTPUT %0001\n");  // A(1): element index 0 of variable 4
  EXPECT_EQ(last_format_area_output(&own), 3);
  EXPECT_TRUE(own);
  area(2).element = 0;
  run("&1\n", "", "OUTPUT %0001\n");
  EXPECT_EQ(last_format_area_output(&own), 2);
  EXPECT_FALSE(own);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(output_command, MissingAreaIsACommandErrorUnlessOption1) {
  run("&2\n", "", "/00000001 OUTPUT %0001\n");
  EXPECT_TRUE(boxes.empty());
  run("&2\n", "", "OUTPUT %0001\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "KYR-ERROR     1");
}

TEST_F(output_command, Option8ShowsTheStatusTextAndEndsTheProgram) {
  area(2).status_text = 1;
  run("&1\n", "@0001 Hinweis|\n", "/00000008 OUTPUT %0001\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "n.U.:OUTPUT/INPUT v");
  EXPECT_EQ(screen_link::last_status_text(), "Hinweis");
  EXPECT_EQ(last_format_area_output(), 0);
}

}  // namespace
