// The FILE command on its file slots: opening with the four keywords, sequential lines, append,
// direct records of numbers, texts and pointer layouts, closing, and the errors.
#include "program/test_evaluator_fixture.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "runtime/commands/file_command.h"
#include "commands/test_debugger_fixture.h"
#include "runtime/program/pxb_reader.h"

class file_command : public evaluator_test {
 protected:
  int32_t slot1 = 0, slot3 = 0, bad_digit = 0, bad_letter = 0;

  void SetUp() override {
    evaluator_test::SetUp();
    file_command_reset();
    slot1 = token("#1");
    slot3 = token("#3");
    bad_digit = token("#0");
    bad_letter = token("#X");
  }
  void TearDown() override {
    file_command_reset();
    evaluator_test::TearDown();
  }

  // Runs FILE with T1 = slot token, T2 = second token, the flags and an expression.
  static void run(int32_t t1, int32_t t2, int32_t flags, const std::string& expression = "") {
    code_record rec;
    rec.opcode = 21;
    rec.token1 = t1;
    rec.token2 = t2;
    rec.flags = flags;
    rec.expression = expression.empty() ? 0 : expr(expression);
    call_state.command_flags = flags;
    call_state.command_error = 0;
    cmd_FILE(rec);
  }
  static std::string file_text(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void write_file(const char* name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
  }
  static std::string n(int32_t v) { return std::to_string(v); }
};

TEST_F(file_command, SlotNumberMustBeADigitFromOneToNine) {
  run(bad_digit, token("A.TXT"), 0x1, "#0");
  EXPECT_EQ(io_status, 1);
  run(bad_letter, token("A.TXT"), 0x1, "#0");
  EXPECT_EQ(io_status, 1);
  EXPECT_FALSE(std::filesystem::exists("A.TXT"));
  for (const auto& slot : file_command_state.slots) EXPECT_EQ(slot.unit, 0);
}

TEST_F(file_command, SequentialLinesFromTokensAndVariablesThenReadBack) {
  const int32_t name = token("OUT.TXT");
  const int32_t line = token("first line   ");
  const int32_t t = text_variable("T", 12);
  run(slot3, name, 0x1 | 0x800, "#0");  // NEW
  ASSERT_EQ(io_status, 0);
  EXPECT_GE(file_command_state.slots[3].unit, 200);
  run(slot3, line, 0x1000);
  set_text(t, "var text");
  run(slot3, slot3, 0x1000, "&" + n(t));
  ASSERT_EQ(io_status, 0);
  run(slot3, 0, 0x2);
  EXPECT_EQ(file_command_state.slots[3].unit, 0);
  EXPECT_EQ(file_text("OUT.TXT"), "first line\nvar text\n");

  run(slot3, name, 0x1 | 0x2000, "#0");  // OLD, READ
  ASSERT_EQ(io_status, 0);
  run(slot3, 0, 0x2000, "&" + n(t));
  EXPECT_EQ(text_at(t), "first line  ");
  run(slot3, 0, 0x2000, "&" + n(t));
  EXPECT_EQ(text_at(t), "var text    ");
  run(slot3, 0, 0x2000, "&" + n(t));
  EXPECT_EQ(io_status, -1);  // end of file
  EXPECT_EQ(text_at(t), "var text    ");
}

TEST_F(file_command, AppendAddsToTheEnd) {
  write_file("LOG.TXT", "one\n");
  const int32_t name = token("LOG.TXT");
  run(slot1, name, 0x1 | 0x100, "#0");
  ASSERT_EQ(io_status, 0);
  run(slot1, token("two"), 0x1000);
  run(slot1, 0, 0x2);
  EXPECT_EQ(file_text("LOG.TXT"), "one\ntwo\n");
}

TEST_F(file_command, OldFileThatIsMissingLeavesTheSlotFree) {
  run(slot1, token("MISSING.TXT"), 0x1 | 0x400, "#0");
  EXPECT_NE(io_status, 0);
  EXPECT_EQ(file_command_state.slots[1].unit, 0);
  EXPECT_FALSE(std::filesystem::exists("MISSING.TXT"));
}

TEST_F(file_command, AFailedOpenIsLoggedWithTheFileAndTheReason) {
  write_file("LAGER.DAT", "kept\n");
  run(slot1, token("LAGER.DAT"), 0x1 | 0x800, "#0");  // NEW on a file that exists
  EXPECT_EQ(io_status, unit_err_exists);
  EXPECT_EQ(file_command_state.slots[1].unit, 0);
  EXPECT_EQ(file_text("LAGER.DAT"), "kept\n");
  run(slot3, token("FEHLT.DAT"), 0x1 | 0x2000, "#0");  // READ of a missing file
  const std::string log = file_text("PXBERROR.LOG");
  EXPECT_NE(log.find("-WARNUNG:cannot open LAGER.DAT: " + std::string(std::strerror(EEXIST))), std::string::npos) << log;
  EXPECT_NE(log.find("-WARNUNG:cannot open FEHLT.DAT: " + std::string(std::strerror(ENOENT))), std::string::npos) << log;
}

TEST_F(file_command, OpeningAnOpenSlotIsReportedAndKeepsIt) {
  const int32_t name = token("A.TXT");
  run(slot1, name, 0x1, "#0");
  const int32_t unit = file_command_state.slots[1].unit;
  ASSERT_GT(unit, 0);
  EXPECT_EQ(error_of([&] { run(slot1, token("B.TXT"), 0x1, "#0"); }), 0);
  EXPECT_EQ(last_error_message(), "FILE OPEN");
  EXPECT_EQ(io_status, 32000);
  EXPECT_EQ(file_command_state.slots[1].unit, unit);
  EXPECT_FALSE(std::filesystem::exists("B.TXT"));
}

TEST_F(file_command, RecordLengthForcesDirectUnformattedAccessEvenWithAppend) {
  const int32_t r = numeric_variable("R", var_real);
  const int32_t i = numeric_variable("I", var_integer, 3);
  write_file("DATA.BIN", "");
  run(slot1, token("DATA.BIN"), 0x1 | 0x100, "#8");  // OLD; the record length overrides APPEND
  ASSERT_EQ(io_status, 0);
  EXPECT_EQ(file_command_state.slots[1].record_length, 8);
  set_real(r, 1.5f);
  run(slot1, 0, 0x1000, "#2 &" + n(r));
  ASSERT_EQ(io_status, 0);
  set_int(i, 77, 3);
  run(slot1, 0, 0x1000, "#1 #3 %" + n(i));
  run(slot1, 0, 0x2);
  const std::string data = file_text("DATA.BIN");
  ASSERT_EQ(data.size(), 16u);
  float stored = 0;
  std::memcpy(&stored, data.data() + 8, 4);
  EXPECT_EQ(stored, 1.5f);
  EXPECT_EQ(data[12], '\0');  // the rest of the record is zero bytes

  run(slot1, token("DATA.BIN"), 0x1 | 0x400, "#8");
  run(slot1, 0, 0x2000, "#1 #1 %" + n(i));
  EXPECT_EQ(int_at(i, 1), 77);
  set_real(r, 0.0f);
  run(slot1, 0, 0x2000, "#2 &" + n(r));
  EXPECT_EQ(real_at(r), 1.5f);
  run(slot1, 0, 0x2000, "#9 &" + n(r));
  EXPECT_NE(io_status, 0);  // no such record
}

TEST_F(file_command, DirectTextRecords) {
  const int32_t t = text_variable("T", 6, 2);
  run(slot1, token("TEXT.DAT"), 0x1, "#6");
  set_text(t, "ABCDEF");
  run(slot1, 0, 0x1000, "#1 &" + n(t));
  set_text(t, "GHIJKL");
  run(slot1, 0, 0x1000, "#2 &" + n(t));
  run(slot1, 0, 0x2000, "#1 &" + n(t));
  EXPECT_EQ(text_at(t), "ABCDEF");
  EXPECT_EQ(error_of([&] { run(slot1, 0, 0x2000, "#1 #2 %" + n(t)); }), 0);
  EXPECT_EQ(last_error_message(), "RND-READ:String+Index!");
  errors_reset();
  EXPECT_EQ(error_of([&] { run(slot1, 0, 0x1000, "#1 #2 %" + n(t)); }), 0);
  EXPECT_EQ(last_error_message(), "RND-Write:Index/noStrng");
  errors_reset();
  EXPECT_EQ(error_of([&] { run(slot1, 0, 0x2000, "#1 #1"); }), 32000);
  EXPECT_EQ(last_error_message(), "READ-NoVar");
}

TEST_F(file_command, PointerLayoutRecords) {
  const int32_t name = text_variable("NAME", 5);
  const int32_t qty = numeric_variable("QTY", var_integer, 2);
  const int32_t layout = numeric_variable("LAYOUT", var_pointer, 3);
  set_int(layout, name, 1);
  set_int(layout, qty | (1 << 16), 2);  // QTY(2)
  set_int(layout, qty, 3);
  set_text(name, "PENCL");
  set_int(qty, 12, 2);
  set_int(qty, 99, 1);
  run(slot1, token("REC.DAT"), 0x1, "#16");
  run(slot1, 0, 0x1000, "#1 #3 %" + n(layout));
  ASSERT_EQ(io_status, 0);
  run(slot1, 0, 0x2);
  const std::string data = file_text("REC.DAT");
  ASSERT_EQ(data.size(), 16u);
  EXPECT_EQ(data.substr(0, 5), "PENCL");
  int32_t word = 0;
  std::memcpy(&word, data.data() + 5, 4);
  EXPECT_EQ(word, 12);
  std::memcpy(&word, data.data() + 9, 4);
  EXPECT_EQ(word, 99);
  EXPECT_EQ(data.substr(13), std::string(3, '\0'));

  set_text(name, "     ");
  set_int(qty, 0, 1);
  set_int(qty, 0, 2);
  run(slot1, token("REC.DAT"), 0x1, "#16");
  run(slot1, 0, 0x2000, "#1 #3 %" + n(layout));
  EXPECT_EQ(text_at(name), "PENCL");
  EXPECT_EQ(int_at(qty, 2), 12);
  EXPECT_EQ(int_at(qty, 1), 99);
  // Only the elements up to the given one are read.
  set_int(qty, 0, 1);
  run(slot1, 0, 0x2000, "#1 #2 %" + n(layout));
  EXPECT_EQ(int_at(qty, 1), 0);
}

TEST_F(file_command, PointerLayoutLongerThanTheRecordStops) {
  const int32_t name = text_variable("NAME", 10);
  const int32_t layout = numeric_variable("LAYOUT", var_pointer, 2);
  set_int(layout, name, 1);
  set_int(layout, name, 2);
  write_file("SHORT.DAT", std::string(12, 'x'));
  run(slot1, token("SHORT.DAT"), 0x1, "#12");
  EXPECT_EQ(error_of([&] { run(slot1, 0, 0x2000, "#1 #2 %" + n(layout)); }), 32000);
  EXPECT_EQ(last_error_message(), "READ:Record-OVL");
  errors_reset();
  set_int(layout, 0, 1);
  EXPECT_EQ(error_of([&] { run(slot1, 0, 0x1000, "#1 #1 %" + n(layout)); }), 32000);
  EXPECT_EQ(last_error_message(), "WRITE:NULL-Pointer");
  errors_reset();
  set_int(layout, 500, 1);
  EXPECT_EQ(error_of([&] { run(slot1, 0, 0x2000, "#1 #1 %" + n(layout)); }), 32000);
  EXPECT_EQ(last_error_message(), "READ:Pointer-OVL");
}

TEST_F(file_command, SequentialMisuseIsReported) {
  const int32_t r = numeric_variable("R", var_real);
  const int32_t t = text_variable("T", 4, 2);
  run(slot1, token("S.TXT"), 0x1, "#0");
  EXPECT_EQ(error_of([&] { run(slot1, 0, 0x2000, "&" + n(r)); }), 0);
  EXPECT_EQ(last_error_message(), "SEQ-READ:String+Index!");
  errors_reset();
  EXPECT_EQ(error_of([&] { run(slot1, slot1, 0x1000, "&" + n(r)); }), 0);
  EXPECT_EQ(last_error_message(), "SEQ-Write:noStrng");
  errors_reset();
  EXPECT_EQ(error_of([&] { run(slot1, slot1, 0x1000, "#2 %" + n(t)); }), 0);
  EXPECT_EQ(last_error_message(), "SEQ-Write:Index");
  errors_reset();
  EXPECT_EQ(error_of([&] { run(slot1, slot1, 0x1000, "#1"); }), 32000);
  EXPECT_EQ(last_error_message(), "WRITE-NoVar");
}

TEST_F(file_command, ReadingAFreeSlot) {
  EXPECT_EQ(error_of([&] { run(slot1, 0, 0x2000, "#0"); }), 0);
  EXPECT_EQ(last_error_message(), "FMGR-Unit not open");
  errors_reset();
  run(slot1, 0, 0x2000 | 0x8, "#0");
  EXPECT_EQ(io_status, -1);
  file_command_state.slots[2].unit = -4;
  EXPECT_EQ(error_of([&] { run(token("#2"), 0, 0x2000, "#0"); }), 0);
  EXPECT_EQ(last_error_message(), "FMGR-CODE falsch");
}

TEST_F(file_command, NoSubFunctionOnAnOpenSlotDoesNothing) {
  run(slot1, token("KEEP.TXT"), 0x1, "#0");
  ASSERT_EQ(io_status, 0);
  const int32_t unit = file_command_state.slots[1].unit;
  EXPECT_EQ(error_of([&] { run(slot1, 0, 0); }), no_error);
  EXPECT_EQ(call_state.command_error, 0);
  EXPECT_EQ(io_status, 0);
  EXPECT_FALSE(std::filesystem::exists("PXBERROR.LOG"));
  EXPECT_EQ(file_command_state.slots[1].unit, unit);  // still open and writable
  run(slot1, token("after"), 0x1000);
  run(slot1, 0, 0x2);
  EXPECT_EQ(file_text("KEEP.TXT"), "after\n");
}

TEST_F(file_command, CloseKeepsAnEarlierWriteFailureAndLogsItOnce) {
  // Every write into /dev/full fails: the program sees it in IOERROR when the buffered lines
  // go out, and the close does not set it back to 0.
  const int32_t full = token("/dev/full");
  const int32_t line = token(std::string(250, 'x'));
  run(slot1, full, 0x1, "#0");
  ASSERT_EQ(io_status, 0);
  int32_t first_failure = 0;
  for (int i = 0; i < 300 && first_failure == 0; ++i) {
    run(slot1, line, 0x1000);
    first_failure = io_status;
  }
  EXPECT_EQ(first_failure, ENOSPC);
  run(slot1, line, 0x1000);
  EXPECT_EQ(io_status, ENOSPC);
  run(slot1, 0, 0x2);
  EXPECT_EQ(io_status, ENOSPC);

  // A close that cannot write the last buffered line reports it.
  run(slot3, full, 0x1, "#0");
  ASSERT_EQ(io_status, 0);
  run(slot3, token("one short line"), 0x1000);
  EXPECT_EQ(io_status, 0);
  run(slot3, 0, 0x2);
  EXPECT_EQ(io_status, ENOSPC);

  const std::string log = file_text("PXBERROR.LOG");
  const std::string entry = "cannot write /dev/full: " + std::string(std::strerror(ENOSPC));
  const size_t at = log.find(entry);
  ASSERT_NE(at, std::string::npos) << log;
  EXPECT_NE(log.find(entry, at + 1), std::string::npos) << "one line per slot";
  EXPECT_EQ(log.find(entry, log.find(entry, at + 1) + 1), std::string::npos) << log;
}

// ---------------------------------------------------------------- as programs write them
namespace {
// A program of FILE commands on slot 1 (T1 "#1", expression "#0"), then RETURN; the texts are
// its tokens @0002 on.
std::string file_program(const std::vector<std::string>& texts, const std::string& codes) {
  std::string tokens = "@0001 #1|\n";
  for (size_t i = 0; i < texts.size(); ++i) tokens += "@000" + std::to_string(i + 2) + " " + texts[i] + "|\n";
  return small_program("&0001 I 0001:I/0\n", "#0\n", tokens, codes + "RETURN\n");
}
}  // namespace

// A relative name of 70 characters (folders on Linux are often longer than 64) is opened
// whole: the file named by its first 64 characters stays as it was.
TEST_F(file_command, ProgramOpensALongNameWholeNotTheFileOfItsFirst64Characters) {
  const std::string name = "Kunden/Mueller GmbH/Rechnungen 2026/rechnung-0001-entwurf-fassung2.txt";
  ASSERT_EQ(name.size(), 70u);
  std::filesystem::create_directories("Kunden/Mueller GmbH/Rechnungen 2026");
  write_file(name.substr(0, 64).c_str(), "fassun: kept\n");
  load_program_image(file_program({name, "neue Zeile"}, "/00000001 FILE @0001 @0002 %0001\n"
                                                       "/00001000 FILE @0001 @0003\n/00000002 FILE @0001\n"));
  interpreter(1);
  EXPECT_EQ(io_status, 0);
  EXPECT_EQ(file_text(name.c_str()), "neue Zeile\n");
  EXPECT_EQ(file_text(name.substr(0, 64).c_str()), "fassun: kept\n");

  // A name that its variables make longer than a text holds is refused, not cut.
  const std::string folder(150, 'f');
  std::filesystem::create_directories(folder);
  load_program_image(small_program("&0001 I 0001:I/0\n&0002 S 0001*150:T/" + folder + "\n", "#0\n",
                                   "@0001 #1|\n@0002 \xFA" "0002/\xFA" "0002.txt|\n",
                                   "/00000001 FILE @0001 @0002 %0001\nRETURN\n"));
  interpreter(1);
  EXPECT_EQ(io_status, ENAMETOOLONG);
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  EXPECT_NE(file_text("PXBERROR.LOG").find("-WARNUNG:cannot open " + folder + "/"), std::string::npos);
}

// Appending to a file whose last line has no line end puts one in first, in the file's own
// style; the runtime's reader counted that last line as a line, and the new one follows it.
TEST_F(file_command, ProgramAppendsAfterALastLineWithoutItsLineEnd) {
  write_file("LF.TXT", "first\nlast without end");
  write_file("CRLF.TXT", "first\r\nlast without end");
  write_file("DONE.TXT", "first\nlast\n");
  const std::string append = "/00000101 FILE @0001 @0002 %0001\n/00001000 FILE @0001 @0003\n/00000002 FILE @0001\n";
  for (const char* file : {"LF.TXT", "CRLF.TXT", "DONE.TXT"}) {
    load_program_image(file_program({file, "appended line"}, append));
    interpreter(1);
    EXPECT_EQ(io_status, 0) << file;
  }
  EXPECT_EQ(file_text("LF.TXT"), "first\nlast without end\nappended line\n");
  EXPECT_EQ(file_text("CRLF.TXT"), "first\r\nlast without end\r\nappended line\n");
  EXPECT_EQ(file_text("DONE.TXT"), "first\nlast\nappended line\n");
}
