// load_program and the chain entry: the file on disk, the state the interpreter starts from,
// the help page, and chaining that leaves nothing of the old program.
#include "runtime/program/areas.h"
#include "runtime/commands/events.h"
#include "runtime/commands/interpreter.h"
#include "tests/program/test_loader_fixture.h"

TEST_F(loader_test, LoadedProgramIsReadyToRunFromRecordOne) {
  write_file("RUN.PXB", program({"[CODES]", "QUIT"}));
  call_state.pc = 17;
  call_state.depth = 3;
  run_flags.busy = true;
  load_program(padded("RUN.PXB", 80));
  EXPECT_EQ(program_image.codes[1].opcode, 15);
  EXPECT_EQ(call_state.pc, 1);
  EXPECT_EQ(call_state.depth, 0);
  EXPECT_FALSE(run_flags.busy);
  EXPECT_EQ(std::string_view(load_state.name.data(), 7), "RUN.PXB");
}

TEST_F(loader_test, LoadSwitchesAutomaticModeOff) {
  write_file("RUN.PXB", program({}));
  run_flags.auto_mode = true;
  run_flags.no_box = true;
  load_program("RUN.PXB");
  EXPECT_FALSE(run_flags.auto_mode);
  EXPECT_FALSE(run_flags.no_box);
}

TEST_F(loader_test, HelpPageIsNamedAfterTheExecutable) {
  write_file("RUN.PXB", program({}));
  load_program("RUN.PXB");
  std::string exe;
  GET_EXE_NAME(exe);
  exe.erase(exe.find_last_not_of(' ') + 1);
  std::string base = exe.substr(exe.find_last_of("\\/") + 1);
  // The test program, like the runtime on Linux, has no ending: the page gets ".html" all the same.
  ASSERT_EQ(base.find('.'), std::string::npos) << base;
  const std::string page(help_page.data(), help_page.size());
  EXPECT_EQ(page, padded("help\\htdocs\\" + base + ".html", help_page.size()));
}

TEST_F(loader_test, MissingProgramEndsTheLoadAfterTheBox) {
  std::vector<std::string> boxes;
  qn_set_box_answerer([&](std::string_view text, std::string_view, int32_t) {
    boxes.emplace_back(text);
    return 1;
  });
  try {
    load_program("NOPE.PXB");
    FAIL() << "loaded";
  } catch (const program_end& end) {
    EXPECT_EQ(end.code, 32000);
  }
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "KYRPROG not found:NOPE.PXB (searched NOPE.PXB and ./KYR/NOPE.PXB)");
}

TEST_F(loader_test, ProgramIsFoundCaseInsensitivelyWithBackslashes) {
  write_file("apps/Run.pxb", program({"[CODES]", "RETURN"}));
  load_program("APPS\\RUN.PXB");
  EXPECT_EQ(program_image.codes[1].opcode, 3);
}

TEST_F(loader_test, ChainingReplacesEveryStore) {
  write_file("A.PXB", program({"[VARIABLES]", "&0001 S 0001*006:T/oldval", "&0002 I 0001:N/7", "[UPNCODES]", "#1 ",
                               "[TEXTTOKENS]", "@0001 old|", "[CODES]", "QUIT", "QUIT"}));
  write_file("B.PXB", pxb({"[PROC]", "[INIT]", "CODES=0001", "TEXTTOKENS=1", "TEXTCHARACTERS=10", "[TEXTTOKENS]",
                           "@0001 new|", "[CODES]", "RETURN"}));
  load_program("A.PXB");
  ASSERT_EQ(STRING_BUFFER.view(1, 6), "oldval");
  call_state.pc = 2;
  chain_program("B.PXB");
  EXPECT_EQ(call_state.pc, 1);
  EXPECT_EQ(program_image.code_count, 1);
  EXPECT_EQ(program_image.codes[1].opcode, 3);
  EXPECT_TRUE(variable_table.records.empty());
  EXPECT_TRUE(ADRSPACE.words.empty());
  EXPECT_EQ(upn_code.expression_count, 0);
  EXPECT_EQ(STRING_BUFFER.view(1, 6), "      ");
  EXPECT_EQ(token(1, 3), "new");
}

TEST_F(loader_test, CompleteProgramLoadsWithEverySection) {
  load_program(std::string(WINKYR_TEST_PROGRAMS) + "/loader/full.pxb");
  // Code records, with the "{" text on the first and the label line skipped.
  EXPECT_EQ(program_image.code_count, 8);
  EXPECT_EQ(std::string_view(program_image.codes[1].text.data(), 13), "{first comman");
  EXPECT_EQ(program_image.codes[1].opcode, 1);
  EXPECT_EQ(program_image.codes[1].flags, 0x10);
  EXPECT_EQ(program_image.codes[1].target, 4);
  EXPECT_EQ(program_image.codes[2].token2, 2);
  EXPECT_EQ(program_image.codes[4].opcode, 6);
  EXPECT_EQ(program_image.codes[5].opcode, 4);
  EXPECT_EQ(program_image.codes[5].expression, 3);
  EXPECT_EQ(program_image.codes[7].opcode, 15);
  EXPECT_EQ(program_image.codes[8].opcode, 0);
  // Four expressions (the blank record is a comment), back to back.
  ASSERT_EQ(upn_code.expression_count, 4);
  EXPECT_EQ(upn_code.last[4], upn_code.last_code);
  EXPECT_EQ(upn_code.code[upn_code.last[2]], 93);
  // Variables in both spaces.
  EXPECT_EQ(ADRSPACE.get_int(variable_table.records[1].start), 5);
  EXPECT_FLOAT_EQ(ADRSPACE.get_real(variable_table.records[2].start + 2), 1.5f);
  EXPECT_EQ(STRING_BUFFER.view(variable_table.records[3].text_start, 10), "abc       ");
  EXPECT_EQ(STRING_BUFFER.view(variable_table.records[4].text_start, 10), "01.02.2003");
  // A token with a marker, fetched after the load.
  EXPECT_EQ(token(1, 10), "Total: 5  ");
}

// ---------------------------------------------------------------- trace lines

namespace {

// Routes the trace channel into the dump log "$PXBDUMP.LOG" and returns a reader of it.
void trace_to_dump_log() {
  dump_log_restart(true);
  debug_to_file();
}

std::vector<std::string> dump_lines() {
  std::ifstream in("$PXBDUMP.LOG", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Trace lines begin with a blank; integers stand right-aligned in 12 columns.
::testing::AssertionResult has_line(const std::vector<std::string>& lines, std::string_view wanted) {
  if (std::find(lines.begin(), lines.end(), wanted) != lines.end()) return ::testing::AssertionSuccess();
  std::string all;
  for (const std::string& line : lines) all += "\n[" + line + "]";
  return ::testing::AssertionFailure() << "no line [" << wanted << "] among" << all;
}

}  // namespace

TEST_F(loader_test, OpensAreTraced) {
  write_file("KYR/RUN.PXB", program({}));
  trace_to_dump_log();
  load_program("RUN.PXB");
  const auto lines = dump_lines();
  EXPECT_TRUE(has_line(lines, " 1.open RUN.PXB"));
  EXPECT_TRUE(has_line(lines, " 2.open ./KYR/RUN.PXB"));
  const std::string page(help_page.data(), help_page.size());
  EXPECT_TRUE(has_line(lines, " my_help = " + page.substr(0, page.find_last_not_of(' ') + 1)));
}

TEST_F(loader_test, ReleasingArrayBlocksIsTraced) {
  alloc_variable_space(3);
  for (int32_t v : {1, 3}) set_run_time_array(v, std::vector<uint32_t>(4, 0u));
  trace_to_dump_log();
  alloc_variable_space(2);
  const auto lines = dump_lines();
  EXPECT_TRUE(has_line(lines, " deall.associ.            1"));
  EXPECT_TRUE(has_line(lines, " deall.associ.            3"));
  EXPECT_EQ(lines.size(), 3u);  // "startup" and the two blocks
}

// Loading a program drops the hot keys and mouse areas of the one before.
TEST_F(loader_test, HotKeysAndAreasOfTheOldProgramAreGone) {
  hotkey_table[0][0x41] = 7;
  area_table.count = 3;
  area_table.current = 2;
  write_file("RUN.PXB", program({"[CODES]", "RETURN"}));
  load_program(padded("RUN.PXB", 80));
  EXPECT_EQ(hotkey_table[0][0x41], 0);
  EXPECT_EQ(area_table.count, 0);
  EXPECT_EQ(area_table.current, -9999);
}
