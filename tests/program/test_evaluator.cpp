// The evaluator core: stack frame, operand codes, operators, comparisons, substrings, skips and
// the stack checks.
#include "test_evaluator_fixture.h"

#include <cmath>

using evaluator_core = evaluator_test;

// ---------------------------------------------------------------- frame and results
TEST_F(evaluator_core, ExpressionZeroLeavesNoResultsAndNoError) {
  const int32_t e = expr("#5 #6");
  evaluate_upn(e, 2);
  ASSERT_EQ(P(1), 5.0f);
  EXPECT_EQ(eval_error(0, 10), no_error);
  for (int32_t i = 1; i <= 10; ++i) EXPECT_EQ(P(i), 0.0f) << "P" << i;
  EXPECT_EQ(evaluator.sp, 0);
}

TEST_F(evaluator_core, MissingResultsReadZeroAfterAnEarlierLongerEvaluation) {
  evaluate_upn(expr("#1 #2 #3 #4"), 4);
  evaluate_upn(expr("#9"), 4);
  EXPECT_EQ(P(1), 9.0f);
  EXPECT_EQ(P(2), 0.0f);
  EXPECT_EQ(P(3), 0.0f);
  EXPECT_EQ(P(4), 0.0f);
  EXPECT_TRUE(stack_slot(2).is_number());
  EXPECT_EQ(stack_slot(2).text[0], '@');
}

TEST_F(evaluator_core, ArithmeticInSinglePrecision) {
  evaluate_upn(expr("#7 #2 _- #3 _* #0.5 _+ #4 _/"), 1);
  EXPECT_FLOAT_EQ(P(1), (5.0f * 3.0f + 0.5f) / 4.0f);
  evaluate_upn(expr("#2 #10 _^"), 1);
  EXPECT_EQ(P(1), 1024.0f);
  evaluate_upn(expr("#0.1 #0.2 _+"), 1);
  EXPECT_EQ(P(1), 0.1f + 0.2f);  // float sum, not the double one
  EXPECT_EQ(evaluator.sp, 1);
}

TEST_F(evaluator_core, DivisionByZeroGivesZeroAndReports6103) {
  EXPECT_EQ(eval_error(expr("#3 #0 _/"), 1), 6103);
  EXPECT_EQ(last_error_message(), "ZERO divide");
  EXPECT_EQ(P(1), 0.0f);
  EXPECT_EQ(evaluator.sp, 1);
}

TEST_F(evaluator_core, MoreValuesThanExpectedReportTheirNumber) {
  EXPECT_EQ(eval_error(expr("#1 #2 #3"), 1), 3);
  EXPECT_EQ(last_error_message(), "STACK not empty");
  EXPECT_EQ(eval_error(expr("#1 #2 #3"), 3), no_error);
}

// ---------------------------------------------------------------- skips
TEST_F(evaluator_core, ConditionalSkipsRunForwardToTheirLabel) {
  evaluate_upn(expr("#1 ?F1 #5 ?:1"), 2);
  EXPECT_EQ(evaluator.sp, 2);
  EXPECT_EQ(P(1), 1.0f);
  EXPECT_EQ(P(2), 5.0f);

  evaluate_upn(expr("#0 ?F1 #5 ?:1"), 2);
  EXPECT_EQ(evaluator.sp, 1);
  EXPECT_EQ(P(1), 0.0f);

  EXPECT_EQ(eval_error(expr("#1 ?F1 #5 ?:1"), 1), 2);
  EXPECT_EQ(last_error_message(), "STACK not empty");
}

TEST_F(evaluator_core, SkipTrueAndMissingLabelSkipTheRest) {
  evaluate_upn(expr("#2 ?T3 #5 ?:3 #7 _+"), 1);
  EXPECT_EQ(P(1), 9.0f);  // #5 skipped
  evaluate_upn(expr("#2 ?T8 #5 #6"), 3);
  EXPECT_EQ(evaluator.sp, 1);  // label 8 never comes: everything after the jump is skipped
  // Only the label with the right number ends the skip.
  evaluate_upn(expr("#1 ?T2 #10 ?:1 #20 ?:2 #30"), 3);
  EXPECT_EQ(evaluator.sp, 2);
  EXPECT_EQ(P(2), 30.0f);
}

TEST_F(evaluator_core, JumpToLabelZeroNeverSkips) {
  evaluate_upn(expr("#1 ?T0 #5"), 2);
  EXPECT_EQ(evaluator.sp, 2);
  evaluate_upn(expr("#0 ?F0 #5"), 2);
  EXPECT_EQ(evaluator.sp, 2);
}

// ---------------------------------------------------------------- texts
TEST_F(evaluator_core, ConcatenationTurnsNumbersIntoCharacters) {
  const int32_t b = token("B");
  evaluate_upn(expr("#65 @" + std::to_string(b) + " _//"), 1);
  EXPECT_EQ(top_text(), "AB");
  EXPECT_EQ(evaluator.top().type, 2);
  EXPECT_EQ(P(1), 2.0f);
  evaluate_upn(expr("#320 @" + std::to_string(b) + " _//"), 1);
  EXPECT_EQ(top_text(), "AB");  // 320 mod 255 = 65
  evaluate_upn(expr("#255 #66 _//"), 1);
  EXPECT_EQ(evaluator.top().text[0], '\0');  // 255 becomes code 0, not 255
  EXPECT_EQ(evaluator.top().text[1], 'B');
}

TEST_F(evaluator_core, ConcatenationWithEmptyFirstTextGivesTheSecond) {
  const int32_t word = token("WORD");
  const int32_t abc = token("ABC");
  // #5 #4 _: makes an empty substring of "ABC".
  evaluate_upn(expr("#5 #4 _: @" + std::to_string(abc) + " @" + std::to_string(word) + " _//"), 1);
  EXPECT_EQ(top_text(), "WORD");
  EXPECT_EQ(P(1), 4.0f);
}

TEST_F(evaluator_core, ConcatenationLengthStopsAt256) {
  const int32_t a = token(std::string(200, 'x'));
  const int32_t b = token(std::string(200, 'y'));
  evaluate_upn(expr("@" + std::to_string(a) + " @" + std::to_string(b) + " _//"), 1);
  EXPECT_EQ(evaluator.top().type, 256);
  EXPECT_EQ(P(1), 256.0f);
  EXPECT_EQ(evaluator.top().text[199], 'x');
  EXPECT_EQ(evaluator.top().text[200], 'y');
  EXPECT_EQ(evaluator.sp, 1);
}

TEST_F(evaluator_core, TextComparisonsIgnoreTrailingBlanksAndUseByteOrder) {
  const int32_t t1 = token("AB");
  const int32_t t2 = token("AB   ");
  const int32_t t3 = token("ABC");
  const int32_t umlaut = token("\xE4");  // a-umlaut sorts after every ASCII letter
  auto run = [&](int32_t x, int32_t y, const char* op) {
    evaluate_upn(expr("@" + std::to_string(x) + " @" + std::to_string(y) + " " + op), 1);
    EXPECT_EQ(evaluator.sp, 1);
    EXPECT_TRUE(evaluator.top().is_number());
    return P(1);
  };
  EXPECT_EQ(run(t1, t2, "_=="), 1.0f);
  EXPECT_EQ(run(t1, t2, "_##"), 0.0f);
  EXPECT_EQ(run(t1, t3, "_=="), 0.0f);
  EXPECT_EQ(run(t1, t3, "_<<"), 1.0f);
  EXPECT_EQ(run(t3, t1, "_>>"), 1.0f);
  EXPECT_EQ(run(umlaut, t3, "_>>"), 1.0f);
  // A number compares as its character.
  const int32_t aa = token("A");
  evaluate_upn(expr("#65 @" + std::to_string(aa) + " _=="), 1);
  EXPECT_EQ(P(1), 1.0f);
}

TEST_F(evaluator_core, NumericComparisons) {
  struct { const char* op; float lt, eq, gt; } table[] = {
      {"_=", 0, 1, 0}, {"_#", 1, 0, 1}, {"_<", 1, 0, 0}, {"_>", 0, 0, 1}, {"_<=", 1, 1, 0}, {"_>=", 0, 1, 1}};
  for (const auto& row : table) {
    evaluate_upn(expr(std::string("#1 #2 ") + row.op), 1);
    EXPECT_EQ(P(1), row.lt) << row.op;
    evaluate_upn(expr(std::string("#2 #2 ") + row.op), 1);
    EXPECT_EQ(P(1), row.eq) << row.op;
    evaluate_upn(expr(std::string("#3 #2 ") + row.op), 1);
    EXPECT_EQ(P(1), row.gt) << row.op;
  }
  // A text compares by its length.
  const int32_t three = token("xyz");
  evaluate_upn(expr("@" + std::to_string(three) + " #3 _="), 1);
  EXPECT_EQ(P(1), 1.0f);
}

TEST_F(evaluator_core, SubstringOfATokenAndItsLimits) {
  const int32_t hello = token("HELLO");
  const std::string h = " @" + std::to_string(hello);
  evaluate_upn(expr("#2 #3 _:" + h), 1);
  EXPECT_EQ(top_text(), "EL");
  EXPECT_EQ(evaluator.top().type, 2);
  EXPECT_EQ(P(1), 2.0f);

  evaluate_upn(expr("#4 #8 _:" + h), 1);  // past the end: blanks
  EXPECT_EQ(top_text(), "LO   ");
  evaluate_upn(expr("#-3 #1 _:" + h), 1);  // a below 1 counts from 1
  EXPECT_EQ(top_text(), "H");
  evaluate_upn(expr("#3 #2 _:" + h), 1);  // b below a: empty
  EXPECT_EQ(evaluator.top().type, 0);
  EXPECT_EQ(P(1), 0.0f);
  evaluate_upn(expr("#250 #900 _:" + h), 1);  // b stops at 256
  EXPECT_EQ(evaluator.top().type, 7);
}

TEST_F(evaluator_core, UnconsumedSubstringIsDroppedWithTheEvaluation) {
  const int32_t hello = token("HELLO");
  evaluate_upn(expr("#2 #3 _: #1"), 1);
  EXPECT_EQ(P(1), 1.0f);
  evaluate_upn(expr("@" + std::to_string(hello)), 1);
  EXPECT_EQ(top_text(), "HELLO");
}

TEST_F(evaluator_core, TextResultBecomesPercentZero) {
  const int32_t t = token("Hallo Welt");
  evaluate_upn(expr("@" + std::to_string(t) + " #33 _//"), 1);
  EXPECT_EQ(text_tokens.percent_slots[0].substr(0, 11), "Hallo Welt!");
  EXPECT_EQ(get_text_token_length(), 11);
}

// A slot that held a longer text and then takes a short one in place holds the short one and
// blanks, whether the longer text came from a token or from a function that writes the field its
// own way (DSTR): whatever reads the whole field (a text comparison, a handler) sees none of the
// old characters.
TEST_F(evaluator_core, ShortTextInPlaceOfALongerOneLeavesNothingBehind) {
  const int32_t v = text_variable("V", 2);
  set_text(v, "AB");
  const std::string ab = std::to_string(token("AB"));
  const std::string longer = std::to_string(token("ABCDEFGHIJKLMNOP"));
  // The longer text in slot 1 is compared with 1 (false: 0); 0 + 1 then reads element 1 of V
  // into the same slot.
  for (const std::string& first : {"@" + longer, std::string("#0 _DSTR")}) {
    const std::string in_place = first + " #1 _= #1 _+ %" + std::to_string(v);
    evaluate_upn(expr(in_place), 1);
    EXPECT_EQ(std::string_view(stack_slot(1).text.data(), 512), "AB" + std::string(510, ' ')) << first;
    evaluate_upn(expr(in_place + " @" + ab + " _=="), 1);
    EXPECT_EQ(P(1), 1.0f) << first;
  }
}

// ---------------------------------------------------------------- stack limits
TEST_F(evaluator_core, TwentyOnePushesAreAllowedTheTwentySecondOverflows) {
  std::string pushes;
  for (int32_t i = 1; i <= 21; ++i) pushes += "#" + std::to_string(i) + " ";
  EXPECT_EQ(eval_error(expr(pushes), 1), 21);
  EXPECT_EQ(last_error_message(), "STACK not empty");

  EXPECT_EQ(eval_error(expr(pushes + "#22 #23"), 1), 6110);
  EXPECT_EQ(last_error_message(), "Stack overflow");
  EXPECT_EQ(evaluator.sp, 21);  // the 22nd code never ran
}

TEST_F(evaluator_core, EveryPoppingCodeChecksTheStackFirst) {
  const char* one_operand[] = {"#1 _+", "#1 _//", "#1 _-", "#1 _*", "#1 _/", "#1 _^", "#1 _:",
                               "#1 _=", "#1 _==", "#1 _<", "#1 _>>", "#1 __STO", "#1 _AREF"};
  for (const char* text : one_operand) {
    EXPECT_EQ(eval_error(expr(text), 1), 6111) << text;
    EXPECT_EQ(last_error_message(), "Stack underflow") << text;
    EXPECT_GE(evaluator.sp, 0) << text;
    errors_reset();
  }
  EXPECT_EQ(eval_error(expr("_+"), 1), 6111);
  errors_reset();
  EXPECT_EQ(eval_error(expr("_LOC"), 1), 6111);
  errors_reset();
  EXPECT_EQ(eval_error(expr("%1"), 1), 6111);
}

TEST_F(evaluator_core, FunctionsGetTheirArgumentsChecked) {
  EXPECT_EQ(function_arity(16), 1);   // SIN
  EXPECT_EQ(function_arity(23), 2);   // MIN
  EXPECT_EQ(function_arity(29), 0);   // RND
  EXPECT_EQ(function_arity(80), 3);   // SQLINFO
  EXPECT_EQ(function_arity(82), 0);   // IOERROR
  EXPECT_EQ(function_arity(7), -1);
  EXPECT_EQ(eval_error(expr("#1 _MIN"), 1), 6111);
  errors_reset();
  EXPECT_EQ(eval_error(expr("_SIN"), 1), 6111);
  errors_reset();
  EXPECT_EQ(eval_error(expr("#1 #2 _SQLINFO"), 1), 6111);
}

TEST_F(evaluator_core, BadExpressionNumbersAreReported) {
  const int32_t e = expr("#1 #2");
  EXPECT_EQ(eval_error(e, 2), no_error);
  EXPECT_EQ(eval_error(e + 1, 1), 32000);
  EXPECT_EQ(last_error_message(), "UPN-Ausdruck unbekannt: " + std::to_string(e + 1));
  errors_reset();
  EXPECT_EQ(eval_error(-3, 1), no_error);  // below 1: nothing to run
}

TEST_F(evaluator_core, EmptyExpressionLeavesNothing) {
  const int32_t e = expr("");
  EXPECT_EQ(upn_code.last[static_cast<size_t>(e)], upn_code.first[static_cast<size_t>(e)] - 1);
  EXPECT_EQ(eval_error(e, 0), no_error);
  EXPECT_EQ(evaluator.sp, 0);
}

TEST_F(evaluator_core, NumberToTextUsesNearestOfTheAbsoluteValue) {
  value_slot s;
  s.clear();
  s.set_number(-66.4f);
  number_to_text(s);
  EXPECT_EQ(s.type, 1);
  EXPECT_EQ(s.text[0], 'B');
  EXPECT_EQ(s.text[1], ' ');
  s.set_number(1e30f);  // huge values are clamped, never undefined
  s.type = -1;
  number_to_text(s);
  EXPECT_EQ(s.type, 1);
  s.set_number(std::nanf(""));
  s.type = -1;
  number_to_text(s);
  EXPECT_EQ(s.text[0], '\0');
}

// Random code sequences over every code the core handles, with good and bad operands, compiled
// as a program's expressions are: each evaluation ends normally or through a report, never out
// of bounds (run under the sanitizers).
TEST_F(evaluator_core, RandomCodeSequencesEndNormallyOrWithAReport) {
  alloc_upn_index(3100);
  alloc_upn_codes(3000 * 12 + 100);
  numeric_variable("I", var_integer, 3);
  numeric_variable("R", var_real, 2);
  numeric_variable("P", var_pointer, 2);
  text_variable("T", 5, 2);
  text_variable("L", 300);
  token("abc");
  token("%0");
  const int32_t codes[] = {1, 2, 2, 2, 3, 4, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 83, 84, 85, 86,
                           87, 88, 89, 90, 91, 92, 93, 93, 94, 95, 96};
  uint32_t seed = 12345;
  auto next = [&](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  const char* const constants[] = {"0", "1", "2", "-1", "-999", "3.5", "65537", "1E30", "-1E30"};
  int32_t reports = 0;
  for (int32_t round = 0; round < 3000; ++round) {
    const size_t length = 1 + next(12);
    std::string text;
    for (size_t i = 0; i < length; ++i) {
      const int32_t code = codes[next(sizeof codes / sizeof codes[0])];
      if (!text.empty()) text += ' ';
      if (code == upn_constant)
        text += std::string("#") + constants[next(sizeof constants / sizeof constants[0])];
      else if (code == upn_text)
        text += "@" + std::to_string(next(3));
      else if (code == upn_variable || code == upn_element)
        text += (code == upn_variable ? "&" : "%") + std::to_string(static_cast<int32_t>(next(9)) - 2);  // -2 .. 6
      else if (code == upn_jump || code == upn_jump_true || code == upn_jump_false)
        text += std::string(code == upn_jump ? "?:" : code == upn_jump_true ? "?T" : "?F") + std::to_string(next(3));
      else
        text += "_" + std::string(upn_code_name(code));
    }
    const int32_t e = expr(text);
    ASSERT_EQ(upn_code.last[static_cast<size_t>(e)] - upn_code.first[static_cast<size_t>(e)] + 1,
              static_cast<int32_t>(length))
        << text;
    if (next(4) == 0) tolerate_array_bounds();
    const int32_t code = eval_error(e, static_cast<int32_t>(next(4)));
    if (code != no_error) ++reports;
    EXPECT_GE(evaluator.sp, 0);
    EXPECT_LE(evaluator.sp, value_stack_last);
    for (int32_t s = value_stack_first; s <= value_stack_last; ++s)
      ASSERT_LE(stack_slot(s).type, 512) << "round " << round;
  }
  EXPECT_GT(reports, 0);
  EXPECT_LT(reports, 3000);
}
