// HOTKEY: key names in words to key codes and modifier states, and the bindings it stores.
#include <gtest/gtest.h>

#include "test_dispatcher_fixture.h"

namespace {

struct name_case {
  const char* name;
  int32_t code, modifier;
};

TEST(hotkey_names, ModifiersAndNamedKeys) {
  const name_case cases[] = {
      {"SHIFT-F12", 0x7B, hot_shift}, {"CTRL-GRAY-+", 0x6B, hot_ctrl}, {"ALT-X", 'X', hot_alt},
      {"ctrl-f5", 0x74, hot_ctrl},    {"CTR-HOME", 0x24, hot_ctrl},    {"SHI-END", 0x23, hot_shift},
      {"PGDN", 0x22, hot_none},       {"PGUP", 0x21, hot_none},        {"ENTER", 0x0D, hot_none},
      {"BACK", 0x08, hot_none},       {"BREAK", 0x13, hot_none},       {"N5", 0x0C, hot_none},
      {"NUM", 0x90, hot_none},        {"ROLL", 0x91, hot_none},        {"DEL", 0x2E, hot_none},
      {"INS", 0x2D, hot_none},        {"UP", 0x26, hot_none},          {"DOWN", 0x28, hot_none},
      {"LEFT", 0x25, hot_none},       {"RIGHT", 0x27, hot_none},       {"F1", 0x70, hot_none},
      {"F01", 0x70, hot_none},        {"F 9", 0x78, hot_none},         {"F123", 0x7B, hot_none},
      {"F", 'F', hot_none},           {"XYZ-A", 'A', hot_none},        {"a", 'A', hot_none},
      {"7", '7', hot_none},
  };
  for (const name_case& c : cases) {
    const hot_key_name k = parse_hot_key_name(c.name);
    EXPECT_EQ(k.code, c.code) << c.name;
    EXPECT_EQ(k.modifier, c.modifier) << c.name;
    EXPECT_EQ(k.conversion_status, 0) << c.name;
  }
}

TEST(hotkey_names, GrayKeysLookAtTheSixthCharacterOnly) {
  EXPECT_EQ(parse_hot_key_name("GRAY-*").code, 0x6A);
  EXPECT_EQ(parse_hot_key_name("GRAY--").code, 0x6D);
  EXPECT_EQ(parse_hot_key_name("GRAY-:").code, 0x6F);
  EXPECT_EQ(parse_hot_key_name("GRAY-/").code, 0x6F);
  EXPECT_EQ(parse_hot_key_name("GRAY-+ ").code, 0x6B);
  EXPECT_EQ(parse_hot_key_name("GRAY-X").code, 0);
}

TEST(hotkey_names, GermanPunctuationAndUmlauts) {
  const name_case cases[] = {
      {"+", 0xBB, 0}, {",", 0xBC, 0}, {"-", 0xBD, 0}, {".", 0xBE, 0}, {"#", 0xBF, 0},
      {"\xDF", 0xDB, 0}, {"^", 0xDC, 0}, {"\xB4", 0xDD, 0}, {"<", 0xE2, 0},
      {"\xE4", 0xDE, 0}, {"\xF6", 0xC0, 0}, {"\xFC", 0xBA, 0}, {"ALT-\xE4", 0xDE, hot_alt},
  };
  for (const name_case& c : cases) {
    const hot_key_name k = parse_hot_key_name(c.name);
    EXPECT_EQ(k.code, c.code) << c.name;
    EXPECT_EQ(k.modifier, c.modifier) << c.name;
  }
}

TEST(hotkey_names, NamesThatMatchNoKey) {
  EXPECT_EQ(parse_hot_key_name("ctrl-shift-x").code, 0);  // SHIFT-X is left and matches nothing
  EXPECT_EQ(parse_hot_key_name("ctrl-shift-x").modifier, hot_ctrl);
  EXPECT_EQ(parse_hot_key_name("").code, 0);
  EXPECT_EQ(parse_hot_key_name("        ").code, 0);
  EXPECT_EQ(parse_hot_key_name("F13").code, 0);
  EXPECT_EQ(parse_hot_key_name("F0").code, 0);
  EXPECT_EQ(parse_hot_key_name("HOMEX").code, 0);
  EXPECT_EQ(parse_hot_key_name("F13").conversion_status, 0);
  EXPECT_NE(parse_hot_key_name("FX").conversion_status, 0);
  EXPECT_EQ(parse_hot_key_name("FX").code, 0);
}

class hotkey_command : public events_fixture {};

TEST_F(hotkey_command, BindsLabelsUnderTheirModifier) {
  load_pxb({"HOTKEY :0005 @0001", "HOTKEY :0006 @0002", "HOTKEY :0007 @0003", "RETURN", "RETURN",
            "RETURN", "RETURN"},
           {}, {"ALT-5", "SHIFT-F12", "\xE4"});
  interpreter(1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(hotkey_table[hot_alt][0x35], 5);
  EXPECT_EQ(hotkey_table[hot_alt][0x65], 5);  // the keypad's 5 too
  EXPECT_EQ(hotkey_table[hot_none][0x35], 0);
  EXPECT_EQ(hotkey_table[hot_shift][0x7B], 6);
  EXPECT_EQ(hotkey_table[hot_none][0xDE], 7);
}

TEST_F(hotkey_command, RebindingAndTargetZeroReplaceTheBinding) {
  load_pxb({"HOTKEY :0004 @0001", "HOTKEY :0000 @0001", "RETURN", "RETURN"}, {}, {"F5"});
  interpreter(1);
  EXPECT_EQ(hotkey_table[hot_none][0x74], 0);
}

TEST_F(hotkey_command, UnknownNameWarnsAndStoresNothing) {
  load_pxb({"HOTKEY :0003 @0001", "HOTKEY :0003 @0002", "RETURN"}, {}, {"ctrl-shift-x", "F2"});
  interpreter(1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("HotKey ? :ctrl-shift-x"), std::string::npos) << boxes[0].text;
  EXPECT_EQ(hotkey_table[hot_ctrl]['X'], 0);
  // OK lets the program go on: the next binding is made.
  EXPECT_EQ(hotkey_table[hot_none][0x71], 3);
  EXPECT_FALSE(program_has_ended());
}

TEST_F(hotkey_command, TheBoundKeyRunsTheLabel) {
  load_pxb({"HOTKEY :0003 @0001", "RETURN", "PIXEL :0004", "RETURN"}, {}, {"CTRL-F5"});
  interpreter(1);
  key_down(0x74);
  EXPECT_TRUE(ran().empty());  // without Ctrl
  modifiers(true);
  key_down(0x74);
  EXPECT_EQ(ran(), std::vector<int32_t>{4});
}

}  // namespace
