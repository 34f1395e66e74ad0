// The program's menu set, built by the MENU command: menus 0..count (menu 0 is the menu bar),
// each with its items' menu_item records and the runtime's own words per item.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quillon/api/quillon.h"

struct menu_entry {
  int32_t command_id = 0;  // 1..99 once the item is a command item
  std::string text = std::string(64, ' ');
  std::string accelerator = std::string(16, ' ');
  int32_t mark = 0;   // 1 when last set with a check mark
  int32_t value = 0;  // group mask bits (0: never touched by a mask)
};

struct menu_record {
  std::vector<menu_item> items;  // handed to the windowing library as they are
  std::vector<menu_entry> entry;
  int32_t item_count = 0;
};

struct menu_set_t {
  int32_t count = -1;  // highest menu number; -1 before the first set-up
  std::vector<menu_record> menu;
  int32_t next_id = 1;
};

const menu_set_t& menu_set();
void menus_reset();  // destroys the menus and forgets the set; for tests and the loader
