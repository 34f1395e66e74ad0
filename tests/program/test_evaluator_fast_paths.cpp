// The evaluator's in-line cases (numeric variables, stores, operators, comparisons, skips) give
// what the full entries give, and every case they pass on still gets its check and report:
// expressions compiled anew or released, slots a caller left behind, the JZ/JNZ test.
#include "test_evaluator_fixture.h"

#include <array>
#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include "runtime/program/expression/upn_plan.h"

using evaluator_fast = evaluator_test;

namespace {
// What the full store routine writes into an integer: the value truncated and clamped.
int32_t truncated(float v) { return trunc_to_int(v); }
}  // namespace

// ---------------------------------------------------------------- runs of codes done as one
namespace {
// What an evaluation leaves behind that a later code or command can see.
struct evaluation_result {
  std::array<uint32_t, 6> values{};
  std::array<int32_t, 6> types{};
  std::array<std::string, 6> texts;
  int32_t sp = 0, last_reference = 0, last_element = 0, element_position = 0, pointer_offset = 0;
  bool stored = false;
  std::vector<uint32_t> words;
  std::array<uint32_t, 10> arguments{};
  int32_t error = 0;
  bool operator==(const evaluation_result&) const = default;
};
void PrintTo(const evaluation_result& r, std::ostream* out) {
  *out << "error " << r.error << " sp " << r.sp << " reference " << r.last_reference << "(" << r.last_element
       << ") position " << r.element_position << " offset " << r.pointer_offset << " stored " << r.stored
       << " slots";
  for (size_t k = 0; k < r.values.size(); ++k)
    *out << " " << std::hex << r.values[k] << std::dec << "/" << r.types[k] << " \"" << r.texts[k] << "\"";
  *out << " words";
  for (uint32_t w : r.words) *out << " " << std::hex << w << std::dec;
  *out << " arguments";
  for (uint32_t a : r.arguments) *out << " " << std::hex << a << std::dec;
}
}  // namespace

// "&a __STO", "&a #c op", "&a &b op", "d = a op ...", "#k _ARG", "%a __STO", "&j %a" and
// "a(j) = ..." run as one step of their expression's plan, and the numeric and text functions
// are called straight from it.  The same codes with a label between each pair (a code that does nothing)
// run as steps of one code each, and without a plan each code takes the general path; all three
// must leave the same slots, registers, stores and reports, for every kind of variable and value.
TEST_F(evaluator_fast, RunsOfCodesDoneAsOneLeaveWhatTheCodesOneByOneLeave) {
  const int32_t i = numeric_variable("I", var_integer);
  const int32_t r = numeric_variable("R", var_real);
  const int32_t p = numeric_variable("P", var_pointer);
  const int32_t a = numeric_variable("A", var_integer, 3);
  const int32_t t = text_variable("T", 4);
  alloc_upn_index(40000);
  alloc_upn_codes(1000000);
  const auto run = [&](int32_t expression, float i_value, float r_value) {
    std::fill(ADRSPACE.words.begin(), ADRSPACE.words.end(), 0u);
    set_int(i, static_cast<int32_t>(i_value));
    set_real(r, r_value);
    ADRSPACE.set_word(record(p).start, 0x00020001u);
    set_text(t, "ab");
    call_state.depth = 1;  // ARG reads this level's arguments
    call_state.arg_frame[1] = {1.5f, -2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f, 10.0f};
    evaluation_result result;
    result.error = eval_error(expression, 5);
    for (int32_t k = 0; k < 6; ++k) {
      result.values[static_cast<size_t>(k)] = stack_slot(k).bits;
      result.types[static_cast<size_t>(k)] = stack_slot(k).type;
      result.texts[static_cast<size_t>(k)] = stack_slot(k).text_view();
    }
    result.sp = evaluator.sp;
    result.last_reference = evaluator.last_reference;
    result.last_element = evaluator.last_element;
    result.element_position = evaluator.element_position;
    result.pointer_offset = evaluator.pointer_offset;
    result.stored = evaluator.stored;
    result.words.assign(ADRSPACE.words.begin(), ADRSPACE.words.begin() + 12);
    for (size_t k = 0; k < result.arguments.size(); ++k)
      result.arguments[k] = std::bit_cast<uint32_t>(call_state.arg_frame[1][k]);
    return result;
  };
  // The codes kept apart by labels (the pushes of a prefix never run as one with anything).
  const auto apart = [](const std::string& codes) {
    std::string out;
    for (size_t at = 0; at < codes.size();) {
      const size_t end = std::min(codes.find(' ', at), codes.size());
      if (!out.empty()) out += " ?:77 ";
      out += codes.substr(at, end - at);
      at = end + 1;
    }
    return out;
  };
  // Values below: none, one, and stacks at the edges of the room the runs need.
  std::vector<std::string> prefixes = {"", "#9 ", "", ""};
  for (int32_t k = 1; k <= 18; ++k) prefixes[2] += "#" + std::to_string(k) + " ";
  prefixes[3] = prefixes[2] + "#19 ";
  const std::vector<std::string> variables = {"&" + std::to_string(i), "&" + std::to_string(r),
                                              "&" + std::to_string(p), "&" + std::to_string(a),
                                              "&" + std::to_string(t), "&0"};
  const std::vector<std::string> runs = {"X __STO", "X #2.5 _+", "X #3 _-", "X #-2 _*", "X #0 _/", "X #4 _/",
                                         "X #1 _<", "X #1 _>=", "X #1 _=", "X Y _+", "X Y _#", "X #1 _+ Y __STO",
                                         "X Y _* X __STO", "X #1 _+ Y #2 _+", "X #1 _SIN",
                                         "#1 _ARG X _+", "#10 _ARG X __STO", "#11 _ARG", "#0 _ARG",
                                         "#2.5 _ARG", "#2 _ARG #5 _ARG _+ X __STO", "#2 _ARG __STO",
                                         "X E", "X E __STO", "#3 E", "#2 E __STO", "#0 E", "#2.5 E __STO",
                                         "#7 X E __STO", "#3 X E __STO", "X Y E __STO", "X #1 _+ E __STO",
                                         "X E #1 _+ Y E __STO", "X _SQRT", "X _NINT", "_ABS", "X E _COS",
                                         "X Y _MOD", "X #0 _MOD", "X Y _MAX", "X _NOT Y _IAND", "X _LEN #2 _+",
                                         "X _UPCASE", "X _TRIM Y __STO", "X Y _INDEX", "_INDEX", "X Y _// _RTRIM",
                                         "#1 #1 _: X _LOWCASE", "X #1 _+ _ASC"};
  // Elements numbered from the stack: of an integer array, of variables of each other kind.
  const std::vector<std::string> elements = {"%" + std::to_string(a), "%" + std::to_string(i),
                                             "%" + std::to_string(r), "%" + std::to_string(p),
                                             "%" + std::to_string(t)};
  const std::vector<std::pair<float, float>> values = {
      {7.0f, 2.5f}, {-3.0f, 3e10f}, {0.0f, std::numeric_limits<float>::quiet_NaN()}, {1.0f, -0.0f}};
  std::set<std::string> tried;
  for (const std::string& prefix : prefixes) {
    for (const std::string& pattern : runs) {
      for (const std::string& x : variables) {
        for (const std::string& y : variables) {
          for (const std::string& e : elements) {
            // X, Y and E stand for the tokens they are (function names keep their letters).
            std::string codes;
            for (size_t at = 0; at < pattern.size();) {
              const size_t end = std::min(pattern.find(' ', at), pattern.size());
              const std::string code = pattern.substr(at, end - at);
              codes += (codes.empty() ? "" : " ") + (code == "X" ? x : code == "Y" ? y : code == "E" ? e : code);
              at = end + 1;
            }
            if (!tried.insert(prefix + codes).second) continue;
            const int32_t together = expr(prefix + codes);
            const int32_t one_by_one = expr(prefix + apart(codes));
            for (const auto& [i_value, r_value] : values) {
              const evaluation_result planned = run(together, i_value, r_value);
              EXPECT_EQ(planned, run(one_by_one, i_value, r_value))
                  << prefix + codes << " with I=" << i_value << " R=" << r_value;
              // Run again, its plan found ready under the current stamp (an expression whose steps
              // all qualify then runs as its plan's operations on the variables' words).
              ASSERT_NE(upn_plans.ready(together), nullptr) << prefix + codes;
              EXPECT_EQ(planned, run(together, i_value, r_value))
                  << prefix + codes << " run again with I=" << i_value << " R=" << r_value;
              // Without plans every code takes the general path with its checks.
              std::vector<upn_plan> plans;
              std::swap(plans, upn_plans.plans);
              EXPECT_EQ(planned, run(together, i_value, r_value))
                  << prefix + codes << " on the general path with I=" << i_value << " R=" << r_value;
              std::swap(plans, upn_plans.plans);
            }
          }
        }
      }
    }
  }
}

// ---------------------------------------------------------------- reads and stores
TEST_F(evaluator_fast, IntegerRealAndPointerReadsKeepTheirRepresentation) {
  const int32_t i = numeric_variable("I", var_integer);
  const int32_t r = numeric_variable("R", var_real);
  const int32_t p = numeric_variable("P", var_pointer);
  set_int(i, -123456789);
  set_real(r, 2.75f);
  ADRSPACE.set_word(record(p).start, 0x00030002u);
  evaluate_upn(expr("&" + std::to_string(i) + " &" + std::to_string(r) + " &" + std::to_string(p)), 3);
  EXPECT_EQ(P(1), static_cast<float>(-123456789));
  EXPECT_EQ(P(2), 2.75f);
  EXPECT_EQ(param_registers.bits(3), 0x00030002u);  // pointer words keep their bits
  // The last variable named is the one a store or LOC would use.
  int32_t v = 0, k = -1;
  get_last_reference(v, k);
  EXPECT_EQ(v, p);
  EXPECT_EQ(k, 0);
  EXPECT_EQ(evaluator.element_position, record(p).start);
}

TEST_F(evaluator_fast, StoresTruncateIntoIntegersAndKeepRealBits) {
  const int32_t i = numeric_variable("I", var_integer);
  const int32_t r = numeric_variable("R", var_real);
  const int32_t source = numeric_variable("S", var_real);
  const std::string store_i = "&" + std::to_string(source) + " &" + std::to_string(i) + " __STO";
  const std::string store_r = "&" + std::to_string(source) + " &" + std::to_string(r) + " __STO";
  for (float value : {7.9f, -7.9f, 0.5f, -0.0f, 3e10f, -3e10f, std::numeric_limits<float>::quiet_NaN()}) {
    set_real(source, value);
    evaluate_upn(expr(store_i), 0);
    EXPECT_EQ(int_at(i), truncated(value)) << value;
    evaluate_upn(expr(store_r), 0);
    EXPECT_EQ(std::bit_cast<uint32_t>(real_at(r)), std::bit_cast<uint32_t>(value)) << value;
    EXPECT_EQ(evaluator.sp, 0);
    EXPECT_EQ(evaluator.element_position, 1);
    EXPECT_EQ(P(1), 0.0f);
    EXPECT_EQ(P(2), 0.0f);
  }
}

TEST_F(evaluator_fast, StoresThatNeedTheFullRoutineStillHappen) {
  const int32_t i = numeric_variable("I", var_integer);
  const int32_t p = numeric_variable("P", var_pointer);
  const int32_t t = text_variable("T", 6);
  const int32_t a = numeric_variable("A", var_integer, 3);
  // Pointer store packs the element remembered by LOC (none here) into the high half.
  evaluate_upn(expr("#5 &" + std::to_string(p) + " __STO"), 0);
  EXPECT_EQ(ADRSPACE.word(record(p).start), 5u);
  // A number stored into a text becomes its one-character text.
  evaluate_upn(expr("#65 &" + std::to_string(t) + " __STO"), 0);
  EXPECT_EQ(text_at(t), "A     ");
  // An element other than the first.
  evaluate_upn(expr("#9 #3 %" + std::to_string(a) + " __STO"), 0);
  EXPECT_EQ(int_at(a, 3), 9);
  // While single stepping, the store writes its trace line and still stores.
  run_flags.single_step_on = true;
  evaluate_upn(expr("#41.5 &" + std::to_string(i) + " __STO"), 0);
  run_flags.single_step_on = false;
  EXPECT_EQ(int_at(i), 41);
}

TEST_F(evaluator_fast, BadVariableNumbersAreReportedOnEveryPath) {
  numeric_variable("I", var_integer);
  EXPECT_EQ(eval_error(expr("&0"), 1), 32000);
  EXPECT_EQ(last_error_message(), "Variablen-Nr falsch: 0");
  EXPECT_EQ(eval_error(expr("&41"), 1), 32000);
  EXPECT_EQ(last_error_message(), "Variablen-Nr falsch: 41");
  EXPECT_EQ(eval_error(expr("#1 #2 __STO"), 0), 32000);  // no variable named before the store
  EXPECT_EQ(last_error_message(), "ARI ist 0!");
}

TEST_F(evaluator_fast, StoreOutsideTheNumericSpaceIsRefused) {
  const int32_t i = numeric_variable("I", var_integer);
  relayout(i, [](variable_record& var) { var.start = 401; });  // past the 400 words of the space
  EXPECT_EQ(eval_error(expr("#5 &" + std::to_string(i) + " __STO"), 0), 32000);
  EXPECT_EQ(last_error_message(), "LOA Feldgrenze");
  evaluate_upn(expr("&" + std::to_string(i)), 1);  // reads outside the space read 0
  EXPECT_EQ(P(1), 0.0f);
}

// ---------------------------------------------------------------- operators and comparisons
TEST_F(evaluator_fast, OperatorsAndComparisonsLeaveOneNumberAndZeroesAbove) {
  const struct {
    const char* text;
    float result;
  } cases[] = {
      {"#7 #2 _+", 9.0f},  {"#7 #2 _-", 5.0f},  {"#7 #2 _*", 14.0f}, {"#7 #2 _/", 3.5f},
      {"#7 #2 _=", 0.0f},  {"#7 #7 _=", 1.0f},  {"#7 #2 _#", 1.0f},  {"#2 #7 _<", 1.0f},
      {"#7 #2 _<", 0.0f},  {"#7 #2 _>", 1.0f},  {"#7 #7 _<=", 1.0f}, {"#2 #7 _>=", 0.0f},
  };
  for (const auto& c : cases) {
    evaluate_upn(expr(c.text), 1);
    EXPECT_EQ(P(1), c.result) << c.text;
    EXPECT_EQ(P(2), 0.0f) << c.text;
    EXPECT_EQ(evaluator.sp, 1) << c.text;
    EXPECT_TRUE(stack_slot(1).is_number()) << c.text;
    EXPECT_EQ(evaluator.last_reference, 0) << c.text;
  }
}

TEST_F(evaluator_fast, NaNComparesUnequalToEverything) {
  const int32_t r = numeric_variable("R", var_real);
  set_real(r, std::numeric_limits<float>::quiet_NaN());
  const std::string v = "&" + std::to_string(r);
  evaluate_upn(expr(v + " " + v + " _="), 1);
  EXPECT_EQ(P(1), 0.0f);
  evaluate_upn(expr(v + " " + v + " _#"), 1);
  EXPECT_EQ(P(1), 1.0f);
  evaluate_upn(expr(v + " ?F1 #5 ?:1"), 2);  // NaN is not zero: no skip
  EXPECT_EQ(evaluator.sp, 2);
}

TEST_F(evaluator_fast, OperatorsWithOneOperandAreReportedBeforeAnyPop) {
  for (const char* text : {"#1 _+", "#1 _-", "#1 _*", "#1 _/", "#1 _<", "#1 _>=", "#1 __STO"}) {
    EXPECT_EQ(eval_error(expr(text), 1), 6111) << text;
    EXPECT_EQ(last_error_message(), "Stack underflow") << text;
    EXPECT_EQ(evaluator.sp, 1) << text;
  }
}

// ---------------------------------------------------------------- code ranges
// Codes are written only by the compiler, into a store that loading releases first: an
// expression compiled anew runs its new codes, and one whose codes were released is reported.
TEST_F(evaluator_fast, ExpressionsCompiledAnewRunTheirNewCodes) {
  const int32_t i = numeric_variable("I", var_integer);
  const std::string v = "&" + std::to_string(i);
  ASSERT_EQ(expr(v + " #1 _+ " + v + " __STO"), 1);
  set_int(i, 4);
  evaluate_upn(1, 0);
  EXPECT_EQ(int_at(i), 5);
  alloc_upn_index(200);
  alloc_upn_codes(4000);
  ASSERT_EQ(expr(v + " #3 _* " + v + " __STO"), 1);
  evaluate_upn(1, 0);
  EXPECT_EQ(int_at(i), 15);
  alloc_upn_codes(4000);
  EXPECT_EQ(eval_error(1, 0), 32000);
  EXPECT_EQ(last_error_message(), "UPN-Ausdruck unbekannt: 1");
  EXPECT_EQ(int_at(i), 15);
}

// An expression's later runs (its plan known from the first) check their results as the first:
// values left over are reported, each run anew.
TEST_F(evaluator_fast, EveryRunOfAnExpressionReportsValuesLeftOver) {
  const int32_t i = numeric_variable("I", var_integer);
  const std::string v = "&" + std::to_string(i);
  const int32_t e = expr(v + " #1 _+ " + v + " #2 _+");
  for (int32_t round = 1; round <= 3; ++round) {
    set_int(i, round);
    EXPECT_EQ(eval_error(e, 1), 2) << round;
    EXPECT_EQ(last_error_message(), "STACK not empty") << round;
    EXPECT_EQ(P(1), static_cast<float>(round + 1)) << round;
    EXPECT_EQ(P(2), static_cast<float>(round + 2)) << round;
  }
  EXPECT_EQ(eval_error(e, 2), no_error);
}

TEST_F(evaluator_fast, SkipFindsItsLabelAfterASlowCode) {
  // A text token (a slow code) between the skip and its label.
  const int32_t t = token("ABC");
  evaluate_upn(expr("#1 ?T2 @" + std::to_string(t) + " ?:2 #5"), 2);
  EXPECT_EQ(evaluator.sp, 2);
  EXPECT_EQ(P(2), 5.0f);
  evaluate_upn(expr("#0 ?T2 @" + std::to_string(t) + " ?:2 #5"), 3);
  EXPECT_EQ(evaluator.sp, 3);
  EXPECT_EQ(P(2), 3.0f);  // the token's value is its length
}

// ---------------------------------------------------------------- cleared slots
TEST_F(evaluator_fast, SlotsACallerLeftOnTheStackAreClearedByTheNextEvaluation) {
  stack_slot(1).set_number(11.0f);
  stack_slot(2).set_number(22.0f);
  stack_slot(3).set_number(33.0f);
  stack_slot(3).type = 4;
  evaluator.sp = 3;
  evaluate_upn(expr("#1"), 3);
  EXPECT_EQ(P(1), 1.0f);
  EXPECT_EQ(P(2), 0.0f);
  EXPECT_EQ(P(3), 0.0f);
  EXPECT_TRUE(stack_slot(3).is_number());
}

TEST_F(evaluator_fast, DeepEvaluationThenShallowLeavesNoValuesAbove) {
  evaluate_upn(expr("#1 #2 #3 #4 #5 #6 #7 #8 #9 #10"), 10);
  EXPECT_EQ(P(10), 10.0f);
  evaluate_upn(expr("#1 #2 _+"), 10);
  EXPECT_EQ(P(1), 3.0f);
  for (int32_t i = 2; i <= 10; ++i) EXPECT_EQ(P(i), 0.0f) << "P" << i;
  for (int32_t i = value_stack_first; i <= value_stack_last; ++i) {
    EXPECT_TRUE(stack_slot(i).is_number()) << i;
    if (i != 1) {
      EXPECT_EQ(stack_slot(i).bits, 0u) << i;
    }
  }
}

// ---------------------------------------------------------------- JZ and JNZ
TEST_F(evaluator_fast, JumpOnZeroMatchesTheNearestWholeNumber) {
  const float values[] = {0.0f, -0.0f, 0.49999997f, -0.49999997f, 0.5f, -0.5f, 1e-40f, 1.0f, -1.0f,
                          1e30f, -1e30f, std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
  code_record jz{}, jnz{};
  jz.target = 7;
  jnz.target = 9;
  for (float v : values) {
    const bool zero = nint(v) == 0;
    stack_slot(1).set_number(v);
    call_state.pc = 2;
    cmd_JZ(jz);
    EXPECT_EQ(call_state.pc, zero ? 7 : 2) << v;
    call_state.pc = 2;
    cmd_JNZ(jnz);
    EXPECT_EQ(call_state.pc, zero ? 2 : 9) << v;
  }
}

// ---------------------------------------------------------------- elements, ARG, numeric functions
TEST_F(evaluator_fast, ElementReadsFollowTheVariableAsTheProgramChangesIt) {
  const int32_t a = numeric_variable("A", var_integer, 3);
  set_int(a, 5, 2);
  const std::string av = std::to_string(a);
  const int32_t second = expr("#2 %" + av);
  evaluate_upn(second, 1);
  EXPECT_EQ(P(1), 5.0f);
  int32_t v = 0, k = -1;
  get_last_reference(v, k);
  EXPECT_EQ(v, a);
  EXPECT_EQ(k, 1);
  EXPECT_EQ(evaluator.element_position, record(a).start + 1);
  // Element numbers that are not whole are rounded to the nearest element.
  evaluate_upn(expr("#1.5 %" + av), 1);
  EXPECT_EQ(P(1), 5.0f);
  evaluate_upn(expr("#-999 %" + av), 1);  // the dimension
  EXPECT_EQ(P(1), 3.0f);
  // A block created at run time replaces the words: the same expression reads the block.
  set_run_time_array(a, {7u, 8u, 9u, 10u});
  evaluate_upn(second, 1);
  EXPECT_EQ(P(1), 8.0f);
  evaluate_upn(expr("#4 %" + av), 1);
  EXPECT_EQ(P(1), 10.0f);
  // Released again with a dimension of 1: element 2 is out of range and reported.
  free_run_time_array(a);
  error_of([&] { evaluate_upn(second, 1); });
  EXPECT_EQ(last_error_message(), "LOA Feldgrenze");
}

TEST_F(evaluator_fast, ArgReadsAndWritesTheCurrentLevelOnly) {
  call_state.depth = 2;
  call_state.arg_frame[1][0] = 99.0f;
  call_state.arg_frame[2][0] = 1.5f;
  call_state.arg_frame[2][1] = -4.0f;
  evaluate_upn(expr("#1 _ARG #2 _ARG _+"), 1);
  EXPECT_EQ(P(1), -2.5f);
  evaluate_upn(expr("#1.5 _ARG"), 1);  // ARG(NINT(1.5))
  EXPECT_EQ(P(1), -4.0f);
  int32_t v = 0, k = -1;
  get_last_reference(v, k);
  EXPECT_EQ(v, -2);
  evaluate_upn(expr("#6 #1 _ARG __STO"), 0);
  EXPECT_EQ(call_state.arg_frame[2][0], 6.0f);
  EXPECT_EQ(call_state.arg_frame[1][0], 99.0f);
  EXPECT_EQ(eval_error(expr("#11 _ARG"), 1), 32000);
  EXPECT_EQ(last_error_message(), "CALL Parameter");
}

TEST_F(evaluator_fast, NumericFunctionsLeaveTheTextOfTheirSlotsCleared) {
  const int32_t abc = token("ABC");
  evaluate_upn(expr("@" + std::to_string(abc) + " @" + std::to_string(abc)), 2);
  EXPECT_EQ(top_text(), "ABC");
  evaluate_upn(expr("#0 _COS #4 _SQRT #2 #3 _MAX"), 3);
  EXPECT_EQ(P(1), 1.0f);
  EXPECT_EQ(P(2), 2.0f);
  EXPECT_EQ(P(3), 3.0f);
  for (int32_t i = 1; i <= 3; ++i) {
    EXPECT_EQ(stack_slot(i).text[0], '@') << i;
    EXPECT_EQ(std::string_view(stack_slot(i).text.data() + 1, 511), std::string(511, ' ')) << i;
  }
  // A text built on a slot that a numeric function used: the number's character, then the text.
  evaluate_upn(expr("#65 _ABS @" + std::to_string(abc) + " _//"), 1);
  EXPECT_EQ(top_text(), "AABC");
}
