// The combo library "combo.lib": its record layout on disk and the operations on records.
#include <gtest/gtest.h>
#include <filesystem>

#include "runtime/program/areas.h"
#include "screen_fixture.h"

namespace {

class combo_library : public screen_test {
 protected:
  void SetUp() override {
    screen_test::SetUp();
    combo_reset();
    qn_set_box_answerer([this](std::string_view text, std::string_view, int32_t) {
      boxes.emplace_back(text);
      return IDOK;
    });
  }
  void TearDown() override {
    combo_reset();
    screen_test::TearDown();
  }
  // Record with entries (number, text) and the current entry.
  static combo_record make(std::vector<std::pair<int32_t, std::string>> entries, int32_t current) {
    combo_record r;
    r.count = static_cast<int32_t>(entries.size());
    r.current = current;
    for (size_t i = 0; i < entries.size(); ++i) {
      r.entry[i].value = entries[i].first;
      r.entry[i].text = entries[i].second;
    }
    return r;
  }
  static std::string library() {
    std::ifstream in("combo.lib", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::string lookup(std::string_view key, int32_t* value = nullptr) {
    std::string text;
    int32_t v = -1;
    EXPECT_TRUE(combo_lookup(key, text, v));
    if (value) *value = v;
    return text;
  }
  std::vector<std::string> boxes;
};

TEST_F(combo_library, RecordsHaveTheirFixedPlaceAndLayout) {
  ASSERT_TRUE(combo_write_record(3, make({{10, "Rot"}, {-25, "^Gr\xFCn"}}, 2)));
  const std::string raw = library();
  ASSERT_EQ(raw.size(), 3u * 570u);
  // Records 1 and 2 were filled with empty records.
  EXPECT_EQ(raw.substr(0, 8), "   0   0");
  EXPECT_EQ(raw.substr(568, 2), "\r\n");
  const std::string rec = raw.substr(2 * 570);
  EXPECT_EQ(rec.substr(0, 8), "   2   2");
  EXPECT_EQ(rec.substr(8, 28), "      10Rot                 ");
  EXPECT_EQ(rec.substr(36, 28), "     -25^Gr\xFCn" + std::string(15, ' '));
  EXPECT_EQ(rec.substr(64, 28), "       0                    ");
  EXPECT_EQ(rec.substr(568), "\r\n");
}

TEST_F(combo_library, LookupDropsTheMarkerAndGivesTheEntrysNumber) {
  combo_write_record(5, make({{10, "Rot"}, {-25, "^Gr\xFCn"}}, 2));
  int32_t value = 0;
  EXPECT_EQ(lookup("#05", &value), "Gr\xFCn" + std::string(16, ' '));
  EXPECT_EQ(value, -25);
  EXPECT_EQ(combo_current_number(), 5);
  EXPECT_EQ(lookup("#5", &value).substr(0, 4), "Gr\xFCn");
  combo_write_record(6, make({{1, "A"}}, 0));
  EXPECT_EQ(lookup("#06", &value), std::string(20, ' '));  // no current entry
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(combo_library, BadKeysAndMissingOrBrokenRecordsAreReported) {
  std::string text;
  int32_t value = 7;
  EXPECT_FALSE(combo_lookup("05", text, value));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "COMBO ohne #");
  EXPECT_EQ(value, 0);
  EXPECT_FALSE(combo_lookup("#09", text, value));  // no library at all
  EXPECT_EQ(boxes.back(), "COMBO Satz fehlt: #09");
  combo_write_record(1, make({{1, "A"}}, 1));
  {
    std::fstream f("combo.lib", std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(4);
    f.write("  x9", 4);  // the count is no number
  }
  EXPECT_FALSE(combo_lookup("#01", text, value));
  EXPECT_EQ(boxes.back(), "COMBO Satz falsch: #01");
  {
    std::fstream f("combo.lib", std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(4);
    f.write("  21", 4);  // more entries than a record holds
  }
  EXPECT_FALSE(combo_lookup("#01", text, value));
  EXPECT_EQ(boxes.back(), "COMBO Satz falsch: #01");
  // A library cut inside its last record (its CR LF gone, or more) holds that record broken.
  combo_write_record(2, make({{1, "A"}}, 1));
  std::filesystem::resize_file("combo.lib", 570 + 569);
  EXPECT_FALSE(combo_lookup("#02", text, value));
  EXPECT_EQ(boxes.back(), "COMBO Satz falsch: #02");
  std::filesystem::resize_file("combo.lib", 570 + 300);
  EXPECT_FALSE(combo_lookup("#02", text, value));
  EXPECT_EQ(boxes.back(), "COMBO Satz falsch: #02");
}

TEST_F(combo_library, SelectingEntriesWritesTheRecordBack) {
  combo_write_record(2, make({{10, "Rot"}, {20, "Blau"}, {30, "Gelb"}}, 1));
  combo_open_entry("#02");
  combo_select_entry(3);
  EXPECT_EQ(library().substr(570, 8), "   3   3");
  combo_select_value(20);
  EXPECT_EQ(lookup("#02"), "Blau" + std::string(16, ' '));
  combo_select_entry(4);  // beyond the count: reported, nothing changes
  EXPECT_EQ(boxes.back(), "COMBO Eintrag fehlt: #02");
  combo_select_value(99);
  EXPECT_EQ(boxes.size(), 2u);
  EXPECT_EQ(library().substr(570, 8), "   2   3");
}

TEST_F(combo_library, SetTextMatchesRenamesOrKeepsAFixedText) {
  combo_write_record(1, make({{1, "Rot"}, {2, "^Fest"}, {3, "@Kopf"}}, 1));
  combo_open_entry("#01");
  combo_set_text("Fest  ");  // matches without its marker
  EXPECT_EQ(combo_current().current, 2);
  combo_set_text("Neu");  // the current entry is fixed
  EXPECT_EQ(lookup("#01"), "Fest" + std::string(16, ' '));
  combo_select_entry(1);
  combo_set_text("Orange");
  EXPECT_EQ(lookup("#01"), "Orange" + std::string(14, ' '));
  EXPECT_EQ(library().substr(8, 28), "       1Orange              ");
  combo_select_entry(3);
  combo_set_text("Titel");  // a heading keeps its marker
  EXPECT_EQ(library().substr(64, 28), "       3@Titel              ");
  EXPECT_TRUE(boxes.empty());
}

int32_t pick_second(const combo_record&) { return 2; }
int32_t pick_heading(const combo_record&) { return 3; }

class combo_drop_down : public combo_library {
 protected:
  void SetUp() override {
    combo_library::SetUp();
    combo_write_record(4, make({{1, "Rot"}, {2, "Blau"}, {3, "@Kopf"}}, 1));
    area_table.count = 1;
    area(1) = area_record{};
    area(1).type = area_combo;
    area(1).x1 = 10;
    area(1).y1 = 20;
    area(1).y2 = 40;
    const std::string key = "#04";
    std::copy(key.begin(), key.end(), area(1).caption.begin());
  }
  void TearDown() override {
    qn_set_menu_answerer(nullptr);
    combo_library::TearDown();
  }
  static std::string current_entry() { return library().substr(3 * 570, 4); }
};

TEST_F(combo_drop_down, AChooserTakesThePlaceOfTheMenuAndHeadingsCannotBePicked) {
  qn_set_menu_answerer([](const std::vector<menu_item>&, qn_point) -> int32_t {
    ADD_FAILURE() << "the menu showed";
    return 0;
  });
  combo_set_chooser(pick_heading);
  combo_select(1);
  EXPECT_EQ(current_entry(), "   1");
  combo_set_chooser(pick_second);
  combo_select(1);
  EXPECT_EQ(current_entry(), "   2");
  set_combo_lock(true);
  EXPECT_TRUE(combo_locked());
  set_combo_lock(false);
  EXPECT_FALSE(combo_locked());
}

TEST_F(combo_drop_down, AnAreaWithoutARecordKeyOpensNothing) {
  area(1).caption = area_record::blank_caption();
  int32_t shown = 0;
  qn_set_menu_answerer([&](const std::vector<menu_item>&, qn_point) {
    ++shown;
    return 1;
  });
  combo_select(1);
  combo_select(0);
  combo_select(61);
  EXPECT_EQ(shown, 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "COMBO ohne #");
}

}  // namespace
