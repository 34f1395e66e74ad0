// Parameter lookup: values after ":" and "=", switches, quoted and positional texts, lists,
// abbreviations, consumption of the line, defaults and the stopping errors.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "runtime/program/param_lookup.h"

namespace {

struct lookup {
  std::string line;
  std::string value;
};

lookup get(std::string line, std::string_view keyword, std::string_view default_value = "") {
  line.resize(60, ' ');
  std::string value(20, ' ');
  get_parameter(line, keyword, value, default_value);
  EXPECT_EQ(line.size(), 60u);
  EXPECT_EQ(value.size(), 20u);
  auto trim = [](std::string s) { return s.substr(0, s.find_last_not_of(' ') + 1); };
  return {trim(line), trim(value)};
}

TEST(ParamLookup, ValuesAfterSeparators) {
  lookup r = get("file:Data.txt mode=fast", "FILE:");
  EXPECT_EQ(r.value, "Data.txt");  // the value keeps its case
  EXPECT_EQ(r.line, "mode=fast");
  r = get(r.line, "mode=");
  EXPECT_EQ(r.value, "fast");
  EXPECT_EQ(r.line, "");
  r = get("A:1 NAME:\"two words\" B:2", "name:");
  EXPECT_EQ(r.value, "two words");
  EXPECT_EQ(r.line, "A:1  B:2");  // only leading blanks are dropped
}

TEST(ParamLookup, ListsAndListCharacters) {
  lookup r = get("SIZE(10, 20) X:1", "SIZE:");
  EXPECT_EQ(r.value, "10, 20");
  EXPECT_EQ(r.line, "X:1");
  r = get("POS[1,2], X:1", "POS:");
  EXPECT_EQ(r.value, "[1,2]");
  EXPECT_EQ(r.line, "X:1");
  r = get("N-5 M:2", "N:");
  EXPECT_EQ(r.value, "-5");
  EXPECT_EQ(r.line, "M:2");
}

TEST(ParamLookup, Switches) {
  EXPECT_EQ(get("DEBUG FILE:x", "DEBUG").value, "YES");
  EXPECT_EQ(get("NODEBUG FILE:x", "DEBUG").value, "NO");
  EXPECT_EQ(get("NODEBUG FILE:x", "DEBUG").line, "FILE:x");
  EXPECT_EQ(get("DEBUG,FILE:x", "debug").value, "YES");
  // A longer word is not the switch.
  EXPECT_EQ(get("DEBUGGER", "DEBUG", "dflt").value, "dflt");
}

TEST(ParamLookup, AbbreviationsAndQuotes) {
  EXPECT_EQ(get("FI:a.txt", "FI|LE:").value, "a.txt");
  EXPECT_EQ(get("FIL:a.txt", "FI|LE:").value, "a.txt");
  EXPECT_EQ(get("FILE:a.txt", "FI|LE:").value, "a.txt");
  EXPECT_EQ(get("F:a.txt", "FI|LE:", "none").value, "none");
  // Matches inside a quoted text do not count.
  lookup r = get("T:\"X:1\" X:2", "X:");
  EXPECT_EQ(r.value, "2");
  EXPECT_EQ(r.line, "T:\"X:1\"");
}

TEST(ParamLookup, PositionalTexts) {
  param_lookup_reset();
  lookup r = get("\"first\" 'second' X:1", "*");
  EXPECT_EQ(r.value, "first");
  EXPECT_EQ(r.line, "'second' X:1");
  r = get(r.line, "*");
  EXPECT_EQ(r.value, "second");
  EXPECT_EQ(r.line, "X:1");
}

TEST(ParamLookup, DefaultsAndUpcase) {
  EXPECT_EQ(get("A:1", "B:", "dflt").value, "dflt");
  EXPECT_EQ(get("A:1", "B:", "dflt").line, "A:1");
  EXPECT_EQ(get("B:", "B:", "dflt").value, "dflt");
  std::string t = "abc Xyz \xE4  ";
  upcase_in_place(t);
  EXPECT_EQ(t, "ABC XYZ \xE4  ");
}

TEST(ParamLookup, StarLineIsTheCommandLine) {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string args;
  size_t first_nul = raw.find('\0');
  if (first_nul != std::string::npos) args = raw.substr(first_nul + 1);
  for (char& c : args)
    if (c == '\0') c = ' ';
  args = args.substr(0, args.find_last_not_of(' ') + 1);
  std::string line = "*";
  line.resize(200, ' ');
  std::string value(20, ' ');
  get_parameter(line, "NOSUCHKEY:", value, "");
  EXPECT_EQ(line.substr(0, line.find_last_not_of(' ') + 1), args.substr(0, 200));
}

// The lookup with the standard output sent to the standard error, where a death test sees it.
void get_to_stderr(const std::string& line, const std::string& key) {
  dup2(2, 1);
  get(line, key);
}

TEST(ParamLookupDeath, StoppingErrorsWriteTheirMessage) {
  EXPECT_EXIT(get_to_stderr("A:1", "!B:"), ::testing::ExitedWithCode(1),
              "\\*\\*\\* Parameter fehlt : >B:< \\*\\*\\*");
  EXPECT_EXIT(get_to_stderr("X NAME y", "NAME:"), ::testing::ExitedWithCode(1),
              "\\*\\*\\* Falscher Parameter : >NAME y< \\*\\*\\*");
  param_lookup_reset();
  EXPECT_EXIT(get_to_stderr("no quotes", "*"), ::testing::ExitedWithCode(1),
              "\\*\\*\\* Text-Parameter fehlt: Text-Nr. 1 \\*\\*\\*");
}

TEST(ParamLookup, MandatoryKeywordPresent) { EXPECT_EQ(get("B:7", "!B:").value, "7"); }

}  // namespace
