// Printed forms as a PDF reader sees them: the text in its font, the lines in order, the pages,
// and the jobs' files; the preview's picture on the clipboard.
#include "output/test_print_fixture.h"

#include <sstream>

namespace {

using print_pdf = print_test;

// Prints the form through the whole engine (format, printer, end of job).
void print_form(const std::string& name) {
  u_gprint(name, true, print_mode_printer);
  print_frm("", print_mode_end_job);
}

TEST_F(print_pdf, FormIsTextInTheChosenFontWithItsLinesInOrderOnThePage) {
  write_file("rechnung.frm", {"Rechnung", "", "Kunde: {NAME#####", "Pos 1  Schrauben      12,50",
                              "Pos 2  Muttern        3,20", "Summe                 15,70"});
  print_set_font("Arial", 12);
  print_form("rechnung");
  EXPECT_EQ(pdfinfo_pages(pdf), 1);
  EXPECT_NE(tool_output("pdffonts", quoted(pdf)).find("LiberationSans"), std::string::npos);
  EXPECT_EQ(pdf_text_lines(pdf), (std::vector<std::string>{"Rechnung", "Kunde: Meier", "Pos 1 Schrauben 12,50",
                                                           "Pos 2 Muttern 3,20", "Summe 15,70"}));
  // Every word lies on the page: its box inside the MediaBox.
  std::istringstream boxes(tool_output("pdftotext", "-bbox " + quoted(pdf) + " -"));
  double width = 0, height = 0;
  int words = 0;
  for (std::string line; std::getline(boxes, line);) {
    double x0, y0, x1, y1;
    if (std::sscanf(line.c_str(), " <page width=\"%lf\" height=\"%lf\"", &width, &height) == 2) continue;
    if (std::sscanf(line.c_str(), " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"", &x0, &y0, &x1, &y1) != 4)
      continue;
    ++words;
    EXPECT_GE(x0, 0.0);
    EXPECT_GE(y0, 0.0);
    EXPECT_LE(x1, width);
    EXPECT_LE(y1, height);
  }
  EXPECT_EQ(words, 13);
  EXPECT_NEAR(width, 595.0, 1.0);  // A4 in points
}

TEST_F(print_pdf, LinesPastThePageBottomGoOnOnANewPage) {
  std::vector<std::string> form, expected;
  for (int n = 1; n <= 100; ++n) {
    form.push_back("Zeile " + std::to_string(n));
    expected.push_back(form.back());
  }
  write_file("liste.frm", form);
  print_form("liste");
  EXPECT_EQ(pdfinfo_pages(pdf), 2);
  EXPECT_EQ(pdf_text_lines(pdf), expected);
  // A page's worth stays on one page.
  form.resize(60);
  write_file("kurz.frm", form);
  print_form("kurz");
  EXPECT_EQ(pdfinfo_pages(pdf), 1);
}

TEST_F(print_pdf, TwoJobsWithoutPrinterGiveTwoFilesNamedAfterTheJob) {
  ::unsetenv("WINKYR_PRINT_PDF");  // automatic mode: each job is a PDF file here
  write_file("a.frm", {"erster Auftrag"});
  write_file("b.frm", {"zweiter Auftrag"});
  print_form("a");
  print_form("b");
  EXPECT_EQ(pdf_text_lines("Druckausgabe.pdf"), std::vector<std::string>{"erster Auftrag"});
  EXPECT_EQ(pdf_text_lines("Druckausgabe-2.pdf"), std::vector<std::string>{"zweiter Auftrag"});
}

TEST_F(print_pdf, CtrlCOnThePreviewCopiesWhatItShows) {
  write_file("a.txt", {"Vorschau mit Text", "zweite Zeile"});
  print_frm("a.txt", print_mode_preview);
  const int32_t window = print_get_preview_window();
  ASSERT_NE(window, 0);
  std::string asked;
  qn_set_box_answerer([&](std::string_view text, std::string_view, int32_t) {
    asked = text;
    return IDYES;
  });
  copy_window_to_clipboard(window, "Text");
  qn_set_box_answerer(nullptr);
  EXPECT_EQ(asked, "Text in die Zwischenablage kopieren?");
  const qn_rect client = GET_RECT({.window = window});
  const qn_point size = qn_clipboard_image_size();
  EXPECT_EQ(size.x, client.right - client.left);
  EXPECT_EQ(size.y, client.bottom - client.top);
  // The text is on the picture: dark pixels in its first lines.
  int dark = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 200; ++x) dark += (qn_clipboard_pixel(x, y) & 0xFF) < 100 ? 1 : 0;
  EXPECT_GT(dark, 50);
}

}  // namespace
