// Database services: the SQL layer that programs reach through the SQL command and the
// SQLVAR / SQLINFO functions, and the client glue beneath it with its four connection slots
// over the MySQL client library.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/program/open_things.h"

// ================================================================ client glue (sql_client.cpp)
// Four connection slots 0..3, each with its own connection, stored result and current row.
// A slot number outside 0..3 acts on slot 0; column numbers count from 1.  Failures are only
// reported as status values; the glue shows and logs nothing.

inline constexpr int32_t sqlc_slot_count = 4;
inline constexpr std::string_view sqlc_identity = "MySQL4KYR 1.0i";

// Slot status values besides 0 (connected, last statement succeeded) and the non-zero result
// of a failed statement.
inline constexpr int32_t sqlc_status_no_connection = 1;
inline constexpr int32_t sqlc_status_no_database = 2;
inline constexpr int32_t sqlc_status_no_row = 20;
inline constexpr int32_t sqlc_status_not_connected = 9999;

// Column type codes.
inline constexpr int32_t sqlc_type_integer = -1;
inline constexpr int32_t sqlc_type_real = -2;
inline constexpr int32_t sqlc_type_text = 3;

// Seconds a connect may wait for the server: the TCP connect and the handshake each.
inline constexpr unsigned int sqlc_connect_timeout_seconds = 10;
// Seconds the kill of a running statement may take in all: its connect, the KILL, the goodbye.
inline constexpr unsigned int sqlc_kill_timeout_seconds = 3;
// Seconds the rollback of every slot after a failed statement may wait for the server in all.
inline constexpr unsigned int sqlc_rollback_timeout_seconds = 3;

struct sqlc_connect_params {
  std::string host;      // "localhost" connects through the local socket unless tcp is set
  std::string user;
  std::string password;
  std::string database;
  uint32_t port = 3306;  // used for TCP connections
  bool tcp = false;      // connect over TCP even when the host is "localhost"
};

// The client library, opened at the first connect.  sqlc_open_client opens it (once) and
// says what is wrong when it cannot: empty when it is there with every entry point.
inline constexpr std::string_view sqlc_client_library = "libmariadb.so.3";
std::string sqlc_open_client();
// Closes every slot and opens the client library under another file name from now on (tests).
void sqlc_use_client_library(std::string_view file);

// Connects every slot with the same parameters (connection character set latin1, the
// runtime's code page).  0 when all four connected; otherwise 1 (no connection) or 2 (the
// database could not be selected) and nothing stays open.
int32_t sqlc_connect(const sqlc_connect_params& params);
std::string sqlc_version();
// Frees results and closes every slot; 1 when a slot had no connection, else 0.
int32_t sqlc_close();
// Every slot: no result, no connection, status 9999 (connections still open are closed).
void sqlc_reset();
// Runs a statement on the slot (freeing a held result first); its result is the slot status.
int32_t sqlc_query(int32_t slot, std::string_view statement);
// Reads the answer of the last statement on the slot.  0 when it gave rows (the result is held,
// its field count is above 0) or none (a statement without columns: no result, field count 0);
// the library's error number when its rows failed to arrive (an error the server sent among
// them, the connection lost on the way).  The further results of a multi-result statement are
// read and freed; a failure among them fails the statement.
int32_t sqlc_store_result(int32_t slot);
// Frees the held result of the slot, if any, and clears its counts.
void sqlc_free_result(int32_t slot);
// Moves to the next row of the held result: 0, or 20 when there is none.
int32_t sqlc_fetch_row(int32_t slot);
// Ends on the server every statement of a slot that was sent and never answered (its wait broken
// off by a termination signal, the connection lost while it ran), so that its transaction is
// rolled back and its locks are free at once: KILL CONNECTION of each through another
// connection to the server that slot's connect reached (looked up no more), an idle slot's where
// there is one, else a connection of its own; every wait ends within sqlc_kill_timeout_seconds in
// all.  The number of statements ended, -1 when the server could not be reached; 0 when none was
// running.
int32_t sqlc_kill_running();
// Rolls back the open transaction of every connected slot, freeing their results; every wait for
// the server ends within sqlc_rollback_timeout_seconds in all, so that a server that has stopped
// answering does not hold the run's end (a connection given up there is closed, and the server
// rolls its transaction back when it notices).  A statement left running stays marked for the kill.
void sqlc_roll_back_every_slot();

struct sqlc_counts {
  int32_t slots = sqlc_slot_count;
  int32_t fields = 0;
  int32_t rows = 0;
};
sqlc_counts sqlc_info(int32_t slot);

// Field description of a column of the held result; 0 / empty when the column is out of range,
// no result is held or the slot status is not 0.
int32_t sqlc_field_type(int32_t slot, int32_t column);
int32_t sqlc_field_length(int32_t slot, int32_t column);
std::string sqlc_field_name(int32_t slot, int32_t column);
// This driver has no typed values: always 0.
float sqlc_get_real(int32_t slot, int32_t column);
int32_t sqlc_get_int(int32_t slot, int32_t column);
// The column's text in the current row, up to its first NUL; empty for NULL, out-of-range
// columns, no current row or a slot status other than 0.  Valid until the next call on the slot.
std::string_view sqlc_get_text(int32_t slot, int32_t column);

int32_t sqlc_slot_status(int32_t slot);
// A number naming the result the slot holds, new for every stored result and never reused;
// 0 while no result is held.  Callers that keep facts about a result's columns check it.
uint64_t sqlc_result_id(int32_t slot);
// The client library's error number and text of the last failure on the slot.
struct sqlc_error_info {
  uint32_t number = 0;
  std::string text;
};
sqlc_error_info sqlc_last_error(int32_t slot);

// ================================================================ SQL layer (sql_layer.cpp)

inline constexpr int32_t sql_statement_capacity = 2048;
inline constexpr int32_t sql_status_end_of_rows = 20;
inline constexpr int32_t sql_status_no_result = 30;

// Connect with the connection text user%database@host:port/password; status 0, 1 or 2.
int32_t sql_connect(std::string_view text);
// Close all slots; status 0, or 1 when a slot was not connected.
int32_t sql_disconnect();
// The connection's row of what a run holds open (open_things.h): at the next connect and at
// every end of the run an open connection is closed, and the server rolls back the transaction
// it left open; a RUN chain and an abandoned event keep it for the program that goes on.
void sql_end_open(run_transition why);
// Append a piece of statement text; once the text ends with ";" it is rewritten and run on
// the slot, and its rows, where the server answers with rows, are kept for the fetch.  Returns 0
// or the failed statement's status.  A failure at any step (the statement refused before it is
// sent, the send, its rows arriving) takes one route: the statement (and the server's error
// number) as WARNUNG lines, the open transactions rolled back, the program ended with the
// message ("MySQL Fehler: " and the server's text).
int32_t sql_exec(int32_t slot, std::string_view text);
// A piece of statement text that lost characters on the way (a token whose values make it longer
// than 256 characters): the statement it belongs to is refused and dropped through the same
// failure route, so that nothing of it runs and the transaction is not committed half.
int32_t sql_refuse_cut_statement(std::string_view piece);
// Next row of the slot's result: 0, 20 after the last row, 30 without a result; with assign,
// every column goes into the program variable of the column's name.
int32_t sql_fetch(int32_t slot, bool assign);
// The collected text of a statement that does not end with ";" yet (empty when none).
std::string_view sql_pending_statement();
// Forget every connection and statement (tests).
void sql_reset();

// Column text as the fetch stores it: at most 2,048 characters; for the other dialects a whole
// value "01.01.0001" (their empty date) as "00.00.0000", for MySQL the text unchanged.
std::string sql_get_text_value(int32_t slot, int32_t column);
float sql_get_real_value(int32_t slot, int32_t column);
int32_t sql_get_int_value(int32_t slot, int32_t column);

// ---------------------------------------------------------------- text rewriting (pure)
// Dialect letters: 'M' MySQL, 'P' PostgreSQL, 'O' Oracle; any other letter is none of them.

struct sql_connection_parts {
  std::string user;
  std::string database;
  std::string host;      // dialect P: the key-value form
  std::string port;      // dialect default when not given
  std::string password;
  bool port_given = false;
};
sql_connection_parts sql_split_connection_text(std::string_view text, char dialect);
// The connection text as a log line may show it: the password (behind the last "/") as
// "********", so that no refusal or trace ever writes it.
std::string sql_connection_text_shown(std::string_view text);

// Quoted values of a statement: '...', "..." (both texts for MySQL) and `...` (a name).  Inside
// the first two a backslash takes the next character; a doubled quote closes and opens again.  A
// comment /* ... */ is no quoted value and opens none (an apostrophe in it is text); one that the
// server runs as statement text (/*! ... */, /*M! ... */) is statement text here too.  Fed one
// character after the other, outside() says whether that character lies outside every quoted
// value and comment (a quote that opens or closes one lies inside, as do a comment's "/*" and
// "*/" but for its first "/").
struct sql_quotes {
  enum class comment_state : char { none, slash, opened, in, star };
  char open = 0;  // the quote of the value the scan is in, 0 outside
  bool escaped = false;
  comment_state comment = comment_state::none;
  // Whether the scan is inside a comment (the next character belongs to it).
  bool in_comment() const { return comment == comment_state::in || comment == comment_state::star; }
  bool outside(char c) {
    if (open == 0) {
      switch (comment) {
        case comment_state::none: break;
        case comment_state::slash:
          comment = c == '*' ? comment_state::opened : comment_state::none;
          if (c == '*') return false;
          break;
        case comment_state::opened:
          if (c == '!' || c == 'M') {  // run by the server: statement text
            comment = comment_state::none;
            break;
          }
          comment = c == '*' ? comment_state::star : comment_state::in;
          return false;
        case comment_state::in:
          if (c == '*') comment = comment_state::star;
          return false;
        case comment_state::star:
          comment = c == '/' ? comment_state::none : c == '*' ? comment_state::star : comment_state::in;
          return false;
      }
      if (c == '/') comment = comment_state::slash;
      if (c != '\'' && c != '"' && c != '`') return true;
      open = c;
    } else if (escaped) {
      escaped = false;
    } else if (c == '\\' && open != '`') {
      escaped = true;
    } else if (c == open) {
      open = 0;
    }
    return false;
  }
};
// The first place of `what` outside quoted values and comments; npos when there is none.
size_t sql_find_unquoted(std::string_view statement, std::string_view what);
// Dialects other than M: a quoted value that is the empty date "00.00.0000" as a whole becomes
// their empty date "01.01.0001"; a text holding it among other characters stays as it is.
void sql_exchange_empty_dates(std::string& statement);

// Replaces the six date macros ("D$KYR2SQL(" ...) outside quoted values by the dialect's
// functions (a macro's name inside a text is part of the text).  False with a message in error
// when a macro's argument is longer than 32 characters.
bool sql_expand_date_macros(std::string& statement, char dialect, std::string& error);
// Dialect M: "INSERT " becomes "REPLACE" (not for INSERT IGNORE or ON DUPLICATE KEY UPDATE);
// other dialects: "REPLACE " becomes "INSERT  ".  statement has no leading blanks.
void sql_exchange_statement_word(std::string& statement, char dialect);
// A number read list-directed from a column text; 0 when it is empty or holds no number.
double sql_read_number(std::string_view text);
// Such a number becomes a program value by float_in_range or nearest_int32 (program.h).
