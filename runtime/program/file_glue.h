// Low-level file glue: raw file handles with share modes, directories, host file names and the
// code page conversions at the file-system border.
//
// Handles are the platform's file descriptors (0 or above valid, -1 after a failed open).
// Every open is binary.  Files created here get mode 0666 less the umask.
//
// Share modes are kept as advisory locks on the open file description, so they hold between
// two opens in this process as well as between processes that use this glue: an open fails
// (-1) when it wants an access that another open denies, or denies an access that another
// open holds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// ---------------------------------------------------------------- names
// Program file names use "\" and ignore case.  host_path turns "\" into "/", converts the
// name from code page 1252 to UTF-8, and where the name does not exist as written, finds each
// component case-insensitively (a last component that matches nothing is kept as written, so
// new files can be created).  The name ends at its first NUL; trailing blanks are dropped.
std::string host_path(std::string_view name);

std::string cp1252_to_utf8(std::string_view text);
// Characters that code page 1252 lacks become "?".
std::string utf8_to_cp1252(std::string_view text);

// ---------------------------------------------------------------- opens
// Read only, created when missing; denies read and write.
int32_t c_sopen(std::string_view name);
// Read and write; a second attempt creates the file; denies read and write.
int32_t c_sopen_readwrite(std::string_view name);
// Read and write, emptied; a missing file is created by the second attempt; denies read and
// write.  The file is emptied only after its share check passed.
int32_t c_sopen_trunc(std::string_view name);
// Read only, never created; denies read and write.
int32_t c_sopen_or(std::string_view name);
// The four shared opens.
enum class shared_open : int32_t {
  read_create = 1,       // read only, created when missing, denies nothing
  read = 2,              // read only, denies nothing
  readwrite_create = 3,  // read and write, created when missing, denies write
  readwrite = 4,         // read and write, denies write
};
int32_t c_sopen_shared(std::string_view name, shared_open variant);

// ---------------------------------------------------------------- handles
int32_t c_read(int32_t handle, void* buffer, int32_t count);         // bytes, 0 at end, -1 error
int32_t c_write(int32_t handle, const void* buffer, int32_t count);  // bytes written, -1 error
int32_t c_close(int32_t handle);                                     // 0 or -1
void c_rewind(int32_t handle);                                       // handles below 1 ignored
int32_t c_seek(int32_t handle, int64_t offset);  // new position, -1 (also for handles below 1)

// ---------------------------------------------------------------- directories and names
int32_t c_mkdir(std::string_view name);                            // 0 or -1
int32_t c_rmdir(std::string_view name);                            // 0 or -1
int32_t c_rename(std::string_view old_name, std::string_view new_name);  // 0 or -1
int32_t c_can_open(std::string_view name);  // 0 when it opens for reading and writing, else 1

// ---------------------------------------------------------------- lines and texts
// Reads one line of printable characters into text[0..size) (blank-filled first): control
// characters end a line once something was taken and are skipped before that.  Returns the
// length, or -1 at the end of the file, on a read error or for a handle of 0 or below (the
// characters taken stay in the text).
int32_t read_line_raw(int32_t handle, char* text, int32_t size);
// Blanks the text from the first LF, then from the first CR and the first NUL, then every
// other control character; returns the length without trailing blanks.
int32_t blank_controls(char* text, int32_t length);
