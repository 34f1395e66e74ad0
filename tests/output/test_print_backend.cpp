// The library's printing: the print context on the printer's page at its resolution, pages into
// the PDF file and where PDF files go, the kept page setup and bad contexts.
#include "output/test_print_fixture.h"

// Qt's headers come last: their "slots" keyword would clash with the runtime's headers.
#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace {

using print_backend = print_test;

TEST_F(print_backend, PrintContextIsThePrintersPageAtItsResolution) {
  ups u;
  ASSERT_TRUE(START_PRINT(u, {.job_name = "Druckausgabe"}));
  EXPECT_EQ(u.stamp, QN_STAMP);
  const qn_rect r = GET_RECT({.u = &u});
  // A4 less 2 cm margins (to whole points), measured in the printer's own pixels.
  EXPECT_NEAR(X_PIXEL_TO_MILLIMETERS(r.right, &u), 170.0f, 0.5f);
  EXPECT_NEAR(Y_PIXEL_TO_MILLIMETERS(r.bottom, &u), 257.0f, 0.5f);
  EXPECT_GE(r.right, 170 * 300 / 25);  // at least 300 dpi
  // Texts are measured in the same pixels: 10 points are 10/72 of an inch on paper.
  NEW_FONT(u, {.face = "Courier New", .points = 10});
  const text_metrics m = GET_TEXT_METRICS(&u);
  EXPECT_NEAR(Y_PIXEL_TO_MILLIMETERS(m.ascent + m.descent, &u), 10.0f / 72.0f * 25.4f, 0.6f);
  EXPECT_NEAR(GET_TEXT_EXTENT(u, "WWWW").x, GET_TEXT_EXTENT(u, "iiii").x, 2);  // a fixed font
  // A pen given in millimetres keeps its width on paper.
  NEW_PEN(u, {.width_mm = 1.0f});
  DRAW_LINE(u, {.end_px = qn_point{r.right, 0}, .start_px = qn_point{0, 0}});
  WRITE_TEXT(u, "page one");
  NEXT_PRINT_PAGE(u);
  EXPECT_EQ(u.stamp, QN_STAMP);
  EXPECT_EQ(GET_PIXEL(u, {5, 5}), 0xFFFFFFFFu);  // a printer page is not read back
  WRITE_TEXT(u, "page two");
  END_PRINT(u);
  EXPECT_EQ(u.stamp, 0u);
  EXPECT_EQ(qn_print_pages(), 2);
  EXPECT_EQ(qn_print_output_file(), pdf);
  EXPECT_EQ(pdf_pages(pdf), 2);
  EXPECT_EQ(content_of(pdf).rfind("%PDF", 0), 0u);
}

TEST_F(print_backend, LandscapeJobHasAWidePage) {
  ups u;
  ASSERT_TRUE(START_PRINT(u, {.job_name = "x", .landscape = true}));
  const qn_rect r = GET_RECT({.u = &u});
  EXPECT_GT(r.right - r.left, r.bottom - r.top);
  const qn_page_data page = GET_PAGE_DATA(&u);
  EXPECT_EQ(page.paper_width, 29700);
  EXPECT_EQ(page.paper_height, 21000);
  END_PRINT(u);
}

TEST_F(print_backend, PageSetupIsKeptAndChecked) {
  qn_page_data page = GET_PAGE_DATA();
  EXPECT_EQ(page.paper_width, 21000);
  EXPECT_EQ(page.margin_left, 2000);
  // Margins beyond half the paper are cut back; a paper of 0 keeps the paper.
  SET_PAGE_DATA(nullptr, {.margin_left = 1000, .margin_top = -5, .margin_right = 90000, .margin_bottom = 0});
  page = GET_PAGE_DATA();
  EXPECT_EQ(page.margin_left, 1000);
  EXPECT_EQ(page.margin_top, 0);
  EXPECT_EQ(page.margin_right, 10500);
  EXPECT_EQ(page.paper_height, 29700);
  SET_PAGE_DATA(nullptr, {.paper_width = 14800, .paper_height = 21000});
  EXPECT_EQ(GET_PAGE_DATA().paper_width, 14800);
  ups u;
  ASSERT_TRUE(START_PRINT(u, {.job_name = "a5"}));
  EXPECT_NEAR(X_PIXEL_TO_MILLIMETERS(GET_RECT({.u = &u}).right, &u), 148.0f, 0.2f);
  END_PRINT(u);
}

TEST_F(print_backend, BadContextsAndCancelledDialogs) {
  ups none;
  int status = 0;
  NEXT_PRINT_PAGE(none, &status);
  EXPECT_NE(status, 0);
  status = 0;
  END_PRINT(none, &status);
  EXPECT_NE(status, 0);
  // A bitmap context that is no print job is refused too.
  const int32_t bitmap = CREATE_BITMAP(10, 10);
  ups b;
  START_BITMAP_DRAW(bitmap, b);
  status = 0;
  NEXT_PRINT_PAGE(b, &status);
  EXPECT_NE(status, 0);
  qn_set_print_dialog_answerer([](std::string_view) { return 0; });
  int32_t flags = 5;
  EXPECT_EQ(page_setup_dialog(flags), 0);
  qn_set_print_dialog_answerer([](std::string_view) { return 1; });
  EXPECT_EQ(page_setup_dialog(flags), 1);
}

TEST_F(print_backend, JobsToFilesAreNamedAfterTheJobAndNeverOverwrite) {
  ::unsetenv("WINKYR_PRINT_PDF");
  write_file("Druckausgabe.pdf", {"kept"});
  auto job = [](std::string_view name) {
    ups u;
    if (!START_PRINT(u, {.flags = QN_PRINT_TO_FILE, .job_name = name})) return std::string();
    WRITE_TEXT(u, "x");
    END_PRINT(u);
    return qn_print_output_file();
  };
  EXPECT_EQ(job("Druckausgabe"), "./Druckausgabe-2.pdf");
  EXPECT_EQ(job("Druckausgabe"), "./Druckausgabe-3.pdf");
  EXPECT_EQ(job("Ausgabe "), "./Ausgabe.pdf");
  EXPECT_EQ(lines_of("Druckausgabe.pdf"), std::vector<std::string>{"kept"});
  EXPECT_EQ(pdf_pages("Druckausgabe-2.pdf"), 1);
  // A folder named by the environment takes the jobs, named in the same way.
  const std::string folder = (dir / "pdfs").string() + "/";
  ::setenv("WINKYR_PRINT_PDF", folder.c_str(), 1);
  EXPECT_EQ(job("Druckausgabe"), folder + "Druckausgabe.pdf");
  EXPECT_EQ(job("Druckausgabe"), folder + "Druckausgabe-2.pdf");
  EXPECT_EQ(pdf_pages(folder + "Druckausgabe-2.pdf"), 1);
}

// The Cancel button of the visible spooling dialog, or nullptr.
QPushButton* spool_cancel_button() {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible()) continue;
    bool spooling = false;
    for (QLabel* label : top->findChildren<QLabel*>()) spooling |= label->text() == "Spooling Print Job:";
    if (!spooling) continue;
    for (QPushButton* button : top->findChildren<QPushButton*>())
      if (button->text() == "Cancel") return button;
  }
  return nullptr;
}

TEST_F(print_backend, SpoolingDialogShowsWhileTheJobRunsAndCancelDropsPages) {
  ups u;
  ASSERT_TRUE(START_PRINT(u, {.job_name = "Druckausgabe"}));
  QPushButton* cancel = spool_cancel_button();
  ASSERT_NE(cancel, nullptr);
  NEXT_PRINT_PAGE(u);
  EXPECT_EQ(qn_print_pages(), 1);
  cancel->click();
  EXPECT_EQ(spool_cancel_button(), nullptr);
  NEXT_PRINT_PAGE(u);
  WRITE_TEXT(u, "still drawable");
  END_PRINT(u);
  EXPECT_EQ(u.stamp, 0u);
  EXPECT_EQ(qn_print_pages(), 1);
  EXPECT_FALSE(exists(pdf));  // a cancelled job leaves no half document
}

TEST_F(print_backend, SpoolingDialogClosesWithTheJob) {
  ups u;
  ASSERT_TRUE(START_PRINT(u, {.job_name = "x"}));
  ASSERT_NE(spool_cancel_button(), nullptr);
  END_PRINT(u);
  EXPECT_EQ(spool_cancel_button(), nullptr);
  EXPECT_EQ(pdf_pages(pdf), 1);
}

}  // namespace
