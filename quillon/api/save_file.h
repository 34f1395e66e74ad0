// Whole-file saves of the windowing library and the runtime.
#pragma once

#include "quillon/api/own_files.h"

#include <cstdint>
#include <string>
#include <string_view>

// A file written as a whole: the bytes go, buffered, into a new file beside the target (same
// folder, so the rename stays on one file system), and `commit` renames it over the old file
// only when everything was written and flushed to the disk (synced first where the rename
// replaces a file that holds something; a new name, or a claim's empty file, has nothing to
// lose and is not waited for).  A failed, abandoned or killed save leaves the old file as it
// was.  Paths are host paths (UTF-8, "/").
//
// The target is looked at and opened once, at `open`, without following a link at its name: a
// symbolic link is saved through (the name becomes the one its chain of links ends in, a dangling
// link gets that file created, the links stay; a loop is refused, ELOOP, and so is another user's
// link in a sticky folder that every user may write, EACCES, as the system follows none such), and
// an existing file is opened for writing then and held (a file the user may not write is refused
// there; a lease on it is waited for until its holder gives it back).  Whatever
// `commit` writes goes into a descriptor opened then, or into the new file renamed into the
// name's place: never into a file reached through the name later.  The new file gets the old
// file's owner and group where the process may set them, and its mode.
//
// The file beside the target is named "." + the target's name + ".XXXXXX", the target's name cut
// where the folder would not take so long a name.  Where the folder refuses a new file (or the
// rename over this one) but the target is a plain file that the user may write, the bytes go into
// a file in the temporary folder instead and `commit` copies them into the held target (room
// taken first, written, cut to length, synced, its length checked), under an exclusive lock on
// the target (flock), so that two such saves of one file at once leave one or the other whole:
// the target stays the same file, with its owner, mode and hard links; only a failure during
// that copy (or a kill) can leave it cut.  Where the name no longer leads to the held file then
// (a link, a pipe or another file put there meanwhile), nothing is written: ELOOP (a link),
// ESTALE (another file) or ENOENT.
//
// Only a plain file is ever replaced.  A device or a named pipe is written into: it is opened
// when the save opens (a pipe that nobody reads yet is waited for), the content is made whole in
// the temporary folder, and `commit` writes it through that descriptor.  The waits for a reader,
// for room in a pipe and for the lock end when a termination signal comes (EINTR).
//
// The aside file is noted as this process's own (own_files.h) while it stands, so that no end of
// the process leaves it behind.
//
// The first failure is kept (the platform's error code) and every later step returns it;
// writes after a failure do nothing.
class save_file {
 public:
  save_file() = default;
  save_file(const save_file&) = delete;
  save_file& operator=(const save_file&) = delete;
  ~save_file();  // an uncommitted save is discarded

  // 0 or the error code; a save still open is discarded.  The file keeps the old file's mode,
  // or gets `new_mode` less the umask when there was none.  An existing file that the user may
  // not write is refused (EACCES, or EROFS), as an open for writing would refuse it.
  // A directory is refused (EISDIR).
  int32_t open(const std::string& target, uint32_t new_mode = 0666);
  bool is_open() const { return fd_ >= 0; }
  void write(std::string_view bytes);
  void put(char byte);
  int32_t flush();                // the buffer to the file
  int32_t seek(int64_t offset);   // flush, then position at the byte offset
  // Makes the bytes written so far visible at the target's name for a reader while the save
  // goes on: flushed and renamed over the old file now; later writes go to the same file.  A
  // device or pipe gets nothing before the commit.
  int32_t publish();
  int32_t commit();               // flush, sync (see above), close and rename; 0 or the first error
  void discard();                 // closes and removes the aside file
  int32_t error() const { return error_; }
  // The system's text for the failure, naming the temporary folder where the failure is that
  // folder's (a missing one, say) and not the target's.
  std::string reason() const;
  const std::string& target() const { return target_; }
  // The aside file itself, for a writer that writes it by its name (a library that opens files
  // only by name); the bytes it writes there are committed with it.
  const std::string& aside() const { return aside_; }
  // True where the content is copied into the target at the commit (see above).
  bool copies_in() const { return copies_in_; }
  // True where the target is a device or a pipe, written into at the commit.
  bool into_device() const { return device_ >= 0; }
  // True where the failure is the temporary folder's (reason() names it).
  bool temporary_folder_failed() const { return !temporary_folder_.empty(); }

  // Called after everything was written and synced, just before the rename; for tests that
  // stop a save there.
  static void (*before_rename)();

 private:
  int32_t fail(int32_t code);
  int32_t fail_in_temporary_folder(int32_t code);
  bool in_temporary_folder() const { return copies_in_ || device_ >= 0; }  // where the aside file is
  void close_held();
  std::string target_, aside_;
  std::string temporary_folder_;  // the temporary folder, where the failure is its own
  std::string buffer_;
  int fd_ = -1;
  int32_t error_ = 0;
  bool published_ = false;
  int device_ = -1;         // the device or pipe that the commit writes into
  int held_ = -1;           // the existing plain file at the target, opened for writing at `open`
  bool copies_in_ = false;  // the aside file is in the temporary folder, copied into the target
  own_file aside_note_;     // the aside file, while it stands
};
