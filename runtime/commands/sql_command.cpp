// The SQL command: connect, run statements, fetch rows and disconnect through the database
// layer; the status of each operation is left in io_status for IOERROR.
#include <string>
#include <string_view>

#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/program/names.h"
#include "runtime/program/text_tokens.h"
#include "runtime/output/sql/sql.h"

namespace {

constexpr int32_t option_assign = 0x1;
constexpr int32_t option_connect = 0x1;
constexpr int32_t option_disconnect = 0x2;
constexpr int32_t option_execute = 0x1000;
constexpr int32_t option_fetch = 0x2000;

bool has_option(const code_record& rec, int32_t option) { return (rec.flags & option) == option; }

}  // namespace

void cmd_SQL(code_record& rec) {
  evaluate_upn(rec.expression, 1);
  const int32_t slot = nint(param_registers[1]);
  // A fetch, run once for every row, names no text token: token 0 is the empty text, so it is
  // not expanded into a blank buffer each time.  The statement or connection text is a command
  // line: a cut one would run another statement (a condition cut short) or reach another
  // server.  A cut statement is refused as a failed statement (the run ends, nothing of its
  // transaction is committed); a cut connection text like a cut file name.
  program_text text;
  if (rec.token1 != 0) {
    text = token_text(rec.token1);
  } else {
    set_text_token_length(0);
  }
  const bool fetch = has_option(rec, option_fetch);
  const bool statement = !fetch && (has_option(rec, option_execute) ||
                                    !(has_option(rec, option_connect) || has_option(rec, option_disconnect)));
  // A cut connection text is refused as a cut name, its password not shown in the log.
  if (text.cut && !statement && !whole_or_refused({sql_connection_text_shown(text.text), true})) return;
  const std::string_view whole = blank_trimmed(text.text);
  io_status = 0;

  const int32_t slots = sqlc_info(0).slots;
  if (slot < 0 || slot >= slots) {
    io_status = 1;
    report_error("SQL-Handle range", 0);
    return;
  }
  if (fetch) {
    io_status = sql_fetch(slot, has_option(rec, option_assign));
  } else if (statement) {
    io_status = text.cut ? sql_refuse_cut_statement(whole) : sql_exec(slot, whole);
  } else if (has_option(rec, option_connect)) {
    io_status = sql_connect(whole);
  } else {
    io_status = sql_disconnect();
  }
  // A termination signal broke off the wait for the server: the run ends before the next line.
  end_run_if_signalled();
}
