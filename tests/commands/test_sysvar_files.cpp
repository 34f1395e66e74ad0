// SYSVAR's file services: delete, copy, exist, directory counts and searches with the fields
// of a match, volumes, directories and raw handles.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "runtime/commands/debugger.h"
#include "runtime/program/file_glue.h"
#include "test_sysvar_fixture.h"

namespace {

namespace fs = std::filesystem;

// Sets the last-write time of a file to a local time.
void set_local_mtime(const std::string& name, int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  const timespec times[2] = {{std::mktime(&t), 0}, {std::mktime(&t), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, name.c_str(), times, 0), 0);
}

TEST_F(sysvar_test, DeleteAFileOnly) {
  write_file("gone.txt", "x");
  EXPECT_EQ(num("delete", "GONE.TXT"), 0.0f);  // found without regard to case
  EXPECT_FALSE(fs::exists("gone.txt"));
  EXPECT_EQ(num("delete", "gone.txt"), -1.0f);
  fs::create_directory("keep");
  EXPECT_EQ(num("delete", "keep"), -1.0f);
  EXPECT_TRUE(fs::exists("keep"));
  // 0 becomes a blank, which names no file.
  EXPECT_EQ(num("delete", 0.0f), -1.0f);
}

TEST_F(sysvar_test, CopySourceBlankDestination) {
  write_file("a.txt", "first file");
  EXPECT_EQ(num("copy", "a.txt b.txt"), 0.0f);
  EXPECT_EQ(read_file("b.txt"), "first file");
  // An existing destination is overwritten.
  write_file("c.txt", "other");
  EXPECT_EQ(num("copy", "C.TXT B.TXT"), 0.0f);
  EXPECT_EQ(read_file("b.txt"), "other");
  // One name alone: the destination is blank and the copy fails.
  EXPECT_EQ(num("copy", "a.txt"), -1.0f);
  EXPECT_EQ(num("copy", "a.txt "), -1.0f);
  EXPECT_EQ(num("copy", "missing.txt d.txt"), -1.0f);
  EXPECT_FALSE(fs::exists("d.txt"));
  EXPECT_EQ(num("copy", 0.0f), -1.0f);
  // A file copied onto itself keeps its contents.
  EXPECT_EQ(num("copy", "a.txt A.TXT"), -1.0f);
  EXPECT_EQ(read_file("a.txt"), "first file");
}

TEST_F(sysvar_test, ExistForFilesOnly) {
  write_file("here.dat", "");
  EXPECT_EQ(num("exist", "here.dat"), 1.0f);
  EXPECT_EQ(num("exist", "HERE.DAT   "), 1.0f);
  EXPECT_EQ(num("exist", "there.dat"), 0.0f);
  EXPECT_EQ(num("exist", ""), 0.0f);
  fs::create_directory("folder");
  EXPECT_EQ(num("exist", "folder"), 0.0f);
}

TEST_F(sysvar_test, CountOfMatchingEntries) {
  fs::create_directory("d");
  for (const char* name : {"d/one.txt", "d/Two.TXT", "d/three.dat"}) write_file(name, "");
  EXPECT_EQ(num("fcount", "d\\*.txt"), 2.0f);
  EXPECT_EQ(num("fcount", "d/*.*"), 3.0f);
  EXPECT_EQ(num("fcount", "D\\T*"), 2.0f);
  EXPECT_EQ(num("fcount", "d\\?ne.txt"), 1.0f);
  // No match gives 0, also right after a count that found entries.
  EXPECT_EQ(num("fcount", "d\\*.none"), 0.0f);
  EXPECT_EQ(num("fcount", "nodir\\*.txt"), 0.0f);
  EXPECT_EQ(io_status, 0);
}

TEST_F(sysvar_test, SearchHandsOutTheMatchesUpperCasedThenBlank) {
  fs::create_directory("s");
  for (const char* name : {"s/beta.txt", "s/Alpha.txt", "s/gamma.txt", "s/other.dat"}) write_file(name, "");
  EXPECT_EQ(text("fsearch", "s\\*.txt"), "ALPHA.TXT");
  EXPECT_EQ(text("fsearch", "s\\*.txt"), "BETA.TXT");
  EXPECT_EQ(text("fsearch", "s\\*.txt"), "GAMMA.TXT");
  EXPECT_EQ(text("finfo", "name"), "gamma.txt");  // as listed
  EXPECT_EQ(text("fsearch", "s\\*.txt"), " ");
  EXPECT_EQ(num("finfo", "name"), -1.0f);
  EXPECT_EQ(text("fsearch", "s\\*.txt"), " ");
  EXPECT_EQ(num("finfo", "size"), -1.0f);
}

TEST_F(sysvar_test, SearchResetStartsTheSameListAgain) {
  fs::create_directory("r");
  write_file("r/a1.log", "");
  EXPECT_EQ(text("fsearch", "r/*.log"), "A1.LOG");
  write_file("r/a0.log", "");
  // The same pattern goes on in the old list.
  EXPECT_EQ(text("fsearch", "r/*.log"), " ");
  EXPECT_EQ(num("fsearch", 0.0f), 0.0f);
  EXPECT_EQ(text("fsearch", "r/*.log"), "A0.LOG");
  EXPECT_EQ(text("fsearch", "r/*.log"), "A1.LOG");
  // An empty text resets as 0 does.
  EXPECT_EQ(num("fsearch", ""), 0.0f);
  EXPECT_EQ(num("finfo", "name"), -1.0f);
  EXPECT_EQ(text("fsearch", "r/*.log"), "A0.LOG");
  // Another pattern lists anew.
  EXPECT_EQ(text("fsearch", "r/a1*"), "A1.LOG");
  EXPECT_EQ(text("fsearch", "r/nothing*"), " ");
  EXPECT_EQ(num("finfo", "name"), -1.0f);
}

TEST_F(sysvar_test, FieldsOfTheMatch) {
  write_file("report.final.txt", std::string(1234, 'x'));
  set_local_mtime("report.final.txt", 2024, 3, 7, 9, 5, 4);
  EXPECT_EQ(num("finfo", "date"), -1.0f);  // no search yet
  EXPECT_EQ(text("fsearch", "report*"), "REPORT.FINAL.TXT");
  EXPECT_EQ(text("finfo", "date"), "07.03.2024");
  EXPECT_EQ(text("finfo", "TIME"), "09:05:04");
  EXPECT_EQ(text("finfo", "name"), "report.final.txt");
  EXPECT_EQ(text("finfo", "type"), "final.txt");
  EXPECT_EQ(num("finfo", "size"), 1234.0f);
  EXPECT_EQ(num("finfo", "colour"), 0.0f);
  write_file("noext", "");
  EXPECT_EQ(text("fsearch", "noext"), "NOEXT");
  EXPECT_EQ(text("finfo", "type"), "noext");
}

TEST_F(sysvar_test, AttributeLettersCountOnce) {
  write_file("ro.txt", "x");
  fs::permissions("ro.txt", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  fs::create_directory("sub");
  EXPECT_EQ(text("fsearch", "ro.txt"), "RO.TXT");
  EXPECT_EQ(num("finfo", "/a:rr"), 1.0f);
  EXPECT_EQ(num("finfo", "/A:DRA"), 2.0f);  // read-only archive file, not a directory
  EXPECT_EQ(num("finfo", "/a:dhs"), 0.0f);
  EXPECT_EQ(num("finfo", "/a:"), 0.0f);
  EXPECT_EQ(text("fsearch", "sub"), "SUB");
  EXPECT_EQ(num("finfo", "/a:d"), 1.0f);
  EXPECT_EQ(num("finfo", "/a:dra"), 1.0f);
  fs::permissions("ro.txt", fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(sysvar_test, VolumeOfARoot) {
  struct stat st{};
  ASSERT_EQ(::stat(".", &st), 0);
  const auto dev = static_cast<uint64_t>(st.st_dev);
  const auto serial = static_cast<int32_t>(static_cast<uint32_t>(dev ^ (dev >> 32)));
  // "disk:" alone: the volume of the current directory.
  EXPECT_EQ(num("disk:", "snr"), static_cast<float>(serial));
  EXPECT_EQ(num("disk:.", "SNR"), static_cast<float>(serial));
  EXPECT_EQ(io_status, 0);
  const value_slot& label = sys("DISK:C:\\", "label");
  EXPECT_FALSE(label.is_number());
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(num("disk:", "free"), 0.0f);
  EXPECT_EQ(num("disk:", "size"), 0.0f);
  EXPECT_EQ(num("disk:", "other"), 0.0f);
  // A root that does not exist leaves its error in io_status.
  EXPECT_EQ(num("disk:no_such_root\\", "snr"), 0.0f);
  EXPECT_EQ(io_status, ENOENT);
}

TEST_F(sysvar_test, MakeAndRemoveDirectories) {
  EXPECT_EQ(num("mkdir", "newdir"), 1.0f);
  EXPECT_TRUE(fs::is_directory("newdir"));
  EXPECT_EQ(num("mkdir", "newdir"), 0.0f);
  write_file("newdir/f", "");
  EXPECT_EQ(num("rmdir", "newdir"), 0.0f);  // not empty
  fs::remove("newdir/f");
  EXPECT_EQ(num("rmdir", "NEWDIR"), 1.0f);
  EXPECT_FALSE(fs::exists("newdir"));
  EXPECT_EQ(num("rmdir", "newdir"), 0.0f);
  // A name of 127 characters fits the glue's buffer; 128 does not.
  const std::string fits(127, 'n'), too_long(128, 'n');
  EXPECT_EQ(num("mkdir", fits), 1.0f);
  EXPECT_EQ(num("mkdir", too_long), 0.0f);
  EXPECT_FALSE(fs::exists(too_long));
  EXPECT_EQ(num("rmdir", fits), 1.0f);
}

TEST_F(sysvar_test, RawHandlesOpenAndClose) {
  EXPECT_EQ(num("c_close", -1.0f), 0.0f);
  const float h = num("c_sopen", "raw.bin");
  EXPECT_GE(h, 0.0f);
  EXPECT_TRUE(fs::exists("raw.bin"));  // created when missing
  // Opened once, denied to every other open.
  EXPECT_EQ(num("c_sopen", "raw.bin"), -1.0f);
  EXPECT_EQ(num("c_sopen_or", "raw.bin"), -1.0f);
  EXPECT_EQ(num("c_close", h), 0.0f);
  EXPECT_EQ(num("c_close", h), -1.0f);  // already closed
  const float r = num("c_sopen_or", "RAW.BIN");
  EXPECT_GE(r, 0.0f);
  EXPECT_EQ(num("c_close", r), 0.0f);
  EXPECT_EQ(num("c_sopen_or", "missing.bin"), -1.0f);
  EXPECT_FALSE(fs::exists("missing.bin"));
  EXPECT_EQ(num("c_sopen", std::string(128, 'z')), -1.0f);
}

// The trace line of the last call, without its trailing blanks.
std::string traced() { return trim_blanks(trace_line_text()); }
bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST_F(sysvar_test, RawHandleCallsAreTraced) {
  trace_reset();
  debug_to_file();
  const float h = num("c_sopen", "traced.bin  ");
  ASSERT_GE(h, 0.0f);
  EXPECT_EQ(traced().rfind(" c_sopen traced.bin ", 0), 0u) << traced();
  EXPECT_TRUE(ends_with(traced(), " " + std::to_string(static_cast<int32_t>(h)))) << traced();
  num("c_close", h);
  EXPECT_EQ(traced().rfind(" c_close ", 0), 0u) << traced();
  EXPECT_TRUE(ends_with(traced(), " 0")) << traced();
  num("c_sopen_or", "missing.bin");
  EXPECT_EQ(traced().rfind(" c_sopen_o missing.bin ", 0), 0u) << traced();
  EXPECT_TRUE(ends_with(traced(), "-1")) << traced();
  trace_reset();
}

TEST_F(sysvar_test, CloseRefusesHandlesTheProgramDidNotOpen) {
  // A descriptor of the runtime itself stays open.
  const int own = ::open(".", O_RDONLY);
  ASSERT_GE(own, 0);
  EXPECT_EQ(num("c_close", static_cast<float>(own)), -1.0f);
  EXPECT_NE(::fcntl(own, F_GETFD), -1);
  EXPECT_EQ(::close(own), 0);
  EXPECT_EQ(num("c_close", 0.0f), -1.0f);
  EXPECT_EQ(num("c_close", 99999.0f), -1.0f);
}

TEST_F(sysvar_test, ResetClosesTheHandlesStillOpen) {
  const float h = num("c_sopen", "left.bin");
  ASSERT_GE(h, 0.0f);
  sysvar_reset();
  EXPECT_EQ(::fcntl(static_cast<int>(h), F_GETFD), -1);
  EXPECT_GE(c_sopen("left.bin"), 0);
}

}  // namespace
