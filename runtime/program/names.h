// Names a program hands to the system: file names, program names and shell commands.  A text
// holds at most 256 characters; one that was longer (a token whose variables make it longer, a
// concatenation past 256 characters, a system text too long for a result, a text past the 80
// characters of %0, %1 or %2) keeps only its first characters and carries the mark that it was
// cut.  A cut text never names a file, a program or a command: it would name another one.  Every command and function that takes a name takes it
// through the one route here, which refuses a cut text.
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

// ---------------------------------------------------------------- text variables
// A cut text stored into a text variable that would have held more stays cut there: the
// element keeps the mark with the number of characters it holds of the text.  A store of a whole
// text clears the mark, and the mark lapses when the element's characters change any other way
// (a file read, a list row, field input): it is kept with the characters it was set for.
// Elements are named by their first position in STRING_BUFFER and their length.
//
// The characters the element holds of a cut text, or -1 when it holds a whole one (in line:
// most programs never store a cut text, and their text reads cost one test).
extern bool cut_texts_stored;
int32_t marked_text_kept(int32_t start, int32_t length);
inline int32_t cut_text_kept(int32_t start, int32_t length) {
  return cut_texts_stored ? marked_text_kept(start, length) : -1;
}
// After a store into the element: `kept` characters of a cut text (-1: a whole text).
void note_text_store(int32_t start, int32_t length, int32_t kept);
// Forgets every mark (a program loaded).
void forget_cut_texts();
// The named text variable ("NAME" or "NAME[a:b]") as the file name the output services take
// from it (META_FILE, fs_select): its whole text and whether it holds a cut one.
program_text name_variable(std::string_view reference);
