// The MENU command: the program's menus.  Menu 0 is the menu bar, menus 1..count hang below it
// as pop-up submenus; command items get the ids 0x8001..0x8063 and a label that the dispatcher
// runs when the user picks them.  MENU also changes check marks and grayed states, greys or
// enables groups of items by a bit mask and shows a menu as a context menu.  The windowing
// library builds the real menus from the items' menu_item records.
#include <algorithm>
#include <string>
#include <vector>

#include "quillon/api/quillon.h"
#include "runtime/commands/commands.h"
#include "runtime/commands/runtime.h"
#include "runtime/program/expression/evaluator.h"
#include "runtime/commands/events.h"
#include "runtime/commands/interpreter.h"
#include "runtime/commands/menus.h"
#include "runtime/program/program_image.h"
#include "runtime/program/text_tokens.h"

namespace {

constexpr int32_t setup_error = 32000;
constexpr int32_t menu_command_base = 0x8000;
constexpr int32_t last_menu_id = 99;
constexpr int32_t sm_cymenu = 15;
// Limits that keep a broken operand from asking for millions of menus or items.
constexpr int32_t max_menu_number = 99;
constexpr int32_t max_menu_items = 999;

// Win32 menu flags.
constexpr int32_t mf_grayed = 1, mf_checked = 8, mf_bar_break = 32, mf_separator = 2048;

menu_set_t menus;

bool blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

std::string padded(std::string_view text, size_t length) {
  std::string out(text.substr(0, std::min(text.size(), length)));
  out.resize(length, ' ');
  return out;
}

std::string setup_message(int32_t a, int32_t b, const int32_t* c, int32_t items, const int32_t* count) {
  std::string m = "MENU/SETUP " + std::to_string(a) + " " + std::to_string(b);
  if (c) m += " " + std::to_string(*c);
  m += " n= " + std::to_string(items);
  if (count) m += " " + std::to_string(*count);
  return m;
}

bool menu_exists(int32_t a) { return a >= 0 && a <= menus.count && a < static_cast<int32_t>(menus.menu.size()); }

void set_up(int32_t a) {
  menu_labels.fill(0);
  menus.next_id = 1;
  screen_metrics.menu_bar_height = 0;
  if (!menus.menu.empty()) DESTROY_MENU(menus.menu[0].items);
  menus.menu.assign(static_cast<size_t>(a) + 1, menu_record{});
  menus.count = a;
}

void make_items(menu_record& m, int32_t b) {
  m.items.assign(static_cast<size_t>(b), menu_item{});
  m.entry.assign(static_cast<size_t>(b), menu_entry{});
  m.item_count = b;
}

int32_t menu_id_word(const menu_entry& e) { return menu_command_base + e.command_id; }

}  // namespace

const menu_set_t& menu_set() { return menus; }

void menus_reset() {
  if (!menus.menu.empty()) DESTROY_MENU(menus.menu[0].items);
  menus = menu_set_t{};
  screen_metrics.menu_bar_height = 0;  // the bar went with the menus: the client area is whole again
}

void cmd_MENU(code_record& rec) {
  std::string text1 = get_text_token(rec.token1, 256);
  std::string text2 = get_text_token(rec.token2, 256);
  if (text2 == text1) text2.assign(256, ' ');

  evaluate_upn(rec.expression, 4);
  int32_t a = nint(param_registers[1]);
  int32_t b = nint(param_registers[2]);
  int32_t c = nint(param_registers[3]);
  const int32_t d = nint(param_registers[4]);
  if (a > 100) {
    c = b;
    b = a % 100;
    a = a / 100;
  }

  const int32_t options = rec.flags;
  const bool opt2_no_c = (options & 2) && c == 0;
  int32_t flags = 0;
  if (options & 2048) flags |= mf_bar_break;
  if (options & 32768) flags |= mf_separator;
  if (options & 128) flags |= mf_grayed;
  if ((options & 512) && !opt2_no_c) flags |= mf_checked;
  if ((options & 256) && opt2_no_c) flags |= mf_grayed;

  const bool in_range = menu_exists(a);
  if ((options & 1) && b == 0 && a >= 0) {
    if (a > max_menu_number) {
      report_error("General MENU/SETUP error", setup_error);
      return;
    }
    set_up(a);
  } else if ((options & 1) && b > 0 && in_range) {
    if (b > max_menu_items) {
      report_error(setup_message(a, b, nullptr, menus.menu[static_cast<size_t>(a)].item_count, nullptr), setup_error);
      return;
    }
    make_items(menus.menu[static_cast<size_t>(a)], b);
  } else if ((options & 65536) && in_range && c != 0) {
    menu_record& m = menus.menu[static_cast<size_t>(a)];
    if (b < 1 || b > m.item_count || c < 1 || c > menus.count) {
      report_error(setup_message(a, b, &c, m.item_count, &menus.count), setup_error);
      return;
    }
    menu_entry& e = m.entry[static_cast<size_t>(b - 1)];
    if (!blank(text1)) e.text = padded(text1, 64);
    e.value = d;
    e.mark = (options & 512) ? 1 : 0;
    SET_MENU_ITEM(m.items[static_cast<size_t>(b - 1)],
                  {.text = e.text, .help = text2, .submenu = &menus.menu[static_cast<size_t>(c)].items});
  } else if ((options & 65536) && in_range && b != 0) {
    io_status = 0;
    menu_record& m = menus.menu[static_cast<size_t>(a)];
    if (b < 1 || b > m.item_count) {
      report_error(setup_message(a, b, nullptr, m.item_count, nullptr), setup_error);
      return;
    }
    menu_entry& e = m.entry[static_cast<size_t>(b - 1)];
    if (e.command_id == 0) {
      // Ids run out at 99: every later item shares the last id and its label.
      e.command_id = menus.next_id;
      io_status = e.command_id;
      menus.next_id = std::min(menus.next_id + 1, last_menu_id);
      menu_labels[static_cast<size_t>(e.command_id)] = rec.target;
    }
    if (!blank(text1)) e.text = padded(text1, 64);
    if (!blank(text2)) e.accelerator = padded(text2, 16);
    e.value = d;
    e.mark = (options & 512) ? 1 : 0;
    SET_MENU_ITEM(m.items[static_cast<size_t>(b - 1)],
                  {.text = e.text, .help = text2, .accelerator = e.accelerator, .id = menu_id_word(e), .flags = flags});
  } else if (options & 32) {
    io_status = -1;
    if (in_range) {
      const int32_t window = main_window();
      qn_rect r;
      if (window != 0) r = GET_RECT({.window = window, .whole_window = true});
      io_status = POP_UP_MENU(menus.menu[static_cast<size_t>(a)].items,
                              {r.left + mouse_track.track_x, r.top + mouse_track.track_y});
    }
  } else if (options & 2048) {
    trace_int("menu/all:mask", a);
    const int32_t mask = a;
    for (int32_t mi = 0; mi < static_cast<int32_t>(menus.menu.size()); ++mi) {
      menu_record& m = menus.menu[static_cast<size_t>(mi)];
      for (int32_t i = 1; i <= m.item_count; ++i) {
        menu_entry& e = m.entry[static_cast<size_t>(i - 1)];
        trace_int3("menu:mask", mi, i, e.value);
        if (e.value == 0 || (e.value & mask) == 0) continue;
        const int32_t item_flags = ((options & 128) ? mf_grayed : 0) + (e.mark != 0 ? mf_checked : 0);
        trace_int3("    :flag", mi, i, item_flags);
        menu_item& item = m.items[static_cast<size_t>(i - 1)];
        SET_MENU_ITEM(item, {.text = e.text, .accelerator = e.accelerator, .id = menu_id_word(e), .flags = item_flags});
        UPDATE_MENU_ITEM(item, item_flags);
      }
    }
  } else if (in_range && b != 0) {
    menu_record& m = menus.menu[static_cast<size_t>(a)];
    if (b < 1 || b > m.item_count) {
      report_error(setup_message(a, b, nullptr, m.item_count, nullptr), setup_error);
      return;
    }
    trace_int3("menu/flags ", a, b, flags);
    menu_entry& e = m.entry[static_cast<size_t>(b - 1)];
    e.mark = (options & 512) ? 1 : 0;
    menu_item& item = m.items[static_cast<size_t>(b - 1)];
    SET_MENU_ITEM(item, {.text = e.text, .help = text2, .accelerator = e.accelerator, .id = menu_id_word(e), .flags = flags});
    if (options & 16) {
      trace_msg("menu:redefine");
      REDEFINE_WINDOW(main_window(), {.menu = &menus.menu[0].items});
    } else {
      trace_msg("menu:update");
      UPDATE_MENU_ITEM(item, flags);
    }
  } else if ((options & 16) && a == 0 && b == 0 && c == 0 && !menus.menu.empty()) {
    REDEFINE_WINDOW(main_window(), {.menu = &menus.menu[0].items});
    screen_metrics.menu_bar_height = get_system_metrics(sm_cymenu);
  } else {
    report_error("General MENU/SETUP error", setup_error);
  }
}
