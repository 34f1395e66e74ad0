// SYSVAR's pieces: the argument as the services see it, their common result, the families of
// services (screen and program state, environment, files, scrambler) and the state they keep
// between calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quillon/api/quillon.h"

// The argument operand of one call.
struct sysvar_arg {
  float value = 0.0f;
  bool is_number = true;
  std::string text;  // the slot's text as far as its length goes (after any number conversion)
  bool cut = false;  // the text was cut to fit (a name taken from it is refused)

  int32_t whole() const;            // nearest integer
  std::string trimmed() const;      // text without trailing blanks
  // The argument as a name (names.h): without trailing blanks, or nothing when it was cut.
  std::optional<std::string> name() const;
  // For the services where 0 becomes a blank: a number whose nearest integer is 0 is " ".
  std::string text_or_blank() const { return is_number && whole() == 0 ? std::string(" ") : text; }
};

// The answer that takes the name's place: a number, or a text with its length.
struct sysvar_result {
  bool is_text = false;
  float number = 0.0f;
  std::string text;
  int32_t length = 0;

  static sysvar_result of(float v) { return {false, v, {}, 0}; }
  static sysvar_result of_text(std::string t, int32_t length) { return {true, 0.0f, std::move(t), length}; }
  // The text with its trimmed length; an empty text becomes " " of length 1.
  static sysvar_result of_trimmed_or_blank(std::string_view t);
};

// State of the file services kept between calls.
struct sysvar_state_t {
  std::string search_pattern = std::string(128, ' ');  // blank: no search
  std::vector<std::string> search_names;                // whole, as the directory holds them
  std::vector<qn_directory_record> search_records;
  int32_t search_count = 0;
  int32_t search_position = 0;  // the match last handed out, 0 before the first
  int32_t scratch = 0;          // status or result of the last call that passes it
  std::vector<int32_t> raw_handles;  // handles opened by "c_sopen" and "c_sopen_or"
};
extern sysvar_state_t sysvar_state;
// Back to the start state (search, scratch word); closes the raw handles still open.
void sysvar_reset();

// ---------------------------------------------------------------- helpers
std::string trim_blanks(std::string_view text);

// ---------------------------------------------------------------- families
// Each returns true and sets `out` when `name` (lower case, trimmed) is one of its services.
bool sysvar_program_state(std::string_view name, const sysvar_arg& arg, sysvar_result& out);
bool sysvar_environment(std::string_view name, const sysvar_arg& arg, sysvar_result& out);
bool sysvar_files(std::string_view name, const sysvar_arg& arg, sysvar_result& out);
bool sysvar_scrambler(std::string_view name, const sysvar_arg& arg, sysvar_result& out);

// "crypt" and "decrypt" themselves: 128 characters (blank-padded) to 256 and back.
std::string sysvar_crypt(std::string_view plain);
std::string sysvar_decrypt(std::string_view scrambled);

// ---------------------------------------------------------------- other subsystems
// The words SYSVAR reads from the area table, the level stack, the video stack and the list
// manager, each behind one small function.
struct sysvar_area_view {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool selected = false;
};
sysvar_area_view sysvar_area(int32_t k);  // all 0 for k outside 1..60
int32_t sysvar_focus_area();
int32_t sysvar_area_count();
int32_t sysvar_level_pointer();
int32_t sysvar_level_id(int32_t k);  // k in 1..20
int32_t sysvar_video_depth();
int32_t sysvar_list_rows(int32_t list);  // list manager list 3..6
