// File units: the round-robin allocator and the Fortran-style open, line and record semantics.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "runtime/commands/runtime.h"
#include "runtime/program/file_units.h"
#include "support/runtime_fixture.h"

namespace {
class file_units_test : public runtime_fixture {
 protected:
  void write_file(const std::string& name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  // Takes the next free unit and opens it on a scratch file, as callers must before the
  // next request.
  int32_t take_unit() {
    int32_t unit = get_free_unit();
    EXPECT_EQ(unit_open(unit, "", {.status = "SCRATCH"}), 0);
    return unit;
  }
};

TEST_F(file_units_test, UnitsAreHandedOutRoundRobin) {
  EXPECT_EQ(get_free_unit(), 200);
  ASSERT_EQ(unit_open(200, "a.txt"), 0);
  EXPECT_EQ(get_free_unit(), 201);
}

TEST_F(file_units_test, ClosedUnitIsNotHandedOutAgainAtOnce) {
  EXPECT_EQ(get_free_unit(), 200);
  ASSERT_EQ(unit_open(200, "a.txt"), 0);
  unit_close(200);
  // The search goes on after the unit handed out last.
  EXPECT_EQ(get_free_unit(), 201);
  ASSERT_EQ(unit_open(202, "b.txt"), 0);
  EXPECT_EQ(get_free_unit(), 203);  // 202 is open and skipped
}

TEST_F(file_units_test, SearchWrapsToTwoHundred) {
  for (int32_t expected = 200; expected <= 499; ++expected) ASSERT_EQ(take_unit(), expected);
  unit_close(250);
  EXPECT_EQ(get_free_unit(), 250);
}

TEST_F(file_units_test, AllUnitsOpenReportsNoUnitFree) {
  for (int32_t expected = 200; expected <= 498; ++expected) ASSERT_EQ(take_unit(), expected);
  EXPECT_EQ(take_unit(), 499);  // the last one is still found
  EXPECT_THROW(get_free_unit(), program_end);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, "no unit free");
  EXPECT_EQ(boxes.back().caption, "KYR-ERROR 32000");
  EXPECT_TRUE(program_has_ended());
  // The error log has no unit either: its line is lost, the report itself is not.
  EXPECT_FALSE(std::filesystem::exists(dir / "PXBERROR.LOG"));
  EXPECT_EQ(find_free_unit(), -1);
  unit_close(321);
  EXPECT_EQ(find_free_unit(), 321);
}

TEST_F(file_units_test, StatusKeywords) {
  EXPECT_EQ(unit_open(300, "missing.txt", {.status = "OLD"}), unit_err_no_file);
  EXPECT_FALSE(unit_is_open(300));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.txt"));

  write_file("there.txt", "old\n");
  EXPECT_EQ(unit_open(300, "there.txt", {.status = "NEW"}), unit_err_exists);
  EXPECT_EQ(unit_open(300, "fresh.txt", {.status = "new"}), 0);  // keywords ignore case
  EXPECT_TRUE(std::filesystem::exists(dir / "fresh.txt"));
  unit_close(300);

  EXPECT_EQ(unit_open(300, "there.txt", {.status = "REPLACE"}), 0);
  unit_close(300);
  EXPECT_EQ(file_text("there.txt"), "");

  EXPECT_EQ(unit_open(300, "made.txt", {.status = "UNKNOWN   "}), 0);  // blank-padded keyword
  EXPECT_TRUE(unit_is_open(300));
  unit_close(300);
  EXPECT_TRUE(std::filesystem::exists(dir / "made.txt"));

  EXPECT_EQ(unit_open(300, "x.txt", {.status = "MAYBE"}), unit_err_bad_keyword);
  EXPECT_EQ(unit_open(300, "x.txt", {.access = "RANDOM"}), unit_err_bad_keyword);
  EXPECT_EQ(unit_open(300, "x.txt", {.form = "BINARY"}), unit_err_bad_keyword);
  EXPECT_EQ(unit_open(300, "x.txt", {.action = "EXECUTE"}), unit_err_bad_keyword);
  EXPECT_EQ(unit_open(-1, "x.txt"), unit_err_bad_unit);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.txt"));
}

TEST_F(file_units_test, ScratchFileLeavesNothingBehind) {
  auto before = std::distance(std::filesystem::directory_iterator(dir), {});
  ASSERT_EQ(unit_open(210, "ignored.txt", {.status = "SCRATCH"}), 0);
  EXPECT_EQ(unit_write_line(210, "temp"), 0);
  EXPECT_EQ(unit_rewind(210), 0);
  std::string line;
  EXPECT_EQ(unit_read_line(210, line), 0);
  EXPECT_EQ(line, "temp");
  unit_close(210);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), before);
}

TEST_F(file_units_test, ReadsLinesWithAndWithoutCarriageReturn) {
  write_file("in.txt", "first\r\nsecond\n\r\nlast without end");
  ASSERT_EQ(unit_open(220, "in.txt", {.status = "OLD", .action = "READ"}), 0);
  std::string line;
  EXPECT_EQ(unit_read_line(220, line), 0);
  EXPECT_EQ(line, "first");
  EXPECT_EQ(unit_read_line(220, line), 0);
  EXPECT_EQ(line, "second");
  EXPECT_EQ(unit_read_line(220, line), 0);
  EXPECT_EQ(line, "");
  EXPECT_EQ(unit_read_line(220, line), 0);
  EXPECT_EQ(line, "last without end");
  EXPECT_EQ(unit_read_line(220, line), unit_eof);
  EXPECT_EQ(unit_read_line(220, line), unit_eof);
  EXPECT_EQ(unit_write_line(220, "no"), unit_err_no_write);
  EXPECT_EQ(unit_rewind(220), 0);
  EXPECT_EQ(unit_read_line(220, line), 0);
  EXPECT_EQ(line, "first");
}

TEST_F(file_units_test, LongFileReadsAcrossBlocks) {
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\r\n";
  write_file("long.txt", text);
  ASSERT_EQ(unit_open(230, "long.txt", {.status = "OLD"}), 0);
  std::string line;
  int count = 0;
  while (unit_read_line(230, line) == 0) {
    ASSERT_EQ(line, "line " + std::to_string(count));
    ++count;
  }
  EXPECT_EQ(count, 20000);
}

TEST_F(file_units_test, SequentialWriteMakesTheRecordTheLast) {
  write_file("seq.txt", "one\ntwo\nthree\n");
  ASSERT_EQ(unit_open(240, "seq.txt"), 0);
  std::string line;
  ASSERT_EQ(unit_read_line(240, line), 0);
  EXPECT_EQ(unit_write_line(240, "TWO"), 0);
  EXPECT_EQ(unit_write_line(240, "end"), 0);
  unit_close(240);
  EXPECT_EQ(file_text("seq.txt"), "one\nTWO\nend\n");
}

TEST_F(file_units_test, AppendAccessKeepsTheOldRecords) {
  write_file("log.txt", "old\n");
  ASSERT_EQ(unit_open(250, "log.txt", {.access = "APPEND"}), 0);
  EXPECT_EQ(unit_write_line(250, "new"), 0);
  unit_close(250);
  EXPECT_EQ(file_text("log.txt"), "old\nnew\n");
}

TEST_F(file_units_test, WriteOnlyUnitCannotBeRead) {
  ASSERT_EQ(unit_open(251, "w.txt", {.action = "WRITE"}), 0);
  std::string line;
  EXPECT_EQ(unit_read_line(251, line), unit_err_no_read);
  EXPECT_EQ(unit_write_line(251, "x"), 0);
  EXPECT_EQ(unit_read_line(252, line), unit_err_not_open);
  EXPECT_EQ(unit_write_line(252, "x"), unit_err_not_open);
}

TEST_F(file_units_test, DirectAccessRecords) {
  EXPECT_EQ(unit_open(260, "d.dat", {.access = "DIRECT", .recl = 0}), unit_err_bad_recl);
  ASSERT_EQ(unit_open(260, "d.dat", {.access = "DIRECT", .form = "FORMATTED", .recl = 8}), 0);
  EXPECT_EQ(unit_write_record(260, 1, "abc"), 0);           // padded with blanks
  EXPECT_EQ(unit_write_record(260, 3, "0123456789"), 0);    // cut to the record length
  std::string data;
  EXPECT_EQ(unit_read_record(260, 1, data), 0);
  EXPECT_EQ(data, "abc     ");
  EXPECT_EQ(unit_read_record(260, 3, data), 0);
  EXPECT_EQ(data, "01234567");
  EXPECT_EQ(unit_read_record(260, 2, data), 0);  // the gap reads as zero bytes
  EXPECT_EQ(data, std::string(8, '\0'));
  EXPECT_EQ(unit_read_record(260, 4, data), unit_err_bad_record);
  EXPECT_EQ(unit_read_record(260, 0, data), unit_err_bad_record);
  EXPECT_EQ(unit_write_record(260, -5, "x"), unit_err_bad_record);
  EXPECT_EQ(unit_read_line(260, data), unit_err_wrong_access);
  unit_close(260);
  EXPECT_EQ(std::filesystem::file_size(dir / "d.dat"), 24u);

  ASSERT_EQ(unit_open(261, "u.dat", {.access = "DIRECT", .form = "UNFORMATTED", .recl = 4}), 0);
  EXPECT_EQ(unit_write_record(261, 1, std::string("\x01\x02", 2)), 0);  // padded with zeros
  EXPECT_EQ(unit_read_record(261, 1, data), 0);
  EXPECT_EQ(data, std::string("\x01\x02\0\0", 4));
  EXPECT_EQ(unit_write_line(261, "x"), unit_err_wrong_access);
}

TEST_F(file_units_test, CloseWithDeleteRemovesTheFile) {
  ASSERT_EQ(unit_open(270, "gone.txt"), 0);
  EXPECT_EQ(unit_close(270, "DELETE"), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "gone.txt"));
  EXPECT_EQ(unit_close(270), 0);  // not open: no error
}

TEST_F(file_units_test, ReopeningAConnectedUnitClosesItFirst) {
  ASSERT_EQ(unit_open(280, "first.txt"), 0);
  ASSERT_EQ(unit_write_line(280, "a"), 0);
  ASSERT_EQ(unit_open(280, "second.txt"), 0);
  ASSERT_EQ(unit_write_line(280, "b"), 0);
  unit_close(280);
  EXPECT_EQ(file_text("first.txt"), "a\n");
  EXPECT_EQ(file_text("second.txt"), "b\n");
}

TEST_F(file_units_test, ProgramNamesFindFilesIgnoringCase) {
  std::filesystem::create_directories(dir / "data");
  write_file("data/PROG.PXB", "[PROC]\n");
  ASSERT_EQ(unit_open(290, "Data\\Prog.pxb", {.status = "OLD"}), 0);
  std::string line;
  EXPECT_EQ(unit_read_line(290, line), 0);
  EXPECT_EQ(line, "[PROC]");
  unit_close(290);
  // A new file goes into the directory that was found, under the name as written.
  ASSERT_EQ(unit_open(291, "DATA\\New.txt", {.status = "NEW"}), 0);
  unit_close(291);
  EXPECT_TRUE(std::filesystem::exists(dir / "data" / "New.txt"));
}

TEST_F(file_units_test, DirectoryIsNoFile) {
  std::filesystem::create_directories(dir / "sub");
  EXPECT_NE(unit_open(292, "sub"), 0);
  EXPECT_FALSE(unit_is_open(292));
}
}  // namespace
