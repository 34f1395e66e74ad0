// Drawing contexts (`ups`) on windows, bitmaps and a scratch surface, and the drawing routines.
//
// Every shape is first drawn as a coverage mask without antialiasing and then combined with
// the target pixel by pixel under the context's raster operation, so that all sixteen raster
// operations behave as GDI defines them (an XOR figure drawn twice leaves no trace).
// One-pixel lines are rasterised here directly and, as there, leave out their end pixel.
// A context on a printer page draws through the printer's painter instead (page_painting.cpp).
#include "quillon/backend/backend.h"
#include "quillon/api/coordinates.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTransform>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>
#include <utility>
#include <vector>

// What drawing on a context keeps from one call to the next; GET_DRAWING_STATE and
// SET_DRAWING_STATE carry it from one context to another.
struct qn_drawing_state_data {
  qnb::pen_desc pen;
  qnb::brush_spec brush;
  qnb::font_desc font;
  int32_t rop = 13;
  bool smooth_text = true;  // glyph edges antialiased; off: whole pixels of the text colour only
  QPoint pos, text_pos;
};

namespace {

enum class target_kind { window, paint, bitmap, dummy, printer };

struct draw_context : qn_drawing_state_data {
  bool active = false;
  int32_t generation = 0;
  target_kind kind = target_kind::bitmap;
  int32_t window = 0, bitmap = 0;
  QImage scratch;  // the surface of a dummy context
  std::shared_ptr<QPainter> painter;  // a printer page: its painter, page size and resolution
  QSize page;
  double dpi = 96.0;
};

struct drawing_state {
  std::vector<draw_context> contexts;
  int32_t generation = 0;
};
drawing_state& st() {
  static drawing_state s;
  return s;
}

QImage* surface(draw_context& c) {
  switch (c.kind) {
    case target_kind::window:
    case target_kind::paint: return qnb::window_image(c.window);
    case target_kind::bitmap: return qnb::bitmap_image(c.bitmap);
    case target_kind::dummy: return &c.scratch;
    case target_kind::printer: return nullptr;
  }
  return nullptr;
}

// The open context that `u` names and its surface (none for a printer page), or nullptr after
// reporting the bad argument.
draw_context* resolve(ups& u, const char* routine, int* status, QImage** image = nullptr) {
  qnb::clear_status(status);
  draw_context* c = nullptr;
  if (u.stamp == QN_STAMP && u.context >= 1 && size_t(u.context) <= st().contexts.size()) {
    draw_context& cand = st().contexts[size_t(u.context - 1)];
    if (cand.active && cand.generation == u.reserved[0]) c = &cand;
  }
  QImage* img = c ? surface(*c) : nullptr;
  const bool page = c && c->kind == target_kind::printer && c->painter && c->painter->isActive();
  if (!c || (!page && (!img || img->isNull()))) {
    qnb::report_bad_ups(routine, status);
    return nullptr;
  }
  if (image) *image = img;
  return c;
}

draw_context& open_context(ups& u, target_kind kind, int32_t window, int32_t bitmap) {
  qnb::ensure_app();
  size_t slot = 0;
  while (slot < st().contexts.size() && st().contexts[slot].active) ++slot;
  if (slot == st().contexts.size()) st().contexts.emplace_back();
  draw_context& c = st().contexts[slot];
  c = draw_context{};
  c.active = true;
  c.generation = ++st().generation;
  c.kind = kind;
  c.window = window;
  c.bitmap = bitmap;
  c.font = qnb::stock_font("SYSTEM_FONT");
  u = ups{};
  u.stamp = QN_STAMP;
  u.context = int32_t(slot + 1);
  u.window = window;
  u.bitmap = bitmap;
  u.reserved[0] = c.generation;
  return c;
}

// Program coordinates are clamped far outside any surface, so that no sum or difference of
// them can overflow.
constexpr int32_t coord_limit = 1 << 24;
int clamp_coord(int64_t v) { return int(std::clamp<int64_t>(v, -coord_limit, coord_limit)); }
QPoint clamped(int32_t x, int32_t y) { return {clamp_coord(x), clamp_coord(y)}; }

// The segment from a to b with an end beyond the coordinate limit moved along the segment to the
// limit, so that the part near the surface keeps its direction (clamping each coordinate alone
// would turn it); nullopt for a segment that passes wholly outside the limit, of which no part
// can reach a surface.
std::optional<std::pair<QPoint, QPoint>> limited_segment(qn_point a, qn_point b) {
  const double ax = a.x, ay = a.y, dx = double(b.x) - a.x, dy = double(b.y) - a.y;
  double t0 = 0.0, t1 = 1.0;
  auto keep = [&](double p, double q) {  // keeps the part of the segment where p * t <= q
    if (p == 0.0) return q >= 0.0;
    const double r = q / p;
    if (p < 0.0) {
      if (r > t1) return false;
      t0 = std::max(t0, r);
    } else {
      if (r < t0) return false;
      t1 = std::min(t1, r);
    }
    return true;
  };
  const double limit = coord_limit;
  if (!keep(-dx, ax + limit) || !keep(dx, limit - ax) || !keep(-dy, ay + limit) || !keep(dy, limit - ay))
    return std::nullopt;
  auto at = [&](double t) {
    return QPoint(clamp_coord(std::llround(ax + t * dx)), clamp_coord(std::llround(ay + t * dy)));
  };
  return std::pair{at(t0), at(t1)};
}

bool valid_colour(int64_t colour) { return colour >= 0 && colour <= 0x02FFFFFF; }

// ---------------------------------------------------------------- raster operations

uint32_t rgb_of(uint32_t colorref) {  // 0x00BBGGRR -> 0x00RRGGBB as the image stores it
  return ((colorref & 0xFF) << 16) | (colorref & 0xFF00) | ((colorref >> 16) & 0xFF);
}

void plot(QImage& img, int x, int y, uint32_t rgb, int32_t rop) {
  if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return;
  auto* px = reinterpret_cast<QRgb*>(img.scanLine(y)) + x;
  *px = 0xFF000000u | qnb::rop_combine(rgb, *px & 0xFFFFFF, rop);
}

// A coverage mask over `bounds` of the target, drawn by `draw` in target coordinates.  Shapes
// cover whole pixels; text, when `smooth`, covers the edge pixels of its glyphs in part.
template <class F>
QImage make_mask(const QRect& bounds, F draw, bool smooth = false) {
  QImage mask(bounds.size(), QImage::Format_Alpha8);
  mask.fill(0);
  QPainter p(&mask);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setRenderHint(QPainter::TextAntialiasing, smooth);
  p.translate(-bounds.topLeft());
  draw(p);
  return mask;
}

void apply_mask(QImage& img, const QImage& mask, const QRect& bounds, uint32_t colorref, int32_t rop,
                const QImage* except = nullptr) {
  const QRect area = bounds.intersected(img.rect());
  const uint32_t rgb = rgb_of(colorref);
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const uchar* m = mask.constScanLine(y - bounds.top());
    const uchar* e = except ? except->constScanLine(y - bounds.top()) : nullptr;
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = area.left(); x <= area.right(); ++x) {
      const int mx = x - bounds.left();
      if (m[mx] < 128 || (e && e[mx] >= 128)) continue;
      row[x] = 0xFF000000u | qnb::rop_combine(rgb, row[x] & 0xFFFFFF, rop);
    }
  }
}

// Glyphs in the pen colour: with the copy operation the edge pixels take the colour in the
// share that the glyph covers them; any other operation is applied, exactly, where the glyph
// covers at least half of a pixel.
void apply_text_mask(QImage& img, const QImage& mask, const QRect& bounds, uint32_t colorref, int32_t rop) {
  constexpr int32_t copy_pen = 13;
  if (rop != copy_pen) return apply_mask(img, mask, bounds, colorref, rop);
  const QRect area = bounds.intersected(img.rect());
  const uint32_t rgb = rgb_of(colorref);
  for (int y = area.top(); y <= area.bottom(); ++y) {
    const uchar* m = mask.constScanLine(y - bounds.top());
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = area.left(); x <= area.right(); ++x) {
      const uint32_t a = m[x - bounds.left()];
      if (a == 0) continue;
      const uint32_t dst = row[x];
      uint32_t out = 0xFF000000u;
      for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t d = (dst >> shift) & 0xFF, p = (rgb >> shift) & 0xFF;
        out |= ((d * (255 - a) + p * a + 127) / 255) << shift;
      }
      row[x] = out;
    }
  }
}

// ---------------------------------------------------------------- pens and lines

}  // namespace

namespace qnb {

const std::vector<int>& dash_pattern(int32_t style) {
  static const std::vector<int> solid{}, dash{18, 6}, dot{3, 3}, dash_dot{9, 6, 3, 6},
      dash_dot_dot{9, 3, 3, 3, 3, 3};
  switch (style) {
    case 1: return dash;
    case 2: return dot;
    case 3: return dash_dot;
    case 4: return dash_dot_dot;
    default: return solid;
  }
}

}  // namespace qnb

namespace {

QPen geometric_pen(const qnb::pen_desc& pen) {
  QPen p(Qt::black, std::max(pen.width, 1), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  switch (pen.style) {
    case 1: p.setStyle(Qt::DashLine); break;
    case 2: p.setStyle(Qt::DotLine); break;
    case 3: p.setStyle(Qt::DashDotLine); break;
    case 4: p.setStyle(Qt::DashDotDotLine); break;
    default: break;
  }
  return p;
}

bool pen_visible(const qnb::pen_desc& pen) { return pen.style != 5; }
bool thin(const qnb::pen_desc& pen) { return pen.width <= 1; }

// The line from a to b without b itself, with the pen's dash pattern.
void thin_line(QImage& img, QPoint a, QPoint b, const qnb::pen_desc& pen, int32_t rop) {
  const std::vector<int>& pattern = qnb::dash_pattern(pen.style);
  if (pattern.empty() && a.y() == b.y()) {
    // A solid row: the same pixels as the walk below, along one scan line fetched once.
    if (a.y() < 0 || a.y() >= img.height() || a.x() == b.x()) return;
    const int first = std::max(a.x() < b.x() ? a.x() : b.x() + 1, 0);
    const int last = std::min(a.x() < b.x() ? b.x() - 1 : a.x(), img.width() - 1);
    const uint32_t rgb = rgb_of(pen.colour);
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(a.y()));
    for (int x = first; x <= last; ++x) row[x] = 0xFF000000u | qnb::rop_combine(rgb, row[x] & 0xFFFFFF, rop);
    return;
  }
  int64_t x = a.x(), y = a.y();
  const int64_t dx = std::llabs(int64_t(b.x()) - x), dy = -std::llabs(int64_t(b.y()) - y);
  const int sx = x < b.x() ? 1 : -1, sy = y < b.y() ? 1 : -1;
  int64_t err = dx + dy;
  size_t dash = 0;
  int left = pattern.empty() ? 0 : pattern[0];
  const uint32_t rgb = rgb_of(pen.colour);
  const int64_t steps = std::max(dx, -dy);
  for (int64_t i = 0; i < steps; ++i) {
    if (pattern.empty() || dash % 2 == 0) plot(img, int(x), int(y), rgb, rop);
    if (!pattern.empty() && --left == 0) {
      dash = (dash + 1) % pattern.size();
      left = pattern[dash];
    }
    const int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

QRect padded(const QRect& r, int pad) { return r.adjusted(-pad, -pad, pad, pad); }

void wide_line(QImage& img, QPoint a, QPoint b, const qnb::pen_desc& pen, int32_t rop) {
  const QRect bounds = padded(QRect(a, b).normalized(), pen.width + 2).intersected(padded(img.rect(), 0));
  if (bounds.isEmpty()) return;
  const QImage mask = make_mask(bounds, [&](QPainter& p) {
    p.setPen(geometric_pen(pen));
    p.drawLine(a, b);
  });
  apply_mask(img, mask, bounds, pen.colour, rop);
}

// One line from a to b with the context's pen, without b itself.  Lines far longer than any
// surface go through the clipping painter instead of being walked pixel by pixel; their end
// pixel lies far outside anyway.  A solid row is clipped to its scan line at any length.
void draw_segment(QImage& img, const draw_context& c, QPoint a, QPoint b) {
  const int64_t span = std::max(std::llabs(int64_t(b.x()) - a.x()), std::llabs(int64_t(b.y()) - a.y()));
  const bool solid_row = a.y() == b.y() && qnb::dash_pattern(c.pen.style).empty();
  if (thin(c.pen) && (span <= 65536 || solid_row))
    thin_line(img, a, b, c.pen, c.rop);
  else
    wide_line(img, a, b, c.pen, c.rop);
}

// ---------------------------------------------------------------- positions

QPoint pixel_of(const QSize& img, const qn_portion& p) {
  auto conv = [](float f, int size) {
    const double v = std::isfinite(f) ? double(f) * size : 0.0;
    return clamp_coord(std::llround(std::clamp(v, -1e9, 1e9)));
  };
  return {conv(p.x, img.width()), conv(p.y, img.height())};
}

// The rectangle x1, y1, x2, y2 of a shape (right and bottom excluded), or nullopt.
std::optional<QRect> shape_rect(const QSize& img, const shape_opts& o) {
  QPoint a, b;
  if (o.px) {
    a = clamped(o.px->left, o.px->top);
    b = clamped(o.px->right, o.px->bottom);
  } else if (o.from && o.to) {
    a = pixel_of(img, *o.from);
    b = pixel_of(img, *o.to);
  } else {
    a = {0, 0};
    b = {img.width(), img.height()};
  }
  const int x1 = std::min(a.x(), b.x()), x2 = std::max(a.x(), b.x());
  const int y1 = std::min(a.y(), b.y()), y2 = std::max(a.y(), b.y());
  if (x2 - x1 < 1 || y2 - y1 < 1) return std::nullopt;
  return QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1));
}

QBrush mask_brush(const qnb::brush_spec& b) {
  if (b.style == 2) {
    static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::BDiagPattern,
                                             Qt::FDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    return QBrush(Qt::black, hatches[std::clamp(b.hatch, 0, 5)]);
  }
  return QBrush(Qt::black);
}

// Fills and outlines a shape: the interior with the brush, the outline with the pen, each
// pixel touched once.  `figure(p, box, fill)` draws the figure of the inclusive box `box`,
// as an outline or as a filled area.
template <class Figure>
void draw_shape(QImage& img, draw_context& c, const QRect& r, Figure figure, bool filled = true) {
  const int pad = std::max(c.pen.width, 1) + 2;
  const QRect bounds = padded(r, pad).intersected(img.rect());
  if (bounds.isEmpty()) return;
  const bool with_pen = pen_visible(c.pen);
  QImage pen_mask;
  if (with_pen) {
    pen_mask = make_mask(bounds, [&](QPainter& p) {
      if (thin(c.pen) && c.pen.style >= 1 && c.pen.style <= 4) {
        QPen dashed = geometric_pen(c.pen);
        dashed.setWidth(0);
        dashed.setCapStyle(Qt::FlatCap);
        p.setPen(dashed);
      } else if (thin(c.pen)) {
        p.setPen(QPen(Qt::black, 0));
      } else {
        p.setPen(geometric_pen(c.pen));
      }
      p.setBrush(Qt::NoBrush);
      figure(p, r, false);
    });
  }
  if (filled && c.brush.style != 1) {
    // Without a pen the figure is one pixel smaller, as the platform draws it.
    const QRect fill_rect = with_pen ? r : r.adjusted(0, 0, -1, -1);
    if (fill_rect.isEmpty()) return;
    const QImage fill = make_mask(bounds, [&](QPainter& p) {
      p.setPen(Qt::NoPen);
      p.setBrush(mask_brush(c.brush));
      figure(p, fill_rect, true);
    });
    apply_mask(img, fill, bounds, c.brush.colour, c.rop, with_pen ? &pen_mask : nullptr);
  }
  if (with_pen) apply_mask(img, pen_mask, bounds, c.pen.colour, c.rop);
}

// The outline runs through the centres of the edge pixels; a fill uses the same geometry
// shifted onto pixel centres so that it stays inside the outline.
QRectF figure_rect(const QRect& box, bool fill) {
  const QRectF outline(box.left(), box.top(), box.width() - 1, box.height() - 1);
  return fill ? outline.translated(0.5, 0.5) : outline;
}

void changed(draw_context& c) {
  if (c.kind == target_kind::window) qnb::window_image_changed(c.window);
}

// The arc of the ellipse in `box` from the ray through `start` to the ray through `end`,
// counter-clockwise on the screen; a chord closes it.  The rays' directions become the
// ellipse's parametric angles, which is what the painter's arcs take.
QPainterPath arc_path(const QRectF& box, QPoint start, QPoint end, bool chord) {
  const QPointF centre = box.center();
  const double a = std::max(box.width() / 2.0, 0.5), b = std::max(box.height() / 2.0, 0.5);
  auto angle = [&](QPoint p) {
    const double deg = std::atan2(-(p.y() - centre.y()) / b, (p.x() - centre.x()) / a) * 180.0 / std::numbers::pi;
    return deg < 0 ? deg + 360.0 : deg;
  };
  const double from = angle(start);
  double sweep = angle(end) - from;
  if (sweep <= 0) sweep += 360.0;
  QPainterPath path;
  path.arcMoveTo(box, from);
  path.arcTo(box, from, sweep);
  if (chord) path.closeSubpath();
  return path;
}

void draw_arc_shape(ups& u, const shape_opts& o, qn_point start, qn_point end, bool chord) {
  QImage* img = nullptr;
  draw_context* c = resolve(u, chord ? "DRAW_CHORD" : "DRAW_ARC", o.status, &img);
  if (!c) return;
  const std::optional<QRect> r = shape_rect(img ? img->size() : c->page, o);
  if (!r) return;
  const QPoint s = clamped(start.x, start.y), e = clamped(end.x, end.y);
  if (!img) {
    qnb::page_path(*c->painter, c->pen, c->brush, c->rop, arc_path(figure_rect(*r, false), s, e, chord), chord, c->dpi);
    return;
  }
  draw_shape(*img, *c, *r, [&](QPainter& p, const QRect& box, bool fill) {
    p.drawPath(arc_path(figure_rect(box, fill), s, e, chord));
  }, chord);
  changed(*c);
}

const qnb::font_desc* font_for(draw_context* c, std::optional<int32_t> font) {
  if (font && *font != 0) return qnb::font_object(*font);
  return c ? &c->font : nullptr;
}

}  // namespace

namespace qnb {

void open_paint_context(int32_t window, ups& u) { open_context(u, target_kind::paint, window, 0); }

void close_context(ups& u) {
  if (u.stamp == QN_STAMP && u.context >= 1 && size_t(u.context) <= st().contexts.size()) {
    draw_context& c = st().contexts[size_t(u.context - 1)];
    if (c.active && c.generation == u.reserved[0]) {
      if (c.kind == target_kind::window) {
        set_window_direct_draw(c.window, false);
        window_image_changed(c.window);
      }
      c = draw_context{};
    }
  }
  u.stamp = 0;
}

void drawing_reset() { st().contexts.clear(); }

void open_printer_context(ups& u, std::shared_ptr<QPainter> painter, QSize page, double dpi) {
  draw_context& c = open_context(u, target_kind::printer, 0, 0);
  c.painter = std::move(painter);
  c.page = page;
  c.dpi = dpi;
}

}  // namespace qnb

// ---------------------------------------------------------------- contexts

void START_DIRECT_DRAW(int32_t window, ups& u, int* status) {
  qnb::clear_status(status);
  if (!qnb::window_image(window)) {
    u.stamp = 0;
    qn_error("Invalid Window handle in START_DIRECT_DRAW", qnb::QN_FAIL, status);
    return;
  }
  if (qnb::window_has_direct_draw(window)) {
    u.stamp = 0;
    qn_error("Can't paint while painting", qnb::QN_FAIL, status);
    return;
  }
  open_context(u, target_kind::window, window, 0);
  qnb::set_window_direct_draw(window, true);
}

void END_DIRECT_DRAW(ups& u, int* status) {
  if (!resolve(u, "END_DIRECT_DRAW", status)) return;
  qnb::close_context(u);
}

void START_BITMAP_DRAW(int32_t bitmap, ups& u, int* status) {
  qnb::clear_status(status);
  if (!qnb::bitmap_image(bitmap)) {
    u.stamp = 0;
    qn_error("Invalid bitmap handle in START_BITMAP_DRAW", qnb::QN_FAIL, status);
    return;
  }
  open_context(u, target_kind::bitmap, 0, bitmap);
}

void END_BITMAP_DRAW(ups& u, int* status) {
  if (!resolve(u, "END_BITMAP_DRAW", status)) return;
  qnb::close_context(u);
}

void START_DUMMY_USERPAINT(ups& u, int* status) {
  qnb::clear_status(status);
  draw_context& c = open_context(u, target_kind::dummy, 0, 0);
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize size = screen ? screen->availableGeometry().size() : QSize(800, 600);
  c.scratch = QImage(std::max(size.width(), 1), std::max(size.height(), 1), QImage::Format_RGB32);
  c.scratch.fill(Qt::white);
}

void END_DUMMY_USERPAINT(ups& u, int* status) {
  if (!resolve(u, "END_DUMMY_USERPAINT", status)) return;
  qnb::close_context(u);
}


qn_drawing_state GET_DRAWING_STATE(ups& u, int* status) {
  const draw_context* c = resolve(u, "GET_DRAWING_STATE", status);
  if (!c) return nullptr;
  return std::make_shared<const qn_drawing_state_data>(static_cast<const qn_drawing_state_data&>(*c));
}

void SET_DRAWING_STATE(ups& u, const qn_drawing_state& state, int* status) {
  draw_context* c = resolve(u, "SET_DRAWING_STATE", status);
  if (!c || !state) return;
  static_cast<qn_drawing_state_data&>(*c) = *state;
}

qn_rect GET_RECT(const get_rect_opts& o) {
  qnb::clear_status(o.status);
  if (o.u) {
    QImage* img = nullptr;
    draw_context* c = resolve(*o.u, "GET_RECT", o.status, &img);
    if (!c) return {};
    if (!img) return {0, 0, c->page.width(), c->page.height()};
    return {0, 0, img->width(), img->height()};
  }
  if (o.window) {
    QWidget* w = qnb::window_widget(*o.window);
    if (!w) {
      qn_error("Invalid Window handle in GET_RECT", qnb::QN_FAIL, o.status);
      return {};
    }
    if (o.whole_window) {
      const QRect f = w->frameGeometry();
      return {f.left(), f.top(), f.left() + f.width(), f.top() + f.height()};
    }
    const QSize client = qnb::window_client_size(*o.window);  // below the menu bar
    return {0, 0, client.width(), client.height()};
  }
  if (o.bitmap) {
    const QImage* img = qnb::bitmap_image(*o.bitmap);
    if (!img) {
      qn_error("Invalid bitmap handle in GET_RECT", qnb::QN_FAIL, o.status);
      return {};
    }
    return {0, 0, img->width(), img->height()};
  }
  qn_error("Invalid argument passed to: GET_RECT", qnb::QN_FAIL, o.status);
  return {};
}

// ---------------------------------------------------------------- pens, brushes, fonts, rop

void SELECT_MY_PEN(ups& u, int32_t slot, int* status) {
  draw_context* c = resolve(u, "SELECT_MY_PEN", status);
  if (!c) return;
  const int32_t n = std::clamp(slot, 0, 31);
  int32_t pen = 0, brush = 0;
  get_my_pen_and_brush(n, pen, brush);
  const qnb::pen_desc* desc = qnb::pen_object(pen);
  if (!desc) {
    char text[64];
    std::snprintf(text, sizeof text, "Unable select ZERO pen %d", n);
    qn_error(text, qnb::QN_FAIL, status);
    return;
  }
  c->pen = *desc;
  // The slots' widths are screen pixels; on a printer page a wide pen keeps its width on paper.
  if (c->kind == target_kind::printer && c->pen.width > 1)
    c->pen.width = int32_t(std::lround(c->pen.width * c->dpi / 96.0));
}

void NEW_PEN(ups& u, const pen_opts& o) {
  draw_context* c = resolve(u, "NEW_PEN", o.status);
  if (!c) return;
  if (o.colour && !valid_colour(*o.colour)) {
    qn_error("Unable to create a new pen", qnb::QN_FAIL, o.status);
    return;
  }
  c->pen.colour = o.colour.value_or(0x000000);
  c->pen.style = std::clamp(o.style.value_or(0), 0, 6);
  c->pen.width = qnb::pen_width(o, c->dpi);
}

void NEW_BRUSH(ups& u, const brush_opts& o) {
  draw_context* c = resolve(u, "NEW_BRUSH", o.status);
  if (!c) return;
  if (o.colour && !valid_colour(*o.colour)) {
    qn_error("Unable to select a new brush", qnb::QN_FAIL, o.status);
    return;
  }
  c->brush.colour = o.colour.value_or(0xFFFFFF);
  c->brush.style = std::clamp(o.style.value_or(0), 0, 2);
  c->brush.hatch = std::clamp(o.hatch.value_or(4), 0, 5);
}

void NEW_FONT(ups& u, const font_opts& o) {
  draw_context* c = resolve(u, "NEW_FONT", o.status);
  if (!c) return;
  c->font = qnb::make_font(o, c->font);
}

namespace {

// The font of a context as its device draws it, and its measures there.
QFont device_font_of(const draw_context* c, const qnb::font_desc& f) {
  if (c && c->kind == target_kind::printer) return qnb::device_font(f, c->dpi);
  if (c && !c->smooth_text) {
    QFont hard = f.font;
    hard.setStyleStrategy(QFont::NoAntialias);
    return hard;
  }
  return f.font;
}
QFontMetrics metrics_of(const draw_context* c, const qnb::font_desc& f) {
  if (c && c->kind == target_kind::printer) return QFontMetrics(device_font_of(c, f), c->painter->device());
  return QFontMetrics(device_font_of(c, f));
}

}  // namespace

void SET_ROP(ups& u, int32_t mode, int* status) {
  draw_context* c = resolve(u, "SET_ROP", status);
  if (!c) return;
  if (mode < 1 || mode > 16) {
    qn_error("Unable to SET_ROP", qnb::QN_FAIL, status);
    return;
  }
  c->rop = mode;
}

void SET_TEXT_SMOOTHING(ups& u, bool smooth, int* status) {
  draw_context* c = resolve(u, "SET_TEXT_SMOOTHING", status);
  if (!c) return;
  c->smooth_text = smooth;
}

// ---------------------------------------------------------------- figures

void DRAW_LINE(ups& u, const line_opts& o) {
  QImage* img = nullptr;
  draw_context* c = resolve(u, "DRAW_LINE", o.status, &img);
  if (!c) return;
  const QSize frame = img ? img->size() : c->page;
  auto point_of = [&](const qn_portion& p) {
    const QPoint q = pixel_of(frame, p);
    return qn_point{q.x(), q.y()};
  };
  // The ends as given: the segment between them is limited as a whole.
  qn_point from{c->pos.x(), c->pos.y()};
  if (o.start_px)
    from = *o.start_px;
  else if (o.start)
    from = point_of(*o.start);
  std::optional<qn_point> to;
  if (o.end_px)
    to = *o.end_px;
  else if (o.end)
    to = point_of(*o.end);
  c->pos = clamped(from.x, from.y);
  if (!to) return;
  if (const auto segment = limited_segment(from, *to)) {
    if (!img)
      qnb::page_line(*c->painter, c->pen, c->rop, segment->first, segment->second, c->dpi);
    else if (pen_visible(c->pen))
      draw_segment(*img, *c, segment->first, segment->second);
  }
  c->pos = clamped(to->x, to->y);
  changed(*c);
}

qn_span qn_reachable_span(ups& u, int32_t from, int32_t to, bool columns, int* status) {
  QImage* img = nullptr;
  draw_context* c = resolve(u, "qn_reachable_span", status, &img);
  if (!c) return {};
  const QSize frame = img ? img->size() : c->page;
  const int64_t extent = columns ? frame.width() : frame.height();
  const int64_t pad = std::max(c->pen.width, 1) + 2;
  const int64_t first = std::max<int64_t>(from, -pad), last = std::min<int64_t>(to, extent - 1 + pad);
  if (first > last) return {};
  return {int32_t(first), int32_t(last)};
}

void DRAW_RECTANGLE(ups& u, const shape_opts& o) {
  QImage* img = nullptr;
  draw_context* c = resolve(u, "DRAW_RECTANGLE", o.status, &img);
  if (!c) return;
  const std::optional<QRect> r = shape_rect(img ? img->size() : c->page, o);
  if (!r) return;
  if (!img) {
    const QSize corner = o.corner && o.corner->x > 0 && o.corner->y > 0 ? QSize(o.corner->x, o.corner->y) : QSize();
    qnb::page_shape(*c->painter, c->pen, c->brush, c->rop, *r, false, corner, c->dpi);
  } else if (o.corner && o.corner->x > 0 && o.corner->y > 0) {
    const qreal rx = o.corner->x / 2.0, ry = o.corner->y / 2.0;
    draw_shape(*img, *c, *r, [&](QPainter& p, const QRect& box, bool fill) {
      p.drawRoundedRect(figure_rect(box, fill), rx, ry);
    });
  } else {
    draw_shape(*img, *c, *r, [&](QPainter& p, const QRect& box, bool fill) {
      if (fill)
        p.fillRect(box, p.brush());
      else
        p.drawRect(box.adjusted(0, 0, -1, -1));
    });
  }
  changed(*c);
}

void DRAW_ELLIPSE(ups& u, const shape_opts& o) {
  QImage* img = nullptr;
  draw_context* c = resolve(u, "DRAW_ELLIPSE", o.status, &img);
  if (!c) return;
  const std::optional<QRect> r = shape_rect(img ? img->size() : c->page, o);
  if (!r) return;
  if (!img) {
    qnb::page_shape(*c->painter, c->pen, c->brush, c->rop, *r, true, QSize(), c->dpi);
    return;
  }
  draw_shape(*img, *c, *r, [&](QPainter& p, const QRect& box, bool fill) {
    p.drawEllipse(figure_rect(box, fill));
  });
  changed(*c);
}

void DRAW_ARC(ups& u, const shape_opts& box, qn_point start, qn_point end) {
  draw_arc_shape(u, box, start, end, false);
}

void DRAW_CHORD(ups& u, const shape_opts& box, qn_point start, qn_point end) {
  draw_arc_shape(u, box, start, end, true);
}

void DRAW_POLYLINE(ups& u, const std::vector<qn_point>& points, int* status) {
  QImage* img = nullptr;
  draw_context* c = resolve(u, "DRAW_POLYLINE", status, &img);
  if (!c || points.size() < 2) return;
  if (img && !pen_visible(c->pen)) return;
  for (size_t i = 1; i < points.size(); ++i) {
    const auto segment = limited_segment(points[i - 1], points[i]);
    if (!segment) continue;
    if (img)
      draw_segment(*img, *c, segment->first, segment->second);
    else
      qnb::page_line(*c->painter, c->pen, c->rop, segment->first, segment->second, c->dpi);
  }
  changed(*c);
}

void SET_PIXEL(ups& u, uint32_t colour, qn_point px, int* status) {
  QImage* img = nullptr;
  draw_context* c = resolve(u, "SET_PIXEL", status, &img);
  if (!c) return;
  if (!valid_colour(colour)) {
    qn_error("Unable to set a pixel", qnb::QN_FAIL, status);
    return;
  }
  if (!img)
    qnb::page_pixel(*c->painter, colour, clamped(px.x, px.y));
  else
    plot(*img, px.x, px.y, rgb_of(colour), 13);
  changed(*c);
}

uint32_t GET_PIXEL(ups& u, qn_point px, int* status) {
  QImage* img = nullptr;
  if (!resolve(u, "GET_PIXEL", status, &img)) return 0xFFFFFFFF;
  if (!img) return 0xFFFFFFFF;  // a printer page cannot be read back
  if (px.x < 0 || px.y < 0 || px.x >= img->width() || px.y >= img->height()) return 0xFFFFFFFF;
  return qnb::colorref_of(img->pixel(px.x, px.y));
}

// ---------------------------------------------------------------- text

void WRITE_TEXT(ups& u, std::string_view text, const text_opts& o) {
  QImage* img = nullptr;
  draw_context* c = resolve(u, "WRITE_TEXT", o.status, &img);
  if (!c) return;
  if (o.colour && !valid_colour(*o.colour)) {
    qn_error("Invalid Color argument to WRITE_TEXT", qnb::QN_FAIL, o.status);
    return;
  }
  if (o.background && *o.background != -1 && !valid_colour(*o.background)) {
    qn_error("Invalid background color specified to WRITE_TEXT", qnb::QN_FAIL, o.status);
    return;
  }
  const qnb::font_desc* font = font_for(c, o.font);
  if (!font) {
    qn_error("Invalid font in write_text", qnb::QN_FAIL, o.status);
    return;
  }
  QPoint at = c->text_pos;
  if (o.px)
    at = clamped(o.px->x, o.px->y);
  else if (o.pos)
    at = pixel_of(img ? img->size() : c->page, *o.pos);
  const QString line = qnb::from_1252(text);
  const QFontMetrics fm = metrics_of(c, *font);
  const int width = fm.horizontalAdvance(line), height = fm.height();
  const float angle = o.rotation && std::isfinite(*o.rotation) ? *o.rotation : font->angle;
  if (!img) {
    qnb::page_text(*c->painter, device_font_of(c, *font), angle, line, at, o.colour.value_or(0x000000),
                   o.background.value_or(-1), c->rop);
    c->text_pos = {at.x(), at.y() + height};
    return;
  }
  // The text cell's top-left corner is the position; rotation turns around it, counter-clockwise.
  QTransform place;
  place.translate(at.x(), at.y());
  place.rotate(-double(angle));
  const QRect cell(0, 0, std::max(width, 1), height);
  const QRect bounds = padded(place.mapRect(cell), 2).intersected(img->rect());
  if (!bounds.isEmpty()) {
    if (o.background && *o.background != -1) {
      const QImage back = make_mask(bounds, [&](QPainter& p) {
        p.setTransform(place, true);
        p.fillRect(cell, Qt::black);
      });
      apply_mask(*img, back, bounds, uint32_t(*o.background), 13);
    }
    const QImage glyphs = make_mask(
        bounds,
        [&](QPainter& p) {
          p.setTransform(place, true);
          p.setFont(device_font_of(c, *font));
          p.setPen(Qt::black);
          p.drawText(QPoint(0, fm.ascent()), line);
        },
        c->smooth_text);
    apply_text_mask(*img, glyphs, bounds, o.colour.value_or(0x000000), c->rop);
  }
  c->text_pos = {at.x(), at.y() + height};
  changed(*c);
}

qn_point GET_TEXT_EXTENT(ups& u, std::string_view text, std::optional<int32_t> font, int* status) {
  draw_context* c = resolve(u, "GET_TEXT_EXTENT", status);
  if (!c) return {};
  const qnb::font_desc* f = font_for(c, font);
  if (!f) {
    qn_error("Invalid font in GET_TEXT_EXTENT", qnb::QN_FAIL, status);
    return {};
  }
  const QFontMetrics fm = metrics_of(c, *f);
  return {fm.horizontalAdvance(qnb::from_1252(text)), fm.height()};
}

text_metrics GET_TEXT_METRICS(ups* u, std::optional<int32_t> font, int* status) {
  qnb::clear_status(status);
  qnb::ensure_app();
  draw_context* c = nullptr;
  if (u && !(c = resolve(*u, "GET_TEXT_METRICS", status))) return {};
  const qnb::font_desc system = qnb::stock_font("SYSTEM_FONT");
  const qnb::font_desc* f = font_for(c, font);
  if (font && *font != 0 && !f) {
    qn_error("Invalid font in GET_TEXT_METRICS", qnb::QN_FAIL, status);
    return {};
  }
  if (!f) f = &system;
  const QFontMetrics fm = metrics_of(c, *f);
  return {fm.height(), fm.ascent(), fm.descent(), fm.averageCharWidth(), fm.maxWidth()};
}

// ---------------------------------------------------------------- bitmaps

void DRAW_BITMAP(ups& u, int32_t bitmap, const bitmap_opts& o) {
  QImage* img = nullptr;
  draw_context* c = resolve(u, "DRAW_BITMAP", o.status, &img);
  if (!c) return;
  const QImage* source = qnb::bitmap_image(bitmap);
  if (!source) {
    qn_error("Invalid bitmap handle in DRAW_BITMAP", qnb::QN_FAIL, o.status);
    return;
  }
  QRect target = img ? img->rect() : QRect(QPoint(0, 0), c->page);
  // A bitmap's natural size is its size on the screen; on paper it keeps that size, its pixels
  // sent to the printer as they are.
  const double natural = img ? 1.0 : c->dpi / 96.0;
  if (o.px) {
    const QPoint a = clamped(o.px->left, o.px->top), b = clamped(o.px->right, o.px->bottom);
    if (o.mode.value_or(0) == 3)
      target = QRect(a.x(), a.y(), int(std::lround(source->width() * natural)), int(std::lround(source->height() * natural)));
    else
      target = QRect(a.x(), a.y(), b.x() - a.x(), b.y() - a.y());
  }
  if (target.width() <= 0 || target.height() <= 0) return;
  if (!img) {
    qnb::page_bitmap(*c->painter, *source, target);
    return;
  }
  if (source != img && target == img->rect() && source->size() == img->size() && source->format() == img->format()) {
    // A whole picture onto a surface of its size and format (the paint callback showing a
    // screen): the surface shares the picture's pixels, which are copied only when either is
    // drawn on next.
    *img = *source;
    changed(*c);
    return;
  }
  const bool smaller = target.width() < source->width() || target.height() < source->height();
  const QImage copy = (o.smooth && smaller)
                          ? source->scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                          : (source == img) ? source->copy() : QImage();
  QPainter p(img);
  p.setCompositionMode(QPainter::CompositionMode_Source);
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(target, copy.isNull() ? *source : copy);
  p.end();
  changed(*c);
}

// ---------------------------------------------------------------- device units

namespace {

float pixels_to_mm(int32_t pixels, ups* u, const char* routine, int* status) {
  qnb::clear_status(status);
  double dpi = 96.0;
  if (u) {
    const draw_context* c = resolve(*u, routine, status);
    if (!c) return 0.0f;
    dpi = c->dpi;
  }
  return float(double(pixels) * 25.4 / dpi);
}

}  // namespace

float X_PIXEL_TO_MILLIMETERS(int32_t pixels, ups* u, int* status) {
  return pixels_to_mm(pixels, u, "X_PIXEL_TO_MILLIMETERS", status);
}

float Y_PIXEL_TO_MILLIMETERS(int32_t pixels, ups* u, int* status) {
  return pixels_to_mm(pixels, u, "Y_PIXEL_TO_MILLIMETERS", status);
}
