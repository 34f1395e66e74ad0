// Menus: menu_item records filled by the program, menu bars built from them and attached to a
// window (with their accelerators as shortcuts), state changes of shown items, and pop-up menus
// that return the command id picked.  Picking a bar item posts its command to the window.
#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>

#include <map>
#include <set>

#include "quillon/backend/backend.h"

namespace {

constexpr int32_t MF_GRAYED = 1, MF_CHECKED = 8, MF_SEPARATOR = 2048;
constexpr int max_menu_depth = 16;  // submenus that refer back to their own menu stop here
constexpr int32_t sm_cymenu = 15;

struct bar_record {
  QPointer<QMenuBar> bar;
  const std::vector<menu_item>* source = nullptr;
  std::map<int32_t, QPointer<QAction>> actions;  // by item serial
};

struct menu_state_t {
  int32_t next_serial = 1;
  std::map<int32_t, bar_record> bars;  // by window
  std::function<int32_t(const std::vector<menu_item>&, qn_point)> answerer;
};
menu_state_t& st() {
  static menu_state_t s;
  return s;
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
  return text;
}

// Accelerator texts in the program's syntax: German and English modifier names joined by "+".
QKeySequence accelerator_of(std::string_view text) {
  QString s = qnb::from_1252(trim(text)).trimmed();
  if (s.isEmpty()) return {};
  s.replace("Strg", "Ctrl", Qt::CaseInsensitive);
  s.replace("Umschalt", "Shift", Qt::CaseInsensitive);
  s.replace("Umsch", "Shift", Qt::CaseInsensitive);
  s.replace("Entf", "Del", Qt::CaseInsensitive);
  s.replace("Einfg", "Ins", Qt::CaseInsensitive);
  return QKeySequence::fromString(s, QKeySequence::PortableText);
}

void apply_state(QAction* action, int32_t flags) {
  action->setEnabled((flags & MF_GRAYED) == 0);
  if (flags & MF_CHECKED) action->setCheckable(true);
  action->setChecked((flags & MF_CHECKED) != 0);
}

// Fills a bar or menu with the items; commands either post (bar) or are only tagged (pop-up).
void add_items(QWidget* menu, const std::vector<menu_item>& items, int depth, int32_t window,
               std::map<int32_t, QPointer<QAction>>* actions) {
  for (const menu_item& item : items) {
    if (item.stamp != QN_STAMP) continue;  // never filled: Windows shows no item for it
    if (item.flags & MF_SEPARATOR) {
      auto* sep = new QAction(menu);
      sep->setSeparator(true);
      menu->addAction(sep);
      continue;
    }
    const QString text = qnb::from_1252(trim(item.text));
    if (item.submenu) {
      auto* sub = new QMenu(text, menu);
      if (depth < max_menu_depth) add_items(sub, *item.submenu, depth + 1, window, actions);
      QAction* a = sub->menuAction();
      apply_state(a, item.flags & MF_GRAYED);
      menu->addAction(a);
      if (actions && item.serial) (*actions)[item.serial] = a;
      continue;
    }
    auto* a = new QAction(text, menu);
    a->setData(item.id);
    a->setStatusTip(qnb::from_1252(trim(item.help)));
    apply_state(a, item.flags);
    if (window != 0) {
      const QKeySequence keys = accelerator_of(item.accelerator);
      if (!keys.isEmpty()) {
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
      }
      const int32_t id = item.id;
      QObject::connect(a, &QAction::triggered, a, [id, window] {
        if (id != 0) POST_COMMAND(id, window);
      });
    }
    menu->addAction(a);
    if (actions && item.serial) (*actions)[item.serial] = a;
  }
}

void drop_bar(int32_t window) {
  auto it = st().bars.find(window);
  if (it == st().bars.end()) return;
  if (it->second.bar) {
    qnb::set_window_menu_bar(window, nullptr, 0);  // the client area takes the rows back
    delete it->second.bar.data();
  }
  st().bars.erase(it);
}

void view_of(const QList<QAction*>& actions, std::vector<qn_menu_view>& out) {
  for (QAction* a : actions) {
    qn_menu_view v;
    v.separator = a->isSeparator();
    v.text = qnb::to_1252(a->text());
    v.id = a->data().isValid() ? a->data().toInt() : 0;
    v.enabled = a->isEnabled();
    v.checked = a->isChecked();
    v.shortcut = a->shortcut().toString(QKeySequence::PortableText).toStdString();
    if (QMenu* sub = a->menu()) view_of(sub->actions(), v.sub);
    out.push_back(std::move(v));
  }
}

QAction* find_command(const QList<QAction*>& actions, int32_t id) {
  for (QAction* a : actions) {
    if (QMenu* sub = a->menu()) {
      if (QAction* found = find_command(sub->actions(), id)) return found;
    } else if (!a->isSeparator() && a->data().isValid() && a->data().toInt() == id) {
      return a;
    }
  }
  return nullptr;
}

}  // namespace

void SET_MENU_ITEM(menu_item& item, const menu_item_opts& o) {
  qnb::clear_status(o.status);
  if (o.text) item.text = std::string(trim(*o.text));
  if (o.help) item.help = std::string(trim(*o.help));
  if (o.accelerator) item.accelerator = std::string(trim(*o.accelerator));
  if (o.submenu) item.submenu = o.submenu;
  if (o.id) item.id = *o.id;
  if (o.flags) item.flags = *o.flags;
  if (item.stamp != QN_STAMP || item.serial == 0) item.serial = st().next_serial++;
  item.stamp = QN_STAMP;
}

void UPDATE_MENU_ITEM(const menu_item& item, int32_t flags, int* status) {
  qnb::clear_status(status);
  if (item.stamp != QN_STAMP) {
    qn_error("Call set_menu_item before update_menu_item", qnb::QN_FAIL, status);
    return;
  }
  bool found = false;
  for (auto& [window, rec] : st().bars) {
    auto it = rec.actions.find(item.serial);
    if (it == rec.actions.end() || !it->second) continue;
    apply_state(it->second, flags);
    found = true;
  }
  if (!found) qn_error("Cannot find menu item", qnb::QN_FAIL, status);
}

void DESTROY_MENU(const std::vector<menu_item>& items, int* status) {
  qnb::clear_status(status);
  std::vector<int32_t> windows;
  for (const auto& [window, rec] : st().bars)
    if (rec.source == &items) windows.push_back(window);
  for (int32_t window : windows) drop_bar(window);
}

void REDEFINE_WINDOW(int32_t window, const redefine_opts& o) {
  qnb::clear_status(o.status);
  QWidget* widget = qnb::window_widget(window);
  if (!widget) {
    qn_error("Invalid window handle", qnb::QN_FAIL, o.status);
    return;
  }
  if (o.title) widget->setWindowTitle(qnb::from_1252(trim(*o.title)));
  if (!o.menu) return;
  drop_bar(window);
  bar_record rec;
  rec.source = o.menu;
  rec.bar = new QMenuBar(widget);
  // The bar belongs to the window itself, above its client area, with the platform's height.
  rec.bar->setNativeMenuBar(false);
  add_items(rec.bar, *o.menu, 0, window, &rec.actions);
  qnb::set_window_menu_bar(window, rec.bar, get_system_metrics(sm_cymenu));
  rec.bar->show();
  st().bars[window] = std::move(rec);
}

int32_t POP_UP_MENU(const std::vector<menu_item>& items, qn_point px, int* status) {
  qnb::clear_status(status);
  if (st().answerer) {
    const auto answerer = st().answerer;
    return answerer(items, px);
  }
  if (qn_boxes_unseen()) return 0;  // nobody could pick an item
  qnb::ensure_app();
  bool empty = false;
  const int32_t id = qnb::run_nested([&] {
    QMenu menu;
    add_items(&menu, items, 0, 0, nullptr);
    empty = menu.actions().isEmpty();
    if (empty || !qnb::hold_in_nested_loop(&menu)) return 0;
    QAction* picked = menu.exec(QPoint(px.x, px.y));
    return picked && picked->data().isValid() ? picked->data().toInt() : 0;
  });
  if (empty) qn_error("Unable to process popup menu", qnb::QN_FAIL, status);
  return id;
}

void qn_set_menu_answerer(std::function<int32_t(const std::vector<menu_item>&, qn_point)> answerer) {
  st().answerer = std::move(answerer);
}

std::vector<qn_menu_view> qn_menu_bar(int32_t window) {
  std::vector<qn_menu_view> out;
  auto it = st().bars.find(window);
  if (it == st().bars.end() || !it->second.bar) return out;
  view_of(it->second.bar->actions(), out);
  return out;
}

bool qn_trigger_menu_command(int32_t window, int32_t id) {
  auto it = st().bars.find(window);
  if (it == st().bars.end() || !it->second.bar) return false;
  QAction* a = find_command(it->second.bar->actions(), id);
  if (!a || !a->isEnabled()) return false;
  a->trigger();
  return true;
}

void qn_menus_reset() {
  std::vector<int32_t> windows;
  for (const auto& [window, rec] : st().bars) windows.push_back(window);
  for (int32_t window : windows) drop_bar(window);
  st() = menu_state_t{};
}
