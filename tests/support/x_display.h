// A display of its own for a test that runs the runtime's executable with boxes shown: a virtual
// X server (Xvfb) on a free display number, and a look at its windows as a user sees them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class x_display {
 public:
  x_display();  // starts the server; name() is empty when it could not be started
  ~x_display();
  x_display(const x_display&) = delete;
  x_display& operator=(const x_display&) = delete;

  const std::string& name() const { return name_; }  // ":N", for DISPLAY
  // The shown top-level windows with this title, in the server's stacking order.
  std::vector<uint32_t> windows_titled(std::string_view title) const;
  // Waits (up to a minute, a safety net) until a shown window has this title and is none of
  // `known`; its id, or 0.
  uint32_t wait_for_window(std::string_view title, const std::vector<uint32_t>& known = {}) const;
  // Asks the window to close as a window manager's close button does (WM_DELETE_WINDOW).
  void close_window(uint32_t window) const;

 private:
  std::string name_;
  int server_ = -1;  // the server's process id
  void* connection_ = nullptr;
};
