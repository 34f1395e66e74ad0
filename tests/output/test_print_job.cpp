// Form print jobs: form-file names, directives, "$CONT" jobs, the work file and its place, the
// HTML squeeze into the meta file, missing forms and the single-line mode.
#include "output/test_print_fixture.h"
#include "support/left_behind.h"

namespace {

using job_test = print_test;
const std::string work = "$$temp$$.wr1";

TEST_F(job_test, FormFileNameFollowsHtmlModeAndMode) {
  write_file("brief.frm", {"frm {NAME#####"});
  write_file("brief.htm", {"<p>  {NAME#####  </p>"});
  u_gprint("brief", true, print_mode_format_only);
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"frm Meier"}));

  set_print_html(true);
  u_gprint(pad("brief", 256), true, print_mode_meta);
  // In HTML mode with MODE 2 the form goes straight into the meta file, squeezed.
  EXPECT_EQ(lines_of("meta.txt"), (std::vector<std::string>{"<p>Meier</p>"}));
  EXPECT_TRUE(print_job_info().html_meta);

  u_gprint("brief", true, print_mode_format_only);
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"frm Meier"}));
  EXPECT_FALSE(print_job_info().html_meta);
}

TEST_F(job_test, InitLineOnlyFirstAndExitTexts) {
  // A later "$INIT=" line is an ordinary line: its "$" starts a centred field.
  set_text(text_variable("INIT", 4), "abcd");
  write_file("a.frm", {"$INIT=start codes", "one", "$INIT=late", "$ENDE=closing codes", "never read"});
  u_gprint("a", true, print_mode_format_only);
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"one", "abcd =late"}));
  EXPECT_EQ(print_output_info().init_text, "start codes");
  EXPECT_EQ(print_output_info().exit_text, "closing codes");
  EXPECT_EQ(get_print_line_count(), 2);
}

TEST_F(job_test, EndAndExitBehaveAlike) {
  for (const std::string directive : {"$ENDE", "$EXIT"}) {
    write_file("e.frm", {"kept", "", directive, "dropped"});
    u_gprint("e", true, print_mode_format_only);
    EXPECT_EQ(lines_of(work), (std::vector<std::string>{"kept", ""})) << directive;
    EXPECT_TRUE(print_job_info().needs_opening);
  }
}

TEST_F(job_test, ContinuedFormsMakeOneWorkFile) {
  write_file("c.frm", {"$CONT"});
  write_file("d.frm", {"body {NAME####"});
  u_gprint("c", true, print_mode_format_only);
  EXPECT_FALSE(print_job_info().needs_opening);
  EXPECT_EQ(get_print_line_count(), 0);
  ASSERT_EQ(print_job_info().status_texts.size(), 1u);
  EXPECT_EQ(print_job_info().status_texts[0], "bitte warten, Format wird aufbereitet ...");

  u_gprint("d", true, print_mode_format_only);
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"body Meier"}));
  // No second "please wait": the second form wrote into the open file.
  const auto texts = print_job_info().status_texts;
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "bitte warten, Format wird aufbereitet ..."), 1);
  EXPECT_TRUE(print_job_info().needs_opening);
}

TEST_F(job_test, ContinuedFormThenPreviewDeletesWorkFile) {
  const private_temporary_folder tmp(dir / "tmp");
  write_file("c.frm", {"first", "$CONT"});
  write_file("d.frm", {"second"});
  u_gprint("c", true, print_mode_preview);
  EXPECT_EQ(print_get_preview_window(), 0);
  u_gprint("d", true, print_mode_preview);
  const auto lines = preview_lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "      first");
  EXPECT_EQ(lines[1], "      second");
  EXPECT_EQ(left_behind(dir, {"c.frm", "d.frm", "tmp/"}), std::vector<std::string>{});
  EXPECT_EQ(left_behind(tmp.path()), std::vector<std::string>{});
}

TEST_F(job_test, FormatOnlyKeepsWorkFileAndLayoutTestUsesDots) {
  write_file("f.frm", {"x {NAME#### y"});
  u_gprint("f", false, print_mode_format_only);
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"x ......... y"}));
}

TEST_F(job_test, HtmlSqueeze) {
  write_file("h.htm", {"a  b   c", "<td> x </td>", "tail   "});
  set_print_html(true);
  u_gprint("h", true, print_mode_meta);
  EXPECT_EQ(lines_of("meta.txt"), (std::vector<std::string>{"a b c", "<td>x</td>", "tail"}));
}

TEST_F(job_test, WorkFileDirectoryFromComboRecordOne) {
  std::filesystem::create_directories("spool");
  std::vector<std::string> asked;
  set_print_combo_source([&](std::string_view reference) {
    asked.emplace_back(reference);
    return print_combo_entry{pad("spool/ more text", 20), 0};
  });
  EXPECT_EQ(print_work_file_name(), pad("spool/$$temp$$.wr1", 80));
  write_file("w.frm", {"in spool"});
  u_gprint("w", true, print_mode_format_only);
  EXPECT_EQ(lines_of("spool/" + work), (std::vector<std::string>{"in spool"}));
  EXPECT_EQ(asked.front(), "#1");
}

// A document left open by "$CONT" goes on in the work file it began in when record "#1" names
// another folder before its next form: its first piece is not left behind.
TEST_F(job_test, ContinuedFormStaysInItsWorkFileWhenRecordOneMoves) {
  std::filesystem::create_directories("spool");
  write_file("c.frm", {"first", "$CONT"});
  write_file("d.frm", {"second"});
  u_gprint("c", true, print_mode_format_only);
  set_print_combo_source([](std::string_view) { return print_combo_entry{pad("spool/", 20), 1}; });
  u_gprint("d", true, print_mode_format_only);
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"first", "second"}));
  EXPECT_FALSE(exists("spool/" + work));
}

TEST_F(job_test, MissingFormWarnsAndClosesWorkFile) {
  write_file("c.frm", {"kept line", "$CONT"});
  u_gprint("c", true, print_mode_format_only);
  u_gprint("nosuch", true, print_mode_format_only);
  EXPECT_NE(last_warning_message().find("keine Formatdatei"), std::string::npos);
  EXPECT_NE(last_warning_message().find("nosuch.frm"), std::string::npos);
  EXPECT_TRUE(print_job_info().needs_opening);
  // The work file was closed with what it held.
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"kept line"}));
}

TEST_F(job_test, WorkFileThatCannotBeCreatedWarns) {
  set_print_combo_source([](std::string_view) { return print_combo_entry{pad("no/such/dir/", 20), 1}; });
  write_file("f.frm", {"x"});
  u_gprint("f", true, print_mode_format_only);
  EXPECT_NE(last_warning_message().find("Schreiben Workfile"), std::string::npos);
  EXPECT_TRUE(print_job_info().needs_opening);
}

TEST_F(job_test, ParaTypSuffixAndFallback) {
  set_string_variable("PARA_TYP", "A");
  set_para_typ_flag(true);
  write_file("rechnung.frm_A", {"variant A"});
  write_file("rechnung.frm", {"plain"});
  u_gprint("rechnung", true, print_mode_format_only);
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"variant A"}));
  set_string_variable("PARA_TYP", "B");
  u_gprint("rechnung", true, print_mode_format_only);
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"plain"}));
}

TEST_F(job_test, SingleLineModeAppendsToOneWorkFile) {
  u_gprint("line one {NAME####", true, print_mode_one_line);
  u_gprint("$EXIT=bye", true, print_mode_one_line);
  EXPECT_EQ(print_output_info().exit_text, "bye");
  u_gprint("line two", true, print_mode_one_line);
  EXPECT_EQ(get_print_line_count(), 1);
  write_file("end.frm", {"last"});
  u_gprint("end", true, print_mode_format_only);
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"line one Meier", "line two", "last"}));
}

TEST_F(job_test, DefinitionsAreForgottenBetweenForms) {
  write_file("d1.frm", {"$FORM A=Z/0=none", "v {A12"});
  write_file("d2.frm", {"plain"});
  u_gprint("d1", true, print_mode_format_only);
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"v none"}));
  EXPECT_EQ(form_def_table.count, 1);
  u_gprint("d2", true, print_mode_format_only);
  EXPECT_EQ(form_def_table.count, 0);
}

}  // namespace

namespace {

TEST_F(job_test, MissingComboLibraryIsOnlyLoggedAndThePrintGoesOn) {
  set_print_combo_source(nullptr);
  set_auto_mode(false);
  set_no_box_flag(false);
  run_flags.no_box = false;
  std::vector<std::string> boxes;
  qn_set_box_answerer([&](std::string_view text, std::string_view, int32_t) {
    boxes.emplace_back(text);
    return IDOK;
  });
  write_file("f.frm", {"still printed"});
  EXPECT_EQ(error_of([] { u_gprint("f", true, print_mode_format_only); }), no_error);
  EXPECT_EQ(lines_of(work), (std::vector<std::string>{"still printed"}));
  EXPECT_TRUE(boxes.empty());
  EXPECT_NE(content_of("PXBERROR.LOG").find("WARNUNG:COMBO Satz fehlt: #1"), std::string::npos);
  EXPECT_FALSE(exists("combo.lib"));
}

// A reset gives up the documents left open: the printed one's work file goes, an export keeps
// its lines in the meta file; nothing else is left.
TEST_F(job_test, FinishAndResetOfAContinuedJob) {
  const private_temporary_folder tmp(dir / "tmp");
  write_file("c.frm", {"held", "$CONT"});
  u_gprint("c", true, print_mode_printer);
  u_gprint_reset();
  EXPECT_TRUE(print_job_info().needs_opening);
  u_gprint("c", true, print_mode_printer);
  EXPECT_FALSE(print_job_info().needs_opening);
  u_gprint_finish(print_mode_preview);
  EXPECT_TRUE(print_job_info().needs_opening);
  EXPECT_EQ(preview_lines().front(), "      held");
  // An export left open keeps in the meta file what it wrote.
  write_file("e.htm", {"<p>export</p>", "$CONT"});
  set_print_html(true);
  u_gprint("e", true, print_mode_meta);
  u_gprint_reset();
  EXPECT_EQ(lines_of("meta.txt"), std::vector<std::string>{"<p>export</p>"});
  EXPECT_EQ(left_behind(dir, {"c.frm", "e.htm", "meta.txt", "tmp/"}), std::vector<std::string>{});
  EXPECT_EQ(left_behind(tmp.path()), std::vector<std::string>{});
}

}  // namespace
