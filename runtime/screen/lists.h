// The list manager: six scrolling text lists (records 1..6) shown on screen 0.  Programs address
// lists 1..4, which are records 3..6; record 1 is the combo box drop-down's temporary list.
// Rows are kept in the row store under handle n + 10 (row_store.h).
//
// LOGICAL fields of the record are bools here; the program's -1/0 only matter at its borders.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

inline constexpr int32_t list_count = 6;
inline constexpr int32_t list_row_max = 512;   // longest row the manager reads or draws
inline constexpr int32_t list_tab_max = 19;    // tab columns 1..19
inline constexpr int32_t list_status_code = 4301;  // bad list number for load and save
inline constexpr int32_t list_edit_rows = 32000;  // edit-row limit that a new row store gives

struct list_record {
  int32_t cursor = 0;  // current row, 0 = none; in edit mode up to count + 1
  int32_t count = 0;
  int32_t top = 0;  // row shown on the first visible line
  int32_t slider_area = 0;
  int32_t page = 0;  // visible lines
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // text rectangle on screen 0
  int32_t hilite_line = 0;  // visible line carrying the bar, 0 = none
  int32_t hilite_left = 0, hilite_right = 0;  // bar extent in pixels from x1
  int32_t width = 0;  // characters drawn per row
  int32_t drawn_top = 0;  // top at the last drawing; 0 repaints every character
  int32_t saved_cursor = 0, saved_top = 0;
  int32_t tab_count = 0;
  std::array<int32_t, 22> tab_x{};    // [1..21] left edge of column k, pixels from x1
  std::array<int32_t, 22> tab_col{};  // [1..21] first character of column k
  std::array<int32_t, 21> tab_var{};  // [1..20] variable receiving the cell; < 1 not editable
  std::array<int32_t, 21> tab_label{};  // [1..20] label of the field input of column k
  int32_t tab_column = 0;  // current tab column, 0 = none
  int32_t edit_rows = 0;   // highest row the cursor reaches in edit mode
  int32_t spare_dx = 0, spare_dy = 0;
  int32_t anchor = 0;  // row of the last plain or toggling mark click; -1 after MARK_LIST
  bool nul_cut = false;  // a stored row ends at its first NUL
  bool edit_mode = false;
  bool edit_started = false;
  bool hilite_drawn = false;  // the inverting bar is on the screen
  bool mark_mode = false;     // first character of every row is its mark, "1" = marked
  std::array<std::string, 21> tab_title{};  // [1..20] 50 characters each
};

// The field-input area that a list cell is typed in: field input works on it while
// list_cell_input is set.
struct list_cell_area {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int32_t type = 11000;
  int32_t kind = 2;
  int32_t list = 0;      // the list, row and tab column of the cell: the typed text goes there
  int32_t row = 0;       // when the input ends, whichever list a timer's label worked on meanwhile
  int32_t column = 0;
  int32_t label = 0;     // run when the input ends
  int32_t variable = 0;  // receives the cell
  int32_t option_a = 0, option_b = -1;
  bool shown = false;  // the input field is on the screen
  // The cell's record: its whole row as the input opened (list_row_max characters), the cell's
  // own text included.  Where its list is built anew under the open cell (rebuilt), the input
  // goes on, and every drawing of the list and the input's end find the row that holds this
  // record again (lst_record_row; a cell opened on the new row after the last stays the new
  // row).  hidden: no row held it at the last drawing, and the field is drawn nowhere.
  std::string record;
  bool new_row = false;
  bool rebuilt = false;
  bool hidden = false;
};

// Module state of the list manager beside the six records.
struct list_table_t {
  list_record list[list_count + 1];  // [1..6]
  int32_t current = 0;               // the list the drawing routines work on
  std::string row_buffer = std::string(list_row_max, ' ');
  std::string compare_buffer = std::string(list_row_max, ' ');
  std::string work_row = std::string(list_row_max, ' ');
  std::string cell_text = std::string(128, ' ');
  std::string status_text = std::string(60, ' ');
  int32_t last_reported_cursor = -1;
  int32_t line_height = 16;  // text height of the list font + 3
  int32_t char_width = 8;    // average character width of the list font
  int32_t slider_width = 16;
  list_cell_area cell_area;
};
extern list_table_t list_table;

// True for a list number 1..6.
inline bool list_number_ok(int32_t n) { return n >= 1 && n <= list_count; }
// The record of list n (1..6); callers check the number first.
list_record& list_of(int32_t n);
// Back to the state at program start (every list empty, row store free); for tests.
void reset_lists();

// ---------------------------------------------------------------- rows (list_manager.cpp)
// Every operation first makes n the current list and does nothing for n outside 1..6.
void lst_get_row(int32_t n, int32_t r, char* text, int32_t length);
std::string lst_get_row(int32_t n, int32_t r, int32_t length = list_row_max);
// Hands rows 1..count of list n in order to visit, each as its first list_row_max characters
// (a store of shorter records gives the shorter text: the row reads blank beyond it).  The text
// lives only for the call.
void lst_each_row(int32_t n, const std::function<void(int32_t, std::string_view)>& visit);
void lst_put_row(int32_t n, int32_t r, const char* text, int32_t length);
void lst_put_row(int32_t n, int32_t r, std::string_view text);
void lst_insert(int32_t n, int32_t r, const char* text, int32_t length);
void lst_insert(int32_t n, int32_t r, std::string_view text);
void lst_erase(int32_t n, int32_t r);
void lst_get_count(int32_t n, int32_t& count);
void lst_get_cursor(int32_t n, int32_t& row);
void lst_get_page(int32_t n, int32_t& lines);
void lst_set_cursor(int32_t n, int32_t r);
// The first row that shows row r of list l when r is off its page: r on the last line when it
// is the last row, else on the line before the last.
int32_t lst_top_showing(const list_record& l, int32_t r);
void lst_free(int32_t n);
void lst_sort(int32_t n);
inline void lst_compact(int32_t n) { lst_sort(n); }
void lst_tab(int32_t n, int32_t k, int32_t width, int32_t variable, std::string_view title);
void MARK_LIST(int32_t n, int32_t mode);
// Makes the row store of list n ready for `rows` rows (a capacity of at least 20) of
// `row_length` characters (20..512): kept when it has that record length and room enough,
// else made anew.  status: 0, or the allocation's status.
void lst_size_store(int32_t n, int32_t rows, int32_t row_length, int32_t& status);
// Builds the row store of list abs(n) with max(rows, 1) blank rows; n < 1 clears nul_cut.
void allocate_xmm(int32_t n, int32_t rows, int32_t row_length, int32_t& status);
// The mark operations of LSTMGR option 0x400 on list n (record number) with target record t
// (t = n: the same list); options are the command's option bits; status gets the allocation
// status when the list is copied.
void lst_mark_operation(int32_t n, int32_t t, int32_t options, int32_t& status);

// Entries that the runtime itself does not call, kept for applications' own routines.
void lst_get_top(int32_t n, int32_t& top);
void lst_set_count(int32_t n, int32_t count);
void lst_set_edit_rows(int32_t n, int32_t rows);
void lst_move_origin(int32_t n, int32_t dx, int32_t dy);  // x1 += dx, y1 += dy
void lst_move_spare(int32_t n, int32_t dx, int32_t dy);   // the record's two spare words

// ---------------------------------------------------------------- list files (list_files.cpp)
// status: 4301 for a bad list number or the row store's allocation status; the file's own
// I/O status goes to io_status.
void lst_load(int32_t n, std::string_view name, bool header, int32_t row_length, int32_t& status);
void lst_save(int32_t n, std::string_view name, bool header, int32_t& status);

// ---------------------------------------------------------------- drawing (list_draw.cpp)
// The current list, normal or mark mode; the list of an open cell is drawn with its field on the
// record's row (lst_cell_draw).
void lst_draw();
// The current list's rows and bar as lst_draw draws them, an open cell's field left aside.
void lst_draw_rows();
// The current list drawn afresh: its inside painted over in the list's background and every
// visible row written again (the bar left off); nothing another drawing left there remains.
void lst_draw_afresh();
void lst_draw_marked();  // the current list, every line with its mark colours
void lst_move_cursor(int32_t n, int32_t delta);
void lst_redraw_entry(int32_t n, int32_t delta);  // the keyboard's entry of lst_move_cursor
void lst_scroll(int32_t n, int32_t delta);
void lst_scroll_to(int32_t n, int32_t percent);
void update_slider_redraw(int32_t n);
// Restore-and-draw entries: cursor := saved_cursor; top := saved_top unless the saved cursor is
// on the page (then saved_top := top).  lst_restore_redraw also repaints every character,
// lst_restore_cursor acts only when a cursor was saved (saved_cursor >= 1).
void lst_restore_draw(int32_t n);
void lst_restore_redraw(int32_t n);
void lst_restore_cursor(int32_t n);
// Selects the row on visible line `line` (0: the saved cursor) and draws the list; row gets
// the cursor when the line already holds it.
void lst_select_line(int32_t n, int32_t line, int32_t& row);
// Writes the status text "cursor.column: title" of an edit-mode list.
void lst_status_text(int32_t n);
// The pixel rows of visible line `line` (1..page) of the current list: its top.
int32_t lst_line_top(const list_record& l, int32_t line);
// Draws (or, drawn again, removes) the inverting bar on line `line` of list l; the caller
// holds screen 0 open.
void lst_draw_bar(const list_record& l, int32_t line);
// Takes the bar off the screen when it is drawn there (drawing it again removes it); the caller
// holds screen 0 open.
void lst_remove_bar(list_record& l);

// ---------------------------------------------------------------- mouse (list_mouse.cpp)
// A press in the list area of list n: moves the cursor and bar, marks rows in mark mode,
// scrolls while the button is held above or below the list, starts cell input in edit mode.
// clicked: the left button went down in the list and was released inside it.
void lst_mouse(int32_t n, int32_t label, bool& clicked);
// The combo drop-down's lighter routine: the bar follows the mouse.
void lst_follow_mouse(int32_t n);
// A mark click on row r of list n with keyboard state s (1 Ctrl, 2 Shift, 3 both, 0 none);
// stores the changed rows and returns true when any row changed.
bool lst_mark_click(int32_t n, int32_t r, int32_t s);
// The visible line under pixel row y (limited to the page and to the rows, one more in edit
// mode).
int32_t lst_line_under(const list_record& l, int32_t y);

// ---------------------------------------------------------------- cell editing (list_edit.cpp)
void lst_edit_select(int32_t n, int32_t label, bool flag);
void lst_edit_select_mouse(int32_t n, int32_t row, int32_t column);
// Stores the field's text into the cell whose input was started (its list, row and column as
// the input began, not the current list, which a timer's label may have moved).
void lst_edit_store();
// Abandons the input of a list cell (Esc, right button): the input field is painted away, the
// row keeps what it held, and the bar's line is the cursor's with no column drawn yet.
void lst_edit_abandon();
void left_right_list(int32_t n, int32_t d);
// Starts the input of cell (row, column k) of list n from a mouse click on visible line `line`.
void lst_edit_start_mouse(int32_t n, int32_t row, int32_t k, int32_t label, int32_t line);
// Redraws the bar over the current tab column of list l (the old bar removed first).
void lst_cell_bar(list_record& l);
// Every change that moves, removes or replaces rows of list n calls this once, with where the
// rows went: row r now stands at where(r), 0 where its record is gone, list_rows_rebuilt where
// the list was built anew (its record may stand anywhere or nowhere).  An open cell of list n
// follows its row (and the list's cursor with it), closes with nothing stored where its record
// is gone, and where the list was rebuilt finds its record again (lst_record_row) each time the
// list is drawn and when its input ends.
inline constexpr int32_t list_rows_rebuilt = -1;
void lst_rows_moved(int32_t n, const std::function<int32_t(int32_t)>& where);
// Every row of list n is built anew: the list is loaded, allocated or freed, or a mark column
// shifted every row.
void lst_rows_rebuilt(int32_t n);
// The row of list n that holds `record`, the whole row that an open cell of tab column `column`
// was opened on, after the list was built anew; of several, the nearest to row `near` (the rule
// is written at its definition).  0: no row holds it.
int32_t lst_record_row(int32_t n, std::string_view record, int32_t column, int32_t near);
// Draws list n when it holds the open cell (false, nothing drawn, otherwise): the cell's record
// looked for where the list was rebuilt, the list scrolled to show its row, the rows without a
// bar and the input field on the record's line; nowhere while no row holds the record.
bool lst_cell_draw(int32_t n);
// Closes an open cell with nothing stored and nothing drawn (its level left, its program
// chained); nothing happens when no cell is open.
void lst_cell_close();

// ---------------------------------------------------------------- areas and sliders (list_areas.cpp)
struct area_record;
// Sets up the list of the newest area (a LIST area of BUTTON, its list field the list number):
// geometry, frame, and a slider of three areas appended after it.
void lst_area_setup();
// Sets up the combo drop-down's list (the combo area's list field) with `entries` lines and
// cursor `current_entry`, kept above `bottom`; the screen under it goes to clipboard slot 0.
void lst_combo_setup(area_record& combo, int32_t bottom, int32_t entries, int32_t current_entry);
// The sunken frame of a list and its slider column; clears the inside.
void lst_frame(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// a = 0: builds a slider from the newest area; a > 0: re-reads the bound variable of a's slider.
void SLIDER_VAR(int32_t a);
// Puts the thumb of slider track s where its percentage says, when that changed.
void slider_track(int32_t s);
// A box frame with pen 16 (flag 0) or pen 0 (any other flag).
void frame_by_flag(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t flag);
// The polling's further entries: one that returns at once, one that gives the movement since the
// last poll and the buttons (left for button words 1 and 3, right for 2 and 3).
void poll_mouse_idle();
void poll_mouse_delta(int32_t& dx, int32_t& dy, int32_t& left, int32_t& right);
// Runs the message pump once and reads the mouse position and buttons (0/1); a button pressed
// and released within that pump reads as down (the next reading gives the release).  When the
// pump reports that the application is quitting the outputs keep their values and the result is
// false.
bool get_mouse_state(int32_t& x, int32_t& y, int32_t& left, int32_t& right);
// The mouse as the last event left it, without pumping: the reading of the press that started
// a mouse routine (its release may already wait in the queue).
void last_mouse_state(int32_t& x, int32_t& y, int32_t& left, int32_t& right);
// Keeps the slider thumb of list n in step with its top row.
void update_slider(int32_t n);
// Area n left the area table and the later areas moved down by one: each list's slider area
// follows its thumb; a list whose thumb was area n has no slider any more (0).
void lst_area_deleted(int32_t n);
// The area table of a level below came back (a level pop): a list whose slider area does not
// name its thumb there takes the thumb that the restored table holds for it, if any (the level
// above may have shown the list with a slider of its own).
void lst_sliders_restored();
