// Saving and loading list files, with and without the header line.
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "commands/test_debugger_fixture.h"
#include "quillon/api/save_file.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/pxb_reader.h"
#include "support/file_size_limit.h"
#include "support/other_user.h"
#include "test_list_fixture.h"

using list_files_test = list_test;

namespace {
void write_file(const std::string& name, const std::string& text) {
  std::ofstream out(name, std::ios::binary);
  out << text;
}

// A program of LSTMGR commands on list 1 (row length 20), then RETURN; the file names are its
// tokens @0001 on.
std::string list_program(const std::vector<std::string>& names, const std::string& codes) {
  std::string tokens;
  for (size_t i = 0; i < names.size(); ++i) tokens += "@000" + std::to_string(i + 1) + " " + names[i] + "|\n";
  return small_program("&0001 I 0001:I/0\n", "#1 #20 #0\n", tokens, codes + "RETURN\n");
}
}  // namespace

TEST_F(list_files_test, SaveWithHeaderAndLoadItBack) {
  make_list(3, {"one", "two  x", "three"});
  list_of(3).cursor = 2;
  int32_t status = -1;
  lst_save(3, "LIST.TXT", true, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(io_status, 0);
  const std::vector<std::string> lines = file_lines("LIST.TXT");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "3 2");
  EXPECT_EQ(lines[1], "one");
  EXPECT_EQ(lines[2], "two  x");
  EXPECT_EQ(lines[3], "three");

  MARK_LIST(4, 1);
  lst_load(4, "LIST.TXT", true, 40, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(list_of(4).count, 3);
  EXPECT_EQ(list_of(4).cursor, 2);
  EXPECT_FALSE(list_of(4).mark_mode);
  EXPECT_EQ(row(4, 2, 40), padded("two  x", 40));
  EXPECT_EQ(row(4, 3, 40), padded("three", 40));
}

TEST_F(list_files_test, SaveWithoutHeaderWritesBlankRowsAsOneBlank) {
  make_list(5, {"a", "", "c   "});
  int32_t status = -1;
  lst_save(5, "plain.txt", false, status);
  EXPECT_EQ(file_text("plain.txt"), "a\n \nc\n");
  // An existing file is overwritten even by a list with no rows.
  list_of(5).count = 0;
  lst_save(5, "plain.txt", false, status);
  EXPECT_EQ(file_text("plain.txt"), "");
}

TEST_F(list_files_test, LoadWithoutHeaderTakesEveryLine) {
  write_file("rows.txt", "r1\nr2\r\nr3\n");
  int32_t status = -1;
  lst_load(3, "rows.txt", false, 20, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(list_of(3).count, 3);
  EXPECT_EQ(list_of(3).cursor, 0);
  EXPECT_EQ(row(3, 2), padded("r2"));
  // More lines than the capacity grow the store.
  std::string many;
  for (int i = 1; i <= 45; ++i) many += "line" + std::to_string(i) + "\n";
  write_file("many.txt", many);
  lst_load(3, "many.txt", false, 20, status);
  EXPECT_EQ(list_of(3).count, 45);
  EXPECT_EQ(row(3, 45), padded("line45"));
}

TEST_F(list_files_test, EmptyFileLoadsAsOneBlankRow) {
  write_file("empty.txt", "");
  int32_t status = -1;
  lst_load(3, "empty.txt", false, 20, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(list_of(3).count, 1);
  EXPECT_EQ(list_of(3).cursor, 0);
  EXPECT_EQ(row(3, 1), padded(""));
}

TEST_F(list_files_test, MissingFileLoadsAsOneBlankRowWithIoStatusSet) {
  int32_t status = -1;
  lst_load(3, "nosuch.txt", true, 20, status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(io_status, 0);
  EXPECT_EQ(list_of(3).count, 1);
  EXPECT_EQ(row(3, 1), padded(""));
}

TEST_F(list_files_test, HeaderRowCountWins) {
  std::string text = "5 1\n";
  for (int i = 1; i <= 7; ++i) text += "row" + std::to_string(i) + "\n";
  write_file("seven.txt", text);
  int32_t status = -1;
  lst_load(4, "seven.txt", true, 20, status);
  EXPECT_EQ(list_of(4).count, 5);
  EXPECT_EQ(row(4, 5), padded("row5"));
  EXPECT_EQ(row(4, 6), padded(""));

  // Fewer lines than the header says: the rest stays blank.
  write_file("short.txt", "4,9\nonly\n");
  lst_load(5, "short.txt", true, 20, status);
  EXPECT_EQ(list_of(5).count, 4);
  EXPECT_EQ(list_of(5).cursor, 4);  // cursor 9 limited to the rows
  EXPECT_EQ(row(5, 1), padded("only"));
  EXPECT_EQ(row(5, 4), padded(""));
  EXPECT_EQ(io_status, 0);
}

TEST_F(list_files_test, BadHeaderLoadsLikeAMissingFile) {
  write_file("bad.txt", "three rows\nx\n");
  int32_t status = -1;
  lst_load(3, "bad.txt", true, 20, status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(io_status, 0);
  EXPECT_EQ(list_of(3).count, 1);
  EXPECT_EQ(list_of(3).cursor, 0);
  EXPECT_EQ(row(3, 1), padded(""));
  write_file("half.txt", "3\nx\n");
  lst_load(3, "half.txt", true, 20, status);
  EXPECT_NE(io_status, 0);
  EXPECT_EQ(list_of(3).count, 1);
}

TEST_F(list_files_test, RowLengthIsLimitedToTwentyAndFiveHundredTwelve) {
  std::string long_line(600, 'q');
  write_file("long.txt", long_line + "\nshort\n");
  int32_t status = -1;
  lst_load(3, "long.txt", false, 10, status);
  int32_t length = 0, records = 0;
  xmm_info(13, length, records);
  EXPECT_EQ(length, 20);
  EXPECT_EQ(row(3, 1), std::string(20, 'q'));
  lst_load(3, "long.txt", false, 600, status);
  xmm_info(13, length, records);
  EXPECT_EQ(length, 512);
  EXPECT_EQ(row(3, 1, 512), std::string(512, 'q'));
  EXPECT_EQ(row(3, 2, 512), padded("short", 512));
}

TEST_F(list_files_test, BadListNumbersAndBlankNames) {
  int32_t status = 0;
  lst_load(7, "x.txt", false, 20, status);
  EXPECT_EQ(status, 4301);
  lst_save(0, "x.txt", false, status);
  EXPECT_EQ(status, 4301);
  EXPECT_FALSE(std::filesystem::exists("x.txt"));

  make_list(3, {"a", "b"});
  lst_load(3, "      ", false, 20, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(list_of(3).count, 0);  // the list is emptied, no file touched
  lst_save(3, "   ", false, status);
  EXPECT_EQ(status, 0);
}

TEST_F(list_files_test, FileNamesUseBackslashesAndTrailingBlanks) {
  std::filesystem::create_directories("sub");
  make_list(6, {"kept"});
  int32_t status = -1;
  lst_save(6, "sub\\Saved.TXT      ", false, status);
  EXPECT_EQ(file_text("sub/Saved.TXT"), "kept\n");
  lst_load(3, "SUB\\saved.txt   ", false, 20, status);
  EXPECT_EQ(row(3, 1), padded("kept"));
}

namespace {
// List 6 with 400 rows of 20 characters: about 8 KB in its file.
void make_long_list() {
  int32_t status = -1;
  allocate_xmm(6, 400, 20, status);
  ASSERT_EQ(status, 0);
  for (int32_t r = 1; r <= 400; ++r) lst_put_row(6, r, ("row " + std::to_string(r) + std::string(20, 'x')).c_str());
}
}  // namespace

TEST_F(list_files_test, SaveThatCannotCompleteKeepsTheOldFileAndReportsIt) {
  write_file("keep.txt", "3 1\nold\nlist\nrows\n");
  make_long_list();
  int32_t status = -1;
  {
    const file_size_limit full(4096);
    lst_save(6, "keep.txt", true, status);
  }
  EXPECT_EQ(status, 0);
  EXPECT_EQ(io_status, EFBIG);
  EXPECT_EQ(file_text("keep.txt"), "3 1\nold\nlist\nrows\n");
  EXPECT_NE(file_text("PXBERROR.LOG").find("cannot write keep.txt: " + std::string(std::strerror(EFBIG))),
            std::string::npos);
  EXPECT_TRUE(boxes.empty());
  // Nothing is left beside it, and without the limit the same save goes through.
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    EXPECT_EQ(entry.path().filename().string().find(".keep.txt"), std::string::npos) << entry.path();
  lst_save(6, "keep.txt", true, status);
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(file_lines("keep.txt").size(), 401u);
}

TEST_F(list_files_test, SaveKilledBeforeItsFileIsCompleteLeavesTheOldFileWhole) {
  write_file("keep.txt", "old list\n");
  make_long_list();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Everything is written and synced; the process dies before the file takes the name.
    save_file::before_rename = [] { raise(SIGKILL); };
    int32_t status = -1;
    lst_save(6, "keep.txt", true, status);
    _exit(0);
  }
  int wait_status = 0;
  ASSERT_EQ(waitpid(child, &wait_status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(wait_status));
  EXPECT_EQ(WTERMSIG(wait_status), SIGKILL);
  EXPECT_EQ(file_text("keep.txt"), "old list\n");
}

// A list holding FIRST's four rows, then a load of a file whose header promises four rows and
// that holds one: the rows no line supplies are blank, so the save writes no row of FIRST into
// SECOND's place.
TEST_F(list_files_test, ProgramLoadOfAFileShortOfItsHeaderKeepsNoRowOfTheListBefore) {
  write_file("FIRST.TXT", "4 1\nfirst 1\nfirst 2\nfirst 3\nfirst 4\n");
  write_file("SECOND.TXT", "4 1\nsecond 1\n");
  load_program_image(list_program({"FIRST.TXT", "SECOND.TXT"}, "/00002020 LSTMGR @0001 %0001\n"
                                                                "/00002020 LSTMGR @0002 %0001\n"
                                                                "/00001020 LSTMGR @0002 %0001\n"));
  interpreter(1);
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(file_text("SECOND.TXT"), "4 1\nsecond 1\n \n \n \n");
}

// A save over an existing file the user may not write (mode 0444, in a folder the user may
// write) is refused: IOERROR, the WARNUNG line, and the file as it was; the save's rename would
// have passed over the file's permissions.  Root may write any file, so under root the program
// runs with the rights of an unprivileged user.
TEST_F(list_files_test, ProgramSaveOverAFileTheUserMayNotWriteIsRefused) {
  ASSERT_EQ(work_where_others_may_enter(), "");  // the user must reach the folder
  write_file("NEW.TXT", "1 1\nnew row\n");
  write_file("LOCKED.LST", "2 1\nold\nrows\n");
  ASSERT_EQ(chmod("LOCKED.LST", 0444), 0);
  ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
  if (geteuid() != 0 && access("LOCKED.LST", W_OK) == 0) GTEST_SKIP() << "this user may write every file";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (!drop_root_for_other_user()) _exit(99);
    load_program_image(list_program({"NEW.TXT", "LOCKED.LST"}, "/00002020 LSTMGR @0001 %0001\n"
                                                                "/00001020 LSTMGR @0002 %0001\n"));
    interpreter(1);
    _exit(io_status & 0xFF);
  }
  int wait_status = 0;
  ASSERT_EQ(waitpid(child, &wait_status, 0), child);
  ASSERT_TRUE(WIFEXITED(wait_status));
  EXPECT_EQ(WEXITSTATUS(wait_status), EACCES);
  EXPECT_EQ(file_text("LOCKED.LST"), "2 1\nold\nrows\n");
  const std::string log = file_text("PXBERROR.LOG");
  EXPECT_NE(log.find("-WARNUNG:cannot write LOCKED.LST: " + std::string(std::strerror(EACCES))), std::string::npos)
      << log;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    EXPECT_EQ(entry.path().filename().string().find(".LOCKED.LST"), std::string::npos) << entry.path();
}

// Names of 248 to 255 bytes (a text variable of 200 letters and the rest of the token), as long
// as the folder takes: the save's file beside the list, its name cut to fit the folder's limit,
// never keeps a name that the folder takes from being saved.
TEST_F(list_files_test, ProgramSavesUnderEveryNameTheFolderTakes) {
  write_file("NEW.TXT", "1 1\nnew row\n");
  const std::string head(200, 'n');
  for (const size_t length : {248u, 250u, 255u}) {
    SCOPED_TRACE(length);
    const std::string tail = std::string(length - head.size() - 4, 'x') + ".LST";
    load_program_image(small_program("&0001 I 0001:I/0\n&0002 S 0001*200:T/" + head + "\n", "#1 #20 #0\n",
                                     "@0001 NEW.TXT|\n@0002 \xFA" "0002" + tail + "|\n",
                                     "/00002020 LSTMGR @0001 %0001\n/00001020 LSTMGR @0002 %0001\nRETURN\n"));
    interpreter(1);
    EXPECT_EQ(io_status, 0);
    EXPECT_EQ(file_text(head + tail), "1 1\nnew row\n");
  }
  int files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(".")) ++files;
  EXPECT_EQ(files, 4);  // NEW.TXT and the three lists, nothing aside
}

// A save over a file that the user may write in a folder the user may not (root's, 0755): the
// file gets the list, written into it, so that it stays the same file (a hard link to it shows
// the list too); nothing is left in the temporary folder.  Under the file size limit the copy
// is refused before any old byte is overwritten: IOERROR, the WARNUNG line, the old file whole.
// The same for root's file that anybody may write in a sticky folder.
TEST_F(list_files_test, ProgramSaveIntoAWritableFileInAFolderTheUserMayNotWrite) {
  ASSERT_EQ(work_where_others_may_enter(), "");  // the user must reach the folder and its "tmp"
  std::string rows = "300 1\n";
  for (int r = 1; r <= 300; ++r) rows += "row " + std::to_string(r) + " of the new list\n";
  write_file("NEW.TXT", rows);
  write_file("SHORT.TXT", "1 1\nnew row\n");
  std::filesystem::create_directories("ausgabe");
  std::filesystem::create_directories("tmp");
  write_file("ausgabe/LIST.LST", "2 1\nold\nrows\n");
  ASSERT_EQ(link("ausgabe/LIST.LST", "ausgabe/LINK.LST"), 0);
  constexpr uid_t nobody = other_user;
  ASSERT_EQ(chmod(dir.c_str(), 0777), 0);
  ASSERT_EQ(chmod("tmp", 0777), 0);
  ASSERT_EQ(chmod("ausgabe", 0755), 0);
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give the file to another user";
  ASSERT_EQ(chown("ausgabe/LIST.LST", nobody, nobody), 0);
  // A sticky folder (as /tmp): the user may make files there, but not rename over root's file.
  std::filesystem::create_directories("sticky");
  write_file("sticky/LIST.LST", "old\n");
  ASSERT_EQ(chmod("sticky/LIST.LST", 0666), 0);
  ASSERT_EQ(chmod("sticky", 01777), 0);
  const auto save_as_nobody = [&](const std::string& list, uint64_t limit, const std::string& target = "ausgabe/LIST.LST") {
    const pid_t child = fork();
    if (child == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) _exit(99);
      // Relative to the working folder, which the child is in already: the folders above it
      // (a private temporary folder, 0700) need not let the other user through.
      ::setenv("TMPDIR", "tmp", 1);
      const file_size_limit full(limit);
      load_program_image(list_program({list, target}, "/00002020 LSTMGR @0001 %0001\n"
                                                                   "/00001020 LSTMGR @0002 %0001\n"));
      interpreter(1);
      _exit(io_status & 0xFF);
    }
    int wait_status = 0;
    if (child < 0 || waitpid(child, &wait_status, 0) != child || !WIFEXITED(wait_status)) return -1;
    return WEXITSTATUS(wait_status);
  };
  EXPECT_EQ(save_as_nobody("NEW.TXT", 4096), EFBIG);
  EXPECT_EQ(file_text("ausgabe/LIST.LST"), "2 1\nold\nrows\n");
  const std::string log = file_text("PXBERROR.LOG");
  EXPECT_NE(log.find("-WARNUNG:cannot write ausgabe/LIST.LST: " + std::string(std::strerror(EFBIG))), std::string::npos)
      << log;

  EXPECT_EQ(save_as_nobody("SHORT.TXT", uint64_t(1) << 30), 0);
  EXPECT_EQ(file_text("ausgabe/LIST.LST"), "1 1\nnew row\n");
  EXPECT_EQ(file_text("ausgabe/LINK.LST"), "1 1\nnew row\n");
  struct stat st {};
  ASSERT_EQ(stat("ausgabe/LIST.LST", &st), 0);
  EXPECT_EQ(st.st_nlink, 2u);
  EXPECT_EQ(st.st_uid, nobody);
  EXPECT_EQ(save_as_nobody("SHORT.TXT", uint64_t(1) << 30, "sticky/LIST.LST"), 0);
  EXPECT_EQ(file_text("sticky/LIST.LST"), "1 1\nnew row\n");
  ASSERT_EQ(stat("sticky/LIST.LST", &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_TRUE(std::filesystem::is_empty("tmp"));
  int in_sticky = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("sticky")) ++in_sticky;
  EXPECT_EQ(in_sticky, 1);  // nothing left beside it
}
