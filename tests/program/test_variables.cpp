// Variable access inside expressions: "&" and "%", bounds, stores by type, LOC, REF, AREF and
// the argument frame.
#include "test_evaluator_fixture.h"

#include <bit>

using variable_access = evaluator_test;

namespace {
std::string n(int32_t v) { return std::to_string(v); }
}  // namespace

// ---------------------------------------------------------------- reading
TEST_F(variable_access, ReadsEachTypeAsItsValue) {
  const int32_t i = numeric_variable("I", var_integer);
  const int32_t r = numeric_variable("R", var_real);
  const int32_t p = numeric_variable("P", var_pointer);
  const int32_t t = text_variable("T", 6);
  set_int(i, -42);
  set_real(r, 2.5f);
  set_int(p, 0x00030005);
  set_text(t, "ABCDEF");
  evaluate_upn(expr("&" + n(i) + " &" + n(r) + " &" + n(p)), 3);
  EXPECT_EQ(P(1), -42.0f);
  EXPECT_EQ(P(2), 2.5f);
  EXPECT_EQ(param_registers.bits(3), 0x00030005u);  // the pointer word keeps its bits
  evaluate_upn(expr("&" + n(t)), 1);
  EXPECT_EQ(top_text(), "ABCDEF");
  EXPECT_EQ(P(1), 6.0f);
  EXPECT_EQ(text_tokens.percent_slots[0].substr(0, 6), "ABCDEF");
}

TEST_F(variable_access, ElementsAndTheDimensionRequest) {
  const int32_t a = numeric_variable("A", var_real, 5);
  for (int32_t k = 1; k <= 5; ++k) set_real(a, 10.0f * static_cast<float>(k), k);
  evaluate_upn(expr("#3 %" + n(a)), 1);
  EXPECT_EQ(P(1), 30.0f);
  evaluate_upn(expr("#4.6 %" + n(a)), 1);  // nearest: element 5
  EXPECT_EQ(P(1), 50.0f);
  evaluate_upn(expr("#-999 %" + n(a)), 1);
  EXPECT_EQ(P(1), 5.0f);
  int32_t v = 0, k = 0;
  evaluate_upn(expr("#2 %" + n(a)), 1);
  get_last_reference(v, k);
  EXPECT_EQ(v, a);
  EXPECT_EQ(k, 1);
}

TEST_F(variable_access, ElementsOutsideTheDimensionAreReported) {
  const int32_t a = numeric_variable("A", var_integer, 5);
  EXPECT_EQ(eval_error(expr("#0 %" + n(a)), 1), 1);  // code: the previous element position
  EXPECT_EQ(last_error_message(), "LOA Feldgrenze");
  errors_reset();
  evaluate_upn(expr("#2 %" + n(a)), 1);
  const int32_t position = evaluator.element_position;
  EXPECT_EQ(eval_error(expr("#2 %" + n(a) + " #6 %" + n(a)), 2), position);
  errors_reset();
  EXPECT_EQ(eval_error(expr("#5 %" + n(a)), 1), no_error);
}

TEST_F(variable_access, ToleratedBoundsSkipOneAccessOnly) {
  const int32_t a = numeric_variable("A", var_integer, 3);
  const int32_t once = expr("#9 %" + n(a));
  const int32_t twice = expr("#9 %" + n(a) + " #4 %" + n(a));
  tolerate_array_bounds();  // after compiling: every compile switches the report back on
  EXPECT_EQ(eval_error(once, 1), no_error);
  EXPECT_EQ(P(1), 9.0f);  // the element number stays
  int32_t v = 0, k = 0;
  get_last_reference(v, k);
  EXPECT_EQ(k, 8);
  EXPECT_NE(eval_error(once, 1), no_error);

  tolerate_array_bounds();
  EXPECT_NE(eval_error(twice, 2), no_error);  // the second in one evaluation is reported
  EXPECT_EQ(last_error_message(), "LOA Feldgrenze");
}

TEST_F(variable_access, BadVariableNumbersAreRefused) {
  EXPECT_EQ(eval_error(expr("&99"), 1), 32000);
  errors_reset();
  EXPECT_EQ(eval_error(expr("&0"), 1), 32000);
  errors_reset();
  const int32_t odd = numeric_variable("ODD", 2);
  EXPECT_EQ(eval_error(expr("&" + n(odd)), 1), 32000);
  EXPECT_EQ(last_error_message(), "Variablen-Typ");
}

TEST_F(variable_access, LastReferenceNamesTheVariableUntilAnOperator) {
  const int32_t x = numeric_variable("X", var_real);
  int32_t v = -1, k = -1;
  evaluate_upn(expr("&" + n(x)), 1);
  get_last_reference(v, k);
  EXPECT_EQ(v, x);
  EXPECT_EQ(k, 0);
  evaluate_upn(expr("&" + n(x) + " #1 _+"), 1);
  get_last_reference(v, k);
  EXPECT_EQ(v, 0);
}

TEST_F(variable_access, SubstringOfATextVariable) {
  const int32_t t = text_variable("T", 6);
  set_text(t, "ABCDEF");
  evaluate_upn(expr("#2 #4 _: &" + n(t)), 1);
  EXPECT_EQ(top_text(), "BCD");
  EXPECT_EQ(P(1), 3.0f);
  evaluate_upn(expr("#4 #99 _: &" + n(t)), 1);  // b stops at the element length
  EXPECT_EQ(top_text(), "DEF");
  evaluate_upn(expr("#9 #12 _: &" + n(t)), 1);  // a beyond the length: the last character
  EXPECT_EQ(top_text(), "F");
  evaluate_upn(expr("#4 #2 _: &" + n(t)), 1);
  EXPECT_EQ(evaluator.top().type, 0);
}

// ---------------------------------------------------------------- storing
TEST_F(variable_access, StoreLeavesTheStackAsBefore) {
  const int32_t x = numeric_variable("X", var_real);
  evaluate_upn(expr("#1 #7 &" + n(x) + " __STO"), 1);
  EXPECT_EQ(real_at(x), 7.0f);
  EXPECT_EQ(evaluator.sp, 1);
  EXPECT_EQ(P(1), 1.0f);
  EXPECT_EQ(P(2), 0.0f);
  EXPECT_EQ(evaluator.element_position, 1);
}

TEST_F(variable_access, IntegerStoresTruncateAndClamp) {
  const int32_t i = numeric_variable("I", var_integer, 2);
  evaluate_upn(expr("#2.9 &" + n(i) + " __STO"), 0);
  EXPECT_EQ(int_at(i), 2);
  evaluate_upn(expr("#-2.9 #2 %" + n(i) + " __STO"), 0);
  EXPECT_EQ(int_at(i, 2), -2);
  evaluate_upn(expr("#9999999999 &" + n(i) + " __STO"), 0);
  EXPECT_EQ(int_at(i), INT32_MAX);
}

TEST_F(variable_access, TextStores) {
  const int32_t t = text_variable("T", 6, 2);
  const int32_t xy = token("XY");
  evaluate_upn(expr("#65 &" + n(t) + " __STO"), 0);
  EXPECT_EQ(text_at(t), "A     ");
  const int32_t long_text = token("123456789");
  evaluate_upn(expr("@" + n(long_text) + " #2 %" + n(t) + " __STO"), 0);
  EXPECT_EQ(text_at(t, 2), "123456");
  EXPECT_EQ(text_at(t, 1), "A     ");  // the neighbour is untouched
  set_text(t, "ABCDEF");
  evaluate_upn(expr("@" + n(xy) + " #2 #3 _: &" + n(t) + " __STO"), 0);
  EXPECT_EQ(text_at(t), "AXYDEF");
  set_text(t, "ABCDEF");
  evaluate_upn(expr("@" + n(xy) + " #5 #9 _: &" + n(t) + " __STO"), 0);
  EXPECT_EQ(text_at(t), "ABCDXY");
  set_text(t, "ABCDEF");
  evaluate_upn(expr("@" + n(xy) + " #3 #5 _: &" + n(t) + " __STO"), 0);
  EXPECT_EQ(text_at(t), "ABXY F");  // the width a..b, blank-padded
  EXPECT_EQ(text_tokens.percent_slots[0].substr(0, 2), "XY");
}

TEST_F(variable_access, StoreErrors) {
  EXPECT_EQ(eval_error(expr("#1 #2 __STO"), 0), 32000);
  EXPECT_EQ(last_error_message(), "ARI ist 0!");
  errors_reset();
  EXPECT_EQ(eval_error(expr("#1 _LOC"), 1), 32000);
  EXPECT_EQ(last_error_message(), "ARI < 1!");
}

TEST_F(variable_access, StoreIntoAnElementLeftOutOfRangeIsRefused) {
  const int32_t a = numeric_variable("A", var_integer, 2);
  const int32_t guard = numeric_variable("G", var_integer);
  const int32_t e = expr("#5 #1 %" + n(a) + " #3 %" + n(a) + " __STO");
  tolerate_array_bounds();
  // The skipped access leaves element index 2 behind; the store must not write word 3.
  EXPECT_EQ(eval_error(e, 1), 32000);
  EXPECT_EQ(int_at(guard), 0);
}

// ---------------------------------------------------------------- pointers
TEST_F(variable_access, LocStoreAndDereference) {
  const int32_t x = numeric_variable("X", var_real, 4);
  const int32_t p = numeric_variable("P", var_pointer, 2);
  for (int32_t k = 1; k <= 4; ++k) set_real(x, 1.5f * static_cast<float>(k), k);
  evaluate_upn(expr("#3 %" + n(x) + " _LOC &" + n(p) + " __STO"), 0);
  EXPECT_EQ(int_at(p), x | (2 << 16));
  evaluate_upn(expr("&" + n(p) + " _REF"), 1);
  EXPECT_EQ(P(1), 4.5f);
  evaluate_upn(expr("#2 &" + n(p) + " _AREF"), 1);  // element 2 counted from the pointer's
  EXPECT_EQ(P(1), 6.0f);
  EXPECT_EQ(evaluator.sp, 1);
  // The remembered element is used once.
  evaluate_upn(expr("#" + n(x) + " #2 %" + n(p) + " __STO"), 0);
  EXPECT_EQ(int_at(p, 2), x);
}

TEST_F(variable_access, DereferenceNeedsAPointerAndAGoodTarget) {
  const int32_t x = numeric_variable("X", var_real);
  const int32_t p = numeric_variable("P", var_pointer);
  EXPECT_EQ(eval_error(expr("&" + n(x) + " _REF"), 1), 32000);
  EXPECT_EQ(last_error_message(), "REF(noptr)");
  errors_reset();
  EXPECT_EQ(eval_error(expr("#1 &" + n(x) + " _AREF"), 1), 32000);
  EXPECT_EQ(last_error_message(), "AREF(noptr,idx)");
  errors_reset();
  set_int(p, 999);  // names no variable
  EXPECT_EQ(eval_error(expr("&" + n(p) + " _REF"), 1), 32000);
  errors_reset();
  set_int(p, x | (5 << 16));  // element 6 of a one-element variable
  EXPECT_NE(eval_error(expr("&" + n(p) + " _REF"), 1), no_error);
  EXPECT_EQ(last_error_message(), "LOA Feldgrenze");
}

// ---------------------------------------------------------------- call arguments
TEST_F(variable_access, StoreIntoAnArgumentOfTheCurrentLevel) {
  call_state.depth = 2;
  evaluator.sp = 2;
  stack_slot(1).set_number(8.5f);
  evaluator.last_reference = -3;
  store_reference();
  EXPECT_EQ(call_state.arg_frame[2][2], 8.5f);
  EXPECT_EQ(call_argument(3), 8.5f);
  EXPECT_EQ(evaluator.sp, 0);
}

TEST_F(variable_access, ArgumentStoresOutsideACallOrRangeAreRefused) {
  call_state.depth = 0;
  evaluator.sp = 2;
  evaluator.last_reference = -1;
  EXPECT_EQ(error_of([] { store_reference(); }), 32000);
  errors_reset();
  call_state.depth = 1;
  evaluator.sp = 2;
  evaluator.last_reference = -11;
  EXPECT_EQ(error_of([] { store_reference(); }), 32000);
  EXPECT_EQ(last_error_message(), "ARG-Index falsch");
  EXPECT_EQ(call_argument(0), 0.0f);
  EXPECT_EQ(call_argument(11), 0.0f);
}

TEST_F(variable_access, TextElementsNeverReadPastTheStringSpace) {
  const int32_t t = text_variable("T", 6);
  relayout(t, [](variable_record& var) {  // a broken image: only 2 characters fit
    var.text_start = string_buffer_t::size - 1;
    var.text_end = string_buffer_t::size + 4;
  });
  STRING_BUFFER.write(string_buffer_t::size - 1, 2, "QR");
  evaluate_upn(expr("&" + n(t)), 1);
  EXPECT_EQ(top_text(), "QR");
  evaluate_upn(expr("#2 #9 _: &" + n(t)), 1);
  EXPECT_EQ(top_text(), "R");
}

TEST_F(variable_access, LongTextVariablesFillTheSlot) {
  const int32_t t = text_variable("LONG", 300);
  set_text(t, std::string(299, 'a') + "z");
  evaluate_upn(expr("&" + n(t)), 1);
  EXPECT_EQ(evaluator.top().type, 300);
  EXPECT_EQ(evaluator.top().text[299], 'z');
  evaluate_upn(expr("#10 #400 _: &" + n(t)), 1);  // at most 256 characters from a
  EXPECT_EQ(evaluator.top().type, 256);
}
