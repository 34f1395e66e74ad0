// Opens, writes and reads of files that may be named pipes, whose every wait (for a reader, for
// room in a full pipe, for a writer's bytes) goes through qn_wait_ready, so that a termination
// signal ends it.  Before each such wait the runtime's steps before a wait run
// (qn_before_waiting): the program's buffered lines reach their files first.  Every writer and
// reader of the runtime that may meet a pipe (FILE units, whole-file saves, the print job) goes
// through these; a plain file pays nothing for them beyond the open.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

enum class qn_wait_end;

// The system's error code of the call that just failed; EIO where it set none.
inline int32_t qn_errno_code() { return errno > 0 ? errno : EIO; }

// A wait of a blocking call that writes or waits for a file: the program's lines reach their
// files first (qn_before_waiting), then qn_wait_ready.
qn_wait_end qn_wait_for(int fd, short events, int timeout_ms);

// Opens the file as open(2) does with `flags` and `mode`, without blocking in the open.  A named
// pipe opened for writing that nobody reads yet is waited for (looked at again every 50 ms; the
// lines go to their files before); a termination signal ends that wait: -1 with errno EINTR.
// A file under a lease that the open conflicts with is waited for alike, until its holder gives
// it back (or the system takes it back after the lease break time), as a blocking open waits.
// With O_NONBLOCK in `flags` nothing is waited for: a pipe without a reader is refused (ENXIO), a
// leased file (EWOULDBLOCK).
// A named pipe's descriptor stays non-blocking (written with qn_write_all, read with
// qn_read_waiting); any other node's is as a plain open leaves it.  The descriptor, or -1 with
// errno; `st`, when given, gets the opened file's status.
int qn_open_waiting(const char* path, int flags, mode_t mode, struct stat* st = nullptr);

// Writes the bytes whole.  Where the descriptor is a non-blocking pipe that is full, the write
// waits for room (qn_wait_ready on POLLOUT), unless `wait` is false: then EAGAIN, with what fit
// written.  0, EINTR where a termination signal ended the wait, or the system's error code (a
// write that takes nothing: ENOSPC).
int32_t qn_write_all(int fd, const char* data, size_t size, bool wait = true);

// Reads at most `size` bytes from a named pipe's non-blocking descriptor (qn_open_waiting's): the
// count read, 0 at the end (the writer has closed its end, or came and went without a byte), or
// -1 with errno (EINTR: a termination signal ended the wait).  It waits, as a blocking read
// does, for a writer's bytes, and for a first writer where none has opened the pipe yet.
ssize_t qn_read_waiting(int fd, char* buffer, size_t size);
