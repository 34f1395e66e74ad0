// The low-level file glue: share modes, the two-step opens, raw lines, host names, case routines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "runtime/commands/runtime.h"
#include "runtime/program/file_glue.h"
#include "support/runtime_fixture.h"

namespace {
class file_glue_test : public runtime_fixture {
 protected:
  void write_file(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  // Handles opened by a test are closed at its end, so a failed check leaks nothing.
  int32_t keep(int32_t handle) {
    if (handle >= 0) handles_.push_back(handle);
    return handle;
  }
  void TearDown() override {
    for (int32_t h : handles_) c_close(h);
    runtime_fixture::TearDown();
  }

 private:
  std::vector<int32_t> handles_;
};

TEST_F(file_glue_test, SopenCreatesAMissingFileAndDeniesASecondOpen) {
  int32_t first = keep(c_sopen("new.dat"));
  ASSERT_GE(first, 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "new.dat"));
  EXPECT_EQ(std::filesystem::file_size(dir / "new.dat"), 0u);
  EXPECT_EQ(c_sopen("new.dat"), -1);  // deny read and write, also within one process
  EXPECT_EQ(c_sopen_shared("new.dat", shared_open::read), -1);
  EXPECT_EQ(c_close(first), 0);
  int32_t again = keep(c_sopen("new.dat"));
  EXPECT_GE(again, 0);
}

TEST_F(file_glue_test, SopenOrOnAMissingFileCreatesNothing) {
  EXPECT_EQ(c_sopen_or("absent.dat"), -1);
  EXPECT_FALSE(std::filesystem::exists(dir / "absent.dat"));
  write_file("present.dat", "abc");
  int32_t h = keep(c_sopen_or("present.dat"));
  ASSERT_GE(h, 0);
  char buffer[8] = {};
  EXPECT_EQ(c_read(h, buffer, 8), 3);
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_EQ(c_read(h, buffer, 8), 0);   // end of file
  EXPECT_EQ(c_write(h, "x", 1), -1);    // opened for reading only
}

TEST_F(file_glue_test, SopenTruncEmptiesOrCreates) {
  write_file("plot.eps", "old contents");
  int32_t h = keep(c_sopen_trunc("plot.eps"));
  ASSERT_GE(h, 0);
  EXPECT_EQ(std::filesystem::file_size(dir / "plot.eps"), 0u);
  EXPECT_EQ(c_write(h, "%!PS", 4), 4);
  EXPECT_EQ(c_close(h), 0);
  EXPECT_EQ(file_text("plot.eps"), "%!PS");

  int32_t created = keep(c_sopen_trunc("fresh.eps"));
  EXPECT_GE(created, 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "fresh.eps"));
}

TEST_F(file_glue_test, RefusedTruncatingOpenKeepsTheData) {
  write_file("busy.dat", "precious");
  int32_t holder = keep(c_sopen_or("busy.dat"));
  ASSERT_GE(holder, 0);
  EXPECT_EQ(c_sopen_trunc("busy.dat"), -1);
  EXPECT_EQ(file_text("busy.dat"), "precious");
}

TEST_F(file_glue_test, DenyWriteOpenCannotBeOpenedForWritingAgain) {
  write_file("shared.dat", "data");
  int32_t writer = keep(c_sopen_shared("shared.dat", shared_open::readwrite));
  ASSERT_GE(writer, 0);
  EXPECT_EQ(c_sopen_shared("shared.dat", shared_open::readwrite), -1);
  EXPECT_EQ(c_sopen_shared("shared.dat", shared_open::readwrite_create), -1);
  EXPECT_EQ(c_sopen_readwrite("shared.dat"), -1);
  // Readers that deny nothing are welcome; a reader that denies writing is not, since a
  // writer is already there.
  EXPECT_GE(keep(c_sopen_shared("shared.dat", shared_open::read)), 0);
  EXPECT_EQ(c_sopen("shared.dat"), -1);
  c_close(writer);
}

TEST_F(file_glue_test, ReadersDenyingNothingShareAFile) {
  write_file("r.dat", "x");
  EXPECT_GE(keep(c_sopen_shared("r.dat", shared_open::read)), 0);
  EXPECT_GE(keep(c_sopen_shared("r.dat", shared_open::read_create)), 0);
  EXPECT_GE(keep(c_sopen_shared("r.dat", shared_open::readwrite)), 0);
  EXPECT_EQ(c_sopen_shared("missing.dat", shared_open::read), -1);
  EXPECT_GE(keep(c_sopen_shared("made.dat", shared_open::readwrite_create)), 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "made.dat"));
}

TEST_F(file_glue_test, CreatedFilesGetReadWriteModeLessTheUmask) {
  mode_t old = umask(022);
  int32_t h = c_sopen("perm.dat");
  umask(old);
  ASSERT_GE(h, 0);
  c_close(h);
  struct stat st{};
  ASSERT_EQ(stat((dir / "perm.dat").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(file_glue_test, SeekAndRewind) {
  write_file("s.dat", "0123456789");
  int32_t h = keep(c_sopen_readwrite("s.dat"));
  ASSERT_GE(h, 0);
  EXPECT_EQ(c_seek(h, 4), 4);
  char c = 0;
  EXPECT_EQ(c_read(h, &c, 1), 1);
  EXPECT_EQ(c, '4');
  c_rewind(h);
  EXPECT_EQ(c_read(h, &c, 1), 1);
  EXPECT_EQ(c, '0');
  EXPECT_EQ(c_seek(0, 4), -1);  // handles below 1 are not touched
  EXPECT_EQ(c_seek(-1, 4), -1);
  c_rewind(-1);
  EXPECT_EQ(c_read(-1, &c, 1), -1);
  EXPECT_EQ(c_write(-1, &c, 1), -1);
  EXPECT_EQ(c_close(-1), -1);
}

TEST_F(file_glue_test, DirectoriesAndRenames) {
  EXPECT_EQ(c_mkdir("sub"), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "sub"));
  EXPECT_EQ(c_mkdir("sub"), -1);
  EXPECT_EQ(c_sopen("sub"), -1);  // a directory is no file
  EXPECT_EQ(c_sopen_or("sub"), -1);
  EXPECT_EQ(c_rmdir("SUB"), 0);      // found ignoring case
  EXPECT_FALSE(std::filesystem::exists(dir / "sub"));
  EXPECT_EQ(c_rmdir("sub"), -1);

  write_file("a.txt", "a");
  EXPECT_EQ(c_rename("A.TXT", "b.txt"), 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "b.txt"));
  EXPECT_EQ(c_rename("a.txt", "c.txt"), -1);
  EXPECT_EQ(c_can_open("b.txt"), 0);
  EXPECT_EQ(c_can_open("nothing.txt"), 1);
  EXPECT_FALSE(std::filesystem::exists(dir / "nothing.txt"));
}

TEST_F(file_glue_test, ReadLineRawSkipsControlsAndReportsTheEnd) {
  write_file("lines.txt", "ab\r\n\r\nlonger line\ncd");
  int32_t h = keep(c_sopen_or("lines.txt"));
  ASSERT_GE(h, 0);
  char text[6];
  EXPECT_EQ(read_line_raw(h, text, 6), 2);
  EXPECT_EQ(std::string(text, 6), "ab    ");
  EXPECT_EQ(read_line_raw(h, text, 6), 6);  // the length stops at the text's size
  EXPECT_EQ(std::string(text, 6), "longer");
  EXPECT_EQ(read_line_raw(h, text, 6), -1);  // end of file: what was taken stays
  EXPECT_EQ(std::string(text, 6), "cd    ");
  EXPECT_EQ(read_line_raw(0, text, 6), -1);
  EXPECT_EQ(std::string(text, 6), "      ");
}

TEST_F(file_glue_test, BlankControls) {
  char text[] = "ab\tc\nxyz\rq";
  int32_t length = blank_controls(text, static_cast<int32_t>(std::strlen(text)));
  EXPECT_EQ(length, 4);
  EXPECT_EQ(std::string(text), "ab c      ");
  char cr_first[] = "pq\rr\ns";
  EXPECT_EQ(blank_controls(cr_first, 6), 2);
  char nul[] = {'a', '\0', 'b', ' '};
  EXPECT_EQ(blank_controls(nul, 4), 1);
  EXPECT_EQ(blank_controls(nul, 0), 0);
}

TEST_F(file_glue_test, HostPathFindsNamesIgnoringCase) {
  std::filesystem::create_directories(dir / "data" / "Sub");
  write_file("data/PROG.PXB", "x");
  EXPECT_EQ(host_path("Data\\Prog.pxb"), "data/PROG.PXB");
  EXPECT_EQ(host_path("DATA\\sub\\new.txt   "), "data/Sub/new.txt");  // last part kept as written
  EXPECT_EQ(host_path("data/PROG.PXB"), "data/PROG.PXB");
  EXPECT_EQ(host_path("nothing\\here.txt"), "nothing/here.txt");
  EXPECT_EQ(host_path((dir / "DATA" / "prog.pxb").string()), (dir / "data" / "PROG.PXB").string());
  EXPECT_EQ(host_path(""), "");
  EXPECT_EQ(host_path(std::string("data\\prog.pxb\0junk", 18)), "data/PROG.PXB");
  // Names are code page 1252 inside the runtime and UTF-8 on disk; case is folded for
  // accented letters too.
  write_file("\xC3\xA4rger.txt", "x");  // "ärger.txt"
  EXPECT_EQ(host_path("\xC4RGER.TXT"), "\xC3\xA4rger.txt");
}

TEST_F(file_glue_test, CodePageConversionRoundTrips) {
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(utf8_to_cp1252(cp1252_to_utf8(all)), all);
  EXPECT_EQ(cp1252_to_utf8("\xB0"), "\xC2\xB0");
  EXPECT_EQ(cp1252_to_utf8("\x80"), "\xE2\x82\xAC");
  EXPECT_EQ(utf8_to_cp1252("\xE2\x82\xAC"), "\x80");
  EXPECT_EQ(utf8_to_cp1252("\xE4\xB8\xAD"), "?");       // not in the code page
  EXPECT_EQ(utf8_to_cp1252("a\xC3"), "a?");             // cut-off sequence
  EXPECT_EQ(utf8_to_cp1252("\x80z"), "?z");             // stray continuation byte
  EXPECT_EQ(utf8_to_cp1252("\xF0\x9F\x98\x80!"), "?!");  // outside the BMP
}

TEST_F(file_glue_test, CaseRoutines) {
  std::string text = "abc\xE4XYZ@[`{1";
  std::string up = text;
  upcase_string(up.data(), static_cast<int32_t>(up.size()));
  EXPECT_EQ(up, "ABC\xE4XYZ@[`{1");  // "ä" stays
  std::string low = text;
  lowcase_string(low.data(), static_cast<int32_t>(low.size()));
  EXPECT_EQ(low, "abc\xE4xyz@[`{1");
  std::string partial = "ABCD";
  lowcase_string(partial.data(), 2);
  EXPECT_EQ(partial, "abCD");

  std::string fast = "\xC4\xD6\xDC@AZ09 \x01[a";
  lowcase_fast(fast.data(), static_cast<int32_t>(fast.size()));
  EXPECT_EQ(fast, "\xE4\xF6\xFC`az09 ![a");
  std::string none = "AB";
  lowcase_fast(none.data(), 0);
  lowcase_fast(none.data(), -3);
  EXPECT_EQ(none, "AB");
  // Long texts give the same result as byte by byte.
  std::string long_text;
  for (int i = 0; i < 1000; ++i) long_text += static_cast<char>(i * 7);
  std::string expected = long_text;
  for (char& c : expected)
    if (static_cast<signed char>(c) < 91) c = static_cast<char>(c | 0x20);
  lowcase_fast(long_text.data(), static_cast<int32_t>(long_text.size()));
  EXPECT_EQ(long_text, expected);
}
}  // namespace
