// The object table: bitmaps, pens, fonts and icons by handle; the numbered pen and brush
// slots; global memory blocks; bitmap files (BMP and JPEG in, packed DIB and BMP out).
#include "quillon/api/save_file.h"
#include "quillon/backend/backend.h"

#include <QByteArray>
#include <QFile>
#include <QPainter>
#include <QImageReader>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <variant>

namespace {

struct icon_tag {
  QImage image;
};
using object = std::variant<QImage, qnb::pen_desc, qnb::font_desc, icon_tag>;

struct object_table {
  std::map<int32_t, object> objects;
  std::map<int32_t, int32_t> font_uses;  // each font's requests not given back yet
  std::array<int32_t, 32> pen_slots{};
  std::array<int32_t, 32> brush_slots{};
  std::map<int32_t, std::vector<uint8_t>> blocks;
};
object_table& tab() {
  static object_table t;
  return t;
}

template <class T>
T* lookup(int32_t handle) {
  auto it = tab().objects.find(handle);
  return it == tab().objects.end() ? nullptr : std::get_if<T>(&it->second);
}

size_t slot_of(int32_t slot) { return size_t(std::clamp(slot, 0, 31)); }

constexpr int32_t max_side = 32767;

void put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}
uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}
uint16_t get16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }

QImage default_icon() {
  QImage img(32, 32, QImage::Format_RGB32);
  img.fill(QColor(0, 0, 128));
  QPainter p(&img);
  p.setPen(QColor(255, 255, 0));
  p.setBrush(QColor(255, 255, 0));
  p.drawRect(6, 6, 4, 20);                                    // the upright of a K
  const QPoint arm[] = {{10, 16}, {22, 6}, {26, 6}, {14, 16}, {26, 26}, {22, 26}};
  p.drawPolygon(arm, 6);
  return img;
}

}  // namespace

namespace qnb {

QImage* bitmap_image(int32_t handle) { return lookup<QImage>(handle); }

int32_t add_bitmap(QImage image) {
  const int32_t h = new_handle();
  tab().objects.emplace(h, std::move(image));
  return h;
}

const pen_desc* pen_object(int32_t handle) { return lookup<pen_desc>(handle); }
int32_t add_pen(const pen_desc& pen) {
  const int32_t h = new_handle();
  tab().objects.emplace(h, pen);
  return h;
}

const font_desc* font_object(int32_t handle) { return lookup<font_desc>(handle); }
// A font never changes once made, so a request for one that is there already gets that one and
// counts: fonts asked for again and again (each chained program's start-up, a font command in a
// loop) do not pile up.  DELETE_OBJECT gives one request back; the last takes the font away.
int32_t add_font(const font_desc& font) {
  for (auto& [handle, uses] : tab().font_uses) {
    const font_desc* f = lookup<font_desc>(handle);
    if (f != nullptr && f->font == font.font && f->angle == font.angle && f->points == font.points) {
      ++uses;
      return handle;
    }
  }
  const int32_t h = new_handle();
  tab().objects.emplace(h, font);
  tab().font_uses.emplace(h, 1);
  return h;
}

const QImage* icon_image(int32_t handle) {
  const icon_tag* icon = lookup<icon_tag>(handle);
  return icon ? &icon->image : nullptr;
}

bool is_stock_font_name(std::string_view name) {
  return name == "ANSI_FIXED_FONT" || name == "ANSI_VAR_FONT" || name == "SYSTEM_FONT";
}

// Antialiased glyphs placed at the font's own advance widths: hinting only in the vertical,
// so that letters keep even gaps instead of being snapped to whole pixels.
void smooth_text(QFont& font) {
  font.setStyleStrategy(QFont::PreferAntialias);
  font.setHintingPreference(QFont::PreferVerticalHinting);
}

font_desc stock_font(std::string_view name) {
  font_desc f;
  if (name == "ANSI_FIXED_FONT") {
    f.font.setFamilies({QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    f.font.setStyleHint(QFont::Monospace);
    f.font.setPixelSize(13);
  } else if (name == "ANSI_VAR_FONT") {
    f.font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.font.setPixelSize(11);  // a cell of about 13 pixels, as the stock variable font has
  } else {  // SYSTEM_FONT
    f.font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.font.setPixelSize(14);  // a cell of about 16 pixels
    f.font.setWeight(QFont::Bold);
  }
  smooth_text(f.font);
  return f;
}

// A font from the face, points and attributes; fields left absent come from `base`.
font_desc make_font(const font_opts& o, const font_desc& base) {
  font_desc f = base;
  if (o.face) {
    std::string face(*o.face);
    while (!face.empty() && face.back() == ' ') face.pop_back();
    if (is_stock_font_name(face)) return stock_font(face);
    std::string lower;
    for (char c : face) lower.push_back(char(std::tolower(static_cast<unsigned char>(c))));
    QStringList families;
    if (lower == "arial" || lower == "ms sans serif" || lower == "microsoft sans serif" || lower == "helvetica")
      families = {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
    else if (lower == "courier new" || lower == "courier")
      families = {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")};
    else if (lower == "times new roman" || lower == "times")
      families = {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")};
    else
      families = {from_1252(face), QStringLiteral("DejaVu Sans")};
    f.font.setFamilies(families);
    f.font.setWeight(QFont::Normal);
    f.font.setItalic(false);
    f.font.setUnderline(false);
    f.font.setStrikeOut(false);
    f.angle = 0;
    if (!o.points) {
      f.font.setPixelSize(13);  // 10 points at 96 dpi
      f.points = 10.0f;
    }
  }
  if (o.points) {
    float pts = std::isfinite(*o.points) ? std::clamp(*o.points, 1.0f, 1000.0f) : 10.0f;
    f.font.setPixelSize(std::max(1, int(std::lround(pts * 96.0f / 72.0f))));
    f.points = pts;
  }
  if (o.italic) f.font.setItalic(*o.italic);
  if (o.underline) f.font.setUnderline(*o.underline);
  if (o.strikeout) f.font.setStrikeOut(*o.strikeout);
  if (o.bold) f.font.setWeight(*o.bold ? QFont::Bold : QFont::Normal);
  if (o.angle) f.angle = std::isfinite(*o.angle) ? std::fmod(*o.angle, 360.0f) : 0.0f;
  smooth_text(f.font);
  return f;
}

QFont device_font(const font_desc& f, double dpi) {
  QFont font = f.font;
  const double pixels = f.points > 0 ? f.points * dpi / 72.0 : font.pixelSize() * dpi / 96.0;
  font.setPixelSize(std::max(1, int(std::lround(pixels))));
  font.setStyleStrategy(QFont::PreferDefault);
  return font;
}

int32_t pen_width(const pen_opts& o, double dpi) {
  int32_t width = o.width_px.value_or(1);
  if (!o.width_px && o.width_mm)
    width = std::isfinite(*o.width_mm) ? std::max(1, int32_t(std::lround(std::clamp(*o.width_mm, 0.0f, 1000.0f) * dpi / 25.4))) : 1;
  return std::clamp(width, 0, int32_t(std::lround(1000 * dpi / 96.0)));
}

void objects_reset() {
  tab().objects.clear();
  tab().font_uses.clear();
  tab().pen_slots.fill(0);
  tab().brush_slots.fill(0);
  tab().blocks.clear();
}

}  // namespace qnb

// ---------------------------------------------------------------- pen and brush slots

void create_my_pen(int32_t slot, const pen_opts& o) {
  qnb::clear_status(o.status);
  qnb::pen_desc pen;
  pen.colour = o.colour.value_or(0x000000);  // the window-text colour
  pen.style = std::clamp(o.style.value_or(0), 0, 6);
  pen.width = qnb::pen_width(o, 96.0);
  const size_t s = slot_of(slot);
  if (tab().pen_slots[s]) tab().objects.erase(tab().pen_slots[s]);
  tab().pen_slots[s] = qnb::add_pen(pen);
}

void delete_my_pen(int32_t slot, int* status) {
  qnb::clear_status(status);
  const size_t s = slot_of(slot);
  if (tab().pen_slots[s]) tab().objects.erase(tab().pen_slots[s]);
  tab().pen_slots[s] = 0;
}

void delete_my_brush(int32_t slot, int* status) {
  qnb::clear_status(status);
  const size_t s = slot_of(slot);
  if (tab().brush_slots[s]) tab().objects.erase(tab().brush_slots[s]);
  tab().brush_slots[s] = 0;
}

void get_my_pen_and_brush(int32_t slot, int32_t& pen, int32_t& brush) {
  const size_t s = slot_of(slot);
  pen = tab().pen_slots[s];
  brush = tab().brush_slots[s];
}

int32_t SELECT_FONT(const font_opts& o) {
  qnb::clear_status(o.status);
  qnb::ensure_app();
  const qnb::font_desc base = qnb::stock_font("SYSTEM_FONT");
  font_opts with_face = o;
  if (!with_face.face) with_face.face = "Arial";
  return qnb::add_font(qnb::make_font(with_face, base));
}

// ---------------------------------------------------------------- bitmaps

int32_t CREATE_BITMAP(int32_t width, int32_t height, int* status) {
  qnb::clear_status(status);
  qnb::ensure_app();
  if (width <= 0 || height <= 0 || width > max_side || height > max_side ||
      int64_t(width) * height > qnb::max_bitmap_pixels) {
    qn_error("Unable to create bitmap: bad size", qnb::QN_FAIL, status);
    return 0;
  }
  QImage img(width, height, QImage::Format_RGB32);
  if (img.isNull()) {
    qn_out_of_memory(status);
    return 0;
  }
  img.fill(Qt::black);  // a new display bitmap starts black
  return qnb::add_bitmap(std::move(img));
}

void DELETE_OBJECT(int32_t handle, int* status) {
  qnb::clear_status(status);
  if (handle == 0) return;
  if (auto font = tab().font_uses.find(handle); font != tab().font_uses.end()) {
    if (--font->second > 0) return;  // asked for elsewhere too
    tab().font_uses.erase(font);
  }
  if (tab().objects.erase(handle) == 0) qn_error("Unable to DELETE_OBJECT", qnb::QN_FAIL, status);
  for (auto& slot : tab().pen_slots)
    if (slot == handle) slot = 0;
}

int32_t qn_object_count() { return int32_t(tab().objects.size() + tab().blocks.size()); }

std::string qnb::too_many_pixels(int64_t width, int64_t height) {
  return "the picture claims " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels, more than the " + std::to_string(max_bitmap_pixels / (1 << 20)) + " megapixels a bitmap may have";
}

qn_point qn_bitmap_size(int32_t bitmap) {
  const QImage* img = qnb::bitmap_image(bitmap);
  return img ? qn_point{img->width(), img->height()} : qn_point{};
}

int32_t LOAD_BITMAP(std::string_view file, int* status) {
  qnb::clear_status(status);
  qnb::ensure_app();
  std::string name(file);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  const std::string path = qnb::resolve_file_name(name);
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) {
    qn_error("Unable to open bitmap file: " + name + ": " + f.errorString().toStdString(), qnb::QN_FAIL, status);
    return 0;
  }
  const QByteArray head = f.peek(2);
  QImage img;
  std::string why;
  if (head.size() == 2 && uint8_t(head[0]) == 0xFF && uint8_t(head[1]) == 0xD8) {
    f.close();
    if (!qnb::decode_jpeg(path, img, why)) {
      qn_error("Unable to read JPEG file " + name + ": " + why, qnb::QN_FAIL, status);
      return 0;
    }
  } else {
    // The size the file claims is checked before anything is decoded.
    QImageReader reader(&f, head == "BM" ? "BMP" : QByteArray());
    const QSize claimed = reader.size();
    if (claimed.isValid() && int64_t(claimed.width()) * claimed.height() > qnb::max_bitmap_pixels) {
      qn_error("Unable to read bitmap file " + name + ": " + qnb::too_many_pixels(claimed.width(), claimed.height()),
               qnb::QN_FAIL, status);
      return 0;
    }
    if (!reader.read(&img)) {
      qn_error("Unable to read bitmap file: " + name + ": " + reader.errorString().toStdString(), qnb::QN_FAIL, status);
      return 0;
    }
    if (int64_t(img.width()) * img.height() > qnb::max_bitmap_pixels) {
      qn_error("Unable to read bitmap file " + name + ": " + qnb::too_many_pixels(img.width(), img.height()),
               qnb::QN_FAIL, status);
      return 0;
    }
    img = img.convertToFormat(QImage::Format_RGB32);
  }
  if (img.isNull()) {
    qn_out_of_memory(status);
    return 0;
  }
  return qnb::add_bitmap(std::move(img));
}

int32_t BITMAP_TO_DIB(int32_t bitmap, int* status) {
  qnb::clear_status(status);
  const QImage* img = qnb::bitmap_image(bitmap);
  if (!img) {
    qn_error("Unable to create DIB in BITMAP_TO_DIB", qnb::QN_FAIL, status);
    return 0;
  }
  const int w = img->width(), h = img->height();
  const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
  std::vector<uint8_t> block;
  try {
    block.assign(40 + stride * size_t(h), 0);
  } catch (const std::bad_alloc&) {
    qn_out_of_memory(status);
    return 0;
  }
  put32(block, 0, 40);
  put32(block, 4, uint32_t(w));
  put32(block, 8, uint32_t(h));  // positive height: bottom-up rows
  put16(block, 12, 1);
  put16(block, 14, 24);
  put32(block, 16, 0);  // BI_RGB
  put32(block, 20, uint32_t(stride * size_t(h)));
  put32(block, 24, 3780);  // 96 dpi
  put32(block, 28, 3780);
  for (int y = 0; y < h; ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(img->constScanLine(y));
    uint8_t* row = block.data() + 40 + stride * size_t(h - 1 - y);
    for (int x = 0; x < w; ++x) {
      row[3 * x] = uint8_t(qBlue(src[x]));
      row[3 * x + 1] = uint8_t(qGreen(src[x]));
      row[3 * x + 2] = uint8_t(qRed(src[x]));
    }
  }
  const int32_t handle = qnb::new_handle();
  tab().blocks.emplace(handle, std::move(block));
  return handle;
}

bool save_bitmap_file(int32_t dib, std::string_view file, int* status) {
  qnb::clear_status(status);
  auto it = tab().blocks.find(dib);
  if (it == tab().blocks.end()) {
    qn_error("Invalid DIB handle in save_bitmap_file", qnb::QN_FAIL, status);
    return false;
  }
  const std::vector<uint8_t>& b = it->second;
  // The pixels start after the header, the colour masks and the colour table.
  if (b.size() < 12 || get32(b, 0) < 12 || get32(b, 0) > b.size()) {
    qn_error("Invalid DIB in save_bitmap_file", qnb::QN_FAIL, status);
    return false;
  }
  const uint32_t header = get32(b, 0);
  uint64_t colours = 0, masks = 0;
  if (header >= 40) {
    const uint16_t bits = get16(b, 14);
    const uint32_t compression = get32(b, 16);
    const uint32_t used = get32(b, 32);
    colours = used ? used : (bits <= 8 ? (uint64_t(1) << bits) : 0);
    if (header == 40 && (compression == 3 || compression == 6)) masks = compression == 3 ? 12 : 16;
  } else {
    const uint16_t bits = get16(b, 10);
    colours = bits <= 8 ? (uint64_t(1) << bits) : 0;
  }
  const uint64_t palette = colours * (header >= 40 ? 4 : 3);
  if (header + masks + palette > b.size()) {
    qn_error("Invalid DIB in save_bitmap_file", qnb::QN_FAIL, status);
    return false;
  }
  std::vector<uint8_t> head(14, 0);
  head[0] = 'B';
  head[1] = 'M';
  put32(head, 2, uint32_t(14 + b.size()));
  put32(head, 10, uint32_t(14 + header + masks + palette));
  std::string name(file);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  save_file out;
  if (out.open(qnb::resolve_file_name(name)) == 0) {
    out.write({reinterpret_cast<const char*>(head.data()), head.size()});
    out.write({reinterpret_cast<const char*>(b.data()), b.size()});
  }
  if (const int32_t failed = out.commit(); failed != 0) {
    qn_error("Unable to write bitmap file: " + name + ": " + out.reason(), failed, status);
    return false;
  }
  return true;
}

void free_global_text(int32_t handle, int* status) {
  qnb::clear_status(status);
  if (tab().blocks.erase(handle) == 0) qn_error("Unable to free global memory", qnb::QN_FAIL, status);
}

const std::vector<uint8_t>* qn_global_block(int32_t handle) {
  auto it = tab().blocks.find(handle);
  return it == tab().blocks.end() ? nullptr : &it->second;
}

int32_t LOAD_ICON(std::string_view name, int* status) {
  qnb::clear_status(status);
  qnb::ensure_app();
  // Every name gets the library's built-in icon: there are no executable resources here.
  const int32_t h = qnb::new_handle();
  tab().objects.emplace(h, icon_tag{default_icon()});
  return h;
}
