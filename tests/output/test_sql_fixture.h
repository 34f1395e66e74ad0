// Shared set-up of the database tests: the private test server named by the WINKYR_TEST_DB_*
// variables, a scratch directory for the logs, automatic mode (no boxes), a small program
// variable table, and table names that do not collide between test processes running at once.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/program_image.h"
#include "runtime/program/upn_store.h"
#include "runtime/output/sql/sql.h"

struct test_variable {
  std::string name;
  int32_t type;        // 1 integer, 3 real, 4 text
  int32_t length = 0;  // text length
};

// The private test server as the test command describes it in WINKYR_TEST_DB_*.
struct test_db_settings {
  std::string user, password, database, port, socket_path;
  bool present = false;
};

inline test_db_settings read_test_db_settings() {
  test_db_settings db;
  const char* u = std::getenv("WINKYR_TEST_DB_USER");
  const char* pw = std::getenv("WINKYR_TEST_DB_PASSWORD");
  const char* name = std::getenv("WINKYR_TEST_DB_NAME");
  const char* p = std::getenv("WINKYR_TEST_DB_PORT");
  const char* s = std::getenv("WINKYR_TEST_DB_SOCKET");
  if (!u || !pw || !name || !p || !s) return db;
  db = {u, pw, name, p, s, true};
  // "localhost" connects through the local socket; the client library finds it here.
  setenv("MYSQL_UNIX_PORT", s, 1);
  return db;
}

// Without the server the database tests fail, unless WINKYR_NO_DB=1 asks to skip them.
inline bool database_tests_skipped() {
  const char* no_db = std::getenv("WINKYR_NO_DB");
  return no_db && std::string(no_db) == "1";
}
inline constexpr const char* no_db_skip_message =
    "WINKYR_NO_DB=1: database tests skipped (no WINKYR_TEST_DB_* variables)";
inline constexpr const char* no_db_failure_message =
    "the WINKYR_TEST_DB_* variables are not set: start scripts/mariadb-test-server and source "
    "its env file, or set WINKYR_NO_DB=1 to skip";

class SqlServerTest : public ::testing::Test {
 protected:
  std::string user, password, database, port, socket_path;
  std::filesystem::path work_dir, old_dir;
  std::vector<std::string> tables;

  void SetUp() override {
    const test_db_settings db = read_test_db_settings();
    if (!db.present) {
      if (database_tests_skipped()) GTEST_SKIP() << no_db_skip_message;
      FAIL() << no_db_failure_message;
    }
    user = db.user;
    password = db.password;
    database = db.database;
    port = db.port;
    socket_path = db.socket_path;

    old_dir = std::filesystem::current_path();
    std::string tmpl = (std::filesystem::temp_directory_path() / "winkyr-sql-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    work_dir = tmpl;
    std::filesystem::current_path(work_dir);

    // Every test starts with a program that has not been ended, no trace switched on and no SQL
    // error of another test.
    errors_reset();
    trace_reset();
    run_flags = run_flags_t{};
    run_flags.auto_mode = true;
    run_flags.no_box = true;
    sql_reset();
  }

  void TearDown() override {
    errors_reset();  // a test that ended its program still drops its tables
    if (!tables.empty() && connect_tcp() == 0) {
      for (const std::string& t : tables) {
        try {
          sql_exec(0, "DROP TABLE IF EXISTS " + t + ";");
        } catch (const program_end&) {
        }
      }
    }
    sql_reset();
    if (!old_dir.empty()) std::filesystem::current_path(old_dir);
    if (!work_dir.empty()) std::filesystem::remove_all(work_dir);
  }

  std::string tcp_text() const {
    return user + "%" + database + "@127.0.0.1:" + port + "/" + password;
  }
  std::string socket_text() const { return user + "%" + database + "@localhost/" + password; }
  int32_t connect_tcp() { return sql_connect(tcp_text()); }

  // A table name of this test process; dropped again after the test.
  std::string table(const std::string& base) {
    std::string name = base + "_" + std::to_string(getpid());
    tables.push_back(name);
    return name;
  }

  void run(const std::string& statement, int32_t slot = 0) {
    ASSERT_EQ(sql_exec(slot, statement), 0) << statement;
  }

  std::string error_log() const {
    std::ifstream in(work_dir / "PXBERROR.LOG");
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  // A program variable table with the given variables (element 1 each), all cleared.
  static void define_variables(const std::vector<test_variable>& vars) {
    reset_program_image();
    const int32_t n = static_cast<int32_t>(vars.size());
    alloc_variable_space(n);
    alloc_array_space(n);
    STRING_BUFFER.blank();
    int32_t next_word = 1, next_char = 1;
    for (int32_t i = 0; i < n; ++i) {
      variable_record r{};
      r.name.fill(' ');
      for (size_t k = 0; k < vars[static_cast<size_t>(i)].name.size() && k < 12; ++k)
        r.name[k] = vars[static_cast<size_t>(i)].name[k];
      r.type = vars[static_cast<size_t>(i)].type;
      r.dimension = 1;
      if (r.is_text()) {
        r.start = vars[static_cast<size_t>(i)].length;
        r.text_start = next_char;
        r.text_end = next_char + r.start - 1;
        next_char += r.start;
      } else {
        r.start = next_word++;
      }
      define_variable(i + 1, r);
    }
  }

  static std::string text_variable(const std::string& name) {
    for (const variable_record& r : variable_table.records) {
      if (variable_name(r) == name) {
        std::string_view v = STRING_BUFFER.view(r.text_start, r.text_end - r.text_start + 1);
        while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
        return std::string(v);
      }
    }
    ADD_FAILURE() << "no variable " << name;
    return {};
  }

  // SQLVAR(slot, column) on a fresh value stack.
  static value_slot sqlvar(int32_t slot, int32_t column) {
    reset_evaluator();
    evaluator.slot(1).set_number(static_cast<float>(slot));
    evaluator.slot(2).set_number(static_cast<float>(column));
    evaluator.sp = 2;
    eval_SQLVAR();
    EXPECT_EQ(evaluator.sp, 1);
    return evaluator.slot(1);
  }

  // SQLINFO(name, slot, column) on a fresh value stack.
  static value_slot sqlinfo(const std::string& name, int32_t slot, int32_t column) {
    reset_evaluator();
    value_slot& n = evaluator.slot(1);
    n.text.fill(' ');
    std::copy(name.begin(), name.end(), n.text.begin());
    n.type = static_cast<int32_t>(name.size());
    n.set_value(static_cast<float>(name.size()));
    evaluator.slot(2).set_number(static_cast<float>(slot));
    evaluator.slot(3).set_number(static_cast<float>(column));
    evaluator.sp = 3;
    eval_SQLINFO();
    EXPECT_EQ(evaluator.sp, 1);
    return evaluator.slot(1);
  }
};
