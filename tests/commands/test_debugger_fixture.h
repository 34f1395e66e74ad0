// Common set-up of the debugger and MESS tests: the runtime started headless with the DEBUG
// window open, a program with one variable of every kind, and helpers that type into the
// debugger and read its windows.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/commands/runtime.h"
#include "runtime/commands/debugger.h"
#include "runtime/commands/interpreter.h"
#include "runtime/program/program_image.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/screen/screen.h"
#include "support/runtime_fixture.h"

// A PXB program image: [INIT] sized for small tests, the given sections appended as they are.
inline std::string small_program(std::string_view variables, std::string_view upn, std::string_view tokens,
                                 std::string_view codes) {
  std::string text =
      "[PROC]\nCSET=W\n[INIT]\nCODES=20\nUPNCODES=20\nUPNTOKENS=100\nTEXTTOKENS=20\nTEXTCHARACTERS=400\n"
      "VARIABLES=10\nSTRINGSPACE=400\nADRSPACE=50\n";
  text += "[VARIABLES]\n" + std::string(variables);
  text += "[UPNCODES]\n" + std::string(upn);
  text += "[TEXTTOKENS]\n" + std::string(tokens);
  text += "[CODES]\n" + std::string(codes);
  return text;
}

// One variable of every kind the debugger shows.
inline constexpr std::string_view debugger_variables =
    "&0001 I 0001:I$/7\n"
    "&0002 R 0001:X/2.5\n"
    "&0003 I 0003:ARR/0\n"
    "&0004 S 0002*005:TXT/\n"
    "&0005 D 0001:DAT/\n"
    "&0006 P 0001:PTR/0\n";

class debugger_fixture : public runtime_fixture {
 protected:
  void SetUp() override {
    runtime_fixture::SetUp();
    command_text_reset();
  }

  // Main window, the DEBUG window and tracing on, as the MESS debug switch leaves them.
  void open_debugger() {
    start_headless();
    debug_open();
    run_flags.trace_on = true;
  }

  void load_variables() {
    load_program_image(small_program(debugger_variables, "#0\n", "@0001 x|\n", "RETURN\n"));
    ASSERT_GE(variable_table.count, 6);
    ADRSPACE.set_int(var(3).start + 1, -12);
    const int32_t length = var(4).text_end - var(4).text_start + 1;
    STRING_BUFFER.write(var(4).text_start, length, "eins");
    STRING_BUFFER.write(var(4).text_start + length, length, "zwei");
    STRING_BUFFER.write(var(5).text_start, var(5).text_end - var(5).text_start + 1, "01.02.2026");
  }

  static variable_record& var(int32_t v) { return variable_table.records[static_cast<size_t>(v)]; }

  // Each character goes to the debugger as the dispatcher hands typed characters on; "\r" is
  // Enter, "\b" Backspace, "\x1b" Escape.
  static void type(std::string_view keys) {
    for (char c : keys) single_step(static_cast<unsigned char>(c));
  }

  static std::vector<std::string> dbgvar_lines() { return qn_scroll_lines(dbgvar_window()); }
  static std::vector<std::string> debug_lines() { return qn_scroll_lines(debug_window()); }
  // The DBGVAR lines written after the first `skip` ones.
  static std::vector<std::string> dbgvar_lines_after(size_t skip) {
    auto lines = dbgvar_lines();
    return std::vector<std::string>(lines.begin() + static_cast<long>(std::min(skip, lines.size())), lines.end());
  }
  // A name blank-filled to the 16 columns the debugger gives it.
  static std::string name16(std::string_view name) {
    std::string out(name);
    out.resize(16, ' ');
    return out;
  }
};
