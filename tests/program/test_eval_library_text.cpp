// Text functions and number/text conversions on value-stack slots.
#include <bit>
#include <cstdint>
#include <string>

#include "runtime/program/calendar.h"
#include "runtime/screen/screen.h"
#include "test_eval_library_fixture.h"

namespace {

constexpr int32_t UPCASE = 55, COMPRESS = 56, COLLAPSE = 57, LOWCASE = 58, INDEX = 59, ENDEX = 60,
                  VERIFY = 61, EVERIFY = 62, SCAN = 63, ESCAN = 64, ALL = 65, STRING = 69, VALUE = 70,
                  ISTR = 71, IVAL = 72, RSTR = 73, RVAL = 74, LEN = 75, ASC = 76, TRIM = 77, RTRIM = 78;

class EvalText : public EvalLibrary {
 protected:
  // One-argument text function of a text; the result text (by its length).
  std::string t1(int32_t code, std::string_view text) {
    reset_evaluator();
    push_text(text);
    run(code);
    EXPECT_EQ(evaluator.sp, 1);
    return top_text();
  }
  float v1(int32_t code, std::string_view text) {
    reset_evaluator();
    push_text(text);
    run(code);
    return top_value();
  }
  std::string string_of(float v, std::string_view picture) {
    reset_evaluator();
    push(v);
    push_text(picture);
    run(STRING);
    EXPECT_EQ(evaluator.sp, 1);
    EXPECT_EQ(top_value(), static_cast<float>(top_type()));
    return top_text();
  }
};

TEST_F(EvalText, Searches) {
  EXPECT_EQ(t2(INDEX, "ABCABC", "BC"), 2.0f);
  EXPECT_EQ(t2(ENDEX, "ABCABC", "BC"), 5.0f);
  EXPECT_EQ(t2(INDEX, "ABC", ""), 0.0f);
  EXPECT_EQ(t2(INDEX, "", "A"), 0.0f);
  EXPECT_EQ(t2(INDEX, "ABC", "X"), 0.0f);
  EXPECT_EQ(t2(VERIFY, "  AB", " "), 3.0f);
  EXPECT_EQ(t2(EVERIFY, "AB  ", " "), 2.0f);
  EXPECT_EQ(t2(VERIFY, "   ", " "), 0.0f);
  EXPECT_EQ(t2(SCAN, "A,B;C", ",;"), 2.0f);
  EXPECT_EQ(t2(ESCAN, "A,B;C", ",;"), 4.0f);
  EXPECT_EQ(t2(SCAN, "ABC", ",;"), 0.0f);
  // Only the first n characters of the lower slot are searched.
  EXPECT_EQ(t2(INDEX, "AB", "ABC"), 0.0f);
  // A numeric operand becomes a one-character text: 65 is "A".
  reset_evaluator();
  push_text("xxA");
  push(65);
  run(INDEX);
  EXPECT_EQ(top_value(), 3.0f);
  EXPECT_EQ(top_type(), -1);
}

TEST_F(EvalText, TrimmingAndBlanks) {
  EXPECT_EQ(t1(TRIM, "  AB  "), "AB");
  EXPECT_EQ(top_value(), 2.0f);
  EXPECT_EQ(t1(RTRIM, "  AB  "), "  AB");
  EXPECT_EQ(top_value(), 4.0f);
  EXPECT_EQ(t1(TRIM, "    "), "");
  EXPECT_EQ(top_type(), 0);
  EXPECT_EQ(t1(COMPRESS, " A B  C "), "ABC");
  EXPECT_EQ(t1(COMPRESS, "ABC"), "ABC");
  EXPECT_EQ(t1(COLLAPSE, "  A   B "), "A B");
  EXPECT_EQ(t1(COLLAPSE, "A B C"), "A B C");
}

TEST_F(EvalText, InPlaceFunctionsKeepValueAndPendingSubstring) {
  reset_evaluator();
  push_text(" A B ");
  evaluator.top().set_value(42.0f);
  evaluator.substring_pending = true;
  evaluator.substring_a = 1;
  evaluator.substring_b = 1;
  run(COMPRESS);
  EXPECT_EQ(top_text(), "AB");
  EXPECT_EQ(top_value(), 42.0f);
  EXPECT_TRUE(evaluator.substring_pending);
  // The next text exit takes it.
  run(RTRIM);
  EXPECT_EQ(top_text(), "A");
  EXPECT_FALSE(evaluator.substring_pending);
}

TEST_F(EvalText, CaseChangesOnlyAsciiLetters) {
  EXPECT_EQ(t1(UPCASE, "abc xyz \xE4"), "ABC XYZ \xE4");
  EXPECT_EQ(t1(LOWCASE, "ABC XYZ \xC4"), "abc xyz \xC4");
  EXPECT_EQ(top_type(), 9);
}

TEST_F(EvalText, AllLenAsc) {
  std::string all = t1(ALL, "-x");
  EXPECT_EQ(all, std::string(512, '-'));
  EXPECT_EQ(top_value(), 512.0f);
  reset_evaluator();
  push(42);
  run(ALL);
  EXPECT_EQ(top_text(), std::string(512, '*'));
  EXPECT_EQ(v1(LEN, "ab  "), 2.0f);
  EXPECT_EQ(v1(ASC, "A"), 65.0f);
  EXPECT_EQ(v1(ASC, "\xE9"), 233.0f);
  reset_evaluator();
  push(66);
  run(ASC);
  EXPECT_EQ(top_value(), 66.0f);
  // ALL with a pending substring gives that part of the 512 characters.
  reset_evaluator();
  push_text("=");
  evaluator.substring_pending = true;
  evaluator.substring_a = 3;
  evaluator.substring_b = 7;
  run(ALL);
  EXPECT_EQ(top_text(), "=====");
}

TEST_F(EvalText, ValueReading) {
  EXPECT_EQ(v1(VALUE, "1,5"), 1.5f);
  EXPECT_EQ(v1(VALUE, "1.234,5"), 0.0f);
  EXPECT_EQ(v1(VALUE, "ZFF"), 255.0f);
  EXPECT_EQ(v1(VALUE, "ZFFFFFFFF"), -1.0f);
  EXPECT_EQ(v1(VALUE, "ZXY"), 0.0f);
  EXPECT_EQ(v1(VALUE, "zFF"), std::bit_cast<float>(0xFFu));
  EXPECT_EQ(v1(VALUE, "z3F800000"), 1.0f);
  EXPECT_EQ(v1(VALUE, "  12  "), 12.0f);
  EXPECT_EQ(v1(VALUE, "-1.5E2"), -150.0f);
  EXPECT_EQ(v1(VALUE, "abc"), 0.0f);
  EXPECT_EQ(v1(VALUE, ""), 0.0f);
  EXPECT_EQ(v1(VALUE, "12345678901234567890123"), 12345678901234567890.0f);
  EXPECT_EQ(top_type(), -1);
}

TEST_F(EvalText, BinaryPacking) {
  reset_evaluator();
  push(2.5f);
  run(ISTR);
  EXPECT_EQ(top_type(), 4);
  EXPECT_EQ(top_text(), std::string("\x03\x00\x00\x00", 4));
  run(IVAL);
  EXPECT_EQ(top_value(), 3.0f);
  reset_evaluator();
  push(-2.5f);
  run(ISTR);
  EXPECT_EQ(top_text(), std::string("\xFD\xFF\xFF\xFF", 4));
  run(IVAL);
  EXPECT_EQ(top_value(), -3.0f);
  EXPECT_EQ(v1(IVAL, std::string("\xFF\xFF", 2)), -1.0f);
  EXPECT_EQ(v1(IVAL, std::string("\x00\x80", 2)), -32768.0f);
  EXPECT_EQ(v1(IVAL, std::string("\xFF\x7F", 2)), 32767.0f);
  reset_evaluator();
  push(1.0f);
  run(RSTR);
  EXPECT_EQ(top_text(), std::string("\x00\x00\x80\x3F", 4));
  run(RVAL);
  EXPECT_EQ(top_value(), 1.0f);
}

TEST_F(EvalText, BinaryLengthErrorsEndTheProgram) {
  EXPECT_EQ(end_code([&] { v1(IVAL, "abc"); }), 32000);
  EXPECT_NE(error_log().find("NO-IVAL*2/4"), std::string::npos);
  errors_reset();
  EXPECT_EQ(end_code([&] { v1(RVAL, "ab"); }), 32000);
  EXPECT_NE(error_log().find("NO-RVAL*4"), std::string::npos);
}

TEST_F(EvalText, StringPictures) {
  EXPECT_EQ(string_of(1234.5f, "I"), "1235");
  EXPECT_EQ(string_of(-7.5f, "i5"), "   -8");  // the picture is upper-cased
  EXPECT_EQ(string_of(1234.5f, "F8,2"), " 1234,50");
  EXPECT_EQ(string_of(1234.5f, "F8.2"), " 1234.50");
  EXPECT_EQ(string_of(0.5f, "F6:3"), " 0:500");
  EXPECT_EQ(string_of(1234.5f, "F"), "1234.5");
  EXPECT_EQ(string_of(1234.5f, "F,"), "1234,5");
  EXPECT_EQ(string_of(12.0f, "F"), "12.");
  EXPECT_EQ(string_of(-0.25f, "E:"), "-0:25");
  EXPECT_EQ(string_of(1234.5f, "E12,4"), "  0,1235E+04");
  EXPECT_EQ(string_of(1.0f, "LJA:NEIN"), "JA");
  EXPECT_EQ(string_of(0.0f, "LJA:NEIN"), "NEIN");
  int32_t march5 = 5;
  date_to_day(march5, 3, 2020);
  EXPECT_EQ(string_of(static_cast<float>(march5), "D"), " 5.03.2020");
  EXPECT_EQ(string_of(static_cast<float>(march5), "D8"), " 5.03.20");
  EXPECT_EQ(string_of(static_cast<float>(march5 + 10), "D"), "15.03.2020");
  EXPECT_EQ(string_of(0.0f, "D"), "00.00.0000");
  EXPECT_EQ(string_of(0.25f, "Q"), " o,250");
  EXPECT_EQ(string_of(255.0f, "Z"), "FF");
  EXPECT_EQ(string_of(0.0f, "Z"), "0");
  EXPECT_EQ(string_of(-1.0f, "Z"), "FFFFFFFF");
  EXPECT_EQ(string_of(255.0f, "Z4"), "  FF");
  EXPECT_EQ(string_of(123456.0f, "I4"), "****");
}

TEST_F(EvalText, StringWithUnknownLetterWarnsAndReports) {
  set_auto_mode(true);
  EXPECT_EQ(end_code([&] { string_of(1.0f, "X5"); }), 0);
  EXPECT_NE(last_warning_message().find("Format nicht unterst."), std::string::npos);
  EXPECT_NE(error_log().find("FMT-Error:(X5)"), std::string::npos);
}

}  // namespace

namespace {

// Every text function on texts of every length up to the whole slot, with and without a
// pending substring: results stay inside the 512-character text and lengths stay 0..512.
TEST_F(EvalText, AllLengthsStayInsideTheSlot) {
  const int32_t codes[] = {UPCASE, COMPRESS, COLLAPSE, LOWCASE, ALL, VALUE, LEN, ASC, TRIM, RTRIM};
  const int32_t pairs[] = {INDEX, ENDEX, VERIFY, EVERIFY, SCAN, ESCAN};
  for (int32_t length : {0, 1, 2, 4, 19, 20, 21, 255, 256, 257, 511, 512}) {
    std::string text(static_cast<size_t>(length), ' ');
    for (int32_t i = 0; i < length; ++i) text[static_cast<size_t>(i)] = "a B,c  d"[i % 8];
    for (int32_t code : codes) {
      for (bool pending : {false, true}) {
        reset_evaluator();
        push_text(text);
        evaluator.substring_pending = pending;
        evaluator.substring_a = 500;
        evaluator.substring_b = 9999;
        run(code);
        ASSERT_EQ(evaluator.sp, 1);
        ASSERT_GE(top_type(), -1);
        ASSERT_LE(top_type(), 512);
      }
    }
    for (int32_t code : pairs) {
      reset_evaluator();
      push_text(text);
      push_text(text);
      run(code);
      ASSERT_EQ(evaluator.sp, 1);
      ASSERT_LE(top_type(), 512);
    }
    reset_evaluator();
    push(1.5f);
    push_text(("F8.2    " + text).substr(0, 512));
    run(STRING);
    ASSERT_EQ(top_text(), "    1.50");
  }
}

}  // namespace
