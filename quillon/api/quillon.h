// Quillon: the windowing library's public routines, as the runtime calls them.
//
// Conventions:
//  - Windows, bitmaps, fonts, pens, brushes and memory blocks are int32_t handles into the
//    back end's tables; 0 is "none".
//  - Optional arguments are a trailing struct of std::optional members, filled with
//    designated initializers: DRAW_LINE(u, {.end_px = {{x2, y2}}, .start_px = {{x1, y1}}}).
//  - `int* status`: when given, set to 0 on entry and to the failure code on failure; when
//    absent (nullptr), failures follow the library's error convention (qn_error).
//  - Texts are bytes in code page 1252; they become UTF-8 only inside the back end.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr uint32_t QN_STAMP = 0x789ABCDE;

struct qn_point {
  int32_t x = 0, y = 0;
};
struct qn_portion {  // a position as a fraction (0..1) of the output rectangle
  float x = 0, y = 0;
};
struct qn_rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Drawing context of a window, box or bitmap (96 bytes); `stamp` is QN_STAMP while valid.
struct ups {
  uint32_t stamp = 0;
  int32_t context = 0;  // slot in the back end's context table
  int32_t window = 0;   // window drawn on, or 0
  int32_t bitmap = 0;   // bitmap drawn on, or 0
  int32_t reserved[20] = {};
};
static_assert(sizeof(ups) == 96);

// ---------------------------------------------------------------- error convention
// Option word of the library; the runtime sets 1.  Bit 0x4000 sends diagnostics to
// "qn_self.tmp" instead of a box.
void qn_set_option_word(int32_t word);
int32_t qn_option_word();
// Reports a failure: into *status when given, otherwise by the option word (log line or
// the "Error diagnosed by Quillon" Yes/No box; No ends the program with code 4).
void qn_error(std::string_view message, int32_t code, int* status);
// The message of the last failure that went into a caller's status instead of being reported,
// for a caller that reports it in its own way.
std::string qn_last_error();
// Called when the library ends the program (box answered No, main window gone on error).
// Without a hook the process exits with the code.
void qn_set_exit_hook(std::function<void(int code)> hook);
// Steps that run when the library ends the program, before its window goes and before the exit
// (or the exit hook): the runtime completes there the files the program left open.
void qn_set_end_steps(void (*steps)());
// SIGTERM, SIGHUP and SIGINT no longer end the process at once: each is handed to `handler`
// with its number at the next turn of the message loop or of the pump (the handler itself only
// notes it), so that the runtime ends the run in order.
void qn_on_termination_signals(void (*handler)(int signal));
// How a wait of a blocking call ended.
enum class qn_wait_end { ready, timeout, signal };
// Waits until `fd` is ready for `events` (poll's bits; fd -1 waits for nothing), `timeout_ms`
// has passed (-1: no limit) or a termination signal has come.  The signal stays for the
// runtime to take with qn_take_termination_signal; it ends the wait also where it came before.
qn_wait_end qn_wait_ready(int fd, short events, int timeout_ms);
// The termination signal that has come and not yet been handed over (its number), taken out of
// the event loop's way; 0 when none has come.
int qn_take_termination_signal();
// Runs the command line (code page 1252) with the system's command processor in the current
// folder and waits until it has ended; false when no process could be started.  A termination
// signal ends the wait (the command goes on by itself, as the signal's sender left it).
bool qn_run_command_line(std::string_view line);
// Steps that run at each turn of the pump that looks at the window system (at most every few
// milliseconds while commands run): the runtime hands buffered file lines to their files there.
void qn_set_turn_steps(void (*steps)());
// Every box, dialog and pop-up menu waits in a loop of events of its own (a nested loop).
// `before` runs on entering each (the runtime's buffered lines reach their files before the run
// waits there); `after` runs when the outermost one has returned and its window is gone, where
// an end of the run that came while one was up is carried out (it may unwind from there).
void qn_set_wait_steps(void (*before)(), void (*after)());
int32_t qn_nested_loops();  // the nested loops now running
// The steps before a wait, for a wait of the runtime's own (a pause, a statement on a server).
void qn_before_waiting();
// Closes every box, dialog and menu that runs a nested loop; each returns as cancelled (a box:
// Cancel where it has one, else No, else OK), and none opened before they are all left waits.
void qn_leave_nested_loops();
// Failed allocation: status 8, or "Insufficient Memory; Application terminating" and the end.
void qn_out_of_memory(int* status);
// Clears every table and flag of the library (windows, objects, timers, hooks); for tests.
void qn_reset();

// ---------------------------------------------------------------- the process
// Exit statuses of the library's own ends of a run.
inline constexpr int qn_status_no_display = 3;      // no display to open, and not offscreen
inline constexpr int qn_status_error_box = 4;       // "Error diagnosed by Quillon" ended the run
inline constexpr int qn_status_out_of_memory = 8;   // "Insufficient Memory; ..."
// Starts the library for the runtime's process: Qt's own start-up messages stay off the
// terminal, a display that cannot be opened ends the process with one line on standard error
// and qn_status_no_display, and on a platform without a visible screen ("offscreen",
// "minimal") boxes become unseen.
void qn_start_process();
// Unseen boxes: no box, dialog or pop-up menu is shown and none waits.  Each box's text goes
// to standard error and the box takes automatic mode's answer (OK for a box with only OK,
// otherwise No or Cancel); dialogs and menus are cancelled.  Off unless the process start or
// a test sets it.
void qn_set_boxes_unseen(bool unseen);
bool qn_boxes_unseen();
// One line on standard error: the text (code page 1252) in UTF-8.
void qn_error_line(std::string_view text);

// ---------------------------------------------------------------- start-up and loop
void quillon_init();                 // lock file keyed by the executable; already-running flag
std::string qn_instance_lock_path();  // the lock file quillon_init takes for this executable
bool quillon_already_running();      // quillon_platform_flags: another instance was found
int32_t quillon_loop();              // main message loop; returns the quit code
// The pump between interpreted commands: 1, or 0 once the application is quitting.  It looks at
// the queues only when the countdown the back end keeps has run out, so the common call is one
// decrement, made inline; whatever gives the pump work (a posted command, a repaint, the quit
// message) sets the countdown to 0, and so does a switch the interpreter must see before its
// next command (the runtime's attention flags).
extern int32_t qn_pump_countdown;
// Held while the runtime has a switch for the interpreter to look at: the pump then leaves the
// countdown run out instead of setting it again, until the interpreter lets go of it.
extern bool qn_attention_held;
inline void qn_hold_attention() {
  qn_attention_held = true;
  qn_pump_countdown = 0;
}
inline bool qn_pump_due() { return --qn_pump_countdown <= 0; }
int32_t qn_pump();  // the look at the queues itself, whether due or not
// The pump's look where it would find nothing to do (no queued work, no repaint, the interval
// since the last look at the window system not passed, no attention held, not quitting): the
// countdown set again for the next stretch, and true.  Otherwise false, with nothing changed, and
// the caller calls qn_pump.  For code that runs commands itself and may go on after such a look.
bool qn_pump_idle();
inline int32_t process_pending_messages() { return qn_pump_due() ? qn_pump() : 1; }
void qn_post_quit(int32_t code);     // the quit message
bool qn_quitting();

// ---------------------------------------------------------------- commands
// The runtime's command dispatcher: menu ids, keys (0x4100/0x4101/0x4102 + key code), timers.
void qn_set_control(std::function<void(int32_t command, int32_t param)> qn_control);
void POST_COMMAND(int32_t command, std::optional<int32_t> window = {});
void SEND_COMMAND(int32_t command, std::optional<int32_t> window = {});
bool QUILLON_KNOWS_COMMAND(int32_t command);
// The window that the event now being dispatched to qn_control came to (0 outside a dispatch).
int32_t qn_event_window();

// ---------------------------------------------------------------- windows
using qn_paint_cb = std::function<void(int32_t window, ups& u)>;
using qn_close_cb = std::function<int32_t(int32_t window)>;  // non-zero lets it close
using qn_scroll_cb = std::function<int32_t(int32_t window, int32_t code, int32_t pos)>;
using qn_notify_cb = std::function<void(int32_t window, int32_t code)>;
using qn_mouse_cb = std::function<void(int32_t& event, qn_point& pt, qn_rect& drag,
                                       int32_t& window, qn_point& second, int32_t& keystate)>;

struct main_window_opts {
  std::optional<std::string_view> title;
  std::optional<int32_t> style;
  std::optional<qn_point> client_px;  // client area width and height in pixels
  std::optional<int32_t> window_flags;
  std::optional<int32_t> icon;
  std::optional<int32_t> show_command;
  qn_paint_cb paint;
  qn_close_cb close;
  qn_scroll_cb scroll;
  qn_notify_cb notify;
  int* status = nullptr;
};
int32_t CREATE_MAIN_WINDOW(const main_window_opts& o);
int32_t qn_main_window();  // handle of the main window, 0 when none

struct window_opts {
  std::optional<std::string_view> title;
  std::optional<qn_portion> position;
  std::optional<qn_point> client_px;
  std::optional<int32_t> window_flags;  // 26624 (0x6800): scroll-text window
  std::optional<std::string_view> scroll_file;
  // Lines written to a scroll-text window that it keeps, the newest; absent: every line.
  std::optional<int32_t> scroll_back;
  qn_paint_cb paint;
  qn_close_cb close;
  int* status = nullptr;
};
int32_t CREATE_WINDOW(const window_opts& o);
void WRITE_SCROLL_LINE(int32_t window, std::string_view text, bool no_scroll = false, int* status = nullptr);
std::vector<std::string> qn_scroll_lines(int32_t window);  // the scroll text of a window
// The scroll-back of the trace windows, which may be written hundreds of thousands of lines: they
// keep the newest this many of the lines written to them (a file a window shows is kept whole).
inline constexpr int32_t qn_scroll_back_lines = 10000;
void CLOSE_WINDOW(int32_t window, int* status = nullptr);
int32_t is_valid_window(int32_t window);
void SET_FOREGROUND(int32_t window, int* status = nullptr);
// The window's title as it shows now (1252); empty with a failure for a handle that names none.
std::string GET_WINDOW_TITLE(int32_t window, int* status = nullptr);
void qn_set_window_client_size(int32_t window, int32_t width, int32_t height);
void qn_show_window(int32_t window, int32_t show_command);  // 6 minimise, 9 restore
void qn_move_window(int32_t window, int32_t x, int32_t y);
void qn_invalidate(int32_t window, const qn_rect* r = nullptr);  // repaint from the paint callback

struct get_rect_opts {
  ups* u = nullptr;
  std::optional<int32_t> window;
  std::optional<int32_t> bitmap;
  bool whole_window = false;
  int* status = nullptr;
};
qn_rect GET_RECT(const get_rect_opts& o);

// ---------------------------------------------------------------- timers and mouse
void SET_TIMER(float seconds, int32_t id, int* status = nullptr);
void DESTROY_TIMER(int32_t id, int* status = nullptr);
inline constexpr int32_t QN_MOUSE_LEFT_DOWN = 1, QN_MOUSE_LEFT_UP = 2, QN_MOUSE_LEFT_DOUBLE = 4,
                         QN_MOUSE_RIGHT_DOWN = 0x40, QN_MOUSE_RIGHT_UP = 0x80, QN_MOUSE_MOVE = 0x1000;
void CAPTURE_MOUSE_EVENTS(int32_t window, qn_mouse_cb callback, int32_t mask,
                          std::optional<int32_t> cursor = {}, int* status = nullptr);

// ---------------------------------------------------------------- drawing contexts
void START_DIRECT_DRAW(int32_t window, ups& u, int* status = nullptr);
void END_DIRECT_DRAW(ups& u, int* status = nullptr);
void START_BITMAP_DRAW(int32_t bitmap, ups& u, int* status = nullptr);
void END_BITMAP_DRAW(ups& u, int* status = nullptr);
void START_DUMMY_USERPAINT(ups& u, int* status = nullptr);
void END_DUMMY_USERPAINT(ups& u, int* status = nullptr);
// What an open context draws with (pen, brush, font, raster operation, text smoothing) and
// where it stands (the drawing and the text position).  A drawing that goes on over several
// contexts of one surface, each opened and closed by others in between, takes it from the
// context it leaves and gives it to the next, and draws on as before.
struct qn_drawing_state_data;
using qn_drawing_state = std::shared_ptr<const qn_drawing_state_data>;
qn_drawing_state GET_DRAWING_STATE(ups& u, int* status = nullptr);
void SET_DRAWING_STATE(ups& u, const qn_drawing_state& state, int* status = nullptr);  // none: nothing

// Numbered pen and brush slots 0..31 (slot numbers are clamped).
struct pen_opts {
  std::optional<uint32_t> colour;  // 0x00BBGGRR; absent: window-text colour
  std::optional<int32_t> style;    // 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 null
  std::optional<int32_t> width_px;
  std::optional<float> width_mm;  // through the context's resolution; width_px wins when both are given
  int* status = nullptr;
};
void create_my_pen(int32_t slot, const pen_opts& o = {});
void delete_my_pen(int32_t slot, int* status = nullptr);
void delete_my_brush(int32_t slot, int* status = nullptr);
void get_my_pen_and_brush(int32_t slot, int32_t& pen, int32_t& brush);
void SELECT_MY_PEN(ups& u, int32_t slot, int* status = nullptr);
void NEW_PEN(ups& u, const pen_opts& o = {});
struct brush_opts {
  std::optional<uint32_t> colour;
  std::optional<int32_t> style;  // 0 solid, 1 hollow, 2 hatched
  std::optional<int32_t> hatch;
  int* status = nullptr;
};
void NEW_BRUSH(ups& u, const brush_opts& o = {});
struct font_opts {
  std::optional<std::string_view> face;
  std::optional<float> points;  // default 10
  std::optional<bool> italic, underline, strikeout;
  std::optional<int32_t> bold;
  std::optional<float> angle;  // degrees
  int* status = nullptr;
};
void NEW_FONT(ups& u, const font_opts& o = {});
// A font of the face, points and attributes (Arial when no face is given).  The same font asked
// for again is the same handle; each request is one DELETE_OBJECT away from being given back.
int32_t SELECT_FONT(const font_opts& o);
// How many objects (bitmaps, pens, fonts, icons) and memory blocks the library holds; for tests.
int32_t qn_object_count();
void SET_ROP(ups& u, int32_t mode, int* status = nullptr);  // 7 xor, 10 not-xor, 13 copy
// Text on the context with smooth (antialiased) glyph edges, the default, or without: whole
// pixels of the text colour only, for a picture whose colours are counted afterwards.
void SET_TEXT_SMOOTHING(ups& u, bool smooth, int* status = nullptr);

struct line_opts {
  std::optional<qn_point> end_px, start_px;
  std::optional<qn_portion> end, start;
  int* status = nullptr;
};
void DRAW_LINE(ups& u, const line_opts& o);  // the end pixel is not drawn
struct shape_opts {
  std::optional<qn_rect> px;  // x1, y1, x2, y2 in pixels
  std::optional<qn_portion> from, to;
  std::optional<qn_point> corner;  // rounded corners (rectangle)
  int* status = nullptr;
};
void DRAW_ELLIPSE(ups& u, const shape_opts& o);
void DRAW_RECTANGLE(ups& u, const shape_opts& o);
// The arc of the ellipse inscribed in the box, counter-clockwise from where the ray from the
// centre through `start` meets the ellipse to where the ray through `end` meets it (the whole
// ellipse when both rays are the same).  The chord closes that arc with a straight line and
// fills it with the brush.
void DRAW_ARC(ups& u, const shape_opts& box, qn_point start, qn_point end);
void DRAW_CHORD(ups& u, const shape_opts& box, qn_point start, qn_point end);
// Lines through the points in order with the pen; the current position stays where it is.
void DRAW_POLYLINE(ups& u, const std::vector<qn_point>& points, int* status = nullptr);
void SET_PIXEL(ups& u, uint32_t colour, qn_point px, int* status = nullptr);
uint32_t GET_PIXEL(ups& u, qn_point px, int* status = nullptr);  // 0xFFFFFFFF outside

struct text_opts {
  std::optional<qn_point> px;
  std::optional<qn_portion> pos;
  std::optional<uint32_t> colour;
  std::optional<int64_t> background;  // -1 transparent
  std::optional<int32_t> font;
  std::optional<float> rotation;
  int* status = nullptr;
};
void WRITE_TEXT(ups& u, std::string_view text, const text_opts& o = {});
qn_point GET_TEXT_EXTENT(ups& u, std::string_view text, std::optional<int32_t> font = {}, int* status = nullptr);
struct text_metrics {
  int32_t height = 0, ascent = 0, descent = 0, average_width = 0, max_width = 0;
};
text_metrics GET_TEXT_METRICS(ups* u, std::optional<int32_t> font = {}, int* status = nullptr);

// ---------------------------------------------------------------- bitmaps and memory
int32_t CREATE_BITMAP(int32_t width, int32_t height, int* status = nullptr);
void DELETE_OBJECT(int32_t handle, int* status = nullptr);
struct bitmap_opts {
  std::optional<qn_rect> px;  // target x1, y1, x2, y2
  std::optional<int32_t> mode;  // 3: natural size at (x1, y1)
  int* status = nullptr;
  // Made smaller, the bitmap's pixels are averaged rather than picked, so that no thin line of
  // it is lost at any size (a picture shown in a window that the user makes smaller).
  bool smooth = false;
};
void DRAW_BITMAP(ups& u, int32_t bitmap, const bitmap_opts& o = {});
int32_t LOAD_BITMAP(std::string_view file, int* status = nullptr);  // BMP or JPEG
qn_point qn_bitmap_size(int32_t bitmap);
int32_t BITMAP_TO_DIB(int32_t bitmap, int* status = nullptr);   // global memory block handle
bool save_bitmap_file(int32_t dib, std::string_view file, int* status = nullptr);
void free_global_text(int32_t handle, int* status = nullptr);
const std::vector<uint8_t>* qn_global_block(int32_t handle);

// ---------------------------------------------------------------- boxes and helpers
inline constexpr int32_t MB_OK = 0, MB_OKCANCEL = 1, MB_YESNOCANCEL = 3, MB_YESNO = 4,
                         MB_ICONHAND = 0x10, MB_ICONQUESTION = 0x20, MB_ICONEXCLAMATION = 0x30,
                         MB_ICONASTERISK = 0x40, MB_SYSTEMMODAL = 0x1000;
inline constexpr int32_t IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7;
struct message_box_opts {
  std::optional<std::string_view> caption;
  std::optional<int32_t> style;
  std::optional<int32_t> window;
  int* status = nullptr;
};
int32_t MESSAGE_BOX(std::string_view text, const message_box_opts& o = {});
// When set, boxes are not shown: the answerer sees each box and returns the button id.
void qn_set_box_answerer(
    std::function<int32_t(std::string_view text, std::string_view caption, int32_t style)> answerer);
// The file dialog: a file name chosen by the user (1252, with "/" separators) or false when
// the dialog was cancelled.  filter is "*.TXT" or pairs "name|pattern|..." (blank: all files);
// must_exist asks for an existing file, create_prompt asks before a new one is named.
struct file_dialog_opts {
  std::string_view title;
  std::string_view filter;
  bool must_exist = false;
  bool create_prompt = false;
};
bool qn_file_dialog(const file_dialog_opts& o, std::string& chosen);
// When set, the dialog is not shown: the answerer sees each request and gives the choice.
void qn_set_file_dialog_answerer(std::function<bool(const file_dialog_opts& o, std::string& chosen)> answerer);
uint32_t RGB(int32_t red, int32_t green, int32_t blue, std::optional<bool> exact = {},
             std::optional<int32_t> palette_index = {});
int32_t LOAD_ICON(std::string_view name, int* status = nullptr);
int32_t ADD_BIT_3(int32_t a, int32_t b, int32_t c);
int32_t ADD_BIT_5(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e);
int32_t ADD_BIT_6(int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f);
bool BIT_IS_SET(int32_t word, int32_t bit);
int32_t GET_KEY_STATE(int32_t virtual_key);
int32_t get_system_metrics(int32_t index, int* status = nullptr);
void GET_EXE_NAME(std::string& path, int* status = nullptr);
// Plays the desktop's event sound of a MessageBeep type (0 default, 0x10 hand, 0x20 question,
// 0x30 exclamation, 0x40 asterisk; others as 0); the plain beep when no sound can play.  Never
// waits for the sound.
void message_beep(int32_t type, int* status = nullptr);
// The last sound message_beep asked for: the type, the desktop event id, and whether the sound
// system took it (false: the plain beep sounded instead).
struct qn_sound_request {
  int32_t type = 0;
  std::string event_id;
  bool played = false;
  int32_t requests = 0;
};
qn_sound_request qn_last_sound();
void SLEEP_SECONDS(float seconds);

// ---------------------------------------------------------------- system services
// File and directory names are 1252 texts with "\" or "/" separators, found without regard to
// case; trailing blanks and anything after a NUL are ignored.  With a status, failures put the
// platform error code there (65536 when there is none).
void GET_CURRENT_DIRECTORY(std::string& path, int* status = nullptr);
void SET_CURRENT_DIRECTORY(std::string_view path, int* status = nullptr);
// A missing variable gives an empty value.
void GET_ENVIRONMENT_VARIABLE(std::string_view name, std::string& value, int* status = nullptr);
void SET_ENVIRONMENT_VARIABLE(std::string_view name, std::string_view value, int* status = nullptr);
// Word n of the process command line (0 the executable); empty beyond the last.
void GET_ARG(int32_t n, std::string& word, int* status = nullptr);
// The Linux stand-in for the Windows directory: $WINDIR when set, else "/etc".
void GET_WINDOWS_DIRECTORY(std::string& path, int* status = nullptr);
struct copy_file_opts {
  std::optional<bool> fail_if_exists;  // absent or false: an existing destination is overwritten
  int* status = nullptr;
  // Where the copy failed in the temporary folder (a missing or full one), the failure's text
  // naming that folder; else left empty.
  std::string* temporary_folder_failure = nullptr;
};
int32_t copy_file(std::string_view source, std::string_view destination, const copy_file_opts& o = {});  // 1 or 0
int32_t delete_file(std::string_view name, int* status = nullptr);  // non-zero on success, 0 on failure
struct qn_file_time {  // local time
  int32_t year = 0, month = 0, day = 0, zone_minutes = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};
struct qn_directory_record {
  int32_t attributes = 0;  // 0x01 read-only, 0x02 hidden, 0x04 system, 0x10 directory, 0x20 archive
  qn_file_time created, accessed, written;
  uint32_t size_low = 0, size_high = 0;
  std::string long_name;   // at most 260 characters
  std::string short_name;  // empty: Linux keeps no short names
};
// The entries of the pattern's directory whose names match its last component ("*" and "?",
// without case; "." and ".." are left out), sorted by name without case.  No match and a
// missing directory give empty lists.
void GET_DIRECTORY_LIST(std::string_view pattern, std::vector<std::string>& names,
                        std::vector<qn_directory_record>* records = nullptr, int* status = nullptr);
struct volume_opts {
  std::string* name = nullptr;  // the volume label, empty when it has none
  uint32_t* serial = nullptr;
  uint32_t* max_component = nullptr;
  uint32_t* flags = nullptr;
  int* status = nullptr;
};
// An empty root means the current directory's volume; a drive root ("c:\") the root file system.
void GET_VOLUME_INFORMATION(std::string_view root, const volume_opts& o = {});
// Starts the command line in the current directory; with wait, returns when it has ended.
void SPAWN_PROCESS(std::string_view command_line, bool wait, int32_t show = 1, int* status = nullptr);

// ---------------------------------------------------------------- help
// The help viewer: a help file is shown from its HTML counterpart (the same name ending in
// ".html" or ".htm", found without regard to case) in the library's help window, which has
// back and forward buttons.  Commands: HELP_FINDER the first page, HELP_KEY the key's topic
// (the page's anchor of that name, else the first page of the help file's directory whose
// title holds the key), HELP_QUIT closes the window.  A missing HTML file fails with the
// library's failure code.
inline constexpr int32_t HELP_QUIT = 2, HELP_FINDER = 11, HELP_KEY = 257;
struct win_help_opts {
  std::optional<int32_t> window;  // the owner; the main window when absent
  std::string_view file;
  int32_t command = HELP_FINDER;
  std::string_view key;
  int* status = nullptr;
};
void START_WIN_HELP(const win_help_opts& o);
void end_win_help(std::optional<int32_t> window = {}, int* status = nullptr);

// ---------------------------------------------------------------- printing
// A print job's drawing context paints on the printer's page itself, in the printer's device
// pixels with (0, 0) at the top-left corner of the printable area: texts in their font, lines
// as vectors.  Where the pages go:
//  - WINKYR_PRINT_PDF names a folder (an existing one, or a name ending in "/"): a PDF file in
//    it named after the job; names any other file: the job is written to that file;
//  - no printer set up, or the flag QN_PRINT_TO_FILE: a PDF file in the current directory
//    named after the job ("<job>.pdf", then "<job>-2.pdf" and so on; no file is overwritten);
//  - otherwise the print dialog chooses the printer (or a PDF file).
inline constexpr int32_t QN_PRINT_TO_FILE = 0x20;
struct print_opts {
  std::optional<int32_t> flags;
  std::optional<int32_t> window;
  std::optional<std::string_view> job_name;
  std::optional<bool> landscape;
  int* status = nullptr;
};
// Starts the document and its first page on `u`; false when it failed or was cancelled.
bool START_PRINT(ups& u, const print_opts& o = {});
// Ends the current page and starts the next; `u` is opened anew on the empty page.  The next
// page has the page setup's paper and margins, turned as the current page is or as asked.
struct next_page_opts {
  std::optional<bool> landscape;
  int* status = nullptr;
};
void NEXT_PRINT_PAGE(ups& u, int* status = nullptr);
void NEXT_PRINT_PAGE(ups& u, const next_page_opts& o);
// Ends the last page and the document and closes `u`.
void END_PRINT(ups& u, int* status = nullptr);
// Page setup in hundredths of a millimetre; a paper size of 0 in SET_PAGE_DATA keeps the paper.
struct qn_page_data {
  int32_t margin_left = 0, margin_top = 0, margin_right = 0, margin_bottom = 0;
  int32_t paper_width = 0, paper_height = 0;
};
qn_page_data GET_PAGE_DATA(ups* u = nullptr, int* status = nullptr);
// A pixel count in millimetres on the context's device (the screen when none is given).
float X_PIXEL_TO_MILLIMETERS(int32_t pixels, ups* u = nullptr, int* status = nullptr);
float Y_PIXEL_TO_MILLIMETERS(int32_t pixels, ups* u = nullptr, int* status = nullptr);
// Changes the kept page setup; on an open print job it takes effect from the next page.
void SET_PAGE_DATA(ups* u, const qn_page_data& data, int* status = nullptr);
// The page setup dialog on the kept settings; 1 when the user confirmed.
int32_t page_setup_dialog(int32_t& flags, int32_t window = 0, bool landscape = false, int* status = nullptr);
// Tests: answers the print and page setup dialogs instead of showing them (1 confirm, 0 cancel).
void qn_set_print_dialog_answerer(std::function<int32_t(std::string_view dialog)> answerer);
// Pages of the last print job that were sent to the printer, and its output file ("" for a printer).
// A cancelled job's PDF file is removed.
int32_t qn_print_pages();
std::string qn_print_output_file();
// Why the last job's PDF file (qn_print_output_file) could not be written: the system's error
// number (errno) when START_PRINT could not open it or END_PRINT found it incomplete, else 0.
int32_t qn_print_output_error();
// The system's text for it, naming the temporary folder where the failure was that folder's.
std::string qn_print_output_reason();
// Why the last print job or page setup could not start because printing itself is not
// available (its module cannot be loaded); "" when it could.
std::string qn_print_problem();
// Tests: the print module is taken from this file (from the usual places again when empty).
void qn_set_print_module_file(std::string_view file);
void qn_print_reset();  // ends open jobs, forgets the page setup; for tests

// ---------------------------------------------------------------- system clipboard
// Puts the picture of a window (its backing image), or of a bitmap, on the clipboard.
void COPY_WINDOW_TO_CLIPBOARD(int32_t window, int* status = nullptr);
void COPY_BITMAP_TO_CLIPBOARD(int32_t bitmap, int* status = nullptr);
// The size of the image on the clipboard (0, 0 when it holds none) and one of its pixels
// (0x00BBGGRR, 0xFFFFFFFF outside); for tests.
qn_point qn_clipboard_image_size();
uint32_t qn_clipboard_pixel(int32_t x, int32_t y);
// Writes the clipboard's contents into a file (1252 name) or a text: format 1 the text, one
// line per clipboard line (1252); format 2 the picture as a BMP file.  Status 0x10000 when the
// clipboard holds nothing of that format or the file cannot be written.
inline constexpr int32_t QN_CF_TEXT = 1, QN_CF_BITMAP = 2;
struct paste_opts {
  std::string* text = nullptr;               // receives the text (format 1) when given
  std::optional<std::string_view> file;      // the file to write
  int32_t format = QN_CF_TEXT;
  int* status = nullptr;
};
void PASTE_FROM_CLIPBOARD(const paste_opts& o);
// Puts a text (1252) on the clipboard, replacing what it held.
void qn_set_clipboard_text(std::string_view text);
// The clipboard's text in 1252, line ends as they stand; false when it holds no text.
bool qn_clipboard_text(std::string& text);

// ---------------------------------------------------------------- menus
// One item of a menu: text, status-bar help text, accelerator text ("Ctrl+S", "F5",
// "Strg+Umschalt+N"), the items of a pop-up submenu, the command id and the Win32 menu flags
// (1 grayed, 8 checked, 32 menu-bar break, 2048 separator).  `stamp` is QN_STAMP once
// SET_MENU_ITEM filled the record; `serial` is the library's number of the item.
struct menu_item {
  uint32_t stamp = 0;
  int32_t serial = 0;
  std::string text, help, accelerator;
  const std::vector<menu_item>* submenu = nullptr;
  int32_t id = 0;
  int32_t flags = 0;
};
struct menu_item_opts {
  std::optional<std::string_view> text, help, accelerator;  // trailing blanks are dropped
  const std::vector<menu_item>* submenu = nullptr;
  std::optional<int32_t> id, flags;
  int* status = nullptr;
};
// Fills the given fields of an item and stamps it as set.
void SET_MENU_ITEM(menu_item& item, const menu_item_opts& o = {});
// Changes the check and enable state of an item shown in a menu bar.
void UPDATE_MENU_ITEM(const menu_item& item, int32_t flags, int* status = nullptr);
// Destroys the menus built from the items (a menu bar made of them goes away).
void DESTROY_MENU(const std::vector<menu_item>& items, int* status = nullptr);
struct redefine_opts {
  std::optional<std::string_view> title;
  const std::vector<menu_item>* menu = nullptr;  // builds and attaches a new menu bar
  int* status = nullptr;
};
void REDEFINE_WINDOW(int32_t window, const redefine_opts& o);
// Shows the items as a context menu at a screen pixel position; the command id picked, 0 when
// nothing was picked.
int32_t POP_UP_MENU(const std::vector<menu_item>& items, qn_point px, int* status = nullptr);
// Tests: answers pop-up menus in place of the user (returns the command id).
void qn_set_menu_answerer(std::function<int32_t(const std::vector<menu_item>& items, qn_point px)> answerer);
// What the menu bar of a window shows (for tests).
struct qn_menu_view {
  std::string text;  // 1252
  int32_t id = 0;
  bool enabled = true, checked = false, separator = false;
  std::string shortcut;  // the accelerator as the platform writes it
  std::vector<qn_menu_view> sub;
};
std::vector<qn_menu_view> qn_menu_bar(int32_t window);
// Activates the bar item with this command id as a click would (posts its command); for tests.
bool qn_trigger_menu_command(int32_t window, int32_t id);
void qn_menus_reset();
