// Screen services used by the commands and the output services.
//
// Screens: 21 off-screen bitmaps (0..20) that the runtime draws into; each may have a window
// that shows it.  A drawing step (screen_nr .. screen_stop_nr) opens the bitmap's drawing
// context once, marks a dirty rectangle, and at its end copies the bitmap into the window
// unless painting is suppressed (no_do_paint .. look_do_paint around every label run).
// Steps may nest; the context opened by the outermost step stays valid for every inner one.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "quillon/api/quillon.h"

// ---------------------------------------------------------------- screens and paint control
inline constexpr int32_t screen_count = 21;

// b = -9999: attach window a to screen n; b = -9998: a := screen n's bitmap handle;
// otherwise create screen n's off-screen bitmap of a x b pixels (replacing an older one).
void screen_init(int32_t n, int32_t& a, int32_t b);
// Begins a drawing step on screen n and copies the step's context into u.  Dirty rectangle:
// x1 < 0 the whole screen, otherwise x1, y1 to x2 + 1, y2 + 1, where x2 < x1 means up to the
// screen width and y2 < y1 up to the screen height.  Opening the context makes the next
// write_font_text select its font again.
void screen_nr(int32_t n, ups& u, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// Ends a drawing step; the outermost one releases the context and, unless painting is
// suppressed, copies the bitmap into the screen's window.
void screen_stop_nr(int32_t n);
// Replaces the dirty rectangle of the current step (same edge rules), without raising the
// dirty flag.
void screen_rect(int32_t n, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// Copies the whole bitmap of the current screen (the one last drawn on) into its window.
void screen_repaint();
void screen_bitmap(int32_t n, int32_t& handle);
// The paint callback of the main window: shows screen 0's bitmap.
void main_window_paint(int32_t window, ups& u);
void look_do_paint();  // ends paint suppression and shows what is dirty
void no_do_paint();    // starts paint suppression
// The window number arguments are not used: these act on the main window.
void size_main_window(int32_t window_nr, int32_t width, int32_t height);
void show_main_window(int32_t window_nr, int32_t mode);  // mode <= 0 minimise, > 0 restore
void move_main_window(int32_t window_nr, int32_t x, int32_t y);
// Resizes the main window's client area and gives screen n a new bitmap of width x height.
void resize_screen(int32_t n, int32_t width, int32_t height);

// The context of the open drawing step on screen n, or nullptr when no step is open.
ups* screen_step_context(int32_t n);

// What a screen looks like from outside (for the painters and the tests).
struct screen_view {
  int32_t bitmap = 0;
  int32_t window = 0;
  int32_t width = 0, height = 0;
  bool dirty = false;
  qn_rect dirty_rect;
  int32_t depth = 0;   // open (nested) drawing steps
  int32_t copies = 0;  // copies of the bitmap into the window so far
};
screen_view screen_info(int32_t n);
bool paint_suppressed();
void reset_screens();  // releases every screen; for tests

// ---------------------------------------------------------------- icons
// Draws icon "#n" of the icon library at (x, y) through screen 0's open drawing step; flag
// picks the part after "|" of a two-icon reference.
void draw_icon(int32_t x, int32_t y, std::string_view reference, bool flag);

// ---------------------------------------------------------------- texts in font slots
struct font_slot {
  std::string face;  // at most 32 characters; blank: the slot selects no font
  int32_t size = 8;  // points
  bool italic = false;
  bool bold = false;
  float angle = 0.0f;  // degrees
};
struct font_table_t {
  font_slot slot[10];   // slots 1..10 at [0..9]
  int32_t current = 1;  // the slot that write_font_text uses
};
extern font_table_t font_table;
extern int32_t standard_font;  // "MS Sans Serif" 8: buttons, frames, text output
extern int32_t fixed_font;     // "Courier" 10: input fields and lists

// Writes a text of `length` bytes at (x, y) on screen 0 in the current slot's font and in
// colour_table[colour], and marks its rectangle dirty.
void write_font_text(int32_t x, int32_t y, std::string_view text, int32_t length, int32_t colour);
// The same in standard_font, without font slots.
void write_label_text(int32_t x, int32_t y, std::string_view text, int32_t length, int32_t colour);
// The text of an input field in fixed_font, character n at x + n * fixed_font_advance(): the one
// measure by which the field's painter, its text cursor and a click into it place characters.
void write_field_text(int32_t x, int32_t y, std::string_view text, int32_t length, int32_t colour);
int32_t fixed_font_advance();
// A font handle for the library's calls: none (the context's own font) for handle 0.
std::optional<int32_t> font_handle(int32_t handle);
// Forgets the font last selected for texts (a new drawing context holds none of it).
void forget_text_font();
// Number of fonts write_font_text has selected since the last reset (shows the font cache).
int32_t text_fonts_selected();

// ---------------------------------------------------------------- the mouse as the last event left it
struct mouse_state_t {
  int32_t x = 0, y = 0;
  int32_t buttons = 0;  // bit 0x1 left, bit 0x2 right
  int32_t pressed = 0;  // the buttons that went down since the running poll began (same bits)
};
extern mouse_state_t mouse_state;  // window pixels, as the last event left them
// The buttons word of a mouse event; a button that goes down is also noted in `pressed`, so that
// a poll whose pump took a press and its release together still sees the click.
void record_mouse_buttons(int32_t buttons);

// The text that the button painter shows for an area whose caption is "#INFO#" (TEXTB).
inline constexpr size_t info_text_size = 512;
extern std::array<char, info_text_size> info_text;

// ---------------------------------------------------------------- automatic mode and warnings
void set_auto_mode(bool flag);
bool get_auto_mode();
// Warning with OK and the exclamation icon; in automatic mode only the trace line
// "*AUTO WARNING*<message>".  A leading "#word " of the text is dropped; a detail is appended
// after ":".
void warning_box(std::string_view text, std::string_view detail);
// The question forms: Yes/No/Cancel gives 1 Yes or OK, 0 Cancel, 2 otherwise (2 in automatic
// mode); Yes/No gives true for Yes or OK (false in automatic mode).
int32_t warning_box3(std::string_view text, std::string_view detail);
bool warning_box2(std::string_view text, std::string_view detail);
// The message that the last warning showed or traced.
std::string last_warning_message();

// ---------------------------------------------------------------- start-up
// Random seed, font slots, standard fonts, timer labels and level stack, frame pens.
void init_common();
// Entry k (1..20) of the frame pen table; 0 for any other k.
int32_t get_frame_pen(int32_t k);
extern int32_t frame_pen_table[20];
void reset_font_text();  // back to the state before init_common; for tests

// ---------------------------------------------------------------- message fields
// Height in pixels of the strip of message fields at the bottom of screen 0.
inline constexpr int32_t message_line_height = 20;
// Writes a text (cut to 80 characters) into message field 1..8.  A field below 0 only switches
// the text output (on when force is not 0); fields 0 to 8 are clamped to 1 to 8.  With force 0
// nothing is drawn when the field already shows the text, while the text output is off, or into
// field 1 while single stepping.  A force above 0 for a field above 1 becomes that field's left
// edge in pixels and makes every field forget its text.
void output_command_text(int32_t field, std::string_view text, int32_t force);
// Clears message line 1 (field 1's box), writes the text into it and shows it at once.
void output_text_line(std::string_view text);
// The status line: the text in message field 1, not drawn again while the field shows it.
void output_text(std::string_view text);
struct command_text_view {
  bool output_on = true;
  int32_t left[9] = {};         // left edge per field, -1 while at the right end
  std::string shown[9];         // trimmed text each field shows ("" when forgotten)
  int32_t draws[9] = {};        // times each field was drawn
  std::string line1;            // the text message line 1 shows
  int32_t line1_draws = 0;
};
command_text_view command_text_info();  // for tests
void command_text_reset();              // back to the start state; for tests

// ---------------------------------------------------------------- window to clipboard
// Asks kind + " in die Zwischenablage kopieren?" (caption "KYR-Clipboard") and on Yes puts the
// window's picture on the clipboard.  kind: "Window", "Grafik" (plot output), "Text" (preview).
void copy_window_to_clipboard(int32_t window, std::string_view kind);

// ---------------------------------------------------------------- combo boxes
// The combo library "combo.lib": one fixed-length record per combo box, addressed by "#" and
// the record number (layout in docs/formats.md).  A record has up to 20 entries of a number
// and a 20-character text; a text beginning with "^" is fixed (never replaced), "@" marks a
// heading that the drop-down does not offer.  The last record read is the current one.
inline constexpr int32_t combo_entries = 20;
inline constexpr int32_t combo_text_length = 20;
struct combo_entry {
  int32_t value = 0;
  std::string text;  // 20 characters, blank-padded, marker included
};
struct combo_record {
  int32_t current = 0;  // 1..count, 0 = none
  int32_t count = 0;
  combo_entry entry[combo_entries];
};
// Reads the record named by key ("#12") and makes it current; text := the current entry's
// text without its marker, cut or blank-padded to `length`; value := the entry's number.
// A key without "#" reports "COMBO ohne #".  False when no record was read.
bool combo_lookup(std::string_view key, std::string& text, int32_t& value, int32_t length = combo_text_length);
// The same without any report: a missing library, record or key gives a blank text, the value 0
// and false.
bool combo_lookup_quietly(std::string_view key, std::string& text, int32_t& value,
                          int32_t length = combo_text_length);
void combo_open_entry(std::string_view key);  // makes the named record current
void combo_select_entry(int32_t k);           // entry k of the current record becomes current
void combo_select_value(int32_t value);       // the entry with that number becomes current
void combo_set_text(std::string_view text);   // matching entry becomes current, or renames it
struct area_record;
// The text part of a combo (its caption the record key) shows the current entry's text, without
// its marker and trailing blanks; blank when the record is missing.
std::string combo_text_of(const area_record& a);
// The drop-down part of a combo with a text part spans the whole rectangle: after it is painted,
// the text part lying on it is painted again.
void combo_show_text_part_over(const area_record& drop);
// The user ended the input in the text part of combo area n with this text: a matching entry
// becomes current, or the text replaces the current entry's (combo_set_text); the part shows the
// result, and when the record changed the area's label runs.
void combo_text_entered(int32_t n, std::string_view text);
// Opens the drop-down of combo area n (its caption begins with the record key) and on a pick
// stores the entry and runs the area's label.  The drop-down is a list of the entries under the
// combo; a chooser set here takes its place: it gets the record and returns the picked entry
// (0 = none).  nullptr restores the list.
using combo_chooser_fn = int32_t (*)(const combo_record& record);
void combo_set_chooser(combo_chooser_fn chooser);
void combo_select(int32_t n);
// The button painter's lock: while set a press on a combo area does not open it.
bool combo_locked();
void set_combo_lock(bool on);
// The current record and its number (0 before any read); for tests and the painter.
const combo_record& combo_current();
int32_t combo_current_number();
// Writes record n of the library (creating the file or extending it as needed).
bool combo_write_record(int32_t n, const combo_record& record);
void combo_reset();  // for tests

// ---------------------------------------------------------------- file selection box
// The file selection box: title (blank: "Datei wählen" when create is set, else "Neue Datei
// wählen"), filter, must_exist and create (the two flags); the ignored fifth argument is not
// taken.  On a choice sets the program's text variable "fs_select" and success := 1, else 0.
void u_fsbox(std::string_view title, std::string_view filter, int32_t must_exist, int32_t create, int32_t& success);

// ---------------------------------------------------------------- buttons (buttons.cpp)
struct area_record;
// Paints an area as a button in a face: 1 plain, 8 with focus, 7 list-row input abandoned,
// 2 the variant of TEXTB; -9999 paints nothing.  The caption may name icons ("#n", "#n|#m"
// plain and pressed), hold two lines ("first|second") or be "#INFO#" (the TEXT command's info text);
// the character after the first "&" becomes the area's hot key.  Lists, tracking areas and
// slider tracks are painted by their owners.
void paint_button(int32_t face, area_record& a);
// A press: nothing for lists or face -9999, the slider logic for sliders, a repaint for format
// fields and the text parts of combos; otherwise the selected flag flips and the area is
// repainted in the face.
void press_button(int32_t face, area_record& a);

// ---------------------------------------------------------------- field input (field_input.cpp)
inline constexpr int32_t timer_blink = 0x6001;  // the timer of the input field's blinking cursor
// One input field at a time: the text typed into a format field (or a list cell), edited with
// the keyboard and the mouse, converted by the bound variable's type when it ends.
struct field_input_view {
  int32_t area = 0;         // area number of the field (0 for a list cell or none)
  std::string text;         // the typed text, without trailing blanks
  int32_t cursor = 0;       // 0-based position of the text cursor
  int32_t max_length = 0;   // characters the field takes
  bool insert = true;       // insert mode (Insert toggles overwrite)
  bool cursor_shown = false;
};
const field_input_view& field_input_state();
// Starts input in area record `a` (area number `number`, 0 for a scratch area): the text is the
// bound variable element's formatted value; sets the field-input flag and the blink timer.
void field_input_start(int32_t number, const area_record& a);
// Ends the field: converts and checks the text by the variable's type and stores it.  A wrong
// entry shows "Eingabefehler" or "Datumsfehler" and keeps the field open (ok false).
void u_gfinp(bool& ok);
void field_key(int32_t key);  // below 0: key-down code; above 0: a character
// Moves the open field to the rectangle (a list cell whose row moved) and draws it there; shown
// false keeps it open with its text and cursor but draws it nowhere, and no click lands in it,
// until it is placed again.
void field_input_place(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool shown);
void field_mouse_cursor(int32_t x, int32_t y, int32_t buttons);
void draw_text_cursor();
bool field_rect_contains(int32_t x, int32_t y);
void field_input_reset();  // for tests
// Area n left the area table (BTNMGR delete) and the later areas moved down by one: the open
// field follows its area; a field on area n itself is closed with nothing stored, since the
// area it would store into and repaint is gone.  n = 0: every area of the level left the table
// (a level push or pop), and a field on any of them is closed so.  A list cell's field names
// no area and stays (the list manager closes it, lst_cell_close).
void field_input_area_deleted(int32_t n);
// Closes the open field with nothing stored and nothing drawn: its blink timer stops and no key
// reaches it any more.
void field_input_close();

// ---------------------------------------------------------------- format areas (format_area.cpp)
// The colour switch of formatted output: 1 draws the box in the area's own frame colours.
extern int32_t format_own_colours;
// Draws the bound variable element's formatted value in a bevelled box at the area's corner and
// stores the box's right and bottom edge back into the area.
void format_area_output(area_record& a);
