// File units: numbered connections to files with Fortran-style OPEN semantics, used by the
// FILE command, the logs, the trace file and the loaders of the runtime's text files.
//
// Every routine returns a status instead of aborting: 0 success, unit_eof (-1) at the end of
// a file, a positive code on failure (the system's errno, or one of the unit_err_* codes).
// Names go through host_path (so "\" separators and any case work).  Lines are written with
// LF; a line read ends at LF, and a CR before the LF is dropped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int32_t unit_eof = -1;
inline constexpr int32_t unit_err_not_open = 1001;     // the unit is not connected
inline constexpr int32_t unit_err_bad_keyword = 1002;  // STATUS/ACCESS/FORM/ACTION unknown
inline constexpr int32_t unit_err_bad_recl = 1003;     // DIRECT without a record length
inline constexpr int32_t unit_err_no_read = 1004;      // ACTION "WRITE" unit read
inline constexpr int32_t unit_err_no_write = 1005;     // ACTION "READ" unit written
inline constexpr int32_t unit_err_wrong_access = 1006; // line routine on a DIRECT unit or the reverse
inline constexpr int32_t unit_err_bad_record = 1007;   // record number below 1 or not in the file
inline constexpr int32_t unit_err_exists = 1008;       // STATUS "NEW" and the file exists
inline constexpr int32_t unit_err_no_file = 1009;      // STATUS "OLD" and the file is missing
inline constexpr int32_t unit_err_bad_unit = 1010;     // unit number below 0

// OPEN specifiers; keywords are matched ignoring case and trailing blanks.
struct unit_open_opts {
  std::string_view status = "UNKNOWN";    // OLD, NEW, UNKNOWN, REPLACE, SCRATCH
  std::string_view access = "SEQUENTIAL"; // SEQUENTIAL, APPEND (positioned at the end), DIRECT
  std::string_view form = "FORMATTED";    // FORMATTED, UNFORMATTED
  std::string_view action = "READWRITE";  // READ, WRITE, READWRITE
  int32_t recl = 0;                       // record length in bytes; needed for DIRECT
  // A named pipe is waited for: its reader at the open (for writing), room when it is full, a
  // writer's bytes when it is empty; each wait writes every unit's lines first and ends with
  // EINTR when a termination signal comes.  False: nothing waits (the run's logs): a pipe
  // without a reader is refused (ENXIO), lines that a full pipe does not take fail (EAGAIN).
  bool wait = true;
};

// Connects the unit to the file (a unit already connected is closed first).  SCRATCH ignores
// the name and makes a temporary file that disappears on close.
int32_t unit_open(int32_t unit, std::string_view name, const unit_open_opts& opts = {});
// Closes the unit; "DELETE" removes the file.  Closing a unit that is not open is no error.
int32_t unit_close(int32_t unit, std::string_view status = "KEEP");
bool unit_is_open(int32_t unit);

// Sequential units.  read_line gives the next record without its line end; after the last
// record it returns unit_eof.  A write on a unit that is not in APPEND access makes the
// record the last of the file (what followed the position is cut off), as sequential files do.
int32_t unit_read_line(int32_t unit, std::string& line);
int32_t unit_write_line(int32_t unit, std::string_view line);
int32_t unit_rewind(int32_t unit);

// Sequential writes are buffered: reads, rewinds and the close of the unit flush first, and a
// close after a failed write returns that failure.
//
// Hands the unit's buffered lines to its file: 0, or the failure of this or an earlier write
// (kept for the close as well).
int32_t unit_flush(int32_t unit);
// Every unit's buffered lines to its file, at once where none are waiting: the interpreter calls
// it at each turn of the event loop, so that the lines a program wrote reach the disk soon after
// each write, where another program may read them.  A failure is kept for the unit's next write
// and its close.
void flush_unit_lines();
//
// Makes everything that the runtime's buffered writers (file units, the plot file) hold for
// the named file readable there; an empty name means every file (before a chain, a started
// process and the program's end), where a writer that puts its file in place only whole (the
// plot file) keeps it aside until its end.  Every open of a unit calls it for its file.
void flush_file_writers(std::string_view name = {});
// A buffered writer outside the units joins the flush: it gets the host path, or an empty
// text for every file.
void add_file_writer(void (*flush)(const std::string& path));

// A file that could not be written (or completed): the code goes to io_status, where the
// program reads it with IOERROR, and a line naming the file and the system's error text goes
// to the error log; no box, the program goes on and decides.  Codes of the file units above
// 1000 other than "exists" and "missing" are logged by number.
void report_write_failure(std::string_view file, int32_t code);
// The same with the system's text as the writer has it (a whole-file save's `reason`, which
// names the temporary folder where the failure is that folder's and not the file's).
void report_write_failure(std::string_view file, int32_t code, std::string_view reason);
// A file that could not be opened: a line naming the file and the reason (the system's text,
// also for the units' "exists" and "missing" codes) goes to the error log; the caller has put
// the code in io_status.
void report_open_failure(std::string_view file, int32_t code);

// Direct-access units: records of RECL bytes numbered from 1.  A shorter record is written
// padded (blanks for FORMATTED, zero bytes for UNFORMATTED), a longer one cut; writing past
// the end extends the file (records in between read as zero bytes).  Reading a record that is not in
// the file gives unit_err_bad_record.
int32_t unit_read_record(int32_t unit, int32_t record, std::string& data);
int32_t unit_write_record(int32_t unit, int32_t record, std::string_view data);

// Unit allocation: the next unit of 200..499 that is not open, round robin from the one
// handed out last.  With all 300 open it reports "no unit free" (32000), which ends the program.
int32_t get_free_unit();
// The same search without the report: -1 when none is free.  For the logs, which lose their
// line rather than report (the error log cannot report its own missing unit).
int32_t find_free_unit();

// One line of the run's own logs (the error log, the dump log, the trace file), where nothing may
// hold the run up and every failure is ignored.  A plain file (or a new one) is opened for the
// line as a unit in APPEND access (`replace`: emptied first) and closed again.  A named pipe or a
// device is opened once, without waiting, and held for the run, so that a reader gets every line
// with no end of file between two; a pipe that nobody reads, or that is full, loses the line.
void append_run_log_line(std::string_view name, std::string_view line, bool replace = false);

// Closes every unit (and the logs held open) and restarts the allocator at 200; for tests.
void file_units_reset();
// Lets go of the logs held open (part of file_units_reset).
void close_run_logs();
// The descriptor of a unit open on a pipe or a device, taken out of the unit table (the unit is
// free again, its buffered lines written first) for a writer that holds it itself; -1, with the
// unit left as it is, where it is on a plain file or not open.
int unit_release_node(int32_t unit);
