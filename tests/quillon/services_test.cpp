// The error convention, message boxes, the single-instance lock and the small services.
#include "quillon_fixture.h"

#include "quillon/api/numbered_names.h"
#include "quillon/api/save_file.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <sys/wait.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

namespace {

using services_test = quillon_test;

TEST_F(services_test, status_argument_takes_the_failure_code) {
  int status = 12345;
  qn_error("something failed", 0x10000, &status);
  EXPECT_EQ(status, 0x10000);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(std::filesystem::exists("qn_self.tmp"));
  // Routines clear the status on entry.
  status = 77;
  SET_TIMER(1.0f, 0x2002, &status);
  EXPECT_EQ(status, 0);
  DESTROY_TIMER(0x2002);
}

TEST_F(services_test, option_bit_0x4000_appends_to_the_log_file) {
  qn_set_option_word(0x4000);
  EXPECT_EQ(qn_option_word(), 0x4000);
  qn_error("first", 0x10000, nullptr);
  qn_error("second", 8, nullptr);
  EXPECT_EQ(read_file("qn_self.tmp"),
            "Error diagnosed by Quillon: first#  0x10000\n"
            "Error diagnosed by Quillon: second#      0x8\n");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(services_test, otherwise_a_yes_no_box_and_no_ends_the_program) {
  int32_t closed = 0;
  const int32_t main = CREATE_MAIN_WINDOW({.close = [&](int32_t) {
    ++closed;
    return 0;
  }});
  box_answer = IDYES;
  qn_error("Unable to do it", 0x10000, nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Error diagnosed by Quillon");
  EXPECT_EQ(boxes[0].text, "Unable to do it#00010000... Continue?");
  EXPECT_EQ(boxes[0].style & 0xF, MB_YESNO);
  EXPECT_TRUE(exit_codes.empty());
  EXPECT_EQ(is_valid_window(main), 1);
  box_answer = IDNO;
  qn_error("Unable to do it", 2, nullptr);
  EXPECT_EQ(exit_codes, std::vector<int>{4});
  EXPECT_EQ(is_valid_window(main), 0);  // destroyed without asking
  EXPECT_EQ(closed, 0);
  EXPECT_TRUE(qn_quitting());
}

// Where nobody could see a box (the offscreen platform), none is shown and none waits: each
// takes automatic mode's answer, the library's error box its No, dialogs and menus are cancelled.
TEST_F(services_test, unseen_boxes_take_the_automatic_answer_without_waiting) {
  const int32_t main = CREATE_MAIN_WINDOW({});
  qn_set_boxes_unseen(true);
  box_answer = IDYES;
  EXPECT_EQ(MESSAGE_BOX("Weiter?", {.style = MB_YESNO}), IDNO);
  EXPECT_EQ(MESSAGE_BOX("Weiter?", {.style = MB_YESNOCANCEL}), IDNO);
  EXPECT_EQ(MESSAGE_BOX("Fehler", {.style = MB_OKCANCEL}), IDCANCEL);
  EXPECT_EQ(MESSAGE_BOX("Info", {.style = MB_OK}), IDOK);
  std::string chosen = "x";
  qn_set_file_dialog_answerer([](const file_dialog_opts&, std::string& c) {
    c = "picked";
    return true;
  });
  EXPECT_FALSE(qn_file_dialog({.title = "Datei"}, chosen));
  EXPECT_EQ(chosen, "");
  EXPECT_EQ(POP_UP_MENU({{.text = "Eins", .id = 1}}, {0, 0}), 0);
  EXPECT_TRUE(boxes.empty());  // the test's answerer was never asked

  qn_error("Unable to do it", 2, nullptr);
  EXPECT_EQ(exit_codes, std::vector<int>{qn_status_error_box});
  EXPECT_EQ(is_valid_window(main), 0);
}

TEST_F(services_test, option_word_zero_stays_silent) {
  qn_set_option_word(0);
  qn_error("quiet", 1, nullptr);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(std::filesystem::exists("qn_self.tmp"));
}

TEST_F(services_test, failed_allocation) {
  int status = -1;
  qn_out_of_memory(&status);
  EXPECT_EQ(status, 8);
  EXPECT_TRUE(exit_codes.empty());
  qn_out_of_memory(nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Insufficient Memory; Application terminating");
  EXPECT_EQ(exit_codes.size(), 1u);
}

TEST_F(services_test, message_boxes_go_to_the_answerer) {
  box_answer = IDCANCEL;
  EXPECT_EQ(MESSAGE_BOX("Wirklich beenden?   ", {.caption = "WinKYR", .style = MB_YESNO | MB_ICONQUESTION}),
            IDCANCEL);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Wirklich beenden?");  // trailing blanks go at the border
  EXPECT_EQ(boxes[0].caption, "WinKYR");
  EXPECT_EQ(boxes[0].style, MB_YESNO | MB_ICONQUESTION);
  MESSAGE_BOX("ohne Titel");
  EXPECT_EQ(boxes[1].caption, "");
  EXPECT_EQ(boxes[1].style, MB_OK);
}

TEST_F(services_test, real_message_box_is_answered_by_its_button) {
  qn_set_box_answerer(nullptr);
  qnb::ensure_app();
  QTimer presser;
  QObject::connect(&presser, &QTimer::timeout, [] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(box, &escape);
    }
  });
  presser.start(20);
  EXPECT_EQ(MESSAGE_BOX("Frage", {.caption = "Test", .style = MB_OKCANCEL}), IDCANCEL);
}

// The main window goes (the library's exit command, as every end of a run sends it) while a box
// that belongs to it waits in its exec: the box is taken out of the window and returns as
// cancelled instead of being deleted with it under its own loop; the runtime's steps run before
// the box waits and once it has gone.
TEST_F(services_test, window_that_goes_while_its_box_waits_lets_the_box_return_first) {
  qn_set_box_answerer(nullptr);
  qnb::ensure_app();
  const int32_t window = CREATE_MAIN_WINDOW({});
  ASSERT_NE(window, 0);
  static int before = 0, after = 0;
  static bool box_left_after = false;
  before = after = 0;
  qn_set_wait_steps([] { ++before; }, [] {
    ++after;
    box_left_after = QApplication::activeModalWidget() == nullptr;
  });
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [window] {
    if (QApplication::activeModalWidget() && qn_main_window() == window) SEND_COMMAND(0x4001, window);
  });
  closer.start(20);
  EXPECT_EQ(MESSAGE_BOX("Frage", {.caption = "Test", .style = MB_OKCANCEL, .window = window}), IDCANCEL);
  EXPECT_EQ(qn_main_window(), 0);
  EXPECT_EQ(before, 1);
  EXPECT_EQ(after, 1);
  EXPECT_TRUE(box_left_after);
}

// The test's folder as the runtime directory while it lasts (only the user may enter it, as the
// runtime and Qt want it); the one before afterwards, so that later tests do not fall back to the
// temporary folder for one that is gone.
struct runtime_directory {
  explicit runtime_directory(const std::filesystem::path& folder) {
    if (const char* old = std::getenv("XDG_RUNTIME_DIR")) before = old;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
  }
  ~runtime_directory() {
    if (before) setenv("XDG_RUNTIME_DIR", before->c_str(), 1);
    else unsetenv("XDG_RUNTIME_DIR");
  }
  std::optional<std::string> before;
};

// The lock lives in the runtime directory; a private one keeps parallel test processes of this
// same executable apart.
TEST_F(services_test, instance_lock_sees_another_holder) {
  const runtime_directory own(dir_);
  const std::string path = qn_instance_lock_path();
  EXPECT_EQ(path.rfind(dir_.string(), 0), 0u);
  EXPECT_EQ(path.find('/', path.rfind("qn_")), std::string::npos);  // the key has no separators left
  EXPECT_NE(path.find("#"), std::string::npos);
  // Another process holds the lock: a child that keeps it until we are done.
  int ready[2], done[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(done), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT, 0600);
    flock(fd, LOCK_EX);
    char c = 1;
    (void)!write(ready[1], &c, 1);
    (void)!read(done[0], &c, 1);
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  quillon_init();
  EXPECT_TRUE(quillon_already_running());
  (void)!write(done[1], &c, 1);
  int st = 0;
  waitpid(child, &st, 0);
}

TEST_F(services_test, instance_lock_free_means_first_instance) {
  const runtime_directory own(dir_);
  CREATE_MAIN_WINDOW({});  // runs quillon_init
  EXPECT_FALSE(quillon_already_running());
  // This process now holds the lock: another open file cannot take it.
  const int fd = open(qn_instance_lock_path().c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
  close(fd);
}

TEST_F(services_test, colours_bits_and_metrics) {
  EXPECT_EQ(RGB(255, 128, 0), 0x0080FFu);
  EXPECT_EQ(RGB(300, -5, 256), 0xFF00FFu);
  EXPECT_EQ(RGB(32, 32, 3), 0x032020u);
  EXPECT_EQ(ADD_BIT_3(1, 2, 0x40), 0x43);
  EXPECT_EQ(ADD_BIT_5(0x1000, 1, 2, 0x40, 0x80), 0x10C3);
  EXPECT_EQ(ADD_BIT_6(1, 2, 4, 8, 16, 32), 63);
  EXPECT_TRUE(BIT_IS_SET(int32_t(0xFFFF8000u), int32_t(0x80000000u)));
  EXPECT_FALSE(BIT_IS_SET(0x7FFF, int32_t(0x80000000u)));
  for (int index : {2, 4, 15, 16, 17, 32, 33}) {
    int status = -1;
    const int32_t v = get_system_metrics(index, &status);
    EXPECT_GT(v, 0) << index;
    EXPECT_LT(v, 10000) << index;
    EXPECT_EQ(status, 0) << index;
  }
  EXPECT_GT(get_system_metrics(16), get_system_metrics(2));
  int status = -1;
  EXPECT_EQ(get_system_metrics(0x7777, &status), 0);
  EXPECT_EQ(status, 0x10000);
}

TEST_F(services_test, exe_name_sleep_and_beep) {
  std::string path = "old";
  int status = -1;
  GET_EXE_NAME(path, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(path.find("test_quillon"), std::string::npos);
  EXPECT_EQ(path.front(), '/');
  // A sleep returns; a negative or undefined length returns at once instead of sleeping forever.
  SLEEP_SECONDS(0.05f);
  SLEEP_SECONDS(-3.0f);
  SLEEP_SECONDS(std::numeric_limits<float>::quiet_NaN());
  status = -1;
  message_beep(0x30, &status);
  EXPECT_EQ(status, 0);
}

TEST_F(services_test, icons_and_timer_edge_cases) {
  const int32_t icon = LOAD_ICON("kyricon");
  EXPECT_NE(icon, 0);
  EXPECT_NE(qnb::icon_image(icon), nullptr);
  const int32_t main = CREATE_MAIN_WINDOW({.icon = icon});
  EXPECT_NE(main, 0);
  DELETE_OBJECT(icon);
  EXPECT_EQ(qnb::icon_image(icon), nullptr);
  int status = -1;
  SET_TIMER(std::numeric_limits<float>::quiet_NaN(), 0x2002, &status);  // the shortest time
  EXPECT_EQ(status, 0);
  SET_TIMER(1e30f, 0x2003, &status);  // clamped, never overflowing
  EXPECT_EQ(status, 0);
  DESTROY_TIMER(0x2003, &status);
  EXPECT_EQ(status, 0);
  DESTROY_TIMER(0x2003);  // without a status an unknown timer is no error
  EXPECT_TRUE(boxes.empty());
}

TEST_F(services_test, code_page_texts_cross_the_qt_border_intact) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(char(b));
  EXPECT_EQ(qnb::to_1252(qnb::from_1252(all)), all);
  EXPECT_EQ(qnb::from_1252("\x80\xE4\xB0"), QString::fromUtf8("€ä°"));
  EXPECT_EQ(qnb::to_1252(QString::fromUtf8("Ω")), "?");
}

// A numbered name is held by its empty file from the claim on.  Where another run has put its
// own file in that place meanwhile, the save does not replace it; a save given up leaves no
// empty file behind.
TEST_F(services_test, save_into_a_claimed_name_never_replaces_another_runs_file) {
  const numbered_series plots{.prefix = "PLTF", .suffix = ".PLT", .digits = 4};
  const claimed_name first = claim_numbered_name(plots, true);
  ASSERT_EQ(first.error, 0);
  EXPECT_EQ(first.path, "PLTF0001.PLT");
  std::filesystem::remove("PLTF0001.PLT");
  std::ofstream("PLTF0001.PLT") << "other run";
  save_file out;
  ASSERT_EQ(out.open("PLTF0001.PLT"), 0);
  out.write("this run");
  EXPECT_EQ(out.commit(), EEXIST);
  EXPECT_EQ(read_file("PLTF0001.PLT"), "other run");

  const claimed_name second = claim_numbered_name(plots, true);
  EXPECT_EQ(second.path, "PLTF0002.PLT");
  ASSERT_EQ(out.open(second.path), 0);
  out.write("this run");
  EXPECT_EQ(out.commit(), 0);
  EXPECT_EQ(read_file("PLTF0002.PLT"), "this run");

  const claimed_name third = claim_numbered_name(plots, true);
  ASSERT_EQ(out.open(third.path), 0);
  out.discard();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), std::filesystem::directory_iterator()), 2);
}

}  // namespace
