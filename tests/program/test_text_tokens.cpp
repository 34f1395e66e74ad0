// Text tokens: storing, fetching, the %0-%2 slots and the variable markers.
#include "tests/program/test_loader_fixture.h"

namespace {

// A program with variables and tokens; markers are written with the byte 0xFA.
std::string marker_program(std::initializer_list<std::string_view> variables,
                           std::initializer_list<std::string_view> tokens) {
  std::string text = "[PROC]\nCSET=W\n[INIT]\nCODES=0001\nTEXTTOKENS=20\nTEXTCHARACTERS=4000\nVARIABLES=20\n"
                     "STRINGSPACE=20480\nADRSPACE=100\n[VARIABLES]\n";
  for (std::string_view v : variables) text.append(v).append("\n");
  text += "[TEXTTOKENS]\n";
  for (std::string_view t : tokens) text.append("@0000 ").append(t).append("|\n");
  return text;
}

const std::string M = "\xFA";  // marker byte

}  // namespace

// ---------------------------------------------------------------- storing

TEST_F(loader_test, TokenKeepsTrailingBlanksBeforeItsEndCharacter) {
  alloc_text_tokens(3);
  alloc_text_bytes(100);
  add_text_token(padded("Name: |", 250));
  add_text_token(padded("|", 250));
  add_text_token(std::string(250, ' '));
  EXPECT_EQ(token(1, 8), "Name:   ");
  EXPECT_EQ(get_text_token_length(), 6);
  // A single end character is kept as a one-character token.
  EXPECT_EQ(token(2, 2), "| ");
  EXPECT_EQ(get_text_token_length(), 1);
  EXPECT_EQ(token(3, 2), "  ");
  EXPECT_EQ(get_text_token_length(), 1);
  EXPECT_EQ(text_tokens.next_byte, 9);
}

TEST_F(loader_test, StoringBeyondTheDeclaredSizesIsRefused) {
  alloc_text_tokens(1);
  alloc_text_bytes(3);
  add_text_token("abc|");
  EXPECT_THROW(add_text_token("d|"), program_end);
  EXPECT_EQ(last_error(), "KYR-ERROR 32000:*** text-tokens: more than TEXTTOKENS");
  alloc_text_tokens(5);
  alloc_text_bytes(3);
  add_text_token("abc|");
  errors_reset();
  EXPECT_THROW(add_text_token("d|"), program_end);
  EXPECT_EQ(last_error(), "KYR-ERROR 32000:*** text-bytes: more than TEXTCHARACTERS");
}

// ---------------------------------------------------------------- fetching

TEST_F(loader_test, TokenZeroIsBlank) {
  set_text_token_length(17);
  EXPECT_EQ(token(0, 5), "     ");
  EXPECT_EQ(get_text_token_length(), 0);
}

TEST_F(loader_test, FetchIsCutOrPaddedToTheBuffer) {
  ASSERT_FALSE(load(marker_program({}, {"abcdef"})).has_value());
  char small[3];
  get_text_token(1, small);
  EXPECT_EQ(std::string(small, 3), "abc");
  EXPECT_EQ(get_text_token_length(), 6);
  EXPECT_EQ(token(1, 8), "abcdef  ");
}

TEST_F(loader_test, TokenNumberOutsideTheCountIsReportedWithItsNumber) {
  ASSERT_FALSE(load(marker_program({}, {"a"})).has_value());
  try {
    token(21);
    FAIL() << "no report";
  } catch (const program_end& end) {
    EXPECT_EQ(end.code, 21);
  }
  EXPECT_EQ(last_error(), "KYR-ERROR    21:*** text-token nr");
}

TEST_F(loader_test, NegativeTokenNumberGoesOnAfterOkWithABlankText) {
  ASSERT_FALSE(load(marker_program({}, {"a"})).has_value());
  run_flags.no_box = false;
  int boxes = 0;
  qn_set_box_answerer([&](std::string_view, std::string_view, int32_t) {
    ++boxes;
    return 1;
  });
  EXPECT_EQ(token(-1, 4), "    ");
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(last_error(), "KYR-ERROR    -1:*** text-token nr");
}

TEST_F(loader_test, DeclaredButUnfilledTokenIsBlank) {
  ASSERT_FALSE(load(marker_program({}, {"a"})).has_value());
  EXPECT_EQ(token(7, 4), "    ");
  EXPECT_EQ(get_text_token_length(), 0);
}

// ---------------------------------------------------------------- %0, %1, %2

TEST_F(loader_test, PercentTokensYieldTheirSlots) {
  ASSERT_FALSE(load(marker_program({}, {"%0", "%1", "%2", "Dear %1", "%3"})).has_value());
  set_percent0_text("zero");
  set_percent1_text("one");
  set_percent2_text(std::string(100, 'w'));
  EXPECT_EQ(token(1), padded("zero", 256));
  EXPECT_EQ(token(2, 80), padded("one", 80));
  // Slots keep 80 characters; the length is that of the slot's text without trailing blanks.
  EXPECT_EQ(token(3), padded(std::string(80, 'w'), 256));
  EXPECT_EQ(get_text_token_length(), 80);
  EXPECT_EQ(token(2, 80), padded("one", 80));
  EXPECT_EQ(get_text_token_length(), 3);
  EXPECT_EQ(token(4, 10), padded("Dear %1", 10));
  EXPECT_EQ(token(5, 4), "%3  ");
}

TEST_F(loader_test, SlotsStartBlankAndKeepTheirTexts) {
  ASSERT_FALSE(load(marker_program({}, {"%1"})).has_value());
  EXPECT_EQ(token(1, 80), std::string(80, ' '));
  set_percent1_text("kept");
  token(0);
  EXPECT_EQ(token(1, 4), "kept");
}

// ---------------------------------------------------------------- markers

TEST_F(loader_test, SingleMarkerInsertsTheTrimmedValue) {
  ASSERT_FALSE(load(marker_program({"&0001 I 0001:N/42"}, {"Total: " + M + "0001"})).has_value());
  EXPECT_EQ(token(1, 12), padded("Total: 42", 12));
  EXPECT_EQ(get_text_token_length(), 9);
}

TEST_F(loader_test, DoubleMarkerWithRangeInsertsTheCharacters) {
  ASSERT_FALSE(load(marker_program({"&0002 S 0001*006:T/ABCDEF"},
                                   {"<" + M + M + "0002[2:4]>", "<" + M + M + "0002[4:2]>", "<" + M + M + "0002>"}))
                   .has_value());
  EXPECT_EQ(token(1, 6), "<BCD> ");
  EXPECT_EQ(get_text_token_length(), 5);
  // To below from: the whole trimmed value.
  EXPECT_EQ(token(2, 9), "<ABCDEF> ");
  EXPECT_EQ(token(3, 9), "<ABCDEF> ");
}

TEST_F(loader_test, RangeBeyondTheValueKeepsItsBlanks) {
  ASSERT_FALSE(load(marker_program({"&0002 S 0001*006:T/AB"}, {"<" + M + M + "0002[1:4]>"})).has_value());
  // Characters 1-4 of the output text, not trimmed.
  EXPECT_EQ(token(1, 7), "<AB  > ");
  EXPECT_EQ(get_text_token_length(), 6);
}

TEST_F(loader_test, RangeIsClampedToTheOutputText) {
  ASSERT_FALSE(load(marker_program({"&0002 S 0001*006:T/AB"}, {"<" + M + M + "0002[255:9999]>", "<" + M + M + "0002[300:400]>"}))
                   .has_value());
  EXPECT_EQ(token(1, 5), "<  > ");
  EXPECT_EQ(get_text_token_length(), 4);
  EXPECT_EQ(token(2, 3), "<> ");
  EXPECT_EQ(get_text_token_length(), 2);
}

TEST_F(loader_test, DoubleMarkerWithIndexInsertsThatElement) {
  ASSERT_FALSE(load(marker_program({"&0003 I 0003:A/1"}, {M + M + "0003(3)!", M + M + "0003( 2 )[1:5]"})).has_value());
  ADRSPACE.set_int(variable_table.records[3].start + 2, 77);
  EXPECT_EQ(token(1, 4), "77! ");
  EXPECT_EQ(token(2, 6), "    1 ");
}

TEST_F(loader_test, SeveralMarkersAreAllExpanded) {
  ASSERT_FALSE(load(marker_program({"&0001 I 0001:A/1", "&0002 I 0001:B/22"}, {M + "0001+" + M + "0002=" + M + M + "0001"}))
                   .has_value());
  EXPECT_EQ(token(1, 8), "1+22=1  ");
  EXPECT_EQ(get_text_token_length(), 6);
}

TEST_F(loader_test, MarkerByteInsideAValueIsNotExpandedAgain) {
  // The value itself looks like a marker of the same variable: the search goes on behind it.
  ASSERT_FALSE(load(marker_program({"&0001 S 0001*005:T/" + M + "0001"}, {"[" + M + "0001]"})).has_value());
  EXPECT_EQ(token(1, 8), "[" + M + "0001] ");
}

TEST_F(loader_test, MarkerNearTheEndLosesWhatNoLongerFits) {
  ASSERT_FALSE(load(marker_program({"&0001 S 0001*020:T/ABCDEFGHIJKLMNOPQRST"}, {std::string(240, 'x') + M + "0001"}))
                   .has_value());
  EXPECT_EQ(token(1), std::string(240, 'x') + "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(get_text_token_length(), 256);
}

TEST_F(loader_test, MarkerCutByTheEndOfTheText) {
  // The number of a marker in the last columns runs past the text and reads as blanks, so it
  // names variable 0, which the formatter refuses (code 0, answered OK): nothing is inserted.
  ASSERT_FALSE(load(marker_program({"&0001 I 0001:A/5"}, {std::string(246, 'x') + M + "00"})).has_value());
  run_flags.no_box = false;
  qn_set_box_answerer([](std::string_view, std::string_view, int32_t) { return 1; });
  EXPECT_EQ(token(1), std::string(246, 'x') + std::string(10, ' '));
}

TEST_F(loader_test, MarkerErrors) {
  struct marker_case {
    std::string token;
    const char* message;
  };
  const marker_case cases[] = {
      {M + "00x1", "ADR:CODE-ERROR in text"},   {M + M + "0x01", "ADR:CODE-ERROR in text"},
      {M + M + "0001()", "INDEX(?)"},           {M + M + "0001(1", "INDEX(?)"},
      {M + M + "0001(x)", "INDEX-NO-CONST"},     {M + M + "0001[1:2", "SUBEXPR[?]"},
      {M + M + "0001[1:]", "SUBEXPR[?]"},        {M + M + "0001[123]", "SUBEXPR[?:?]"},
      {M + M + "0001[:123]", "SUBEXPR[?:?]"},    {M + M + "0001[a:b]", "SUBEXPR-NO-CONST"},
  };
  for (const marker_case& c : cases) {
    ASSERT_FALSE(load(marker_program({"&0001 I 0001:A/5"}, {c.token})).has_value());
    try {
      token(1);
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const program_end& end) {
      EXPECT_EQ(end.code, 32000);
    }
    EXPECT_EQ(last_error(), std::string("KYR-ERROR 32000:") + c.message);
  }
}

TEST_F(loader_test, MarkerOfAMissingElementLeavesItBlank) {
  // The formatter refuses the element (a code-0 report) and the field stays empty.
  ASSERT_FALSE(load(marker_program({"&0001 I 0002:A/5"}, {"<" + M + M + "0001(3)>"})).has_value());
  run_flags.no_box = false;
  qn_set_box_answerer([](std::string_view, std::string_view, int32_t) { return 1; });
  EXPECT_EQ(token(1, 3), "<> ");
}

// ---------------------------------------------------------------- string space

TEST_F(loader_test, StringSpaceIsBlankedByStringspace) {
  STRING_BUFFER.write(1, 3, "abc");
  check_string_space(100);
  EXPECT_EQ(STRING_BUFFER.view(1, 3), "   ");
  STRING_BUFFER.write(1, 3, "abc");
  EXPECT_THROW(check_string_space(20481), program_end);
  EXPECT_EQ(STRING_BUFFER.view(1, 3), "abc");
  EXPECT_EQ(last_error(), "KYR-ERROR 32000:max STRING_BUFFER");
}
