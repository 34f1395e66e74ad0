// The tests that run a list program through the main window: the program written line by line,
// and the event tests' set-up with every list and the input field started afresh.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "test_dispatcher_fixture.h"

// A PXB program: each expression, text token and code record is numbered as it is added.
struct program_text {
  std::string variables;
  std::vector<std::string> upn, tokens, codes;

  static std::string ref(char marker, size_t k) {
    char text[32];
    std::snprintf(text, sizeof text, "%c%04zu", marker, k);
    return text;
  }
  std::string expr(const std::string& line) {
    upn.push_back(line);
    return ref('%', upn.size());
  }
  std::string second(const std::string& line) {
    upn.push_back(line);
    return ref('&', upn.size());
  }
  std::string token(const std::string& text) {
    tokens.push_back(text);
    return ref('@', tokens.size());
  }
  // The label of the next code record.
  std::string next_label() const { return ref(':', codes.size() + 1); }
  void code(const std::string& line) { codes.push_back(line); }

  std::string text() const {
    // The tables have room for the program's records (and at least the room a small one needs).
    size_t characters = 0;
    for (const std::string& token : tokens) characters += token.size() + 1;
    const auto at_least = [](size_t n, size_t least) { return std::to_string(std::max(n, least)); };
    std::string t = "[PROC]\nCSET=W\n[INIT]\nCODES=" + at_least(codes.size() + 1, 40) +
                    "\nUPNCODES=" + at_least(upn.size() + 1, 40) + "\nUPNTOKENS=300\nTEXTTOKENS=" +
                    at_least(tokens.size() + 1, 20) + "\nTEXTCHARACTERS=" + at_least(characters, 400) +
                    "\nVARIABLES=10\nSTRINGSPACE=2000\nADRSPACE=50\n";
    t += "[VARIABLES]\n" + variables + "[UPNCODES]\n";
    for (const std::string& line : upn) t += line + "\n";
    t += "[TEXTTOKENS]\n";
    for (size_t k = 0; k < tokens.size(); ++k) t += ref('@', k + 1) + " " + tokens[k] + "|\n";
    t += "[CODES]\n";
    for (const std::string& line : codes) t += line + "\n";
    return t;
  }
};

class list_program_test : public events_fixture {
 protected:
  void SetUp() override {
    events_fixture::SetUp();
    reset_lists();
    field_input_reset();
  }
  void TearDown() override {
    reset_lists();
    field_input_reset();
    areas_reset();
    events_fixture::TearDown();
  }

  // The end of a program whose start `p` holds, with its button "Speichern" at code record
  // button_code: the timer (the EVENT code `event`, every `seconds` seconds) whose label the code
  // lines that `timer` adds make, then RETURN; the button's label saves list 1 to `file`.  The
  // program runs up to its RETURN.
  template <typename Timer>
  static void run_with_timer(program_text& p, size_t button_code, const std::string& file, const std::string& event,
                             const std::string& seconds, Timer timer) {
    const size_t event_code = p.codes.size();
    p.code(event);
    p.code("RETURN");
    p.codes[button_code] += " " + p.next_label();
    p.code("/00001000 LSTMGR " + p.token(file) + " " + p.expr("#1 #0 #0"));
    p.code("RETURN");
    p.codes[event_code] += " " + p.next_label() + " " + p.second("#" + seconds);
    timer(p);
    p.code("RETURN");
    load_program_image(p.text());
    interpreter(1);
  }
};
