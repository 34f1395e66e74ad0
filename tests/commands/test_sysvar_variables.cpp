// SYSVAR "type" and "dim" read the variable of the last variable operand, which normally is
// the argument itself; and SYSVAR inside compiled expressions.
#include <string>

#include "program/test_evaluator_fixture.h"

namespace {

std::string n(int32_t v) { return std::to_string(v); }

class sysvar_variables : public evaluator_test {};

TEST_F(sysvar_variables, TypeOfEachKindOfVariable) {
  const int32_t i = numeric_variable("I", var_integer, 3);
  const int32_t r = numeric_variable("R", var_real, 5);
  const int32_t p = numeric_variable("P", var_pointer, 2);
  const int32_t t = text_variable("T", 10, 4);
  const int32_t d = text_variable("D", 10, 1, var_date);
  const int32_t type = token("TYPE");
  const int32_t dim = token("Dim");
  struct {
    int32_t variable;
    float kind, dimension;
  } cases[] = {{i, 1, 3}, {r, 2, 5}, {t, 3, 4}, {d, 3, 1}, {p, 4, 2}};
  for (const auto& c : cases) {
    evaluate_upn(expr("@" + n(type) + " &" + n(c.variable) + " _SYSVAR"), 1);
    EXPECT_EQ(P(1), c.kind) << c.variable;
    evaluate_upn(expr("@" + n(dim) + " &" + n(c.variable) + " _SYSVAR"), 1);
    EXPECT_EQ(P(1), c.dimension) << c.variable;
  }
  // An element operand names the same variable.
  evaluate_upn(expr("@" + n(dim) + " #2 %" + n(r) + " _SYSVAR"), 1);
  EXPECT_EQ(P(1), 5.0f);
}

TEST_F(sysvar_variables, DimThroughAPointerCountsFromThePointedElement) {
  const int32_t a = numeric_variable("A", var_integer, 6);
  const int32_t p = numeric_variable("P", var_pointer);
  const int32_t dim = token("dim");
  evaluate_upn(expr("#3 %" + n(a) + " _LOC &" + n(p) + " __STO"), 0);  // P points to A(3)
  evaluate_upn(expr("@" + n(dim) + " #1 &" + n(p) + " _AREF _SYSVAR"), 1);
  EXPECT_EQ(P(1), 4.0f);
  // The array read directly again: its whole dimension.
  evaluate_upn(expr("@" + n(dim) + " &" + n(a) + " _SYSVAR"), 1);
  EXPECT_EQ(P(1), 6.0f);
}

TEST_F(sysvar_variables, TypeOfAnArgumentThatIsNoVariableIsZero) {
  const int32_t type = token("type");
  evaluate_upn(expr("@" + n(type) + " #7 _SYSVAR"), 1);
  EXPECT_EQ(P(1), 0.0f);
}

TEST_F(sysvar_variables, AnswersInsideAnExpression) {
  const int32_t x = numeric_variable("X", var_integer);
  const int32_t name = token("xres");
  // SYSVAR("xres", 0) + 1 stored into X.
  evaluate_upn(expr("@" + n(name) + " #0 _SYSVAR #1 _+ &" + n(x) + " __STO"), 0);
  EXPECT_EQ(int_at(x), screen_metrics.width + 1);
  // A text answer: its length is the value, and it can be concatenated.
  const int32_t env = token("getenv");
  const int32_t var = token("WINKYR_SYSVAR_E");
  ::setenv("WINKYR_SYSVAR_E", "abc", 1);
  evaluate_upn(expr("@" + n(env) + " @" + n(var) + " _SYSVAR"), 1);
  EXPECT_EQ(P(1), 3.0f);
  EXPECT_EQ(top_text(), "abc");
  ::unsetenv("WINKYR_SYSVAR_E");
}

}  // namespace
