// System services: metrics, the executable's name, sleeping and system libraries opened late.
#include "quillon/backend/backend.h"
#include "quillon/api/libraries.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <unistd.h>

int32_t get_system_metrics(int32_t index, int* status) {
  qnb::clear_status(status);
  qnb::ensure_app();
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect full = screen ? screen->geometry() : QRect(0, 0, 800, 600);
  const QRect avail = screen ? screen->availableGeometry() : full;
  const QStyle* style = QApplication::style();
  const int scroll = style ? style->pixelMetric(QStyle::PM_ScrollBarExtent) : 16;
  const int caption = 23;  // the window manager draws the caption; its usual height
  int32_t value = 0;
  switch (index) {
    case 0: value = full.width(); break;                   // SM_CXSCREEN
    case 1: value = full.height(); break;                  // SM_CYSCREEN
    case 2: case 3: value = scroll; break;                 // SM_CXVSCROLL, SM_CYHSCROLL
    case 4: value = caption; break;                        // SM_CYCAPTION
    case 5: case 6: value = 1; break;                      // SM_CXBORDER, SM_CYBORDER
    case 7: case 8: value = 3; break;                      // SM_CXDLGFRAME, SM_CYDLGFRAME
    case 9: case 10: case 20: case 21: value = scroll; break;  // thumb and arrow sizes
    case 11: case 12: case 13: case 14: value = 32; break;  // icon and cursor sizes
    case 15: value = 20; break;                            // SM_CYMENU
    case 16: value = avail.width(); break;                 // SM_CXFULLSCREEN
    case 17: value = avail.height() - caption; break;      // SM_CYFULLSCREEN
    case 19: value = 1; break;                             // SM_MOUSEPRESENT
    case 32: case 33: value = 4; break;                    // SM_CXFRAME, SM_CYFRAME
    case 43: value = 3; break;                             // SM_CMOUSEBUTTONS
    default: value = 0; break;
  }
  if (value == 0 && status) *status = qnb::QN_FAIL;
  return value;
}

std::string qnb::executable_path() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

void GET_EXE_NAME(std::string& path, int* status) {
  qnb::clear_status(status);
  const std::string exe = qnb::executable_path();
  if (exe.empty()) {
    path.clear();
    qn_error("Error in: GET_EXE_NAME", qnb::QN_FAIL, status);
    return;
  }
  path = qnb::to_1252(QString::fromStdString(exe));
}

void SLEEP_SECONDS(float seconds) {
  if (!(seconds > 0)) return;  // also NaN
  const double s = std::min(double(seconds), 86400.0);
  qn_before_waiting();
  std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

void* qn_open_library(const char* file, std::string* why) {
  void* library = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (!library && why) {
    const char* reason = dlerror();
    *why = reason ? reason : "unknown error";
  }
  return library;
}

void* qn_library_entry(void* library, const char* name) { return library ? dlsym(library, name) : nullptr; }
