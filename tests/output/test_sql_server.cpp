// The SQL layer and its client glue against the private MariaDB test server: connecting,
// statements over several commands, date macros, column types through SQLVAR and SQLINFO,
// fetching into program variables, the four slots and the failure paths.
#include <chrono>
#include <cstring>
#include <thread>

#include "test_sql_fixture.h"

namespace {

// Connection ids of the four slots, read with the slots' own connections.
std::vector<std::string> connection_ids(SqlServerTest& t) {
  std::vector<std::string> ids;
  for (int32_t slot = 0; slot < sqlc_slot_count; ++slot) {
    EXPECT_EQ(sql_exec(slot, "SELECT CONNECTION_ID() AS id;"), 0);
    EXPECT_EQ(sql_fetch(slot, false), 0);
    ids.emplace_back(sqlc_get_text(slot, 1));
  }
  return ids;
}

// How many of the given connections the server lists, waiting a little (up to 2.5 s) for the
// server to finish connections that were just closed until the count is the expected one.
int32_t live_connections(const std::vector<std::string>& ids, int32_t expected) {
  std::string list;
  for (const std::string& id : ids) list += (list.empty() ? "" : ",") + id;
  int32_t live = -1;
  for (int attempt = 0; attempt < 50; ++attempt) {
    EXPECT_EQ(sql_exec(0, "SELECT COUNT(*) AS n FROM information_schema.PROCESSLIST WHERE ID IN (" +
                              list + ");"),
              0);
    EXPECT_EQ(sql_fetch(0, false), 0);
    live = static_cast<int32_t>(sql_read_number(sqlc_get_text(0, 1)));
    if (live == expected) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return live;
}

// ---------------------------------------------------------------- connecting

TEST_F(SqlServerTest, ConnectWithFullTextOverTcpPort) {
  ASSERT_EQ(connect_tcp(), 0);
  // The port of the connection text is the one used: the server's port is not 3306.
  run("SELECT @@port AS p;");
  ASSERT_EQ(sql_fetch(0, false), 0);
  EXPECT_EQ(std::string(sqlc_get_text(0, 1)), port);
  run("SELECT DATABASE() AS d;", 1);
  ASSERT_EQ(sql_fetch(1, false), 0);
  EXPECT_EQ(std::string(sqlc_get_text(1, 1)), database);
}

TEST_F(SqlServerTest, LocalhostWithoutPortUsesTheSocket) {
  ASSERT_EQ(sql_connect(socket_text()), 0);
  run("SELECT @@socket AS s, (SELECT HOST FROM information_schema.PROCESSLIST WHERE ID = "
      "CONNECTION_ID()) AS h;");
  ASSERT_EQ(sql_fetch(0, false), 0);
  EXPECT_EQ(std::string(sqlc_get_text(0, 1)), socket_path);
  EXPECT_EQ(std::string(sqlc_get_text(0, 2)), "localhost");
}

TEST_F(SqlServerTest, LocalhostWithPortConnectsOverTcp) {
  ASSERT_EQ(sql_connect(user + "%" + database + "@localhost:" + port + "/" + password), 0);
  run("SELECT (SELECT HOST FROM information_schema.PROCESSLIST WHERE ID = CONNECTION_ID()) AS h;");
  ASSERT_EQ(sql_fetch(0, false), 0);
  EXPECT_EQ(std::string(sqlc_get_text(0, 1)).rfind("127.0.0.1", 0), 0u);
}

TEST_F(SqlServerTest, WrongPasswordIsStatusOne) {
  EXPECT_EQ(sql_connect(user + "%" + database + "@127.0.0.1:" + port + "/wrong"), 1);
  EXPECT_EQ(sqlc_slot_status(0), 1);
  EXPECT_EQ(sqlc_last_error(0).number, 1045u);  // access denied
  for (int32_t slot = 0; slot < sqlc_slot_count; ++slot) EXPECT_EQ(sql_fetch(slot, true), 30);
}

TEST_F(SqlServerTest, MissingDatabaseIsStatusTwoAndNothingStaysOpen) {
  EXPECT_EQ(sql_connect(user + "%no_such_db@127.0.0.1:" + port + "/" + password), 2);
  EXPECT_EQ(sqlc_slot_status(0), 2);
  // No slot keeps a connection: a statement is refused instead of running somewhere.
  EXPECT_THROW(sql_exec(1, "SELECT 1;"), program_end);
  EXPECT_NE(error_log().find("MySQL Fehler: keine Verbindung zur Datenbank"), std::string::npos);
}

TEST_F(SqlServerTest, ConnectFailingHalfWayClosesWhatItOpened) {
  // This user may hold two connections: slots 0 and 1 connect, slot 2 is refused.
  const char* limited = std::getenv("WINKYR_TEST_DB_LIMITED_USER");
  ASSERT_NE(limited, nullptr) << "WINKYR_TEST_DB_LIMITED_USER is not set";
  const std::string text =
      std::string(limited) + "%" + database + "@127.0.0.1:" + port + "/" + password;
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ(sql_connect(text), 1);
    // Had the first attempt left its two connections open, the second would fail at slot 0.
    EXPECT_EQ(sqlc_slot_status(0), sqlc_status_not_connected) << attempt;
    EXPECT_EQ(sqlc_slot_status(1), sqlc_status_not_connected) << attempt;
    EXPECT_EQ(sqlc_slot_status(2), 1) << attempt;
    EXPECT_EQ(sqlc_last_error(2).number, 1226u) << sqlc_last_error(2).text;  // too many connections
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  // Afterwards the full connect works, and the user holds no connection.
  ASSERT_EQ(connect_tcp(), 0);
}

TEST_F(SqlServerTest, BadPortIsAConnectFailure) {
  EXPECT_EQ(sql_connect(user + "%" + database + "@127.0.0.1:99999/" + password), 1);
  EXPECT_EQ(sql_connect(user + "%" + database + "@127.0.0.1:12ab/" + password), 1);
}

TEST_F(SqlServerTest, ReconnectClosesTheOldConnections) {
  ASSERT_EQ(connect_tcp(), 0);
  const std::vector<std::string> old_ids = connection_ids(*this);
  ASSERT_EQ(connect_tcp(), 0);
  const std::vector<std::string> new_ids = connection_ids(*this);
  EXPECT_NE(old_ids, new_ids);
  EXPECT_EQ(live_connections(old_ids, 0), 0);
  EXPECT_EQ(live_connections(new_ids, 4), 4);
}

TEST_F(SqlServerTest, DisconnectClosesAllSlots) {
  ASSERT_EQ(connect_tcp(), 0);
  const std::vector<std::string> ids = connection_ids(*this);
  EXPECT_EQ(sql_disconnect(), 0);
  for (int32_t slot = 0; slot < sqlc_slot_count; ++slot) {
    EXPECT_EQ(sql_fetch(slot, false), 30);
    EXPECT_EQ(sqlc_slot_status(slot), sqlc_status_not_connected);
  }
  // A second disconnect has nothing to close.
  EXPECT_EQ(sql_disconnect(), 0);
  ASSERT_EQ(connect_tcp(), 0);
  EXPECT_EQ(live_connections(ids, 0), 0);
}

TEST_F(SqlServerTest, PasswordNeverInTraceOrLog) {
  debug_to_file();
  debug_mode(1);
  ASSERT_EQ(connect_tcp(), 0);
  EXPECT_EQ(sql_connect(user + "%" + database + "@127.0.0.1:" + port + "/wrongSecret9"), 1);
  trace_reset();
  std::ifstream in(work_dir / "$PXBDUMP.TXT");
  std::stringstream ss;
  ss << in.rdbuf();
  const std::string trace = ss.str();
  EXPECT_NE(trace.find("KYR/SQL: passwd"), std::string::npos);
  EXPECT_NE(trace.find("KYR/SQL: user"), std::string::npos);
  EXPECT_EQ(trace.find(password), std::string::npos);
  EXPECT_EQ(trace.find("wrongSecret9"), std::string::npos);
  EXPECT_EQ(error_log().find(password), std::string::npos);
}

// ---------------------------------------------------------------- statements

TEST_F(SqlServerTest, StatementFromSeveralCommandsRunsOnceComplete) {
  ASSERT_EQ(connect_tcp(), 0);
  EXPECT_EQ(sql_exec(0, "SELECT 1 +"), 0);
  EXPECT_EQ(sql_pending_statement(), "SELECT 1 +");
  EXPECT_EQ(sql_fetch(0, false), 30);  // nothing ran yet
  EXPECT_EQ(sql_exec(0, "2 AS x,"), 0);
  EXPECT_EQ(sql_exec(0, "'a;b' AS y ;   "), 0);
  EXPECT_EQ(sql_pending_statement(), "");
  ASSERT_EQ(sql_fetch(0, false), 0);
  EXPECT_EQ(std::string(sqlc_get_text(0, 1)), "3");
  EXPECT_EQ(std::string(sqlc_get_text(0, 2)), "a;b");
}

TEST_F(SqlServerTest, OverlongStatementIsRefusedAndNotLeftPending) {
  ASSERT_EQ(connect_tcp(), 0);
  const std::string piece = "SELECT '" + std::string(1000, 'x') + "'";
  EXPECT_EQ(sql_exec(0, piece), 0);
  EXPECT_EQ(sql_exec(0, ", '" + std::string(1000, 'y') + "'"), 0);
  EXPECT_THROW(sql_exec(0, ", '" + std::string(100, 'z') + "' AS c;"), program_end);
  EXPECT_EQ(sql_pending_statement(), "");
  EXPECT_NE(error_log().find("KYR-ERROR 32000:SQL-Anweisung zu lang"), std::string::npos);
}

TEST_F(SqlServerTest, StatementOfExactly2048CharactersRuns) {
  ASSERT_EQ(connect_tcp(), 0);
  std::string s = "SELECT '";
  s += std::string(2048 - s.size() - std::string("' AS c;").size(), 'q');
  s += "' AS c;";
  ASSERT_EQ(s.size(), 2048u);
  run(s);
  ASSERT_EQ(sql_fetch(0, false), 0);
  EXPECT_EQ(sqlc_get_text(0, 1).size(), 2048u - 15u);
}

TEST_F(SqlServerTest, PlainInsertReplacesIgnoreAndDuplicateKeyKeepMeaning) {
  ASSERT_EQ(connect_tcp(), 0);
  const std::string t = table("ins");
  run("CREATE TABLE " + t + " (k INT PRIMARY KEY, v VARCHAR(10));");
  run("INSERT INTO " + t + " VALUES (1, 'a');");
  // A plain INSERT of an existing key replaces the row instead of failing.
  run("insert into " + t + " values (1, 'b');");
  run("INSERT IGNORE INTO " + t + " VALUES (1, 'c');");
  run("SELECT v FROM " + t + ";");
  ASSERT_EQ(sql_fetch(0, false), 0);
  EXPECT_EQ(std::string(sqlc_get_text(0, 1)), "b");
  run("INSERT INTO " + t + " VALUES (1, 'd') ON DUPLICATE KEY UPDATE v = CONCAT(v, 'x');");
  run("SELECT v FROM " + t + ";");
  ASSERT_EQ(sql_fetch(0, false), 0);
  EXPECT_EQ(std::string(sqlc_get_text(0, 1)), "bx");
}

TEST_F(SqlServerTest, RowsOfOtherStatementsAreReadAndFreed) {
  ASSERT_EQ(connect_tcp(), 0);
  const std::string t = table("desc");
  const std::string p = table("proc");
  run("CREATE TABLE " + t + " (k INT);");
  run("DESCRIBE " + t + ";");
  run("EXPLAIN SELECT * FROM " + t + ";");
  run("WITH q AS (SELECT 1 AS a) SELECT a FROM q;");
  run("CREATE PROCEDURE " + p + "() BEGIN SELECT 1 AS a; SELECT 2 AS b; END;");
  run("CALL " + p + "();");
  run("SELECT 7 AS n;");
  ASSERT_EQ(sql_fetch(0, false), 0);
  EXPECT_EQ(std::string(sqlc_get_text(0, 1)), "7");
  run("DROP PROCEDURE " + p + ";");
  // A result ready before a statement without rows on the same slot is gone.
  run("SELECT 1 AS a;");
  run("DO 1;");
  EXPECT_EQ(sql_fetch(0, false), 30);
}

// A procedure whose later statement fails after its first result has come: the statement fails
// as a whole (its first rows are not kept for the fetch).
TEST_F(SqlServerTest, ProcedureFailingAfterItsFirstResultFailsTheStatement) {
  ASSERT_EQ(connect_tcp(), 0);
  const std::string p = table("failproc");
  run("CREATE PROCEDURE " + p + "() BEGIN SELECT 1 AS a; SELECT * FROM no_such_table_y; END;");
  EXPECT_THROW(sql_exec(0, "CALL " + p + "();"), program_end);
  EXPECT_NE(error_log().find("-WARNUNG:SQL-error Nr: 1146"), std::string::npos) << error_log();
  EXPECT_EQ(sql_fetch(0, false), 30);
  errors_reset();  // the end closed the connections
  ASSERT_EQ(connect_tcp(), 0);
  run("DROP PROCEDURE " + p + ";");
}

TEST_F(SqlServerTest, FailingStatementEndsTheProgramWithTheServersError) {
  ASSERT_EQ(connect_tcp(), 0);
  EXPECT_THROW(sql_exec(0, "SELECT * FROM no_such_table_x;"), program_end);
  const std::string log = error_log();
  EXPECT_NE(log.find("-WARNUNG:SELECT * FROM no_such_table_x;"), std::string::npos) << log;
  EXPECT_NE(log.find("-WARNUNG:SQL-error Nr: 1146"), std::string::npos) << log;
  EXPECT_NE(log.find("-ABBRUCH:MySQL Fehler: Table '" + database + ".no_such_table_x' doesn't exist"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("KYR-ERROR 32000:MySQL Fehler: "), std::string::npos) << log;
  EXPECT_EQ(sql_pending_statement(), "");
  EXPECT_EQ(sql_fetch(0, false), 30);
}

TEST_F(SqlServerTest, LostConnectionReportsTheLibrarysError) {
  ASSERT_EQ(connect_tcp(), 0);
  const std::vector<std::string> ids = connection_ids(*this);
  run("KILL " + ids[0] + ";", 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_THROW(sql_exec(0, "SELECT 1;"), program_end);
  const std::string log = error_log();
  const bool gone = log.find("SQL-error Nr: 2006") != std::string::npos ||
                    log.find("SQL-error Nr: 2013") != std::string::npos ||
                    log.find("SQL-error Nr: 1927") != std::string::npos;
  EXPECT_TRUE(gone) << log;
  const size_t pos = log.find("-ABBRUCH:MySQL Fehler: ");
  ASSERT_NE(pos, std::string::npos) << log;
  EXPECT_GT(log.find('\n', pos) - pos, std::string("-ABBRUCH:MySQL Fehler: ").size() + 3) << log;
}

TEST_F(SqlServerTest, StatementBeforeAnyConnectIsRefused) {
  EXPECT_THROW(sql_exec(0, "SELECT 1;"), program_end);
  EXPECT_NE(error_log().find("MySQL Fehler: keine Verbindung zur Datenbank"), std::string::npos);
}

// ---------------------------------------------------------------- dates

TEST_F(SqlServerTest, DateMacrosRoundTripDateAndDatetime) {
  ASSERT_EQ(connect_tcp(), 0);
  const std::string t = table("dates");
  run("CREATE TABLE " + t + " (k INT, d DATE, ts DATETIME);");
  run("INSERT INTO " + t + " VALUES (1, T$KYR2SQL('05.01.2024'), D$KYR2SQL('202401051230'));");
  run("INSERT INTO " + t + " VALUES (2, T$KYR2SQL('29.02.2000'), D$TIM2SQL('31.12.1999 23:59'));");
  run("INSERT INTO " + t + " VALUES (3, T$KYR2SQL('00.00.0000'), D$KYR2SQL('000000000000'));");
  define_variables({{"K", 1}, {"DT", 4, 10}, {"DK", 4, 12}, {"DTIM", 4, 16}});
  run("SELECT k, T$SQL2KYR(d) AS dt, D$SQL2KYR(ts) AS dk, D$SQL2TIM(ts) AS dtim FROM " + t +
      " ORDER BY k;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("K"), 1);
  EXPECT_EQ(text_variable("DT"), "05.01.2024");
  EXPECT_EQ(text_variable("DK"), "202401051230");
  EXPECT_EQ(text_variable("DTIM"), "05.01.2024 12:30");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(text_variable("DT"), "29.02.2000");
  EXPECT_EQ(text_variable("DK"), "199912312359");
  EXPECT_EQ(text_variable("DTIM"), "31.12.1999 23:59");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(text_variable("DT"), "00.00.0000");
  EXPECT_EQ(text_variable("DK"), "000000000000");
  EXPECT_EQ(text_variable("DTIM"), "00.00.0000 00:00");
  EXPECT_EQ(sql_fetch(0, true), 20);
}

TEST_F(SqlServerTest, TextsCrossAsCodePage1252WhateverTheColumnsCharacterSet) {
  ASSERT_EQ(connect_tcp(), 0);
  const std::string t = table("cp");
  run("CREATE TABLE " + t + " (a VARCHAR(10) CHARACTER SET latin1, "
      "u VARCHAR(10) CHARACTER SET utf8mb4);");
  // The euro sign is 0x80 in code page 1252; the server keeps it as U+20AC in the utf8mb4 column.
  run("INSERT INTO " + t + " VALUES ('\x80 \xe4\xdf', '\x80 \xe4\xdf');");
  run("SELECT a, u, HEX(u) AS h FROM " + t + ";");
  ASSERT_EQ(sql_fetch(0, false), 0);
  EXPECT_EQ(std::string(sqlc_get_text(0, 1)), "\x80 \xe4\xdf");
  EXPECT_EQ(std::string(sqlc_get_text(0, 2)), "\x80 \xe4\xdf");
  EXPECT_EQ(std::string(sqlc_get_text(0, 3)), "E282AC20C3A4C39F");
}

TEST_F(SqlServerTest, OverlongMacroArgumentIsRefused) {
  ASSERT_EQ(connect_tcp(), 0);
  EXPECT_THROW(sql_exec(0, "SELECT T$SQL2KYR('" + std::string(40, '1') + "');"), program_end);
  EXPECT_NE(error_log().find("Argument zu lang"), std::string::npos);
}

// ---------------------------------------------------------------- types, SQLVAR, SQLINFO, fetch

class SqlTypesTest : public SqlServerTest {
 protected:
  std::string t;
  void SetUp() override {
    SqlServerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(connect_tcp(), 0);
    t = table("types");
    run("CREATE TABLE " + t + " (i INT, b BIGINT, f FLOAT, d DOUBLE, m DECIMAL(10,2), "
        "mi MEDIUMINT, dt DATE, ts DATETIME, v VARCHAR(40), n INT NULL) CHARACTER SET latin1;");
    run("INSERT INTO " + t + " VALUES (2147483647, 9000000000, 1.5, 2.25, 12.5, -8388608, "
        "'2024-01-05', '2024-01-05 12:30:00', 'M\xFCller \xC4rger \xDF', NULL);");
    run("INSERT INTO " + t + " VALUES (-12, 7, -0.25, 1e30, -3.75, 12, NULL, NULL, '', 5);");
  }
};

TEST_F(SqlTypesTest, SqlInfoTypesLengthsAndCounts) {
  run("SELECT * FROM " + t + " ORDER BY i DESC;", 2);
  EXPECT_EQ(sqlinfo("HANDLES", 9, 0).value(), 4.0f);
  EXPECT_EQ(sqlinfo("elements", 2, 0).value(), 10.0f);
  EXPECT_EQ(sqlinfo("records", 2, 0).value(), 2.0f);
  const int expected_types[] = {-1, -1, -2, -2, -2, -1, 3, 3, 3, -1};
  const char* names[] = {"i", "b", "f", "d", "m", "mi", "dt", "ts", "v", "n"};
  for (int c = 1; c <= 10; ++c) {
    EXPECT_EQ(sqlinfo("type", 2, c).value(), static_cast<float>(expected_types[c - 1])) << c;
    const value_slot name = sqlinfo("Name", 2, c);
    EXPECT_EQ(std::string(name.text_view()), names[c - 1]);
  }
  EXPECT_EQ(sqlinfo("type", 2, 0).value(), 0.0f);
  EXPECT_EQ(sqlinfo("type", 2, 11).value(), 0.0f);
  EXPECT_EQ(sqlinfo("length", 2, 9).value(), 40.0f);
  EXPECT_EQ(sqlinfo("what", 2, 1).value(), 0.0f);
  const value_slot version = sqlinfo("version", 0, 0);
  EXPECT_EQ(std::string(version.text_view()), "MySQL4KYR 1.0i");
}

TEST_F(SqlTypesTest, SqlInfoRangeErrors) {
  EXPECT_THROW(sqlinfo("records", 9, 0), program_end);
  EXPECT_NE(error_log().find("KYR-ERROR  6112:SQL Handle"), std::string::npos) << error_log();
}

TEST_F(SqlTypesTest, SqlVarTextsAndNumbers) {
  run("SELECT * FROM " + t + " ORDER BY i DESC;", 1);
  ASSERT_EQ(sql_fetch(1, false), 0);
  value_slot v = sqlvar(1, 1);
  EXPECT_EQ(std::string(v.text_view()), "2147483647");
  EXPECT_EQ(v.type, 10);
  EXPECT_EQ(v.value(), 2147483647.0f);
  v = sqlvar(1, 3);
  EXPECT_EQ(std::string(v.text_view()), "1.5");
  EXPECT_EQ(v.value(), 1.5f);
  v = sqlvar(1, 4);  // DOUBLE is a number as well
  EXPECT_EQ(std::string(v.text_view()), "2.25");
  EXPECT_EQ(v.value(), 2.25f);
  v = sqlvar(1, 9);
  EXPECT_EQ(std::string(v.text_view()), "M\xFCller \xC4rger \xDF");
  v = sqlvar(1, 10);  // NULL in a numeric column
  EXPECT_EQ(v.type, 0);
  EXPECT_EQ(v.value(), 0.0f);
  EXPECT_EQ(v.text[0], ' ');
  ASSERT_EQ(sql_fetch(1, false), 0);
  v = sqlvar(1, 7);  // NULL date
  EXPECT_EQ(v.type, 0);
  v = sqlvar(1, 1);
  EXPECT_EQ(v.value(), -12.0f);
}

TEST_F(SqlTypesTest, SqlVarRangeErrors) {
  run("SELECT i FROM " + t + ";");
  ASSERT_EQ(sql_fetch(0, false), 0);
  EXPECT_THROW(sqlvar(0, 0), program_end);
  EXPECT_NE(error_log().find("KYR-ERROR  6113:SQL-element"), std::string::npos) << error_log();
}

TEST_F(SqlTypesTest, SqlVarSlotOutOfRange) {
  EXPECT_THROW(sqlvar(4, 1), program_end);
  EXPECT_NE(error_log().find("KYR-ERROR  6112:SQL-handle"), std::string::npos) << error_log();
}

TEST_F(SqlTypesTest, SqlVarWithoutCurrentRowIsEmpty) {
  run("SELECT i FROM " + t + ";");
  value_slot v = sqlvar(0, 1);  // before the first fetch
  EXPECT_EQ(v.type, 0);
  while (sql_fetch(0, false) == 0) {
  }
  v = sqlvar(0, 1);  // after the last row
  EXPECT_EQ(v.type, 0);
}

TEST_F(SqlTypesTest, FetchIntoVariablesOfEveryType) {
  define_variables({{"I", 1}, {"B", 1}, {"F", 3}, {"D", 3}, {"M", 3}, {"MI", 1}, {"DT", 4, 10},
                    {"TS", 4, 19}, {"V", 4, 40}, {"N", 1}});
  run("SELECT * FROM " + t + " ORDER BY i DESC;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("I"), 2147483647);
  EXPECT_EQ(get_int_variable("B"), 2147483647);  // 9000000000 clamped to the integer range
  EXPECT_EQ(get_real_variable("F"), 1.5f);
  EXPECT_EQ(get_real_variable("D"), 2.25f);
  EXPECT_EQ(get_real_variable("M"), 12.5f);
  EXPECT_EQ(get_int_variable("MI"), -8388608);
  EXPECT_EQ(text_variable("DT"), "2024-01-05");
  EXPECT_EQ(text_variable("TS"), "2024-01-05 12:30:00");
  EXPECT_EQ(text_variable("V"), "M\xFCller \xC4rger \xDF");
  EXPECT_EQ(get_int_variable("N"), 0);
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("I"), -12);
  EXPECT_EQ(get_int_variable("B"), 7);
  EXPECT_EQ(get_real_variable("F"), -0.25f);
  EXPECT_EQ(get_real_variable("D"), 1e30f);
  EXPECT_EQ(get_real_variable("M"), -3.75f);
  EXPECT_EQ(text_variable("DT"), "");
  EXPECT_EQ(text_variable("V"), "");
  EXPECT_EQ(get_int_variable("N"), 5);
  EXPECT_EQ(sql_fetch(0, true), 20);
}

TEST_F(SqlTypesTest, IntegerColumnIntoRealAndRealIntoInteger) {
  define_variables({{"I", 3}, {"F", 1}, {"D", 1}});
  run("SELECT i, f, d FROM " + t + " WHERE i = -12;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_real_variable("I"), -12.0f);
  EXPECT_EQ(get_int_variable("F"), 0);   // -0.25 to the nearest integer
  EXPECT_EQ(get_int_variable("D"), 2147483647);  // 1e30 clamped
  run("SELECT 12.6 AS f, CAST(12.6 AS FLOAT) AS i, -2.5 AS d;");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("F"), 13);
  EXPECT_FLOAT_EQ(get_real_variable("I"), 12.6f);
  EXPECT_EQ(get_int_variable("D"), -3);  // halves away from zero
}

TEST_F(SqlTypesTest, CountIntoNumericVariable) {
  define_variables({{"CNT", 1}, {"TOTAL", 3}});
  run("SELECT COUNT(*) AS cnt, SUM(i) AS total FROM " + t + ";");
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("CNT"), 2);
  EXPECT_EQ(get_real_variable("TOTAL"), 2147483635.0f);
}

TEST_F(SqlTypesTest, ColumnWithoutVariableIsReported) {
  define_variables({{"I", 1}});
  run("SELECT i, b FROM " + t + ";");
  EXPECT_THROW(sql_fetch(0, true), program_end);
  EXPECT_NE(error_log().find("MAP-Error:b"), std::string::npos) << error_log();
}

TEST_F(SqlTypesTest, FetchSequenceThirtyRowsTwentyTwenty) {
  EXPECT_EQ(sql_fetch(3, false), 30);
  run("SELECT i FROM " + t + ";", 3);
  EXPECT_EQ(sql_fetch(3, false), 0);
  EXPECT_EQ(sql_fetch(3, false), 0);
  EXPECT_EQ(sql_fetch(3, false), 20);
  EXPECT_EQ(sql_fetch(3, false), 20);
  EXPECT_EQ(sql_fetch(3, true), 20);
  // A statement without result on the slot makes it answer 30 again.
  run("UPDATE " + t + " SET n = 1 WHERE 1 = 0;", 3);
  EXPECT_EQ(sql_fetch(3, false), 30);
  // An empty result answers 20 at once.
  run("SELECT i FROM " + t + " WHERE 1 = 0;", 3);
  EXPECT_EQ(sql_fetch(3, false), 20);
}

TEST_F(SqlTypesTest, FourSlotsHoldResultsAtOnce) {
  define_variables({{"A", 1}, {"B", 1}, {"C", 1}, {"V", 4, 40}, {"I", 1}});
  run("SELECT i AS a FROM " + t + " ORDER BY i;", 0);
  run("SELECT b AS b, i AS c FROM " + t + " ORDER BY b;", 1);
  run("SELECT v FROM " + t + " ORDER BY i DESC;", 2);
  run("SELECT 1 AS i UNION SELECT 2 UNION SELECT 3;", 3);
  EXPECT_EQ(sqlc_info(0).fields, 1);
  EXPECT_EQ(sqlc_info(1).fields, 2);
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("A"), -12);
  ASSERT_EQ(sql_fetch(1, true), 0);
  EXPECT_EQ(get_int_variable("B"), 7);
  EXPECT_EQ(get_int_variable("C"), -12);
  ASSERT_EQ(sql_fetch(2, true), 0);
  EXPECT_EQ(text_variable("V"), "M\xFCller \xC4rger \xDF");
  ASSERT_EQ(sql_fetch(3, true), 0);
  EXPECT_EQ(get_int_variable("I"), 1);
  // Slot 0 was fetched after slot 1's two-column statement: only its own column is read.
  ASSERT_EQ(sql_fetch(0, true), 0);
  EXPECT_EQ(get_int_variable("A"), 2147483647);
  ASSERT_EQ(sql_fetch(1, true), 0);
  EXPECT_EQ(get_int_variable("C"), 2147483647);
  ASSERT_EQ(sql_fetch(3, true), 0);
  EXPECT_EQ(get_int_variable("I"), 2);
  EXPECT_EQ(sql_fetch(0, true), 20);
  EXPECT_EQ(sql_fetch(2, true), 0);
  EXPECT_EQ(text_variable("V"), "");
}

// ---------------------------------------------------------------- the glue on its own

TEST_F(SqlServerTest, GlueSlotNumbersOutsideTheRangeActOnSlotZero) {
  ASSERT_EQ(connect_tcp(), 0);
  EXPECT_EQ(sqlc_query(7, "SELECT 5 AS a, 6 AS b"), 0);
  EXPECT_EQ(sqlc_store_result(-1), 0);
  EXPECT_EQ(sqlc_info(0).fields, 2);
  EXPECT_EQ(sqlc_fetch_row(0), 0);
  EXPECT_EQ(std::string(sqlc_get_text(9, 2)), "6");
  EXPECT_EQ(sqlc_field_type(0, 0), 0);
  EXPECT_EQ(sqlc_field_name(0, 3), "");
  EXPECT_EQ(std::string(sqlc_get_text(0, 3)), "");
  EXPECT_EQ(sqlc_fetch_row(0), 20);
  EXPECT_EQ(std::string(sqlc_get_text(0, 1)), "");
  // A statement without result keeps the counts of the last stored result.
  EXPECT_EQ(sqlc_query(0, "DO 1"), 0);
  EXPECT_EQ(sqlc_info(0).fields, 2);
  EXPECT_EQ(sqlc_info(0).rows, 1);
  EXPECT_EQ(sqlc_field_type(0, 1), 0);  // the description is gone with the result
  EXPECT_EQ(sqlc_version(), "MySQL4KYR 1.0i");
  EXPECT_EQ(sqlc_get_int(0, 1), 0);
  EXPECT_EQ(sqlc_get_real(0, 1), 0.0f);
}

TEST_F(SqlServerTest, GlueCloseWithoutConnectionsSaysOne) {
  sqlc_reset();
  EXPECT_EQ(sqlc_close(), 1);
  EXPECT_EQ(sqlc_fetch_row(0), 20);
  EXPECT_EQ(sqlc_store_result(0), sqlc_status_not_connected);
  EXPECT_EQ(sqlc_query(0, "SELECT 1"), 1);
}

}  // namespace
