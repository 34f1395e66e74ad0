// A list rebuilt and drawn under an open cell, as a timer's label that reloads a list from a
// database does while the user types a note: list 1 of ROWS rows (80 characters: a number and a
// name, the note column blank) is allocated anew, every row put (one row inserted at the top, so
// that every record moves down by one) and the list drawn, REPEAT times; first with the note of
// the middle row open, then so with the name of its record changed in every rebuild, then with
// no cell open.  Prints the milliseconds of one rebuild of each, then of its drawing alone (where
// the search is), the medians of the repeats.  Runs headless on a screen bitmap; the list shows three lines
// and no characters, so the drawing costs little besides what it does before painting.
//
//   bench_list_cell [ROWS] [REPEAT]      (default 100000 rows, 21 repeats)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/commands/runtime.h"
#include "runtime/program/pxb_reader.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"

namespace {

// A program of one text variable of 20 characters, which the note cell edits.
constexpr const char* program = R"([PROC]
[INIT]
CODES=4
UPNCODES=4
UPNTOKENS=20
TEXTTOKENS=4
TEXTCHARACTERS=200
VARIABLES=4
STRINGSPACE=100
ADRSPACE=10
[VARIABLES]
&0001 S 0001*020:NOTIZ/
[UPNCODES]
#0
[TEXTTOKENS]
[CODES]
RETURN
)";

// Record k: its number and a name; record `changed` has another name (another desk changed it).
std::string row_text(int32_t k, int32_t changed) {
  char text[96];
  std::snprintf(text, sizeof text, "%08d Name %-20d", k, k == changed ? -k : k * 7);
  return text;
}

struct times {
  std::vector<double> whole, drawing;  // milliseconds of each rebuild, and of its drawing alone
};

// One rebuild: the list allocated, the rows of records first .. first+rows-1 put at rows 1 ..
// rows, the list drawn.
void rebuild(times& t, int32_t rows, int32_t first, int32_t changed = 0) {
  using clock = std::chrono::steady_clock;
  const auto ms = [](clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
  const auto t0 = clock::now();
  int32_t status = 0;
  allocate_xmm(3, rows, 80, status);
  for (int32_t r = 1; r <= rows; ++r) lst_put_row(3, r, row_text(first + r - 1, changed));
  list_table.current = 3;
  const auto t1 = clock::now();
  lst_draw();
  const auto t2 = clock::now();
  t.whole.push_back(ms(t2 - t0));
  t.drawing.push_back(ms(t2 - t1));
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int32_t rows = argc > 1 ? std::max(std::atoi(argv[1]), 10) : 100000;
  const int32_t repeat = argc > 2 ? std::max(std::atoi(argv[2]), 1) : 21;
  run_flags.auto_mode = true;
  run_flags.no_box = true;
  load_program_image(program);
  int32_t width = 640;
  screen_init(0, width, 480);  // screen 0 as a bitmap, as the window shows it
  times first;
  rebuild(first, rows, 1);  // record rows/2 on row rows/2
  list_record& l = list_of(3);
  lst_tab(3, 1, 8, 0, "Nr");
  lst_tab(3, 2, 25, 0, "Name");
  lst_tab(3, 3, 20, 1, "Notiz");
  l.edit_rows = list_edit_rows;
  // Three lines with no characters drawn, around the middle row.
  l.page = 3;
  l.top = rows / 2 - 1;
  // The note of the middle row opens, as a click opens it.
  lst_edit_select_mouse(3, rows / 2, 3);
  if (!run_flags.list_cell_input) {
    std::fprintf(stderr, "no cell opened\n");
    return 1;
  }
  times open, changed, none;
  for (int32_t k = 0; k < repeat; ++k) rebuild(open, rows, k % 2 == 0 ? 0 : 1);
  // The record's name changed: only the last step of the search finds it, after a second pass.
  for (int32_t k = 0; k < repeat; ++k) rebuild(changed, rows, k % 2 == 0 ? 0 : 1, rows / 2);
  lst_cell_close();
  for (int32_t k = 0; k < repeat; ++k) rebuild(none, rows, k % 2 == 0 ? 0 : 1);
  std::printf("%.3f %.3f %.3f %.3f %.3f %.3f\n", median(open.whole), median(changed.whole), median(none.whole),
              median(open.drawing), median(changed.drawing), median(none.drawing));
  return 0;
}
