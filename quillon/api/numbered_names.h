// Numbered file names, claimed for this process: the print jobs' PDF files ("Druckausgabe.pdf",
// "Druckausgabe-2.pdf", ...) and the numbered plot files ("PLTF0001.PLT", ...).
//
// A name is claimed by creating its file, empty and exclusively: a name that exists, made by
// anyone (another run writing into the same folder at the same time), is never taken, and the
// next number is tried.  The folder is read once per run and series; every later claim goes on
// from the last number claimed, so a claim costs the same beside ten files or ten thousand.
// Paths are host paths (UTF-8, "/").
#pragma once

#include <climits>
#include <cstdint>
#include <string>

struct numbered_series {
  std::string folder;        // the folder ("" the current one), with or without a final "/"
  std::string prefix;        // the name before the number
  std::string suffix;        // the name after the number
  int32_t digits = 0;        // the number's width with leading zeros; 0: as wide as it is
  std::string first_name;    // the name of number 1 when it has one of its own ("" when not)
  int32_t first = 1;         // the lowest number to take
  int32_t last = INT32_MAX;  // the highest
};

struct claimed_name {
  std::string path;    // the folder and the name claimed; after a failure the name tried
  int32_t number = 0;  // its number
  int32_t error = 0;   // 0, or the system's reason why no name was claimed; ERANGE: no number left
};

// Claims the next free name of the series.  Names are compared with the folder's ignoring the
// case of ASCII letters (a file "pltf0001.plt" holds the number 1 as well).  With `for_save`, a
// whole-file save (save_file) later moves its finished file into the empty file's place: it may
// replace that file only while it is still the one claimed here (see below).
claimed_name claim_numbered_name(const numbered_series& series, bool for_save = false);

// For save_file: moves the finished file `from` to `target`.  A target claimed with `for_save`
// is replaced only while it is still the empty file made by the claim; once it is gone, the
// move takes the name only if nobody else has; over another file it fails (EEXIST).  Any other
// target is replaced, as a save replaces its file.  0 or the system's error code; the claim
// ends with the move.
int32_t move_into_place(const std::string& from, const std::string& target);
// For save_file: a save into a claimed name was given up: the empty file made by the claim is
// removed (while it is still that file), so that no empty file stands under the name.
void give_up_claim(const std::string& target);
