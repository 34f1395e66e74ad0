// The SQL layer ("KYR/SQL"): the program-facing side of database access.  It parses the
// connection text, collects statement text over several SQL commands until it ends with ";",
// rewrites it for the dialect of the client glue, runs it on one of the glue's slots and
// fetches result rows into the program variables named like the columns.
#include "runtime/output/sql/sql.h"

#include "runtime/program/open_things.h"
#include "runtime/program/program.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/program_image.h"

#include <array>
#include <bit>
#include <charconv>
#include <vector>

namespace {

constexpr size_t trace_piece_length = 132;
constexpr size_t column_name_capacity = 64;
constexpr size_t column_text_capacity = 2048;

// How one column of a result goes into its program variable.  Worked out on the first
// assigning fetch of a result, so that the rows after it neither ask the client library for the
// column's description nor search the variable table by name again.
enum class column_target {
  by_name,  // anything unusual (no such variable, an element reference, another type): the
            // general path through the named setters, which also report what is wrong
  integer,  // the word of an integer variable's element
  real,     // the word of a real variable's element
  text,     // the place of a text variable
};

struct column_plan {
  column_target target = column_target::by_name;
  int32_t variable = 0;                  // the variable the name found
  int32_t element_offset = 0;            // of an element reference in the name
  std::array<char, 12> variable_name{};  // that variable's name and type, checked on every row
  int32_t variable_type = 0;
  std::string set_int_label;             // trace label of the integer setter, "SET-INT " name
};

struct fetch_plan {
  uint64_t result_id = 0;  // the glue's result the plan belongs to; 0 for none
  // The variable table the plan was made for: a chained program brings a new one.
  const variable_record* table = nullptr;
  size_t table_size = 0;
  int32_t table_count = 0;  // the variables the lookup searches
  std::vector<column_plan> columns;
};

struct layer_state {
  char dialect = ' ';            // first letter of the glue's identity text
  bool initialised = false;      // set by the first connect
  bool connected = false;        // after a connect whose status was 0
  std::string database;          // of the last connect
  std::string port;
  std::string statement;         // collected text, empty while none is pending
  std::array<int32_t, sqlc_slot_count> last_status{};
  std::array<bool, sqlc_slot_count> result_ready{};
  int32_t field_count = 0;       // of the last SELECT or SHOW statement on any slot
  std::array<fetch_plan, sqlc_slot_count> plans;
  std::string column_text;       // the column text of the fetch, kept to reuse its storage
};
layer_state layer;

bool slot_valid(int32_t slot) { return slot >= 0 && slot < sqlc_slot_count; }

std::string_view trim_trailing(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return s;
}

// The empty date of the other dialects comes back as the runtime's empty date: only a whole
// value, and only where the way in exchanged it (never for MySQL, whose texts and dates cross
// unchanged both ways); characters inside a text are never touched.
void restore_empty_date(std::string& text) {
  if (layer.dialect != 'M' && text == "01.01.0001") text = "00.00.0000";
}

// A column's text as the fetch stores it: at most 2,048 characters, cut at its end, the empty
// date of the other dialects as the runtime's one.  Fills text, whose storage is reused.
void prepare_column_text(int32_t slot, int32_t column, std::string& text) {
  text.assign(trim_trailing(sqlc_get_text(slot, column).substr(0, column_text_capacity)));
  restore_empty_date(text);
}

// The column's name as the fetch looks it up: at most 64 characters, cut at its end.
std::string column_name(int32_t slot, int32_t column) {
  std::string name = sqlc_field_name(slot, column);
  if (name.size() > column_name_capacity) name.resize(column_name_capacity);
  name.resize(trim_trailing(name).size());
  return name;
}

// Long statements go to the trace in pieces of at least 132 characters, broken at a blank.
void trace_statement(std::string_view statement) {
  const std::string label = std::string(1, layer.dialect) + "-SQL: ";
  bool first = true;
  while (!statement.empty()) {
    size_t len = statement.size();
    if (len > trace_piece_length) {
      size_t blank = statement.find(' ', trace_piece_length);
      len = blank == std::string_view::npos ? trace_piece_length : blank + 1;
    }
    if (first)
      trace_str(label, statement.substr(0, len));
    else
      trace_msg(statement.substr(0, len));
    first = false;
    statement.remove_prefix(len);
  }
}

// The one failure route of a statement, whatever step failed (a refusal before sending, the
// send, the rows arriving): the statement goes to the error log as a warning (and the detail
// after it, where there is one), the transactions the program has open on any slot are rolled
// back (their locks free before any box waits for the user; a server that has stopped answering
// holds this for a few seconds at most), and the fatal-error routine ends the program with the
// message.
void end_by_failed_statement(int32_t status, std::string_view statement, std::string_view detail,
                             std::string_view message) {
  trace_int("KYR/SQL: error=", status);
  warning_log(statement);
  if (!detail.empty()) warning_log(detail);
  if (layer.connected) sqlc_roll_back_every_slot();
  fatal_error(message);
}

// A failed statement: the statement and the server's error number go to the error log as
// warnings, then the failure route ends the program with the server's message.
void statement_failed(int32_t slot, int32_t status, const std::string& statement) {
  end_run_if_signalled();  // a statement that a termination signal broke off failed for no fault of its own
  if (layer.dialect != 'M') {
    end_by_failed_statement(status, statement, {}, statement);
    return;
  }
  // The library's own error is kept first: when the connection is gone, the server cannot be
  // asked for its error list, and the library's number and text are all there is.
  const sqlc_error_info library_error = sqlc_last_error(slot);
  std::string number = std::to_string(library_error.number);
  std::string message = library_error.text;
  if (sqlc_query(slot, "SHOW ERRORS") == 0 && sqlc_store_result(slot) == 0 &&
      sqlc_fetch_row(slot) == 0 && sqlc_info(slot).fields >= 3) {
    number = std::string(trim_trailing(sqlc_get_text(slot, 2)));
    message = std::string(trim_trailing(sqlc_get_text(slot, 3)));
  }
  sqlc_free_result(slot);
  end_by_failed_statement(status, statement, "SQL-error Nr: " + number, "MySQL Fehler: " + message);
}

// Stores one fetched column into the program variable of its name.  The column type decides
// for a name that matches no variable (the setter reports it); otherwise the variable's own type
// decides, so that a numeric variable takes the number a text column holds and an integer column
// never writes integer bits into a real variable.
void assign_column_by_name(int32_t slot, int32_t column, std::string_view text) {
  const int32_t type = sqlc_field_type(slot, column);
  const std::string name = column_name(slot, column);
  int32_t target = variable_type_by_name(name);
  if (target != 1 && target != 3 && target != 4 && target != 5)
    target = type == sqlc_type_integer ? 1 : type == sqlc_type_real ? 3 : 4;
  if (target == 1 || target == 3) set_number_variable(name, sql_read_number(text));
  else set_string_variable(name, text);
}

// Works out where the column goes, as assign_column_by_name would find it: the variable of the
// column's name and its type choose the target; whatever that path would report or refuse stays
// with it.
column_plan plan_column(int32_t slot, int32_t column) {
  column_plan plan;
  const std::string name = column_name(slot, column);
  // Only a name that exists is looked up with its element, so the lookup never reports.
  if (variable_type_by_name(name) == 0) return plan;
  map_variable(name, plan.variable, plan.element_offset);
  if (!variable_table.valid(plan.variable) || plan.variable < 1) return plan;
  const variable_record& var = variable_table.records[static_cast<size_t>(plan.variable)];
  plan.variable_name = var.name;
  plan.variable_type = var.type;
  switch (var.type) {
    case var_integer:
      plan.target = column_target::integer;
      plan.set_int_label = "SET-INT " + name;
      break;
    case var_real: plan.target = column_target::real; break;
    case var_text:
    case var_date:
      // The string setter refuses an element; that refusal is the general path's.
      if (plan.element_offset == 0) plan.target = column_target::text;
      break;
    default: break;
  }
  return plan;
}

// The column text a number is read from.  The fetch's other steps cannot change the number:
// the empty-date exchange touches only a whole value "01.01.0001", which with its two points
// reads as no number before and after, and trailing blanks come after the first item.
std::string_view column_number_text(int32_t slot, int32_t column) {
  return sqlc_get_text(slot, column).substr(0, column_text_capacity);
}

// Stores the column by its plan; false when the plan does not apply to this row (the variable
// table changed, the element lies outside the variable), so that the general path takes it.
bool assign_column_by_plan(int32_t slot, int32_t column, const column_plan& plan) {
  if (plan.target == column_target::by_name || !variable_table.valid(plan.variable)) return false;
  const variable_record& var = variable_table.records[static_cast<size_t>(plan.variable)];
  if (var.name != plan.variable_name || var.type != plan.variable_type) return false;
  if (plan.target == column_target::text) {
    prepare_column_text(slot, column, layer.column_text);
    STRING_BUFFER.write(var.text_start, var.text_end - var.text_start + 1, layer.column_text);
    return true;
  }
  if (plan.element_offset < 0 || plan.element_offset >= var.dimension) return false;
  uint32_t* word = element_storage(variable_table.records[static_cast<size_t>(plan.variable)], plan.element_offset);
  if (word == nullptr) return false;
  const double number = sql_read_number(column_number_text(slot, column));
  if (plan.target == column_target::integer) {
    const int32_t value = nearest_int32(number);
    *word = std::bit_cast<uint32_t>(value);
    trace_int(plan.set_int_label, value);
  } else {
    *word = std::bit_cast<uint32_t>(float_in_range(number));
  }
  return true;
}

// Stores every column of the current row, with the plan of the slot's result.
void assign_row(int32_t slot, int32_t columns) {
  fetch_plan& plan = layer.plans[static_cast<size_t>(slot)];
  const uint64_t result = sqlc_result_id(slot);
  if (plan.result_id != result || plan.table != variable_table.records.data() ||
      plan.table_size != variable_table.records.size() ||
      plan.table_count != variable_table.count ||
      plan.columns.size() != static_cast<size_t>(columns)) {
    plan.result_id = result;
    plan.table = variable_table.records.data();
    plan.table_size = variable_table.records.size();
    plan.table_count = variable_table.count;
    plan.columns.clear();
    for (int32_t c = 1; c <= columns; ++c) plan.columns.push_back(plan_column(slot, c));
  }
  for (int32_t c = 1; c <= columns; ++c) {
    if (assign_column_by_plan(slot, c, plan.columns[static_cast<size_t>(c - 1)])) continue;
    prepare_column_text(slot, c, layer.column_text);
    assign_column_by_name(slot, c, layer.column_text);
  }
}

// The dialect is the first letter of the glue's identity text.
char glue_dialect() {
  const std::string identity = sqlc_version();
  return identity.empty() ? ' ' : identity[0];
}

}  // namespace

int32_t sql_connect(std::string_view text) {
  layer.dialect = glue_dialect();
  if (!layer.initialised) {
    layer.initialised = true;
    layer.last_status.fill(0);
    sqlc_reset();
  }
  layer.result_ready.fill(false);
  trace_msg("KYR/SQL: connect");
  qn_before_waiting();  // the server may keep the run waiting

  const sql_connection_parts parts = sql_split_connection_text(trim_trailing(text), layer.dialect);
  // The password is never written to a trace or a log.
  const std::string masked = parts.password.empty() ? "" : "********";
  std::string shown_host = parts.host;
  if (!parts.password.empty()) {
    // Dialect P hands the password inside the host text.
    const std::string clear = " password=" + parts.password;
    if (size_t pos = shown_host.find(clear); pos != std::string::npos)
      shown_host.replace(pos, clear.size(), " password=" + masked);
  }
  trace_str("KYR/SQL: machine ", shown_host);
  trace_str("KYR/SQL: (pgport)", parts.port);
  trace_str("KYR/SQL: user    ", parts.user);
  trace_str("KYR/SQL: passwd  ", masked);
  trace_str("KYR/SQL: db      ", parts.database);
  layer.database = parts.database;
  layer.port = parts.port;

  end_open_thing(open_kind::sql_connection, run_transition::next_open);

  sqlc_connect_params params;
  params.host = parts.host;
  params.user = parts.user;
  params.password = parts.password;
  params.database = parts.database;
  // The port of the connection text is used; a given port means TCP, also for "localhost",
  // while "localhost" without a port keeps its meaning of the local socket.
  params.tcp = parts.port_given || params.host != "localhost";
  if (!parts.port.empty()) {
    uint32_t port = 0;
    auto [ptr, ec] = std::from_chars(parts.port.data(), parts.port.data() + parts.port.size(), port);
    if (ec != std::errc() || ptr != parts.port.data() + parts.port.size() || port == 0 ||
        port > 65535) {
      trace_str("KYR/SQL: bad port ", parts.port);
      trace_int("KYR/SQL: connect error ", sqlc_status_no_connection);
      return sqlc_status_no_connection;
    }
    params.port = port;
  }

  // Without the client library no database can be reached: an installation fault, said
  // once through the reporter instead of a status the program would take for a busy server.
  if (const std::string problem = sqlc_open_client(); !problem.empty()) {
    trace_str("KYR/SQL: ", problem);
    report_error(problem, 32000);
    return sqlc_status_no_connection;
  }
  trace_str("KYR/SQL: kyr connect at", parts.user + "@" + parts.host);
  trace_msg("KYR/SQL: kyr connect...");
  const int32_t status = sqlc_connect(params);
  if (status == 0) {
    layer.connected = true;
  } else {
    trace_int("KYR/SQL: connect error ", status);
    // The client library's own words, from the slot that failed (the others were closed).
    for (int32_t slot = 0; slot < sqlc_slot_count; ++slot)
      if (sqlc_slot_status(slot) == status) {
        const sqlc_error_info why = sqlc_last_error(slot);
        trace_str("KYR/SQL: connect error " + std::to_string(why.number) + " ", why.text);
        break;
      }
  }
  return status;
}

void sql_end_open(run_transition why) {
  if (!layer.connected || !(why == run_transition::next_open || ends_the_run(why))) return;
  // A statement the run left running on the server (its wait broken off) would keep its
  // transaction and locks there until it ends by itself: it is killed first.
  if (const int32_t killed = sqlc_kill_running(); killed != 0) trace_int("KYR/SQL: statements killed ", killed);
  sqlc_close();  // the server rolls back a transaction the program left open
  layer.connected = false;
}

int32_t sql_disconnect() {
  int32_t status = 0;
  if (layer.connected) status = sqlc_close();
  layer.connected = false;
  layer.last_status.fill(0);
  layer.result_ready.fill(false);
  return status;
}

namespace {

// The statement collected so far with the next piece, joined by one blank.
std::string joined_statement(std::string_view text) {
  std::string collected = std::string(trim_trailing(layer.statement));
  text = trim_trailing(text);
  if (!text.empty()) {
    if (!collected.empty()) collected += ' ';
    collected += text;
  }
  return collected;
}

}  // namespace

int32_t sql_exec(int32_t slot, std::string_view text) {
  if (!slot_valid(slot)) return sqlc_status_no_connection;
  if (layer.dialect == ' ') layer.dialect = glue_dialect();  // a statement before any connect

  // A statement that does not fit the collection buffer is refused as a whole: a cut statement
  // would run something the program did not write.
  std::string collected = joined_statement(text);
  if (collected.size() > static_cast<size_t>(sql_statement_capacity)) {
    layer.statement.clear();
    end_by_failed_statement(sqlc_status_no_connection, collected, {},
                            "SQL-Anweisung zu lang (max. 2048 Zeichen): " + collected.substr(0, 60) + "...");
    return sqlc_status_no_connection;
  }
  layer.statement = collected;
  if (collected.empty() || collected.back() != ';') return 0;  // pending until its ";"
  layer.statement.clear();

  std::string statement = std::move(collected);
  std::string error;
  if (!sql_expand_date_macros(statement, layer.dialect, error)) {
    end_by_failed_statement(sqlc_status_no_connection, statement, {}, error);
    return sqlc_status_no_connection;
  }
  if (layer.dialect != 'M') {
    sql_exchange_empty_dates(statement);
    for (char& c : statement)
      if (c == '"') c = '\'';
  }
  trace_statement(statement);

  const size_t s = static_cast<size_t>(slot);
  layer.result_ready[s] = false;
  statement.pop_back();  // the ";" is not sent
  layer.field_count = 0;
  statement.erase(0, statement.find_first_not_of(' '));
  sql_exchange_statement_word(statement, layer.dialect);

  qn_before_waiting();  // a statement may keep the run waiting
  // Whether the statement gives rows is the server's answer (its field count), not its first
  // word: a SELECT in parentheses, after WITH or without a blank behind it gives them as well.
  int32_t status = sqlc_query(slot, statement);
  if (status == 0) status = sqlc_store_result(slot);
  layer.last_status[s] = status;
  if (status != 0) {
    statement_failed(slot, status, statement + ";");
    return status;
  }
  const sqlc_counts counts = sqlc_info(slot);
  if (counts.fields > 0) {
    layer.result_ready[s] = true;
    layer.field_count = counts.fields;
    trace_int3("KYR/SQL: SELECT ncols,rpc,status=", counts.fields, counts.rows, status);
  }
  return status;
}

int32_t sql_refuse_cut_statement(std::string_view piece) {
  const std::string collected = joined_statement(piece);
  layer.statement.clear();
  end_by_failed_statement(sqlc_status_no_connection, collected, {},
                          "SQL-Anweisung zu lang (max. 256 Zeichen je SQL-Befehl): " +
                              std::string(trim_trailing(piece.substr(0, 60))) + "...");
  return sqlc_status_no_connection;
}

int32_t sql_fetch(int32_t slot, bool assign) {
  if (!slot_valid(slot)) return sqlc_status_no_connection;
  const size_t s = static_cast<size_t>(slot);
  if (!layer.result_ready[s]) return sql_status_no_result;
  if (layer.last_status[s] != 0) return layer.last_status[s];
  const int32_t status = sqlc_fetch_row(slot);
  if (status != 0) {
    layer.last_status[s] = status;
    return status;
  }
  // The columns of this slot's own result: another slot's statement may have had more.
  if (assign) assign_row(slot, sqlc_info(slot).fields);
  return status;
}

std::string_view sql_pending_statement() { return layer.statement; }

void sql_reset() {
  sqlc_reset();
  layer = layer_state{};
}

std::string sql_get_text_value(int32_t slot, int32_t column) {
  std::string text;
  prepare_column_text(slot, column, text);
  return text;
}

float sql_get_real_value(int32_t slot, int32_t column) {
  return float_in_range(sql_read_number(sql_get_text_value(slot, column)));
}

int32_t sql_get_int_value(int32_t slot, int32_t column) {
  return nearest_int32(sql_read_number(sql_get_text_value(slot, column)));
}
