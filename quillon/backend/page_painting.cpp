// Painting on a printer page: the drawing routines' figures as the printer's own vectors,
// texts in their font (a PDF embeds it, so that the text stays searchable) and pictures with
// their pixels, all in the printer's device pixels.
#include "quillon/backend/backend.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t white_paper = 0xFFFFFF;
constexpr int32_t rop_nop = 11;

// The colour a raster operation gives over white paper; false when it draws nothing at all.
bool paper_colour(uint32_t colorref, int32_t rop, QColor& out) {
  if (rop == rop_nop) return false;
  out = qnb::colour_of(qnb::rop_combine(colorref, white_paper, rop));
  return true;
}

Qt::PenStyle qt_style(int32_t style) {
  switch (style) {
    case 1: return Qt::DashLine;
    case 2: return Qt::DotLine;
    case 3: return Qt::DashDotLine;
    case 4: return Qt::DashDotDotLine;
    case 5: return Qt::NoPen;
    default: return Qt::SolidLine;
  }
}

// A pen of one pixel is the thinnest line the device draws; wider pens have round ends.  The
// dashes are the screen's, made as long on the page of `dpi` pixels per inch as they are on a
// screen (the painter counts a pattern in pen widths, a one-pixel pen's in pixels).
QPen page_pen(const qnb::pen_desc& pen, const QColor& colour, double dpi) {
  QPen p(colour, pen.width <= 1 ? 0 : pen.width, qt_style(pen.style), Qt::RoundCap, Qt::RoundJoin);
  if (pen.width <= 1) p.setCapStyle(Qt::FlatCap);
  const std::vector<int>& dashes = qnb::dash_pattern(pen.style);
  if (!dashes.empty()) {
    const double unit = (dpi > 0 ? dpi : 96.0) / 96.0 / std::max(pen.width, 1);
    QList<qreal> pattern;
    for (int d : dashes) pattern.append(d * unit);
    p.setDashPattern(pattern);
  }
  return p;
}

QBrush page_brush(const qnb::brush_spec& b, const QColor& colour) {
  if (b.style == 1) return Qt::NoBrush;
  if (b.style == 2) {
    static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::BDiagPattern,
                                             Qt::FDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
    return QBrush(colour, hatches[std::clamp(b.hatch, 0, 5)]);
  }
  return QBrush(colour);
}

}  // namespace

namespace qnb {

void page_line(QPainter& p, const pen_desc& pen, int32_t rop, QPoint a, QPoint b, double dpi) {
  QColor colour;
  if (pen.style == 5 || !paper_colour(pen.colour, rop, colour)) return;
  p.setPen(page_pen(pen, colour, dpi));
  p.drawLine(a, b);
}

void page_shape(QPainter& p, const pen_desc& pen, const brush_spec& brush, int32_t rop, const QRect& box,
                bool ellipse, QSize corner, double dpi) {
  // The outline runs through the box's edge pixels, as on the screen.
  const QRectF outline(box.left(), box.top(), box.width() - 1, box.height() - 1);
  QPainterPath path;
  if (ellipse)
    path.addEllipse(outline);
  else if (!corner.isEmpty())
    path.addRoundedRect(outline, corner.width() / 2.0, corner.height() / 2.0);
  else
    path.addRect(outline);
  page_path(p, pen, brush, rop, path, true, dpi);
}

void page_path(QPainter& p, const pen_desc& pen, const brush_spec& brush, int32_t rop, const QPainterPath& path,
               bool filled, double dpi) {
  QColor line, fill;
  const bool with_pen = pen.style != 5 && paper_colour(pen.colour, rop, line);
  const bool with_brush = filled && brush.style != 1 && paper_colour(brush.colour, rop, fill);
  if (!with_pen && !with_brush) return;
  p.setPen(with_pen ? page_pen(pen, line, dpi) : QPen(Qt::NoPen));
  p.setBrush(with_brush ? page_brush(brush, fill) : QBrush(Qt::NoBrush));
  p.drawPath(path);
}

void page_pixel(QPainter& p, uint32_t colour, QPoint at) { p.fillRect(QRect(at, QSize(1, 1)), colour_of(colour)); }

void page_text(QPainter& p, const QFont& font, float angle, const QString& text, QPoint at, uint32_t colour,
               int64_t background, int32_t rop) {
  const QFontMetrics fm(font, p.device());
  p.save();
  p.translate(at);
  p.rotate(-double(angle));
  if (background != -1) p.fillRect(QRect(0, 0, std::max(fm.horizontalAdvance(text), 1), fm.height()), colour_of(uint32_t(background)));
  QColor ink;
  if (paper_colour(colour, rop, ink)) {
    p.setFont(font);
    p.setPen(ink);
    p.drawText(QPoint(0, fm.ascent()), text);
  }
  p.restore();
}

void page_bitmap(QPainter& p, const QImage& image, const QRect& target) {
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  p.drawImage(target, image);
}

}  // namespace qnb
