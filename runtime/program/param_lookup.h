// Looking up one keyword in a parameter line of the command-line form KEY:value, KEY=value or
// a switch KEY / NOKEY. Texts are blank-padded code page 1252.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Finds `keyword` in `line` and sets `value` to its value (blank-padded to its length; 128
// characters when it comes in empty), or to `default_value` when the keyword is missing or has
// an empty value. The keyword and its value are removed from `line`, so that successive calls
// consume it. Keyword forms:
//   "NAME:" / "NAME=" a value after ":" / "="; "NAME" a switch giving "YES", or "NO" when the
//   line says "NONAME"; "*" the next quoted text; a leading "!" makes the keyword mandatory;
//   a "|" at position 3 or later marks the shortest accepted abbreviation ("FI|LE:").
// A line that is exactly "*" stands for the process command line without the program name.
// A missing mandatory keyword, a missing quoted text or a keyword in a wrong form writes its
// message to the standard output and stops the process.
void get_parameter(std::string& line, std::string_view keyword, std::string& value,
                   std::string_view default_value);
// Upper-cases a..z of a blank-padded text up to its last non-blank character.
void upcase_in_place(std::string& text);
// Counter of the quoted texts taken by "*" back to 0; for tests.
void param_lookup_reset();
