// Seams between the runtime and the real Qt back end: the combo drop-down driven by mouse moves
// on the main window, the status line of an edit-mode list, the help window, the main window's
// title in SHOW and QUERY, the sound of SOUND and the slider arrows of the shipped icon library.
#include <QApplication>
#include <QImage>
#include <QTextBrowser>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <filesystem>
#include <fstream>

#include "runtime/screen/icon_library.h"
#include "runtime/screen/lists.h"
#include "runtime/screen/screen.h"
#include "runtime/screen/video_stack.h"
#include "test_dispatcher_fixture.h"
#include "test_debugger_fixture.h"

namespace {

class screen_seams : public events_fixture {
 protected:
  void SetUp() override {
    events_fixture::SetUp();
    reset_font_text();
    reset_lists();
    combo_reset();
    command_text_reset();
    icon_library_reset();
    video_stack_reset();
    run_commands_reset();
  }
  void TearDown() override {
    reset_lists();
    combo_reset();
    command_text_reset();
    icon_library_reset();
    video_stack_reset();
    areas_reset();
    reset_font_text();
    events_fixture::TearDown();
  }

  static QImage screen0() {
    int32_t handle = 0;
    screen_bitmap(0, handle);
    const QImage* image = qnb::bitmap_image(handle);
    return image != nullptr ? image->copy() : QImage();
  }
  // Some shapes on screen 0, so that what lies behind a pop-up is worth putting back.
  static void paint_background() {
    ups u;
    screen_nr(0, u, 0, 0, 640, 480);
    NEW_PEN(u, {.colour = 0x0000FF});
    NEW_BRUSH(u, {.colour = 0x00C0FF});
    DRAW_RECTANGLE(u, {.px = qn_rect{80, 60, 300, 400}});
    NEW_BRUSH(u, {.colour = 0x808000});
    DRAW_ELLIPSE(u, {.px = qn_rect{150, 100, 260, 250}});
    screen_stop_nr(0);
  }
  // Combo record #01 with four colours, the current one given, shown by a combo area at y with
  // the focus and label 1, over the background.
  static void focused_combo(int32_t y, int32_t current) {
    labels(1);
    combo_record rec;
    rec.count = 4;
    rec.current = current;
    const char* texts[] = {"Rot", "Gruen", "Blau", "Gelb"};
    for (int32_t k = 0; k < 4; ++k) rec.entry[k] = {k + 1, texts[k]};
    ASSERT_TRUE(combo_write_record(1, rec));
    const int32_t n = add_area(100, y, 150, 20, label(1), area_combo);
    const std::string key = "#01";
    std::copy(key.begin(), key.end(), area(n).caption.begin());
    area_table.state.focus = n;
    paint_background();
    look_do_paint();
  }
  // Runs the commands (one per line, then RETURN) with these expressions and text tokens.
  static void run(std::string_view upn, std::string_view tokens, std::string_view codes) {
    load_program_image(small_program("&0001 I 0001:I/0\n", upn, tokens, std::string(codes) + "RETURN\n"));
    interpreter(1);
  }
  static void write(const std::string& name, const std::string& text) { std::ofstream(name, std::ios::binary) << text; }
};

// ---------------------------------------------------------------- combo drop-down

TEST_F(screen_seams, ComboDropDownFollowsTheMouseAndPutsTheScreenBack) {
  QWidget* w = window();
  ASSERT_NE(w, nullptr);
  focused_combo(50, 1);
  const QImage before = screen0();

  // Queued moves and clicks arrive while the drop-down's own loop pumps the messages.
  struct seen_t {
    bool opened = false;
    int32_t line_after_first_move = 0, line_after_second_move = 0;
    bool bar_on_screen = false;
    int32_t step = 0, ticks = 0;
  } seen;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    const list_record& l = list_of(1);
    const int32_t lh = list_table.line_height;
    const auto line_point = [&](int32_t line) { return QPoint(l.x1 + 20, l.y1 + (line - 1) * lh + lh / 2); };
    if (++seen.ticks > 3000) {  // the drop-down never reacted: close whatever is open
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
      combo_key_catch(27);
      driver.stop();
      return;
    }
    if (seen.step == 0 && run_flags.combo_open && l.page == 4) {
      seen.opened = true;
      QTest::mouseMove(w, line_point(3));
      seen.step = 1;
    } else if (seen.step == 1 && l.hilite_line == 3) {
      seen.line_after_first_move = l.cursor;
      seen.bar_on_screen = screen0() != before;
      QTest::mouseMove(w, line_point(2));
      seen.step = 2;
    } else if (seen.step == 2 && l.hilite_line == 2) {
      seen.line_after_second_move = l.cursor;
      QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, line_point(2));
      seen.step = 3;
    } else if (seen.step == 3) {  // the release on the next pass of the drop-down's loop
      QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, line_point(2));
      seen.step = 4;
      driver.stop();
    }
  });
  driver.start(0);
  QTest::keyClick(w, Qt::Key_Down);  // Down on a focused combo opens its drop-down
  driver.stop();

  EXPECT_TRUE(seen.opened);
  EXPECT_EQ(seen.line_after_first_move, 3);
  EXPECT_TRUE(seen.bar_on_screen);
  EXPECT_EQ(seen.line_after_second_move, 2);
  EXPECT_EQ(seen.step, 4);
  EXPECT_FALSE(run_flags.combo_open);
  std::string text;
  int32_t value = 0;
  combo_lookup("#01", text, value, 20);
  EXPECT_EQ(value, 2);  // the row clicked is the entry picked
  EXPECT_EQ(ran(), std::vector<int32_t>{1});
  const QImage after = screen0();
  ASSERT_EQ(after.size(), before.size());
  EXPECT_TRUE(after == before) << "the screen behind the drop-down is not back";
  EXPECT_TRUE(boxes.empty()) << boxes.front().text;
}

TEST_F(screen_seams, ComboDropDownNearTheBottomEndsAtTheBottomLimitAndEscapeClosesIt) {
  QWidget* w = window();
  ASSERT_NE(w, nullptr);
  focused_combo(440, 3);
  const QImage before = screen0();

  int32_t bottom = 0, top = 0, cursor = 0, ticks = 0;
  QTimer driver;
  QObject::connect(&driver, &QTimer::timeout, [&] {
    const list_record& l = list_of(1);
    if (run_flags.combo_open && l.page == 4) {
      bottom = l.y2;
      top = l.y1;
      cursor = l.cursor;
      QTest::keyClick(w, Qt::Key_Escape);
      driver.stop();
    } else if (++ticks > 3000) {
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
      driver.stop();
    }
  });
  driver.start(0);
  QTest::keyClick(w, Qt::Key_Return);

  const int32_t lh = list_table.line_height;
  EXPECT_EQ(bottom, 480 - 2);  // the last rows of the screen, the frame's lower edge kept inside
  EXPECT_EQ(top, 480 - 2 - (lh * 4 + 7) + 6);
  EXPECT_EQ(cursor, 3);  // the current entry
  std::string text;
  int32_t value = 0;
  combo_lookup("#01", text, value, 20);
  EXPECT_EQ(value, 3);  // nothing picked
  EXPECT_TRUE(ran().empty());
  EXPECT_TRUE(screen0() == before);
  EXPECT_FALSE(run_flags.combo_open);
}

// ---------------------------------------------------------------- status line of a list

TEST_F(screen_seams, EditListStatusTextReachesTheStatusLine) {
  QWidget* w = window();
  ASSERT_NE(w, nullptr);
  focused_edit_list(0);
  const QImage before = screen0();

  QTest::keyClick(w, Qt::Key_Right);  // to column 2 of row 1

  EXPECT_EQ(command_text_info().shown[1], "   1. 2: Ort");
  const QImage after = screen0();
  bool strip_changed = false;
  for (int32_t y = after.height() - message_line_height; y < after.height() && !strip_changed; ++y)
    for (int32_t x = 0; x < 200 && !strip_changed; ++x) strip_changed = after.pixel(x, y) != before.pixel(x, y);
  EXPECT_TRUE(strip_changed) << "nothing was drawn on the status line";
}

// ---------------------------------------------------------------- help window

TEST_F(screen_seams, HelpOpensTheHtmlHelpFileAtTheTopic) {
  window();
  write("Manual.HTML",
        "<html><head><title>Handbuch</title></head><body><p>Inhalt</p><a name=\"Index\"></a><p>Index</p></body></html>");
  write("kapitel.htm", "<html><head><title>Kapitel Drucken</title></head><body>Drucken</body></html>");
  run("", "@0001 manual.hlp Index|\n@0002 manual.hlp Drucken|\n", "/00000040 HELP @0001\n");
  QTextBrowser* browser = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (!browser) browser = top->findChild<QTextBrowser*>("qn_help_browser");
  ASSERT_NE(browser, nullptr) << "no help window";
  EXPECT_TRUE(browser->window()->isVisible());
  EXPECT_EQ(browser->source().fileName(), "Manual.HTML");
  EXPECT_EQ(browser->source().fragment(), "Index");
  // A key that is no anchor finds the page whose title holds it.
  run("", "@0001 manual.hlp Drucken|\n", "/00000040 HELP @0001\n");
  EXPECT_EQ(browser->source().fileName(), "kapitel.htm");
  EXPECT_TRUE(browser->toPlainText().contains("Drucken"));
  // Without a key the help file's first page shows.
  run("", "@0001 manual.hlp|\n", "/00000040 HELP @0001\n");
  EXPECT_EQ(browser->source().fileName(), "Manual.HTML");
  EXPECT_TRUE(browser->source().fragment().isEmpty());
  // A help file without an HTML counterpart is noted in the warning log.
  run("", "@0001 fehlt.hlp Index|\n", "/00000040 HELP @0001\n");
  EXPECT_NE(file_text("PXBERROR.LOG").find("-WARNUNG:Hilfedatei fehlt: fehlt.hlp"), std::string::npos);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(screen_seams, HelpPageInCodePage1252WithoutACharsetShowsItsUmlauts) {
  window();
  // Written on Windows: code page 1252, no charset named; the topic is found by its title.
  write("lager.htm", "<html><head><title>Gr\xF6\xDF" "e</title></head><body><p>Gr\xF6\xDF" "e der T\xFC" "r</p></body></html>");
  write("start.htm", "<html><head><title>Start</title></head><body>\xC3\xA4 in UTF-8</body></html>");
  run("", "@0001 start.hlp Gr\xF6\xDF" "e|\n", "/00000040 HELP @0001\n");
  QTextBrowser* browser = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (!browser) browser = top->findChild<QTextBrowser*>("qn_help_browser");
  ASSERT_NE(browser, nullptr) << "no help window";
  EXPECT_EQ(browser->source().fileName(), "lager.htm");
  EXPECT_TRUE(browser->toPlainText().contains(QString::fromUtf8("Größe der Tür"))) << browser->toPlainText().toStdString();
  // A page in valid UTF-8 that names no charset stays UTF-8.
  run("", "@0001 start.hlp|\n", "/00000040 HELP @0001\n");
  EXPECT_TRUE(browser->toPlainText().contains(QString::fromUtf8("ä in UTF-8"))) << browser->toPlainText().toStdString();
  EXPECT_TRUE(boxes.empty());
}

TEST_F(screen_seams, F1WithoutAPageOrADesktopOpenerNamesWhatIsMissing) {
  QWidget* w = window();
  // No help folder: the page is named by its path here.
  QTest::keyClick(w, Qt::Key_F1);
  const std::string page = (std::filesystem::current_path() / "help/htdocs/index.html").string();
  EXPECT_NE(file_text("PXBERROR.LOG").find("-WARNUNG:Unable to open " + page + ": No such file or directory\n"),
            std::string::npos)
      << file_text("PXBERROR.LOG");
  std::filesystem::create_directories("help/htdocs");
  write("help/htdocs/index.html", "<html><body>Hilfe</body></html>");
  // A machine where no program opens documents: nothing on the search path.
  std::filesystem::create_directories("nothing");
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (std::filesystem::current_path() / "nothing").c_str(), 1);
  QTest::keyClick(w, Qt::Key_F1);
  setenv("PATH", path.c_str(), 1);
  const std::string log = file_text("PXBERROR.LOG");
  EXPECT_NE(log.find("-WARNUNG:Unable to open " + page + ": no xdg-open on the search path to open it with\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("explorer"), std::string::npos) << log;
  EXPECT_TRUE(boxes.empty());
}

// ---------------------------------------------------------------- window title

TEST_F(screen_seams, ShowAndQueryReadTheMainWindowsTitle) {
  window();
  write("notiz.txt", "erste Zeile\r\n");
  box_answer = IDYES;
  run("#0\n", "@0001 Kasse 3|\n@0002 notiz.txt|\n@0003 Weiter?|\n",
      "/00000001 AREA %0001 @0001\n/00000001 SHOW @0002\nQUERY @0003\n");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Kasse 3");
  bool titled = false;
  for (QWidget* top : QApplication::topLevelWidgets())
    titled = titled || (top->isVisible() && top->windowTitle() == "Kasse 3" && top != qnb::window_widget(main_window()));
  EXPECT_TRUE(titled) << "no text window with the main window's title";
}

// ---------------------------------------------------------------- SOUND

TEST_F(screen_seams, SoundAsksTheDesktopForTheEventSoundOfItsType) {
  window();
  const int32_t before = qn_last_sound().requests;
  const std::pair<const char*, const char*> cases[] = {
      {"#1 #0\n", "dialog-information"}, {"#2 #0\n", "window-question"}, {"#3 #0\n", "dialog-error"},
      {"#4 #0\n", "dialog-warning"},     {"#7 #0\n", "bell"}};
  const int32_t types[] = {0x40, 0x20, 0x10, 0x30, 0};
  for (size_t i = 0; i < std::size(cases); ++i) {
    run(cases[i].first, "", "SOUND %0001\n");
    const qn_sound_request s = qn_last_sound();
    EXPECT_EQ(s.type, types[i]);
    EXPECT_EQ(s.event_id, cases[i].second);
  }
  EXPECT_EQ(qn_last_sound().requests, before + 5);
  EXPECT_TRUE(boxes.empty());
}

// ---------------------------------------------------------------- slider arrows

TEST_F(screen_seams, SliderArrowsOfTheShippedIconLibraryStayInTheirButtons) {
  window();
  std::filesystem::copy_file(std::string(WINKYR_SOURCE_DIR) + "/data/icon.lib", "icon.lib");
  init_common();
  ups u;
  screen_nr(0, u, 0, 0, 640, 480);
  NEW_PEN(u, {.colour = 0xFFFFFF});
  NEW_BRUSH(u, {.colour = 0xFFFFFF});
  DRAW_RECTANGLE(u, {.px = qn_rect{0, 0, 640, 480}});
  screen_stop_nr(0);
  int32_t status = 0;
  allocate_xmm(3, 30, 40, status);
  const int32_t n = add_area(20, 20, 300, 200, 0, area_list);
  area(n).list = 3;
  lst_area_setup();
  const QImage image = screen0();
  // The arrows of the column slider, areas n + 1 (up) and n + 3 (down).
  for (const int32_t k : {n + 1, n + 3}) {
    const area_record& arrow = area(k);
    int32_t black_inside = 0;
    for (int32_t y = arrow.y1 + 3; y <= arrow.y2 - 3; ++y)  // within the button's bevel
      for (int32_t x = arrow.x1 + 3; x <= arrow.x2 - 3; ++x) black_inside += image.pixel(x, y) == qRgb(0, 0, 0);
    EXPECT_GT(black_inside, 5) << "no arrow in area " << k;
    // Right of the slider the screen stays as it was.
    for (int32_t y = arrow.y1; y <= arrow.y2; ++y)
      for (int32_t x = arrow.x2 + 2; x <= arrow.x2 + 40; ++x)
        ASSERT_EQ(image.pixel(x, y), qRgb(255, 255, 255)) << "icon spills out of area " << k << " at " << x << "," << y;
  }
}

}  // namespace
