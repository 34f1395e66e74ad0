// Client glue over the MySQL client library: four connection slots, each with its own
// connection, stored result and current row, so that up to four results can be open at once.
// The glue reports failures only as status values; the SQL layer decides what to show.
#include "runtime/output/sql/sql.h"

#include <errmsg.h>
#include <mysql.h>

#include "quillon/api/libraries.h"
#include "quillon/api/quillon.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <optional>

namespace {

// The client library is opened at the first connect, not when the process starts: most
// programs never talk to a database, and loading the library with its TLS libraries would
// cost every start of the runtime several milliseconds.  Only the connect creates
// connections, so every other entry point is reached only once the library is there.
struct client_library {
  std::string file = std::string(sqlc_client_library);
  void* handle = nullptr;
  decltype(&::mysql_init) mysql_init = nullptr;
  decltype(&::mysql_options) mysql_options = nullptr;
  decltype(&::mysql_real_connect) mysql_real_connect = nullptr;
  decltype(&::mysql_select_db) mysql_select_db = nullptr;
  decltype(&::mysql_close) mysql_close = nullptr;
  decltype(&::mysql_errno) mysql_errno = nullptr;
  decltype(&::mysql_error) mysql_error = nullptr;
  decltype(&::mysql_real_query) mysql_real_query = nullptr;
  decltype(&::mysql_store_result) mysql_store_result = nullptr;
  decltype(&::mysql_free_result) mysql_free_result = nullptr;
  decltype(&::mysql_more_results) mysql_more_results = nullptr;
  decltype(&::mysql_next_result) mysql_next_result = nullptr;
  decltype(&::mysql_num_rows) mysql_num_rows = nullptr;
  decltype(&::mysql_num_fields) mysql_num_fields = nullptr;
  decltype(&::mysql_field_seek) mysql_field_seek = nullptr;
  decltype(&::mysql_fetch_field) mysql_fetch_field = nullptr;
  decltype(&::mysql_fetch_row) mysql_fetch_row = nullptr;
  decltype(&::mysql_fetch_lengths) mysql_fetch_lengths = nullptr;
  decltype(&::mysql_field_count) mysql_field_count = nullptr;
  decltype(&::mysql_thread_id) mysql_thread_id = nullptr;
  decltype(&::mysql_get_socket) mysql_get_socket = nullptr;
};
client_library client;

// Opens the client library and finds its entry points; empty when they are all there,
// otherwise what is wrong.  The library stays loaded for the rest of the process.
std::string open_client_library() {
  if (client.handle) return {};
  std::string why;
  void* handle = qn_open_library(client.file.c_str(), &why);
  if (!handle) return "MySQL-Clientbibliothek " + client.file + " nicht ladbar: " + why;
  std::string missing;
  const auto bind = [&](const char* name, auto& entry) {
    if (!qn_find_entry(handle, name, entry)) missing += missing.empty() ? name : std::string(", ") + name;
  };
  bind("mysql_init", client.mysql_init);
  bind("mysql_options", client.mysql_options);
  bind("mysql_real_connect", client.mysql_real_connect);
  bind("mysql_select_db", client.mysql_select_db);
  bind("mysql_close", client.mysql_close);
  bind("mysql_errno", client.mysql_errno);
  bind("mysql_error", client.mysql_error);
  bind("mysql_real_query", client.mysql_real_query);
  bind("mysql_store_result", client.mysql_store_result);
  bind("mysql_free_result", client.mysql_free_result);
  bind("mysql_more_results", client.mysql_more_results);
  bind("mysql_next_result", client.mysql_next_result);
  bind("mysql_num_rows", client.mysql_num_rows);
  bind("mysql_num_fields", client.mysql_num_fields);
  bind("mysql_field_seek", client.mysql_field_seek);
  bind("mysql_fetch_field", client.mysql_fetch_field);
  bind("mysql_fetch_row", client.mysql_fetch_row);
  bind("mysql_fetch_lengths", client.mysql_fetch_lengths);
  bind("mysql_field_count", client.mysql_field_count);
  bind("mysql_thread_id", client.mysql_thread_id);
  bind("mysql_get_socket", client.mysql_get_socket);
  if (!missing.empty()) {
    client = client_library{.file = client.file};
    return "MySQL-Clientbibliothek " + client.file + " ohne " + missing;
  }
  client.handle = handle;
  return {};
}

// Where a slot's connect reached the server, taken from its socket, so that the kill of its
// statement reaches that same server (a name may lead to several) without looking it up again.
struct server_address {
  std::string host;         // the numeric address of a TCP connection
  uint32_t port = 0;
  std::string socket_path;  // of a local socket connection
  bool known() const { return !host.empty() || !socket_path.empty(); }
  bool operator==(const server_address&) const = default;
};

struct glue_slot {
  int32_t status = sqlc_status_not_connected;
  MYSQL* connection = nullptr;
  MYSQL_RES* result = nullptr;
  MYSQL_ROW row = nullptr;            // current row, none after the last one
  unsigned long* lengths = nullptr;   // byte lengths of the current row's values
  int32_t row_count = 0;
  int32_t field_count = 0;
  uint64_t result_id = 0;             // names the held result; 0 while none is held
  uint32_t error_number = 0;
  std::string error_text;
  unsigned long thread_id = 0;        // the server's number of the connection
  server_address server;              // where the connection reached the server
  // A statement was sent and the server has not yet said that it ended (its result or its
  // error): while the call waits, or after a wait that gave up (a signal, a lost connection).
  bool running = false;
};

// The field description read last, shared by all slots.
struct field_description {
  std::string name;
  int32_t type = 0;
  int32_t length = 0;
};

struct glue_state {
  std::array<glue_slot, sqlc_slot_count> slots;
  field_description field;
  uint64_t last_result_id = 0;  // never reused, so a stale id can never match a new result
  std::string user, password;  // the account of the connect, for a kill connection of its own
  // While set, every wait for the server ends by this time (the kill connection's bound).
  std::optional<std::chrono::steady_clock::time_point> deadline;
};
glue_state glue;

// Every wait of the client library for the server (the connect, the handshake, a statement
// and its result, the kill connection's waits) waits here, where a termination signal ends it
// too: the socket is shut down, so that the library gives the call up as a lost connection (and
// closes it).  The server notices a client gone only when the statement it runs ends (one that
// waits on a row lock keeps its transaction's locks until then): the slot stays marked running,
// and the end of the run kills the statement (sqlc_kill_running).  While the glue's deadline is
// set, no wait lasts beyond it.  Answers as poll does.
extern "C" int wait_for_server(my_socket socket, my_bool reading, int timeout_ms) {
  if (glue.deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          *glue.deadline - std::chrono::steady_clock::now()).count();
    const int bound = static_cast<int>(std::max<int64_t>(0, left));
    timeout_ms = timeout_ms < 0 ? bound : std::min(timeout_ms, bound);
  }
  switch (qn_wait_ready(socket, reading ? POLLIN : POLLOUT, timeout_ms)) {
    case qn_wait_end::ready: return 1;
    case qn_wait_end::timeout: errno = ETIMEDOUT; return 0;
    case qn_wait_end::signal: break;
  }
  ::shutdown(socket, SHUT_RDWR);
  errno = EINTR;
  return -1;
}

// While it lives, every wait of the glue for the server ends by a time `seconds` from its start.
class bounded_waits {
 public:
  explicit bounded_waits(unsigned int seconds) {
    glue.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  }
  ~bounded_waits() { glue.deadline.reset(); }
  bounded_waits(const bounded_waits&) = delete;
  bounded_waits& operator=(const bounded_waits&) = delete;
};

glue_slot& slot_at(int32_t slot) {
  return glue.slots[static_cast<size_t>(slot >= 0 && slot < sqlc_slot_count ? slot : 0)];
}

int32_t clamp_count(uint64_t n) {
  return static_cast<int32_t>(std::min<uint64_t>(n, std::numeric_limits<int32_t>::max()));
}

// Whether the library's error is its own (the connection lost or never reached, no answer)
// rather than the server's answer to the statement.
bool client_error(uint32_t number) { return number >= CR_MIN_ERROR && number <= CR_MAX_ERROR; }

void remember_error(glue_slot& s) {
  if (s.connection) {
    s.error_number = client.mysql_errno(s.connection);
    s.error_text = client.mysql_error(s.connection);
  }
}

void free_result(glue_slot& s) {
  if (s.result) client.mysql_free_result(s.result);
  s.result = nullptr;
  s.row = nullptr;
  s.lengths = nullptr;
  s.result_id = 0;
}

void close_connection(glue_slot& s) {
  free_result(s);
  if (s.connection) client.mysql_close(s.connection);
  s.connection = nullptr;
  s.row_count = 0;
  s.field_count = 0;
}

// Reading the statement's rows failed: nothing is kept, the slot's status is the library's
// error number (the server's among the rows, or the library's own for a lost connection).
int32_t fail_reading(glue_slot& s) {
  remember_error(s);
  free_result(s);
  s.row_count = 0;
  s.field_count = 0;
  if (s.error_number == 0) s.error_text = "no result set";
  if (!client_error(s.error_number)) s.running = false;
  s.status = s.error_number != 0 ? static_cast<int32_t>(s.error_number) : 1;
  return s.status;
}

// The description of a column of the held result, or nullptr when it may not be read.
const MYSQL_FIELD* field_of(int32_t slot, int32_t column) {
  glue_slot& s = slot_at(slot);
  if (s.status != 0 || !s.result || column < 1 || column > s.field_count ||
      static_cast<unsigned>(column) > client.mysql_num_fields(s.result))
    return nullptr;
  client.mysql_field_seek(s.result, static_cast<MYSQL_FIELD_OFFSET>(column - 1));
  const MYSQL_FIELD* f = client.mysql_fetch_field(s.result);
  if (f) {
    glue.field.name = f->name ? f->name : "";
    glue.field.length = clamp_count(f->length);
    // Every numeric column is a number, so that SQLVAR gives its value as the fetch by name
    // does (the driver hands every value over as text either way).
    switch (f->type) {
      case MYSQL_TYPE_TINY:
      case MYSQL_TYPE_SHORT:
      case MYSQL_TYPE_LONG:
      case MYSQL_TYPE_INT24:
      case MYSQL_TYPE_LONGLONG:
      case MYSQL_TYPE_YEAR:  // handed over as its four digits
        glue.field.type = sqlc_type_integer;
        break;
      case MYSQL_TYPE_FLOAT:
      case MYSQL_TYPE_DOUBLE:
      case MYSQL_TYPE_DECIMAL:
      case MYSQL_TYPE_NEWDECIMAL:
        glue.field.type = sqlc_type_real;
        break;
      default:  // dates, times, texts, blobs, bits
        glue.field.type = sqlc_type_text;
        break;
    }
  }
  return f;
}

// A connection handle with the runtime's options, not yet connected; nullptr without memory.
MYSQL* new_connection(bool tcp, unsigned int connect_timeout) {
  MYSQL* connection = client.mysql_init(nullptr);
  if (!connection) return nullptr;
  // The runtime's texts are code page 1252, which the server calls latin1.
  client.mysql_options(connection, MYSQL_SET_CHARSET_NAME, "latin1");
  // A server that takes the connection and never answers must not hold the program (and its
  // window) for good: the client library bounds the TCP connect and the whole handshake (the
  // greeting and the authorization) by this time-out.  No read time-out is set: it would stay
  // with the connection and cut statements that run long.
  client.mysql_options(connection, MYSQL_OPT_CONNECT_TIMEOUT, &connect_timeout);
  client.mysql_options(connection, MARIADB_OPT_IO_WAIT, reinterpret_cast<const void*>(&wait_for_server));
  if (tcp) {
    unsigned int protocol = MYSQL_PROTOCOL_TCP;
    client.mysql_options(connection, MYSQL_OPT_PROTOCOL, &protocol);
  }
  return connection;
}

// The address the connection reached: the numeric address and port, or the local socket's path;
// unknown where the socket does not say.
server_address server_of(MYSQL* connection) {
  server_address server;
  sockaddr_storage peer{};
  socklen_t size = sizeof peer;
  const my_socket fd = client.mysql_get_socket(connection);
  if (fd == MARIADB_INVALID_SOCKET || ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0) return server;
  char text[INET6_ADDRSTRLEN] = {};
  if (peer.ss_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&peer);
    if (!::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text)) return server;
    server.port = ntohs(in->sin_port);
    server.host = text;
  } else if (peer.ss_family == AF_INET6) {
    const auto* in = reinterpret_cast<const sockaddr_in6*>(&peer);
    if (!::inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text)) return server;
    server.port = ntohs(in->sin6_port);
    server.host = text;
  } else if (peer.ss_family == AF_UNIX) {
    const auto* un = reinterpret_cast<const sockaddr_un*>(&peer);
    server.socket_path.assign(un->sun_path, ::strnlen(un->sun_path, sizeof un->sun_path));
  }
  return server;
}

}  // namespace

std::string sqlc_open_client() { return open_client_library(); }

void sqlc_use_client_library(std::string_view file) {
  sqlc_reset();
  // A library opened before stays loaded (its TLS libraries do not expect to be unloaded);
  // opening it again finds it.
  client = client_library{};
  client.file = std::string(file);
}

int32_t sqlc_connect(const sqlc_connect_params& p) {
  int32_t status = 0;
  if (std::string problem = open_client_library(); !problem.empty()) {
    glue_slot& first = glue.slots[0];
    first.status = sqlc_status_no_connection;
    first.error_number = 0;
    first.error_text = std::move(problem);
    return first.status;
  }
  for (glue_slot& s : glue.slots) {
    close_connection(s);
    s.status = sqlc_status_not_connected;
  }
  glue.user = p.user;
  glue.password = p.password;
  for (glue_slot& s : glue.slots) {
    s.status = 0;
    s.server = server_address{};
    s.error_number = 0;
    s.error_text.clear();
    s.running = false;
    s.connection = new_connection(p.tcp, sqlc_connect_timeout_seconds);
    if (!s.connection) {
      s.status = status = sqlc_status_no_connection;
      s.error_text = "MySQL client: out of memory";
      break;
    }
    const char* host = p.host.empty() ? "localhost" : p.host.c_str();
    if (!client.mysql_real_connect(s.connection, host, p.user.c_str(), p.password.c_str(), nullptr,
                            p.port, nullptr, CLIENT_MULTI_RESULTS)) {
      remember_error(s);
      close_connection(s);
      s.status = status = sqlc_status_no_connection;
      break;
    }
    s.thread_id = client.mysql_thread_id(s.connection);
    s.server = server_of(s.connection);
    if (client.mysql_select_db(s.connection, p.database.c_str()) != 0) {
      remember_error(s);
      close_connection(s);
      s.status = status = sqlc_status_no_database;
      break;
    }
  }
  if (status != 0) {
    // A connect that failed on one slot fails as a whole; close what was opened so that no
    // connection is left behind that nobody will close.
    for (glue_slot& s : glue.slots) {
      if (s.connection) {
        close_connection(s);
        s.status = sqlc_status_not_connected;
      }
    }
  }
  return status;
}

std::string sqlc_version() { return std::string(sqlc_identity); }

int32_t sqlc_close() {
  int32_t status = 0;
  for (glue_slot& s : glue.slots) {
    if (!s.connection) status = sqlc_status_no_connection;
    close_connection(s);
    s.status = sqlc_status_not_connected;
  }
  return status;
}

void sqlc_reset() {
  for (glue_slot& s : glue.slots) {
    close_connection(s);
    s = glue_slot{};
  }
  glue.field = field_description{};
  glue.user.clear();
  glue.password.clear();
}

int32_t sqlc_query(int32_t slot, std::string_view statement) {
  glue_slot& s = slot_at(slot);
  free_result(s);  // the row and field counts keep the values of the last stored result
  if (!s.connection) {
    s.error_number = 0;
    s.error_text = "keine Verbindung zur Datenbank";
    s.status = sqlc_status_no_connection;
    return s.status;
  }
  // A connection the library has given up sends nothing; the statement of a live one runs on
  // the server from here until the server's answer has been read.
  if (client.mysql_get_socket(s.connection) != MARIADB_INVALID_SOCKET) s.running = true;
  int rc = client.mysql_real_query(s.connection, statement.data(), statement.size());
  if (rc != 0) {
    remember_error(s);
    // The server's error ends the statement; the library's own (no answer) may leave it running.
    if (!client_error(s.error_number)) s.running = false;
    s.status = rc;
  } else {
    s.status = 0;
  }
  return s.status;
}

int32_t sqlc_store_result(int32_t slot) {
  glue_slot& s = slot_at(slot);
  free_result(s);
  s.row_count = 0;
  s.field_count = 0;
  if (s.status != 0) return s.status;
  if (!s.connection) return s.status = sqlc_status_no_connection;
  s.result = client.mysql_store_result(s.connection);
  // No result: a statement without rows (no columns), or one whose rows failed to arrive (an
  // error the server sent among them, the connection lost while they came).
  if (!s.result && client.mysql_field_count(s.connection) != 0) return fail_reading(s);
  if (s.result) {
    s.result_id = ++glue.last_result_id;
    s.row_count = clamp_count(client.mysql_num_rows(s.result));
    s.field_count = clamp_count(client.mysql_num_fields(s.result));
  }
  // The further results of a multi-result statement (a stored procedure answers with its result
  // sets and a final status) are read and freed, so that the connection is ready for the next
  // statement; a failure among them fails the statement.
  while (client.mysql_more_results(s.connection)) {
    if (client.mysql_next_result(s.connection) != 0) return fail_reading(s);
    MYSQL_RES* further = client.mysql_store_result(s.connection);
    if (further) client.mysql_free_result(further);
    else if (client.mysql_field_count(s.connection) != 0) return fail_reading(s);
  }
  s.running = false;
  return 0;
}

void sqlc_free_result(int32_t slot) {
  glue_slot& s = slot_at(slot);
  free_result(s);
  s.row_count = 0;
  s.field_count = 0;
}

int32_t sqlc_fetch_row(int32_t slot) {
  glue_slot& s = slot_at(slot);
  s.row = nullptr;
  s.lengths = nullptr;
  if (!s.result) return sqlc_status_no_row;
  s.row = client.mysql_fetch_row(s.result);
  if (!s.row) return sqlc_status_no_row;
  s.lengths = client.mysql_fetch_lengths(s.result);
  return 0;
}

namespace {

enum class kill_end { done, refused, unreachable };

// Sends the KILL through a connection to the server: done, refused by the server (the connection
// it names is gone already), or unreachable (the connection failed: no answer, gone).
kill_end send_kill(MYSQL* connection, const std::string& kill) {
  if (client.mysql_real_query(connection, kill.data(), kill.size()) == 0) return kill_end::done;
  return client_error(client.mysql_errno(connection)) ? kill_end::unreachable : kill_end::refused;
}

// Ends the statement running on the slot through another connection to the server its own
// connection reached: an idle one of the program's own where there is one (it is there already,
// with no connect and no handshake, and counts against no connection limit of the account),
// otherwise one of its own.
kill_end kill_statement_of(size_t target, const std::array<bool, sqlc_slot_count>& running) {
  const server_address& server = glue.slots[target].server;
  if (!server.known()) return kill_end::unreachable;
  const std::string kill = "KILL CONNECTION " + std::to_string(glue.slots[target].thread_id);
  for (size_t i = 0; i < glue.slots.size(); ++i) {
    const glue_slot& s = glue.slots[i];
    if (i == target || running[i] || !s.connection || !(s.server == server) ||
        client.mysql_get_socket(s.connection) == MARIADB_INVALID_SOCKET)
      continue;
    if (const kill_end end = send_kill(s.connection, kill); end != kill_end::unreachable) return end;
  }
  const bool tcp = server.socket_path.empty();
  kill_end end = kill_end::unreachable;
  if (MYSQL* killer = new_connection(tcp, sqlc_kill_timeout_seconds)) {
    if (client.mysql_real_connect(killer, tcp ? server.host.c_str() : "localhost", glue.user.c_str(),
                                  glue.password.c_str(), nullptr, server.port,
                                  tcp ? nullptr : server.socket_path.c_str(), 0))
      end = send_kill(killer, kill);
    client.mysql_close(killer);
  }
  return end;
}

}  // namespace

int32_t sqlc_kill_running() {
  std::array<bool, sqlc_slot_count> running{};
  bool any = false;
  for (size_t i = 0; i < glue.slots.size(); ++i) {
    running[i] = glue.slots[i].running && glue.slots[i].thread_id != 0;
    any = any || running[i];
  }
  for (glue_slot& s : glue.slots) s.running = false;
  if (!any) return 0;
  qn_before_waiting();  // the lines written so far reach the disk before the wait
  // Every wait of the kills (a connect, the handshake, the statements, the goodbye) ends by one
  // bound, also where the server takes a connection and never answers.
  const bounded_waits bound(sqlc_kill_timeout_seconds);
  int32_t killed = 0;
  bool unreachable = false;
  for (size_t i = 0; i < glue.slots.size(); ++i) {
    if (!running[i]) continue;
    const kill_end end = kill_statement_of(i, running);
    if (end == kill_end::done) ++killed;
    unreachable = unreachable || end == kill_end::unreachable;
  }
  return killed == 0 && unreachable ? -1 : killed;
}

void sqlc_roll_back_every_slot() {
  qn_before_waiting();  // the lines written so far reach the disk before the wait
  const bounded_waits bound(sqlc_rollback_timeout_seconds);
  for (int32_t slot = 0; slot < sqlc_slot_count; ++slot) {
    glue_slot& s = glue.slots[static_cast<size_t>(slot)];
    if (!s.connection) continue;
    // The ROLLBACK ends no statement of the program's: a slot's mark stays as it was.
    const bool running = s.running;
    if (sqlc_query(slot, "ROLLBACK") == 0) sqlc_store_result(slot);
    sqlc_free_result(slot);
    s.running = running;
  }
}

sqlc_counts sqlc_info(int32_t slot) {
  const glue_slot& s = slot_at(slot);
  return sqlc_counts{sqlc_slot_count, s.field_count, s.row_count};
}

int32_t sqlc_field_type(int32_t slot, int32_t column) {
  return field_of(slot, column) ? glue.field.type : 0;
}

int32_t sqlc_field_length(int32_t slot, int32_t column) {
  return field_of(slot, column) ? glue.field.length : 0;
}

std::string sqlc_field_name(int32_t slot, int32_t column) {
  return field_of(slot, column) ? glue.field.name : std::string();
}

float sqlc_get_real(int32_t, int32_t) { return 0.0f; }
int32_t sqlc_get_int(int32_t, int32_t) { return 0; }

std::string_view sqlc_get_text(int32_t slot, int32_t column) {
  const glue_slot& s = slot_at(slot);
  // The field count is that of the held result, as the library reported it when it was stored.
  if (s.status != 0 || !s.result || !s.row || !s.lengths || column < 1 || column > s.field_count)
    return {};
  const char* value = s.row[column - 1];
  if (!value) return {};  // SQL NULL
  const size_t length = s.lengths[column - 1];
  const void* nul = std::memchr(value, '\0', length);
  return std::string_view(value, nul ? static_cast<size_t>(static_cast<const char*>(nul) - value)
                                     : length);
}

int32_t sqlc_slot_status(int32_t slot) { return slot_at(slot).status; }

uint64_t sqlc_result_id(int32_t slot) { return slot_at(slot).result_id; }

sqlc_error_info sqlc_last_error(int32_t slot) {
  const glue_slot& s = slot_at(slot);
  return sqlc_error_info{s.error_number, s.error_text};
}
