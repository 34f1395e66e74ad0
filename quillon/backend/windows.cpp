// Window records and the window procedure: the main window and secondary windows as Qt widgets,
// each with a backing image that drawing contexts draw into and that the widget shows.  A window
// with a menu bar shows the bar in its top rows and its client area below it: the backing image,
// the paint, the mouse positions and the client rectangle all count from the first row under
// the bar, as they do on the platform, so a program's row 0 is never hidden by the bar.
#include "quillon/backend/backend.h"
#include "quillon/backend/scroll_text.h"
#include "quillon/api/coordinates.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include <map>
#include <memory>

namespace {

constexpr int32_t WS_THICKFRAME = 0x00040000;
// The Alt key is a system key: alone it only reaches for the menu bar, with another key it is
// that key's modifier.  Its own presses and releases are no key messages of the window.
constexpr int32_t VK_MENU = 0x12;
constexpr int32_t SCROLL_TEXT_FLAG = 0x0800;  // window flags 0x6800: scroll-text window

class qn_window;

struct window_record {
  int32_t handle = 0;
  bool main = false;
  qn_window* widget = nullptr;
  QImage backing;
  qn_paint_cb paint;
  qn_close_cb close;
  qn_scroll_cb scroll;
  qn_notify_cb notify;
  qn_mouse_cb mouse;
  int32_t mouse_mask = 0;
  qnb::scroll_text_view* text = nullptr;  // scroll-text windows only
  bool needs_paint = true;  // the paint callback must redraw the backing image
  bool in_paint = false;
  bool direct_draw = false;
  QPointer<QWidget> menu_bar;  // the bar above the client area, when the window has one
  int menu_height = 0;         // rows of the window that the bar takes
};

struct window_table {
  std::map<int32_t, std::unique_ptr<window_record>> records;
  int32_t main_window = 0;
};
window_table& table() {
  static window_table t;
  return t;
}

window_record* find_record(int32_t handle) {
  auto it = table().records.find(handle);
  return it == table().records.end() ? nullptr : it->second.get();
}

QImage blank_image(int w, int h) {
  QImage img(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
  img.fill(Qt::white);
  return img;
}

std::string trimmed(std::string_view text) {
  size_t n = text.size();
  while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\0')) --n;
  return std::string(text.substr(0, n));
}

void destroy_window(int32_t handle);

class qn_window : public QWidget {
 public:
  explicit qn_window(int32_t handle) : handle_(handle) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    window_record* r = find_record(handle_);
    if (!r) return;
    if (r->needs_paint && r->paint && !r->in_paint) {
      r->needs_paint = false;
      r->in_paint = true;
      // The context is closed and the record released whatever way the callback leaves.
      struct paint_scope {
        int32_t handle;
        ups u;
        ~paint_scope() {
          qnb::close_context(u);
          if (window_record* rec = find_record(handle)) rec->in_paint = false;
        }
      } scope{handle_, {}};
      qnb::open_paint_context(handle_, scope.u);
      const qn_paint_cb cb = r->paint;
      cb(handle_, scope.u);
    }
    r = find_record(handle_);
    if (!r) return;
    QPainter p(this);
    p.drawImage(0, r->menu_height, r->backing);
  }

  void resizeEvent(QResizeEvent*) override {
    window_record* r = find_record(handle_);
    if (!r) return;
    fit_client(*r);
    notify(isMaximized() ? 2 : isMinimized() ? 1 : 0);
  }

  void moveEvent(QMoveEvent*) override { notify(1029); }

  void changeEvent(QEvent* e) override {
    if (e->type() == QEvent::WindowStateChange) {
      if (isMinimized()) notify(1);
    } else if (e->type() == QEvent::ActivationChange) {
      if (!isActiveWindow()) qnb::keys_reset();  // releases are not seen while inactive
      notify(isActiveWindow() ? 1030 : 1031);
    }
    QWidget::changeEvent(e);
  }

  void closeEvent(QCloseEvent* e) override {
    // Destruction is the library's business: the widget itself never closes on its own.
    e->ignore();
    window_record* r = find_record(handle_);
    if (!r) return;
    if (r->close) {
      const qn_close_cb cb = r->close;
      if (cb(handle_) == 0) return;
    }
    destroy_window(handle_);
  }

  void keyPressEvent(QKeyEvent* e) override {
    const int32_t handle = handle_;
    qnb::note_modifiers(e->modifiers());
    const int32_t vk = qnb::qt_key_to_vk(e->key(), e->modifiers());
    if (vk != 0) {
      qnb::note_key(vk, true);
      if (vk != VK_MENU) qnb::dispatch_control(0x4100, vk, handle);
    }
    for (char ch : qnb::typed_characters(e->key(), e->modifiers(), e->text()))
      qnb::dispatch_control(0x4102, static_cast<unsigned char>(ch), handle);
  }

  void keyReleaseEvent(QKeyEvent* e) override {
    if (e->isAutoRepeat()) return;
    qnb::note_modifiers(e->modifiers());
    const int32_t vk = qnb::qt_key_to_vk(e->key(), e->modifiers());
    if (vk == 0) return;
    qnb::note_key(vk, false);
    if (vk != VK_MENU) qnb::dispatch_control(0x4101, vk, handle_);
  }

  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) mouse(QN_MOUSE_LEFT_DOWN, e);
    if (e->button() == Qt::RightButton) mouse(QN_MOUSE_RIGHT_DOWN, e);
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) mouse(QN_MOUSE_LEFT_UP, e);
    if (e->button() == Qt::RightButton) mouse(QN_MOUSE_RIGHT_UP, e);
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    // Without interest in double clicks the second click is an ordinary press.
    window_record* r = find_record(handle_);
    if (!r) return;
    if (e->button() == Qt::LeftButton)
      mouse((r->mouse_mask & QN_MOUSE_LEFT_DOUBLE) ? QN_MOUSE_LEFT_DOUBLE : QN_MOUSE_LEFT_DOWN, e);
    if (e->button() == Qt::RightButton) mouse(QN_MOUSE_RIGHT_DOWN, e);
  }
  void mouseMoveEvent(QMouseEvent* e) override { mouse(QN_MOUSE_MOVE, e); }

  void wheelEvent(QWheelEvent* e) override {
    window_record* r = find_record(handle_);
    if (!r || !r->scroll) return;
    const qn_scroll_cb cb = r->scroll;
    cb(handle_, e->angleDelta().y() > 0 ? 0 : 1, 0);  // line up / line down
  }

  bool event(QEvent* e) override;

 public:
  bool busy() const { return busy_ > 0; }

  // The client area: the window's inside less the rows of its menu bar.
  QSize client_size(int menu_height) const { return {width(), std::max(height() - menu_height, 1)}; }

  // The menu bar across the top rows and the backing image sized to the client area below it;
  // a backing image that changes size keeps what it showed and is painted anew.
  void fit_client(window_record& r) {
    if (r.menu_bar) r.menu_bar->setGeometry(0, 0, width(), r.menu_height);
    const QSize client = client_size(r.menu_height);
    if (r.backing.size() == client) return;
    QImage resized = blank_image(client.width(), client.height());
    QPainter p(&resized);
    p.drawImage(0, 0, r.backing);
    p.end();
    r.backing = resized;
    r.needs_paint = true;
    update();
    if (isVisible()) qnb::note_paint_pending();
  }

 private:
  void notify(int32_t code) {
    window_record* r = find_record(handle_);
    if (!r || !r->notify) return;
    const qn_notify_cb cb = r->notify;
    cb(handle_, code);
  }

  void mouse(int32_t code, QMouseEvent* e) {
    window_record* r = find_record(handle_);
    qnb::note_modifiers(e->modifiers());
    if (!r || !r->mouse || !(r->mouse_mask & code)) return;
    const qn_mouse_cb cb = r->mouse;
    int32_t event = code;
    const QPoint at = e->position().toPoint();
    qn_point pt{at.x(), at.y() - r->menu_height};  // client coordinates, under the menu bar
    // No drag is ever reported: every event, the release too, stands at its own position.
    qn_rect drag{};
    int32_t window = handle_;
    qn_point second{};
    int32_t keystate = 0;
    if (e->buttons() & Qt::LeftButton) keystate |= 0x1;
    if (e->buttons() & Qt::RightButton) keystate |= 0x2;
    if (e->modifiers() & Qt::ShiftModifier) keystate |= 0x4;
    if (e->modifiers() & Qt::ControlModifier) keystate |= 0x8;
    if (e->buttons() & Qt::MiddleButton) keystate |= 0x10;
    cb(event, pt, drag, window, second, keystate);
  }

  int32_t handle_;
  int busy_ = 0;  // events of this widget now being handled (they may nest)
};

// A command message posted to a window; counted so that the pump knows work is waiting.
class command_event : public QEvent {
 public:
  static QEvent::Type kind() {
    static const auto t = QEvent::Type(QEvent::registerEventType());
    return t;
  }
  explicit command_event(int32_t command) : QEvent(kind()), command(command) {
    qnb::note_posted_event(+1);
  }
  ~command_event() override { qnb::note_posted_event(-1); }
  int32_t command;
};

bool qn_window::event(QEvent* e) {
  if (e->type() == QEvent::DeferredDelete) return QWidget::event(e);  // deletes this widget
  struct busy_guard {
    int& n;
    explicit busy_guard(int& count) : n(count) { ++n; }
    ~busy_guard() { --n; }
  } guard(busy_);
  if (e->type() == command_event::kind()) {
    // A command posted to a window that was destroyed meanwhile is dropped.
    if (find_record(handle_)) qnb::window_command(handle_, static_cast<command_event*>(e)->command);
    return true;
  }
  return QWidget::event(e);
}

// A widget whose own handler is on the stack is deleted once that handler has returned; a box or
// dialog inside it that still waits in its exec is taken out of it first and made to return.
void dispose(qn_window* w) {
  qnb::release_nested_widgets(w);
  w->hide();
  if (w->busy())
    w->deleteLater();
  else
    delete w;
}

void destroy_window(int32_t handle) {
  auto it = table().records.find(handle);
  if (it == table().records.end()) return;
  std::unique_ptr<window_record> r = std::move(it->second);
  table().records.erase(it);
  if (r->widget) dispose(r->widget);
  if (r->main) {
    table().main_window = 0;
    // The main window owns every other window and the timers; its end ends the loop.
    std::vector<int32_t> others;
    for (auto& [h, rec] : table().records) others.push_back(h);
    for (int32_t h : others) destroy_window(h);
    qnb::timers_reset();
    qn_post_quit(0);
  }
}

window_record& new_record(bool main) {
  qnb::ensure_app();
  auto rec = std::make_unique<window_record>();
  rec->handle = qnb::new_handle();
  rec->main = main;
  rec->widget = new qn_window(rec->handle);
  window_record& r = *rec;
  table().records.emplace(r.handle, std::move(rec));
  return r;
}

void apply_show_command(QWidget* w, int32_t show) {
  switch (show) {
    case 0: w->hide(); break;
    case 2: case 6: case 7: w->showMinimized(); break;
    case 3: w->showMaximized(); break;
    default: w->showNormal(); break;
  }
}

}  // namespace

namespace qnb {

QImage* window_image(int32_t window) {
  window_record* r = find_record(window);
  return r ? &r->backing : nullptr;
}

QWidget* window_widget(int32_t window) {
  window_record* r = find_record(window);
  return r ? r->widget : nullptr;
}

QImage window_picture(int32_t window) {
  window_record* r = find_record(window);
  if (!r) return {};
  // A scroll-text window shows its text widget, not the backing image behind it.
  if (r->text) return r->widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
  return r->backing;
}

QSize window_client_size(int32_t window) {
  window_record* r = find_record(window);
  return r ? r->widget->client_size(r->menu_height) : QSize();
}

void set_window_menu_bar(int32_t window, QWidget* bar, int height) {
  window_record* r = find_record(window);
  if (!r) return;
  r->menu_bar = bar;
  r->menu_height = bar ? std::max(height, 0) : 0;
  r->widget->fit_client(*r);
}

void window_image_changed(int32_t window) {
  if (window_record* r = find_record(window)) {
    r->widget->update();
    if (r->widget->isVisible()) note_paint_pending();
  }
}

bool window_has_direct_draw(int32_t window) {
  window_record* r = find_record(window);
  return r && r->direct_draw;
}
void set_window_direct_draw(int32_t window, bool open) {
  if (window_record* r = find_record(window)) r->direct_draw = open;
}

void destroy_main_window_now() {
  if (table().main_window) destroy_window(table().main_window);
}

void window_command(int32_t window, int32_t command) {
  dispatch_control(command, 0, window);
  // The library's own exit command becomes the close request of the main window.
  if (command == 0x4001) {
    if (window_record* m = find_record(table().main_window)) m->widget->close();
  }
}

void windows_reset() {
  auto records = std::move(table().records);
  table().records.clear();
  for (auto& [h, r] : records) dispose(r->widget);
  table().main_window = 0;
}

}  // namespace qnb

int32_t qn_main_window() { return table().main_window; }

int32_t CREATE_MAIN_WINDOW(const main_window_opts& o) {
  qnb::clear_status(o.status);
  qnb::ensure_app();
  quillon_init();
  if (table().main_window) {
    qn_error("Unable to create the main window: it exists already", qnb::QN_FAIL, o.status);
    return 0;
  }
  window_record& r = new_record(true);
  const qn_point size = o.client_px.value_or(qn_point{640, 480});
  const int w = std::clamp(size.x, 1, 16384), h = std::clamp(size.y, 1, 16384);
  r.paint = o.paint;
  r.close = o.close;
  r.scroll = o.scroll;
  r.notify = o.notify;
  r.backing = blank_image(w, h);
  table().main_window = r.handle;
  qn_window* widget = r.widget;
  const int32_t handle = r.handle;
  widget->setWindowTitle(qnb::from_1252(trimmed(o.title.value_or(""))));
  if (o.style && !(*o.style & WS_THICKFRAME))
    widget->setFixedSize(w, h);
  else
    widget->resize(w, h);
  if (o.icon)
    if (const QImage* icon = qnb::icon_image(*o.icon)) widget->setWindowIcon(QIcon(QPixmap::fromImage(*icon)));
  apply_show_command(widget, o.show_command.value_or(1));
  return find_record(handle) ? handle : 0;
}

int32_t CREATE_WINDOW(const window_opts& o) {
  qnb::clear_status(o.status);
  qnb::ensure_app();
  quillon_init();
  window_record& r = new_record(false);
  const qn_point size = o.client_px.value_or(qn_point{600, 400});
  const int w = std::clamp(size.x, 1, 16384), h = std::clamp(size.y, 1, 16384);
  r.paint = o.paint;
  r.close = o.close;
  r.backing = blank_image(w, h);
  qn_window* widget = r.widget;
  const int32_t handle = r.handle;
  widget->setWindowTitle(qnb::from_1252(trimmed(o.title.value_or(""))));
  widget->resize(w, h);
  if (o.position) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    const float fx = std::isfinite(o.position->x) ? std::clamp(o.position->x, 0.0f, 1.0f) : 0.0f;
    const float fy = std::isfinite(o.position->y) ? std::clamp(o.position->y, 0.0f, 1.0f) : 0.0f;
    widget->move(area.left() + int(fx * float(area.width())), area.top() + int(fy * float(area.height())));
  }
  if (o.window_flags && (*o.window_flags & SCROLL_TEXT_FLAG)) {
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    r.text = new qnb::scroll_text_view(widget);
    if (o.scroll_back) r.text->set_scroll_back(size_t(std::max(*o.scroll_back, 1)));
    layout->addWidget(r.text);
    if (o.scroll_file && !trimmed(*o.scroll_file).empty()) {
      const std::string file = trimmed(*o.scroll_file);
      QFile f(QString::fromStdString(qnb::resolve_file_name(file)));
      if (f.open(QIODevice::ReadOnly)) {
        const QByteArray all = f.readAll();
        std::string_view rest(all.constData(), size_t(all.size()));
        std::vector<std::string> lines;
        while (!rest.empty()) {
          const size_t nl = rest.find('\n');
          std::string_view line = rest.substr(0, nl);
          if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
          lines.emplace_back(line);
          if (nl == std::string_view::npos) break;
          rest.remove_prefix(nl + 1);
        }
        r.text->show_file(std::move(lines));
      } else {
        qn_error("Unable to open scroll file: " + file, qnb::QN_FAIL, o.status);
      }
    }
  }
  if (!find_record(handle)) return 0;
  widget->show();
  return handle;
}

void WRITE_SCROLL_LINE(int32_t window, std::string_view text, bool no_scroll, int* status) {
  qnb::clear_status(status);
  window_record* r = find_record(window);
  if (!r) {
    qn_error("Invalid window handle in WRITE_SCROLL_LINE", qnb::QN_FAIL, status);
    return;
  }
  // A window without a text area has nowhere to show the line.
  if (r->text) r->text->add_line(std::string(text), !no_scroll);
}

std::vector<std::string> qn_scroll_lines(int32_t window) {
  window_record* r = find_record(window);
  return r && r->text ? r->text->lines() : std::vector<std::string>{};
}

void CLOSE_WINDOW(int32_t window, int* status) {
  qnb::clear_status(status);
  if (window == 0 || window == -1) return;
  window_record* r = find_record(window);
  if (!r) {
    qn_error("Invalid window handle in CLOSE_WINDOW", qnb::QN_FAIL, status);
    return;
  }
  r->widget->close();
}

int32_t is_valid_window(int32_t window) { return find_record(window) ? 1 : 0; }

void SET_FOREGROUND(int32_t window, int* status) {
  qnb::clear_status(status);
  window_record* r = find_record(window);
  if (!r) {
    qn_error("Unable to SET_FOREGROUND", qnb::QN_FAIL, status);
    return;
  }
  r->widget->raise();
  r->widget->activateWindow();
}

std::string GET_WINDOW_TITLE(int32_t window, int* status) {
  qnb::clear_status(status);
  window_record* r = find_record(window);
  if (!r) {
    qn_error("Invalid window handle in GET_WINDOW_TITLE", qnb::QN_FAIL, status);
    return {};
  }
  return qnb::to_1252(r->widget->windowTitle());
}

void qn_set_window_client_size(int32_t window, int32_t width, int32_t height) {
  window_record* r = find_record(window);
  if (!r) return;
  const int w = std::clamp(width, 1, 16384), h = std::clamp(height, 1, 16384);
  if (r->widget->minimumSize() == r->widget->maximumSize())
    r->widget->setFixedSize(w, h);
  else
    r->widget->resize(w, h);
}

void qn_show_window(int32_t window, int32_t show_command) {
  if (window_record* r = find_record(window)) apply_show_command(r->widget, show_command);
}

void qn_move_window(int32_t window, int32_t x, int32_t y) {
  if (window_record* r = find_record(window)) r->widget->move(px_clamp(x), px_clamp(y));
}

void qn_invalidate(int32_t window, const qn_rect* rect) {
  window_record* r = find_record(window);
  if (!r) return;
  r->needs_paint = true;
  if (r->widget->isVisible()) qnb::note_paint_pending();
  if (rect)
    r->widget->update(QRect(QPoint(px_clamp(rect->left), px_sum(rect->top, r->menu_height)),
                            QPoint(px_diff(rect->right, 1), px_sum(rect->bottom, -1, r->menu_height))));
  else
    r->widget->update();
}

void CAPTURE_MOUSE_EVENTS(int32_t window, qn_mouse_cb callback, int32_t mask, std::optional<int32_t> cursor,
                          int* status) {
  qnb::clear_status(status);
  window_record* r = find_record(window);
  if (!r) {
    qn_error("Invalid Window handle in CAPTURE_MOUSE_EVENTS", qnb::QN_FAIL, status);
    return;
  }
  r->mouse = std::move(callback);
  r->mouse_mask = mask;
  if (cursor) {
    // The platform's standard cursor ids.
    switch (*cursor) {
      case 32513: r->widget->setCursor(Qt::IBeamCursor); break;
      case 32514: r->widget->setCursor(Qt::WaitCursor); break;
      case 32515: r->widget->setCursor(Qt::CrossCursor); break;
      case 32649: r->widget->setCursor(Qt::PointingHandCursor); break;
      case 32650: r->widget->setCursor(Qt::BusyCursor); break;
      default: r->widget->setCursor(Qt::ArrowCursor); break;
    }
  }
}

void POST_COMMAND(int32_t command, std::optional<int32_t> window) {
  const int32_t target = window.value_or(table().main_window);
  window_record* r = find_record(target);
  if (!r) {
    qn_error("Invalid window handle in POST_COMMAND", qnb::QN_FAIL, nullptr);
    return;
  }
  QCoreApplication::postEvent(r->widget, new command_event(command));
}

void SEND_COMMAND(int32_t command, std::optional<int32_t> window) {
  const int32_t target = window.value_or(table().main_window);
  if (!find_record(target)) {
    qn_error("Invalid window handle in SEND_COMMAND", qnb::QN_FAIL, nullptr);
    return;
  }
  qnb::window_command(target, command);
}
