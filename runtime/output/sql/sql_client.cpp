// Client glue over the MySQL client library: four connection slots, each with its own
// connection, stored result and current row, so that up to four results can be open at once.
// The glue reports failures only as status values; the SQL layer decides what to show.
#include "runtime/output/sql/sql.h"

#include <mysql.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace {

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
};
glue_state glue;

glue_slot& slot_at(int32_t slot) {
  return glue.slots[static_cast<size_t>(slot >= 0 && slot < sqlc_slot_count ? slot : 0)];
}

int32_t clamp_count(uint64_t n) {
  return static_cast<int32_t>(std::min<uint64_t>(n, std::numeric_limits<int32_t>::max()));
}

void remember_error(glue_slot& s) {
  if (s.connection) {
    s.error_number = mysql_errno(s.connection);
    s.error_text = mysql_error(s.connection);
  }
}

void free_result(glue_slot& s) {
  if (s.result) mysql_free_result(s.result);
  s.result = nullptr;
  s.row = nullptr;
  s.lengths = nullptr;
  s.result_id = 0;
}

void close_connection(glue_slot& s) {
  free_result(s);
  if (s.connection) mysql_close(s.connection);
  s.connection = nullptr;
  s.row_count = 0;
  s.field_count = 0;
}

// Reads and frees the further results of a multi-result statement (a stored procedure
// answers with its result sets and a final status), which would otherwise block the
// connection for the next statement.
void drain_further_results(glue_slot& s) {
  while (s.connection && mysql_more_results(s.connection)) {
    if (mysql_next_result(s.connection) != 0) break;
    if (MYSQL_RES* r = mysql_store_result(s.connection)) mysql_free_result(r);
  }
}

// The description of a column of the held result, or nullptr when it may not be read.
const MYSQL_FIELD* field_of(int32_t slot, int32_t column) {
  glue_slot& s = slot_at(slot);
  if (s.status != 0 || !s.result || column < 1 || column > s.field_count ||
      static_cast<unsigned>(column) > mysql_num_fields(s.result))
    return nullptr;
  mysql_field_seek(s.result, static_cast<MYSQL_FIELD_OFFSET>(column - 1));
  const MYSQL_FIELD* f = mysql_fetch_field(s.result);
  if (f) {
    glue.field.name = f->name ? f->name : "";
    glue.field.length = clamp_count(f->length);
    switch (f->type) {
      case MYSQL_TYPE_TINY:
      case MYSQL_TYPE_SHORT:
      case MYSQL_TYPE_LONG:
        glue.field.type = sqlc_type_integer;
        break;
      case MYSQL_TYPE_FLOAT:
      case MYSQL_TYPE_DECIMAL:
        glue.field.type = sqlc_type_real;
        break;
      default:  // double, 64- and 24-bit integers, new decimal, dates, texts, blobs
        glue.field.type = sqlc_type_text;
        break;
    }
  }
  return f;
}

}  // namespace

int32_t sqlc_connect(const sqlc_connect_params& p) {
  int32_t status = 0;
  for (glue_slot& s : glue.slots) {
    close_connection(s);
    s.status = sqlc_status_not_connected;
  }
  for (glue_slot& s : glue.slots) {
    s.status = 0;
    s.error_number = 0;
    s.error_text.clear();
    s.connection = mysql_init(nullptr);
    if (!s.connection) {
      s.status = status = sqlc_status_no_connection;
      s.error_text = "MySQL client: out of memory";
      break;
    }
    // The runtime's texts are code page 1252, which the server calls latin1.
    mysql_options(s.connection, MYSQL_SET_CHARSET_NAME, "latin1");
    if (p.tcp) {
      unsigned int protocol = MYSQL_PROTOCOL_TCP;
      mysql_options(s.connection, MYSQL_OPT_PROTOCOL, &protocol);
    }
    const char* host = p.host.empty() ? "localhost" : p.host.c_str();
    if (!mysql_real_connect(s.connection, host, p.user.c_str(), p.password.c_str(), nullptr,
                            p.port, nullptr, CLIENT_MULTI_RESULTS)) {
      remember_error(s);
      close_connection(s);
      s.status = status = sqlc_status_no_connection;
      break;
    }
    if (mysql_select_db(s.connection, p.database.c_str()) != 0) {
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
  int rc = mysql_real_query(s.connection, statement.data(), statement.size());
  if (rc != 0) {
    remember_error(s);
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
  s.result = mysql_store_result(s.connection);
  if (!s.result) {
    // A statement that should have answered with rows did not: no result, non-zero status.
    remember_error(s);
    if (s.error_number == 0) s.error_text = "no result set";
    s.status = s.error_number != 0 ? static_cast<int32_t>(s.error_number) : 1;
    drain_further_results(s);
    return s.status;
  }
  s.result_id = ++glue.last_result_id;
  s.row_count = clamp_count(mysql_num_rows(s.result));
  s.field_count = clamp_count(mysql_num_fields(s.result));
  drain_further_results(s);
  return 0;
}

void sqlc_discard_results(int32_t slot) {
  glue_slot& s = slot_at(slot);
  if (!s.connection) return;
  if (MYSQL_RES* r = mysql_store_result(s.connection)) mysql_free_result(r);
  drain_further_results(s);
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
  s.row = mysql_fetch_row(s.result);
  if (!s.row) return sqlc_status_no_row;
  s.lengths = mysql_fetch_lengths(s.result);
  return 0;
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
