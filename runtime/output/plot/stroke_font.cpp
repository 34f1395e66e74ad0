// The built-in stroke font of plot text: three parallel arrays of signed bytes (pen, dx, dy).
// A glyph starts with a header (pen 0, dx = the character code as a signed byte, dy = its
// number of entries with the header); its strokes follow (pen 2 draws, pen 3 moves), each a
// step from the previous point, dx in 1/125 of the text height along the text, dy in 1/100
// across it.  An entry with a pen other than 0 where a header is due ends the table.
//
// The glyphs are written below as point lists on a 0-100 grid ("m" before a point moves to
// it, a bare point draws to it, starting from the character origin) and turned into steps
// once, on first use.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/output/plot/stroke_font.h"

namespace {

struct glyph_def {
  int code;
  const char* outline;
};

constexpr const char* o_ring = "m20,0 0,20 0,80 20,100 80,100 100,80 100,20 80,0 20,0";
constexpr const char* dots_upper = " m30,100 30,92 m70,100 70,92";
constexpr const char* dots_lower = " m30,90 30,82 m70,90 70,82";

const glyph_def upper[] = {
    {'A', "0,80 20,100 80,100 100,80 100,0 m0,50 100,50"},
    {'B', "0,100 70,100 90,90 90,60 70,50 0,50 m70,50 100,40 100,10 80,0 0,0"},
    {'C', "m100,80 80,100 20,100 0,80 0,20 20,0 80,0 100,20"},
    {'D', "0,100 60,100 100,70 100,30 60,0 0,0"},
    {'E', "m100,0 0,0 0,100 100,100 m0,50 70,50"},
    {'F', "0,100 100,100 m0,50 70,50"},
    {'G', "m100,80 80,100 20,100 0,80 0,20 20,0 80,0 100,20 100,45 55,45"},
    {'H', "0,100 m100,100 100,0 m0,50 100,50"},
    {'I', "m30,0 70,0 m50,0 50,100 m30,100 70,100"},
    {'J', "m0,20 20,0 60,0 80,20 80,100 m50,100 100,100"},
    {'K', "0,100 m100,100 0,40 m30,65 100,0"},
    {'L', "m0,100 0,0 100,0"},
    {'M', "0,100 50,50 100,100 100,0"},
    {'N', "0,100 100,0 100,100"},
    {'O', o_ring},
    {'P', "0,100 80,100 100,85 100,65 80,50 0,50"},
    {'Q', "m20,0 0,20 0,80 20,100 80,100 100,80 100,20 80,0 20,0 m60,30 100,0"},
    {'R', "0,100 80,100 100,85 100,65 80,50 0,50 m40,50 100,0"},
    {'S', "m100,80 80,100 20,100 0,80 0,65 20,50 80,50 100,35 100,20 80,0 20,0 0,20"},
    {'T', "m0,100 100,100 m50,100 50,0"},
    {'U', "m0,100 0,20 20,0 80,0 100,20 100,100"},
    {'V', "m0,100 50,0 100,100"},
    {'W', "m0,100 25,0 50,60 75,0 100,100"},
    {'X', "100,100 m0,100 100,0"},
    {'Y', "m0,100 50,50 100,100 m50,50 50,0"},
    {'Z', "m0,100 100,100 0,0 100,0"},
};

const glyph_def others[] = {
    {'0', "m20,0 0,20 0,80 20,100 80,100 100,80 100,20 80,0 20,0 m10,10 90,90"},
    {'1', "m20,80 50,100 50,0 m20,0 80,0"},
    {'2', "m0,80 20,100 80,100 100,80 100,60 0,0 100,0"},
    {'3', "m0,80 20,100 80,100 100,80 100,65 80,50 40,50 m80,50 100,35 100,20 80,0 20,0 0,20"},
    {'4', "m70,0 70,100 0,30 100,30"},
    {'5', "m100,100 0,100 0,55 80,55 100,40 100,15 85,0 15,0 0,15"},
    {'6', "m90,100 30,100 0,70 0,20 20,0 80,0 100,20 100,40 80,55 20,55 0,40"},
    {'7', "m0,100 100,100 30,0"},
    {'8', "m20,50 0,65 0,85 15,100 85,100 100,85 100,65 80,50 20,50 0,35 0,15 15,0 85,0 100,15 "
          "100,35 80,50"},
    {'9', "m10,0 70,0 100,30 100,80 80,100 20,100 0,80 0,60 20,45 80,45 100,60"},
    {'!', "m50,100 50,30 m50,5 50,0"},
    {'"', "m30,100 30,75 m70,100 70,75"},
    {'#', "m30,0 30,100 m70,0 70,100 m0,30 100,30 m0,70 100,70"},
    {'$', "m100,80 80,100 20,100 0,80 0,65 20,50 80,50 100,35 100,20 80,0 20,0 0,20 m50,100 50,0"},
    {'%', "100,100 m10,100 10,80 30,80 30,100 10,100 m70,20 70,0 90,0 90,20 70,20"},
    {'&', "m100,0 10,70 10,90 25,100 45,100 55,90 55,75 0,35 0,10 15,0 50,0 100,50"},
    {'\'', "m50,100 50,75"},
    {'(', "m70,100 40,70 40,30 70,0"},
    {')', "m30,100 60,70 60,30 30,0"},
    {'*', "m50,20 50,80 m20,35 80,65 m20,65 80,35"},
    {'+', "m50,20 50,80 m20,50 80,50"},
    {',', "m50,10 50,0 40,-10"},
    {'-', "m20,50 80,50"},
    {'.', "m45,0 55,0 55,10 45,10 45,0"},
    {'/', "100,100"},
    {':', "m50,70 50,60 m50,10 50,0"},
    {';', "m50,70 50,60 m50,10 50,0 40,-10"},
    {'<', "m100,90 0,50 100,10"},
    {'=', "m10,35 90,35 m10,65 90,65"},
    {'>', "m0,90 100,50 0,10"},
    {'?', "m0,80 20,100 80,100 100,80 100,60 50,40 50,25 m50,5 50,0"},
    {'@', "m70,40 50,30 30,40 30,60 50,70 70,60 70,30 90,30 100,50 100,80 80,100 20,100 0,80 0,20 "
          "20,0 80,0"},
    {'[', "m70,100 40,100 40,0 70,0"},
    {']', "m30,100 60,100 60,0 30,0"},
    {'\\', "m0,100 100,0"},
    {'^', "m20,70 50,100 80,70"},
    {'_', "100,0"},
};

// The marker symbols of the codes 0-9.
const char* const markers[10] = {
    "m20,20 80,20 80,80 20,80 20,20",                   // square
    "m20,20 80,20 50,80 20,20",                         // triangle
    "m35,35 65,35 50,60 35,35 m50,60 50,90 70,90",      // small triangle with a hooked line
    "m50,10 90,50 50,90 10,50 50,10",                   // diamond
    "m50,10 50,90 m10,50 90,50",                        // plus
    "m50,10 50,90 m30,70 50,90 70,70",                  // arrow up
    "m10,10 90,90 m10,90 90,10",                        // diagonal cross
    "m50,90 50,10 m30,30 50,10 70,30",                  // arrow down
    "m50,10 50,50 m30,50 70,50 50,90 30,50",            // triangle on a stem
    "m20,10 80,10 20,90 80,90 20,10",                   // hourglass
};

struct point {
  int x, y;
  bool move;
};

std::vector<point> parse(const std::string& outline, float y_scale = 1.0f) {
  std::vector<point> pts;
  std::istringstream in(outline);
  for (std::string tok; in >> tok;) {
    const bool move = tok[0] == 'm';
    if (move) tok.erase(0, 1);
    const size_t comma = tok.find(',');
    const int x = std::stoi(tok.substr(0, comma));
    const int y = std::stoi(tok.substr(comma + 1));
    pts.push_back({x, static_cast<int>(static_cast<float>(y) * y_scale + (y >= 0 ? 0.5f : -0.5f)), move});
  }
  return pts;
}

void add_glyph(stroke_font_t& f, int code, const std::vector<point>& pts) {
  f.pen.push_back(0);
  f.dx.push_back(static_cast<int8_t>(code > 127 ? code - 256 : code));
  f.dy.push_back(static_cast<int8_t>(pts.size() + 1));
  int px = 0, py = 0;
  for (const point& p : pts) {
    f.pen.push_back(p.move ? 3 : 2);
    f.dx.push_back(static_cast<int8_t>(p.x - px));
    f.dy.push_back(static_cast<int8_t>(p.y - py));
    px = p.x;
    py = p.y;
  }
}

stroke_font_t build() {
  stroke_font_t f;
  for (const glyph_def& g : upper) add_glyph(f, g.code, parse(g.outline));
  for (const glyph_def& g : others) add_glyph(f, g.code, parse(g.outline));
  // Lower case: the capital's strokes at 70 per cent of the height.
  for (const glyph_def& g : upper) add_glyph(f, g.code - 'A' + 'a', parse(g.outline, 0.7f));
  for (int c = 0; c < 10; ++c) add_glyph(f, c, parse(markers[c]));
  const std::string a = upper[0].outline, o = upper[14].outline, u = upper[20].outline;
  auto with_dots = [](const std::string& base, float scale, const char* dots) {
    auto pts = parse(base, scale);
    auto d = parse(dots);
    pts.insert(pts.end(), d.begin(), d.end());
    return pts;
  };
  add_glyph(f, 0xE4, with_dots(a, 0.7f, dots_lower));
  add_glyph(f, 0xF6, with_dots(o, 0.7f, dots_lower));
  add_glyph(f, 0xFC, with_dots(u, 0.7f, dots_lower));
  add_glyph(f, 0xDF, parse("0,80 20,100 70,100 90,85 90,65 60,50 90,35 90,15 75,0 40,0"));
  add_glyph(f, 0xC4, with_dots(a, 0.85f, dots_upper));
  add_glyph(f, 0xD6, with_dots(o, 0.85f, dots_upper));
  add_glyph(f, 0xDC, with_dots(u, 0.85f, dots_upper));
  add_glyph(f, 0xB2, parse("m30,90 40,100 60,100 70,90 70,80 30,50 70,50"));
  add_glyph(f, 0xB3, parse("m30,95 40,100 60,100 70,92 70,85 60,77 45,77 m60,77 70,68 70,57 60,50 "
                           "40,50 30,55"));
  f.pen.push_back(-1);  // the end of the table
  f.dx.push_back(0);
  f.dy.push_back(0);
  return f;
}

}  // namespace

const stroke_font_t& stroke_font() {
  static const stroke_font_t font = build();
  return font;
}

size_t stroke_glyph(char c) {
  const stroke_font_t& f = stroke_font();
  const auto code = static_cast<int8_t>(c);
  size_t i = 0;
  while (i < f.pen.size() && f.pen[i] == 0) {
    if (f.dx[i] == code) return i;
    i += static_cast<size_t>(f.dy[i]);
  }
  return 0;  // a character without a glyph is drawn as the first glyph
}
