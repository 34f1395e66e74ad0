// The PostScript and PDF document frame from templates (offsets, cross-reference table, stream
// length), the DXF header and entities, and the plotter character table.
#include <charconv>
#include <regex>
#include <string>

#include "test_plot_fixture.h"

namespace {

using plot_templates = plot_test;

int64_t number_at(const std::string& text, size_t at) {
  int64_t v = -1;
  std::from_chars(text.data() + at, text.data() + text.size(), v);
  return v;
}

TEST_F(plot_templates, PdfFrameOffsetsXrefAndStreamLengthAreConsistent) {
  use_own_data({{"VEXTA10.PDH",
                 "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n2 0 obj\n<< >>\nendobj\n"
                 "3 0 obj\n\n<< >>\nendobj\n4 0 obj\n<< >>\nendobj\n5 0 obj\n$<< /Length $\n$stream\n"},
                {"VEXTA99.PDH",
                 "$endstream\nendobj\n6 0 obj\n<< >>\nendobj\n7 0 obj\n/CreationDate (\n>>\nendobj\n"
                 "1 0 obj <<\n$xref\ntrailer\n$startxref\n%%EOF\n"}});
  open("f", 43);
  plot(1, 1, 2);
  plot(0, 0, 999);
  const std::string pdf = file_text("f.PDF");
  ASSERT_EQ(static_cast<int64_t>(pdf.size()), static_cast<int64_t>(plot_byte_count()) - 20);
  EXPECT_EQ(pdf.find("\n\n"), std::string::npos);  // empty template lines disappear
  // Seven objects: the entries give each "n 0 obj" line's offset.
  const size_t xref = pdf.find("xref\n0 8\n0000000000 65535 f \n");
  ASSERT_NE(xref, std::string::npos);
  const size_t entries = pdf.find("f \n", xref) + 3;
  for (int n = 1; n <= 7; ++n) {
    const std::string entry = pdf.substr(entries + 20 * static_cast<size_t>(n - 1), 20);
    ASSERT_EQ(entry.substr(10), " 00000 n\r\n");
    const size_t offset = static_cast<size_t>(number_at(entry, 0));
    EXPECT_EQ(pdf.compare(offset, std::to_string(n).size() + 6, std::to_string(n) + " 0 obj"), 0) << n;
  }
  const size_t sx = pdf.find("startxref\n");
  EXPECT_EQ(number_at(pdf, sx + 10), static_cast<int64_t>(xref));
  // The stream runs from behind "stream\n" to the "endstream" line; its length is patched in.
  const size_t begin = pdf.find("stream\n") + 7;
  const size_t end = pdf.find("endstream\n");
  const std::string expected_len = std::to_string(end - begin) + " >>";
  EXPECT_EQ(pdf.substr(pdf.find("<< /Length ") + 11, 21),
            expected_len + std::string(20 - expected_len.size(), ' ') + "\n");
  EXPECT_TRUE(std::regex_search(pdf, std::regex(R"(/CreationDate \(D:\d{14}\)\n)")));
}

TEST_F(plot_templates, ShippedPdfTemplatesMakeAWellFormedFile) {
  open("s", 43);
  plot(2, 2, 3);
  plot(5, 7, 2);
  newpen(3);
  plot(0, 0, 999);
  const std::string pdf = file_text("s.PDF");
  EXPECT_EQ(pdf.rfind("%PDF-1.4\n", 0), 0u);
  EXPECT_EQ(pdf.substr(pdf.size() - 6), "%%EOF\n");
  const size_t sx = pdf.rfind("startxref\n");
  const size_t xref = static_cast<size_t>(number_at(pdf, sx + 10));
  EXPECT_EQ(pdf.compare(xref, 9, "xref\n0 14"), 0);
  EXPECT_NE(pdf.find("S\n"), std::string::npos);
}

TEST_F(plot_templates, LandscapePdfUsesTurnedTemplateAndPage) {
  use_own_data({{"VEXTA10.PDR", "%landscape\n"}, {"VEXTA10.PDH", "%portrait\n"}, {"VEXTA99.PDH", "%end\n"}});
  open("l", 43, 29.7f, 21.0f);
  EXPECT_EQ(plot_state.page_width, 2960);
  EXPECT_EQ(plot_state.page_height, 2100);
  plot(0, 0, 999);
  EXPECT_EQ(file_text("l.PDF").rfind("%landscape\n", 0), 0u);
}

TEST_F(plot_templates, ShortLinesSkipMarkersAndObjLinesNeedTheirEnd) {
  use_own_data({{"VEXTA10.PDH", "$str\n1 0 obj\n2 0 obj <<\n"}, {"VEXTA99.PDH", "$xref\n"}});
  open("o", 43);
  EXPECT_EQ(plot_state.pdf_object_count, 1);
  plot(0, 0, 999);
  const std::string pdf = file_text("o.PDF");
  EXPECT_EQ(pdf.rfind("$str\n1 0 obj\n2 0 obj <<\n", 0), 0u);
  EXPECT_NE(pdf.find("xref\n0 2\n"), std::string::npos);
}

TEST_F(plot_templates, MoreThanThirtyObjectsKeepThirtyEntries) {
  std::string many;
  for (int i = 1; i <= 32; ++i) many += std::to_string(i) + " 0 obj\n";
  use_own_data({{"VEXTA10.PDH", many}, {"VEXTA99.PDH", "$xref\n"}});
  open("m", 43);
  plot(0, 0, 999);
  const std::string pdf = file_text("m.PDF");
  EXPECT_NE(pdf.find("xref\n0 31\n"), std::string::npos);
  const size_t last = pdf.find("32 0 obj");
  const std::string entry30 = pdf.substr(pdf.find("f \n") + 3 + 29 * 20, 10);
  EXPECT_EQ(number_at(entry30, 0), static_cast<int64_t>(last));
}

TEST_F(plot_templates, PostScriptDateLineOnlyWhenBare) {
  use_own_data({{"VEXTA10.PSH", "%!PS\n%%CreationDate:\n%%CreationDate: kept\n\ngsave\n"}});
  open("p", 40);
  plot(0, 0, 999);
  const std::string ps = file_text("p.EPS");
  EXPECT_TRUE(std::regex_search(
      ps, std::regex(R"(^%!PS\n%%CreationDate:[ \d]{3}\.\d{2}\.\d{4}-\d{2}:\d{2}\n%%CreationDate: kept\ngsave\n)")));
  EXPECT_EQ(ps.substr(ps.size() - 30), "S\ngrestore\nshowpage\n%%Trailer\n");
}

TEST_F(plot_templates, MissingTemplateEndsTheProgram) {
  use_own_data({});
  EXPECT_THROW(COMPS("n", 21, 29.7f, 40, 1), program_end);
  EXPECT_EQ(reported(), "%GKS-dxf, VEXTA10/99.PSH/PDH not found");
}

TEST_F(plot_templates, TemplateFoundInKyrSubdirectory) {
  use_own_data({});
  std::filesystem::create_directories(dir / "prog" / "kyr");
  std::ofstream(dir / "prog" / "kyr" / "VEXTA10.PSH") << "%!PS from kyr\n";
  open("k", 40);
  plot(0, 0, 999);
  EXPECT_EQ(file_text("k.EPS").rfind("%!PS from kyr\n", 0), 0u);
}

TEST_F(plot_templates, DxfHeaderDropsEmptyLinesAndEndsLinesInCrLf) {
  use_own_data({{"VEXTA10.ACH", "0\n\nSECTION   \n"}});
  open("d", 41);
  plot(0, 0, 999);
  EXPECT_EQ(file_text("d.DXF"), "0\r\nSECTION\r\n0\r\nENDSEC\r\n0\r\nEOF\r\n");
}

TEST_F(plot_templates, MissingDxfHeaderEndsTheProgram) {
  use_own_data({});
  EXPECT_THROW(COMPS("d", 21, 29.7f, 41, 1), program_end);
  EXPECT_EQ(reported(), "%GKS-dxf, VEXTA10.ACH not found");
}

TEST_F(plot_templates, DxfNumbersAndEntities) {
  EXPECT_EQ(dxf_number(5.5f), "5.5");
  EXPECT_EQ(dxf_number(12.25f), "12.25");
  EXPECT_EQ(dxf_number(100.0f), "100");
  EXPECT_EQ(dxf_number(0.0f), "0");
  EXPECT_EQ(dxf_number(-0.5f), "-0.5");
  EXPECT_EQ(dxf_number(0.1234f), "0.1234");
  EXPECT_EQ(dxf_number(7.0f), "7");
  EXPECT_EQ(dxf_number(0.05f), "0.05");
  // Beyond eight columns the number grows wider with the same four decimals.
  EXPECT_EQ(dxf_number(1000.0f), "1000");
  EXPECT_EQ(dxf_number(-100.0f), "-100");
  EXPECT_EQ(dxf_number(-123456.5f), "-123456.5");
  open("e", 41);
  const size_t start = file_text("e.DXF").size();
  const int32_t count = plot_byte_count();
  dxf_line(1, 2, 3, 4);
  EXPECT_EQ(plot_byte_count() - count, static_cast<int32_t>(tail("e.DXF", start).size()));
  const size_t after_line = file_text("e.DXF").size();
  dxf_text(1, 1, 0.5f, "AB  ", 0.0f, 0);
  EXPECT_EQ(tail("e.DXF", after_line),
            "0\r\nTEXT\r\n8\r\n1\r\n62\r\n7\r\n10\r\n1\r\n20\r\n1\r\n40\r\n0.5\r\n1\r\nAB  \r\n7\r\ntxt\r\n");
  const size_t after_text = file_text("e.DXF").size();
  dxf_text(1, 1, 0.5f, "AB", 360.0f, 1);
  EXPECT_NE(tail("e.DXF", after_text).find("1\r\nA\r\n50\r\n360\r\n7\r\n"), std::string::npos);
  plot(0, 0, 999);
}

TEST_F(plot_templates, CharacterTableFromFile) {
  use_own_data({{"PLOTRANS.TBL", std::string("a b\n") + "\xe4" + "ae\nxy\nxz\nqq\n\nk\n"}});
  open("t", 30);
  EXPECT_EQ(plotrans_entry('a'), "a ");  // the first line is a title, never an entry
  EXPECT_EQ(plotrans_apply("\xe4x"), "aez");  // two characters; the later x line wins
  EXPECT_EQ(plotrans_apply("q"), "q");
  EXPECT_EQ(plotrans_apply(" "), " ");
  EXPECT_EQ(plotrans_entry('k'), "  ");  // a line of one character maps it to a blank
  EXPECT_EQ(plot_state.soft_font, 0);
  plot(0, 0, 999);
  open("", 10);  // every other device starts from the identity table
  EXPECT_EQ(plotrans_apply("\xe4"), "\xe4");
  plot(0, 0, 999);
}

TEST_F(plot_templates, CharacterTableSoftAndEmptyFiles) {
  use_own_data({{"PLOTRANS.TBL", "$SOFT\nxy\n"}});
  open("s", 31);
  EXPECT_EQ(plot_state.soft_font, 1);
  EXPECT_EQ(plotrans_apply("x"), "x");
  plot(0, 0, 999);
  use_own_data({{"PLOTRANS.TBL", ""}});
  open("e", 30);
  EXPECT_EQ(plotrans_apply("Hello"), "Hello");
  plot(0, 0, 999);
  use_own_data({});
  open("n", 30);  // missing table: no error
  EXPECT_TRUE(boxes.empty());
  plot(0, 0, 999);
}

// Every character of a text is translated, however long the text (here each into two).
TEST_F(plot_templates, TranslatedTextIsWholeHoweverLong) {
  use_own_data({{"PLOTRANS.TBL", "title\nabc\n"}});
  open("c", 30);
  EXPECT_EQ(plotrans_apply(std::string(100, 'a')).size(), 200u);
  plot(0, 0, 999);
}

}  // namespace
