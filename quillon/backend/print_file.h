// The PDF file of a print job that the library names itself (the environment's WINKYR_PRINT_PDF,
// or a numbered file named after the job), written through a whole-file save (save_file.h): a
// plain file is replaced whole (a failed job leaves the old file as it was), a device or pipe
// gets the finished document written into it.  The PDF writer names its file by a Qt text, which
// cannot hold every name the file system can (bytes that are not UTF-8): it writes the save's
// aside file itself where it can name it, else a file of its own in the temporary folder (noted
// as this process's own) that is copied into the save at the job's end.
// Every failure, also of a device that refuses the bytes, comes back as the system's error code.
#pragma once

#include "quillon/api/own_files.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class save_file;

namespace qnb {

class pdf_target {
 public:
  pdf_target();
  pdf_target(const pdf_target&) = delete;
  pdf_target& operator=(const pdf_target&) = delete;
  ~pdf_target();  // a job not delivered leaves the target as it was

  // The target for a job named `job_name`: the environment's file or folder when it names one,
  // else a numbered file in the current folder.  False when the environment names none and
  // `always` is false (the printer or its dialog then decides).
  bool choose(std::string_view job_name, bool always);
  // Opens the target for the job (the save; a pipe waits here for its reader) and makes the
  // writer's file; 0 or the system's error code.
  int32_t open();
  // The writer's file.
  const QString& writer_file() const { return writer_file_; }
  // The target's name for a reader of the error log (code page 1252).
  std::string readable_name() const;
  // Delivers the finished document; 0 or the system's error code (the document incomplete, or
  // the target refused it).
  int32_t deliver();
  // Gives the job up: the writer's file goes, the target stays as it was.
  void discard();
  // The system's text for the failure of `open` or `deliver` (naming the temporary folder where
  // the failure is that folder's).
  const std::string& reason() const { return reason_; }

 private:
  std::string target_;  // the file system's bytes
  QString writer_file_;
  std::unique_ptr<save_file> save_;
  own_file writer_note_;       // the writer's own file in the temporary folder
  std::string reason_;
  bool writes_aside_ = false;  // the writer's file is the save's aside file
};

// Why a PDF file came out incomplete, or 0 when it ends with its end-of-file marker.  What is not
// a plain file (a device the print dialog named) cannot be read back and counts as complete.
int32_t pdf_incomplete_reason(const QString& file);

}  // namespace qnb
