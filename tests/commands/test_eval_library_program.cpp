// A whole PXB program that uses the library functions and writes their results with FILE;
// its output file is compared line by line with tests/programs/exprlib/exprlib.expected.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "runtime/commands/runtime.h"
#include "runtime/commands/file_command.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/calendar.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/screen/field_output.h"
#include "support/runtime_fixture.h"

namespace {

// The formatted field of element 1 of the named variable (20 characters) without its trailing
// blanks.
std::string field_text(std::string_view name) {
  std::string out(20, '?');
  format_var_by_name(name, 1);
  get_input_text(out.data(), static_cast<int32_t>(out.size()));
  return out.substr(0, out.find_last_not_of(' ') + 1);
}

class exprlib_program : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    file_command_reset();
  }
  void TearDown() override {
    file_command_reset();
    runtime_fixture::TearDown();
  }
};

TEST_F(exprlib_program, LibraryFunctionsInAProgram) {
  const std::string base = std::string(WINKYR_TEST_PROGRAMS) + "/exprlib/exprlib";
  start_headless();
  load_program(base + ".pxb");
  interpreter(1);
  for (const box_seen& box : boxes) ADD_FAILURE() << "box: " << box.caption << ": " << box.text;
  EXPECT_FALSE(program_has_ended());
  std::ifstream in(base + ".expected", std::ios::binary);
  std::vector<std::string> expected;
  for (std::string line; std::getline(in, line);) expected.push_back(line);
  ASSERT_FALSE(expected.empty());
  const std::vector<std::string> actual = file_lines("EXPRLIB.OUT");
  for (size_t i = 0; i < std::max(expected.size(), actual.size()); ++i)
    EXPECT_EQ(i < actual.size() ? actual[i] : "<missing>", i < expected.size() ? expected[i] : "<extra>")
        << "line " << i + 1;
}

// STRING reads its picture in upper case, the texts of a logical picture too, whether the
// picture is a text token or a text variable filled by a concatenation.
TEST_F(exprlib_program, StringReadsPicturesInLowerCase) {
  start_headless();
  load_program_image(
      "[PROC]\nCSET=W\n[INIT]\nCODES=4\nUPNCODES=3\nUPNTOKENS=40\nTEXTTOKENS=3\nTEXTCHARACTERS=40\n"
      "VARIABLES=3\nSTRINGSPACE=100\nADRSPACE=4\n[VARIABLES]\n&0001 S 0001*016:P/\n&0002 S 0001*016:A/\n"
      "&0003 S 0001*016:B/\n[UPNCODES]\n#1 @1 _STRING &2 __STO\n@2 @3 _// &1 __STO\n"
      "#0 &1 _STRING &3 __STO\n[TEXTTOKENS]\n@0001 lja:nein|\n@0002 l|\n@0003 ja:nein|\n"
      "[CODES]\n%0001\n%0002\n%0003\nRETURN\n");
  interpreter(1);
  for (const box_seen& box : boxes) ADD_FAILURE() << "box: " << box.caption << ": " << box.text;
  const auto text = [](std::string_view name) {
    std::string out(16, ' ');
    format_var_by_name(name, 1);
    get_input_text(out.data(), static_cast<int32_t>(out.size()));
    return out;
  };
  EXPECT_EQ(text("A"), "JA              ");
  EXPECT_EQ(text("P"), "lja:nein        ");
  EXPECT_EQ(text("B"), "NEIN            ");
}


// STRING with the I field pictures: digits, sign, asterisks, a field wider than the 30
// characters STRING keeps, a value whose slot held a longer text before, the same picture
// again with other values, and a picture used again after four others.
TEST_F(exprlib_program, StringWritesIFields) {
  start_headless();
  const std::string long_text(60, 'x');
  load_program_image(
      "[PROC]\nCSET=W\n[INIT]\nCODES=7\nUPNCODES=6\nUPNTOKENS=60\nTEXTTOKENS=6\nTEXTCHARACTERS=100\n"
      "VARIABLES=7\nSTRINGSPACE=300\nADRSPACE=4\n[VARIABLES]\n&0001 S 0001*040:A/\n&0002 S 0001*040:B/\n"
      "&0003 S 0001*040:C/\n&0004 S 0001*040:D/\n&0005 S 0001*040:E/\n&0006 I 0001:L/0\n&0007 I 0001:N/0\n"
      "[UPNCODES]\n#-7 @1 _STRING &1 __STO #123456 @2 _STRING &2 __STO\n#42 @3 _STRING &3 __STO\n"
      "@4 _LEN @5 _STRING &4 __STO @4 _LEN @5 _STRING _LEN &6 __STO\n#98 &7 __STO\n"
      "&7 @6 _STRING &7 #1 _+ @6 _STRING _// &5 __STO\n#-12 @1 _STRING &1 __STO\n"
      "[TEXTTOKENS]\n@0001 i5.3|\n@0002 (I4)|\n@0003 I35|\n@0004 " + long_text + "|\n@0005 I3|\n@0006 I5|\n"
      "[CODES]\n%0001\n%0002\n%0003\n%0004\n%0005\n%0006\nRETURN\n");
  interpreter(1);
  for (const box_seen& box : boxes) ADD_FAILURE() << "box: " << box.caption << ": " << box.text;
  const auto text = [](std::string_view name) {
    std::string out(40, '?');
    format_var_by_name(name, 1);
    get_input_text(out.data(), static_cast<int32_t>(out.size()));
    return out;
  };
  const auto padded = [](std::string t) { return t + std::string(40 - t.size(), ' '); };
  EXPECT_EQ(text("A"), padded(" -012"));
  EXPECT_EQ(text("B"), padded("****"));
  EXPECT_EQ(text("C"), padded(std::string(33, ' ') + "42"));  // I35: all 35 places
  EXPECT_EQ(text("D"), padded(" 60"));
  EXPECT_EQ(get_int_variable("L"), 3);
  EXPECT_EQ(text("E"), padded("   98   99"));
}

// STRING with I and Z pictures of whole numbers beyond 32 bits: the number itself where it
// fits, asterisks where it does not; a Z field shows the number's 32-bit word, asterisks for a
// number outside it.
TEST_F(exprlib_program, StringWritesWholeNumbersBeyond32Bits) {
  start_headless();
  load_program_image(
      "[PROC]\nCSET=W\n[INIT]\nCODES=9\nUPNCODES=8\nUPNTOKENS=60\nTEXTTOKENS=6\nTEXTCHARACTERS=40\n"
      "VARIABLES=8\nSTRINGSPACE=200\nADRSPACE=4\n[VARIABLES]\n&0001 S 0001*020:A/\n&0002 S 0001*020:B/\n"
      "&0003 S 0001*020:C/\n&0004 S 0001*020:D/\n&0005 S 0001*020:E/\n&0006 S 0001*020:F/\n"
      "&0007 S 0001*020:G/\n&0008 S 0001*020:H/\n"
      "[UPNCODES]\n#3E9 @1 _STRING &1 __STO\n#3E9 @2 _STRING &2 __STO\n#3E9 @3 _STRING &3 __STO\n"
      "#-3E9 @4 _STRING &4 __STO\n#1E20 @2 _STRING &5 __STO\n#3E9 @5 _STRING &6 __STO\n"
      "#-1 @6 _STRING &7 __STO\n#1E10 @5 _STRING &8 __STO\n"
      "[TEXTTOKENS]\n@0001 I|\n@0002 I10|\n@0003 I12|\n@0004 I11|\n@0005 Z|\n@0006 Z8|\n"
      "[CODES]\n%0001\n%0002\n%0003\n%0004\n%0005\n%0006\n%0007\n%0008\nRETURN\n");
  interpreter(1);
  for (const box_seen& box : boxes) ADD_FAILURE() << "box: " << box.caption << ": " << box.text;
  const auto text = [](std::string_view name) { return field_text(name); };
  EXPECT_EQ(text("A"), "3000000000");
  EXPECT_EQ(text("B"), "3000000000");
  EXPECT_EQ(text("C"), "  3000000000");
  EXPECT_EQ(text("D"), "-3000000000");
  EXPECT_EQ(text("E"), "**********");
  EXPECT_EQ(text("F"), "B2D05E00");
  EXPECT_EQ(text("G"), "FFFFFFFF");
  EXPECT_EQ(text("H"), "********");
}

// STRING of an integer variable formats the variable's own value, also where the float it
// reads as differs (above 2^24, and 2147483647, which reads as 2^31): the values a file or a
// database delivers.  A sum of such a variable is a float again and shows as one.
TEST_F(exprlib_program, StringOfAnIntegerVariableShowsItsExactValue) {
  start_headless();
  load_program_image(
      "[PROC]\nCSET=W\n[INIT]\nCODES=11\nUPNCODES=10\nUPNTOKENS=80\nTEXTTOKENS=6\nTEXTCHARACTERS=40\n"
      "VARIABLES=13\nSTRINGSPACE=220\nADRSPACE=4\n[VARIABLES]\n&0001 I 0001:K/0\n&0002 I 0001:M/0\n"
      "&0003 I 0001:N/0\n&0004 S 0001*020:A/\n&0005 S 0001*020:B/\n&0006 S 0001*020:C/\n"
      "&0007 S 0001*020:D/\n&0008 S 0001*020:E/\n&0009 S 0001*020:F/\n&0010 S 0001*020:G/\n"
      "&0011 S 0001*020:H/\n&0012 S 0001*020:J/\n&0013 S 0001*020:L/\n"
      "[UPNCODES]\n&1 @1 _STRING &4 __STO\n&1 @2 _STRING &5 __STO\n&1 @3 _STRING &6 __STO\n"
      "&2 @3 _STRING &7 __STO\n&2 @1 _STRING &8 __STO\n&3 @1 _STRING &9 __STO\n"
      "&3 @4 _STRING &10 __STO\n&1 @5 _STRING &11 __STO\n&3 #1 _+ @1 _STRING &12 __STO\n"
      "&3 @6 _STRING &13 __STO\n"
      "[TEXTTOKENS]\n@0001 I|\n@0002 I12|\n@0003 Z8|\n@0004 Z|\n@0005 F12.0|\n@0006 E15.8|\n"
      "[CODES]\n%0001\n%0002\n%0003\n%0004\n%0005\n%0006\n%0007\n%0008\n%0009\n%0010\nRETURN\n");
  set_int_variable("K", 2147483647);
  set_int_variable("M", -2147483647 - 1);
  set_int_variable("N", 16777217);
  interpreter(1);
  for (const box_seen& box : boxes) ADD_FAILURE() << "box: " << box.caption << ": " << box.text;
  const auto text = [](std::string_view name) { return field_text(name); };
  EXPECT_EQ(text("A"), "2147483647");
  EXPECT_EQ(text("B"), "  2147483647");
  EXPECT_EQ(text("C"), "7FFFFFFF");
  EXPECT_EQ(text("D"), "80000000");
  EXPECT_EQ(text("E"), "-2147483648");
  EXPECT_EQ(text("F"), "16777217");
  EXPECT_EQ(text("G"), "1000001");
  EXPECT_EQ(text("H"), " 2147483647.");
  EXPECT_EQ(text("J"), "16777216");  // 16777217 + 1 as a float
  EXPECT_EQ(text("L"), " 0.16777217E+08");
  EXPECT_EQ(get_int_variable("K"), 2147483647);  // the variable itself is untouched
}

// D pictures: a day number beyond 31.12.9999, infinity and NaN fill the whole field with
// asterisks (never another date); a number below 1 is the empty date.
TEST_F(exprlib_program, StringOfADayNumberWithoutADateGivesAsterisks) {
  int32_t last = 31;
  date_to_day(last, 12, 9999);
  start_headless();
  const std::string last_day = std::to_string(last), after = std::to_string(last + 1);
  load_program_image(
      "[PROC]\nCSET=W\n[INIT]\nCODES=10\nUPNCODES=9\nUPNTOKENS=90\nTEXTTOKENS=2\nTEXTCHARACTERS=20\n"
      "VARIABLES=9\nSTRINGSPACE=200\nADRSPACE=4\n[VARIABLES]\n&0001 S 0001*020:A/\n&0002 S 0001*020:B/\n"
      "&0003 S 0001*020:C/\n&0004 S 0001*020:D/\n&0005 S 0001*020:E/\n&0006 S 0001*020:F/\n"
      "&0007 S 0001*020:G/\n&0008 S 0001*020:H/\n&0009 S 0001*020:J/\n"
      "[UPNCODES]\n#3E9 @1 _STRING &1 __STO\n#3E9 @2 _STRING &2 __STO\n"
      "#3E38 #10 _* @1 _STRING &3 __STO\n#-3E38 #10 _* @2 _STRING &4 __STO\n"
      "#3E38 #10 _* #3E38 #10 _* _- @1 _STRING &5 __STO\n#" + last_day + " @1 _STRING &6 __STO\n#" +
      after + " @1 _STRING &7 __STO\n#" + after + " @2 _STRING &8 __STO\n#-3E9 @1 _STRING &9 __STO\n"
      "[TEXTTOKENS]\n@0001 D|\n@0002 D8|\n"
      "[CODES]\n%0001\n%0002\n%0003\n%0004\n%0005\n%0006\n%0007\n%0008\n%0009\nRETURN\n");
  interpreter(1);
  for (const box_seen& box : boxes) ADD_FAILURE() << "box: " << box.caption << ": " << box.text;
  const auto text = [](std::string_view name) { return field_text(name); };
  EXPECT_EQ(text("A"), "**********");
  EXPECT_EQ(text("B"), "********");
  EXPECT_EQ(text("C"), "**********");  // infinity
  EXPECT_EQ(text("D"), "********");    // minus infinity
  EXPECT_EQ(text("E"), "**********");  // NaN
  EXPECT_EQ(text("F"), "31.12.9999");
  EXPECT_EQ(text("G"), "**********");
  EXPECT_EQ(text("H"), "********");
  EXPECT_EQ(text("J"), "00.00.0000");
}

}  // namespace
