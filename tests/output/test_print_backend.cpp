// The library's printing: page bitmaps of the printable area, pages into the PDF file, the
// kept page setup and bad contexts.
#include "output/test_print_fixture.h"

// Qt's headers come last: their "slots" keyword would clash with the runtime's headers.
#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace {

using print_backend = print_test;

TEST_F(print_backend, PageBitmapCoversPrintableAreaAndPagesReachThePdf) {
  ups u;
  ASSERT_TRUE(START_PRINT(u, {.job_name = "Druckausgabe"}));
  EXPECT_EQ(u.stamp, QN_STAMP);
  const qn_rect r = GET_RECT({.u = &u});
  // A4 less 2 cm margins at 96 dpi: 170 mm x 257 mm.
  EXPECT_NEAR(r.right - r.left, 643, 2);
  EXPECT_NEAR(r.bottom - r.top, 971, 2);
  WRITE_TEXT(u, "page one");
  NEXT_PRINT_PAGE(u);
  EXPECT_EQ(u.stamp, QN_STAMP);
  // The new page is empty and the text position is back at the top.
  EXPECT_EQ(GET_PIXEL(u, {5, 5}), 0xFFFFFFu);
  WRITE_TEXT(u, "WWWW");
  bool inked = false;
  for (int y = 0; y < 14 && !inked; ++y)
    for (int x = 0; x < 40 && !inked; ++x) inked = GET_PIXEL(u, {x, y}) != 0xFFFFFFu;
  EXPECT_TRUE(inked);
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
  EXPECT_NEAR(GET_RECT({.u = &u}).right, 559, 2);  // 148 mm at 96 dpi
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

TEST_F(print_backend, WithoutPrinterTheJobNameNamesThePdf) {
  ::unsetenv("WINKYR_PRINT_PDF");
  // Where a printer is set up, its dialog is answered with Cancel instead of blocking.
  qn_set_print_dialog_answerer([](std::string_view) { return 0; });
  ups u;
  if (!START_PRINT(u, {.job_name = "Druckausgabe"})) GTEST_SKIP() << "a printer is set up";
  END_PRINT(u);
  // No printer is set up on the test machine: the document is a PDF in the working directory.
  EXPECT_TRUE(exists("Druckausgabe.pdf"));
  EXPECT_EQ(pdf_pages("Druckausgabe.pdf"), 1);
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
