// Names a program hands to the system: file names, program names and shell commands.  A text
// holds at most 256 characters; one that lost characters on the way (a token whose variables make
// it longer, a concatenation past 256 characters, a system text too long for a result, a text
// past the 80 characters of %0, %1 or %2) keeps only its first characters and carries the mark
// that it was cut.  A cut text never names a file, a program or a command: it would name another
// one.  Every command and function that takes a name takes it through the one route here, which
// refuses a cut text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A text as a command or function gets it: its characters, and whether they are only the first
// ones of a longer text.
struct program_text {
  std::string text;
  bool cut = false;
};

// The route.  A whole text: true, nothing else happens.  A cut one: false, io_status := 36
// (the system's "file name too long") and the error log's WARNUNG line "cannot open" with the
// first characters; the caller then does nothing with it.
bool whole_or_refused(const program_text& name);
// The same for a name, which comes back without its trailing blanks, or nothing when refused.
std::optional<std::string> whole_name(const program_text& name);

// ---------------------------------------------------------------- what is cut
// A text is cut only where characters other than blanks were lost: blanks that fall past where a
// text ends were never part of a name.  With NAME a variable of 256 characters holding
// "data.txt", "d/" // NAME is whole (258 characters, only blanks past 256), while NAME // ".txt"
// is cut (the ".txt" falls past 256, behind NAME's blanks).  The places that lose characters
// apply this rule: a join, a token's variables and its stored text past 256 characters, a system
// or database text past what a result holds, %0-%2 past their 80, a text variable read into the
// 512 characters of an evaluator text or asked for past the 256 a substring keeps.
//
// True where `text` loses characters when only its first `kept` are kept.
inline bool loses_characters(std::string_view text, size_t kept) {
  if (text.size() <= kept) return false;
  const size_t last = text.find_last_not_of(' ');
  return last != std::string_view::npos && last >= kept;
}

// ---------------------------------------------------------------- text variables
// The mark lives with the characters: STRING_BUFFER keeps, beside each character, whether the
// text written there was cut after it, and its one write routine decides the marks of what it
// writes (program_image.h).  A store of a cut text marks the last character of its own that the
// element holds, where the element would have held more of it; a copy of an element holding a
// cut text carries the mark on the same way.  A store into a field that holds no more than the
// text's own characters keeps what fits, as a store of a whole text does: that is the field's
// length, not a cut.  Every other write (a whole text, a file read, a list row, field input, a
// database column, a by-name write) clears the marks of the characters it writes, so a whole
// text written over the whole field, or over the part that held the cut text, makes it whole.

// The named text variable ("NAME" or "NAME[a:b]") as the file name the output services take
// from it (META_FILE, fs_select): its whole text and whether it holds a cut one.
program_text name_variable(std::string_view reference);
