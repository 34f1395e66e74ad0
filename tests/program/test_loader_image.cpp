// The program image the loader builds: code records, variables in the numeric and string
// spaces, and a reload that leaves nothing of the previous program.
#include "tests/program/test_loader_fixture.h"

namespace {

std::string_view code_text(int32_t k) {
  const code_record& rec = program_image.codes[static_cast<size_t>(k)];
  return std::string_view(rec.text.data(), rec.text.size());
}

const variable_record& var(int32_t v) { return variable_table.records[static_cast<size_t>(v)]; }

}  // namespace

// ---------------------------------------------------------------- code records

TEST_F(loader_test, UnfilledCodeRecordStaysEmpty) {
  ASSERT_FALSE(load(program({"[CODES]", "QUIT", "RETURN"}, "CODES=0003")).has_value());
  EXPECT_EQ(program_image.codes[2].opcode, 3);
  const code_record& rec = program_image.codes[3];
  EXPECT_EQ(rec.opcode, 0);
  EXPECT_EQ(rec.target, 0);
  EXPECT_EQ(rec.flags, 0);
  EXPECT_EQ(code_text(3), padded("*", 40));
  EXPECT_EQ(load_state.last_code, 2);
}

TEST_F(loader_test, CommandTextRecordNamesTheNextCode) {
  ASSERT_FALSE(load(program({"[CODES]", "QUIT", "{first text", "{second text", "RETURN", "QUIT"})).has_value());
  EXPECT_EQ(code_text(1), padded("QUIT", 40));
  // Two "{" records in a row: the second overwrites the first.
  EXPECT_EQ(code_text(2), padded("{second text", 40));
  EXPECT_EQ(program_image.codes[2].opcode, 3);
  EXPECT_EQ(code_text(3), padded("QUIT", 40));
}

TEST_F(loader_test, CommandTextKeepsFortyCharacters) {
  const std::string line = "MESS @0001 " + std::string(60, 'z');
  ASSERT_FALSE(load(program({"[CODES]", line})).has_value());
  EXPECT_EQ(code_text(1), line.substr(0, 40));
}

// ---------------------------------------------------------------- numeric variables

TEST_F(loader_test, IntegerInitialValuesRoundHalvesAwayFromZero) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0001 I 0001:UP/2.5", "&0002 I 0001:DOWN/-2.5", "&0003 I 0001:NEAR/2.4",
                             "&0004 P 0003:PTR/77", "&0005 R 0002:X/1.5"})).has_value());
  EXPECT_EQ(ADRSPACE.get_int(var(1).start), 3);
  EXPECT_EQ(ADRSPACE.get_int(var(2).start), -3);
  EXPECT_EQ(ADRSPACE.get_int(var(3).start), 2);
  for (int32_t k = 0; k < 3; ++k) EXPECT_EQ(ADRSPACE.get_int(var(4).start + k), 0);
  EXPECT_EQ(var(4).type, var_pointer);
  // Every element of a numeric array receives the initial value.
  EXPECT_FLOAT_EQ(ADRSPACE.get_real(var(5).start), 1.5f);
  EXPECT_FLOAT_EQ(ADRSPACE.get_real(var(5).start + 1), 1.5f);
}

TEST_F(loader_test, NumericVariablesTakeConsecutiveWords) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0001 I 0004:A", "&0002 R 0002:B", "&0003 I 0001:C"})).has_value());
  EXPECT_EQ(var(1).start, 1);
  EXPECT_EQ(var(2).start, 5);
  EXPECT_EQ(var(3).start, 7);
  EXPECT_EQ(load_state.next_word, 8);
}

TEST_F(loader_test, NumericFieldsByType) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0001 R 0001:R", "&0002 I 0001:I"})).has_value());
  EXPECT_EQ(var(1).width, 8);
  EXPECT_EQ(var(1).decimals, 2);
  EXPECT_EQ(var(2).width, 5);
  EXPECT_EQ(var(2).decimals, 0);
  EXPECT_EQ(var(1).range_min, -9979.0f);
  EXPECT_EQ(var(1).range_max, 9999.0f);
  EXPECT_EQ(var(1).text_start, 1);
  EXPECT_EQ(var(1).text_end, 1);
}

TEST_F(loader_test, NumericVariableFillingAdrspaceExactly) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0001 I 0099:A", "&0002 I 0001:B"})).has_value());
  EXPECT_EQ(var(2).start, 100);
  expect_load_error(program({"[VARIABLES]", "&0001 I 0099:A", "&0002 I 0002:B"}), "next array VAR B");
}

TEST_F(loader_test, EveryInitRecordRestartsTheSpaces) {
  // The spaces are counted from 1 again after a late [INIT] record.
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0001 I 0005:A", "[INIT]", "ADRSPACE=100", "[VARIABLES]", "&0002 I 0001:B"}))
                   .has_value());
  EXPECT_EQ(var(2).start, 1);
}

// ---------------------------------------------------------------- text variables

TEST_F(loader_test, TextArrayTakesLengthTimesDimension) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0001 S 0003*020:T/first", "&0002 S 0001*005:U/second"})).has_value());
  EXPECT_EQ(var(1).text_start, 1);
  EXPECT_EQ(var(1).text_end, 20);
  EXPECT_EQ(var(1).width, 20);
  EXPECT_EQ(var(1).decimals, 20);
  EXPECT_EQ(var(1).range_min, 0.0f);
  EXPECT_EQ(var(2).text_start, 61);
  EXPECT_EQ(STRING_BUFFER.view(1, 60), padded("first", 60));
  // The initial value is cut to the element length.
  EXPECT_EQ(STRING_BUFFER.view(61, 5), "secon");
}

TEST_F(loader_test, DateVariableIsTenCharactersUnlessGivenALength) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0001 D 0001:DAY/01.02.2003", "&0002 D 0001*004:SHORT/x"})).has_value());
  EXPECT_EQ(var(1).type, var_date);
  EXPECT_EQ(var(1).start, 10);
  EXPECT_EQ(var(1).text_end, 10);
  EXPECT_EQ(STRING_BUFFER.view(1, 10), "01.02.2003");
  EXPECT_EQ(var(2).start, 4);
  EXPECT_EQ(var(2).text_start, 11);
}

TEST_F(loader_test, TextVariableEndingAtTheLastCharacterFits) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0001 S 0020*999:A", "&0002 S 0001*500:B/end"})).has_value());
  EXPECT_EQ(var(2).text_start, 19981);
  EXPECT_EQ(var(2).text_end, 20480);
  EXPECT_EQ(STRING_BUFFER.view(19981, 3), "end");
  expect_load_error(program({"[VARIABLES]", "&0001 S 0020*999:A", "&0002 S 0001*501:B/end"}), "next string");
}

TEST_F(loader_test, RedefinedVariableTakesNewSpace) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0002 R 0001:X/1.5", "&0003 I 0001:Y/4", "&0002 R 0001:X2/2.5"})).has_value());
  EXPECT_EQ(var(2).start, 3);
  EXPECT_EQ(variable_name(var(2)), "X2");
  EXPECT_FLOAT_EQ(ADRSPACE.get_real(3), 2.5f);
  // The old word stays reserved with its value; no variable refers to it any more.
  EXPECT_FLOAT_EQ(ADRSPACE.get_real(1), 1.5f);
  EXPECT_EQ(var(3).start, 2);
}

TEST_F(loader_test, VariablesNeedNotComeInOrder) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0009 I 0001:LATE/9", "&0001 I 0001:EARLY/1"})).has_value());
  EXPECT_EQ(var(9).start, 1);
  EXPECT_EQ(var(1).start, 2);
  EXPECT_EQ(var(5).type, 0);
}

// ---------------------------------------------------------------- reload

TEST_F(loader_test, ReloadLeavesNothingOfThePreviousProgram) {
  ASSERT_FALSE(load(program({"[VARIABLES]", "&0001 S 0001*010:T/secret", "&0002 I 0001:N/7", "[UPNCODES]", "#1 ",
                             "[TEXTTOKENS]", "@0001 old|", "[CODES]", "QUIT"}))
                   .has_value());
  ASSERT_FALSE(load(pxb({"[PROC]", "[INIT]", "CODES=0001"})).has_value());
  EXPECT_EQ(program_image.codes[1].opcode, 0);
  EXPECT_TRUE(variable_table.records.empty());
  EXPECT_TRUE(ADRSPACE.words.empty());
  EXPECT_EQ(upn_code.expression_count, 0);
  EXPECT_TRUE(upn_code.code.empty());
  EXPECT_EQ(text_tokens.token_count, 0);
  EXPECT_EQ(STRING_BUFFER.view(1, 10), std::string(10, ' '));
}

TEST_F(loader_test, ProgramNeverStaysPartlyLoadedAfterAnError) {
  // The error ends the program; the records before it are in the image, but the load did not
  // return, so nothing runs.  The next load starts clean.
  EXPECT_TRUE(load(program({"[CODES]", "QUIT", "BOGUS"})).has_value());
  ASSERT_FALSE(load(pxb({"[PROC]", "[INIT]", "CODES=0002"})).has_value());
  EXPECT_EQ(program_image.codes[1].opcode, 0);
}

// ---------------------------------------------------------------- storage

TEST_F(loader_test, ResizingTheTableReleasesArrayBlocks) {
  alloc_variable_space(3);
  set_run_time_array(2, std::vector<uint32_t>(10, 0u));
  alloc_variable_space(4);
  EXPECT_EQ(variable_table.count, 4);
  ASSERT_EQ(variable_table.records.size(), 5u);
  EXPECT_FALSE(variable_table.records[2].array.allocated());
  EXPECT_TRUE(variable_table.records[2].array.data.empty());
}

TEST_F(loader_test, SizesHaveTheirFloors) {
  alloc_upn_index(0);
  EXPECT_EQ(upn_code.max_upns, 1);
  EXPECT_EQ(upn_code.first.size(), 2u);
  alloc_upn_codes(-3);
  EXPECT_EQ(upn_code.max_upn_codes, 1);
  EXPECT_EQ(upn_code.code.size(), 2u);
  alloc_variable_space(0);
  EXPECT_EQ(variable_table.count, 1);
  EXPECT_EQ(variable_table.records.size(), 2u);
  alloc_array_space(0);
  EXPECT_EQ(ADRSPACE.size, 0);
  EXPECT_EQ(ADRSPACE.word_count(), 0);
  alloc_array_space(-5);
  EXPECT_EQ(ADRSPACE.size, -5);
  EXPECT_FALSE(ADRSPACE.valid(1));
}

TEST_F(loader_test, AdrspaceViewsShareTheWord) {
  alloc_array_space(2);
  ADRSPACE.set_real(1, 1.0f);
  EXPECT_EQ(ADRSPACE.get_int(1), 0x3F800000);
  ADRSPACE.set_int(2, -1);
  EXPECT_EQ(ADRSPACE.word(2), 0xFFFFFFFFu);
  // Outside the space nothing is written and 0 is read.
  ADRSPACE.set_int(3, 5);
  EXPECT_EQ(ADRSPACE.get_int(3), 0);
  EXPECT_EQ(ADRSPACE.get_int(0), 0);
}

TEST_F(loader_test, StringBufferClampsItsRanges) {
  STRING_BUFFER.write(20479, 5, "abcde");
  EXPECT_EQ(STRING_BUFFER.view(20479, 5), "ab");
  EXPECT_EQ(STRING_BUFFER.view(0, 3), "  ");
  EXPECT_EQ(STRING_BUFFER.at(20481), ' ');
  EXPECT_EQ(STRING_BUFFER.view(30000, 4), "");
  // A write that starts before position 1 keeps only the characters that land inside, and a
  // text shorter than the length is blank-padded.
  STRING_BUFFER.write(-1, 6, "wxyz");
  EXPECT_EQ(STRING_BUFFER.view(1, 4), "yz  ");
  STRING_BUFFER.write(1, 3, "");
  EXPECT_EQ(STRING_BUFFER.view(1, 3), "   ");
  STRING_BUFFER.write(5, -2, "q");
  EXPECT_EQ(STRING_BUFFER.at(5), ' ');
}

// ---------------------------------------------------------------- stores replaced by a late [INIT]

TEST_F(loader_test, LateTextCharactersLeavesEarlierTokensEmpty) {
  ASSERT_FALSE(load(program({"[TEXTTOKENS]", "@0001 a long token text|", "[INIT]", "TEXTCHARACTERS=2"})).has_value());
  EXPECT_EQ(token(1, 4), "    ");
  EXPECT_EQ(get_text_token_length(), 0);
}

TEST_F(loader_test, LateAdrspaceThatNoLongerHoldsTheVariablesIsRefused) {
  expect_load_error(program({"[VARIABLES]", "&0001 I 0010:A/1", "[INIT]", "ADRSPACE=5"}), "next array VAR A");
  EXPECT_FALSE(load(program({"[VARIABLES]", "&0001 I 0010:A/1", "[INIT]", "ADRSPACE=10"})).has_value());
}

TEST_F(loader_test, LateExpressionIndexIsRefused) {
  expect_load_error(program({"[UPNCODES]", "#1 ", "#2 ", "[INIT]", "UPNCODES=1"}),
                    "*** expression outside UPNCODES or UPNTOKENS");
  // New code arrays start the expressions afresh.
  ASSERT_FALSE(load(program({"[UPNCODES]", "#1 ", "[INIT]", "UPNTOKENS=5", "[UPNCODES]", "#2 "})).has_value());
  EXPECT_EQ(upn_code.expression_count, 1);
  EXPECT_FLOAT_EQ(upn_code.operand_real(1), 2.0f);
}
