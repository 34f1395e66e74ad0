// The UPN compiler: token classes, the name table, the fixed fields and its errors.
#include <bit>

#include "runtime/program/expression/evaluator.h"
#include "tests/program/test_loader_fixture.h"

namespace {

class upn_compiler_test : public loader_test {
 protected:
  void SetUp() override {
    loader_test::SetUp();
    alloc_upn_index(200);
    alloc_upn_codes(500);
  }

  // Compiles one line as the loader hands it over (blank-padded to 256) and returns its number.
  static int32_t compile(std::string_view text) {
    compile_upn(padded(text, 256));
    return upn_code.expression_count;
  }

  // Compiles a line of one token and returns its code index.
  static int32_t single(std::string_view token) {
    const int32_t n = compile(token);
    EXPECT_EQ(upn_code.first[static_cast<size_t>(n)], upn_code.last[static_cast<size_t>(n)]) << token;
    return upn_code.first[static_cast<size_t>(n)];
  }

  static float constant(std::string_view token) {
    const int32_t i = single(token);
    EXPECT_EQ(upn_code.code[static_cast<size_t>(i)], upn_constant) << token;
    return upn_code.operand_real(i);
  }

  static int32_t code_of(std::string_view token) { return upn_code.code[static_cast<size_t>(single(token))]; }

  // Expects compiling the text to end the program with the message.
  void expect_compile_error(std::string_view text, std::string_view message) {
    errors_reset();
    EXPECT_THROW(compile(text), program_end) << text;
    EXPECT_EQ(last_error(), "KYR-ERROR 32000:" + std::string(message));
  }
};

}  // namespace

// ---------------------------------------------------------------- expressions

TEST_F(upn_compiler_test, BlankTextIsAnEmptyExpression) {
  const int32_t n = compile("");
  EXPECT_EQ(n, 1);
  EXPECT_EQ(upn_code.first[1], 1);
  EXPECT_EQ(upn_code.last[1], 0);
  // It still takes its number; the next expression's codes start at 1.
  const int32_t m = compile("#1 ");
  EXPECT_EQ(m, 2);
  EXPECT_EQ(upn_code.first[2], 1);
  EXPECT_EQ(upn_code.last[2], 1);
}

TEST_F(upn_compiler_test, ExpressionsLieBackToBack) {
  compile("&0001 #2 _* ");
  compile("@0003 _LEN ");
  EXPECT_EQ(upn_code.first[1], 1);
  EXPECT_EQ(upn_code.last[1], 3);
  EXPECT_EQ(upn_code.first[2], 4);
  EXPECT_EQ(upn_code.last[2], 5);
  EXPECT_EQ(upn_code.code[1], upn_variable);
  EXPECT_EQ(upn_code.operand_int(1), 1);
  EXPECT_EQ(upn_code.code[3], 11);
  EXPECT_EQ(upn_code.operand_int(3), 0);
  EXPECT_EQ(upn_code.code[4], upn_text);
  EXPECT_EQ(upn_code.operand_int(4), 3);
  EXPECT_EQ(upn_code.code[5], 75);
}

TEST_F(upn_compiler_test, LastTokenWithoutBlankIsTheRestOfTheText) {
  compile_upn("#12");
  EXPECT_EQ(upn_code.last[1] - upn_code.first[1], 0);
  EXPECT_FLOAT_EQ(upn_code.operand_real(1), 12.0f);
}

TEST_F(upn_compiler_test, CompilingResetsTheEvaluatorDefaults) {
  evaluator.pointer_element = 5;
  evaluator.bounds_report = false;
  compile("#1 ");
  EXPECT_EQ(evaluator.pointer_element, 0);
  EXPECT_TRUE(evaluator.bounds_report);
}

// ---------------------------------------------------------------- constants

TEST_F(upn_compiler_test, DecimalConstants) {
  EXPECT_FLOAT_EQ(constant("#12"), 12.0f);
  EXPECT_FLOAT_EQ(constant("#1.5"), 1.5f);
  EXPECT_FLOAT_EQ(constant("#-0.25"), -0.25f);
  EXPECT_FLOAT_EQ(constant("#1.5E2"), 150.0f);
  // Only characters 2 to 11 are read.
  EXPECT_FLOAT_EQ(constant("#12345678901"), 1234567890.0f);
  // One that cannot be read is 0.
  EXPECT_EQ(constant("#1.2.3"), 0.0f);
  EXPECT_EQ(constant("#nan"), 0.0f);
}

TEST_F(upn_compiler_test, HexadecimalConstants) {
  EXPECT_FLOAT_EQ(constant("#0XFF"), 255.0f);
  EXPECT_FLOAT_EQ(constant("#0X00FF"), 255.0f);
  EXPECT_FLOAT_EQ(constant("#0X1A2B"), 6699.0f);
  EXPECT_FLOAT_EQ(constant("#0XF"), 15.0f);
  // A lower-case x is no hexadecimal mark: the decimal field "0xFF" cannot be read.
  EXPECT_EQ(constant("#0xFF"), 0.0f);
}

// ---------------------------------------------------------------- operands

TEST_F(upn_compiler_test, OperandTokens) {
  struct operand_case {
    const char* token;
    int32_t code;
    int32_t operand;
  };
  const operand_case cases[] = {
      {"@0012", upn_text, 12},  {"&0007", upn_variable, 7},   {"%0100", upn_element, 100},
      {"?T0003", upn_jump_true, 3}, {"?F0004", upn_jump_false, 4}, {"?:0005", upn_jump, 5},
      {"@12345", upn_text, 1234}, {"&-123", upn_variable, -123},
      {"&00x1", upn_variable, 0},
  };
  for (const operand_case& c : cases) {
    const int32_t i = single(std::string(c.token) + " ");
    EXPECT_EQ(upn_code.code[static_cast<size_t>(i)], c.code) << c.token;
    EXPECT_EQ(upn_code.operand_int(i), c.operand) << c.token;
  }
}

// ---------------------------------------------------------------- names

TEST_F(upn_compiler_test, NamedOperatorsAndFunctions) {
  EXPECT_EQ(code_of("_+"), 8);
  EXPECT_EQ(code_of("_//"), 9);
  EXPECT_EQ(code_of("_:"), 14);
  EXPECT_EQ(code_of("_SIN"), 16);
  EXPECT_EQ(code_of("_SYS"), 79);
  EXPECT_EQ(code_of("_SYSVAR"), 79);
  EXPECT_EQ(code_of("_#"), 85);
  EXPECT_EQ(code_of("_##"), 86);
  EXPECT_EQ(code_of("_<="), 91);
  EXPECT_EQ(code_of("__STO"), 93);
  EXPECT_EQ(code_of("_AREF"), 96);
}

TEST_F(upn_compiler_test, EveryCodeFrom8To96HasAName) {
  for (int32_t code = 8; code <= 96; ++code) {
    const std::string_view name = upn_code_name(code);
    ASSERT_FALSE(name.empty()) << code;
    EXPECT_EQ(code_of("_" + std::string(name)), code) << name;
  }
  EXPECT_TRUE(upn_code_name(7).empty());
  EXPECT_TRUE(upn_code_name(97).empty());
}

TEST_F(upn_compiler_test, UnknownNamesAreErrors) {
  expect_compile_error("_sin ", "ARI-Fehler:_sin");
  expect_compile_error("_STO ", "ARI-Fehler:_STO");
  expect_compile_error("X ", "ARI-Fehler:X");
  expect_compile_error("?X0001 ", "ARI-Fehler:?X0001");
}

TEST_F(upn_compiler_test, TwoBlanksMakeABlankToken) {
  errors_reset();
  EXPECT_THROW(compile("#1  #2 "), program_end);
  EXPECT_EQ(last_error(), "KYR-ERROR 32000:ARI-Fehler:");
  expect_compile_error(" #1 ", "ARI-Fehler:");
}

TEST_F(upn_compiler_test, LongTokensAreCutAfterTwentyCharacters) {
  // "_" and a 25-character name: the name is compared on its first 19 characters.
  const std::string name = "_" + std::string(25, 'A');
  expect_compile_error(name + " ", "ARI-Fehler:" + std::string(1, '_') + std::string(19, 'A'));
  // A long constant keeps only characters 2 to 11.
  EXPECT_FLOAT_EQ(constant("#0000000001999999999"), 1.0f);
}

// ---------------------------------------------------------------- capacities

TEST_F(upn_compiler_test, MoreExpressionsThanDeclaredIsAnError) {
  alloc_upn_index(1);
  compile("#1 ");
  expect_compile_error("#2 ", "max_upns");
}

TEST_F(upn_compiler_test, MoreCodesThanDeclaredIsAnError) {
  alloc_upn_codes(2);
  compile("#1 #2 ");
  expect_compile_error("_+ ", "max_upn_codes corrupt");
}

TEST_F(upn_compiler_test, AllocatingTheCodesRestartsTheCount) {
  compile("#1 #2 ");
  alloc_upn_codes(5);
  EXPECT_EQ(upn_code.expression_count, 0);
  EXPECT_EQ(upn_code.last_code, 0);
}

TEST_F(upn_compiler_test, WithoutStoresNothingIsWritten) {
  free_upn_storage();
  expect_compile_error("#1 ", "max_upns");
}
