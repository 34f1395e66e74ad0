// System services over POSIX: the current directory, the environment, the command-line words,
// file copy and delete, directory listings, volume information, the Windows directory's Linux
// stand-in and starting processes.  Names arrive in code page 1252 with "\" or "/" separators
// and are found case-insensitively (resolve_file_name); answers go back in 1252.
#include "quillon/api/save_file.h"
#include "quillon/backend/backend.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <QProcess>
#include <QStringList>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>

namespace {

// A platform error code for the status word: errno, or the library's generic code when the
// platform gave none.
int32_t platform_error() { return errno != 0 ? int32_t(errno) : qnb::QN_FAIL; }

std::string trim_right(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\0')) --n;
  return std::string(text.substr(0, n));
}

// The name as far as its first NUL, without trailing blanks.
std::string program_name(std::string_view name) {
  const size_t nul = name.find('\0');
  return trim_right(nul == std::string_view::npos ? name : name.substr(0, nul));
}

std::string host_name(std::string_view name) { return qnb::resolve_file_name(program_name(name)); }

qn_file_time file_time(const timespec& t) {
  qn_file_time out;
  std::tm local{};
  const time_t seconds = t.tv_sec;
  if (!localtime_r(&seconds, &local)) return out;
  out.year = local.tm_year + 1900;
  out.month = local.tm_mon + 1;
  out.day = local.tm_mday;
  out.zone_minutes = int32_t(local.tm_gmtoff / 60);
  out.hour = local.tm_hour;
  out.minute = local.tm_min;
  out.second = local.tm_sec;
  out.millisecond = int32_t(t.tv_nsec / 1000000);
  return out;
}

// Windows attribute bits from what Linux knows: directory, read-only for the owner, hidden
// for dot names, archive for every regular file (new and changed files carry it on Windows).
int32_t attribute_word(const struct stat& st, std::string_view name) {
  int32_t word = 0;
  if (S_ISDIR(st.st_mode)) word |= 0x10;
  if ((st.st_mode & S_IWUSR) == 0) word |= 0x01;
  if (!name.empty() && name[0] == '.') word |= 0x02;
  if (S_ISREG(st.st_mode)) word |= 0x20;
  return word;
}

// Wildcard match without case: "*" any run of characters, "?" exactly one.
bool wild_match(const QString& pattern, qsizetype p, const QString& name, qsizetype n) {
  while (p < pattern.size()) {
    const QChar c = pattern[p];
    if (c == QLatin1Char('*')) {
      while (p < pattern.size() && pattern[p] == QLatin1Char('*')) ++p;
      if (p == pattern.size()) return true;
      for (qsizetype k = n; k <= name.size(); ++k)
        if (wild_match(pattern, p, name, k)) return true;
      return false;
    }
    if (n >= name.size()) return false;
    if (c != QLatin1Char('?') && c.toCaseFolded() != name[n].toCaseFolded()) return false;
    ++p;
    ++n;
  }
  return n == name.size();
}

// As the Windows listing does, a pattern ending in ".*" also matches names without a dot
// ("*.*" lists everything).
bool name_matches(const QString& pattern, const QString& name) {
  if (wild_match(pattern, 0, name, 0)) return true;
  return pattern.endsWith(QLatin1String(".*")) && wild_match(pattern.chopped(2), 0, name, 0);
}

// udev writes blanks and other special characters of a label as "\xNN".
std::string decode_label(const std::string& entry) {
  std::string out;
  for (size_t i = 0; i < entry.size(); ++i) {
    if (entry[i] == '\\' && i + 3 < entry.size() && entry[i + 1] == 'x') {
      const std::string hex = entry.substr(i + 2, 2);
      char* end = nullptr;
      const long v = std::strtol(hex.c_str(), &end, 16);
      if (end == hex.c_str() + 2) {
        out.push_back(char(v));
        i += 3;
        continue;
      }
    }
    out.push_back(entry[i]);
  }
  return out;
}

// The label of the file system on device `dev`, from the by-label links of udev; empty when
// the volume has none (or the system keeps no such links).
std::string volume_label(dev_t dev) {
  DIR* d = opendir("/dev/disk/by-label");
  if (!d) return {};
  std::string label;
  while (const dirent* e = readdir(d)) {
    const std::string entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    struct stat st{};
    if (stat(("/dev/disk/by-label/" + entry).c_str(), &st) == 0 && S_ISBLK(st.st_mode) &&
        st.st_rdev == dev) {
      label = decode_label(entry);
      break;
    }
  }
  closedir(d);
  return label;
}

// A Windows root ("c:", "c:\", "C:/") has no meaning here; it stands for the root file system.
bool is_drive_root(const std::string& root) {
  return (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/'))) &&
         root[1] == ':' && ((root[0] >= 'a' && root[0] <= 'z') || (root[0] >= 'A' && root[0] <= 'Z'));
}

}  // namespace

// ---------------------------------------------------------------- directories and environment
void GET_CURRENT_DIRECTORY(std::string& path, int* status) {
  qnb::clear_status(status);
  path.clear();
  errno = 0;
  char* cwd = getcwd(nullptr, 0);
  if (!cwd) {
    qn_error("Error in: GET_CURRENT_DIRECTORY", platform_error(), status);
    return;
  }
  path = qnb::to_1252(QString::fromUtf8(cwd));
  std::free(cwd);
}

void SET_CURRENT_DIRECTORY(std::string_view path, int* status) {
  qnb::clear_status(status);
  const std::string name = host_name(path);
  errno = 0;
  if (name.empty() || chdir(name.c_str()) != 0) {
    if (name.empty()) errno = ENOENT;
    qn_error("Unable to set current directory " + program_name(path), platform_error(), status);
  }
}

void GET_ENVIRONMENT_VARIABLE(std::string_view name, std::string& value, int* status) {
  qnb::clear_status(status);
  const QByteArray key = qnb::from_1252(trim_right(name)).toUtf8();
  const char* v = key.isEmpty() ? nullptr : std::getenv(key.constData());
  value = v ? qnb::to_1252(QString::fromUtf8(v)) : std::string();
}

void SET_ENVIRONMENT_VARIABLE(std::string_view name, std::string_view value, int* status) {
  qnb::clear_status(status);
  const QByteArray key = qnb::from_1252(trim_right(name)).toUtf8();
  const QByteArray text = qnb::from_1252(trim_right(value)).toUtf8();
  errno = 0;
  // setenv refuses an empty name and a name with "="; a NUL would cut the name silently.
  if (key.isEmpty() || key.contains('\0') || text.contains('\0') ||
      setenv(key.constData(), text.constData(), 1) != 0) {
    if (errno == 0) errno = EINVAL;
    qn_error("Unable to SET_ENVIRONMENT_VARIABLE", platform_error(), status);
  }
}

void GET_ARG(int32_t n, std::string& word, int* status) {
  qnb::clear_status(status);
  word.clear();
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  if (!in) {
    qn_error("Error in: GET_ARG", qnb::QN_FAIL, status);
    return;
  }
  const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int32_t k = 0;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    if (k == n) {
      word = qnb::to_1252(QString::fromUtf8(raw.data() + start, qsizetype(end - start)));
      return;
    }
    ++k;
    start = end + 1;
  }
}

void GET_WINDOWS_DIRECTORY(std::string& path, int* status) {
  qnb::clear_status(status);
  // Linux has no Windows directory.  Its role (system-wide settings files) is played by /etc;
  // an installation can point programs elsewhere with the WINDIR environment variable.
  const char* windir = std::getenv("WINDIR");
  path = windir && *windir ? qnb::to_1252(QString::fromUtf8(windir)) : std::string("/etc");
}

// ---------------------------------------------------------------- files
int32_t copy_file(std::string_view source, std::string_view destination, const copy_file_opts& o) {
  qnb::clear_status(o.status);
  const std::string from = host_name(source), to = host_name(destination);
  auto fail = [&](int32_t code) {
    if (o.status) *o.status = code;
    return 0;
  };
  if (from.empty() || to.empty()) return fail(ENOENT);
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return fail(platform_error());
  struct stat src{};
  if (fstat(in, &src) != 0 || !S_ISREG(src.st_mode)) {
    close(in);
    return fail(EISDIR);
  }
  // Copying a file onto itself would empty it before it is read.
  struct stat dst{};
  if (stat(to.c_str(), &dst) == 0 && dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) {
    close(in);
    return fail(EEXIST);
  }
  if (o.fail_if_exists.value_or(false) && lstat(to.c_str(), &dst) == 0) {
    close(in);
    return fail(EEXIST);
  }
  // The copy replaces an existing destination only once it is complete.
  save_file out;
  int32_t code = out.open(to, src.st_mode & 0777);
  char buffer[65536];
  while (code == 0) {
    const ssize_t n = read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno != EINTR) code = platform_error();
      continue;
    }
    out.write({buffer, size_t(n)});
    code = out.error();
  }
  close(in);
  if (code == 0) code = out.commit();
  if (code != 0 && out.temporary_folder_failed() && o.temporary_folder_failure) *o.temporary_folder_failure = out.reason();
  return code ? fail(code) : 1;
}

int32_t delete_file(std::string_view name, int* status) {
  qnb::clear_status(status);
  const std::string path = host_name(name);
  errno = 0;
  struct stat st{};
  // Only files: a directory is removed with rmdir, never here.
  if (path.empty() || lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode) || unlink(path.c_str()) != 0) {
    if (status) *status = path.empty() ? ENOENT : (S_ISDIR(st.st_mode) ? EISDIR : platform_error());
    return 0;
  }
  return 1;
}

void GET_DIRECTORY_LIST(std::string_view pattern, std::vector<std::string>& names,
                        std::vector<qn_directory_record>* records, int* status) {
  qnb::clear_status(status);
  names.clear();
  if (records) records->clear();
  QString text = qnb::from_1252(program_name(pattern));
  text.replace(QLatin1Char('\\'), QLatin1Char('/'));
  const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
  const QString dir_part = slash < 0 ? QString() : text.left(slash + 1);
  const QString name_part = slash < 0 ? text : text.mid(slash + 1);
  if (name_part.isEmpty()) return;
  std::string dir = dir_part.isEmpty() ? std::string(".") : qnb::resolve_file_name(qnb::to_1252(dir_part));
  if (dir.empty()) dir = "/";
  errno = 0;
  DIR* d = opendir(dir.c_str());
  if (!d) {
    // A missing directory is "nothing found", as a missing file is.
    if (errno != ENOENT && errno != ENOTDIR)
      qn_error("Error in getting directory listing", platform_error(), status);
    return;
  }
  std::vector<QString> found;
  while (const dirent* e = readdir(d)) {
    const QString name = QString::fromUtf8(e->d_name);
    if (name == QLatin1String(".") || name == QLatin1String("..")) continue;
    if (name_matches(name_part, name)) found.push_back(name);
  }
  closedir(d);
  std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) {
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a < b;
  });
  const std::string base = dir.back() == '/' ? dir : dir + "/";
  for (const QString& name : found) {
    names.push_back(qnb::to_1252(name));
    if (!records) continue;
    qn_directory_record r;
    struct stat st{};
    if (stat((base + name.toStdString()).c_str(), &st) == 0) {
      r.attributes = attribute_word(st, name.toStdString());
      // Linux keeps no creation time in stat; the status-change time is the nearest.
      r.created = file_time(st.st_ctim);
      r.accessed = file_time(st.st_atim);
      r.written = file_time(st.st_mtim);
      const auto size = uint64_t(st.st_size);
      r.size_low = uint32_t(size & 0xFFFFFFFFu);
      r.size_high = uint32_t(size >> 32);
    }
    r.long_name = names.back().substr(0, 260);
    records->push_back(std::move(r));
  }
}

void GET_VOLUME_INFORMATION(std::string_view root, const volume_opts& o) {
  qnb::clear_status(o.status);
  const std::string given = program_name(root);
  // An empty root is the volume of the current directory, as on Windows.
  const std::string path = given.empty() ? std::string(".") : is_drive_root(given) ? std::string("/") : qnb::resolve_file_name(given);
  struct stat st{};
  struct statvfs vfs{};
  errno = 0;
  if (path.empty() || stat(path.c_str(), &st) != 0 || statvfs(path.c_str(), &vfs) != 0) {
    if (o.name) o.name->clear();
    qn_error("Error in: GET_VOLUME_INFORMATION", platform_error(), o.status);
    return;
  }
  if (o.name) *o.name = qnb::to_1252(QString::fromUtf8(volume_label(st.st_dev).c_str()));
  // The device number is what tells volumes apart here; folded to the 32 bits of a serial.
  if (o.serial) *o.serial = uint32_t(uint64_t(st.st_dev) ^ (uint64_t(st.st_dev) >> 32));
  if (o.max_component) *o.max_component = uint32_t(vfs.f_namemax);
  // Case-sensitive search and case-preserved names.
  if (o.flags) *o.flags = 0x3;
}

// ---------------------------------------------------------------- processes
namespace {

// Waits until the child has ended (and takes its status), or until a termination signal comes:
// the child then goes on by itself, as the signal's sender left it.
void wait_for_child(pid_t child) {
  // The descriptor of the child becomes readable when it ends; without one (an old kernel) the
  // wait looks again every 50 milliseconds.
  const int handle = static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
  for (;;) {
    int status = 0;
    const pid_t ended = ::waitpid(child, &status, WNOHANG);
    if (ended == child || (ended < 0 && errno != EINTR)) break;
    if (qn_wait_ready(handle, POLLIN, handle >= 0 ? -1 : 50) == qn_wait_end::signal) break;
  }
  if (handle >= 0) ::close(handle);
}

// Starts the program with its words (a name without "/" is looked for on the search path) in
// the current folder, with the runtime's standard channels, and waits for its end; false when
// it could not be started.
bool start_and_wait(const std::vector<std::string>& words) {
  qn_before_waiting();  // the command may take its time
  std::vector<char*> argv;
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int signal : qnb::signals_ignored_for_the_runtime()) sigaddset(&defaults, signal);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t child = -1;
  const int failed = ::posix_spawnp(&child, argv[0], nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) return false;
  wait_for_child(child);
  return true;
}

}  // namespace

bool qn_run_command_line(std::string_view line) {
  return start_and_wait({"/bin/sh", "-c", qnb::from_1252(line).toUtf8().toStdString()});
}

void SPAWN_PROCESS(std::string_view command_line, bool wait, int32_t show, int* status) {
  qnb::clear_status(status);
  (void)show;  // the window state of a started program is up to the desktop here
  qnb::ensure_app();
  const std::string line = trim_right(command_line);
  QStringList words = QProcess::splitCommand(qnb::from_1252(line));
  if (words.isEmpty()) {
    qn_error("Unable to spawn process: " + line, qnb::QN_FAIL, status);
    return;
  }
  const QString first = words.takeFirst();
  // "explorer" is the Windows shell: "explorer PAGE" opens a document with the program the desktop
  // has for it.  Where no such executable exists, the desktop's URL handler stands in; a machine
  // without the desktop's opener (xdg-open) has none, and the start fails rather than leave it
  // to a guessed browser that may not be there either.
  if (first.compare("explorer", Qt::CaseInsensitive) == 0 && QStandardPaths::findExecutable(first).isEmpty()) {
    if (words.isEmpty()) {
      qn_error("Unable to spawn process: " + line, qnb::QN_FAIL, status);
      return;
    }
    // The message names what is missing here: the document, by its path on this machine, or
    // the opener.
    const std::string document = qnb::resolve_file_name(qnb::to_1252(words.join(' ')));
    const QFileInfo info(QString::fromStdString(document));
    const std::string shown = qnb::to_1252(info.absoluteFilePath());
    if (!info.exists())
      qn_error("Unable to open " + shown + ": No such file or directory", qnb::QN_FAIL, status);
    else if (QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
      qn_error("Unable to open " + shown + ": no xdg-open on the search path to open it with", qnb::QN_FAIL, status);
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())))
      qn_error("Unable to open " + shown + ": xdg-open did not take it", qnb::QN_FAIL, status);
    return;
  }
  const QString program = QString::fromStdString(qnb::resolve_file_name(qnb::to_1252(first)));
  const QString dir = QDir::currentPath();
  if (!wait) {
    // The started program inherits the signals' actions as they are at its start.
    const auto set_write_signals = [](void (*action)(int)) {
      for (const int signal : qnb::signals_ignored_for_the_runtime()) ::signal(signal, action);
    };
    set_write_signals(SIG_DFL);
    const bool started = QProcess::startDetached(program, words, dir);
    set_write_signals(SIG_IGN);
    if (!started)
      qn_error("Unable to spawn process: " + line, qnb::QN_FAIL, status);
    return;
  }
  std::vector<std::string> argv{QFile::encodeName(program).toStdString()};
  for (const QString& word : words) argv.push_back(word.toLocal8Bit().toStdString());
  if (!start_and_wait(argv)) qn_error("Unable to spawn process: " + line, qnb::QN_FAIL, status);
}
