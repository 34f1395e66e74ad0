// Reading the PXB program file: its records, sections and number fields.  The loader
// (load_program) finds and opens the file and finishes the image; the reader turns the records
// into the program image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr int32_t pxb_record_length = 256;

// A record as the reader sees it: cut after 256 characters, blank-padded to 256.
std::string pxb_record(std::string_view line);

// A fixed-column integer field: blanks anywhere in it are ignored, an all-blank field reads 0,
// an optional sign leads.  Characters of `field` beyond its end count as blanks.  Empty when the
// field holds anything else or the number does not fit in 32 bits.
std::optional<int32_t> read_fixed_int(std::string_view field);
// A fixed-column hexadecimal field (blanks ignored, all-blank reads 0).
std::optional<uint32_t> read_fixed_hex(std::string_view field);
// A fixed-column real field without implied decimals ("12" is 12.0, blanks ignored, all-blank
// reads 0).  Empty when unreadable.
std::optional<float> read_fixed_real(std::string_view field);
// A free-form integer: the first blank-separated word of the text, optionally signed.
std::optional<int32_t> read_free_int(std::string_view text);
// The characters [from, from + count) of a text (0-based), blank beyond its end.
std::string column_field(std::string_view text, size_t from, size_t count);

// Reads a whole PXB file's contents into the program image (the image state must have been
// reset by the caller).  Errors go to report_error and end the load.
void read_pxb(std::string_view contents);

// Resets the program image and loads a PXB file's contents into it (load_program does this
// after finding the file).  Errors go to report_error and end the load.
void load_program_image(std::string_view contents);

// The contents of the program file: the name as given, else the same name in the subdirectory
// "KYR" (beside its directory, or of the current directory).  Neither found: "KYRPROG not
// found:" with the second name, code 32000.
std::string read_program_file(std::string_view name);

// The command name of an opcode, for messages ("CALL", "%", ...).
const char* command_name(int32_t opcode);
