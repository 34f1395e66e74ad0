// Files that only this process made and keeps for a while: the aside files of whole-file saves,
// the empty files of numbered names claimed and not yet written, the print writer's files in the
// temporary folder.  Each is noted here while it stands, by the routine that makes it, so that no
// end of the process leaves it behind: its owner removes it or puts it in place and forgets the
// note; what is still noted when the process exits is removed then, and a second termination
// signal, which ends the process on the spot, removes it from its handler.
//
// A note is the file's folder (held open), its name in the folder and its identity (device and
// inode), in storage of a fixed size that the signal handler reads: a file is removed only while
// its name still holds that very file, so a file that took its name meanwhile (the save's
// finished file renamed over a claim) stays.
#pragma once

#include <string>

class own_file {
 public:
  own_file() = default;
  own_file(own_file&& other) noexcept;
  own_file& operator=(own_file&& other) noexcept;
  own_file(const own_file&) = delete;
  own_file& operator=(const own_file&) = delete;
  ~own_file() { forget(); }

  // Notes the file `path` that this process has just made (`fd` is open on it).  With
  // `only_while_empty` it is removed only while it is still empty (a claim's file, which the
  // save fills by other means).  Where every place of the fixed storage is taken, the file goes
  // unnoted; its owner removes it as before.
  void note(const std::string& path, int fd, bool only_while_empty = false);
  // The file was put in place or removed by its owner: no end removes it any more.
  void forget();
  bool noted() const { return slot_ >= 0; }

 private:
  int slot_ = -1;
};

// Removes every file that this process noted and still notes (where its name still holds it).
// Async-signal-safe: the second signal's handler calls it before _exit; the process's exit calls
// it as a net.
void remove_own_files();
