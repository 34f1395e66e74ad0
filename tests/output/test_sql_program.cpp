// Whole programs with SQL commands, loaded from PXB files and run by the interpreter against
// the private test server: the program under tests/programs/sql writes what it selected with
// FILE, and a failing statement in automatic mode ends the program without a box.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "runtime/commands/runtime.h"
#include "runtime/commands/interpreter.h"
#include "runtime/output/sql/sql.h"
#include "runtime/screen/field_output.h"
#include "runtime/screen/screen.h"
#include "support/runtime_fixture.h"
#include "support/silent_server.h"
#include "test_sql_fixture.h"

namespace {

class SqlProgramTest : public runtime_fixture {
 protected:
  test_db_settings db;

  void SetUp() override {
    runtime_fixture::SetUp();
    db = read_test_db_settings();
    if (!db.present) {
      if (database_tests_skipped()) GTEST_SKIP() << no_db_skip_message;
      FAIL() << no_db_failure_message;
    }
    sql_reset();
  }
  void TearDown() override {
    sql_reset();
    runtime_fixture::TearDown();
  }

  std::string connection_text() const {
    return db.user + "%" + db.database + "@127.0.0.1:" + db.port + "/" + db.password;
  }

  static std::string read_binary(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

  // Copies a program into the working directory with the connection text put in place of
  // "$CONNECT$", loads it and runs it from code record 1 (in automatic mode when asked; the
  // loader starts every program outside it).
  void run_program(const std::string& name, const std::string& text, bool automatic = false) {
    std::string program = text;
    for (size_t pos; (pos = program.find("$CONNECT$")) != std::string::npos;)
      program.replace(pos, 9, connection_text());
    std::ofstream(dir / name, std::ios::binary) << program;
    start_headless();
    try {
      load_program(name);
      if (automatic) set_auto_mode(true);
      interpreter(1);
    } catch (const program_end&) {
      // The end of the program: what it left behind is checked by the caller.
    }
  }

  // A program in automatic mode that connects on slot 0 and then runs the steps in order: a
  // statement (one SQL command each), "FETCH" (a fetch into the variables) or "STATUS" (IOERROR
  // into the integer variable S); after the last step it creates the file "after" and quits.
  // `variables` are the loader's lines after the first variable, S.
  void run_steps(const std::string& name, const std::vector<std::string>& variables,
                 const std::vector<std::string>& steps) {
    std::string vars = "&0001 I 0001:S/0\n";
    for (size_t i = 0; i < variables.size(); ++i) {
      char number[16];
      std::snprintf(number, sizeof number, "&%04zu ", i + 2);
      vars += number + variables[i] + "\n";
    }
    std::string tokens = "@0001 $CONNECT$|\n@0002 after|\n";
    std::string codes = "/00000001 SQL %0001 @0001\n";
    int32_t token = 2;
    size_t characters = 400;
    for (const std::string& step : steps) {
      if (step == "FETCH") {
        codes += "/00002001 SQL %0001\n";
      } else if (step == "STATUS") {
        codes += "%0002\n";
      } else {
        char number[16];
        std::snprintf(number, sizeof number, "@%04d", ++token);
        tokens += std::string(number) + " " + step + "|\n";
        codes += std::string("/00001000 SQL %0001 ") + number + "\n";
        characters += step.size() + 8;
      }
    }
    codes += "/00000801 FILE @0002 @0002 %0001\nQUIT\n";
    const size_t code_count = static_cast<size_t>(std::count(codes.begin(), codes.end(), '\n'));
    run_program(name,
                "[PROC]\nCSET=W\n[INIT]\nCODES=" + std::to_string(code_count) + "\nUPNCODES=2\n"
                "UPNTOKENS=8\nTEXTTOKENS=" + std::to_string(token) + "\nTEXTCHARACTERS=" +
                    std::to_string(characters) + "\nVARIABLES=" + std::to_string(variables.size() + 1) +
                    "\nSTRINGSPACE=1000\nADRSPACE=" + std::to_string(variables.size() + 2) +
                    "\n[VARIABLES]\n" + vars + "[UPNCODES]\n#0\n_IOERROR &0001 __STO\n[TEXTTOKENS]\n" +
                    tokens + "[CODES]\n" + codes,
                true);
  }

  // The text a text variable holds, without its trailing blanks.
  static std::string text_of(std::string_view name) {
    std::string out(256, ' ');
    format_var_by_name(name, 1);
    get_input_text(out.data(), 256);
    return out.substr(0, out.find_last_not_of(' ') + 1);
  }

  // The first column of the first row a query gives, on a connection of the test's own after
  // the program's run; "" where it fails.
  std::string ask_server(const std::string& query) {
    sql_reset();
    std::string answer;
    if (sql_connect(connection_text()) == 0 && sqlc_query(0, query) == 0 &&
        sqlc_store_result(0) == 0 && sqlc_fetch_row(0) == 0)
      answer = std::string(sqlc_get_text(0, 1));
    sql_reset();
    return answer;
  }
};

TEST_F(SqlProgramTest, CreateInsertSelectIntoVariablesAndWriteWithFile) {
  const std::filesystem::path source = std::filesystem::path(WINKYR_TEST_PROGRAMS) / "sql";
  run_program("SQLTEST.PXB", read_binary(source / "SQLTEST.PXB"));
  const std::vector<std::string> got = file_lines("SQLOUT.TXT");


  std::vector<std::string> expected;
  std::istringstream in(read_binary(source / "SQLTEST.expected"));
  for (std::string line; std::getline(in, line);) expected.push_back(line);
  ASSERT_EQ(got.size(), expected.size()) << file_text("SQLOUT.TXT") << file_text("PXBERROR.LOG");
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(got[i], expected[i]) << "line " << i + 1;
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(file_text("PXBERROR.LOG"), "");
}

TEST_F(SqlProgramTest, FailingStatementInAutomaticModeEndsWithoutABox) {
  const std::string program =
      "[PROC]\nCSET=W\n[INIT]\nCODES=   4\nUPNCODES=1\nUPNTOKENS=1\nTEXTTOKENS=3\n"
      "TEXTCHARACTERS=300\nVARIABLES=1\nADRSPACE=1\n[VARIABLES]\n&0001 I 0001:X/\n"
      "[UPNCODES]\n#0\n[TEXTTOKENS]\n@0001 $CONNECT$|\n"
      "@0002 SELECT * FROM kyr_no_such_table;|\n@0003 #1|\n[CODES]\n"
      "/00000001 SQL %0001 @0001\n/00001000 SQL %0001 @0002\n"
      "/00000801 FILE @0003 @0003 %0001\nQUIT\n";
  run_program("FAIL.PXB", program, true);
  for (const box_seen& b : boxes) ADD_FAILURE() << "box: " << b.text;
  const std::vector<std::string> log = file_lines("PXBERROR.LOG");
  ASSERT_EQ(log.size(), 4u) << file_text("PXBERROR.LOG");
  const std::string date = log_date();
  EXPECT_EQ(log[0], date + "-WARNUNG:SELECT * FROM kyr_no_such_table;");
  EXPECT_EQ(log[1], date + "-WARNUNG:SQL-error Nr: 1146");
  const std::string message =
      "MySQL Fehler: Table '" + db.database + ".kyr_no_such_table' doesn't exist";
  EXPECT_EQ(log[2], date + "-ABBRUCH:" + message);
  EXPECT_EQ(log[3], date + "-KYR-ERROR 32000:" + message);
  // The program stopped at the failed statement: the file command after it never ran.
  EXPECT_FALSE(std::filesystem::exists(dir / "#1"));
}

// A SELECT whose rows fail to arrive (the server sends error 1242 among them) takes the route of
// every failed statement: the statement and the server's number and text in the log, the open
// transaction rolled back, the run ended with 1; no fetch ever sees an ordinary end of rows.
TEST_F(SqlProgramTest, SelectFailingWhileItsRowsArriveEndsTheRunAndRollsBack) {
  const std::string t = "kyr_rows_" + std::to_string(getpid());
  const std::string select =
      "SELECT a.n AS V, (SELECT b.n FROM " + t + " b WHERE b.n <= a.n) AS M FROM " + t + " a;";
  run_steps("ROWS.PXB", {"I 0001:V/0", "I 0001:M/0"},
            {"DROP TABLE IF EXISTS " + t + ";", "CREATE TABLE " + t + " (n INT PRIMARY KEY) ENGINE=InnoDB;",
             "INSERT INTO " + t + " VALUES (1), (2), (3);", "START TRANSACTION;",
             "INSERT INTO " + t + " VALUES (10);", select, "STATUS", "FETCH", "COMMIT;"});
  const std::vector<std::string> log = file_lines("PXBERROR.LOG");
  ASSERT_EQ(log.size(), 4u) << file_text("PXBERROR.LOG");
  const std::string date = log_date();
  EXPECT_EQ(log[0], date + "-WARNUNG:" + select);
  EXPECT_EQ(log[1], date + "-WARNUNG:SQL-error Nr: 1242");
  EXPECT_EQ(log[2], date + "-ABBRUCH:MySQL Fehler: Subquery returns more than 1 row");
  EXPECT_FALSE(std::filesystem::exists(dir / "after"));
  EXPECT_EQ(run_exit_status(), 1);
  EXPECT_EQ(ask_server("SELECT COUNT(*) FROM " + t), "3");  // the row of the transaction is gone
  ask_server("DROP TABLE " + t);
}

// A statement that is longer than 256 characters once its values are in is refused as a failed
// statement, in words of its own (no file name): the run ends with 1 and nothing of its
// transaction is committed.  A statement with a 200-character value runs.
TEST_F(SqlProgramTest, StatementTooLongOnceItsValuesAreInEndsTheRunAndCommitsNothing) {
  const std::string k = "kyr_head_" + std::to_string(getpid());
  const std::string r = "kyr_line_" + std::to_string(getpid());
  run_steps("LONG.PXB", {"S 0001*240:Q/" + std::string(240, 'q'), "S 0001*200:P/" + std::string(200, 'p')},
            {"DROP TABLE IF EXISTS " + k + ", " + r + ";",
             "CREATE TABLE " + k + " (n INT PRIMARY KEY) ENGINE=InnoDB;",
             "CREATE TABLE " + r + " (n INT, t VARCHAR(250)) ENGINE=InnoDB;",
             "INSERT INTO " + r + " VALUES (2, '\xFA" "0003');", "START TRANSACTION;",
             "INSERT INTO " + k + " VALUES (1);", "INSERT INTO " + r + " VALUES (1, '\xFA" "0002');",
             "COMMIT;"});
  const std::string log = file_text("PXBERROR.LOG");
  EXPECT_NE(log.find("-ABBRUCH:SQL-Anweisung zu lang (max. 256 Zeichen je SQL-Befehl): INSERT INTO " + r),
            std::string::npos) << log;
  EXPECT_EQ(log.find("File name too long"), std::string::npos) << log;
  EXPECT_EQ(log.find("cannot open"), std::string::npos) << log;
  EXPECT_FALSE(std::filesystem::exists(dir / "after"));
  EXPECT_EQ(run_exit_status(), 1);
  EXPECT_EQ(ask_server("SELECT COUNT(*) FROM " + k), "0");
  EXPECT_EQ(ask_server("SELECT CONCAT(COUNT(*), ' ', MAX(n), ' ', MAX(LENGTH(t))) FROM " + r), "1 2 200");
  ask_server("DROP TABLE " + k + ", " + r);
}

// Whether a statement gives rows is the server's answer: a SELECT without a blank after its
// word, a UNION of SELECTs in parentheses and a WITH give their rows, as a lower-case select does.
TEST_F(SqlProgramTest, StatementsGivingRowsWhateverTheirFirstWordGiveThem) {
  run_steps("ROWS4.PXB", {"I 0001:N/0", "I 0001:M/0", "I 0001:K/0", "I 0001:L/0"},
            {"SELECT*FROM (SELECT 41 AS N) x;", "FETCH", "(SELECT 6 AS M) UNION (SELECT 5);", "FETCH",
             "WITH w AS (SELECT 7 AS K) SELECT K FROM w;", "FETCH", "select 8 as L;", "FETCH", "STATUS"});
  EXPECT_EQ(file_text("PXBERROR.LOG"), "");
  EXPECT_EQ(get_int_variable("N"), 41);
  EXPECT_EQ(get_int_variable("M"), 6);
  EXPECT_EQ(get_int_variable("K"), 7);
  EXPECT_EQ(get_int_variable("L"), 8);
  EXPECT_EQ(get_int_variable("S"), 0);
}

// Fetched texts come back as the server holds them: "01.01.0001" inside a text and a date of
// the year 1 are no empty dates; a date column's zero date reads as the empty date.
TEST_F(SqlProgramTest, FetchedTextsAndDatesComeBackAsTheServerHoldsThem) {
  run_steps("DATES.PXB", {"S 0001*040:T/", "S 0001*010:D/", "S 0001*010:Z/"},
            {"CREATE TEMPORARY TABLE kyr_d (t VARCHAR(40), d DATE, z DATE);",
             "INSERT INTO kyr_d VALUES ('Stand 01.01.0001 fest', '0001-01-01', T$KYR2SQL('00.00.0000'));",
             "SELECT t AS T, T$SQL2KYR(d) AS D, T$SQL2KYR(z) AS Z FROM kyr_d;", "FETCH"});
  EXPECT_EQ(file_text("PXBERROR.LOG"), "");
  EXPECT_EQ(text_of("T"), "Stand 01.01.0001 fest");
  EXPECT_EQ(text_of("D"), "01.01.0001");
  EXPECT_EQ(text_of("Z"), "00.00.0000");
}

// A date macro's name inside a quoted value is the user's text (also after a doubled quote and a
// backslash); outside quoted values it is expanded, also behind a comment holding an apostrophe,
// which opens no quoted value.
TEST_F(SqlProgramTest, DateMacroNameInsideAQuotedValueStaysText) {
  run_steps("MACRO.PXB", {"S 0001*040:P/", "S 0001*010:D/", "S 0001*040:Q/"},
            {"CREATE TEMPORARY TABLE kyr_m (p VARCHAR(40), d DATE);",
             "INSERT INTO kyr_m VALUES ('Preis T$SQL2KYR(d) neu', '2024-01-05');",
             "SELECT p AS P, /* Kunde's Preis */ T$SQL2KYR(d) AS D, 'x''T$SQL2KYR(d)\\\\' AS Q FROM kyr_m;",
             "FETCH"});
  EXPECT_EQ(file_text("PXBERROR.LOG"), "");
  EXPECT_EQ(text_of("P"), "Preis T$SQL2KYR(d) neu");
  EXPECT_EQ(text_of("D"), "05.01.2024");
  EXPECT_EQ(text_of("Q"), "x'T$SQL2KYR(d)\\");
}

TEST_F(SqlProgramTest, SlotOutsideTheRangeIsReportedAndStatusOne) {
  const std::string program =
      "[PROC]\n[INIT]\nCODES=   3\nUPNCODES=2\nUPNTOKENS=4\nTEXTTOKENS=1\n"
      "TEXTCHARACTERS=100\nVARIABLES=1\nADRSPACE=1\n[VARIABLES]\n&0001 I 0001:S/\n"
      "[UPNCODES]\n#4\n_IOERROR &0001 __STO\n[TEXTTOKENS]\n@0001 SELECT 1;|\n[CODES]\n"
      "SQL %0001 @0001\n%0002\nQUIT\n";
  run_program("RANGE.PXB", program);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "SQL-Handle range");
  EXPECT_EQ(get_int_variable("S"), 1);
  EXPECT_NE(file_text("PXBERROR.LOG").find("-KYR-ERROR     0:SQL-Handle range"), std::string::npos);
}

// SQLVAR of DECIMAL, DOUBLE and BIGINT columns stored into numbers gives the numbers the fetch by
// name gives (not the length of the column's text); into a text, the text.
TEST_F(SqlProgramTest, SqlVarOfDecimalDoubleAndBigintGivesTheNumber) {
  const std::string program =
      "[PROC]\nCSET=W\n[INIT]\nCODES=   5\nUPNCODES=2\nUPNTOKENS=40\nTEXTTOKENS=2\n"
      "TEXTCHARACTERS=300\nVARIABLES=6\nSTRINGSPACE=20\nADRSPACE=8\n[VARIABLES]\n&0001 R 0001:A\n"
      "&0002 R 0001:B\n&0003 I 0001:I/0\n&0004 I 0001:J/0\n&0005 R 0001:C\n&0006 S 0001*010:T/\n"
      "[UPNCODES]\n#0\n#0 #1 _SQLVAR &1 __STO #0 #2 _SQLVAR &2 __STO #0 #1 _SQLVAR &3 __STO "
      "#0 #2 _SQLVAR &4 __STO #0 #3 _SQLVAR &5 __STO #0 #1 _SQLVAR &6 __STO\n"
      "[TEXTTOKENS]\n@0001 $CONNECT$|\n@0002 SELECT CAST(12.625 AS DECIMAL(10,3)) AS a, "
      "CAST(2.5 AS DOUBLE) AS b, CAST(7000000000 AS SIGNED) AS c;|\n[CODES]\n"
      "/00000001 SQL %0001 @0001\n/00001000 SQL %0001 @0002\n/00002000 SQL %0001\n%0002\nQUIT\n";
  run_program("SQLVAR.PXB", program, true);
  for (const box_seen& b : boxes) ADD_FAILURE() << "box: " << b.text;
  EXPECT_EQ(file_text("PXBERROR.LOG"), "");
  EXPECT_EQ(get_real_variable("A"), 12.625f);
  EXPECT_EQ(get_real_variable("B"), 2.5f);
  // A store into an integer truncates, as for every number (the length of the texts was 6 and 3).
  EXPECT_EQ(get_int_variable("I"), 12);
  EXPECT_EQ(get_int_variable("J"), 2);
  EXPECT_EQ(get_real_variable("C"), 7e9f);
  format_var_by_name("T", 1);
  std::string text(10, '?');
  get_input_text(text.data(), 10);
  EXPECT_EQ(text, "12.625    ");
}

// SQLVAR of a YEAR column gives its number, as the fetch by name does, and SQLINFO calls it an
// integer column; so do TINYINT and SMALLINT, FLOAT is a real column, and the date and time
// kinds stay texts.
TEST_F(SqlProgramTest, SqlVarOfYearAndSmallNumbersGivesTheNumber) {
  const std::string program =
      "[PROC]\nCSET=W\n[INIT]\nCODES=   9\nUPNCODES=3\nUPNTOKENS=120\nTEXTTOKENS=6\n"
      "TEXTCHARACTERS=600\nVARIABLES=13\nSTRINGSPACE=80\nADRSPACE=12\n[VARIABLES]\n&0001 I 0001:A/0\n"
      "&0002 I 0001:B/0\n&0003 I 0001:C/0\n&0004 I 0001:D/0\n&0005 I 0001:E/0\n&0006 I 0001:F/0\n"
      "&0007 R 0001:G\n&0008 S 0001*020:H/\n&0009 I 0001:J/0\n&0010 S 0001*020:K/\n"
      "&0011 S 0001*020:L/\n&0012 I 0001:M/0\n&0013 I 0001:N/0\n"
      "[UPNCODES]\n#0\n#0 #1 _SQLVAR &1 __STO @6 #0 #1 _SQLINFO &2 __STO #0 #2 _SQLVAR &3 __STO "
      "@6 #0 #2 _SQLINFO &4 __STO #0 #3 _SQLVAR &5 __STO #0 #4 _SQLVAR &6 __STO #0 #5 _SQLVAR &7 __STO "
      "\n#0 #6 _SQLVAR &8 __STO @6 #0 #6 _SQLINFO &9 __STO #0 #7 _SQLVAR &10 __STO #0 #8 _SQLVAR &11 __STO "
      "@6 #0 #5 _SQLINFO &12 __STO @6 #0 #3 _SQLINFO &13 __STO\n"
      "[TEXTTOKENS]\n@0001 $CONNECT$|\n"
      "@0002 CREATE TEMPORARY TABLE kyr_kinds (y YEAR, b BIT(8), t TINYINT, s SMALLINT, f FLOAT, "
      "d DATE, tm TIME, dt DATETIME);|\n"
      "@0003 INSERT INTO kyr_kinds VALUES (2026, b'101', -5, 300, 2.5, '2026-12-08', '12:34:56', "
      "'2026-12-08 12:34:56');|\n"
      "@0004 SELECT y, b, t, s, f, d, tm, dt FROM kyr_kinds;|\n@0005 #1|\n@0006 type|\n[CODES]\n"
      "/00000001 SQL %0001 @0001\n/00001000 SQL %0001 @0002\n/00001000 SQL %0001 @0003\n"
      "/00001000 SQL %0001 @0004\n/00002000 SQL %0001\n%0002\n%0003\nQUIT\n";
  run_program("SQLKINDS.PXB", program, true);
  for (const box_seen& b : boxes) ADD_FAILURE() << "box: " << b.text;
  EXPECT_EQ(file_text("PXBERROR.LOG"), "");
  EXPECT_EQ(get_int_variable("A"), 2026);
  EXPECT_EQ(get_int_variable("B"), sqlc_type_integer);
  // BIT stays a text column: its value is the column's bytes (b'101' is the one byte 5), whose
  // length a number takes.
  EXPECT_EQ(get_int_variable("C"), 1);
  EXPECT_EQ(get_int_variable("D"), sqlc_type_text);
  EXPECT_EQ(get_int_variable("E"), -5);
  EXPECT_EQ(get_int_variable("F"), 300);
  EXPECT_EQ(get_real_variable("G"), 2.5f);
  EXPECT_EQ(get_int_variable("J"), sqlc_type_text);
  EXPECT_EQ(get_int_variable("M"), sqlc_type_real);
  EXPECT_EQ(get_int_variable("N"), sqlc_type_integer);
  const auto text = [](std::string_view name) {
    std::string out(20, '?');
    format_var_by_name(name, 1);
    get_input_text(out.data(), 20);
    return out.substr(0, out.find_last_not_of(' ') + 1);
  };
  EXPECT_EQ(text("H"), "2026-12-08");
  EXPECT_EQ(text("K"), "12:34:56");
  EXPECT_EQ(text("L"), "2026-12-08 12:34:56");
}

// The client library is opened at the first connect; a runtime without it still runs every
// program, and the one that connects is told why through the reporter and ended.
class SqlClientLibraryTest : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    sqlc_use_client_library("libwinkyr-no-such-client.so.0");
  }
  void TearDown() override {
    sqlc_use_client_library(sqlc_client_library);
    sql_reset();
    runtime_fixture::TearDown();
  }
};

TEST_F(SqlClientLibraryTest, MissingClientLibraryIsReportedAtTheConnectAndEndsTheProgram) {
  const std::string program =
      "[PROC]\nCSET=W\n[INIT]\nCODES=   3\nUPNCODES=1\nUPNTOKENS=1\nTEXTTOKENS=2\n"
      "TEXTCHARACTERS=100\nVARIABLES=1\nADRSPACE=1\n[VARIABLES]\n&0001 I 0001:X/\n"
      "[UPNCODES]\n#0\n[TEXTTOKENS]\n@0001 kyr%kyr@127.0.0.1:1/secret|\n@0002 #1|\n[CODES]\n"
      "/00000001 SQL %0001 @0001\n/00000801 FILE @0002 @0002 %0001\nQUIT\n";
  std::ofstream(dir / "NOLIB.PXB", std::ios::binary) << program;
  start_headless();
  try {
    load_program("NOLIB.PXB");
    set_auto_mode(true);
    interpreter(1);
  } catch (const program_end&) {
  }
  EXPECT_TRUE(boxes.empty());
  const std::vector<std::string> log = file_lines("PXBERROR.LOG");
  ASSERT_FALSE(log.empty());
  const std::string prefix = log_date() + "-KYR-ERROR 32000:MySQL-Clientbibliothek libwinkyr-no-such-client.so.0 nicht ladbar: ";
  EXPECT_EQ(log.back().substr(0, prefix.size()), prefix) << file_text("PXBERROR.LOG");
  EXPECT_NE(log.back().find("libwinkyr-no-such-client.so.0: cannot open shared object file"), std::string::npos);
  // The program ended at the connect: the file command after it never ran.
  EXPECT_FALSE(std::filesystem::exists(dir / "#1"));
}

// A server that takes the connection and never says a word: the connect gives up after the
// client library's time-out with status 1, and the library's message stays with the slot.
// (The listener's backlog completes the TCP connect; nothing ever accepts or answers it.)
using SqlSilentServerTest = runtime_fixture;

TEST_F(SqlSilentServerTest, ConnectToAServerThatNeverAnswersEndsWithStatusOne) {
  // The client library reads the socket's name from the environment once, at its first connect:
  // the settings go there first, so that the other tests' "localhost" finds the private server.
  read_test_db_settings();
  const silent_server silent;
  ASSERT_FALSE(silent.port().empty());
  const std::string& port = silent.port();
  const std::string program =
      "[PROC]\nCSET=W\n[INIT]\nCODES=   3\nUPNCODES=1\nUPNTOKENS=4\nTEXTTOKENS=1\n"
      "TEXTCHARACTERS=100\nVARIABLES=1\nADRSPACE=1\n[VARIABLES]\n&0001 I 0001:S/7\n"
      "[UPNCODES]\n_IOERROR &0001 __STO\n[TEXTTOKENS]\n@0001 u%db@127.0.0.1:" + port + "/pw|\n[CODES]\n"
      "/00000001 SQL @0001\n%0001\nQUIT\n";
  std::ofstream(dir / "SILENT.PXB", std::ios::binary) << program;
  start_headless();
  sql_reset();
  load_program("SILENT.PXB");
  interpreter(1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(get_int_variable("S"), 1);
  EXPECT_EQ(sqlc_slot_status(0), 1);
  EXPECT_NE(sqlc_last_error(0).text.find("handshake"), std::string::npos) << sqlc_last_error(0).text;
  sql_reset();
}

}  // namespace
