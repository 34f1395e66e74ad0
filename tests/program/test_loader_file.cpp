// The PXB file: records, sections, [INIT] keys, the record layouts of [VARIABLES],
// [TEXTTOKENS] and [CODES], and every error of the reader.
#include "runtime/commands/commands.h"
#include "tests/program/test_loader_fixture.h"

namespace {

std::string_view code_text(int32_t k) {
  const code_record& rec = program_image.codes[static_cast<size_t>(k)];
  return std::string_view(rec.text.data(), rec.text.size());
}

}  // namespace

// ---------------------------------------------------------------- records and sections

TEST_F(loader_test, FirstRecordMustBeProcHeader) {
  EXPECT_FALSE(load(pxb({"[PROC]      ", "[INIT]", "CODES=0001"})).has_value());
  expect_load_error(pxb({" [PROC]", "[INIT]"}), "no [PROC] pxb-Code");
  expect_load_error(pxb({"[proc]", "[INIT]"}), "no [PROC] pxb-Code");
  expect_load_error("", "no [PROC] pxb-Code");
  expect_load_error(pxb({"[PROC]x"}), "no [PROC] pxb-Code");
}

TEST_F(loader_test, UnknownHeaderThenDataRecordIsRefused) {
  expect_load_error(program({"[EXTRA]", "DATA"}), "*** SECTION nicht 1-7 ***");
}

TEST_F(loader_test, UnknownHeaderFollowedOnlyByCommentsIsHarmless) {
  const auto ended = load(program({"[EXTRA]", "", "   indented comment", "[CODES]", "QUIT"}));
  EXPECT_FALSE(ended.has_value());
  EXPECT_EQ(program_image.codes[1].opcode, 15);
}

TEST_F(loader_test, HeadersAreCaseSensitiveAndIgnoreTrailingBlanks) {
  // "[codes]" is no header: the record after it lands in no section.
  expect_load_error(program({"[codes]", "QUIT"}), "*** SECTION nicht 1-7 ***");
  EXPECT_FALSE(load(program({"[CODES]   ", "QUIT"})).has_value());
}

TEST_F(loader_test, CrLfRecordsReadAsWithoutCr) {
  const std::string text =
      "[PROC]\r\n[INIT]\r\nCODES=0002\r\nTEXTTOKENS=2\r\nTEXTCHARACTERS=20\r\n[TEXTTOKENS]\r\n@0001 ab|\r\n"
      "[CODES]\r\nQUIT\r\n";
  ASSERT_FALSE(load(text).has_value());
  EXPECT_EQ(program_image.codes[1].opcode, 15);
  EXPECT_EQ(token(1, 3), "ab ");
  EXPECT_EQ(get_text_token_length(), 2);
}

TEST_F(loader_test, LastRecordWithoutNewlineCounts) {
  ASSERT_FALSE(load("[PROC]\n[INIT]\nCODES=0001\n[CODES]\nQUIT").has_value());
  EXPECT_EQ(program_image.codes[1].opcode, 15);
}

TEST_F(loader_test, RecordsAreCutAt256Characters) {
  // The end character at column 300 is beyond the record: the token ends at column 256.
  std::string line = "@0001 " + std::string(250, 'x') + std::string(43, 'y') + "|";
  ASSERT_FALSE(load(program({"[TEXTTOKENS]", line})).has_value());
  EXPECT_EQ(token(1), std::string(249, 'x') + std::string(7, ' '));
  EXPECT_EQ(get_text_token_length(), 249);
}

// ---------------------------------------------------------------- [PROC] and code-page conversion

TEST_F(loader_test, TextTokensAreConvertedFromDosCodePage) {
  ASSERT_FALSE(load(program({"[TEXTTOKENS]", "@0001 \x84\x94\x81\xE1|"})).has_value());
  EXPECT_EQ(token(1, 4), "\xE4\xF6\xFC\xDF");
}

TEST_F(loader_test, CsetWWithFurtherLettersSwitchesConversionOff) {
  std::string text = program({"[TEXTTOKENS]", "@0001 \x84\x94|"});
  text.insert(text.find('\n') + 1, "CSET=WINDOWS\n");
  ASSERT_FALSE(load(text).has_value());
  EXPECT_EQ(token(1, 2), "\x84\x94");
  // The next load converts again.
  ASSERT_FALSE(load(program({"[TEXTTOKENS]", "@0001 \x84|"})).has_value());
  EXPECT_EQ(token(1, 1), "\xE4");
}

// ---------------------------------------------------------------- [INIT]

TEST_F(loader_test, CodesDeclaresTheNumberOfRecords) {
  ASSERT_FALSE(load(pxb({"[PROC]", "[INIT]", "CODES=7"})).has_value());
  EXPECT_EQ(program_image.code_count, 7);
  EXPECT_EQ(program_image.codes.size(), 8u);
  // Blanks inside the four columns are ignored.
  ASSERT_FALSE(load(pxb({"[PROC]", "[INIT]", "CODES= 12 "})).has_value());
  EXPECT_EQ(program_image.code_count, 12);
}

TEST_F(loader_test, CodesWithFiveDigitsIsRefused) {
  // Read over four columns it would declare 1234 records and silently drop the rest.
  expect_load_error(pxb({"[PROC]", "[INIT]", "CODES=12345"}), "max CODES 9999");
}

TEST_F(loader_test, CodesZeroStillHasOneRecord) {
  ASSERT_FALSE(load(pxb({"[PROC]", "[INIT]", "CODES=0"})).has_value());
  EXPECT_EQ(program_image.code_count, 0);
  ASSERT_EQ(program_image.codes.size(), 2u);
  EXPECT_EQ(code_text(1), padded("*", 40));
}

TEST_F(loader_test, InitValuesAreFreeForm) {
  ASSERT_FALSE(load(pxb({"[PROC]", "[INIT]", "VARIABLES=  +7  ", "ADRSPACE=-5", "UPNCODES=0"})).has_value());
  EXPECT_EQ(variable_table.count, 7);
  EXPECT_EQ(variable_table.records.size(), 8u);
  EXPECT_EQ(ADRSPACE.size, -5);
  EXPECT_EQ(ADRSPACE.word_count(), 0);
  EXPECT_EQ(upn_code.max_upns, 1);
}

TEST_F(loader_test, UnknownKeysAndKeysWithoutEqualsAreIgnored) {
  EXPECT_FALSE(load(pxb({"[PROC]", "[INIT]", "COLOURS=5", "CODES", "C=5", "=5", "CODES=0002"})).has_value());
  EXPECT_EQ(program_image.code_count, 2);
}

TEST_F(loader_test, MissingOrUnreadableInitValueIsAReadError) {
  expect_load_error(pxb({"[PROC]", "[INIT]", "VARIABLES="}), "PXB read error: VARIABLES=");
  expect_load_error(pxb({"[PROC]", "[INIT]", "ADRSPACE=12x"}), "PXB read error: ADRSPACE=12x");
  expect_load_error(pxb({"[PROC]", "[INIT]", "CODES=    "}), "PXB read error: CODES=");
  expect_load_error(pxb({"[PROC]", "[INIT]", "CODES=1a"}), "PXB read error: CODES=1a");
  expect_load_error(pxb({"[PROC]", "[INIT]", "UPNTOKENS=99999999999"}), "PXB read error: UPNTOKENS=99999999999");
}

TEST_F(loader_test, StringSpaceAbove20480IsRefused) {
  EXPECT_FALSE(load(pxb({"[PROC]", "[INIT]", "STRINGSPACE=20480"})).has_value());
  expect_load_error(pxb({"[PROC]", "[INIT]", "STRINGSPACE=20481"}), "max STRING_BUFFER");
}

TEST_F(loader_test, StoresThatCannotBeAllocatedAreReported) {
  expect_load_error(pxb({"[PROC]", "[INIT]", "TEXTCHARACTERS=2000000000"}), "*** allocate text-bytes");
  expect_load_error(pxb({"[PROC]", "[INIT]", "TEXTTOKENS=2000000000"}), "*** allocate text-tokens");
  // The storage messages carry the requested count as their code.
  expect_load_error(pxb({"[PROC]", "[INIT]", "UPNTOKENS=2000000000"}), "UPN-Speicherplatz code", 2000000000);
  expect_load_error(pxb({"[PROC]", "[INIT]", "UPNCODES=2000000000"}), "UPN-Speicherplatz upns", 2000000000);
  expect_load_error(pxb({"[PROC]", "[INIT]", "VARIABLES=2000000000"}), "VAR-Speicherplatz upns", 2000000000);
  expect_load_error(pxb({"[PROC]", "[INIT]", "ADRSPACE=2000000000"}), "ARR-Speicherplatz", 2000000000);
}

// ---------------------------------------------------------------- [VARIABLES]

TEST_F(loader_test, IntegerVariableRecord) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0003 I 0001:COUNT/5"})).has_value());
  const variable_record& var = variable_table.records[3];
  EXPECT_EQ(variable_name(var), "COUNT");
  EXPECT_EQ(var.type, var_integer);
  EXPECT_EQ(var.dimension, 1);
  EXPECT_EQ(var.start, 1);
  EXPECT_EQ(ADRSPACE.get_int(var.start), 5);
}

TEST_F(loader_test, TextArrayRecord) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0004 S 0002*020:NAMES/abc"})).has_value());
  const variable_record& var = variable_table.records[4];
  EXPECT_EQ(var.type, var_text);
  EXPECT_EQ(var.dimension, 2);
  EXPECT_EQ(var.start, 20);
  EXPECT_EQ(STRING_BUFFER.view(var.text_start, 20), padded("abc", 20));
  EXPECT_EQ(STRING_BUFFER.view(var.text_start + 20, 20), std::string(20, ' '));
}

TEST_F(loader_test, NameKeepsTwelveCharactersAndEndsAtSlash) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0001 R 0001:ABCDEFGHIJKLMNOP/2.5", "&0002 I 0001:N"})).has_value());
  EXPECT_EQ(variable_name(variable_table.records[1]), "ABCDEFGHIJKL");
  EXPECT_FLOAT_EQ(ADRSPACE.get_real(variable_table.records[1].start), 2.5f);
  EXPECT_EQ(variable_name(variable_table.records[2]), "N");
  EXPECT_EQ(ADRSPACE.get_int(variable_table.records[2].start), 0);
}

TEST_F(loader_test, RecordsWithoutAmpersandAreIgnored) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "X0001 Q 0001:JUNK/1"})).has_value());
  EXPECT_EQ(variable_table.records[1].type, 0);
}

TEST_F(loader_test, VariableErrors) {
  expect_load_error(program({"[VARIABLES]", "&0001 X 0001:BAD/1"}), "n.u.:string?");
  expect_load_error(program({"[VARIABLES]", "&0001%I 0001:SHARED/1"}), "COMMON n.u.");
  expect_load_error(program({"[VARIABLES]", "&0001 I 0200:BIG/1"}), "next array VAR BIG");
  expect_load_error(program({"[VARIABLES]", "&0001 S 0021*999:HUGE/1"}), "next string");
  expect_load_error(program({"[VARIABLES]", "&0001 I 00x1:N/1"}), "PXB read error: &0001 I 00x1:N/1");
}

TEST_F(loader_test, MalformedNumericInitialValueCountsAsZero) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0001 R 0001:X/abc"})).has_value());
  EXPECT_EQ(ADRSPACE.get_real(variable_table.records[1].start), 0.0f);
}

TEST_F(loader_test, VariableOutsideTheTableIsRefused) {
  expect_load_error(program({"[VARIABLES]", "&0021 I 0001:N/1"}), "*** variable nr outside VARIABLES");
  expect_load_error(program({"[VARIABLES]", "&-001 I 0001:N/1"}), "*** variable nr outside VARIABLES");
  // Without "VARIABLES" there is no table at all.
  expect_load_error(pxb({"[PROC]", "[INIT]", "ADRSPACE=10", "[VARIABLES]", "&0000 I 0001:N/1"}),
                    "*** variable nr outside VARIABLES");
}

TEST_F(loader_test, VariableWithoutColonIsRefused) {
  expect_load_error(program({"[VARIABLES]", "&0001 I 0001 N/1"}), "*** variable without ':'");
}

TEST_F(loader_test, LengthContradictingTypeIsRefused) {
  expect_load_error(program({"[VARIABLES]", "&0001 I 0001*010:N/1"}), "*** type and length disagree: N");
  expect_load_error(program({"[VARIABLES]", "&0001 S 0001:T/x"}), "*** type and length disagree: T");
  expect_load_error(program({"[VARIABLES]", "&0001 D 0001*000:D/x"}), "*** type and length disagree: D");
}

// ---------------------------------------------------------------- [TEXTTOKENS] and [UPNCODES]

TEST_F(loader_test, TextTokenRecordDropsItsEndCharacter) {
  ASSERT_FALSE(load(program({"[TEXTTOKENS]", "@0001 Total:  |", "not a token", "@0007 second!"})).has_value());
  EXPECT_EQ(token(1, 10), padded("Total:  ", 10));
  EXPECT_EQ(get_text_token_length(), 8);
  // Columns 2-6 are not read: tokens are numbered in file order.
  EXPECT_EQ(token(2, 8), padded("second", 8));
}

TEST_F(loader_test, UpnRecordsAreCompiledInFileOrder) {
  ASSERT_FALSE(load(program({"[UPNCODES]", "%0001 #1 #2 _+ ", "#7 "})).has_value());
  ASSERT_EQ(upn_code.expression_count, 2);
  EXPECT_EQ(upn_code.first[1], 1);
  EXPECT_EQ(upn_code.last[1], 3);
  EXPECT_EQ(upn_code.code[3], 8);
  EXPECT_EQ(upn_code.first[2], 4);
  EXPECT_EQ(upn_code.last[2], 4);
  EXPECT_FLOAT_EQ(upn_code.operand_real(4), 7.0f);
}

TEST_F(loader_test, TooManyTextTokensOrCharactersAreRefused) {
  expect_load_error(pxb({"[PROC]", "[INIT]", "TEXTTOKENS=1", "TEXTCHARACTERS=100", "[TEXTTOKENS]", "@0001 a|",
                         "@0002 b|"}),
                    "*** text-tokens: more than TEXTTOKENS");
  expect_load_error(pxb({"[PROC]", "[INIT]", "TEXTTOKENS=5", "TEXTCHARACTERS=4", "[TEXTTOKENS]", "@0001 abc|",
                         "@0002 de|"}),
                    "*** text-bytes: more than TEXTCHARACTERS");
  // Without the keys there is no store to write to.
  expect_load_error(pxb({"[PROC]", "[TEXTTOKENS]", "@0001 a|"}), "*** text-tokens: more than TEXTTOKENS");
}

TEST_F(loader_test, TooManyExpressionsAreRefused) {
  expect_load_error(pxb({"[PROC]", "[INIT]", "UPNCODES=1", "UPNTOKENS=10", "[UPNCODES]", "#1 ", "#2 "}), "max_upns");
  expect_load_error(pxb({"[PROC]", "[UPNCODES]", "#1 "}), "max_upns");
}

// ---------------------------------------------------------------- [CODES]

TEST_F(loader_test, CodeRecordWithFlagsTargetAndExpression) {
  const std::string_view line = "/00000010 CALL :0042 %0007";
  ASSERT_FALSE(load(program({"[CODES]", line}, "CODES=0050")).has_value());
  const code_record& rec = program_image.codes[1];
  EXPECT_EQ(rec.flags, 0x10);
  EXPECT_EQ(rec.opcode, 1);
  EXPECT_EQ(rec.target, 42);
  EXPECT_EQ(rec.expression, 7);
  EXPECT_EQ(rec.second, 0);
  EXPECT_EQ(code_text(1), padded(line, 40));
}

TEST_F(loader_test, OneOrTwoTextTokenFields) {
  ASSERT_FALSE(load(program({"[CODES]", "MESS @0005 @0006", "MESS @0005", "MESS &0009"})).has_value());
  EXPECT_EQ(program_image.codes[1].token1, 5);
  EXPECT_EQ(program_image.codes[1].token2, 6);
  EXPECT_EQ(program_image.codes[2].token1, 5);
  EXPECT_EQ(program_image.codes[2].token2, 5);
  EXPECT_EQ(program_image.codes[3].second, 9);
  EXPECT_EQ(program_image.codes[3].token1, 0);
}

TEST_F(loader_test, FlagMaskIsHexadecimal) {
  ASSERT_FALSE(load(program({"[CODES]", "/8000FFff JMP :0001"})).has_value());
  EXPECT_EQ(static_cast<uint32_t>(program_image.codes[1].flags), 0x8000FFFFu);
  EXPECT_EQ(program_image.codes[1].opcode, 5);
}

TEST_F(loader_test, KeywordsNeedTheirColumns) {
  ASSERT_FALSE(load(program({"[CODES]", "TEXT @0001", "TEXTB @0001", "JZ :0001", "JNZ :0001", "%0003",
                             "MOVE", "MOUSE", "ARRAY"})).has_value());
  const int32_t expected[] = {22, 23, 6, 7, 4, 31, 24, 47};
  for (int32_t k = 1; k <= 8; ++k) EXPECT_EQ(program_image.codes[static_cast<size_t>(k)].opcode, expected[k - 1]) << k;
  EXPECT_EQ(program_image.codes[5].expression, 3);
}

TEST_F(loader_test, EveryKeywordHasItsOpcode) {
  const char* words[] = {"CALL",  "EVENT", "RETURN", "%",      "JMP",    "JZ",     "JNZ",    "MESS",
                         "RUN",   "SELECT", "COMBO", "QUERY",  "SUBMEN", "HOTKEY", "QUIT",   "SOUND",
                         "COLOR", "ORIGIN", "SHOW",  "HELP",   "FILE",   "TEXT",   "TEXTB",  "MOUSE",
                         "PRINT", "WINDOW", "WINMGR", "ARC",   "LINE",   "PIXEL",  "MOVE",   "DRAW",
                         "PLOT",  "BUTTON", "MENU",  "ASSIGN", "GOTO",   "BTNMGR", "FORMAT", "OUTPUT",
                         "BOX",   "AREA",  "CIRCLE", "FLOOD",  "LSTMGR", "SQL",    "ARRAY"};
  std::string text = pxb({"[PROC]", "[INIT]", "CODES=0047", "[CODES]"});
  for (const char* w : words) text += std::string(w) + "\n";
  ASSERT_FALSE(load(text).has_value());
  for (int32_t k = 1; k <= 47; ++k) EXPECT_EQ(program_image.codes[static_cast<size_t>(k)].opcode, k) << words[k - 1];
}

TEST_F(loader_test, UnknownKeywordIsReportedWithCodeZeroFirst) {
  // Without a box the first report already ends the program.
  expect_load_error(program({"[CODES]", "JUMP :0001"}), "kein g\xFCltiger code", 0);
}

TEST_F(loader_test, UnknownKeywordIsThenReportedAsTheRecord) {
  // With the box answered OK the code-0 report returns and the record itself follows.
  run_flags.no_box = false;
  std::vector<std::pair<std::string, std::string>> boxes;
  qn_set_box_answerer([&](std::string_view text, std::string_view caption, int32_t) {
    boxes.emplace_back(text, caption);
    return 1;
  });
  const auto ended = load(program({"[CODES]", "JUMP :0001"}));
  ASSERT_TRUE(ended.has_value());
  EXPECT_EQ(*ended, 32000);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].first, "kein g\xFCltiger code");
  EXPECT_EQ(boxes[0].second, "KYR-ERROR     0");
  EXPECT_EQ(boxes[1].first, "JUMP :0001");
  EXPECT_EQ(last_error(), "KYR-ERROR 32000:JUMP :0001");
}

TEST_F(loader_test, LabelLinesAreSkippedAndLabelsSectionIgnored) {
  ASSERT_FALSE(load(program({"[LABELS]", "anything at all", "[CODES]", ":LABEL1", "QUIT"})).has_value());
  EXPECT_EQ(program_image.codes[1].opcode, 15);
  EXPECT_EQ(program_image.codes[2].opcode, 0);
}

TEST_F(loader_test, MalformedOperandOrFlagsIsAReadError) {
  expect_load_error(program({"[CODES]", "CALL :00x2"}), "PXB read error: CALL :00x2");
  expect_load_error(program({"[CODES]", "/0000001G CALL"}), "PXB read error: /0000001G CALL");
}

TEST_F(loader_test, MoreCodeLinesThanDeclaredAreRefused) {
  expect_load_error(program({"[CODES]", "QUIT", "QUIT", "QUIT"}, "CODES=0002"), "*** more code records than CODES");
  expect_load_error(program({"[CODES]", "QUIT", "QUIT", "{text"}, "CODES=0002"), "*** more code records than CODES");
  expect_load_error(pxb({"[PROC]", "[CODES]", "QUIT"}), "*** more code records than CODES");
}

TEST_F(loader_test, TargetsOutsideTheCodeRecordsAreRefused) {
  EXPECT_FALSE(load(program({"[CODES]", "JMP :0003"}, "CODES=0003")).has_value());
  expect_load_error(program({"[CODES]", "JMP :0004"}, "CODES=0003"), "*** target outside 1..CODES: JMP :0004");
  expect_load_error(program({"[CODES]", "JMP :-001"}, "CODES=0003"), "*** target outside 1..CODES: JMP :-001");
}

// ---------------------------------------------------------------- finding the file

TEST_F(loader_test, ProgramFileIsFoundAsNamed) {
  write_file("RUN.PXB", "[PROC]\n");
  EXPECT_EQ(read_program_file(padded("RUN.PXB", 80)), "[PROC]\n");
}

TEST_F(loader_test, ProgramWithoutDirectoryIsTriedInKyr) {
  write_file("KYR/RUN.PXB", "second");
  EXPECT_EQ(read_program_file("RUN.PXB"), "second");
}

TEST_F(loader_test, ProgramWithDirectoryIsTriedInItsKyrSubdirectory) {
  write_file("apps/KYR/RUN.PXB", "beside");
  EXPECT_EQ(read_program_file("apps\\RUN.PXB"), "beside");
}

TEST_F(loader_test, MissingProgramReportsTheNameAndBothPlaces) {
  try {
    read_program_file("MISSING.PXB");
    FAIL() << "no error";
  } catch (const program_end& end) {
    EXPECT_EQ(end.code, 32000);
  }
  EXPECT_EQ(last_error(), "KYR-ERROR 32000:KYRPROG not found:MISSING.PXB (searched MISSING.PXB and ./KYR/MISSING.PXB)");
  errors_reset();
  try {
    read_program_file("C:\\APPS\\RUN.PXB");
    FAIL() << "no error";
  } catch (const program_end&) {
  }
  EXPECT_EQ(last_error(),
            "KYR-ERROR 32000:KYRPROG not found:C:\\APPS\\RUN.PXB (searched C:\\APPS\\RUN.PXB and C:\\APPS\\KYR\\RUN.PXB)");
  errors_reset();
  try {
    read_program_file("/tmp/my dir/MY PROG.PXB");
    FAIL() << "no error";
  } catch (const program_end&) {
  }
  EXPECT_EQ(last_error(), "KYR-ERROR 32000:KYRPROG not found:/tmp/my dir/MY PROG.PXB (searched /tmp/my dir/MY "
                          "PROG.PXB and /tmp/my dir/KYR/MY PROG.PXB)");
}

// Messages name a command by its keyword; "TEXT " loses the blank that tells it from "TEXTB".
TEST(command_names, KeywordsWithoutTheirSeparatingBlank) {
  EXPECT_STREQ(command_name(22), "TEXT");
  EXPECT_STREQ(command_name(23), "TEXTB");
  EXPECT_STREQ(command_name(4), "%");
  EXPECT_STREQ(command_name(46), "SQL");
  EXPECT_STREQ(command_name(48), "ARRAY");  // opcodes past the table run the ARRAY handler
}
