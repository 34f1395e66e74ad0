#include "x_display.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* reply =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(reply);
  return a;
}

std::string property_text(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
  xcb_get_property_reply_t* reply =
      xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
  std::string text;
  if (reply && reply->format == 8)
    text.assign(static_cast<const char*>(xcb_get_property_value(reply)), size_t(xcb_get_property_value_length(reply)));
  std::free(reply);
  return text;
}

}  // namespace

x_display::x_display() {
  int fds[2];
  if (pipe(fds) != 0) return;
  const pid_t child = fork();
  if (child == 0) {
    // The server ends with the test program, also where that is killed (a time-out, a broken
    // pipe) before its display's end can stop the server.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() == 1) _exit(127);
    close(fds[0]);
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    const std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "1024x768x24",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (child < 0) {
    close(fds[0]);
    return;
  }
  server_ = child;
  // The server writes its display number once it accepts connections.
  std::string number;
  char ch = 0;
  pollfd p{fds[0], POLLIN, 0};
  while (poll(&p, 1, 30000) > 0 && read(fds[0], &ch, 1) == 1 && ch != '\n') number += ch;
  close(fds[0]);
  if (number.empty()) return;
  name_ = ":" + number;
  xcb_connection_t* c = xcb_connect(name_.c_str(), nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    name_.clear();
    return;
  }
  connection_ = c;
}

x_display::~x_display() {
  if (connection_) xcb_disconnect(static_cast<xcb_connection_t*>(connection_));
  if (server_ > 0) {
    kill(server_, SIGTERM);
    waitpid(server_, nullptr, 0);
  }
}

std::vector<uint32_t> x_display::windows_titled(std::string_view title) const {
  std::vector<uint32_t> out;
  auto* c = static_cast<xcb_connection_t*>(connection_);
  if (!c) return out;
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const xcb_atom_t net_name = atom(c, "_NET_WM_NAME");
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
  if (!tree) return out;
  const xcb_window_t* children = xcb_query_tree_children(tree);
  for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, children[i]), nullptr);
    const bool shown = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    if (!shown) continue;
    std::string name = property_text(c, children[i], net_name);
    if (name.empty()) name = property_text(c, children[i], XCB_ATOM_WM_NAME);
    if (name == title) out.push_back(children[i]);
  }
  std::free(tree);
  return out;
}

uint32_t x_display::wait_for_window(std::string_view title, const std::vector<uint32_t>& known) const {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (std::chrono::steady_clock::now() < give_up) {
    for (uint32_t w : windows_titled(title))
      if (std::find(known.begin(), known.end(), w) == known.end()) return w;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}

void x_display::close_window(uint32_t window) const {
  auto* c = static_cast<xcb_connection_t*>(connection_);
  if (!c) return;
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = atom(c, "WM_PROTOCOLS");
  event.data.data32[0] = atom(c, "WM_DELETE_WINDOW");
  event.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
  xcb_flush(c);
}
