// The text area of a scroll-text window.  A trace may write hundreds of thousands of lines:
// each is kept once, as the bytes it was written with, the oldest go beyond the scroll-back of
// a window that has one (the trace windows; the others keep every line), and a line is turned
// into Qt's text only when it is drawn, for the few rows in view.
#include "quillon/backend/scroll_text.h"

#include "quillon/api/quillon.h"
#include "quillon/backend/backend.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int margin = 4;      // pixels around the text
constexpr size_t tab_size = 8;  // columns from one tab stop to the next

// The line as it shows: tabs out to their stops.
QString shown(const std::string& line) {
  QString text = qnb::from_1252(line);
  if (!text.contains(QLatin1Char('\t'))) return text;
  QString out;
  for (QChar c : text) {
    if (c == QLatin1Char('\t'))
      out.append(QString(qsizetype(tab_size - size_t(out.size()) % tab_size), QLatin1Char(' ')));
    else
      out.append(c);
  }
  return out;
}

size_t columns(const std::string& line) {
  size_t n = 0;
  for (char c : line) n = c == '\t' ? (n / tab_size + 1) * tab_size : n + 1;
  return n;
}

}  // namespace

namespace qnb {

scroll_text_view::scroll_text_view(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::NoFocus);  // keys go to the window and from there to the dispatcher
  QFont mono(QStringLiteral("DejaVu Sans Mono"));
  mono.setStyleHint(QFont::Monospace);
  mono.setPixelSize(13);
  setFont(mono);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  verticalScrollBar()->setSingleStep(1);  // the vertical bar counts lines
  horizontalScrollBar()->setSingleStep(fontMetrics().horizontalAdvance(QLatin1Char('M')));
  update_ranges();
}

void scroll_text_view::add_line(std::string line, bool show_it) {
  widest_ = std::max(widest_, columns(line));
  written_.push_back(std::move(line));
  QScrollBar* bar = verticalScrollBar();
  int top = bar->value();
  if (scroll_back_ > 0 && written_.size() > scroll_back_) {
    written_.pop_front();
    if (size_t(top) > file_.size()) --top;  // the rows in view stay where they are
  }
  update_ranges();
  bar->setValue(show_it ? bar->maximum() : top);
  viewport()->update();
}

void scroll_text_view::show_file(std::vector<std::string> lines) {
  for (const std::string& text : lines) widest_ = std::max(widest_, columns(text));
  file_ = std::move(lines);
  update_ranges();
  verticalScrollBar()->setValue(0);
  viewport()->update();
}

std::vector<std::string> scroll_text_view::lines() const {
  std::vector<std::string> all(file_);
  all.insert(all.end(), written_.begin(), written_.end());
  return all;
}

int scroll_text_view::rows_in_view() const {
  return std::max((viewport()->height() - 2 * margin) / std::max(fontMetrics().lineSpacing(), 1), 1);
}

void scroll_text_view::update_ranges() {
  const int rows = rows_in_view();
  verticalScrollBar()->setPageStep(rows);
  verticalScrollBar()->setRange(0, std::max(int(std::min<size_t>(count(), INT32_MAX)) - rows, 0));
  const int64_t width = int64_t(widest_) * fontMetrics().horizontalAdvance(QLatin1Char('M')) + 2 * margin;
  horizontalScrollBar()->setPageStep(viewport()->width());
  horizontalScrollBar()->setRange(0, int(std::clamp<int64_t>(width - viewport()->width(), 0, 1 << 24)));
}

void scroll_text_view::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  p.setFont(font());
  p.setPen(palette().color(QPalette::Text));
  const QFontMetrics metrics(font());
  const int step = metrics.lineSpacing();
  const int x = margin - horizontalScrollBar()->value();
  int y = margin + metrics.ascent();
  for (size_t i = size_t(verticalScrollBar()->value()); i < count() && y - metrics.ascent() < viewport()->height();
       ++i, y += step)
    p.drawText(x, y, shown(line(i)));
}

void scroll_text_view::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  const bool at_end = verticalScrollBar()->value() == verticalScrollBar()->maximum();
  update_ranges();
  if (at_end) verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

}  // namespace qnb
