// Fetching rows into program variables: each result's columns are matched to their variables
// once and then stored row by row; new results, a replaced variable table, element references
// in column names, the column text cut and the setter's trace must all come out as the general
// lookup by name gives them.
#include <bit>
#include <charconv>
#include <cmath>
#include <random>

#include "test_sql_fixture.h"

namespace {

TEST(SqlReadNumberDigits, PlainDigitsOfEveryLength) {
  EXPECT_EQ(sql_read_number("0012"), 12.0);
  EXPECT_EQ(sql_read_number("999999999999999"), 999999999999999.0);  // 15 digits
  EXPECT_EQ(sql_read_number("1234567890123456"), 1234567890123456.0);
  EXPECT_EQ(sql_read_number("12345678901234567"), 12345678901234568.0);  // nearest double
  EXPECT_EQ(sql_read_number("99999999999999999999"), 1e20);  // beyond a 64-bit integer
  EXPECT_EQ(sql_read_number("-2147483648"), -2147483648.0);
  EXPECT_EQ(sql_read_number("+12/3"), 12.0);
  EXPECT_TRUE(std::signbit(sql_read_number("-0")));
}

// Decimal texts of every length up to 18 digits, with and without a point and a sign, read as
// the general parse of the C++ library reads them, to the last bit.
TEST(SqlReadNumberDigits, DecimalTextsReadAsTheGeneralParseReadsThem) {
  std::mt19937 random(20261207);
  for (int n = 0; n < 20000; ++n) {
    const int length = 1 + static_cast<int>(random() % 18);
    std::string digits;
    for (int k = 0; k < length; ++k) digits += static_cast<char>('0' + random() % 10);
    const int point = static_cast<int>(random() % static_cast<unsigned>(length + 2)) - 1;
    if (point >= 0) digits.insert(static_cast<size_t>(point), ".");
    double expected = 0.0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), expected);
    ASSERT_EQ(ec, std::errc()) << digits;
    ASSERT_EQ(ptr, digits.data() + digits.size()) << digits;
    const char sign = "+- "[random() % 3];
    const std::string text = sign == ' ' ? digits : sign + digits;
    const double read = sql_read_number(text);
    EXPECT_EQ(read, sign == '-' ? -expected : expected) << text;
    EXPECT_EQ(std::signbit(read), sign == '-') << text;
  }
}

TEST(SqlReadNumberDigits, DigitsFollowedByOtherCharacters) {
  EXPECT_EQ(sql_read_number("12x"), 0.0);
  EXPECT_EQ(sql_read_number("12.5x"), 0.0);
  EXPECT_EQ(sql_read_number("1E"), 0.0);
  EXPECT_EQ(sql_read_number("1d"), 0.0);
  EXPECT_EQ(sql_read_number("25d-1"), 2.5);
  EXPECT_EQ(sql_read_number("2.5e1"), 25.0);
  EXPECT_EQ(sql_read_number("1.2.3"), 0.0);
  EXPECT_EQ(sql_read_number("01.01.0001"), 0.0);
  EXPECT_EQ(sql_read_number("5."), 5.0);
  EXPECT_EQ(sql_read_number(".5"), 0.5);
  EXPECT_EQ(sql_read_number("-.5"), -0.5);
  EXPECT_EQ(sql_read_number("0.1"), 0.1);
  EXPECT_EQ(sql_read_number("12345678901234.5"), 12345678901234.5);
  EXPECT_EQ(sql_read_number("00.00.0000"), 0.0);
}

class SqlFetchPlanTest : public SqlServerTest {
 protected:
  void SetUp() override {
    SqlServerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(connect_tcp(), 0);
  }

  std::string file_text(const std::string& name) const {
    std::ifstream in(work_dir / name);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
};

TEST_F(SqlFetchPlanTest, EveryRowOfAResultGoesIntoTheVariables) {
  define_variables({{"A", 1}, {"B", 3}, {"T", 4, 10}});
  run("SELECT seq AS a, seq * 0.5 AS b, CONCAT('n', seq) AS t FROM seq_1_to_5;");
  for (int32_t row = 1; row <= 5; ++row) {
    ASSERT_EQ(sql_fetch(0, true), 0) << row;
    EXPECT_EQ(get_int_variable("A"), row);
    EXPECT_EQ(get_real_variable("B"), 0.5f * static_cast<float>(row));
    EXPECT_EQ(text_variable("T"), "n" + std::to_string(row));
  }
  EXPECT_EQ(sql_fetch(0, true), 20);
  EXPECT_EQ(get_int_variable("A"), 5);  // the last row stays
}

TEST_F(SqlFetchPlanTest, EachResultMatchesItsOwnColumns) {
  define_variables({{"A", 1}, {"B", 3}, {"T", 4, 10}});
  run("SELECT 1 AS a, 2.5 AS b, 'x' AS t;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("A"), 1);
  EXPECT_EQ(get_real_variable("B"), 2.5f);
  EXPECT_EQ(text_variable("T"), "x");

  // Other order, other count: the columns of the new result decide.
  run("SELECT 'y' AS t, 8 AS a;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(text_variable("T"), "y");
  EXPECT_EQ(get_int_variable("A"), 8);
  EXPECT_EQ(get_real_variable("B"), 2.5f);

  // The same count of columns in the other order; a number into the text variable, a text
  // into the integer one.
  run("SELECT '17' AS a, 42 AS t;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(text_variable("T"), "42");
  EXPECT_EQ(get_int_variable("A"), 17);

  // Two slots with results of different columns, fetched in turns.
  run("SELECT seq AS a FROM seq_1_to_2;", 1);
  run("SELECT CONCAT('s', seq) AS t, seq * 10 AS b FROM seq_1_to_2;", 2);
  for (int32_t row = 1; row <= 2; ++row) {
    ASSERT_EQ(sql_fetch(1, true), 0);
    ASSERT_EQ(sql_fetch(2, true), 0);
    EXPECT_EQ(get_int_variable("A"), row);
    EXPECT_EQ(text_variable("T"), "s" + std::to_string(row));
    EXPECT_EQ(get_real_variable("B"), 10.0f * static_cast<float>(row));
  }
}

TEST_F(SqlFetchPlanTest, ColumnWithoutVariableInALaterResultIsReported) {
  define_variables({{"A", 1}});
  run("SELECT 1 AS a;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  run("SELECT 2 AS a, 3 AS missing;");
  EXPECT_THROW(sql_fetch(0, true), program_end);
  EXPECT_NE(error_log().find("MAP-Error:missing"), std::string::npos) << error_log();
  EXPECT_EQ(get_int_variable("A"), 2);  // the columns before it were stored
}

TEST_F(SqlFetchPlanTest, VariableTableReplacedBetweenRows) {
  define_variables({{"A", 1}, {"X", 1}});
  run("SELECT seq AS a FROM seq_1_to_5;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("A"), 1);
  // A chained program brings its own variables, here as many as before: A is now a real and
  // lies elsewhere.
  define_variables({{"X", 1}, {"A", 3}});
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_real_variable("A"), 2.0f);
  EXPECT_EQ(get_int_variable("X"), 0);
  // A table of another size.
  define_variables({{"Y", 1}, {"X", 1}, {"A", 1}});
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("A"), 3);
  EXPECT_EQ(get_int_variable("X"), 0);
  // And a table without the name at all.
  define_variables({{"X", 1}, {"Y", 1}, {"Z", 1}});
  EXPECT_THROW(sql_fetch(0, true), program_end);
  EXPECT_NE(error_log().find("MAP-Error:a"), std::string::npos) << error_log();
  EXPECT_EQ(get_int_variable("X"), 0);
}

TEST_F(SqlFetchPlanTest, APlanGoesWithTheTableItWasMadeFor) {
  define_variables({{"X", 1}, {"A", 1}});
  run("SELECT seq AS a FROM seq_1_to_2;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("A"), 1);
  define_variables({{"X", 1}});  // a new table without A: the plan made for the old one goes
  EXPECT_THROW(sql_fetch(0, true), program_end);
  EXPECT_NE(error_log().find("MAP-Error:a"), std::string::npos) << error_log();
}

TEST_F(SqlFetchPlanTest, ElementReferencesInColumnNames) {
  define_variables({{"P", 1}, {"Q", 1}, {"T", 4, 10}});
  variable_record p = variable_table.records[1];
  p.dimension = 2;  // P(2) is the word after P(1)
  define_variable(1, p);
  run("SELECT seq AS `P(2)`, seq + 100 AS p FROM seq_1_to_2;");
  for (int32_t row = 1; row <= 2; ++row) {
    ASSERT_EQ(sql_fetch(0, true), 0);
    EXPECT_EQ(get_int_variable("P(2)"), row);
    EXPECT_EQ(get_int_variable("P(1)"), row + 100);
  }
  run("SELECT 6 AS `P(3)`;");
  EXPECT_THROW(sql_fetch(0, true), program_end);
  EXPECT_NE(error_log().find("ARRAY-violation:P(3)"), std::string::npos) << error_log();
}

TEST_F(SqlFetchPlanTest, ElementOfATextVariableIsRefused) {
  define_variables({{"T", 4, 10}});
  run("SELECT 'a' AS `T(2)`;");
  EXPECT_THROW(sql_fetch(0, true), program_end);
  EXPECT_NE(error_log().find("ARRAY-n.supp.:T(2)"), std::string::npos) << error_log();
}

TEST_F(SqlFetchPlanTest, UnreadableElementMatchesOnlyLowerCaseNames) {
  define_variables({{"P", 1}});
  run("SELECT 1 AS `p(x)`;");
  EXPECT_THROW(sql_fetch(0, true), program_end);
  EXPECT_NE(error_log().find("MAP-Error:p(x)"), std::string::npos) << error_log();
}

TEST_F(SqlFetchPlanTest, NumbersReadFromTheColumnTextAsStored) {
  define_variables({{"A", 1}, {"B", 3}, {"T", 4, 12}});
  // The column text ends after 2,048 characters: the number is read from what is left.
  run("SELECT CONCAT(REPEAT('0', 2047), '75') AS a, CONCAT(REPEAT('0', 2047), '25') AS b;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("A"), 7);
  EXPECT_EQ(get_real_variable("B"), 2.0f);
  // A date text is no number; the text comes back as the server holds it.
  run("SELECT '01.01.0001' AS a, '01.01.0001' AS t, ' 12 34' AS b;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("A"), 0);
  EXPECT_EQ(text_variable("T"), "01.01.0001");
  EXPECT_EQ(get_real_variable("B"), 12.0f);
  // NULL and an exponent written with D.
  run("SELECT NULL AS a, '1.5D1' AS b, NULL AS t;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("A"), 0);
  EXPECT_EQ(get_real_variable("B"), 15.0f);
  EXPECT_EQ(text_variable("T"), "");
}

TEST_F(SqlFetchPlanTest, IntegerStoresAreTracedOnlyWhileTracing) {
  define_variables({{"A", 1}, {"T", 4, 10}});
  run("SELECT seq AS a, 'x' AS t FROM seq_1_to_4;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_FALSE(std::filesystem::exists(work_dir / "$PXBDUMP.TXT"));
  debug_to_file();
  debug_mode(2);
  ASSERT_EQ(sql_fetch(0, true), 0);
  ASSERT_EQ(sql_fetch(0, true), 0);
  trace_reset();
  ASSERT_EQ(sql_fetch(0, true), 0);
  const std::string trace = file_text("$PXBDUMP.TXT");
  size_t lines = 0;
  for (size_t pos = 0; (pos = trace.find("SET-INT a", pos)) != std::string::npos; ++pos) ++lines;
  EXPECT_EQ(lines, 2u) << trace;
  EXPECT_NE(trace.find("SET-INT a            2"), std::string::npos) << trace;
  EXPECT_NE(trace.find("SET-INT a            3"), std::string::npos) << trace;
  EXPECT_EQ(get_int_variable("A"), 4);
}

TEST_F(SqlFetchPlanTest, ColumnsIntoADynamicArrayStayInItsBlock) {
  define_variables({{"DYN", 1}, {"N", 1}});
  set_int_variable("N", 7);  // the word after DYN's own
  // DYN as the ARRAY command leaves a dynamic array of 3 elements.
  set_run_time_array(1, std::vector<uint32_t>(3, 0u));
  const variable_record& dyn = variable_table.records[1];
  run("SELECT seq AS `DYN(2)`, seq * 10 AS `DYN(3)` FROM seq_1_to_2;");
  for (int32_t row = 1; row <= 2; ++row) {
    ASSERT_EQ(sql_fetch(0, true), 0);
    EXPECT_EQ(std::bit_cast<int32_t>(dyn.array.data[1]), row);
    EXPECT_EQ(std::bit_cast<int32_t>(dyn.array.data[2]), row * 10);
    EXPECT_EQ(get_int_variable("N"), 7);
  }
}

}  // namespace
