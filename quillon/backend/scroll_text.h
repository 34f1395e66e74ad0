// The text area of a scroll-text window (the trace windows, the file display, the print
// preview): its lines in code page 1252, each kept once, drawn only as far as they are in view.
#pragma once

#include <QAbstractScrollArea>

#include <deque>
#include <string>
#include <vector>

namespace qnb {

class scroll_text_view : public QAbstractScrollArea {
 public:
  explicit scroll_text_view(QWidget* parent);

  // Appends one line; with `show_it` the view moves to it.  Of the lines written, the newest
  // `scroll_back` are kept (every line while it is 0).
  void add_line(std::string line, bool show_it);
  void set_scroll_back(size_t lines) { scroll_back_ = lines; }
  // The lines of a file, shown from its top ahead of every line written; kept whole.
  void show_file(std::vector<std::string> lines);
  std::vector<std::string> lines() const;

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  size_t count() const { return file_.size() + written_.size(); }
  const std::string& line(size_t i) const { return i < file_.size() ? file_[i] : written_[i - file_.size()]; }
  int rows_in_view() const;
  void update_ranges();

  std::vector<std::string> file_;
  std::deque<std::string> written_;
  size_t widest_ = 0;  // columns of the widest line so far
  size_t scroll_back_ = 0;  // lines written that are kept; 0: all
};

}  // namespace qnb
