// Form lines: the seven field kinds filled from program variables, the layout test, "$FORM"
// definitions, field syntax errors, and the picture formatter.
#include <string>

#include "program/test_evaluator_fixture.h"
#include "runtime/output/print/print.h"
#include "runtime/screen/field_output.h"
#include "runtime/screen/screen.h"

namespace {

class form_format_test : public evaluator_test {
 protected:
  void SetUp() override {
    evaluator_test::SetUp();
    set_auto_mode(true);  // warnings are traced, never shown in a box
    form_format_reset();
    field_output_reset();
    const int32_t name = text_variable("NAME", 10);
    set_text(name, "Meier     ");
    const int32_t sum = numeric_variable("SUM", var_real);
    set_real(sum, 1234.56f);
    const int32_t nr = numeric_variable("NR", var_integer);
    set_int(nr, 42);
    const int32_t code = text_variable("CODE", 3);
    set_text(code, "abc");
    const int32_t empty = text_variable("EMPTY", 4);
    set_text(empty, "    ");
    const int32_t list = text_variable("LIST", 5, 3);
    set_text(list, "one  ", 1);
    set_text(list, "two  ", 2);
    set_text(list, "three", 3);
    text_variable("TA", 7);
    text_variable("TB", 7);
    const int32_t l = text_variable("L", 10);
    set_text(l, "abcdefghij");
  }

  // Formats `text` as an 80-character line and returns it without trailing blanks.
  static std::string format(const std::string& text, bool flag = true) {
    std::string line = text;
    line.resize(80, ' ');
    frm_format_line(line, flag);
    EXPECT_EQ(line.size(), 80u);
    return line.substr(0, line.find_last_not_of(' ') + 1);
  }
  void set_var_text(const char* name, const std::string& text) {
    set_string_variable(name, text);
  }
};

const std::string form_line = "A{NAME######B}SUM#C$NR###D\xB0" "CODE E|CODE#F&41G^NR##H\xB0" "EMPTY I";

TEST_F(form_format_test, AllSevenKindsFromProgramVariables) {
  EXPECT_EQ(format(form_line),
            "A" "Meier      " "B" " 1234" "C" "  42  " "D" "abc E" "a b c " "F" "A" "G" "   42" "H" "I");
}

TEST_F(form_format_test, LayoutTestFillsFieldsWithDots) {
  EXPECT_EQ(format(form_line, false), "A" + std::string(11, '.') + "B" + std::string(5, '.') + "C" +
                                          std::string(6, '.') + "D" + std::string(5, '.') + " E" +
                                          std::string(6, '.') + "F" "A" "G" + std::string(5, '.') + "H" +
                                          std::string(6, '.') + " I");
  EXPECT_EQ(format("x {NOSUCH#### y", false), "x ........... y");
}

TEST_F(form_format_test, DoubledStartCharactersAndEscapes) {
  EXPECT_EQ(format("a {{NAME b"), "a {NAME b");
  EXPECT_EQ(format("a && b"), "a & b");
  EXPECT_EQ(format("a $$ b"), "a $ b");
  EXPECT_EQ(format("x &41 y"), "x A y");
  EXPECT_EQ(format("x &4a y"), "x J y");
  EXPECT_EQ(format("x &4A y"), "x J y");
  EXPECT_EQ(format("x &4a&41 y"), "x JA y");
  // A start character in the last non-blank place is text.
  EXPECT_EQ(format("total {"), "total {");
}

TEST_F(form_format_test, FieldExtentAndSeparators) {
  // "}" BETRAG and four "#": 11 places, the name BETRAG.
  const int32_t betrag = numeric_variable("BETRAG", var_real);
  set_real(betrag, 5.5f);
  EXPECT_EQ(format("[}BETRAG####]"), "[       5,50]");
  // A separator ends a name before any "#".
  EXPECT_EQ(format("{NR.x"), "42 .x");
  EXPECT_EQ(format("{NR,{NR;}NR-"), "42 ,42 ; 42-");
  // "]" and ")" are no separators: they belong to the name.
  EXPECT_EQ(format("x {NAME] y", false), "x ...... y");
}

TEST_F(form_format_test, RightJustifiedDropsDecimalsFirst) {
  set_var_text("TA", "1234,56");
  EXPECT_EQ(format("[}TA##]"), "[ 1234]");
  set_var_text("TA", "12,");
  EXPECT_EQ(format("[}TA##]"), "[   12]");
  set_var_text("TA", "1234567");
  EXPECT_EQ(format("[}TA."), "[234.");  // at most three characters go from the end
}

// A number is never cut into another number: what decimals cannot make fit is asterisks, in
// every kind of field; the same characters in a text variable are cut to the field.
TEST_F(form_format_test, ANumberTooWideIsAsterisksWhereATextIsCut) {
  set_int(numeric_variable("K", var_integer), 12345);
  set_real(numeric_variable("R", var_real), -1234.56f);
  set_var_text("TA", "12345");
  EXPECT_EQ(format("[}K##]"), "[****]");
  EXPECT_EQ(format("[}TA#]"), "[1234]");
  EXPECT_EQ(format("[{K##]"), "[****]");
  EXPECT_EQ(format("[{TA#]"), "[1234]");
  EXPECT_EQ(format("[^K##]"), "[****]");  // as delivered: the number reaches past the field
  EXPECT_EQ(format("[^K###]"), "[12345]");
  EXPECT_EQ(format("[}R####]"), "[ -1234]");
  EXPECT_EQ(format("[$R####]"), "[-1234 ]");
  EXPECT_EQ(format("[}R##]"), "[****]");  // not 1234
  EXPECT_EQ(format("[^R#####]"), "[-1234,5]");  // its last decimal goes
}

TEST_F(form_format_test, CentredAndLetterSpaced) {
  set_var_text("TB", "ab");
  EXPECT_EQ(format("[$TB##]"), "[ ab  ]");
  set_var_text("TB", "abcdefg");
  EXPECT_EQ(format("[$TB#]"), "[bcde]");
  set_var_text("TB", "abc");
  EXPECT_EQ(format("[|TB###]"), "[a b c ]");
}

TEST_F(form_format_test, VariableLengthFields) {
  EXPECT_EQ(format("x \xB0" "EMPTY y"), "x y");
  EXPECT_EQ(format("x \xB0" "NAME###### y"), "x Meier y");
  // The line keeps its length when an insertion is longer than the field.
  std::string line = "<\xB0" "L.";
  frm_format_line(line, true);
  EXPECT_EQ(line, "<abc");
}

TEST_F(form_format_test, SubstringsAndElements) {
  EXPECT_EQ(format("[{NAME[2:4] ]"), "[eie        ]");
  EXPECT_EQ(format("[{LIST(2)."), "[two     .");
  EXPECT_EQ(format("[{LIST(3)#]"), "[three    ]");
  EXPECT_EQ(format("[{LIST(2)[2:3]#]"), "[wo            ]");
}

TEST_F(form_format_test, FieldSyntaxErrorsEndTheProgram) {
  auto fails = [&](const std::string& text, const std::string& message) {
    EXPECT_EQ(error_of([&] { format(text); }), 32000) << text;
    EXPECT_EQ(last_error_message(), message) << text;
  };
  fails("x {NAME[2] y", "FMT-SUBSTR ? : ]");
  fails("x {NAME[245] y", "FMT-SUBSTR ? : :");
  fails("x {NAME[a:b] y", "FMT-SUBSTR !");
  fails("x {LIST(2 y", "FMT-Index ? : )");
  fails("x {LIST(x) y", "FMT-Index !");
}

TEST_F(form_format_test, Definitions) {
  std::string def = "$FORM A=Z/0=";
  def.resize(40, ' ');
  frm_format_line(def, true);
  EXPECT_EQ(def.substr(0, 5), "$SKIP");
  EXPECT_EQ(def.find_first_not_of(' ', 5), std::string::npos);
  EXPECT_EQ(form_def_table.count, 1);
  EXPECT_EQ(form_def_table.slots[0].name, "A=Z         ");
  EXPECT_EQ(form_def_table.slots[0].value, 0.0f);
  // Slot 12 of the index table is 0.0, equal to the value: the (empty) text.
  EXPECT_EQ(format("x {A12 y"), "x      y");

  frm_reset_defs();
  format("$FORM A=Z");
  EXPECT_EQ(form_def_table.slots[0].value, -9999.0f);
  EXPECT_EQ(format("x {A12 y"), "$SKIP");
  EXPECT_EQ(format("{A12 y {NAME"), "$SKIP");

  frm_reset_defs();
  format("$FORM B=F8,2");
  frm_set_index_value(5, 12.5f);
  EXPECT_EQ(format("[}B5#####]"), "[   12,50]");
  format("$FORM C=I5/3=drei");
  frm_set_index_int(7, 3);
  EXPECT_EQ(format("[{C7##]"), "[drei ]");
  frm_set_index_int(7, 4);
  EXPECT_EQ(format("[}C7##]"), "[    4]");
  // The newest definition of a letter wins.
  format("$FORM C=F6.1");
  EXPECT_EQ(format("[}C7###]"), "[   4.0]");
  // Index values outside 0..999 are ignored.
  frm_set_index_value(1000, 1.0f);
  frm_set_index_value(-1, 1.0f);
  EXPECT_EQ(form_def_table.index_values[999], 0.0f);
}

TEST_F(form_format_test, FailingDefinitionFallsBackToTheVariable) {
  // Boxes are answered with OK, so the picture error's reports (code 0) let the form go on.
  run_flags.no_box = false;
  run_flags.auto_mode = false;
  set_auto_mode(false);
  int boxes = 0;
  qn_set_box_answerer([&](std::string_view, std::string_view, int32_t) {
    ++boxes;
    return IDOK;
  });
  const int32_t n1 = numeric_variable("N1", var_integer);
  set_int(n1, 77);
  format("$FORM N=Z");
  format("$FORM N=X");  // the newest N decides, even though it cannot format
  EXPECT_EQ(format("[{N1##]"), "[77   ]");
  EXPECT_EQ(boxes, 4);  // the warning and three reports
  qn_set_box_answerer(nullptr);
}

TEST_F(form_format_test, DefinitionCountStopsAtFifty) {
  for (int i = 0; i < 55; ++i) format("$FORM " + std::string(1, static_cast<char>('A' + i % 26)) + "=I5");
  EXPECT_EQ(form_def_table.count, 50);
  EXPECT_EQ(form_def_table.slots[49].name[0], 'A' + 54 % 26);
}

TEST_F(form_format_test, MalformedDefinitions) {
  EXPECT_EQ(error_of([] { format("$FORM AB=I5"); }), 32000);
  EXPECT_EQ(last_error_message(), "FRM-Formatfehler : AB=I5");
  EXPECT_EQ(error_of([] { format("$FORM A=I5/x1"); }), 32000);
  EXPECT_EQ(error_of([] { format("$FORM  A=I5"); }), 32000);
}

TEST_F(form_format_test, FormatValuePictures) {
  std::string r;
  EXPECT_EQ(format_value(r, 1234.5f, "F8,2"), 0);
  EXPECT_EQ(r, " 1234,50" + std::string(22, ' '));
  EXPECT_EQ(r.size(), 30u);
  std::string s(12, 'x');
  format_value(s, 1234.5f, "F");
  EXPECT_EQ(s, "1234.5      ");
  format_value(s, 1234.5f, "F,");
  EXPECT_EQ(s, "1234,5      ");
  format_value(s, 1234.5f, "I");
  EXPECT_EQ(s, "1235        ");
  format_value(s, 1234.5f, "LJA:NEIN");
  EXPECT_EQ(s, "JA          ");
  format_value(s, 0.0f, "LJA:NEIN");
  EXPECT_EQ(s, "NEIN        ");
  format_value(s, 0.5f, "(F6.2)");
  EXPECT_EQ(s, "  0.50      ");
  format_value(s, -0.5f, "F3.1");
  EXPECT_EQ(s, "-.5         ");
  format_value(s, -0.001f, "F");
  EXPECT_EQ(s, "-0.001      ");
  format_value(s, -0.0f, "F:");
  EXPECT_EQ(s, "0:          ");
  format_value(s, 0.1f, "F");
  EXPECT_EQ(s, "0.1000000015");
}

TEST_F(form_format_test, FormatValueFailures) {
  set_auto_mode(true);
  std::string r(30, 'x');
  EXPECT_EQ(error_of([&] { format_value(r, 1.0f, "X"); }), 0);
  EXPECT_NE(last_warning_message().find("Format nicht unterst."), std::string::npos);
  EXPECT_EQ(last_error_message(), "FMT-Error:(X)");
  EXPECT_EQ(r, std::string(30, ' '));
  EXPECT_EQ(error_of([&] { format_value(r, 1.0f, "I5.x"); }), 0);
  EXPECT_EQ(last_error_message(), "FMT-Error:(I5.x)");
  // A field wider than the result is not cut (that would drop digits): it fails, blank.
  std::string narrow(4, 'x');
  EXPECT_EQ(error_of([&] { format_value(narrow, 1234.5f, "F8,2"); }), 0);
  EXPECT_EQ(last_error_message(), "FMT-Error:(F8,2)");
  EXPECT_EQ(narrow, "    ");
  EXPECT_EQ(error_of([&] { format_value(r, 1.0f, "F"); }), no_error);
}

TEST_F(form_format_test, HexEscapeDecoder) {
  std::string t = "a&41b&4ac&&zz";
  decode_hex_escapes(t);
  EXPECT_EQ(t, std::string("aAbJc") + static_cast<char>(0) + "z");
  std::string end = "x&4";
  decode_hex_escapes(end);
  EXPECT_EQ(end, "x@");
}

}  // namespace

namespace {

// Random lines and pictures: every outcome is a formatted line or a reported error, the line
// keeps its length, and nothing reads or writes outside it (run under the sanitizers too).
TEST_F(form_format_test, RandomLinesStayInsideTheirLength) {
  const std::string alphabet = "{}$\xB0|&^#.,;-=/\\[]():AZNRM09 ";
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string line;
    for (size_t i = 0, n = next() % 40; i < n; ++i) line += alphabet[next() % alphabet.size()];
    if (round % 7 == 0) line = "$FORM " + line;
    const size_t length = line.size();
    const bool flag = round % 2 == 0;
    error_of([&] { frm_format_line(line, flag); });
    ASSERT_EQ(line.size(), length) << round;
    std::string picture;
    for (size_t i = 0, n = next() % 12; i < n; ++i) picture += alphabet[next() % alphabet.size()];
    std::string result(next() % 40, ' ');
    const size_t result_length = result.size();
    error_of([&] { format_value(result, static_cast<float>(next()) - 16000.0f, picture); });
    ASSERT_EQ(result.size(), result_length == 0 ? 30u : result_length);
  }
}

}  // namespace
