// A whole PXB program that uses the library functions and writes their results with FILE;
// its output file is compared line by line with tests/programs/exprlib/exprlib.expected.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "runtime/commands/runtime.h"
#include "runtime/commands/file_command.h"
#include "runtime/commands/interpreter.h"
#include "support/runtime_fixture.h"

namespace {

class exprlib_program : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    file_command_reset();
  }
  void TearDown() override {
    file_command_reset();
    runtime_fixture::TearDown();
  }
};

TEST_F(exprlib_program, LibraryFunctionsInAProgram) {
  const std::string base = std::string(WINKYR_TEST_PROGRAMS) + "/exprlib/exprlib";
  start_headless();
  load_program(base + ".pxb");
  interpreter(1);
  for (const box_seen& box : boxes) ADD_FAILURE() << "box: " << box.caption << ": " << box.text;
  EXPECT_FALSE(program_has_ended());
  std::ifstream in(base + ".expected", std::ios::binary);
  std::vector<std::string> expected;
  for (std::string line; std::getline(in, line);) expected.push_back(line);
  ASSERT_FALSE(expected.empty());
  const std::vector<std::string> actual = file_lines("EXPRLIB.OUT");
  for (size_t i = 0; i < std::max(expected.size(), actual.size()); ++i)
    EXPECT_EQ(i < actual.size() ? actual[i] : "<missing>", i < expected.size() ? expected[i] : "<extra>")
        << "line " << i + 1;
}

}  // namespace
