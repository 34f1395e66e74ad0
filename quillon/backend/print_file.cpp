// The PDF file of a print job that the library names itself: chosen by its bytes, written by the
// PDF writer into a file of its own, delivered whole at the job's end.
#include "quillon/backend/print_file.h"
#include "quillon/api/numbered_names.h"
#include "quillon/api/pipe_waits.h"
#include "quillon/api/save_file.h"
#include "quillon/backend/backend.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qnb {
namespace {

bool is_folder(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes the missing folder and the missing folders above it, from the deepest one that exists
// down (no call for a folder that is there); what cannot be made shows when the job's file is
// opened in it.
void make_folders(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (::mkdir(folder.c_str(), 0777) == 0 || errno != ENOENT) return;
  const size_t slash = folder.rfind('/');
  if (slash == std::string::npos || slash == 0) return;
  make_folders(folder.substr(0, slash));
  ::mkdir(folder.c_str(), 0777);
}

// The job's name as a file name: blanks trimmed, no path separators, "Druckausgabe" when empty.
std::string file_stem(std::string_view job_name) {
  QString stem = from_1252(job_name).trimmed();
  stem.replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char('\\'), QLatin1Char('_'));
  return QFile::encodeName(stem.isEmpty() ? QStringLiteral("Druckausgabe") : stem).toStdString();
}

// "<job>.pdf" in the folder, or "<job>-2.pdf", "<job>-3.pdf" ..., whichever nobody has yet,
// claimed for this job (created empty at once, so that a run printing into the same folder at
// the same time takes another).  Where none can be created, the first name tried: the job's
// start then fails on it and says why.
std::string unused_pdf_name(const std::string& folder, std::string_view job_name) {
  const std::string stem = file_stem(job_name);
  return claim_numbered_name({.folder = folder, .prefix = stem + "-", .suffix = ".pdf", .first_name = stem + ".pdf"},
                             true)
      .path;
}

}  // namespace

pdf_target::pdf_target() = default;
pdf_target::~pdf_target() { discard(); }

bool pdf_target::choose(std::string_view job_name, bool always) {
  const char* named = std::getenv("WINKYR_PRINT_PDF");
  if (named && *named) {
    const std::string target = named;
    const bool folder = is_folder(target);
    if (folder || target.back() == '/') {
      if (!folder) make_folders(target);
      target_ = unused_pdf_name(target, job_name);
    } else {
      target_ = target;
    }
    return true;
  }
  if (!always) return false;
  target_ = unused_pdf_name(".", job_name);
  return true;
}

int32_t pdf_target::open() {
  // A plain file is replaced whole, a device or pipe written into (the save opens it now: a pipe
  // waits here for its reader).
  save_ = std::make_unique<save_file>();
  if (const int32_t failed = save_->open(target_); failed != 0) {
    reason_ = save_->reason();
    return failed;
  }
  // Where the writer can name the save's aside file, it writes the document there itself and
  // the commit puts it in place; else it writes a file of its own, copied into the save.
  const QString aside = QFile::decodeName(QByteArray::fromStdString(save_->aside()));
  if (QFile::encodeName(aside).toStdString() == save_->aside()) {
    writer_file_ = aside;
    writes_aside_ = true;
    return 0;
  }
  std::string writer = QFile::encodeName(QDir::tempPath()).toStdString() + "/.winkyr-print-XXXXXX";
  const int fd = ::mkostemp(writer.data(), O_CLOEXEC);
  if (fd < 0) return qn_errno_code();
  writer_note_.note(writer, fd);
  ::close(fd);
  writer_file_ = QFile::decodeName(QByteArray::fromStdString(writer));
  return 0;
}

std::string pdf_target::readable_name() const {
  // A name in UTF-8 is shown in the log's code page; one that is not (as a rule Latin-1 bytes,
  // which are the log's own) is shown as it is.
  const QString name = QString::fromUtf8(target_);
  return name.toUtf8().toStdString() == target_ ? to_1252(name) : target_;
}

int32_t pdf_target::deliver() {
  int32_t failed = save_ ? pdf_incomplete_reason(writer_file_) : EBADF;
  if (failed == 0 && !writes_aside_) {
    QFile document(writer_file_);
    if (!document.open(QIODevice::ReadOnly)) failed = EIO;
    for (QByteArray chunk; failed == 0 && !(chunk = document.read(1 << 16)).isEmpty();) {
      save_->write(std::string_view(chunk.constData(), static_cast<size_t>(chunk.size())));
      failed = save_->error();
    }
  }
  if (failed == 0) failed = save_->commit();
  if (failed != 0) reason_ = save_ && save_->error() == failed ? save_->reason() : std::strerror(failed);
  discard();
  return failed;
}

void pdf_target::discard() {
  if (save_) save_->discard();
  give_up_claim(target_);  // a numbered name claimed and never written is free again
  save_.reset();
  if (!writer_file_.isEmpty() && !writes_aside_) QFile::remove(writer_file_);
  writer_note_.forget();
  writer_file_.clear();
  writes_aside_ = false;
}

int32_t pdf_incomplete_reason(const QString& file) {
  if (!QFileInfo(file).isFile()) return 0;
  QFile pdf(file);
  constexpr qint64 tail = 6;
  if (pdf.open(QIODevice::ReadOnly) && pdf.size() >= tail && pdf.seek(pdf.size() - tail) &&
      pdf.read(tail) == QByteArrayLiteral("%%EOF\n"))
    return 0;
  // Cut short: the file size limit reached, or no room left on its file system; otherwise an
  // input/output error.
  const QByteArray path = QFile::encodeName(file);
  rlimit limit{};
  if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      static_cast<rlim_t>(std::max<qint64>(QFileInfo(file).size(), 0)) >= limit.rlim_cur)
    return EFBIG;
  struct statvfs room {};
  if (statvfs(path.constData(), &room) == 0 && room.f_bavail == 0) return ENOSPC;
  return EIO;
}

}  // namespace qnb
