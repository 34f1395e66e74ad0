// Print engine tests: the evaluator's in-memory program (variables, scratch working directory,
// automatic mode), every state block of the print engine and the library reset, and helpers
// for form files, work files and the PDF output of printer jobs.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "program/test_evaluator_fixture.h"
#include "quillon/api/quillon.h"
#include "runtime/output/print/print.h"
#include "runtime/screen/field_output.h"
#include "runtime/screen/screen.h"
#include "support/standard_readers.h"

class print_test : public evaluator_test {
 protected:
  void SetUp() override {
    evaluator_test::SetUp();
    set_auto_mode(true);  // warnings are traced, never shown in a box
    form_format_reset();
    field_output_reset();
    qn_print_reset();
    print_output_reset();
    print_job_reset();
    // No combo library here: record "#1" names the current directory, every switch value is "go".
    set_print_combo_source([](std::string_view) { return print_combo_entry{std::string(20, ' '), 1}; });
    pdf = (dir / "out.pdf").string();
    ::setenv("WINKYR_PRINT_PDF", pdf.c_str(), 1);
    meta = text_variable("META_FILE", 40);
    set_text(meta, pad("meta.txt", 40));
    const int32_t name = text_variable("NAME", 10);
    set_text(name, pad("Meier", 10));
    text_variable("PARA_TYP", 4);
  }
  void TearDown() override {
    print_output_reset();
    print_job_reset();
    qn_print_reset();
    ::unsetenv("WINKYR_PRINT_PDF");
    evaluator_test::TearDown();
  }

  static std::string pad(const std::string& text, size_t length) {
    std::string out = text;
    out.resize(length, ' ');
    return out;
  }
  static void write_file(const std::string& name, const std::vector<std::string>& lines) {
    std::ofstream out(name, std::ios::binary);
    for (const auto& line : lines) out << line << '\n';
  }
  static bool exists(const std::string& name) { return std::filesystem::exists(name); }
  static std::vector<std::string> lines_of(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
  }
  static std::string content_of(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // Page objects of a PDF file ("/Type /Page" not followed by "s").
  static int pdf_pages(const std::string& name) {
    const std::string pdf_text = content_of(name);
    int pages = 0;
    for (size_t at = pdf_text.find("/Type /Page"); at != std::string::npos; at = pdf_text.find("/Type /Page", at + 1))
      if (at + 11 >= pdf_text.size() || pdf_text[at + 11] != 's') ++pages;
    return pages;
  }
  // The scroll lines of the preview window, or none.
  static std::vector<std::string> preview_lines() {
    const int32_t window = print_get_preview_window();
    return window == 0 ? std::vector<std::string>{} : qn_scroll_lines(window);
  }

  // The standard output of a command line; a reader that is not installed fails the test and
  // names its package.
  static std::string tool_output(const std::string& tool, const std::string& arguments) {
    if (!require_reader(tool)) return {};
    std::string out;
    if (FILE* pipe = ::popen((tool + " " + arguments + " 2>/dev/null").c_str(), "r")) {
      char buffer[4096];
      for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
      EXPECT_EQ(::pclose(pipe), 0) << tool << " " << arguments;
    }
    return out;
  }
  static std::string quoted(const std::string& name) { return "'" + name + "'"; }
  // The page count as pdfinfo reads it.
  static int pdfinfo_pages(const std::string& name) {
    const std::string info = tool_output("pdfinfo", quoted(name));
    const size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
  }
  // The non-empty lines of the text that pdftotext reads from the PDF, with single blanks
  // between the words.
  static std::vector<std::string> pdf_text_lines(const std::string& name) {
    std::istringstream in(tool_output("pdftotext", "-layout " + quoted(name) + " -"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
      while (!line.empty() && (line.back() == ' ' || line.back() == '\f')) line.pop_back();
      const size_t first = line.find_first_not_of(" \f");
      if (first == std::string::npos) continue;
      std::string words;  // the layout's column spacing squeezed to single blanks
      for (char c : line.substr(first))
        if (c != ' ' || words.back() != ' ') words.push_back(c);
      lines.push_back(words);
    }
    return lines;
  }

  std::string pdf;
  int32_t meta = 0;
};
