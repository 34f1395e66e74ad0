// Number-to-text formatters: decimal comma, automatic decimals, alignment, fixed-width codes.
#include <gtest/gtest.h>

#include <string>

#include "runtime/output/print/print.h"

namespace {

std::string ntt(int32_t decimals, float value, int32_t width, int32_t align = 0) {
  std::string text;
  num_to_text(decimals, value, text, width, align);
  return text;
}

TEST(NumToText, DecimalsAutomaticAndFixed) {
  EXPECT_EQ(ntt(-3, 3.14159f, 8), "    3,14");
  EXPECT_EQ(ntt(2, 3.14159f, 8), "    3,14");
  EXPECT_EQ(ntt(0, 3.14159f, 8), "       3");
  // Automatic decimals drop one per threshold reached.
  EXPECT_EQ(ntt(-3, 0.5f, 8), "   0,500");
  EXPECT_EQ(ntt(-3, 0.9995f, 8), "    1,00");
  EXPECT_EQ(ntt(-3, 99.94f, 8), "    99,9");
  EXPECT_EQ(ntt(-3, 99.95f, 8), "     100");
  EXPECT_EQ(ntt(-3, 1234.4f, 8), "    1234");
  // At most six decimals.
  EXPECT_EQ(ntt(9, 1.5f, 10), "  1,500000");
}

TEST(NumToText, NegativeAndNoValue) {
  EXPECT_EQ(ntt(1, -0.5f, 6), "  -0,5");
  EXPECT_EQ(ntt(2, -12.25f, 8), "  -12,25");
  EXPECT_EQ(ntt(0, -2.5f, 5), "   -3");  // halves away from zero
  EXPECT_EQ(ntt(2, -9999.0f, 7), std::string(7, ' '));
  EXPECT_EQ(ntt(2, -9998.5f, 4, 3), std::string(4, ' '));
}

TEST(NumToText, WidthKeepsRestOfTextAndTooWideGivesAsterisks) {
  std::string text = "XXXXXXXXXX";
  num_to_text(1, 2.5f, text, 4, 0);
  EXPECT_EQ(text, " 2,5XXXXXX");
  // A number wider than its field fills it with asterisks, whatever the alignment.
  EXPECT_EQ(ntt(1, 12345.5f, 4), "****");
  EXPECT_EQ(ntt(2, 123456789.125f, 8), "********");
  EXPECT_EQ(ntt(2, 999999.99f, 8, 3), "********");
  // The minus sign counts: it is never dropped to make the digits fit.
  EXPECT_EQ(ntt(1, -12.5f, 4), "****");
  EXPECT_EQ(ntt(0, -0.5f, 1), "*");
  EXPECT_EQ(ntt(1, 12.5f, 4), "12,5");
  // Rounding up into one more digit overflows too.
  EXPECT_EQ(ntt(2, 9.996f, 4), "****");
  EXPECT_EQ(ntt(2, 9.994f, 4), "9,99");
  // Only the zero before the comma of a value below 1 may go to make room.
  EXPECT_EQ(ntt(2, 0.5f, 3), ",50");
  EXPECT_EQ(ntt(1, -0.5f, 3), "-,5");
  EXPECT_EQ(ntt(2, -0.5f, 3), "***");
  // Wider than 16 places: right-aligned with blanks in front.
  EXPECT_EQ(ntt(0, 7.0f, 18), std::string(17, ' ') + "7");
  // Too large for 16 places: asterisks.
  EXPECT_EQ(ntt(6, 3.0e12f, 16), std::string(16, '*'));
  // A negative width touches nothing.
  std::string keep = "abc";
  num_to_text(1, 1.0f, keep, -2, 0);
  EXPECT_EQ(keep, "abc");
}

TEST(NumToText, Alignment) {
  EXPECT_EQ(ntt(1, 12.5f, 8, 4), " 12,5   ");
  EXPECT_EQ(ntt(1, 12.5f, 8, -1), "12,5    ");
  // Moving right: characters pushed past the width are lost.
  EXPECT_EQ(ntt(1, 12.5f, 6, 6), "   12,");
  // Without a separator the column after the last digit is aligned.
  EXPECT_EQ(ntt(0, 12.0f, 6, 3), "12    ");
  EXPECT_EQ(ntt(0, 12.0f, 6, 4), " 12   ");
  std::string t = "1.5     ";
  align_num_text(t, 4);
  EXPECT_EQ(t, "  1.5   ");
  std::string d;
  num_to_text_dot(2, 0.25f, d, 6, 0);
  EXPECT_EQ(d, "  0.25");
}

TEST(FixedWidth, Comma9) {
  EXPECT_EQ(fmt_comma9(0.25f), " 0,250   ");
  EXPECT_EQ(fmt_comma9o(0.25f), " o,250   ");
  EXPECT_EQ(fmt_comma9(0.9996f), " 1,000   ");
  EXPECT_EQ(fmt_comma9o(0.9996f), " 1,000   ");
  EXPECT_EQ(fmt_comma9(5.5f), "  5,50   ");
  EXPECT_EQ(fmt_comma9(55.5f), "  55,5   ");
  EXPECT_EQ(fmt_comma9(123.4f), "  123    ");
  EXPECT_EQ(fmt_comma9(0.0f), " 0,000   ");
  EXPECT_EQ(fmt_comma9(1.0e7f), "******   ");
}

TEST(FixedWidth, Result5) {
  EXPECT_EQ(fmt_result5(1234.5f), " 1234");
  EXPECT_EQ(fmt_result5(12.345f), "12,34");
  EXPECT_EQ(fmt_result5(0.5f), "0,500");
  EXPECT_EQ(fmt_result5(123.25f), "123,2");
}

TEST(FixedWidth, NegativeCodesAndBlankFlag) {
  number_format_reset();
  EXPECT_EQ(fmt_comma9(-1.0f), "KG !!    ");
  EXPECT_EQ(fmt_comma9o(-2.0f), " W!      ");
  EXPECT_EQ(fmt_result5(-3.0f), "G1f ?");
  EXPECT_EQ(fmt_result5(-4.0f), " AK! ");
  EXPECT_EQ(fmt_comma9(-5.0f), "PHI !    ");
  EXPECT_EQ(fmt_comma9(-6.0f), "phi f    ");
  EXPECT_EQ(fmt_comma9(-7.0f), "uflow    ");
  EXPECT_EQ(fmt_result5(-7.0f), "QF5 ?");
  EXPECT_EQ(fmt_comma9(-9999.0f), "         ");
  EXPECT_EQ(fmt_result5(-9999.0f), "     ");
  fmt_blank_flag(1);
  EXPECT_EQ(fmt_comma9(-1.0f), "         ");
  EXPECT_EQ(fmt_result5(-7.0f), "     ");
  EXPECT_EQ(fmt_comma9(0.25f), " 0,250   ");  // positives are untouched
  fmt_blank_flag(0);
  EXPECT_EQ(fmt_comma9(-1.0f), "KG !!    ");
}

TEST(FieldWriters, FixedWidthConventions) {
  EXPECT_EQ(write_i_field(42, 5), "   42");
  EXPECT_EQ(write_i_field(-42, 3), "-42");
  EXPECT_EQ(write_i_field(12345, 4), "****");
  EXPECT_EQ(write_i_field(7, 5, 3), "  007");
  EXPECT_EQ(write_f_field(0.5f, 4, 2), "0.50");
  EXPECT_EQ(write_f_field(0.5f, 3, 2), ".50");  // the optional zero is left out
  EXPECT_EQ(write_f_field(-0.001f, 6, 2), "  0.00");
  EXPECT_EQ(write_f_field(2.675f, 6, 2), "  2.67");  // the float is just below 2.675
  EXPECT_EQ(write_e_field(1234.5f, 12, 4), "  0.1235E+04");  // halves away from zero
  EXPECT_EQ(write_e_field(9.9999f, 10, 3), " 0.100E+02");
  EXPECT_EQ(write_e_field(0.0f, 10, 3), " 0.000E+00");
  EXPECT_EQ(write_f_field(0.125f, 5, 2), " 0.13");
  EXPECT_EQ(write_f_field(-0.125f, 5, 2), "-0.13");
  EXPECT_EQ(write_f_field(99.5f, 4, 0), "100.");
  EXPECT_EQ(write_e_field(-0.00125f, 11, 3), " -0.125E-02");
  EXPECT_EQ(write_z_field(255u, 4), "  FF");
  EXPECT_EQ(write_z_field(0xFFFFFFFFu, 8), "FFFFFFFF");
  EXPECT_EQ(write_z_field(0x12345u, 4), "****");
}

}  // namespace
