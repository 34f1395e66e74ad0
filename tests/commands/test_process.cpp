// The runtime's executable as a user or a script meets it: exit statuses, the line on standard
// error, runs on the offscreen platform that never wait, names with blanks, the lock file.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "output/test_plot_fixture.h"
#include "output/test_sql_fixture.h"
#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "support/file_size_limit.h"
#include "support/left_behind.h"
#include "support/other_user.h"
#include "support/relay_server.h"
#include "support/silent_server.h"
#include "support/x_display.h"

namespace {
namespace fs = std::filesystem;

struct run_result {
  int status = -1;      // exit status, or -1 when the process did not exit by itself
  std::string errors;  // what it wrote to standard error
};

class process_test : public ::testing::Test {
 protected:
  void SetUp() override {
    // Under the temporary folder where other users may enter it (some runs are another user's).
    std::string problem;
    dir = make_folder_others_may_enter("winkyr-process", problem);
    ASSERT_FALSE(dir.empty()) << problem;
    ASSERT_EQ(chmod(dir.c_str(), 0700), 0);
    fs::create_directories(dir / "run");
  }
  void TearDown() override {
    std::error_code ec;
    // A read-only folder of the test's own (a plain user's test) is made writable to go.
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      if (it->is_directory(ec) && !it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir, ec);
  }

  // The user that saves as a plain user does: the test's own, or under root the unprivileged
  // uid 65534, whose runs then start (run_as) in dir/run, which is given to it.
  uid_t plain_user() {
    if (geteuid() != 0) return geteuid();
    EXPECT_EQ(chmod(dir.c_str(), 0755), 0);
    fs::create_directories(dir / "xdg");
    for (const char* own : {"run", "xdg"}) EXPECT_EQ(chown((dir / own).c_str(), other_user, other_user), 0);
    run_as = other_user;
    return other_user;
  }
  // Gives the test's files to the plain user (under root).
  void give_to(uid_t user, const std::vector<fs::path>& paths) {
    if (geteuid() != 0) return;
    for (const fs::path& path : paths) EXPECT_EQ(lchown(path.c_str(), user, user), 0) << path;
  }
  // A folder the plain user may not write but the test may change: root's (0755) under root,
  // else the test's own without its write permission (given back by `writable`).
  void read_only(const fs::path& folder) { fs::permissions(folder, fs::perms(0555), fs::perm_options::replace); }
  void writable(const fs::path& folder) { fs::permissions(folder, fs::perms(0755), fs::perm_options::replace); }

  void write_program(const fs::path& path, const std::string& upn, const std::string& texts,
                     const std::string& codes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        << "[PROC]\n[INIT]\nCODES=4\nUPNCODES=4\nUPNTOKENS=20\nTEXTTOKENS=4\nTEXTCHARACTERS=100\n"
           "VARIABLES=2\nSTRINGSPACE=2000\nADRSPACE=10\n[VARIABLES]\n&0001 R 0001:X\n[UPNCODES]\n#0\n"
        << upn << "[TEXTTOKENS]\n" << texts << "[LABELS]\n[CODES]\n" << codes;
  }

  // Runs the executable in dir/run on the offscreen platform (unless env says otherwise).
  run_result run(const std::vector<std::string>& args, std::map<std::string, std::string> env = {}) {
    return finish(start(args, std::move(env)));
  }

  struct started {
    pid_t child = -1;
    int errors = -1;  // the read end of its standard error
  };
  // Starts the executable in `cwd` (dir/run when empty); `finish` waits for its end.
  started start(const std::vector<std::string>& args, std::map<std::string, std::string> env = {},
                fs::path cwd = {}) {
    if (cwd.empty()) cwd = dir / "run";
    env.try_emplace("QT_QPA_PLATFORM", "offscreen");
    // Under the leak checker its summary of suppressions would join the runtime's own lines.
    if (const char* lsan = std::getenv("LSAN_OPTIONS"); lsan && *lsan)
      env.try_emplace("LSAN_OPTIONS", std::string(lsan) + ":print_suppressions=0");
    env.try_emplace("XDG_RUNTIME_DIR", (dir / "xdg").string());
    fs::create_directories(dir / "xdg");
    fs::permissions(dir / "xdg", fs::perms::owner_all, fs::perm_options::replace);
    if (run_as != 0 && !reachable_for_the_other_user(env)) return {};
    if (run_as != 0 && !env.contains("TMPDIR")) {
      // The test's own temporary folder may be beyond the other user's reach: it gets one here.
      const fs::path tmp = dir / "tmp-other";
      fs::create_directories(tmp);
      if (chown(tmp.c_str(), run_as, run_as) != 0) ADD_FAILURE() << "cannot give " << tmp << " to " << run_as;
      env["TMPDIR"] = tmp.string();
    }
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
      dup2(pipe_fds[1], 2);
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      dup2(null, 1);
      if (chdir(cwd.c_str()) != 0) _exit(127);
      // The run starts with the termination signals' default actions whatever the test runner
      // left ignored (a background job's SIGINT, nohup's SIGHUP), then with the test's own.
      for (const int signal_number : {SIGTERM, SIGHUP, SIGINT}) ::signal(signal_number, SIG_DFL);
      for (const int signal_number : child_ignores) ::signal(signal_number, SIG_IGN);
      if (child_file_limit != 0) {
        // A file size limit as the shell's "ulimit -f" sets it, with the signal's default action.
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = child_file_limit;
        setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_DFL);
      }
      if (run_as != 0 && (setgroups(0, nullptr) != 0 || setgid(run_as) != 0 || setuid(run_as) != 0)) _exit(126);
      for (const char* name : {"QT_QPA_PLATFORM", "XDG_RUNTIME_DIR", "DISPLAY", "WAYLAND_DISPLAY"}) unsetenv(name);
      for (const auto& [name, value] : env)
        if (!value.empty()) setenv(name.c_str(), value.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>(executable.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(executable.c_str(), argv.data());
      _exit(127);
    }
    close(pipe_fds[1]);
    return {child, pipe_fds[0]};
  }

  // The other user runs the runtime from the test's own folder where the build tree lies beyond
  // its reach (a checkout in a folder others may not enter), and reads the leak checker's
  // suppressions from there too.  False, with the failure reported, where that cannot be done.
  bool reachable_for_the_other_user(std::map<std::string, std::string>& env) {
    const fs::path bin = dir / "bin";
    std::string problem;
    if (executable == fs::path(WINKYR_EXE) && !unreachable_for_others(executable.parent_path()).empty()) {
      fs::permissions(dir, fs::perms(0755), fs::perm_options::replace);
      fs::create_directories(bin);
      executable = copy_runtime_into(bin, WINKYR_EXE, problem);
      if (executable.empty()) {
        ADD_FAILURE() << problem;
        return false;
      }
    }
    std::string& lsan = env["LSAN_OPTIONS"];
    const size_t at = lsan.find("suppressions=");
    if (at == std::string::npos) return true;
    const size_t from = at + std::string_view("suppressions=").size();
    const size_t end = lsan.find(':', from);
    const fs::path file = lsan.substr(from, end == std::string::npos ? std::string::npos : end - from);
    if (unreachable_for_others(file.parent_path()).empty()) return true;
    std::error_code ec;
    fs::permissions(dir, fs::perms(0755), fs::perm_options::replace, ec);
    fs::create_directories(bin, ec);
    fs::copy_file(file, bin / "lsan.supp", fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::permissions(bin / "lsan.supp", fs::perms(0644), fs::perm_options::replace, ec);
    if (ec) {
      ADD_FAILURE() << "cannot copy " << file << " for the other user: " << ec.message();
      return false;
    }
    lsan.replace(from, file.string().size(), (bin / "lsan.supp").string());
    return true;
  }

  // A run that has not ended after two minutes (or `limit`) is killed: a safety net, the tests
  // expect none to wait.
  run_result finish(const started& s, std::chrono::seconds limit = std::chrono::minutes(2)) {
    run_result result;
    if (s.child < 0) return result;
    const auto give_up = std::chrono::steady_clock::now() + limit;
    bool killed = false;
    for (;;) {
      pollfd p{s.errors, POLLIN, 0};
      if (poll(&p, 1, 200) > 0) {
        char buffer[4096];
        const ssize_t n = read(s.errors, buffer, sizeof buffer);
        if (n > 0) {
          result.errors.append(buffer, size_t(n));
          continue;
        }
        if (n == 0) break;  // the child has closed its standard error: it has ended
      }
      if (!killed && std::chrono::steady_clock::now() > give_up) {
        kill(s.child, SIGKILL);
        killed = true;
      }
    }
    close(s.errors);
    int status = 0;
    waitpid(s.child, &status, 0);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
  }

  // Sends the signal to a run of waiting_program (below): it ends with 128 + the signal's number,
  // its 100 lines in out.txt and its printer job's page in `pdf`.
  void ends_in_order_on(const started& s, int signal_number, const std::string& pdf) {
    kill(s.child, signal_number);
    const run_result r = finish(s);
    EXPECT_EQ(r.status, 128 + signal_number) << r.errors;
    std::error_code ec;
    EXPECT_EQ(fs::file_size(dir / "run" / "out.txt", ec), 10000u);
    std::string out;
    EXPECT_EQ(run_reader(dir, "pdfinfo '" + pdf + "'", out), 0) << out;
    const size_t pages = out.find("Pages:");
    EXPECT_EQ(pages == std::string::npos ? -1 : std::atoi(out.c_str() + pages + 6), 1) << out;
  }

  // Waits (at most a minute) until the file exists in dir/run.
  bool wait_for_file(const std::string& name) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(dir / "run" / name))
      if (std::chrono::steady_clock::now() > give_up) return false;
      else std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return true;
  }

  std::string file_text(const std::string& name) {
    std::ifstream in(dir / "run" / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  fs::path dir;
  std::vector<int> child_ignores;  // signals the started runs inherit as ignored
  uint64_t child_file_limit = 0;   // their file size limit in bytes (0: as the test's own)
  uid_t run_as = 0;  // the user (and group) the executable runs as; 0: the test's own
  fs::path executable = WINKYR_EXE;  // the runtime that start() runs
};

TEST_F(process_test, NormalEndExitsZeroAndQtsStartUpNoiseStaysOffTheTerminal) {
  write_program(dir / "run" / "PROG.PXB", "", "", "QUIT\nQUIT\n");
  // Without XDG_RUNTIME_DIR Qt has something to say about it; the user sees none of it.  The
  // runtime folders that Qt and the runtime then make in the temporary folder go into the test's.
  fs::create_directories(dir / "tmp");
  const run_result r = run({"PROG.PXB"}, {{"XDG_RUNTIME_DIR", ""}, {"TMPDIR", (dir / "tmp").string()}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.errors, "");
}

TEST_F(process_test, ErrorOnOffscreenEndsTheRunWithItsLogLineOnStandardError) {
  // A division by zero: its box would offer OK and Cancel; nobody can see it, so the run ends.
  write_program(dir / "run" / "PROG.PXB", "#1 #0 _/ &1 __STO\n", "", "%0002\nQUIT\n");
  const run_result r = run({"PROG.PXB"});
  EXPECT_EQ(r.status, exit_error_end);
  const std::string log = [&] {
    std::ifstream in(dir / "run" / "PXBERROR.LOG");
    std::string line;
    std::getline(in, line);
    return line;
  }();
  EXPECT_NE(log.find("-KYR-ERROR  6103:"), std::string::npos) << log;
  EXPECT_EQ(r.errors, log + "\n");
}

// Nobody can see a question on offscreen: each kind takes the answer that lets a program go on
// only where it has nothing else to offer. The program writes QUERY(1), QUERY(2) and QUERY(3)
// after a Yes/No, a Yes/No/Cancel, an OK and an OK/Cancel question.
TEST_F(process_test, QuestionsOnOffscreenAnswerOkNoOrCancel) {
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
      << "[PROC]\nCSET=W\n[INIT]\nCODES=20\nUPNCODES=2\nUPNTOKENS=20\nTEXTTOKENS=4\nTEXTCHARACTERS=100\n"
         "VARIABLES=3\nSTRINGSPACE=10\nADRSPACE=10\n[VARIABLES]\n&0001 I 0001:A\n&0002 I 0001:B\n&0003 I 0001:C\n"
         "[UPNCODES]\n#0\n#1 _QUERY &1 __STO #2 _QUERY &2 __STO #3 _QUERY &3 __STO\n"
         "[TEXTTOKENS]\n@0001 #1|\n@0002 out.txt|\n@0003 Weiter?|\n@0004 \xFA" "0001 \xFA" "0002 \xFA" "0003|\n"
         "[LABELS]\n[CODES]\n/00000001 FILE @0001 @0002 %0001\n"
         "QUERY @0003\n%0002\n/00001000 FILE @0001 @0004\n"
         "/00000800 QUERY @0003\n%0002\n/00001000 FILE @0001 @0004\n"
         "/00000001 QUERY @0003\n%0002\n/00001000 FILE @0001 @0004\n"
         "/00000801 QUERY @0003\n%0002\n/00001000 FILE @0001 @0004\n"
         "/00000002 FILE @0001\nQUIT\n";
  const run_result r = run({"PROG.PXB"});
  EXPECT_EQ(r.status, 0) << r.errors;
  // Yes/No: No; Yes/No/Cancel: No; OK: OK; OK/Cancel: Cancel (27 in QUERY(3)).
  EXPECT_EQ(file_text("out.txt"), "0 1 0\n0 1 0\n1 0 0\n0 0 27\n");
  EXPECT_EQ(r.errors, "WinKYR: Weiter?\nWinKYR: Weiter?\nWinKYR: Weiter?\nWinKYR: Weiter?\n");
}

TEST_F(process_test, OverflowMessagesReadAsUmlautsOnStandardErrorAndKeepTheirByteInTheLog) {
  // The list functions' messages carry the DOS byte 0x81 for the "u" with umlaut.
  const std::pair<std::string, std::string> cases[] = {{"#9 _LSTMGR &1 __STO\n", "LSTMGR \xC3\xBC" "berlauf"},
                                                        {"#9 #1 _LSTEL &1 __STO\n", "LSTEL \xC3\xBC" "berlauf"}};
  for (const auto& [upn, shown] : cases) {
    fs::remove(dir / "run" / "PXBERROR.LOG");
    write_program(dir / "run" / "PROG.PXB", upn, "", "%0002\nQUIT\n");
    const run_result r = run({"PROG.PXB"});
    EXPECT_EQ(r.status, exit_error_end);
    std::ifstream in(dir / "run" / "PXBERROR.LOG", std::ios::binary);
    std::string log;
    std::getline(in, log);
    const size_t colon = log.find(':');
    ASSERT_NE(colon, std::string::npos) << log;
    std::string kept = shown;
    kept.replace(kept.find("\xC3\xBC"), 2, "\x81");
    EXPECT_EQ(log.substr(colon + 1), kept);
    EXPECT_EQ(r.errors, log.substr(0, colon + 1) + shown + "\n");
  }
}

TEST_F(process_test, BeepWritesNothingToStandardError) {
  // On a machine without a sound card the sound libraries have much to say; the user sees none
  // of it, and the program runs on.
  write_program(dir / "run" / "PROG.PXB", "#3 #0\n", "", "SOUND %0002\nSOUND %0002\nQUIT\n");
  const run_result r = run({"PROG.PXB"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.errors, "");
}

TEST_F(process_test, BackgroundPictureMissingOrUnreadableIsNamedWithItsReason) {
  std::string noise(400, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) % 251);
  std::ofstream(dir / "run" / "RAUSCH.BMP", std::ios::binary) << noise;
  write_program(dir / "run" / "PROG.PXB", "#0 #0\n", "@0001 BILD.BMP|\n@0002 RAUSCH.BMP|\n",
                "/00000080 AREA %0002 @0001\n/00000080 AREA %0002 @0002\nQUIT\n");
  const run_result r = run({"PROG.PXB"});
  EXPECT_EQ(r.status, 0);
  std::ifstream in(dir / "run" / "PXBERROR.LOG");
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(log.find("-WARNUNG:Unable to open bitmap file: BILD.BMP: No such file or directory\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find("-WARNUNG:Unable to read bitmap file: RAUSCH.BMP: "), std::string::npos) << log;
  EXPECT_EQ(r.errors, log);
}

TEST_F(process_test, MissingProgramAndChainToAMissingProgramExitAsNotLoaded) {
  const run_result missing = run({"NOPE.PXB"});
  EXPECT_EQ(missing.status, exit_not_loaded);
  EXPECT_NE(missing.errors.find("KYRPROG not found:NOPE.PXB (searched NOPE.PXB and ./KYR/NOPE.PXB)"),
            std::string::npos)
      << missing.errors;

  write_program(dir / "run" / "CHAIN.PXB", "", "@0001 GONE.PXB|\n", "/00000001 RUN @0001\nQUIT\n");
  const run_result chained = run({"CHAIN.PXB"});
  EXPECT_EQ(chained.status, exit_not_loaded);
  EXPECT_NE(chained.errors.find("KYRPROG not found:GONE.PXB"), std::string::npos) << chained.errors;

  EXPECT_NE(exit_error_end, exit_not_loaded);
  EXPECT_NE(exit_not_loaded, qn_status_error_box);
  EXPECT_NE(exit_error_end, qn_status_error_box);
}

TEST_F(process_test, NameWithBlanksAndUmlautsLoadsThatFile) {
  // "my dir/MY PRÖG.PXB" only: a name cut at its first blank would find nothing.
  write_program(dir / "my dir" / "MY PR\xC3\x96G.PXB", "", "", "QUIT\nQUIT\n");
  const run_result r = run({(dir / "my dir" / "MY PR\xC3\x96G.PXB").string(), "second", "word"});
  EXPECT_EQ(r.status, 0) << r.errors;
}

TEST_F(process_test, LockFileDoesNotFollowAPlantedLink) {
  write_program(dir / "run" / "PROG.PXB", "", "", "QUIT\nQUIT\n");
  ASSERT_EQ(run({"PROG.PXB"}).status, 0);
  std::vector<fs::path> locks;
  for (const auto& entry : fs::directory_iterator(dir / "xdg"))
    if (entry.path().filename().string().starts_with("qn_")) locks.push_back(entry.path());
  ASSERT_EQ(locks.size(), 1u);  // the lock lives in the user's runtime folder

  fs::remove(locks[0]);
  fs::create_symlink(dir / "victim", locks[0]);
  EXPECT_EQ(run({"PROG.PXB"}).status, 0);
  EXPECT_FALSE(fs::exists(dir / "victim"));
  EXPECT_TRUE(fs::is_symlink(locks[0]));
}

TEST_F(process_test, WithoutADisplayOneLineSaysHowToRunHeadless) {
  write_program(dir / "run" / "PROG.PXB", "", "", "QUIT\nQUIT\n");
  const run_result r = run({"PROG.PXB"}, {{"QT_QPA_PLATFORM", "xcb"}});
  EXPECT_EQ(r.status, qn_status_no_display);
  EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
  EXPECT_NE(r.errors.find("QT_QPA_PLATFORM=offscreen"), std::string::npos) << r.errors;
}

// A run that ends while a printer job is open (its end never given): after QUIT, after an error
// and with a plot on the printer, the pages so far are in the PDF file and the run exits with
// its own status.
TEST_F(process_test, RunEndingWithAPrintJobOpenKeepsItsPagesAndItsStatus) {
  struct end_case {
    std::string upn, codes;
    int status, pages;
  };
  const std::string plot_open = "/00000001 PLOT %0002 @0002\n/00000020 PLOT @0003\n";
  const end_case cases[] = {{"", "PRINT @0001\nPRINT @0001\nQUIT\nQUIT\n", 0, 2},
                            {"#1 #0 _/ &1 __STO\n", "PRINT @0001\n%0002\nQUIT\n", exit_error_end, 1},
                            {"#20 #21 #29.7 #1\n", plot_open + "QUIT\nQUIT\n", 0, 1}};
  std::ofstream(dir / "run" / "brief.frm", std::ios::binary) << "Rechnung\n";
  const std::string pdf = (dir / "run" / "out.pdf").string();
  for (const end_case& c : cases) {
    SCOPED_TRACE(c.codes);
    fs::remove(pdf);
    write_program(dir / "run" / "PROG.PXB", c.upn, "@0001 brief|\n@0002 x|\n@0003 MOV 2,2|DRW 9,9|\n", c.codes);
    EXPECT_EQ(run({"PROG.PXB"}, {{"WINKYR_PRINT_PDF", pdf}}).status, c.status);
    std::string info;
    EXPECT_EQ(run_reader(dir, "pdfinfo '" + pdf + "'", info), 0) << info;
    const size_t at = info.find("Pages:");
    EXPECT_EQ(at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6), c.pages) << info;
  }
}

// Two runs at once, each printing N forms (a PDF file each) and plotting N numbered plot files
// into one shared folder: every job keeps its own file, none is written over by the other run.
TEST_F(process_test, TwoRunsPrintingAndPlottingIntoOneFolderKeepEveryFile) {
  constexpr int jobs = 25;
  fs::create_directories(dir / "out");
  for (const char* run_dir : {"a", "b"}) {
    fs::create_directories(dir / run_dir);
    std::ofstream(dir / run_dir / "brief.frm", std::ios::binary) << "Rechnung " << run_dir << "\n";
    // Each round: the form printed and its job ended, then a plot opened on the HP-GL plotter
    // in the folder "..\out\" (a numbered file) and ended, until the counter I reaches N.
    std::ofstream(dir / run_dir / "JOBS.PXB", std::ios::binary)
        << "[PROC]\nCSET=W\n[INIT]\nCODES=10\nUPNCODES=4\nUPNTOKENS=20\nTEXTTOKENS=4\n"
           "TEXTCHARACTERS=100\nVARIABLES=2\nSTRINGSPACE=100\nADRSPACE=10\n"
           "[VARIABLES]\n&0001 S 0001*020:META_FILE/meta.txt\n&0002 I 0001:I/0\n"
           "[UPNCODES]\n#0\n#30 #21 #29.7 #1\n&2 #1 _+ &2 __STO &2 #"
        << jobs
        << " _<\n[TEXTTOKENS]\n@0001 brief|\n@0002  |\n@0003 ..\\out\\|\n[LABELS]\n[CODES]\n"
           "PRINT @0001\n/00000800 PRINT @0002\n/00000001 PLOT %0002 @0003\n/00000002 PLOT\n%0003\n"
           "JNZ :0001\nQUIT\nQUIT\n";
  }
  const std::map<std::string, std::string> env{{"WINKYR_PRINT_PDF", (dir / "out").string() + "/"}};
  const started a = start({"JOBS.PXB"}, env, dir / "a");
  const started b = start({"JOBS.PXB"}, env, dir / "b");
  const run_result ra = finish(a), rb = finish(b);
  EXPECT_EQ(ra.status, 0) << ra.errors;
  EXPECT_EQ(rb.status, 0) << rb.errors;
  int pdfs = 0, plots = 0, empty = 0;
  for (const auto& entry : fs::directory_iterator(dir / "out")) {
    const std::string name = entry.path().filename().string();
    pdfs += name.starts_with("Druckausgabe") && name.ends_with(".pdf");
    plots += name.starts_with("PLTF") && name.ends_with(".PLT");
    empty += entry.file_size() == 0;
  }
  EXPECT_EQ(pdfs, 2 * jobs);
  EXPECT_EQ(plots, 2 * jobs);
  EXPECT_EQ(empty, 0);
}

// Two programs started in one working folder at once, each printing its own form in many jobs
// of one page into one PDF folder: every PDF holds the page of the job that made it (the forms'
// work files of the two runs never meet), each run's pages are all there, and neither leaves a
// file behind.
TEST_F(process_test, TwoRunsPrintingFromOneWorkingFolderKeepEveryPage) {
  constexpr int jobs = 40;
  fs::create_directories(dir / "out");
  for (const char* run_name : {"A", "B"}) {
    std::ofstream(dir / "run" / (std::string(run_name) + ".frm"), std::ios::binary)
        << "Rechnung " << run_name << "\n" << std::string(60, 'x') << "\n";
    std::ofstream(dir / "run" / (std::string(run_name) + ".PXB"), std::ios::binary)
        << "[PROC]\nCSET=W\n[INIT]\nCODES=10\nUPNCODES=4\nUPNTOKENS=20\nTEXTTOKENS=4\n"
           "TEXTCHARACTERS=100\nVARIABLES=2\nSTRINGSPACE=100\nADRSPACE=10\n"
           "[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#0\n&1 #1 _+ &1 __STO &1 #"
        << jobs << " _<\n[TEXTTOKENS]\n@0001 " << run_name
        << "|\n@0002  |\n[LABELS]\n[CODES]\nPRINT @0001\n/00000800 PRINT @0002\n%0002\nJNZ :0001\nQUIT\nQUIT\n";
  }
  fs::create_directories(dir / "tmp");
  const std::map<std::string, std::string> env{{"WINKYR_PRINT_PDF", (dir / "out").string() + "/"},
                                               {"TMPDIR", (dir / "tmp").string()}};
  const started a = start({"A.PXB"}, env), b = start({"B.PXB"}, env);
  const run_result ra = finish(a), rb = finish(b);
  EXPECT_EQ(ra.status, 0) << ra.errors;
  EXPECT_EQ(rb.status, 0) << rb.errors;
  std::map<std::string, int> pages;  // "A", "B" or "" (a page without either text) -> PDFs
  int pdfs = 0;
  for (const auto& entry : fs::directory_iterator(dir / "out")) {
    ++pdfs;
    std::string text;
    ASSERT_EQ(run_reader(dir, "pdftotext '" + entry.path().string() + "' -", text), 0) << text;
    const bool of_a = text.find("Rechnung A") != std::string::npos, of_b = text.find("Rechnung B") != std::string::npos;
    ++pages[of_a && !of_b ? "A" : of_b && !of_a ? "B" : ""];
  }
  EXPECT_EQ(pdfs, 2 * jobs);
  EXPECT_EQ(pages["A"], jobs);
  EXPECT_EQ(pages["B"], jobs);
  EXPECT_EQ(pages[""], 0);
  // Nothing is left behind in the working folder (but the error log) or the temporary folder.
  EXPECT_EQ(left_behind(dir / "run", {"A.frm", "B.frm", "A.PXB", "B.PXB", "PXBERROR.LOG"}), std::vector<std::string>{});
  EXPECT_EQ(left_behind(dir / "tmp"), std::vector<std::string>{});
}

// A print job into a PDF file that the user may write, in a folder the user may not (read-only;
// as a plain user): the file gets the document, written into it, so that it stays the same file
// (its owner, the hard link to it); nothing is left in the temporary folder.
TEST_F(process_test, PrintJobIntoAWritableFileInAFolderTheUserMayNotWrite) {
  std::ofstream(dir / "run" / "brief.frm", std::ios::binary) << "Rechnung\n";
  write_program(dir / "run" / "PROG.PXB", "", "@0001 brief|\n@0002  |\n", "PRINT @0001\n/00000800 PRINT @0002\nQUIT\n");
  fs::create_directories(dir / "ausgabe");
  fs::create_directories(dir / "tmp");
  std::ofstream(dir / "ausgabe" / "druck.pdf", std::ios::binary) << "alt\n";
  fs::create_hard_link(dir / "ausgabe" / "druck.pdf", dir / "ausgabe" / "kopie.pdf");
  const uid_t nobody = plain_user();
  give_to(nobody, {dir / "ausgabe" / "druck.pdf", dir / "tmp", dir / "run" / "brief.frm", dir / "run" / "PROG.PXB"});
  read_only(dir / "ausgabe");
  const run_result r = run({"PROG.PXB"}, {{"WINKYR_PRINT_PDF", (dir / "ausgabe" / "druck.pdf").string()},
                                          {"TMPDIR", (dir / "tmp").string()}});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors.find("cannot write"), std::string::npos) << r.errors;
  std::string text;
  EXPECT_EQ(run_reader(dir, "pdftotext '" + (dir / "ausgabe" / "kopie.pdf").string() + "' -", text), 0) << text;
  EXPECT_EQ(text, "Rechnung\n\n\f");
  struct stat st {};
  ASSERT_EQ(stat((dir / "ausgabe" / "druck.pdf").c_str(), &st), 0);
  EXPECT_EQ(st.st_nlink, 2u);
  EXPECT_EQ(st.st_uid, nobody);
  EXPECT_TRUE(fs::is_empty(dir / "tmp"));
}

// A program that runs the `before` codes, writes `lines` lines of 100 bytes into out.txt through
// FILE slot 1 (without closing it) and then goes on with the `after` codes.  Its own UPN codes
// and texts come from %0004 and @0005 on; the loop after the lines starts at record
// `before` + 5, and %0003 is the constant 1.
std::string writing_program(int lines, const std::string& upn, const std::string& texts,
                            const std::vector<std::string>& before, const std::string& after) {
  std::string codes;
  for (const std::string& code : before) codes += code + "\n";
  const std::string write_at = std::to_string(before.size() + 2);
  return "[PROC]\n[INIT]\nCODES=20\nUPNCODES=20\nUPNTOKENS=60\nTEXTTOKENS=10\nTEXTCHARACTERS=400\n"
         "VARIABLES=2\nSTRINGSPACE=100\nADRSPACE=10\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#0\n"
         "&1 #1 _+ &1 __STO &1 #" + std::to_string(lines) + " _<\n#1\n" + upn +
         "[TEXTTOKENS]\n@0001 #1|\n@0002 out.txt|\n@0003 " + std::string(99, 'x') + "|\n@0004 NEXT.PXB|\n" + texts +
         "[LABELS]\n[CODES]\n" + codes + "/00000001 FILE @0001 @0002 %0001\n/00001000 FILE @0001 @0003\n%0002\nJNZ :" +
         std::string(4 - write_at.size(), '0') + write_at + "\n" + after;
}

// The lines a program left in its FILE unit cannot all be written (a full disk, here the size
// limit): at QUIT, at an error end and at a RUN chain the failure is reported like every failed
// write, the WARNUNG line naming the file and the reason in the error log and on standard error,
// and the run, having lost lines, exits with 1 (the same run with room for its lines exits 0).
TEST_F(process_test, FailedFlushOfLinesLeftInAFileUnitIsReportedAtEveryEndOfTheRun) {
  const std::pair<std::string, std::string> ends[] = {
      {"", "QUIT\nQUIT\n"}, {"#1 #0 _/ &1 __STO\n", "%0004\nQUIT\n"}, {"", "/00000001 RUN @0004\nQUIT\n"}};
  write_program(dir / "run" / "NEXT.PXB", "", "", "QUIT\nQUIT\n");
  for (const auto& [upn, rest] : ends) {
    SCOPED_TRACE(rest);
    fs::remove(dir / "run" / "PXBERROR.LOG");
    fs::remove(dir / "run" / "out.txt");
    std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary) << writing_program(400, upn, "", {}, rest);
    run_result r;
    {
      const file_size_limit full(24576);
      r = run({"PROG.PXB"});
    }
    EXPECT_EQ(fs::file_size(dir / "run" / "out.txt"), 24576u);
    std::ifstream in(dir / "run" / "PXBERROR.LOG", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(log.find("-WARNUNG:cannot write out.txt: File too large\n"), std::string::npos) << log;
    EXPECT_NE(r.errors.find("-WARNUNG:cannot write out.txt: File too large\n"), std::string::npos) << r.errors;
    EXPECT_EQ(r.status, exit_error_end);
    if (upn.empty()) {
      fs::remove(dir / "run" / "out.txt");
      const run_result written = run({"PROG.PXB"});
      EXPECT_EQ(written.status, 0) << written.errors;
      EXPECT_EQ(fs::file_size(dir / "run" / "out.txt"), 40000u);
    }
  }
}

// Lines that did not reach their file end the run with 1 also where the program closed the unit
// itself before its end (QUIT, or a chained program's QUIT): 400 lines of 100 bytes under a
// file size limit of 24 KiB, the unit closed, the WARNUNG line naming the file.  The same run
// with room for every line exits with 0.
TEST_F(process_test, LinesLostBeforeAnExplicitCloseEndTheRunWithOne) {
  write_program(dir / "run" / "NEXT.PXB", "", "", "QUIT\nQUIT\n");
  for (const char* end : {"QUIT\n", "/00000001 RUN @0004\nQUIT\n"}) {
    SCOPED_TRACE(end);
    std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
        << writing_program(400, "", "", {}, std::string("/00000002 FILE @0001\n") + end);
    for (const uint64_t limit : {uint64_t(24576), uint64_t(0)}) {
      fs::remove(dir / "run" / "out.txt");
      child_file_limit = limit;
      const run_result r = run({"PROG.PXB"});
      if (limit != 0) {
        EXPECT_EQ(r.status, exit_error_end) << r.errors;
        EXPECT_EQ(file_text("out.txt").size(), 24576u);
        EXPECT_NE(r.errors.find("-WARNUNG:cannot write out.txt: File too large\n"), std::string::npos) << r.errors;
      } else {
        EXPECT_EQ(r.status, 0) << r.errors;
        EXPECT_EQ(file_text("out.txt").size(), 40000u);
      }
    }
  }
}

// Runs the shell command in dir/run beside the test; its process id, for waitpid.
pid_t start_shell(const fs::path& run, const std::string& command) {
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(run.c_str()) != 0) _exit(127);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return child;
}

// A FILE unit opened for writing on a FIFO whose reader takes 5,000 bytes and goes: the 3,000
// lines that follow fail with the WARNUNG naming the file and "Broken pipe", and the program
// goes on (it closes the unit and writes done.txt); it lost lines, so it exits with 1.
TEST_F(process_test, FileUnitIntoAFifoWhoseReaderGoesAwayFailsAndTheProgramGoesOn) {
  ASSERT_EQ(mkfifo((dir / "run" / "out.txt").c_str(), 0600), 0);
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
      << writing_program(3000, "", "@0005 done.txt|\n@0006 fertig|\n", {},
                         "/00000002 FILE @0001\n/00000001 FILE @0001 @0005 %0001\n/00001000 FILE @0001 @0006\nQUIT\n");
  const pid_t reader = start_shell(dir / "run", "head -c 5000 out.txt > gelesen");
  ASSERT_GT(reader, 0);
  const run_result r = finish(start({"PROG.PXB"}), std::chrono::seconds(30));
  int reader_status = 0;
  waitpid(reader, &reader_status, 0);
  EXPECT_EQ(r.status, exit_error_end) << r.errors;
  EXPECT_NE(r.errors.find("-WARNUNG:cannot write out.txt: Broken pipe\n"), std::string::npos) << r.errors;
  EXPECT_EQ(file_text("done.txt"), "fertig\n");
  EXPECT_EQ(file_text("gelesen").size(), 5000u);
}

// Near the rule above: a FIFO opened for reading still reads what its writer sends, and a unit
// on a regular file opened without the read option still reads and writes (a line read, then
// two written after it).
TEST_F(process_test, FileUnitsOnAFifoForReadingAndOnAFileForBothKeepWorking) {
  ASSERT_EQ(mkfifo((dir / "run" / "rohr").c_str(), 0600), 0);
  std::ofstream(dir / "run" / "daten.txt", std::ios::binary) << "eins\nzwei\n";
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
      << "[PROC]\n[INIT]\nCODES=10\nUPNCODES=3\nUPNTOKENS=10\nTEXTTOKENS=4\nTEXTCHARACTERS=100\n"
         "VARIABLES=2\nSTRINGSPACE=200\nADRSPACE=10\n[VARIABLES]\n&0001 S 0001*040:A/\n&0002 S 0001*040:B/\n"
         "[UPNCODES]\n#0\n&1\n&2\n[TEXTTOKENS]\n@0001 #1|\n@0002 rohr|\n@0003 #2|\n@0004 daten.txt|\n"
         "[LABELS]\n[CODES]\n/00002001 FILE @0001 @0002 %0001\n/00002000 FILE @0001 %0002\n/00000002 FILE @0001\n"
         "/00000001 FILE @0003 @0004 %0001\n/00002000 FILE @0003 %0003\n/00001000 FILE @0003 @0003 %0002\n"
         "/00001000 FILE @0003 @0003 %0003\n/00000002 FILE @0003\nQUIT\nQUIT\n";
  const pid_t writer = start_shell(dir / "run", "printf 'aus dem Rohr\\n' > rohr");
  ASSERT_GT(writer, 0);
  const run_result r = finish(start({"PROG.PXB"}), std::chrono::seconds(30));
  int writer_status = 0;
  waitpid(writer, &writer_status, 0);
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  EXPECT_EQ(file_text("daten.txt"), "eins\naus dem Rohr\neins\n");
}

// SIGTERM, SIGHUP and SIGINT while the program works on in a loop of commands, with a printer
// job and a PDF plot open and 100 lines written: the lines are in the file while it runs, and
// the signal ends the run in order (the FILE unit closed, the page printed, the plot complete)
// with 128 + the signal's number.
TEST_F(process_test, TerminationSignalEndsTheRunInOrderWithItsStatusAndEveryLineWritten) {
  std::ofstream(dir / "run" / "brief.frm", std::ios::binary) << "Rechnung\n";
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
      << writing_program(100, "#43 #21 #29.7 #1\n", "@0005 brief|\n@0006 plot.pdf|\n@0007 MOV 1,1|DRW 5,5|\n",
                         {"PRINT @0005", "/00000001 PLOT %0004 @0006", "/00000020 PLOT @0007"},
                         "%0003\nJNZ :0008\nQUIT\n");
  const std::string pdf = (dir / "run" / "out.pdf").string();
  for (const int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal_number);
    for (const char* name : {"out.txt", "out.pdf", "plot.pdf"}) fs::remove(dir / "run" / name);
    const started s = start({"PROG.PXB"}, {{"WINKYR_PRINT_PDF", pdf}});
    const auto lines_on_disk = [&] {
      std::ifstream in(dir / "run" / "out.txt", std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      return std::count(text.begin(), text.end(), '\n');
    };
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (lines_on_disk() < 100 && std::chrono::steady_clock::now() < give_up)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(lines_on_disk(), 100);  // on disk while the program still runs
    kill(s.child, signal_number);
    EXPECT_EQ(finish(s).status, 128 + signal_number);
    EXPECT_EQ(lines_on_disk(), 100);
    std::string out;
    EXPECT_EQ(run_reader(dir, "pdfinfo '" + pdf + "'", out), 0) << out;
    const size_t pages = out.find("Pages:");
    EXPECT_EQ(pages == std::string::npos ? -1 : std::atoi(out.c_str() + pages + 6), 1) << out;
    EXPECT_EQ(run_reader(dir, "qpdf --check '" + (dir / "run" / "plot.pdf").string() + "'", out), 0) << out;
  }
}

// The size of a file, 0 where there is none.
uintmax_t size_on_disk(const fs::path& file) {
  std::error_code ec;
  const uintmax_t size = fs::file_size(file, ec);
  return ec ? 0 : size;
}

// Waits (up to a minute, a safety net) until out.txt in `run` holds the 100 lines of 100 bytes.
void wait_for_lines(const fs::path& run) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (size_on_disk(run / "out.txt") < 10000u && std::chrono::steady_clock::now() < give_up)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// A program as above (a printer job open, 100 lines written through FILE slot 1) that then waits
// in a box on a real display.
std::string waiting_program(const std::string& box) {
  return writing_program(100, "", "@0005 brief|\n@0006 Weiter?|\n@0007 Frage|\n@0008 Kunde laden|\n@0009 *.txt|\n",
                         {"PRINT @0005"}, box + "QUIT\n");
}

// SIGTERM, SIGHUP and SIGINT while the run waits in a box shown on a display (a QUERY box, the
// error box of a second FILE open on an open slot, the file selection box): the lines written
// just before are on disk while the box waits, and the signal leaves the box and ends the run in
// order (the page printed) with 128 + the signal's number.
TEST_F(process_test, SignalWhileABoxWaitsEndsTheRunInOrderWithEveryLineOnDisk) {
  const x_display display;
  ASSERT_FALSE(display.name().empty()) << "no virtual X server (Xvfb)";
  std::ofstream(dir / "run" / "brief.frm", std::ios::binary) << "Rechnung\n";
  const std::pair<std::string, std::string> boxes[] = {{"QUERY @0006 @0007\n", "Frage"},
                                                       {"/00000001 FILE @0001 @0002 %0001\n", "KYR-ERROR     0"},
                                                       {"SELECT @0008 @0009\n", "Kunde laden"}};
  const std::string pdf = (dir / "run" / "out.pdf").string();
  for (const auto& [box, title] : boxes) {
    std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary) << waiting_program(box);
    for (const int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
      SCOPED_TRACE(title + " " + std::to_string(signal_number));
      for (const char* name : {"out.txt", "out.pdf"}) fs::remove(dir / "run" / name);
      const started s =
          start({"PROG.PXB"}, {{"WINKYR_PRINT_PDF", pdf}, {"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display.name()}});
      EXPECT_NE(display.wait_for_window(title), 0u);
      EXPECT_EQ(size_on_disk(dir / "run" / "out.txt"), 10000u);  // on disk while the box waits
      ends_in_order_on(s, signal_number, pdf);
    }
  }
}

// SIGINT and SIGTERM while "Wirklich beenden?" waits for its answer (the user closed the window
// of a program that waits in the event loop): the run ends at once with 128 + the signal's
// number, the lines on disk and the page printed.
TEST_F(process_test, SignalAtTheCloseQuestionEndsTheRunAtOnce) {
  const x_display display;
  ASSERT_FALSE(display.name().empty()) << "no virtual X server (Xvfb)";
  std::ofstream(dir / "run" / "brief.frm", std::ios::binary) << "Rechnung\n";
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary) << waiting_program("RETURN\n");
  const std::string pdf = (dir / "run" / "out.pdf").string();
  for (const int signal_number : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal_number);
    for (const char* name : {"out.txt", "out.pdf"}) fs::remove(dir / "run" / name);
    const started s =
        start({"PROG.PXB"}, {{"WINKYR_PRINT_PDF", pdf}, {"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display.name()}});
    const uint32_t main = display.wait_for_window("WinKYR");
    ASSERT_NE(main, 0u);
    wait_for_lines(dir / "run");  // the first run has written them and returned to the event loop
    display.close_window(main);
    EXPECT_NE(display.wait_for_window("WinKYR", {main}), 0u);  // the question
    ends_in_order_on(s, signal_number, pdf);
  }
}

// Whether the process has ended (a zombie that nobody has waited for yet counts as ended).
bool has_ended(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t name_end = stat.rfind(')');
  return name_end == std::string::npos || stat.compare(name_end, 3, ") Z") == 0;
}

// Waits until `seen` holds, while the process lives (and at most a minute, a safety net);
// whether it came to hold.
bool comes_true(pid_t pid, const std::function<bool()>& seen) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (!seen())
    if (has_ended(pid) || std::chrono::steady_clock::now() > give_up) return false;
    else std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return true;
}

// The time-out in milliseconds (-1: none) of the poll that the process's main thread waits in
// now, where it is the wait of a blocking call: a poll on two descriptors, what the call waits
// for and the pipe of the termination signals.  Nothing while it waits elsewhere or runs.
// Where poll is a ppoll, the time-out is only told apart as none (-1) or some (1).
std::optional<int> blocking_wait_timeout(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
  long number = -1;
  std::string fds, count, timeout;
  if (!(in >> number >> fds >> count >> timeout) || std::stoull(count, nullptr, 16) != 2) return std::nullopt;
#ifdef SYS_poll
  if (number == SYS_poll) return static_cast<int>(static_cast<uint32_t>(std::stoull(timeout, nullptr, 16)));
#endif
  if (number == SYS_ppoll) return std::stoull(timeout, nullptr, 16) == 0 ? -1 : 1;
  return std::nullopt;
}

// QUIT, and EVENT 9999, in a periodic timer's label that runs while "Wirklich beenden?" waits
// (the user closed the window of a program that waits in the event loop; the label does its
// work once the test has seen the question): the run ends at once with 0, the question goes
// with the window, and no label runs after the end.  The same label run while the program
// waits in the event loop alone ends the run alike.
TEST_F(process_test, QuitInATimersLabelAtTheCloseQuestionEndsTheRun) {
  const x_display display;
  ASSERT_FALSE(display.name().empty()) << "no virtual X server (Xvfb)";
  for (const char* quit : {"QUIT", "EVENT %0003"}) {
    for (const bool at_question : {true, false}) {
      SCOPED_TRACE(std::string(quit) + (at_question ? " at the question" : " in the event loop"));
      for (const char* name : {"out.txt", "go"}) fs::remove(dir / "run" / name);
      std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
          << "[PROC]\n[INIT]\nCODES=10\nUPNCODES=4\nUPNTOKENS=20\nTEXTTOKENS=6\nTEXTCHARACTERS=100\n"
             "VARIABLES=1\nSTRINGSPACE=100\nADRSPACE=10\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#0\n#0.2\n#9999\n"
             "@0005 @0006 _SYSVAR\n[TEXTTOKENS]\n@0001 #1|\n@0002 out.txt|\n@0003 vor dem Warten|\n@0004 Zeitgeber|\n"
             "@0005 exist|\n@0006 go|\n[LABELS]\n[CODES]\n"
             "/00000001 FILE @0001 @0002 %0001\n/00001000 FILE @0001 @0003\n/00000044 EVENT :0005 &0002\nRETURN\n"
             "%0004\nJZ :0010\n/00001000 FILE @0001 @0004\n" << quit << "\nRETURN\nRETURN\n";
      const started s = start({"PROG.PXB"}, {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", display.name()}});
      const uint32_t main = display.wait_for_window("WinKYR");
      ASSERT_NE(main, 0u);
      EXPECT_TRUE(wait_for_file("out.txt"));
      if (at_question) {
        display.close_window(main);
        EXPECT_NE(display.wait_for_window("WinKYR", {main}), 0u);  // the question
      }
      std::ofstream(dir / "run" / "go") << "\n";
      const run_result r = finish(s, std::chrono::seconds(30));
      EXPECT_EQ(r.status, 0) << r.errors;
      EXPECT_EQ(file_text("out.txt"), "vor dem Warten\nZeitgeber\n");
    }
  }
}

// A program as writing_program's (200 lines of 100 bytes through FILE slot 1 on out.txt) that
// then opens slot 3 on the FIFO "rohr" (for reading with `reading`, else for writing) and reads a
// line, or writes `lines` lines of 60 bytes into it; it closes both slots and quits.
std::string program_on_a_fifo(bool reading, int lines) {
  const std::string loop = "&1 #1 _+ &1 __STO &1 #" + std::to_string(lines) + " _<\n";
  const std::string fifo_codes = reading ? "/00002001 FILE @0005 @0006 %0001\n/00002000 FILE @0005 %0006\n"
                                         : "/00000001 FILE @0005 @0006 %0001\n%0004\n/00001000 FILE @0005 @0007\n"
                                           "%0005\nJNZ :0007\n";
  std::string program =
      writing_program(200, "#0 &1 __STO\n" + loop + "&2\n", "@0005 #3|\n@0006 rohr|\n@0007 " + std::string(59, 'y') + "|\n",
                      {}, fifo_codes + "/00000002 FILE @0005\n/00000002 FILE @0001\nQUIT\nQUIT\n");
  const std::string integer = "&0001 I 0001:I/0\n";
  return program.insert(program.find(integer) + integer.size(), "&0002 S 0001*040:A/\n");  // the line read
}

// Waits (a minute at most) until the run is seen in the wait of a blocking call (`timed`: the
// open's, looked at again every 50 ms; else one without a time-out, for room or bytes in the
// pipe) with the 200 lines of slot 1 on disk, then sends SIGTERM: the run ends in order with 143,
// the lines in out.txt, no failure reported.
void ends_in_order_while_waiting(const fs::path& run, pid_t child, bool timed) {
  EXPECT_TRUE(comes_true(child, [&] {
    const std::optional<int> timeout = blocking_wait_timeout(child);
    return timeout && (timed ? *timeout > 0 : *timeout < 0) && size_on_disk(run / "out.txt") == 20000u;
  }));
  kill(child, SIGTERM);
}

// A FILE unit on a FIFO that waits for its other end: opened for writing with no reader, or for
// reading with no writer.  The lines of the other units are on disk while it waits, and SIGTERM
// ends the wait and the run in order: 143, out.txt's 200 lines, no WARNUNG.
TEST_F(process_test, FileUnitWaitingForTheOtherEndOfAFifoEndsInOrderOnASignal) {
  ASSERT_EQ(mkfifo((dir / "run" / "rohr").c_str(), 0600), 0);
  for (const bool reading : {false, true}) {
    SCOPED_TRACE(reading ? "read" : "write");
    fs::remove(dir / "run" / "out.txt");
    std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary) << program_on_a_fifo(reading, 1);
    const started s = start({"PROG.PXB"});
    ends_in_order_while_waiting(dir / "run", s.child, !reading);
    const run_result r = finish(s, std::chrono::seconds(30));
    EXPECT_EQ(r.status, 128 + SIGTERM) << r.errors;
    EXPECT_EQ(r.errors.find("-WARNUNG"), std::string::npos) << r.errors;
    EXPECT_EQ(size_on_disk(dir / "run" / "out.txt"), 20000u);
  }
}

// A FILE unit writing 3,000 lines of 60 bytes into a FIFO whose reader holds it open and reads
// nothing (the pipe takes 64 KiB): the run waits for room with the signal watched, the other
// unit's lines on disk, and SIGTERM ends it in order: 143, out.txt's 200 lines.
TEST_F(process_test, FileUnitWritingIntoAFullFifoEndsInOrderOnASignal) {
  ASSERT_EQ(mkfifo((dir / "run" / "rohr").c_str(), 0600), 0);
  const int reader = open((dir / "run" / "rohr").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary) << program_on_a_fifo(false, 3000);
  const started s = start({"PROG.PXB"});
  ends_in_order_while_waiting(dir / "run", s.child, false);
  const run_result r = finish(s, std::chrono::seconds(30));
  close(reader);
  EXPECT_EQ(r.status, 128 + SIGTERM) << r.errors;
  EXPECT_EQ(r.errors.find("-WARNUNG"), std::string::npos) << r.errors;
  EXPECT_EQ(size_on_disk(dir / "run" / "out.txt"), 20000u);
}

// Near the two rules above: a FIFO unit whose reader is there before the open, or comes while
// the run waits in the open, gets every line (3,000 lines of 60 bytes, more than the pipe
// holds, so the writes wait for the reader too), and a unit on the null device takes its lines;
// each run ends with 0.
TEST_F(process_test, FileUnitOnAFifoGetsEveryLineToAReaderThereOrComingLaterAndOnTheNullDevice) {
  ASSERT_EQ(mkfifo((dir / "run" / "rohr").c_str(), 0600), 0);
  std::string expected;
  for (int line = 0; line < 3000; ++line) expected += std::string(59, 'y') + "\n";
  for (const char* reader_comes : {"before", "later"}) {
    SCOPED_TRACE(reader_comes);
    fs::remove(dir / "run" / "gelesen");
    std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary) << program_on_a_fifo(false, 3000);
    pid_t reader = -1;
    if (std::string_view(reader_comes) == "before") reader = start_shell(dir / "run", "cat rohr > gelesen");
    const started s = start({"PROG.PXB"});
    if (reader < 0) {
      EXPECT_TRUE(comes_true(s.child, [&] {
        const std::optional<int> timeout = blocking_wait_timeout(s.child);
        return timeout && *timeout > 0;  // the wait in the open
      }));
      reader = start_shell(dir / "run", "cat rohr > gelesen");
    }
    const run_result r = finish(s, std::chrono::seconds(30));
    int reader_status = 0;
    waitpid(reader, &reader_status, 0);
    EXPECT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(size_on_disk(dir / "run" / "out.txt"), 20000u);
    EXPECT_TRUE(file_text("gelesen") == expected) << file_text("gelesen").size();
  }
  std::string program = program_on_a_fifo(false, 3000);
  program.replace(program.find("@0006 rohr|"), 11, "@0006 /dev/null|");
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary) << program;
  const run_result r = finish(start({"PROG.PXB"}), std::chrono::seconds(30));
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
}

// The run's own logs never hold it up: the error log PXBERROR.LOG (two WARNUNG lines of failed
// opens) and the dump log $PXBDUMP.LOG (the run started as "$PROG.PXB") as FIFOs that nobody
// reads: their lines are lost, the run goes on and ends with its own status (0).  Near it: with
// a reader, the reader gets every line, as the same run writes into a plain log file.
TEST_F(process_test, RunLogsOnAFifoNeverHoldTheRunUpAndAReaderGetsEveryLine) {
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
      << writing_program(3, "", "@0005 #3|\n@0006 fehlt.txt|\n@0007 fehlt-auch.txt|\n", {},
                         "/00000401 FILE @0005 @0006 %0001\n/00000401 FILE @0005 @0007 %0001\nQUIT\nQUIT\n");
  for (const char* log : {"PXBERROR.LOG", "$PXBDUMP.LOG"}) {
    SCOPED_TRACE(log);
    const fs::path path = dir / "run" / log;
    fs::remove(path);
    const run_result plain = run({"$PROG.PXB"});
    EXPECT_EQ(plain.status, 0) << plain.errors;
    const std::string lines = file_text(log);
    EXPECT_GE(std::count(lines.begin(), lines.end(), '\n'), 2) << lines;
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    for (const bool with_reader : {false, true}) {
      SCOPED_TRACE(with_reader ? "with a reader" : "without a reader");
      fs::remove(dir / "run" / "out.txt");
      // The reader has the FIFO open before the run starts and reads, as cat does, up to the first
      // end of file: the moment when no writer holds the FIFO open any more.
      const int reader = with_reader ? open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC) : -1;
      std::string read;
      std::atomic<bool> ended = false;
      std::thread reading([&] {
        bool written = false;  // a writer has come: 0 is now the end of file
        while (reader >= 0) {
          pollfd p{reader, POLLIN, 0};
          poll(&p, 1, 100);
          char buffer[4096];
          const ssize_t n = ::read(reader, buffer, sizeof buffer);
          if (n > 0) read.append(buffer, size_t(n));
          written = written || n != 0;
          if ((n == 0 && written) || (n <= 0 && ended)) return;
        }
      });
      const run_result r = finish(start({"$PROG.PXB"}), std::chrono::seconds(30));
      ended = true;
      reading.join();
      if (reader >= 0) close(reader);
      EXPECT_EQ(r.status, 0) << r.errors;
      EXPECT_EQ(size_on_disk(dir / "run" / "out.txt"), 300u);
      if (with_reader) {
        // The dump log's lines hold the time of day; their count and beginnings are compared.
        EXPECT_EQ(std::count(read.begin(), read.end(), '\n'), std::count(lines.begin(), lines.end(), '\n')) << read;
        EXPECT_EQ(read.substr(0, 7), lines.substr(0, 7)) << read;
      }
    }
    fs::remove(path);
  }
}

// Lines written just before a MOUSE pause of ten minutes are on disk while it lasts: a process
// killed outright meanwhile (as by a power loss) has them all.  They are read while the run is
// seen waiting in the pause, and the kill is what ends it.
TEST_F(process_test, LinesWrittenBeforeAPauseAreOnDiskWhileItLasts) {
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
      << writing_program(100, "#600000\n", "", {}, "/00000200 MOUSE %0004\nQUIT\n");
  const started s = start({"PROG.PXB"});
  EXPECT_TRUE(comes_true(s.child, [&] {
    const std::optional<int> timeout = blocking_wait_timeout(s.child);
    return timeout && *timeout > 0;  // the pause: a wait with a time-out
  }));
  EXPECT_EQ(size_on_disk(dir / "run" / "out.txt"), 10000u);
  kill(s.child, SIGKILL);
  EXPECT_EQ(finish(s).status, -1);  // ended by the kill, not by itself
}

// SIGTERM while the run waits in a call that blocks: a shell command (RUN 0x400), a program it
// started and waits for (RUN 0x200), a MOUSE pause, a SQL statement inside a transaction, a
// connect to a server that never answers, a print job whose PDF goes into a pipe that nobody
// reads.  The signal ends the wait and the run in order: the line written before is in its file,
// the transaction is rolled back (its lock is free again), the line after the call never runs,
// no failure of the call is reported, and the status is 128 + the signal's number.  The calls would each wait
// for minutes; the run is given half a minute.  The signal is sent once the run is seen in the
// call's wait (its main thread in a poll on the call's descriptor and the signals' pipe) and the
// call is seen under way (the command sleeping, the line before on disk, the statement in the
// server's process list, the connection made).
TEST_F(process_test, TerminationSignalEndsARunWaitingInABlockingCallBeforeItsNextLine) {
  const test_db_settings db = read_test_db_settings();
  if (!db.present) {
    if (database_tests_skipped()) GTEST_SKIP() << no_db_skip_message;
    FAIL() << no_db_failure_message;
  }
  // The private server, through the runtime's own client glue in this process.
  const auto connect_to_server = [&] {
    sqlc_connect_params params{.host = "127.0.0.1", .user = db.user, .password = db.password, .database = db.database};
    params.port = static_cast<uint32_t>(std::stoul(db.port));
    params.tcp = true;
    return sqlc_connect(params);
  };
  const auto on_server = [&](const std::vector<std::string>& statements) {
    int32_t status = connect_to_server();
    for (const std::string& statement : statements)
      if (status == 0) status = sqlc_query(0, statement);
    sqlc_close();
    return status;
  };
  // The rows that a query finds on the server, -1 where it fails.
  const auto rows_on_server = [&](const std::string& query) {
    int32_t rows = -1;
    if (connect_to_server() == 0 && sqlc_query(0, query) == 0 && sqlc_store_result(0) == 0) rows = sqlc_info(0).rows;
    sqlc_close();
    return rows;
  };
  const std::string table = "blocked_" + std::to_string(getpid());
  ASSERT_EQ(on_server({"DROP TABLE IF EXISTS " + table, "CREATE TABLE " + table + " (n INT PRIMARY KEY) ENGINE=InnoDB"}), 0);

  // A server that takes the connection and never says a word.
  const silent_server silent;
  ASSERT_FALSE(silent.port().empty());
  const std::string& silent_port = silent.port();

  std::ofstream(dir / "run" / "brief.frm", std::ios::binary) << "Rechnung\n";
  ASSERT_EQ(mkfifo((dir / "run" / "drucker").c_str(), 0600), 0);
  const std::string server = db.user + "%" + db.database + "@127.0.0.1:" + db.port + "/" + db.password;
  // The sleeping commands note their number, so that the test sees them sleep and ends them
  // afterwards.
  const std::string sleeper = "echo $$ > sleeper.pid; exec sleep 300 2>/dev/null";
  const auto sleeper_sleeps = [&] {
    const std::string pid = file_text("sleeper.pid");
    std::ifstream comm("/proc/" + (pid.empty() ? std::string("0") : pid.substr(0, pid.find('\n'))) + "/comm");
    std::string name;
    return std::getline(comm, name) && name == "sleep";
  };
  // The program's connection to the silent server is made (its backlog holds it).
  const auto connected_to_silent = [&] {
    char port[8];
    std::snprintf(port, sizeof port, ":%04X", std::stoi(silent_port));
    std::ifstream tcp("/proc/net/tcp");
    for (std::string line; std::getline(tcp, line);) {
      std::istringstream fields(line);
      std::string slot, local, remote, state;
      if (fields >> slot >> local >> remote >> state && remote.ends_with(port) && state == "01") return true;
    }
    return false;
  };
  struct blocking_case {
    std::string name, setup, call, text;
    std::map<std::string, std::string> env;
    std::function<bool()> started;  // what shows that the call has begun
    bool timed;  // the call's wait shows by its time-out (the pause; the pipe's open tried again)
  };
  const auto line_before_on_disk = [&] { return file_text("out.txt") == "vor dem Warten\n"; };
  const blocking_case cases[] = {
      {"shell command", "", "/00000400 RUN @0006", sleeper, {}, sleeper_sleeps, false},
      {"started program", "", "/00000200 RUN @0006", "sh -c \"" + sleeper + "\"", {}, sleeper_sleeps, false},
      {"MOUSE pause", "", "/00000200 MOUSE %0002", "", {}, line_before_on_disk, true},
      {"SQL statement in a transaction",
       "/00000001 SQL @0007\nSQL @0008\nSQL @0009\n", "SQL @0006", "SELECT SLEEP(300), " + std::to_string(getpid()) + ";", {},
       // The statement carries this test's number, so that another test process's is not taken for it.
       [&] { return rows_on_server("SELECT ID FROM information_schema.PROCESSLIST WHERE INFO LIKE 'SELECT SLEEP(300), " + std::to_string(getpid()) + "%'") > 0; },
       false},
      {"connect to a silent server", "", "/00000001 SQL @0006", "u%db@127.0.0.1:" + silent_port + "/pw", {},
       connected_to_silent, false},
      // The pipe's open is tried again and again, with a short wait in between.
      {"print job into a pipe without a reader", "", "PRINT @0006", "brief",
       {{"WINKYR_PRINT_PDF", (dir / "run" / "drucker").string()}}, [] { return true; }, true},
  };
  for (const blocking_case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* name : {"out.txt", "ready", "after", "sleeper.pid"}) fs::remove(dir / "run" / name);
    const std::string setup_codes = c.setup + "/00000001 FILE @0001 @0002 %0001\n/00000400 RUN @0004\n";
    std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
        << "[PROC]\n[INIT]\nCODES=12\nUPNCODES=4\nUPNTOKENS=20\nTEXTTOKENS=10\nTEXTCHARACTERS=600\n"
           "VARIABLES=2\nSTRINGSPACE=100\nADRSPACE=10\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#0\n#300000\n"
           "[TEXTTOKENS]\n@0001 #1|\n@0002 out.txt|\n@0003 vor dem Warten|\n@0004 touch ready|\n@0005 touch after|\n"
           "@0006 " << c.text << "|\n@0007 " << server << "|\n@0008 START TRANSACTION;|\n@0009 INSERT INTO "
        << table << " VALUES (7);|\n[LABELS]\n[CODES]\n"
        << setup_codes << "/00001000 FILE @0001 @0003\n" << c.call << "\n/00000400 RUN @0005\nQUIT\nQUIT\n";
    const started s = start({"PROG.PXB"}, c.env);
    EXPECT_TRUE(wait_for_file("ready"));
    // The signal comes while the run is seen waiting in the call, with the line before on disk.
    EXPECT_TRUE(comes_true(s.child, [&] {
      if (!c.started() || !line_before_on_disk()) return false;
      const std::optional<int> timeout = blocking_wait_timeout(s.child);
      return timeout && (!c.timed || *timeout > 0);
    }));
    kill(s.child, SIGTERM);
    const run_result r = finish(s, std::chrono::seconds(30));
    EXPECT_EQ(r.status, 128 + SIGTERM);
    for (const char* report : {"-KYR-ERROR", "-ABBRUCH:", "-WARNUNG:cannot", "SQL", "SLEEP"})
      EXPECT_EQ(r.errors.find(report), std::string::npos) << r.errors;
    EXPECT_EQ(file_text("out.txt"), "vor dem Warten\n");
    EXPECT_FALSE(fs::exists(dir / "run" / "after"));
    if (const std::string pid = file_text("sleeper.pid"); !pid.empty()) kill(std::stoi(pid), SIGKILL);
  }
  // The program's transaction is gone with its lock: the same key goes in (waiting for the lock
  // as long as the server would need to notice a client that went away).
  EXPECT_EQ(on_server({"SET SESSION innodb_lock_wait_timeout = 20", "INSERT INTO " + table + " VALUES (7)"}), 0);
  on_server({"DROP TABLE " + table});
}

// A run that ends while its statement waits on the server for a row lock that another client
// holds leaves nothing waiting there: the statement is killed through a connection of its own
// before the process leaves, so that the row the program locked earlier in its transaction is
// free at once (a client asking for it with a lock wait of 2 s gets it, where the left statement
// would hold it for the server's 50 s).  The same through TCP and through the local socket, for an
// account that may hold no more connections than the program's four (the kill goes through one
// of them; where the server has closed them all, through one of its own), and for the program's
// own lock wait time-out (1205), which is reported and ends the run with 1.
TEST_F(process_test, RunEndingWhileItsStatementWaitsOnALockFreesTheProgramsLocksAtOnce) {
  const test_db_settings db = read_test_db_settings();
  if (!db.present) {
    if (database_tests_skipped()) GTEST_SKIP() << no_db_skip_message;
    FAIL() << no_db_failure_message;
  }
  // The test's own connections, through the runtime's glue in this process and the same way as
  // the program's (the test's account sees the statements of every account): slot 0 holds
  // row 1, slot 1 asks for row 2, slot 2 watches the server's process list.
  const auto connect_as = [&](bool tcp) {
    sqlc_connect_params params{.host = tcp ? "127.0.0.1" : "localhost", .user = db.user,
                               .password = db.password, .database = db.database};
    params.port = static_cast<uint32_t>(std::stoul(db.port));
    params.tcp = tcp;
    return sqlc_connect(params);
  };
  // The statement's status; its rows, where it gives any, are kept (sqlc_info).
  const auto on = [](int32_t slot, const std::string& statement) {
    const int32_t status = sqlc_query(slot, statement);
    if (status == 0) sqlc_store_result(slot);
    return status;
  };
  const std::string table = "locked_" + std::to_string(getpid());
  ASSERT_EQ(connect_as(true), 0);
  ASSERT_EQ(on(0, "DROP TABLE IF EXISTS " + table), 0);
  ASSERT_EQ(on(0, "CREATE TABLE " + table + " (n INT PRIMARY KEY, v INT) ENGINE=InnoDB"), 0);
  ASSERT_EQ(on(0, "INSERT INTO " + table + " VALUES (1, 0), (2, 0)"), 0);

  const char* four_user = std::getenv("WINKYR_TEST_DB_FOUR_USER");
  ASSERT_NE(four_user, nullptr) << "WINKYR_TEST_DB_FOUR_USER is not set";
  struct lock_case {
    std::string name;
    bool tcp;
    std::string before;  // a statement the program runs first
    bool signal;
    std::string user;    // the program's account
    bool idle_closed = false;  // the server closes the program's idle connections before the signal
  };
  const lock_case cases[] = {
      {"SIGTERM, TCP", true, "DO 1;", true, db.user},
      {"SIGTERM, local socket", false, "DO 1;", true, db.user},
      {"SIGTERM, account of four connections", true, "DO 1;", true, four_user},
      {"SIGTERM, idle connections closed by the server", true, "DO 1;", true, four_user, true},
      {"own lock wait time-out", false, "SET SESSION innodb_lock_wait_timeout = 1;", false, db.user},
  };
  for (const lock_case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* name : {"ready", "after"}) fs::remove(dir / "run" / name);
    ASSERT_EQ(connect_as(c.tcp), 0);
    ASSERT_EQ(on(1, "SET SESSION innodb_lock_wait_timeout = 2"), 0);
    ASSERT_EQ(on(0, "START TRANSACTION"), 0);
    ASSERT_EQ(on(0, "SELECT v FROM " + table + " WHERE n = 1 FOR UPDATE"), 0);
    // The statement that waits names this test's table, so that another test process's is not
    // taken for it.
    const std::string waiting = "UPDATE " + table + " SET v = v + 1 WHERE n = 1";
    const std::string server = c.user + "%" + db.database + (c.tcp ? "@127.0.0.1:" + db.port : "@localhost") +
                               "/" + db.password;
    std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
        << "[PROC]\n[INIT]\nCODES=12\nUPNCODES=5\nUPNTOKENS=8\nTEXTTOKENS=8\nTEXTCHARACTERS=600\n"
           "VARIABLES=1\nSTRINGSPACE=10\nADRSPACE=4\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#0\n#1\n#2\n#3\n"
           "[TEXTTOKENS]\n@0001 " << server << "|\n@0002 START TRANSACTION;|\n@0003 UPDATE " << table
        << " SET v = v + 1 WHERE n = 2;|\n@0004 touch ready|\n@0005 " << waiting << ";|\n@0006 touch after|\n"
           "@0007 " << c.before << "|\n@0008 " << (c.idle_closed ? "SET SESSION wait_timeout = 1;" : "DO 1;")
        << "|\n[LABELS]\n[CODES]\n"
           "/00000001 SQL %0001 @0001\nSQL %0001 @0007\nSQL %0002 @0008\nSQL %0003 @0008\nSQL %0004 @0008\n"
           "SQL %0001 @0002\nSQL %0001 @0003\n/00000400 RUN @0004\nSQL %0001 @0005\n/00000400 RUN @0006\nQUIT\n";
    const started s = start({"PROG.PXB"});
    EXPECT_TRUE(wait_for_file("ready"));
    if (c.signal) {
      // The signal comes while the run waits for the statement, which the server shows waiting.
      EXPECT_TRUE(comes_true(s.child, [&] {
        const std::string query = "SELECT ID FROM information_schema.PROCESSLIST WHERE INFO LIKE '" + waiting + "%'";
        return on(2, query) == 0 && sqlc_info(2).rows > 0 && blocking_wait_timeout(s.child).has_value();
      }));
      // The server closes the idle connections of slots 1-3 after their wait time-out of 1 s.
      if (c.idle_closed) {
        EXPECT_TRUE(comes_true(s.child, [&] {
          return on(2, "SELECT ID FROM information_schema.PROCESSLIST WHERE USER = '" + c.user +
                           "' AND COMMAND = 'Sleep'") == 0 && sqlc_info(2).rows == 0;
        }));
      }
      kill(s.child, SIGTERM);
    }
    const run_result r = finish(s, std::chrono::seconds(30));
    EXPECT_EQ(r.status, c.signal ? 128 + SIGTERM : 1) << r.errors;
    if (!c.signal) {
      EXPECT_NE(r.errors.find("SQL-error Nr: 1205"), std::string::npos) << r.errors;
    }
    EXPECT_FALSE(fs::exists(dir / "run" / "after"));
    // The row the program updated is free, while the test still holds row 1.
    EXPECT_EQ(on(1, "SELECT v FROM " + table + " WHERE n = 2 FOR UPDATE"), 0) << sqlc_last_error(1).text;
    EXPECT_EQ(on(1, "ROLLBACK"), 0);
    EXPECT_EQ(on(0, "ROLLBACK"), 0);
  }
  // Nothing of the program's transactions was committed.
  EXPECT_EQ(on(0, "SELECT n FROM " + table + " WHERE v <> 0"), 0);
  EXPECT_EQ(sqlc_info(0).rows, 0);
  on(0, "DROP TABLE " + table);
  sqlc_close();
}

// The kill of a statement left running gives up in bounded time where the server has stopped
// answering: the program reaches the server through a relay that carries its four connections
// until it is frozen while the statement runs, and leaves every later one (a kill connection of
// its own) unanswered; SIGTERM during the program's statement still ends the run, with 128 + the
// signal's number.
TEST_F(process_test, KillOfALeftStatementGivesUpAtAServerThatNeverAnswers) {
  const test_db_settings db = read_test_db_settings();
  if (!db.present) {
    if (database_tests_skipped()) GTEST_SKIP() << no_db_skip_message;
    FAIL() << no_db_failure_message;
  }
  relay_server relay(static_cast<uint16_t>(std::stoul(db.port)), sqlc_slot_count);
  ASSERT_FALSE(relay.port().empty());
  sqlc_connect_params params{.host = "127.0.0.1", .user = db.user, .password = db.password, .database = db.database};
  params.port = static_cast<uint32_t>(std::stoul(db.port));
  params.tcp = true;
  ASSERT_EQ(sqlc_connect(params), 0);
  const std::string sleeping = "SELECT SLEEP(300), " + std::to_string(getpid()) + " AS relayed";
  const std::string find = "SELECT ID FROM information_schema.PROCESSLIST WHERE INFO LIKE '" + sleeping + "%'";
  const auto statement_runs = [&] {
    return sqlc_query(0, find) == 0 && sqlc_store_result(0) == 0 && sqlc_info(0).rows > 0;
  };
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
      << "[PROC]\n[INIT]\nCODES=6\nUPNCODES=2\nUPNTOKENS=4\nTEXTTOKENS=4\nTEXTCHARACTERS=400\n"
         "VARIABLES=1\nSTRINGSPACE=10\nADRSPACE=4\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#0\n"
         "[TEXTTOKENS]\n@0001 " << db.user << "%" << db.database << "@127.0.0.1:" << relay.port() << "/"
      << db.password << "|\n@0002 " << sleeping << ";|\n@0003 touch after|\n[LABELS]\n[CODES]\n"
         "/00000001 SQL %0001 @0001\nSQL %0001 @0002\n/00000400 RUN @0003\nQUIT\n";
  const started s = start({"PROG.PXB"});
  EXPECT_TRUE(comes_true(s.child, [&] { return statement_runs() && blocking_wait_timeout(s.child).has_value(); }));
  relay.freeze();
  kill(s.child, SIGTERM);
  const run_result r = finish(s, std::chrono::seconds(30));
  EXPECT_EQ(r.status, 128 + SIGTERM) << r.errors;
  EXPECT_FALSE(fs::exists(dir / "run" / "after"));
  // The statement the kill could not reach is ended here.
  if (statement_runs() && sqlc_fetch_row(0) == 0) sqlc_query(1, "KILL " + std::string(sqlc_get_text(0, 1)));
  sqlc_close();
}

// A failed statement ends the run in bounded time where the server has stopped answering: the
// failure route's rollback of every slot gives up as the kill does, and the run ends with 1 and
// the failure's lines.  The program reaches the server through a relay that is frozen while the
// program waits for the test; its next statement is refused before it is sent (a macro argument
// too long), so that nothing but the failure route talks to the server.
TEST_F(process_test, FailedStatementEndsTheRunWhereTheServerStoppedAnswering) {
  const test_db_settings db = read_test_db_settings();
  if (!db.present) {
    if (database_tests_skipped()) GTEST_SKIP() << no_db_skip_message;
    FAIL() << no_db_failure_message;
  }
  relay_server relay(static_cast<uint16_t>(std::stoul(db.port)), sqlc_slot_count);
  ASSERT_FALSE(relay.port().empty());
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
      << "[PROC]\n[INIT]\nCODES=7\nUPNCODES=2\nUPNTOKENS=4\nTEXTTOKENS=6\nTEXTCHARACTERS=600\n"
         "VARIABLES=1\nSTRINGSPACE=10\nADRSPACE=4\n[VARIABLES]\n&0001 I 0001:I/0\n[UPNCODES]\n#0\n"
         "[TEXTTOKENS]\n@0001 " << db.user << "%" << db.database << "@127.0.0.1:" << relay.port() << "/"
      << db.password << "|\n@0002 START TRANSACTION;|\n@0003 touch ready|\n"
         "@0004 sh -c \"while [ ! -e go ]; do sleep 0.05; done\"|\n"
         "@0005 SELECT D$KYR2SQL('" << std::string(40, '1') << "');|\n@0006 touch after|\n[LABELS]\n[CODES]\n"
         "/00000001 SQL %0001 @0001\nSQL %0001 @0002\n/00000400 RUN @0003\n/00000400 RUN @0004\n"
         "SQL %0001 @0005\n/00000400 RUN @0006\nQUIT\n";
  const started s = start({"PROG.PXB"});
  EXPECT_TRUE(wait_for_file("ready"));
  relay.freeze();
  std::ofstream(dir / "run" / "go") << "";
  const run_result r = finish(s, std::chrono::seconds(30));
  EXPECT_EQ(r.status, 1) << r.errors;
  EXPECT_NE(r.errors.find("ABBRUCH:SQL-Datumsmakro: Argument zu lang"), std::string::npos) << r.errors;
  EXPECT_EQ(r.errors.find(db.password), std::string::npos) << r.errors;
  EXPECT_FALSE(fs::exists(dir / "run" / "after"));
}

// A second signal ends the process at once, also while the end that the first began hangs: here
// the print job's PDF goes into a pipe whose reader takes nothing (its buffer holds less than the
// document), so the first SIGTERM's end waits in the write; SIGINT then ends the process with
// 128 + its number.
TEST_F(process_test, SecondSignalEndsTheProcessWhileTheFirstOnesEndHangs) {
  std::ofstream form(dir / "run" / "brief.frm", std::ios::binary);
  for (int line = 1; line <= 40; ++line) form << "Rechnung Zeile " << line << "\n";
  form.close();
  const fs::path pipe = dir / "run" / "drucker";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  const int reader = open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(fcntl(reader, F_SETPIPE_SZ, 4096), 4096);
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
      << writing_program(100, "", "@0005 brief|\n", {"PRINT @0005"}, "%0003\nJNZ :0006\nQUIT\n");
  const started s = start({"PROG.PXB"}, {{"WINKYR_PRINT_PDF", pipe.string()}});
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (file_text("out.txt").size() < 100 * 100 && std::chrono::steady_clock::now() < give_up)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  kill(s.child, SIGTERM);
  // The first end has filled the pipe and waits for the reader.
  int queued = 0;
  while (std::chrono::steady_clock::now() < give_up && (ioctl(reader, FIONREAD, &queued) != 0 || queued < 4096))
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(queued, 4096);
  kill(s.child, SIGINT);
  EXPECT_EQ(finish(s, std::chrono::seconds(30)).status, 128 + SIGINT);
  close(reader);
}

// A signal that the run inherits as ignored (SIGHUP under nohup, SIGINT of a shell script's
// background job) stays ignored: the run goes on through it and ends by the next SIGTERM.
TEST_F(process_test, SignalInheritedAsIgnoredStaysIgnored) {
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
      << writing_program(100, "", "", {}, "%0003\nJNZ :0005\nQUIT\n");
  for (const int signal_number : {SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal_number);
    fs::remove(dir / "run" / "out.txt");
    child_ignores = {signal_number};
    const started s = start({"PROG.PXB"});
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (file_text("out.txt").size() < 100 * 100 && std::chrono::steady_clock::now() < give_up)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(s.child, signal_number);
    // Sent together, SIGTERM's handler would run first; a run that the first signal ends
    // has ended by the time the second comes.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    kill(s.child, SIGTERM);
    EXPECT_EQ(finish(s).status, 128 + SIGTERM);
  }
}

// Under a file size limit ("ulimit -f"), with SIGXFSZ at its default action, every writer that
// passes it (the lines of a FILE unit, a PDF plot, a print job's PDF, a saved screen picture)
// fails with a WARNUNG naming the file and "File too large" (the error 27 that IOERROR gives),
// and the program goes on to its end; it lost lines, so it exits with 1.
TEST_F(process_test, FileSizeLimitFailsEachWriteWithAWarningAndTheProgramGoesOn) {
  std::ofstream(dir / "run" / "brief.frm", std::ios::binary) << "Rechnung\n";
  const std::string codes =
      "/00000001 PLOT %0004 @0005\n/00000020 PLOT @0006\n/00000002 PLOT\nPRINT @0007\n/00000800 PRINT @0007\n"
      "/00001080 FILE @0008 @0008 %0005\n/00000400 RUN @0009\nQUIT\n";
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary)
      << writing_program(100, "#43 #21 #29.7 #1\n#0 #0 #300 #200\n",
                         "@0005 plot.pdf|\n@0006 MOV 1,1|DRW 5,5|TXT hallo|\n@0007 brief|\n@0008 bild.bmp|\n"
                         "@0009 touch done|\n",
                         {}, codes);
  child_file_limit = 1024;
  const std::string pdf = (dir / "run" / "out.pdf").string();
  const run_result r = finish(start({"PROG.PXB"}, {{"WINKYR_PRINT_PDF", pdf}}));
  EXPECT_EQ(r.status, exit_error_end);
  EXPECT_TRUE(fs::exists(dir / "run" / "done"));
  const std::string log = file_text("PXBERROR.LOG");
  for (const std::string& file : {std::string("out.txt"), std::string("plot.pdf"), pdf, std::string("BILD.BMP")})
    EXPECT_NE(log.find("-WARNUNG:cannot write " + file + ": File too large\n"), std::string::npos) << file << "\n" << log;
}

// ---------------------------------------------------------------- saves onto what is no plain file

// A program of its own layout: two integer variables E and K (&0001, &0002), the given UPN codes
// from %0002 on, the given texts and codes.
std::string saving_program(const std::string& upn, const std::string& texts, const std::string& codes) {
  return "[PROC]\n[INIT]\nCODES=40\nUPNCODES=20\nUPNTOKENS=80\nTEXTTOKENS=30\nTEXTCHARACTERS=900\n"
         "VARIABLES=3\nSTRINGSPACE=100\nADRSPACE=10\n[VARIABLES]\n&0001 I 0001:E/0\n&0002 I 0001:K/0\n"
         "[UPNCODES]\n#0\n" + upn + "[TEXTTOKENS]\n" + texts + "[LABELS]\n[CODES]\n" + codes;
}

// The names in the folder, sorted.
std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The process's state letter (R, S, D, Z, ...) from /proc; '?' when it is gone.
char process_state(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() ? '?' : stat[close + 2];
}

// A list save (LSTMGR) and a SYSVAR copy onto a device node (the null device, the full device,
// made in the test's folder) and a named pipe that a reader reads, then a PDF plot into the pipe
// (a plot file is written with a seek back): the device and the pipe get the bytes, whole, and
// stay what they are; the full device refuses them (the WARNUNG naming it and "No space left on
// device", IOERROR 28; the copy answers -1).  Nothing is left beside them.  As root and as an
// unprivileged user (uid 65534).
TEST_F(process_test, SavesOntoADeviceOrAPipeWriteIntoItAndNeverReplaceIt) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make device nodes and to run as another user";
  const fs::path run_dir = dir / "run";
  if (mknod((run_dir / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
      mknod((run_dir / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "device nodes cannot be made here: " << std::strerror(errno);
  if (const int fd = open((run_dir / "null").c_str(), O_WRONLY | O_CLOEXEC); fd >= 0)
    close(fd);
  else
    GTEST_SKIP() << "device nodes cannot be opened in " << run_dir << ": " << std::strerror(errno);
  ASSERT_EQ(mkfifo((run_dir / "rohr.pdf").c_str(), 0666), 0);
  ASSERT_EQ(chmod((run_dir / "null").c_str(), 0666), 0);
  ASSERT_EQ(chmod((run_dir / "full").c_str(), 0666), 0);
  ASSERT_EQ(chmod((run_dir / "rohr.pdf").c_str(), 0666), 0);
  const std::string list = "3 1\neins\nzwei\ndrei\n", copied = "kopierte Zeile\n";
  std::ofstream(run_dir / "liste.txt", std::ios::binary) << list;
  std::ofstream(run_dir / "src.txt", std::ios::binary) << copied;
  std::string texts = "@0001 #1|\n@0002 out.txt|\n@0003 liste.txt|\n@0004 copy|\n@0005 MOV 1,1|DRW 5,5|\n"
                      "@0006 plot \xFA" "0001|\n";
  std::string upn = "#1 #20 #0\n_IOERROR &1 __STO\n#43 #21 #29.7 #1\n";
  std::string codes = "/00000001 FILE @0001 @0002 %0001\n/00002020 LSTMGR @0003 %0002\n";
  // Per target from text @0007 on: its name, the copy's argument, the lines that note IOERROR after
  // the list save and the copy's answer; the copy's expression from %0005 on.
  const auto token = [](int n) { return (n < 10 ? "@000" : "@00") + std::to_string(n); };
  const std::string targets[] = {"null", "full", "rohr.pdf"};
  for (int i = 0; i < 3; ++i) {
    const std::string& t = targets[i];
    const int at = 7 + 4 * i;
    texts += token(at) + " " + t + "|\n" + token(at + 1) + " src.txt " + t + "|\n" + token(at + 2) + " list " + t +
             " \xFA" "0001|\n" + token(at + 3) + " copy " + t + " \xFA" "0002|\n";
    upn += "@0004 " + token(at + 1) + " _SYSVAR &2 __STO\n";
    codes += "/00001020 LSTMGR " + token(at) + " %0002\n%0003\n/00001000 FILE @0001 " + token(at + 2) + "\n%000" +
             std::to_string(5 + i) + "\n/00001000 FILE @0001 " + token(at + 3) + "\n";
  }
  codes += "/00000001 PLOT %0004 " + token(7 + 4 * 2) + "\n/00000020 PLOT @0005\n/00000002 PLOT\n%0003\n"
           "/00001000 FILE @0001 @0006\nQUIT\nQUIT\n";
  std::ofstream(run_dir / "PROG.PXB", std::ios::binary) << saving_program(upn, texts, codes);
  const std::vector<std::string> files_before = names_in(run_dir);

  for (const uid_t user : {uid_t(0), uid_t(65534)}) {
    SCOPED_TRACE(user);
    for (const char* name : {"out.txt", "PXBERROR.LOG"}) fs::remove(run_dir / name);
    if (user != 0) {
      ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
      fs::create_directories(dir / "xdg");
      for (const char* own : {"run", "xdg"}) ASSERT_EQ(chown((dir / own).c_str(), user, user), 0);
    }
    run_as = user;
    // The pipe's reader, open all along: it reads until the run has ended.
    const int pipe_end = open((run_dir / "rohr.pdf").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(pipe_end, 0);
    std::string read_through;
    std::atomic<bool> ended = false;
    std::thread reader([&] {
      for (;;) {
        const bool last = ended;  // what is read after the end is what the pipe still holds
        char buffer[4096];
        for (ssize_t n; (n = read(pipe_end, buffer, sizeof buffer)) > 0;) read_through.append(buffer, size_t(n));
        if (last) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
    const run_result r = run({"PROG.PXB"});
    ended = true;
    reader.join();
    close(pipe_end);
    run_as = 0;
    EXPECT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(file_text("out.txt"), "list null 0\ncopy null 0\nlist full 28\ncopy full -1\nlist rohr.pdf 0\n"
                                    "copy rohr.pdf 0\nplot 0\n");
    EXPECT_NE(r.errors.find("-WARNUNG:cannot write full: No space left on device\n"), std::string::npos) << r.errors;
    // The list, the copy, then the plot, each whole.
    EXPECT_TRUE(read_through.starts_with(list + copied + "%PDF") && read_through.ends_with("%%EOF\n")) << read_through;
    struct stat st {};
    ASSERT_EQ(lstat((run_dir / "null").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(lstat((run_dir / "full").c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    ASSERT_EQ(lstat((run_dir / "rohr.pdf").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    std::vector<std::string> expected = files_before;
    for (const char* made : {"PXBERROR.LOG", "out.txt"}) expected.push_back(made);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names_in(run_dir), expected);
  }
}

// Two runs of a plain user save a list each into one file that the user may write in a folder the
// user may not, so that each writes the file in place under an exclusive lock on it.  The first is
// stopped in the middle of its copy: the lock is held (the test cannot take it), and the second,
// started then, waits for it and writes nothing; let go on, the first ends, then the second writes
// its list, whole, into the same file.  Under root, root's two runs then save into it by the
// rename, one list or the other whole.
TEST_F(process_test, TwoRunsSavingOneFileInPlaceTakeItsLockInTurnAndLeaveOneListWhole) {
  constexpr int rows = 1000000;  // 16 MB: a copy that can be stopped in its middle
  const fs::path target = dir / "ausgabe" / "liste.lst";
  fs::create_directories(dir / "ausgabe");
  std::ofstream(target, std::ios::binary) << "alt\n";
  std::map<std::string, std::string> lists;
  std::vector<fs::path> given{target};
  for (const char* name : {"A", "B"}) {
    std::string text = std::to_string(rows) + " 1\n";
    text.reserve(rows * 16 + 16);
    for (int r = 0; r < rows; ++r) text += std::string(15, name[0] == 'A' ? 'a' : 'b') + "\n";
    lists[name] = text;
    const std::string n(name);
    std::ofstream(dir / "run" / (n + ".TXT"), std::ios::binary) << text;
    std::ofstream(dir / "run" / (n + ".PXB"), std::ios::binary)
        << saving_program("#1 #20 #0\n", "@0001 " + n + ".TXT|\n@0002 ..\\ausgabe\\liste.lst|\n",
                          "/00002020 LSTMGR @0001 %0002\n/00001020 LSTMGR @0002 %0002\nQUIT\nQUIT\n");
    fs::create_directories(dir / ("tmp" + n));
    for (const fs::path& p : {dir / "run" / (n + ".TXT"), dir / "run" / (n + ".PXB"), dir / ("tmp" + n)}) given.push_back(p);
  }
  const uid_t user = plain_user();
  give_to(user, given);
  read_only(dir / "ausgabe");
  const auto start_saving = [&](const std::string& name) {
    const uid_t as = run_as;
    const started s = start({name + ".PXB"}, {{"TMPDIR", (dir / ("tmp" + name)).string()}});
    run_as = as;
    return s;
  };
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  // The first run is stopped as soon as the file's length changes (its copy has begun); where it
  // had written the whole list by then, it runs to its end and the round is tried again.
  started a;
  std::string caught;
  bool stopped_in_copy = false;
  for (int round = 0; round < 5 && !stopped_in_copy && std::chrono::steady_clock::now() < give_up; ++round) {
    std::ofstream(target, std::ios::binary | std::ios::trunc) << "alt\n";
    a = start_saving("A");
    ASSERT_GE(a.child, 0);
    struct stat st {};
    for (long looks = 0;; ++looks) {
      if (stat(target.c_str(), &st) == 0 && st.st_size != 4) {
        kill(a.child, SIGSTOP);
        break;
      }
      if (looks % 4096 == 0 && (std::chrono::steady_clock::now() > give_up || process_state(a.child) == 'Z')) break;
    }
    while (process_state(a.child) != 'T' && process_state(a.child) != 'Z' && std::chrono::steady_clock::now() < give_up)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    caught = file_text("../ausgabe/liste.lst");
    stopped_in_copy = process_state(a.child) == 'T' && caught != lists["A"] && caught != "alt\n";
    if (!stopped_in_copy) {
      kill(a.child, SIGCONT);
      EXPECT_EQ(finish(a).status, 0);
    }
  }
  ASSERT_TRUE(stopped_in_copy) << "the first run was never stopped within its copy";
  const int probe = open(target.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(probe, 0);
  EXPECT_NE(flock(probe, LOCK_EX | LOCK_NB), 0) << "the lock is free in the middle of the copy";
  close(probe);
  // The second run makes its list whole in its temporary folder and sleeps: it waits for the lock.
  // (A run that takes no lock has written the file and gone on or ended by then.)
  const started b = start_saving("B");
  bool seen_whole = false;
  while (std::chrono::steady_clock::now() < give_up) {
    uintmax_t aside = 0;
    for (const auto& entry : fs::directory_iterator(dir / "tmpB")) aside = std::max(aside, size_on_disk(entry.path()));
    const char state = process_state(b.child);
    if (state == 'Z' || state == '?' || (seen_whole && aside == 0)) break;
    seen_whole = aside == lists["B"].size();
    if (seen_whole && state == 'S') break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(file_text("../ausgabe/liste.lst") == caught) << "the second run wrote while the first held the lock";
  kill(a.child, SIGCONT);
  for (const auto& [name, s] : std::map<std::string, started>{{"A", a}, {"B", b}}) {
    const run_result r = finish(s);
    EXPECT_EQ(r.status, 0) << name << ": " << r.errors;
    EXPECT_TRUE(fs::is_empty(dir / ("tmp" + name)));
  }
  const std::string saved = file_text("../ausgabe/liste.lst");
  EXPECT_TRUE(saved == lists["B"]) << saved.size() << " bytes, " << std::count(saved.begin(), saved.end(), 'a') / 15
                                   << " rows of a";
  struct stat st {};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, user);  // the same file, written in place
  if (geteuid() != 0) return;

  // Root may write the folder: its two runs put their files in place by renaming them, one after
  // the other, and the file is one list or the other, whole, as well.
  run_as = 0;
  fs::create_directories(dir / "xdg-root");
  fs::permissions(dir / "xdg-root", fs::perms::owner_all, fs::perm_options::replace);
  std::map<std::string, started> runs;
  for (const char* name : {"A", "B"})
    runs[name] = start({std::string(name) + ".PXB"}, {{"XDG_RUNTIME_DIR", (dir / "xdg-root").string()}});
  for (auto& [name, s] : runs) EXPECT_EQ(finish(s).status, 0) << name;
  const std::string saved_by_root = file_text("../ausgabe/liste.lst");
  EXPECT_TRUE(saved_by_root == lists["A"] || saved_by_root == lists["B"]) << saved_by_root.size() << " bytes";
}

// A PDF plot open on an existing whole file while the program runs a shell command (RUN 0x400):
// the command finds the old file (the plot is not put in its place before its end), and the plot
// ends complete.
TEST_F(process_test, ShellCommandWhileAPlotIsOpenSeesTheOldFile) {
  const std::string old_file = "%PDF-1.4\nder alte Plot\n%%EOF\n";
  std::ofstream(dir / "run" / "plot.pdf", std::ios::binary) << old_file;
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary) << saving_program(
      "#43 #21 #29.7 #1\n", "@0001 plot.pdf|\n@0002 MOV 1,1|DRW 5,5|TXT hallo|\n@0003 cp plot.pdf seen.pdf|\n",
      "/00000001 PLOT %0002 @0001\n/00000020 PLOT @0002\n/00000400 RUN @0003\n/00000002 PLOT\nQUIT\nQUIT\n");
  const run_result r = run({"PROG.PXB"});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(file_text("seen.pdf"), old_file);
  std::string out;
  EXPECT_EQ(run_reader(dir, "qpdf --check '" + (dir / "run" / "plot.pdf").string() + "'", out), 0) << out;
}

// A forced end (a second termination signal) while the run waits in a shell command with a PDF
// plot and a print job open: the plot's file beside its name, the print job's claimed name and
// its file beside it, and the print writer's file in the temporary folder (the job's folder has a
// name that is not UTF-8, which the writer cannot name) are all removed; nothing of the run stays.
TEST_F(process_test, SecondSignalRemovesWhatOnlyTheRunMade) {
  std::ofstream(dir / "run" / "brief.frm", std::ios::binary) << "Rechnung\n";
  std::ofstream(dir / "run" / "kopf.frm", std::ios::binary) << "Kopfzeile\n$CONT\n";
  const fs::path pdf_folder = dir / "aus\xE4gabe";
  fs::create_directories(pdf_folder);
  fs::create_directories(dir / "tmp");
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary) << saving_program(
      "#43 #21 #29.7 #1\n",
      "@0001 plot.pdf|\n@0002 MOV 1,1|DRW 5,5|\n@0003 brief|\n"
      "@0004 echo $$ > sleeper.pid; touch ready; exec sleep 300 2>/dev/null|\n@0005 kopf|\n",
      "/00000001 PLOT %0002 @0001\n/00000020 PLOT @0002\nPRINT @0003\nPRINT @0005\n/00000400 RUN @0004\nQUIT\nQUIT\n");
  const started s = start({"PROG.PXB"}, {{"WINKYR_PRINT_PDF", pdf_folder.string() + "/"}, {"TMPDIR", (dir / "tmp").string()}});
  ASSERT_TRUE(wait_for_file("ready"));
  const auto made_by_the_run = [&] {
    std::vector<std::string> made;
    for (const std::string& name : names_in(dir / "run"))
      if (name.starts_with(".") || name.starts_with("plot") || name.starts_with("$$temp$$")) made.push_back("run/" + name);
    for (const std::string& name : names_in(pdf_folder)) made.push_back("pdf/" + name);
    for (const std::string& name : names_in(dir / "tmp")) made.push_back("tmp/" + name);
    return made;
  };
  // While the command runs: the plot beside its name, the claimed name and the document beside
  // it, the writer's file, and the work file of a document that "$CONT" left open.
  const std::vector<std::string> open_files = made_by_the_run();
  EXPECT_EQ(open_files.size(), 5u);
  for (const char* kind : {"run/.plot.pdf.", "pdf/.Druckausgabe.pdf.", "pdf/Druckausgabe.pdf", "tmp/.winkyr-print-", "run/$$temp$$-"})
    EXPECT_EQ(std::count_if(open_files.begin(), open_files.end(), [&](const std::string& f) { return f.starts_with(kind); }), 1)
        << kind;
  // Stopped, it gets both signals before it runs on: the second ends it on the spot.
  kill(s.child, SIGSTOP);
  kill(s.child, SIGTERM);
  kill(s.child, SIGINT);
  kill(s.child, SIGCONT);
  const run_result r = finish(s);
  EXPECT_TRUE(r.status == 128 + SIGTERM || r.status == 128 + SIGINT) << r.status;
  if (const std::string pid = file_text("sleeper.pid"); !pid.empty()) kill(std::stoi(pid), SIGKILL);
  // The two signals may be taken on two threads of the process, and the first one's orderly end
  // may then finish a document before the second ends the process: what it put in place is
  // whole.  Nothing else stays: no file aside, no empty claim, no writer's file.
  for (const std::string& left : made_by_the_run()) {
    const std::string whole = left == "pdf/Druckausgabe.pdf" ? file_text("../" + pdf_folder.filename().string() + "/Druckausgabe.pdf")
                              : left == "run/plot.pdf"       ? file_text("plot.pdf")
                                                             : std::string();
    EXPECT_TRUE(whole.starts_with("%PDF") && whole.ends_with("%%EOF\n")) << left << " was left";
  }
}

// Saves whose content is made whole in the temporary folder, with TMPDIR naming a folder that does
// not exist: an in-place list save (a file the user may write in a folder the user may not), a
// SYSVAR copy and a PDF plot into a named pipe that a reader holds open.  Each is refused with a
// WARNUNG naming the missing temporary folder and its reason (the list save IOERROR 2, the copy
// -1, the plot's open then ends the run); the file and the pipe get nothing.  Under root, an
// in-place list save with TMPDIR on a full file system names that folder too.  As a plain user.
TEST_F(process_test, InPlaceSaveWithAMissingTemporaryFolderNamesThatFolder) {
  const fs::path target = dir / "ausgabe" / "liste.lst", run_dir = dir / "run";
  fs::create_directories(dir / "ausgabe");
  std::ofstream(target, std::ios::binary) << "alt\n";
  std::ofstream(run_dir / "A.TXT", std::ios::binary) << "1 1\nneu\n";
  ASSERT_EQ(mkfifo((run_dir / "rohr.pdf").c_str(), 0600), 0);
  std::ofstream(run_dir / "PROG.PXB", std::ios::binary)
      << saving_program("#1 #20 #0\n_IOERROR &1 __STO\n@0006 @0007 _SYSVAR &2 __STO\n#43 #21 #29.7 #1\n",
                        "@0001 A.TXT|\n@0002 ..\\ausgabe\\liste.lst|\n@0003 #1|\n@0004 out.txt|\n@0005 \xFA" "0001|\n"
                        "@0006 copy|\n@0007 A.TXT rohr.pdf|\n@0008 copy \xFA" "0002|\n@0009 rohr.pdf|\n",
                        "/00000001 FILE @0003 @0004 %0001\n/00002020 LSTMGR @0001 %0002\n"
                        "/00001020 LSTMGR @0002 %0002\n%0003\n/00001000 FILE @0003 @0005\n"
                        "%0004\n/00001000 FILE @0003 @0008\n/00000001 PLOT %0005 @0009\nQUIT\nQUIT\n");
  const uid_t user = plain_user();
  give_to(user, {target, run_dir / "rohr.pdf", run_dir / "A.TXT", run_dir / "PROG.PXB"});
  read_only(dir / "ausgabe");
  const int pipe_end = open((run_dir / "rohr.pdf").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(pipe_end, 0);
  const std::string missing = (dir / "fehlt").string();
  const run_result r = run({"PROG.PXB"}, {{"TMPDIR", missing}});
  char buffer[64];
  const ssize_t got = read(pipe_end, buffer, sizeof buffer);
  close(pipe_end);
  EXPECT_EQ(r.status, 1) << r.errors;
  const std::string named = ": temporary folder " + missing + ": No such file or directory\n";
  EXPECT_NE(r.errors.find("-WARNUNG:cannot write ..\\ausgabe\\liste.lst" + named), std::string::npos) << r.errors;
  const size_t copy_line = r.errors.find("-WARNUNG:cannot write rohr.pdf" + named);
  EXPECT_NE(copy_line, std::string::npos) << r.errors;
  EXPECT_NE(r.errors.find("-WARNUNG:cannot write rohr.pdf" + named, copy_line + 1), std::string::npos)
      << "the plot's line: " << r.errors;
  EXPECT_EQ(file_text("out.txt"), "2\ncopy -1\n");
  EXPECT_EQ(file_text("../ausgabe/liste.lst"), "alt\n");
  EXPECT_LE(got, 0);

  // A full temporary folder (a file system of 256 KB, where root may mount one) is named too.
  if (geteuid() != 0) return;
  const fs::path small = dir / "klein";
  fs::create_directories(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k,mode=0777") != 0)
    GTEST_SKIP() << "no file system can be mounted here: " << std::strerror(errno);
  std::string rows = "40000 1\n";
  for (int i = 0; i < 40000; ++i) rows += "zeile " + std::to_string(100000 + i) + " .\n";
  std::ofstream(run_dir / "B.TXT", std::ios::binary) << rows;
  std::ofstream(run_dir / "FULL.PXB", std::ios::binary)
      << saving_program("#1 #20 #0\n_IOERROR &1 __STO\n",
                        "@0001 B.TXT|\n@0002 ..\\ausgabe\\liste.lst|\n@0003 #1|\n@0004 out2.txt|\n@0005 \xFA" "0001|\n",
                        "/00000001 FILE @0003 @0004 %0001\n/00002020 LSTMGR @0001 %0002\n"
                        "/00001020 LSTMGR @0002 %0002\n%0003\n/00001000 FILE @0003 @0005\nQUIT\nQUIT\n");
  give_to(user, {run_dir / "B.TXT", run_dir / "FULL.PXB"});
  run_as = user;
  const run_result full = run({"FULL.PXB"}, {{"TMPDIR", small.string()}});
  const bool left_empty = fs::is_empty(small);
  umount2(small.c_str(), MNT_DETACH);
  EXPECT_EQ(full.status, 0) << full.errors;
  EXPECT_NE(full.errors.find("-WARNUNG:cannot write ..\\ausgabe\\liste.lst: temporary folder " + small.string() +
                             ": No space left on device\n"),
            std::string::npos)
      << full.errors;
  EXPECT_EQ(file_text("out2.txt"), "28\n");
  EXPECT_EQ(file_text("../ausgabe/liste.lst"), "alt\n");
  EXPECT_TRUE(left_empty);
}

// ---------------------------------------------------------------- a save writes only into the file it opened

// A shell command for RUN 0x400 that says it runs ("readyN") and waits (at most a minute) until
// the test has done its step ("goN").
std::string waiting_command(const std::string& n) {
  return "touch ready" + n + "; i=0; while [ ! -e go" + n + " ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done";
}

// A PDF plot open on a file that the user may write in a folder the user may not (written in
// place at the plot's end) has that file replaced by a link to another file of the user's while
// a shell command runs: the plot's end writes nothing (WARNUNG, IOERROR 40), the other file and
// the link stay as they were.  A PDF plot on a plain file of the user's folder (put in place by
// the rename) has that file replaced by a link to a pipe outside, which a reader holds open: the
// plot's end puts its file in the link's place, the pipe gets nothing.  As a plain user.
TEST_F(process_test, ASaveWritesOnlyIntoTheFileItOpened) {
  const fs::path run_dir = dir / "run", ro = dir / "ro", victim = dir / "victim";
  for (const fs::path& folder : {ro, victim, dir / "tmp"}) fs::create_directories(folder);
  std::ofstream(ro / "plot.pdf", std::ios::binary) << "alt\n";
  std::ofstream(victim / "passwd", std::ios::binary) << "geheim\n";
  std::ofstream(run_dir / "plot2.pdf", std::ios::binary) << "alt\n";
  ASSERT_EQ(mkfifo((victim / "rohr").c_str(), 0600), 0);
  std::ofstream(run_dir / "PROG.PXB", std::ios::binary) << saving_program(
      "_IOERROR &1 __STO\n#43 #21 #29.7 #1\n",
      "@0001 #1|\n@0002 out.txt|\n@0003 ..\\ro\\plot.pdf|\n@0004 MOV 1,1|DRW 5,5|\n@0005 " + waiting_command("1") +
          "|\n@0006 plot2.pdf|\n@0007 " + waiting_command("2") + "|\n@0008 eins \xFA" "0001|\n@0009 zwei \xFA" "0001|\n",
      "/00000001 FILE @0001 @0002 %0001\n"
      "/00000001 PLOT %0003 @0003\n/00000020 PLOT @0004\n/00000400 RUN @0005\n/00000002 PLOT\n%0002\n"
      "/00001000 FILE @0001 @0008\n"
      "/00000001 PLOT %0003 @0006\n/00000020 PLOT @0004\n/00000400 RUN @0007\n/00000002 PLOT\n%0002\n"
      "/00001000 FILE @0001 @0009\nQUIT\nQUIT\n");
  const uid_t user = plain_user();
  give_to(user, {ro / "plot.pdf", victim / "passwd", victim / "rohr", run_dir / "plot2.pdf", run_dir / "PROG.PXB", dir / "tmp"});
  read_only(ro);
  const started s = start({"PROG.PXB"}, {{"TMPDIR", (dir / "tmp").string()}});
  run_as = 0;
  ASSERT_TRUE(wait_for_file("ready1"));
  writable(ro);
  fs::remove(ro / "plot.pdf");
  fs::create_symlink("../victim/passwd", ro / "plot.pdf");
  read_only(ro);
  std::ofstream(run_dir / "go1").flush();
  ASSERT_TRUE(wait_for_file("ready2"));
  const int reader = open((victim / "rohr").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  fs::remove(run_dir / "plot2.pdf");
  fs::create_symlink("../victim/rohr", run_dir / "plot2.pdf");
  std::ofstream(run_dir / "go2").flush();
  const run_result r = finish(s);
  char buffer[4096];
  const ssize_t got = read(reader, buffer, sizeof buffer);
  close(reader);
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(file_text("out.txt"), "eins 40\nzwei 0\n");
  EXPECT_NE(r.errors.find("-WARNUNG:cannot write ..\\ro\\plot.pdf: Too many levels of symbolic links\n"), std::string::npos)
      << r.errors;
  EXPECT_EQ(file_text("../victim/passwd"), "geheim\n");
  EXPECT_TRUE(fs::is_symlink(ro / "plot.pdf"));
  EXPECT_LE(got, 0) << "the pipe outside got " << got << " bytes";
  EXPECT_FALSE(fs::is_symlink(run_dir / "plot2.pdf"));
  EXPECT_TRUE(file_text("plot2.pdf").starts_with("%PDF")) << file_text("plot2.pdf").substr(0, 20);
  EXPECT_TRUE(fs::is_empty(dir / "tmp"));
}

// A list save onto a named pipe that nobody reads waits for its reader; meanwhile the pipe is
// replaced by a link to a pipe outside the folder: the save never opens that one (nor waits for
// its reader), it ends at once (WARNUNG, IOERROR 40), and the link stays.  As a plain user.
TEST_F(process_test, ASaveWaitingForAPipesReaderNeverFollowsALinkPutInItsPlace) {
  const fs::path run_dir = dir / "run", victim = dir / "victim";
  fs::create_directories(victim);
  std::ofstream(run_dir / "liste.txt", std::ios::binary) << "3 1\neins\nzwei\ndrei\n";
  ASSERT_EQ(mkfifo((run_dir / "rohr.lst").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((victim / "rohr").c_str(), 0600), 0);
  std::ofstream(run_dir / "PROG.PXB", std::ios::binary) << saving_program(
      "#1 #20 #0\n_IOERROR &1 __STO\n", "@0001 #1|\n@0002 out.txt|\n@0003 liste.txt|\n@0004 rohr.lst|\n@0005 \xFA" "0001|\n",
      "/00000001 FILE @0001 @0002 %0001\n/00002020 LSTMGR @0003 %0002\n/00001020 LSTMGR @0004 %0002\n%0003\n"
      "/00001000 FILE @0001 @0005\nQUIT\nQUIT\n");
  const uid_t user = plain_user();
  give_to(user, {run_dir / "rohr.lst", victim / "rohr", run_dir / "liste.txt", run_dir / "PROG.PXB"});
  const started s = start({"PROG.PXB"});
  run_as = 0;
  EXPECT_TRUE(comes_true(s.child, [&] {
    const std::optional<int> timeout = blocking_wait_timeout(s.child);
    return timeout && *timeout > 0;  // the wait for the reader
  }));
  fs::remove(run_dir / "rohr.lst");
  fs::create_symlink("../victim/rohr", run_dir / "rohr.lst");
  const run_result r = finish(s, std::chrono::seconds(20));
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(file_text("out.txt"), "40\n");
  EXPECT_NE(r.errors.find("-WARNUNG:cannot write rohr.lst: Too many levels of symbolic links\n"), std::string::npos)
      << r.errors;
  EXPECT_TRUE(fs::is_symlink(run_dir / "rohr.lst"));
}

// A file under a read lease (as a file server holds one for a client that has the file open): a
// FILE unit opened on one and a list save onto another each wait until the holder, told to, gives
// its lease back, then write (IOERROR 0), as a blocking open waits for it.
TEST_F(process_test, AFileUnderALeaseIsWaitedForByAUnitAndASave) {
  const fs::path run_dir = dir / "run";
  const std::string list = "3 1\neins\nzwei\ndrei\n";
  std::ofstream(run_dir / "liste.txt", std::ios::binary) << list;
  std::ofstream(run_dir / "daten.txt", std::ios::binary) << "alt\n";
  std::ofstream(run_dir / "ziel.lst", std::ios::binary) << "alt\n";
  std::ofstream(run_dir / "PROG.PXB", std::ios::binary) << saving_program(
      "#1 #20 #0\n_IOERROR &1 __STO\n",
      "@0001 #1|\n@0002 out.txt|\n@0003 liste.txt|\n@0004 ziel.lst|\n@0005 #2|\n@0006 daten.txt|\n"
      "@0007 open \xFA" "0001|\n@0008 neue Zeile|\n@0009 save \xFA" "0001|\n",
      "/00000001 FILE @0001 @0002 %0001\n/00000401 FILE @0005 @0006 %0001\n%0003\n/00001000 FILE @0001 @0007\n"
      "/00001000 FILE @0005 @0008\n/00000002 FILE @0005\n/00002020 LSTMGR @0003 %0002\n/00001020 LSTMGR @0004 %0002\n"
      "%0003\n/00001000 FILE @0001 @0009\nQUIT\nQUIT\n");
  // The lease's break is told by SIGIO, which the test takes and leaves aside (a handler, not an
  // ignored signal, which the run would inherit): it looks at the lease instead.
  struct sigaction ignore {}, before {};
  ignore.sa_handler = [](int) {};
  ASSERT_EQ(sigaction(SIGIO, &ignore, &before), 0);
  std::vector<int> leased;
  for (const char* name : {"daten.txt", "ziel.lst"}) {
    const int fd = open((run_dir / name).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    leased.push_back(fd);
    if (fcntl(fd, F_SETLEASE, F_RDLCK) != 0) {
      for (const int held : leased) close(held);
      sigaction(SIGIO, &before, nullptr);
      GTEST_SKIP() << "no lease can be taken here: " << std::strerror(errno);
    }
  }
  std::atomic<bool> ended = false;
  int given_back = 0;
  std::thread holder([&] {
    // Each lease is given back once its holder is told to (its type then reads as F_UNLCK).
    while (!ended) {
      for (int& fd : leased)
        if (fd >= 0 && fcntl(fd, F_GETLEASE) == F_UNLCK) {
          fcntl(fd, F_SETLEASE, F_UNLCK);
          close(std::exchange(fd, -1));
          ++given_back;
        }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  const run_result r = finish(start({"PROG.PXB"}), std::chrono::seconds(30));
  ended = true;
  holder.join();
  for (const int fd : leased)
    if (fd >= 0) close(fd);
  sigaction(SIGIO, &before, nullptr);
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(file_text("out.txt"), "open 0\nsave 0\n");
  EXPECT_EQ(given_back, 2);
  EXPECT_EQ(file_text("daten.txt"), "neue Zeile\n");
  EXPECT_EQ(file_text("ziel.lst"), list);
}

// A list save, a SYSVAR copy and a PDF plot onto dangling links create the files they name (the
// links stay); a chain of two links to a file is saved through, twice (the file has the list, the
// links stay); a loop of two links is refused (WARNUNG, IOERROR 40, both links kept); a file the
// run has open in a FILE unit is saved.  Under root the file at the chain's end, another user's
// (0640), keeps its owner, group and mode.
TEST_F(process_test, SymbolicLinksAreSavedThroughAndAReplacedFileKeepsItsOwner) {
  const fs::path run_dir = dir / "run";
  fs::create_directories(run_dir / "echt");
  const std::string list = "3 1\neins\nzwei\ndrei\n", copied = "kopierte Zeile\n";
  std::ofstream(run_dir / "liste.txt", std::ios::binary) << list;
  std::ofstream(run_dir / "src.txt", std::ios::binary) << copied;
  std::ofstream(run_dir / "ziel.lst", std::ios::binary) << "alt\n";
  ASSERT_EQ(chmod((run_dir / "ziel.lst").c_str(), 0640), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown((run_dir / "ziel.lst").c_str(), other_user, other_user), 0);
  }
  const std::pair<const char*, const char*> links[] = {{"v1.out", "echt/neu1.out"}, {"v2.out", "echt/neu2.out"},
                                                        {"v3.pdf", "echt/neu3.pdf"}, {"a.lst", "b.lst"},
                                                        {"b.lst", "a.lst"},          {"k1.lst", "k2.lst"},
                                                        {"k2.lst", "ziel.lst"}};
  for (const auto& [name, to] : links) fs::create_symlink(to, run_dir / name);
  std::ofstream(run_dir / "PROG.PXB", std::ios::binary) << saving_program(
      "#1 #20 #0\n_IOERROR &1 __STO\n#43 #21 #29.7 #1\n@0004 @0006 _SYSVAR &2 __STO\n",
      "@0001 #1|\n@0002 out.txt|\n@0003 liste.txt|\n@0004 copy|\n@0005 v1.out|\n@0006 src.txt v2.out|\n@0007 v3.pdf|\n"
      "@0008 MOV 1,1|DRW 5,5|\n@0009 a.lst|\n@0010 k1.lst|\n@0011 list \xFA" "0001|\n@0012 copy \xFA" "0002|\n"
      "@0013 plot \xFA" "0001|\n@0014 loop \xFA" "0001|\n@0015 chain \xFA" "0001|\n@0016 #2|\n@0017 offen.lst|\n"
      "@0018 open \xFA" "0001|\n@0019 again \xFA" "0001|\n",
      "/00000001 FILE @0001 @0002 %0001\n/00002020 LSTMGR @0003 %0002\n"
      "/00001020 LSTMGR @0005 %0002\n%0003\n/00001000 FILE @0001 @0011\n"
      "%0005\n/00001000 FILE @0001 @0012\n"
      "/00000001 PLOT %0004 @0007\n/00000020 PLOT @0008\n/00000002 PLOT\n%0003\n/00001000 FILE @0001 @0013\n"
      "/00001020 LSTMGR @0009 %0002\n%0003\n/00001000 FILE @0001 @0014\n"
      "/00001020 LSTMGR @0010 %0002\n%0003\n/00001000 FILE @0001 @0015\n"
      "/00000001 FILE @0016 @0017 %0001\n/00001020 LSTMGR @0017 %0002\n%0003\n/00001000 FILE @0001 @0018\n"
      "/00001020 LSTMGR @0010 %0002\n%0003\n/00001000 FILE @0001 @0019\nQUIT\nQUIT\n");
  const run_result r = run({"PROG.PXB"});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(file_text("out.txt"), "list 0\ncopy 0\nplot 0\nloop 40\nchain 0\nopen 0\nagain 0\n");
  EXPECT_EQ(file_text("offen.lst"), list);  // a file the run has open in a unit
  EXPECT_NE(r.errors.find("-WARNUNG:cannot write a.lst: Too many levels of symbolic links\n"), std::string::npos) << r.errors;
  for (const auto& [name, to] : links) {
    EXPECT_TRUE(fs::is_symlink(run_dir / name)) << name;
    EXPECT_EQ(fs::read_symlink(run_dir / name), to) << name;
  }
  EXPECT_EQ(file_text("echt/neu1.out"), list);
  EXPECT_EQ(file_text("echt/neu2.out"), copied);
  EXPECT_TRUE(file_text("echt/neu3.pdf").starts_with("%PDF"));
  EXPECT_EQ(file_text("ziel.lst"), list);
  struct stat st {};
  ASSERT_EQ(stat((run_dir / "ziel.lst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  const uid_t owner = geteuid() == 0 ? other_user : geteuid();
  EXPECT_EQ(st.st_uid, owner);
  if (geteuid() == 0) {
    EXPECT_EQ(st.st_gid, other_user);
  }
  EXPECT_EQ(names_in(run_dir / "echt"), (std::vector<std::string>{"neu1.out", "neu2.out", "neu3.pdf"}));
}

// Root saves through links in a sticky folder that every user may write: another user's link there
// (to a file of root's outside) is not followed, as the system follows none such: the save is
// refused (WARNUNG, IOERROR 13), the file outside and the link stay.  Near it, root's own link
// there is saved through.
TEST_F(process_test, AnotherUsersLinkInASharedStickyFolderIsNotSavedThrough) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to make another user's link";
  const fs::path run_dir = dir / "run", shared = dir / "run" / "shared";
  fs::create_directories(shared);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  std::ofstream(dir / "passwd", std::ios::binary) << "geheim\n";
  std::ofstream(run_dir / "eigen.lst", std::ios::binary) << "alt\n";
  const std::string list = "3 1\neins\nzwei\ndrei\n";
  std::ofstream(run_dir / "liste.txt", std::ios::binary) << list;
  fs::create_symlink("../../passwd", shared / "fremd.lst");
  ASSERT_EQ(lchown((shared / "fremd.lst").c_str(), other_user, other_user), 0);
  fs::create_symlink("../eigen.lst", shared / "eigen.lst");
  std::ofstream(run_dir / "PROG.PXB", std::ios::binary) << saving_program(
      "#1 #20 #0\n_IOERROR &1 __STO\n",
      "@0001 #1|\n@0002 out.txt|\n@0003 liste.txt|\n@0004 shared/fremd.lst|\n@0005 shared/eigen.lst|\n"
      "@0006 fremd \xFA" "0001|\n@0007 eigen \xFA" "0001|\n",
      "/00000001 FILE @0001 @0002 %0001\n/00002020 LSTMGR @0003 %0002\n/00001020 LSTMGR @0004 %0002\n%0003\n"
      "/00001000 FILE @0001 @0006\n/00001020 LSTMGR @0005 %0002\n%0003\n/00001000 FILE @0001 @0007\nQUIT\nQUIT\n");
  const run_result r = run({"PROG.PXB"});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(file_text("out.txt"), "fremd 13\neigen 0\n");
  EXPECT_NE(r.errors.find("-WARNUNG:cannot write shared/fremd.lst: Permission denied\n"), std::string::npos) << r.errors;
  EXPECT_EQ(file_text("../passwd"), "geheim\n");
  EXPECT_TRUE(fs::is_symlink(shared / "fremd.lst"));
  EXPECT_EQ(file_text("eigen.lst"), list);
  EXPECT_TRUE(fs::is_symlink(shared / "eigen.lst"));
}

// A named pipe called ICON.LIB where the icon library is looked for first is the library's
// place: a draw and a capture are both refused (WARNUNG, IOERROR 29), and the library beside the
// executable is neither taken for it nor written.
TEST_F(process_test, AnIconLibraryThatIsAPipeIsRefusedAndTheOneBesideTheExecutableStaysAsItWas) {
  std::string problem;
  fs::create_directories(dir / "bin");
  executable = copy_runtime_into(dir / "bin", WINKYR_EXE, problem);
  ASSERT_FALSE(executable.empty()) << problem;
  std::ifstream shipped_in(dir / "bin" / "icon.lib", std::ios::binary);
  const std::string shipped((std::istreambuf_iterator<char>(shipped_in)), std::istreambuf_iterator<char>());
  ASSERT_GE(shipped.size(), 2u * 512u);  // two records at least
  ASSERT_EQ(mkfifo((dir / "run" / "ICON.LIB").c_str(), 0600), 0);
  std::ofstream(dir / "run" / "PROG.PXB", std::ios::binary) << saving_program(
      "#10 #10\n_IOERROR &1 __STO\n",
      "@0001 #1|\n@0002 out.txt|\n@0003 #1|\n@0004 #2|\n@0005 draw \xFA" "0001|\n@0006 save \xFA" "0001|\n",
      "/00000001 FILE @0001 @0002 %0001\n/00000100 SHOW %0002 @0003\n%0003\n/00001000 FILE @0001 @0005\n"
      "/00001100 SHOW %0002 @0004\n%0003\n/00001000 FILE @0001 @0006\nQUIT\nQUIT\n");
  const run_result r = run({"PROG.PXB"});
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(file_text("out.txt"), "draw 29\nsave 29\n");
  EXPECT_NE(r.errors.find("-WARNUNG:cannot open icon.lib: Illegal seek\n"), std::string::npos) << r.errors;
  EXPECT_NE(r.errors.find("-WARNUNG:cannot write icon.lib: Illegal seek\n"), std::string::npos) << r.errors;
  std::ifstream after_in(dir / "bin" / "icon.lib", std::ios::binary);
  EXPECT_TRUE(std::string((std::istreambuf_iterator<char>(after_in)), std::istreambuf_iterator<char>()) == shipped);
  struct stat st {};
  ASSERT_EQ(lstat((dir / "run" / "ICON.LIB").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A list save of 320 KB into a named pipe whose buffer holds 4 KB and whose reader takes 1 KB at
// a time: the reader gets every byte, in order.  As a plain user.
TEST_F(process_test, ASaveLargerThanThePipeReachesASlowReaderWhole) {
  const fs::path run_dir = dir / "run";
  constexpr int rows = 20000;
  std::string list = std::to_string(rows) + " 1\n";
  for (int i = 0; i < rows; ++i) list += "zeile " + std::to_string(100000 + i) + " .\n";
  std::ofstream(run_dir / "liste.txt", std::ios::binary) << list;
  ASSERT_EQ(mkfifo((run_dir / "rohr.lst").c_str(), 0600), 0);
  std::ofstream(run_dir / "PROG.PXB", std::ios::binary) << saving_program(
      "#1 #20 #0\n_IOERROR &1 __STO\n", "@0001 #1|\n@0002 out.txt|\n@0003 liste.txt|\n@0004 rohr.lst|\n@0005 \xFA" "0001|\n",
      "/00000001 FILE @0001 @0002 %0001\n/00002020 LSTMGR @0003 %0002\n/00001020 LSTMGR @0004 %0002\n%0003\n"
      "/00001000 FILE @0001 @0005\nQUIT\nQUIT\n");
  const uid_t user = plain_user();
  give_to(user, {run_dir / "rohr.lst", run_dir / "liste.txt", run_dir / "PROG.PXB"});
  const int pipe_end = open((run_dir / "rohr.lst").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(pipe_end, 0);
  ASSERT_EQ(fcntl(pipe_end, F_SETPIPE_SZ, 4096), 4096);
  std::string read_through;
  std::atomic<bool> ended = false;
  std::thread reader([&] {
    for (;;) {
      const bool last = ended;
      char buffer[1024];
      const ssize_t n = read(pipe_end, buffer, sizeof buffer);
      if (n > 0) read_through.append(buffer, size_t(n));
      if (n <= 0 && last) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  const run_result r = run({"PROG.PXB"});
  ended = true;
  reader.join();
  close(pipe_end);
  EXPECT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(file_text("out.txt"), "0\n");
  EXPECT_EQ(read_through.size(), list.size());
  EXPECT_TRUE(read_through == list);
}

}  // namespace
