// The area table: the mouse-sensitive rectangles of the current screen level (buttons, combo
// boxes, lists, sliders, format fields, tracking areas), and the area stack that keeps the
// tables of the levels below while a level opened by SUBMEN is on top.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

inline constexpr int32_t max_areas = 60;         // entries 1..60
inline constexpr int32_t area_stack_levels = 20;  // levels 1..20

// Area type codes.
inline constexpr int32_t area_button = 9501;
inline constexpr int32_t area_combo = 9502;
inline constexpr int32_t area_list = 9504;
inline constexpr int32_t area_combo_text = 9505;
inline constexpr int32_t area_slider = 9506;
inline constexpr int32_t area_tracking = 9507;
inline constexpr int32_t area_field = 11000;

// Area kinds.
inline constexpr int32_t area_kind_plain = 0;
inline constexpr int32_t area_kind_latching = 1;  // keeps its selected flag, runs on the press
inline constexpr int32_t area_kind_field = 2;

// Logical words of the runtime: -1 true, 0 false, tested by the lowest bit.
inline constexpr int32_t logical_true = -1;
inline constexpr bool logical(int32_t word) { return (word & 1) != 0; }

// One entry of the table.  Edges are inclusive: an area of width w covers w + 1 columns.
struct area_record {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int32_t type = 0;
  int32_t text_x = 0;  // combo text x, or the slider thumb offset
  int32_t text_y = 0;
  int32_t columns = 0;  // combo text columns, or the slider step (1, 0, -1)
  int32_t kind = 0;
  int32_t variable = 0;  // bound variable of a field or slider, 0 when none
  int32_t element = 0;
  int32_t slider_percent = 0;
  int32_t slider_track = 0;
  int32_t label = 0;        // code index run on activation; 0 or below: none
  int32_t status_text = 0;  // text token shown on the status line when the mouse enters
  int32_t window = 0;       // library window closed when the level is popped
  int32_t hot_key = 0;      // key code of the character after the first "&" of the caption
  int32_t list = 0;         // list number of a list area and its slider entries
  int32_t slider_state = 0;
  int32_t track_length = 0;
  int32_t selected = 0;  // logical
  int32_t enabled = 0;   // logical; a disabled area is transparent to the mouse
  std::array<char, 28> caption = blank_caption();

  static constexpr std::array<char, 28> blank_caption() {
    std::array<char, 28> c{};
    c.fill(' ');
    return c;
  }
};

// The state saved and restored with the table.
struct area_state_block {
  int32_t saved_count = 0;  // written when a level is pushed, read back when it is popped
  int32_t focus = 0;        // the area pressed last or set by BTNMGR, 0 = none ("lastbtn")
  int32_t escape_label = 0;
  int32_t escape_enabled = logical_true;
  std::array<char, 64> help_topic = blank_topic();  // the help topic that HELP set on this level

  static constexpr std::array<char, 64> blank_topic() {
    std::array<char, 64> c{};
    c.fill(' ');
    return c;
  }
};

struct area_table_t {
  std::array<area_record, max_areas + 1> entry{};  // [1..60]; [0] unused
  int32_t count = 0;                               // "btncnt"; entries above it are stale
  area_state_block state;
  int32_t current = -9999;  // the area whose label the mouse handler is about to run; <= 0 none
  int32_t status_area = -1;  // the area whose status text is shown, -1 none
  // Geometry of the last button, for relative placement.
  int32_t last_x = 0, last_y = 0, last_width = 0, last_height = 0;
  area_record last_button;  // the entry BUTTON created last, before its type options
};
extern area_table_t area_table;

// Entry n of the table; n must be 1..60 (callers check against the count first).
area_record& area(int32_t n);
// True when n names a live entry (1..count).
bool area_in_table(int32_t n);

// Saves all 60 entries and the state block on the area stack (at 20 levels the top level is
// overwritten), and restores them.  A pop with an empty stack changes nothing.  Either way the
// areas of the level leave the table: every held word (area_hold) lets go of its area.
void area_push();
void area_pop();
int32_t area_stack_counter();

// The first enabled area 1..count that contains (x, y), edges included; 0 when none.
int32_t area_hit(int32_t x, int32_t y);
// The first enabled area 1..count whose hot-key code is `key`; 0 when none.  A disabled area
// keeps its hot letter on its caption, but no key runs it.
int32_t area_with_hot_key(int32_t key);
// The hot-key code a caption gives: the character after the first "&", upper-cased when it is
// above 0x60; 0 without "&".
int32_t caption_hot_key(std::string_view caption);

int32_t area_count();  // the count, as WIN(-1) reads it

// Deletes area n (1..count): the later areas move down by one place.  Every word of the table
// that names an area follows its area (the focus, the current and the status area, each
// record's slider track) and so does every held word (area_hold); a word naming area n itself
// lets go of it.  False when n is no area of the table.  The holders above this floor (the open
// input field, the lists' sliders, the mouse handler's pressed area) follow through their own
// routines, which the deleting command calls with the same n.
bool area_delete(int32_t n);
// The number that an area numbered `number` has after area `deleted` left the table: one less
// above it, `none` for the deleted area itself, the same below it (and for `none` words).
int32_t area_renumbered(int32_t number, int32_t deleted, int32_t none);

// An area number that a routine holds while it pumps messages (a drop-down, a drag, a list's
// mouse loop): a timer's label may delete areas or change the level meanwhile.  While the hold
// lives the word follows its area through every delete, and becomes `none` when its area is
// deleted or its level's table leaves (area_push, area_pop).
class area_hold {
 public:
  explicit area_hold(int32_t& word, int32_t none = 0);
  ~area_hold();
  area_hold(const area_hold&) = delete;
  area_hold& operator=(const area_hold&) = delete;

 private:
  int32_t* word_;
  int32_t none_;
  area_hold* outer_;  // the hold made before this one, still alive
  static void let_all_go();  // the level's table leaves: every held word becomes its `none`
  friend bool area_delete(int32_t n);
  friend void area_push();
  friend void area_pop();
};

// Empty table and stack, the start values of every word; for tests and the loader.
void areas_reset();
