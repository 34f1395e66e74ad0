// SQL layer text handling that needs no server: the connection text, date macros, the
// statement word of each dialect and numbers read from column texts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/output/sql/sql.h"
#include "runtime/program/program.h"

namespace {

TEST(SqlConnectionText, AllFivePartsSplit) {
  const sql_connection_parts p = sql_split_connection_text("anna%lager@db.example.org:3310/geheim", 'M');
  EXPECT_EQ(p.user, "anna");
  EXPECT_EQ(p.database, "lager");
  EXPECT_EQ(p.host, "db.example.org");
  EXPECT_EQ(p.port, "3310");
  EXPECT_TRUE(p.port_given);
  EXPECT_EQ(p.password, "geheim");
}

TEST(SqlConnectionText, EmptyTextGivesDefaults) {
  const sql_connection_parts p = sql_split_connection_text("", 'M');
  EXPECT_EQ(p.user, "kyr");
  EXPECT_EQ(p.database, "kyr");
  EXPECT_EQ(p.host, "localhost");
  EXPECT_EQ(p.password, "");
  EXPECT_EQ(p.port, "3306");
  EXPECT_FALSE(p.port_given);
}

TEST(SqlConnectionText, PasswordAfterLastSlashHostAfterFirstAt) {
  // "/" may appear in user, database and host; the password is what follows the last one.
  const sql_connection_parts p = sql_split_connection_text("a/b%c/d@h@x/pw", 'M');
  EXPECT_EQ(p.password, "pw");
  EXPECT_EQ(p.host, "h@x");
  EXPECT_EQ(p.user, "a/b");
  EXPECT_EQ(p.database, "c/d");
}

TEST(SqlConnectionText, WithoutPercentTheDatabaseIsTheUser) {
  const sql_connection_parts p = sql_split_connection_text("otto@server/", 'M');
  EXPECT_EQ(p.user, "otto");
  EXPECT_EQ(p.database, "otto");
  EXPECT_EQ(p.host, "server");
  EXPECT_EQ(p.password, "");
}

TEST(SqlConnectionText, BlankUserBecomesKyrAndTrailingBlanksAreCut) {
  const sql_connection_parts p = sql_split_connection_text("   @host   /pass   ", 'M');
  EXPECT_EQ(p.user, "kyr");
  EXPECT_EQ(p.host, "host");
  EXPECT_EQ(p.password, "pass");
}

TEST(SqlConnectionText, OnlyTheFirst128CharactersCount) {
  std::string text = "u@h/" + std::string(124, 'p') + "IGNORED";
  const sql_connection_parts p = sql_split_connection_text(text, 'M');
  EXPECT_EQ(p.password, std::string(124, 'p'));
}

TEST(SqlConnectionText, DialectDefaultPorts) {
  EXPECT_EQ(sql_split_connection_text("u@h", 'O').port, "1521");
  EXPECT_EQ(sql_split_connection_text("u@h", 'X').port, "");
  EXPECT_EQ(sql_split_connection_text("u@h:", 'M').port, "3306");
  EXPECT_FALSE(sql_split_connection_text("u@h:", 'M').port_given);
}

TEST(SqlConnectionText, PostgresHostIsKeyValueForm) {
  const sql_connection_parts p = sql_split_connection_text("u%d@h/pw", 'P');
  EXPECT_EQ(p.host, "host=h user=u password=pw dbname=d port=5432");
}

TEST(SqlDateMacros, EachMacroExpandsForMySql) {
  struct row {
    const char* in;
    const char* out;
  };
  const row rows[] = {
      {"D$KYR2SQL('202401051230')", "str_to_date('202401051230','%Y%m%d%H%i')"},
      {"T$KYR2SQL('05.01.2024')", "str_to_date('05.01.2024','%d.%m.%Y')"},
      {"D$SQL2KYR(t)", "date_format(t,'%Y%m%d%H%i')"},
      {"T$SQL2KYR(t)", "date_format(t,'%d.%m.%Y')"},
      {"D$SQL2TIM(t)", "date_format(t,'%d.%m.%Y %H:%i')"},
      {"D$TIM2SQL('05.01.2024 12:30')", "str_to_date('05.01.2024 12:30','%d.%m.%Y %H:%i')"},
  };
  for (const row& r : rows) {
    std::string s = std::string("SELECT ") + r.in + " FROM x;";
    std::string error;
    ASSERT_TRUE(sql_expand_date_macros(s, 'M', error)) << r.in;
    EXPECT_EQ(s, std::string("SELECT ") + r.out + " FROM x;");
  }
}

TEST(SqlDateMacros, OtherGroupForPostgresAndOracle) {
  for (char dialect : {'P', 'O'}) {
    std::string s = "T$KYR2SQL('05.01.2024') D$SQL2TIM(c)";
    std::string error;
    ASSERT_TRUE(sql_expand_date_macros(s, dialect, error));
    EXPECT_EQ(s, "to_timestamp('05.01.2024','DD.MM.YYYY') to_char(c,'dd.mm.yyyy hh24:mi')");
  }
  // Any other letter uses the MySQL functions.
  std::string s = "T$SQL2KYR(c)";
  std::string error;
  ASSERT_TRUE(sql_expand_date_macros(s, 'Z', error));
  EXPECT_EQ(s, "date_format(c,'%d.%m.%Y')");
}

TEST(SqlDateMacros, NestedParenthesesStayInTheArgument) {
  std::string s = "WHERE d = T$KYR2SQL(concat('01.', m, '.2024')) AND x=(1)";
  std::string error;
  ASSERT_TRUE(sql_expand_date_macros(s, 'M', error));
  EXPECT_EQ(s, "WHERE d = str_to_date(concat('01.', m, '.2024'),'%d.%m.%Y') AND x=(1)");
}

TEST(SqlDateMacros, EveryOccurrenceAndLowerCaseUntouched) {
  std::string s = "T$SQL2KYR(a), T$SQL2KYR(b), t$sql2kyr(c)";
  std::string error;
  ASSERT_TRUE(sql_expand_date_macros(s, 'M', error));
  EXPECT_EQ(s, "date_format(a,'%d.%m.%Y'), date_format(b,'%d.%m.%Y'), t$sql2kyr(c)");
}

TEST(SqlDateMacros, ArgumentOf32IsTakenLongerIsRefused) {
  const std::string arg32(32, 'a');
  std::string s = "T$SQL2KYR(" + arg32 + ")";
  std::string error;
  ASSERT_TRUE(sql_expand_date_macros(s, 'M', error));
  EXPECT_EQ(s, "date_format(" + arg32 + ",'%d.%m.%Y')");

  std::string longer = "T$SQL2KYR(" + std::string(33, 'a') + ")";
  const std::string before = longer;
  EXPECT_FALSE(sql_expand_date_macros(longer, 'M', error));
  EXPECT_NE(error.find("T$SQL2KYR("), std::string::npos);
  EXPECT_NE(error.find("32"), std::string::npos);
}

TEST(SqlDateMacros, NamesInsideQuotedValuesStayAndQuotedParenthesesBelongToTheArgument) {
  std::string s = "'a T$SQL2KYR(d)', 'it''s T$SQL2KYR(d)\\\\', \"T$SQL2KYR(e)\", T$SQL2KYR(f), "
                  "T$KYR2SQL(concat(')', m))";
  std::string error;
  ASSERT_TRUE(sql_expand_date_macros(s, 'M', error));
  EXPECT_EQ(s, "'a T$SQL2KYR(d)', 'it''s T$SQL2KYR(d)\\\\', \"T$SQL2KYR(e)\", date_format(f,'%d.%m.%Y'), "
               "str_to_date(concat(')', m),'%d.%m.%Y')");
}

TEST(SqlEmptyDates, OnlyAWholeQuotedValueIsExchanged) {
  std::string s = "VALUES ('00.00.0000', 'Stand 00.00.0000 fest', \"00.00.0000\", '00.00.0000''x', "
                  "T$KYR2SQL('00.00.0000'), 00.00.0000)";
  sql_exchange_empty_dates(s);
  EXPECT_EQ(s, "VALUES ('01.01.0001', 'Stand 00.00.0000 fest', \"01.01.0001\", '00.00.0000''x', "
               "T$KYR2SQL('01.01.0001'), 00.00.0000)");
}

TEST(SqlDateMacros, MissingCloseTakesTheRest) {
  std::string s = "T$SQL2KYR(abc";
  std::string error;
  ASSERT_TRUE(sql_expand_date_macros(s, 'M', error));
  EXPECT_EQ(s, "date_format(abc,'%d.%m.%Y')");
}

TEST(SqlStatementWord, InsertBecomesReplaceForMySql) {
  std::string s = "INSERT INTO t VALUES (1)";
  sql_exchange_statement_word(s, 'M');
  EXPECT_EQ(s, "REPLACE INTO t VALUES (1)");
  std::string lower = "insert into t values (1)";
  sql_exchange_statement_word(lower, 'M');
  EXPECT_EQ(lower, "REPLACE into t values (1)");
}

TEST(SqlStatementWord, InsertFollowedByTabOrOtherWordsStays) {
  for (std::string s : {std::string("INSERT\tINTO t VALUES (1)"), std::string("INSERTX t"),
                        std::string("UPDATE t SET a=1"), std::string("SELECT 'INSERT '")}) {
    const std::string before = s;
    sql_exchange_statement_word(s, 'M');
    EXPECT_EQ(s, before);
  }
}

TEST(SqlStatementWord, InsertIgnoreAndOnDuplicateKeyKeepTheirMeaning) {
  for (std::string s : {std::string("INSERT IGNORE INTO t VALUES (1)"),
                        std::string("insert low_priority ignore into t values (1)"),
                        std::string("INSERT INTO t VALUES (1) ON DUPLICATE KEY UPDATE a=a+1"),
                        std::string("INSERT INTO t VALUES (1)\n on  duplicate\tkey update a=2")}) {
    const std::string before = s;
    sql_exchange_statement_word(s, 'M');
    EXPECT_EQ(s, before);
  }
  std::string delayed = "INSERT DELAYED INTO t VALUES (1)";
  sql_exchange_statement_word(delayed, 'M');
  EXPECT_EQ(delayed, "REPLACE DELAYED INTO t VALUES (1)");
}

TEST(SqlStatementWord, ReplaceBecomesInsertForOtherDialects) {
  std::string s = "REPLACE INTO t VALUES (1)";
  sql_exchange_statement_word(s, 'P');
  EXPECT_EQ(s, "INSERT  INTO t VALUES (1)");
  std::string m = "REPLACE INTO t VALUES (1)";
  sql_exchange_statement_word(m, 'M');
  EXPECT_EQ(m, "REPLACE INTO t VALUES (1)");
}

TEST(SqlReadNumber, ListDirectedValues) {
  EXPECT_DOUBLE_EQ(sql_read_number("12.50"), 12.5);
  EXPECT_DOUBLE_EQ(sql_read_number("  -7"), -7.0);
  EXPECT_DOUBLE_EQ(sql_read_number("+3e2"), 300.0);
  EXPECT_DOUBLE_EQ(sql_read_number("1.5D1"), 15.0);
  EXPECT_DOUBLE_EQ(sql_read_number(".25"), 0.25);
  EXPECT_DOUBLE_EQ(sql_read_number("2147483647"), 2147483647.0);
  EXPECT_DOUBLE_EQ(sql_read_number("4,5"), 4.0);  // the comma ends the value
  EXPECT_DOUBLE_EQ(sql_read_number("8 9"), 8.0);
}

TEST(SqlReadNumber, NoNumberGivesZero) {
  EXPECT_EQ(sql_read_number(""), 0.0);
  EXPECT_EQ(sql_read_number("   "), 0.0);
  EXPECT_EQ(sql_read_number("abc"), 0.0);
  EXPECT_EQ(sql_read_number("2024-01-05"), 0.0);
  EXPECT_EQ(sql_read_number("inf"), 0.0);
  EXPECT_EQ(sql_read_number("nan"), 0.0);
  EXPECT_EQ(sql_read_number("-"), 0.0);
  EXPECT_EQ(sql_read_number("."), 0.0);
}

TEST(SqlReadNumber, ProgramValuesAreClampedNeverUndefined) {
  EXPECT_EQ(nearest_int32(12.5), 13);
  EXPECT_EQ(nearest_int32(-12.5), -13);
  EXPECT_EQ(nearest_int32(12.49), 12);
  EXPECT_EQ(nearest_int32(2147483647.0), 2147483647);
  EXPECT_EQ(nearest_int32(9e18), 2147483647);
  EXPECT_EQ(nearest_int32(-9e18), -2147483647 - 1);
  EXPECT_EQ(nearest_int32(std::nan("")), 0);
  EXPECT_EQ(float_in_range(1e300), std::numeric_limits<float>::max());
  EXPECT_EQ(float_in_range(-1e300), -std::numeric_limits<float>::max());
  EXPECT_EQ(float_in_range(std::nan("")), 0.0f);
  EXPECT_EQ(float_in_range(0.25), 0.25f);
}

}  // namespace
