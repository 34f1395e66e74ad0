// Output stage: the preview window, meta-file copies, printer jobs into a PDF file, the
// go/no-go switches and the options of later jobs.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "output/test_print_fixture.h"
#include "support/file_size_limit.h"

namespace {

using output_test = print_test;
const std::string ff = "\f";

TEST_F(output_test, PreviewWindowMarginsPageMarksAndReuse) {
  EXPECT_EQ(print_get_preview_window(), 0);
  write_file("p.txt", {ff + "rest of the feed line", "abc", ff, ff, std::string(200, 'x')});
  print_frm("p.txt", print_mode_preview);
  const int32_t window = print_get_preview_window();
  ASSERT_NE(window, 0);
  const std::string mark = "                      < neue Seite >";
  const std::vector<std::string> first = {mark, "", "", "      abc", "", mark, "", "", "", mark, "", "",
                                          "      " + std::string(154, 'x'), std::string(80, '_'), ""};
  EXPECT_EQ(preview_lines(), first);
  EXPECT_EQ(io_status, 0);

  // The window is reused: new text goes below, and a feed now writes its blank line first.
  write_file("q.txt", {ff});
  print_frm("q.txt", print_mode_preview);
  EXPECT_EQ(print_get_preview_window(), window);
  auto lines = preview_lines();
  ASSERT_EQ(lines.size(), first.size() + 6);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + long(first.size()), lines.end()),
            (std::vector<std::string>{"", mark, "", "", std::string(80, '_'), ""}));
}

TEST_F(output_test, PreviewOfMissingOrBlankFileShowsNothing) {
  print_frm("missing.txt", print_mode_preview);
  print_frm("", print_mode_preview);
  EXPECT_EQ(print_get_preview_window(), 0);
}

TEST_F(output_test, MetaCopyRawAndMarginsReplaceThenAppend) {
  write_file("raw.txt", {"*RAW*one", "*RAW*two", "<html>", "  body  ", ff + "page"});
  print_frm("raw.txt", print_mode_meta);
  EXPECT_EQ(lines_of("meta.txt"), (std::vector<std::string>{"<html>", "  body", " page"}));
  EXPECT_TRUE(print_output_info().append);
  EXPECT_EQ(print_output_info().meta_name, "meta.txt");

  write_file("plain.txt", {"text", ff + "x", "*RAW*late"});
  print_frm("plain.txt", print_mode_meta);
  EXPECT_EQ(lines_of("meta.txt"), (std::vector<std::string>{"<html>", "  body", " page", "      text",
                                                              ff + "x", "      *RAW*late"}));

  // Append off again: the next copy replaces the content.
  print_set_meta_append(false);
  write_file("short.txt", {"only"});
  print_frm("short.txt", print_mode_meta);
  EXPECT_EQ(lines_of("meta.txt"), (std::vector<std::string>{"      only"}));
}

TEST_F(output_test, MetaCopyThatCannotCompleteKeepsTheOldFileAndReportsIt) {
  write_file("meta.txt", {"old meta"});
  write_file("long.txt", std::vector<std::string>(300, std::string(60, 'x')));
  {
    const file_size_limit full(4096);
    print_frm("long.txt", print_mode_meta);
  }
  EXPECT_EQ(io_status, EFBIG);
  EXPECT_EQ(lines_of("meta.txt"), (std::vector<std::string>{"old meta"}));
  const std::string entry = "cannot write meta.txt: " + std::string(std::strerror(EFBIG));
  const std::vector<std::string> log = lines_of("PXBERROR.LOG");
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& l) { return l.ends_with(entry); }));
  // Appending copies report a failure too, at the latest when the copy closes the file.
  {
    const file_size_limit full(4096);
    print_frm("long.txt", print_mode_meta);
  }
  EXPECT_EQ(io_status, EFBIG);
}

TEST_F(output_test, MetaCopyOfMissingFileCopiesNothing) {
  print_frm("missing.txt", print_mode_meta);
  EXPECT_FALSE(exists("meta.txt"));
}

TEST_F(output_test, TwoPrinterOutputsMakeTwoPagesOfOneJob) {
  write_file("a.txt", {"first page", ff, "second page"});
  write_file("b.txt", {"third page"});
  print_frm("a.txt", print_mode_printer);
  EXPECT_TRUE(print_output_info().job_open);
  print_frm("b.txt", print_mode_printer);
  print_frm("", print_mode_end_job);
  EXPECT_FALSE(print_output_info().job_open);
  ASSERT_TRUE(exists(pdf));
  EXPECT_EQ(pdf_pages(pdf), 3);
  EXPECT_EQ(qn_print_pages(), 3);
  EXPECT_EQ(print_get_job_state(), 0);
  // Ending again with no job open does nothing.
  print_frm("", print_mode_end_job);
  EXPECT_EQ(qn_print_pages(), 3);
}

TEST_F(output_test, FormatOnlyModeDoesNothing) {
  write_file("a.txt", {"x"});
  print_frm("a.txt", print_mode_format_only);
  EXPECT_FALSE(print_output_info().job_open);
  EXPECT_EQ(print_get_preview_window(), 0);
}

TEST_F(output_test, SwitchWithZeroValueSkipsOnePrint) {
  std::vector<std::string> asked;
  set_print_combo_source([&](std::string_view reference) {
    asked.emplace_back(reference);
    return print_combo_entry{pad("", 20), 0};
  });
  write_file("a.txt", {"x"});
  print_switch_a();
  print_frm("a.txt", print_mode_printer);
  EXPECT_FALSE(print_output_info().job_open);
  EXPECT_FALSE(print_output_info().switch_a);
  print_frm("a.txt", print_mode_printer);
  EXPECT_TRUE(print_output_info().job_open);
  print_switch_ab();
  print_frm("a.txt", print_mode_printer);
  EXPECT_EQ(asked, (std::vector<std::string>{"#16", "#13"}));
  print_frm("", print_mode_end_job);
  EXPECT_EQ(pdf_pages(pdf), 1);
}

TEST_F(output_test, SwitchWithNonZeroValueKeepsSwitches) {
  set_print_combo_source([&](std::string_view) { return print_combo_entry{pad("", 20), 5}; });
  write_file("a.txt", {"x"});
  print_switch_ab();
  print_frm("a.txt", print_mode_printer);
  EXPECT_TRUE(print_output_info().job_open);
  EXPECT_TRUE(print_output_info().switch_a);
  EXPECT_TRUE(print_output_info().switch_b);
}

TEST_F(output_test, JobThatDoesNotStartSetsStateMinusOne) {
  const std::string bad = (dir / "no" / "such" / "dir" / "x.pdf").string();
  ::setenv("WINKYR_PRINT_PDF", bad.c_str(), 1);
  write_file("a.txt", {"x"});
  print_frm("a.txt", print_mode_printer);
  EXPECT_EQ(print_get_job_state(), -1);
  EXPECT_FALSE(print_output_info().job_open);
  print_frm("", print_mode_end_job);
  EXPECT_EQ(print_get_job_state(), 0);
}

TEST_F(output_test, OptionsOfLaterJobs) {
  EXPECT_EQ(print_output_info().font_name, "Courier New");
  EXPECT_EQ(print_output_info().font_size, 10);
  print_set_font(pad("Arial", 256), 12);
  print_set_job_option(true);
  print_set_meta_name(pad("export.htm", 256));
  EXPECT_EQ(print_output_info().font_name, "Arial");
  EXPECT_EQ(print_output_info().font_size, 12);
  EXPECT_TRUE(print_output_info().landscape);
  EXPECT_EQ(print_output_info().meta_name, "export.htm");
  // A landscape job with a blank font name keeps the printer's font and still prints.
  print_set_font("", 0);
  write_file("a.txt", {"x"});
  print_frm("a.txt", print_mode_printer);
  print_frm("", print_mode_end_job);
  EXPECT_EQ(pdf_pages(pdf), 1);
}

}  // namespace
