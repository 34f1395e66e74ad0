// Menus: item records, the menu bar built by REDEFINE_WINDOW with its accelerators, state
// updates of shown items, DESTROY_MENU and pop-up menus.
#include "quillon_fixture.h"

#include <QWidget>

namespace {

class menus_test : public quillon_test {
 protected:
  void SetUp() override {
    quillon_test::SetUp();
    qn_set_control([this](int32_t command, int32_t) { commands.push_back(command); });
    window = CREATE_MAIN_WINDOW({.title = "Menus", .client_px = qn_point{320, 200}});
  }
  void TearDown() override {
    qn_menus_reset();
    quillon_test::TearDown();
  }
  // A bar with one pop-up "Datei" holding "Neu" (0x8001, Ctrl+N) and "Ende" (0x8002).
  void build_bar() {
    file.resize(3);
    SET_MENU_ITEM(file[0], {.text = "Neu     ", .accelerator = "Strg+N", .id = 0x8001, .flags = 0});
    SET_MENU_ITEM(file[1], {.id = 0x8000, .flags = 2048});
    SET_MENU_ITEM(file[2], {.text = "Ende", .id = 0x8002, .flags = 1});
    bar.resize(1);
    SET_MENU_ITEM(bar[0], {.text = "&Datei", .submenu = &file});
    REDEFINE_WINDOW(window, {.menu = &bar});
  }
  int32_t window = 0;
  std::vector<menu_item> file, bar;
  std::vector<int32_t> commands;
};

TEST_F(menus_test, SetMenuItemStampsAndKeepsWhatIsNotGiven) {
  menu_item item;
  EXPECT_NE(item.stamp, QN_STAMP);
  SET_MENU_ITEM(item, {.text = "Neu   ", .help = "Neue Datei", .id = 0x8003, .flags = 8});
  EXPECT_EQ(item.stamp, QN_STAMP);
  EXPECT_EQ(item.text, "Neu");
  const int32_t serial = item.serial;
  EXPECT_NE(serial, 0);
  SET_MENU_ITEM(item, {.flags = 1});
  EXPECT_EQ(item.text, "Neu");
  EXPECT_EQ(item.id, 0x8003);
  EXPECT_EQ(item.flags, 1);
  EXPECT_EQ(item.serial, serial);
}

TEST_F(menus_test, RedefineWindowBuildsTheBarWithAccelerators) {
  build_bar();
  const auto view = qn_menu_bar(window);
  ASSERT_EQ(view.size(), 1u);
  EXPECT_EQ(view[0].text, "&Datei");
  ASSERT_EQ(view[0].sub.size(), 3u);
  EXPECT_EQ(view[0].sub[0].text, "Neu");
  EXPECT_EQ(view[0].sub[0].id, 0x8001);
  EXPECT_EQ(view[0].sub[0].shortcut, "Ctrl+N");
  EXPECT_TRUE(view[0].sub[1].separator);
  EXPECT_FALSE(view[0].sub[2].enabled);  // grayed
}

TEST_F(menus_test, PickingABarItemPostsItsCommand) {
  build_bar();
  EXPECT_TRUE(qn_trigger_menu_command(window, 0x8001));
  EXPECT_TRUE(pump_until([this] { return !commands.empty(); }, 2000));
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands[0], 0x8001);
  EXPECT_FALSE(qn_trigger_menu_command(window, 0x8002));  // grayed
}

TEST_F(menus_test, UpdateMenuItemChangesCheckAndEnableState) {
  build_bar();
  UPDATE_MENU_ITEM(file[0], 8 | 1);
  auto view = qn_menu_bar(window);
  EXPECT_TRUE(view[0].sub[0].checked);
  EXPECT_FALSE(view[0].sub[0].enabled);
  UPDATE_MENU_ITEM(file[2], 0);
  view = qn_menu_bar(window);
  EXPECT_TRUE(view[0].sub[2].enabled);
  EXPECT_FALSE(view[0].sub[0].enabled);
}

TEST_F(menus_test, UpdateReportsUnsetAndUnshownItems) {
  menu_item never;
  int status = 0;
  UPDATE_MENU_ITEM(never, 0, &status);
  EXPECT_NE(status, 0);
  menu_item loose;
  SET_MENU_ITEM(loose, {.text = "Frei"});
  status = 0;
  UPDATE_MENU_ITEM(loose, 0, &status);
  EXPECT_NE(status, 0);
}

TEST_F(menus_test, DestroyMenuTakesTheBarAway) {
  build_bar();
  ASSERT_FALSE(qn_menu_bar(window).empty());
  DESTROY_MENU(bar);
  EXPECT_TRUE(qn_menu_bar(window).empty());
}

TEST_F(menus_test, ASubmenuThatContainsItselfEnds) {
  std::vector<menu_item> loop(1);
  SET_MENU_ITEM(loop[0], {.text = "Wieder", .submenu = &loop});
  REDEFINE_WINDOW(window, {.menu = &loop});
  auto view = qn_menu_bar(window);
  int depth = 0;
  const std::vector<qn_menu_view>* level = &view;
  while (!level->empty() && !(*level)[0].sub.empty()) {
    level = &(*level)[0].sub;
    ++depth;
  }
  EXPECT_GT(depth, 0);
  EXPECT_LT(depth, 64);
}

TEST_F(menus_test, PopUpMenuReturnsTheAnsweredId) {
  build_bar();
  qn_point seen{};
  qn_set_menu_answerer([&seen](const std::vector<menu_item>& items, qn_point px) {
    seen = px;
    return items[2].id;
  });
  EXPECT_EQ(POP_UP_MENU(file, {30, 40}), 0x8002);
  EXPECT_EQ(seen.x, 30);
  EXPECT_EQ(seen.y, 40);
  qn_set_menu_answerer(nullptr);
}

TEST_F(menus_test, RedefineWindowChangesTheTitleAndRefusesUnknownWindows) {
  REDEFINE_WINDOW(window, {.title = "Neu   "});
  EXPECT_EQ(qnb::window_widget(window)->windowTitle().toStdString(), "Neu");
  int status = 0;
  REDEFINE_WINDOW(999999, {.title = "X", .status = &status});
  EXPECT_NE(status, 0);
}

}  // namespace
