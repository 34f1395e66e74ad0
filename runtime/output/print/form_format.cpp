// Form lines: fields of program values placed into a line by their kind, the "$FORM" value-format
// definitions, and the picture formatter behind them and behind the STRING function.
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "runtime/program/calendar.h"
#include "runtime/program/program.h"
#include "runtime/output/print/print.h"
#include "runtime/screen/field_output.h"
#include "runtime/screen/screen.h"

form_def_table_t form_def_table;

namespace {

// The seven field-start characters (kinds 1..7) followed by the hex digits.
constexpr std::string_view field_chars = "{}$\xB0|&^0123456789ABCDEF0123456789abcdef";
constexpr std::string_view start_chars = field_chars.substr(0, 7);
constexpr std::string_view separators = ".,;-=/\\";
constexpr size_t field_text_length = 256;  // the formatted-output buffer, whole
constexpr size_t work_length = 30;

bool blank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

// 1-based position of the last non-blank character, 0 for a blank text.
size_t last_nonblank(std::string_view s) {
  size_t p = s.find_last_not_of(' ');
  return p == std::string_view::npos ? 0 : p + 1;
}

std::string trim_left(std::string_view s) {
  size_t p = s.find_first_not_of(' ');
  return p == std::string_view::npos ? std::string() : std::string(s.substr(p));
}

std::string trim_right(std::string_view s) { return std::string(s.substr(0, last_nonblank(s))); }

std::string padded(std::string_view s, size_t length) {
  std::string r(s.substr(0, std::min(s.size(), length)));
  r.resize(length, ' ');
  return r;
}

// Value of one hex digit; a character that is no hex digit counts as 0.
int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

// Removes `count` characters at `pos` (0-based) and keeps the line's length with blanks.
void remove_chars(std::string& line, size_t pos, size_t count) {
  size_t length = line.size();
  if (pos >= length) return;
  line.erase(pos, std::min(count, length - pos));
  line.resize(length, ' ');
}

// ---------------------------------------------------------------- format_value

// The picture letters written by a fixed-width field: letter, width and optional digits.
struct edit_descriptor {
  char letter = 0;
  int32_t width = 0;
  int32_t digits = -1;  // -1: none given
};

// Parses "(Lw)" or "(Lw.d)" (blanks ignored) for the letters I, F, E, Z.
bool parse_descriptor(std::string_view picture, edit_descriptor& d) {
  std::string s;
  for (char c : picture)
    if (c != ' ') s += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (s.size() < 4 || s.front() != '(' || s.back() != ')') return false;
  s = s.substr(1, s.size() - 2);
  d.letter = s[0];
  size_t dot = s.find('.');
  std::string w = s.substr(1, dot == std::string::npos ? std::string::npos : dot - 1);
  if (w.empty() || w.size() > 3 || !std::all_of(w.begin(), w.end(), ::isdigit)) return false;
  d.width = std::stoi(w);
  if (d.width < 1) return false;
  if (dot != std::string::npos) {
    std::string n = s.substr(dot + 1);
    if (n.empty() || n.size() > 2 || !std::all_of(n.begin(), n.end(), ::isdigit)) return false;
    d.digits = std::stoi(n);
  }
  return true;
}

std::string write_descriptor(const edit_descriptor& d, double value) {
  switch (d.letter) {
    case 'I': return write_whole_field(value, d.width, std::max(d.digits, 0));
    case 'F': return write_f_field(value, d.width, std::max(d.digits, 0));
    case 'E': return write_e_field(value, d.width, d.digits < 1 ? 6 : d.digits);
    case 'Z': return write_z_field(value, d.width);
    default: return {};
  }
}

// A picture "(Iw)" or "(Iw.d)" (any case, blanks inside ignored): its descriptor.
bool plain_i_field(const std::string& pic, edit_descriptor& d) {
  return pic.size() > 1 && std::toupper(static_cast<unsigned char>(pic[1])) == 'I' && pic != "(I)" &&
         parse_descriptor(pic, d) && d.letter == 'I';
}

// Picture formatting into the 30-character work text; returns the status (0 = success).
int32_t format_into_work(std::string& work, double value, const std::string& pic) {
  const char letter = pic.size() > 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(pic[1]))) : ' ';
  const char third = pic.size() > 2 ? pic[2] : ' ';
  const bool digit_follows = third >= '0' && third <= '9';
  edit_descriptor d;
  switch (letter) {
    case 'I':
      if (pic == "(I)") {
        // Wide enough for every float's whole number (the largest has 39 digits).
        work = trim_left(write_whole_field(value, 40));
        return 0;
      }
      if (!plain_i_field(pic, d)) return 2;
      work = write_descriptor(d, value);
      return 0;
    case 'F':
    case 'E':
      if (digit_follows) {
        std::string format = pic;
        size_t sep_at = format.find(',');
        if (sep_at == std::string::npos) sep_at = format.find(':');
        char sep = sep_at == std::string::npos ? 0 : format[sep_at];
        if (sep) format[sep_at] = '.';
        if (!parse_descriptor(format, d)) return 2;
        std::string text = write_descriptor(d, value);
        size_t p = text.find(" .");
        if (p != std::string::npos) text[p] = '0';
        p = text.find(" -.");
        if (p != std::string::npos) text.replace(p, 2, "-0");
        if (sep) {
          p = text.find('.');
          if (p != std::string::npos) text[p] = sep;
        }
        work = text;
        return 0;
      }
      if (third == '.' || third == ',' || third == ':' || third == ')') {
        // Wide enough for every float with its 10 decimals (the largest has 39 digits), so the
        // field never overflows into asterisks; the character before the point is its 12th
        // from the end.
        constexpr int32_t free_width = 52;
        constexpr size_t before_point = free_width - 12;
        std::string text = write_f_field(value, free_width, 10);
        if (text[before_point] == ' ') text[before_point] = '0';
        else if (text[before_point] == '-') text.replace(before_point - 1, 2, "-0");
        text = trim_left(text);
        if (text.find('.') != std::string::npos)
          while (!text.empty() && text.back() == '0') text.pop_back();
        if (third == ',' || third == ':') {
          size_t p = text.find('.');
          if (p != std::string::npos) text[p] = third;
        }
        work = text;
        return 0;
      }
      return 2;
    case 'L': {
      // "(Ltrue:false)": the text before ":" for a value other than 0, the text after it
      // up to ")" for 0.
      std::string texts = pic.size() > 2 ? pic.substr(2) : std::string();
      size_t colon = texts.find(':');
      std::string when_true = texts.substr(0, colon);
      std::string when_false = colon == std::string::npos ? std::string() : texts.substr(colon + 1);
      if (colon == std::string::npos) {
        size_t close = when_true.find(')');
        if (close != std::string::npos) when_true.resize(close);
      }
      size_t close = when_false.find(')');
      if (close != std::string::npos) when_false.resize(close);
      work = value != 0.0 ? when_true : when_false;
      return 0;
    }
    case 'D': {
      // A day number with no date of four-digit year (beyond 31.12.9999, or no number at all)
      // fills the whole field with asterisks: no part of another date is shown.
      const std::string no_date(third == '8' ? 8 : 10, '*');
      if (!std::isfinite(value)) {
        work = no_date;
        return 0;
      }
      const double whole = std::round(value);  // halves away from zero
      if (whole < 1.0) {
        work = "00.00.0000";
        return 0;
      }
      if (whole > 2147483647.0) {
        work = no_date;
        return 0;
      }
      int32_t day = static_cast<int32_t>(whole);
      int32_t month = 0, year = 0;
      day_to_date(day, month, year);
      if (year > 9999) {
        work = no_date;
        return 0;
      }
      work = write_i_field(day, 2) + "." + write_i_field(month, 2, 2) + ".";
      work += third == '8' ? write_i_field(year % 100, 2, 2) : write_i_field(year, 4, 4);
      return 0;
    }
    case 'Q':
      work = fmt_comma9o(static_cast<float>(value));
      return 0;
    case 'Z': {
      if (pic == "(Z)") {
        // As many digits as the word needs (zero is "0"); 8 asterisks beyond the word.
        work = trim_left(write_z_field(value, 8));
        return 0;
      }
      if (!parse_descriptor(pic, d) || d.letter != 'Z') return 2;
      work = write_descriptor(d, value);
      return 0;
    }
    default:
      warning_box("Format nicht unterst.", pic);
      return 1;
  }
}

}  // namespace

namespace {

// The picture as the formatter reads it: its first 8 characters without trailing blanks, wrapped
// in "(" and ")" when they do not begin with "(".
std::string read_picture(std::string_view picture) {
  std::string pic = trim_right(picture.substr(0, std::min<size_t>(picture.size(), 8)));
  if (pic.empty() || pic[0] != '(') {
    pic = "(" + pic;
    if (pic.size() < 10) pic += ")";
    pic = pic.substr(0, 10);
  }
  return pic;
}

// What a picture comes to, kept for the few pictures a program formats with again and again (a
// STRING in a loop): the picture as read, and the I field it describes, if it is one.
struct picture_form {
  bool used = false;
  uint64_t key = 0;  // the picture's first 8 characters as given (zeros past its end) ...
  size_t key_length = 0;  // ... and how many there are
  std::string pic;
  edit_descriptor i_field;  // letter 'I': a plain I field
};
std::array<picture_form, 4> picture_forms;
size_t next_picture_form = 0;

const picture_form& form_of(std::string_view picture) {
  constexpr size_t key_size = sizeof picture_form::key;
  const size_t key_length = std::min(picture.size(), key_size);
  uint64_t key = 0;
  if (key_length == key_size)
    std::memcpy(&key, picture.data(), key_size);
  else if (key_length > 0)
    std::memcpy(&key, picture.data(), key_length);
  for (const picture_form& f : picture_forms)
    if (f.key == key && f.key_length == key_length && f.used) return f;
  picture_form& f = picture_forms[next_picture_form];
  next_picture_form = (next_picture_form + 1) % picture_forms.size();
  f.used = true;
  f.key = key;
  f.key_length = key_length;
  f.pic = read_picture(picture.substr(0, key_length));
  edit_descriptor d;
  f.i_field = plain_i_field(f.pic, d) ? d : edit_descriptor{};
  return f;
}

}  // namespace

int32_t format_value_head(std::span<char> result, double value, std::string_view picture, size_t& written) {
  const picture_form& form = form_of(picture);
  if (form.i_field.letter == 'I' && static_cast<size_t>(form.i_field.width) <= result.size()) {
    // The field straight into the result, then blanks up to the work text's length.
    const auto width = static_cast<size_t>(form.i_field.width);
    write_whole_field(result.first(width), value, std::max(form.i_field.digits, 0));
    written = std::min(std::max(width, work_length), result.size());
    std::fill(result.begin() + static_cast<std::ptrdiff_t>(width), result.begin() + static_cast<std::ptrdiff_t>(written), ' ');
    return 0;
  }
  const std::string pic = form.pic;  // the reports below may format with other pictures
  std::string work;
  int32_t status = format_into_work(work, value, pic);
  // A field wider than the result is never cut (that would drop digits): it fails, and the
  // result stays blank.
  if (status == 0 && work.size() > result.size()) status = 3;
  const size_t extent = status == 0 ? std::max(work.size(), work_length) : work_length;
  written = std::min(extent, result.size());
  std::fill(result.begin(), result.begin() + static_cast<std::ptrdiff_t>(written), ' ');
  if (status == 0) {
    std::copy(work.begin(), work.end(), result.begin());
    return 0;
  }
  report_error("FMT-Error:" + pic, 0);
  report_error("WORK_txt :" + padded(work, work_length), 0);
  report_error("ERR:VALUE : " + std::to_string(status) + write_whole_field(value, 5) + ":" +
                   write_f_field(value, 6, 2),
               0);
  return status;
}

int32_t format_value(std::span<char> result, double value, std::string_view picture) {
  // Blank first: a failure's reports may end the program before the call returns.
  std::fill(result.begin(), result.end(), ' ');
  size_t written = 0;
  return format_value_head(result, value, picture, written);
}

int32_t format_value(std::string& result, double value, std::string_view picture) {
  if (result.empty()) result.assign(work_length, ' ');
  return format_value(std::span<char>(result), value, picture);
}

// ---------------------------------------------------------------- definitions and index values

void frm_reset_defs() {
  form_def_table.count = 0;
  for (form_def& d : form_def_table.slots) d = form_def{};
}

void frm_set_index_value(int32_t k, float value) {
  if (k >= 0 && k <= 999) form_def_table.index_values[static_cast<size_t>(k)] = value;
}

void frm_set_index_int(int32_t k, int32_t value) { frm_set_index_value(k, static_cast<float>(value)); }

void form_format_reset() { form_def_table = form_def_table_t{}; }

void decode_hex_escapes(std::string& text) {
  size_t p = 0;
  while ((p = text.find('&', p)) != std::string::npos) {
    char high = p + 1 < text.size() ? text[p + 1] : '0';
    char low = p + 2 < text.size() ? text[p + 2] : '0';
    text[p] = static_cast<char>(hex_value(high) * 16 + hex_value(low));
    text.erase(p + 1, std::min<size_t>(2, text.size() - p - 1));
    ++p;  // the decoded character is never taken for a new escape
  }
}

namespace {

// "$FORM" blank letter "=" picture "/" value "=" text.
void define_format(std::string& line) {
  form_def_table_t& t = form_def_table;
  t.count = std::min(t.count + 1, 50);
  form_def& def = t.slots[static_cast<size_t>(t.count - 1)];
  def = form_def{};
  size_t first_blank = line.find(' ');
  std::string after = first_blank == std::string::npos ? std::string() : line.substr(first_blank + 1);
  std::string body = trim_left(after);
  def.name = padded(body.substr(0, body.find('/')), 12);
  bool ok = first_blank != std::string::npos && first_blank + 2 < line.size() && line[first_blank + 1] != ' ' &&
            line[first_blank + 2] == '=';
  size_t slash = line.find('/');
  if (slash != std::string::npos) {
    std::string part = line.substr(slash + 1);
    size_t eq = part.find('=');
    if (eq != std::string::npos) {
      def.text = padded(part.substr(eq + 1), 12);
      part.resize(eq);
    }
    float v = 0.0f;
    if (read_real_field(part.substr(0, std::min<size_t>(part.size(), 7)), 0, v)) def.value = v;
    else ok = false;
  }
  if (!ok) report_error("FRM-Formatfehler : " + trim_right(after), 32000);
  line = padded("$SKIP", line.size());
  trace_int("DEF FORMAT >" + def.name + "< / ", t.count);
}

// A definition's picture that writes a number (not a date or one of two texts).
bool number_picture(std::string_view picture) {
  const std::string pic = read_picture(picture);
  const char letter = pic.size() > 1 ? static_cast<char>(std::toupper(static_cast<unsigned char>(pic[1]))) : ' ';
  return std::string_view("IFEZQ").find(letter) != std::string_view::npos;
}

// The text of a field named `name` (without its "#"s), from a definition or a variable; `number`
// tells whether it is a number's (a part of it cut out by "[from:to]" is a text).
// Returns false when the whole line is to be skipped.
bool field_text(const std::string& field_name, std::string& text, bool& number) {
  number = false;
  std::string name = field_name;
  int32_t from = 0, to = 0, element = 1;
  size_t bracket = name.find('[');
  if (bracket != std::string::npos) {
    std::string rest = name.substr(bracket + 1);
    size_t close = rest.find(']');
    size_t colon = rest.find(':');
    if (close == std::string::npos || close < 3) {
      report_error("FMT-SUBSTR ? : ]", 32000);
    } else if (colon == std::string::npos || colon < 1) {
      report_error("FMT-SUBSTR ? : :", 32000);
    } else {
      std::string inside = rest.substr(0, close);
      size_t c = inside.find(':');
      int32_t a = 0, b = 0;
      std::string first = inside.substr(0, c), second = inside.substr(c + 1);
      if (blank(first) || blank(second) || !read_int_field(first, a) || !read_int_field(second, b)) {
        report_error("FMT-SUBSTR !", 32000);
      } else {
        from = a;
        to = b;
      }
    }
    name.resize(bracket);
  }
  size_t paren = name.find('(');
  if (paren != std::string::npos) {
    std::string rest = name.substr(paren + 1);
    size_t close = rest.find(')');
    if (close == std::string::npos || close < 1) {
      report_error("FMT-Index ? : )", 32000);
    } else {
      int32_t k = 1;
      if (!read_int_field(rest.substr(0, std::min<size_t>(close, 4)), k)) report_error("FMT-Index !", 32000);
      else element = k;
    }
    name.resize(paren);
  }

  bool found = false;
  if (name.size() >= 2 && name[1] >= '0' && name[1] <= '9') {
    const form_def_table_t& t = form_def_table;
    // The newest definition of the letter decides; when it cannot format the value the field
    // is a variable field (older definitions of the letter are not tried).
    for (int32_t n = t.count; n >= 1; --n) {
      const form_def& def = t.slots[static_cast<size_t>(n - 1)];
      if (def.name[0] != name[0]) continue;
      int32_t k = 0;
      if (!read_int_field(name.substr(1, 3), k) || k < 0 || k > 999) {
        report_error("Read Index: " + name, 32000);
        break;
      }
      found = true;
      float v = t.index_values[static_cast<size_t>(k)];
      if (v == def.value) {
        text = padded(def.text, field_text_length);
      } else if (def.name[2] == 'Z') {
        text.assign(field_text_length, ' ');
        if (v == 0.0f) return false;
      } else {
        std::string result(field_text_length, ' ');
        const std::string_view picture = std::string_view(def.name).substr(2, 10);
        if (format_value(result, v, picture) == 0) {
          text = result;
          number = number_picture(picture);
        } else {
          found = false;
        }
      }
      break;
    }
  }
  if (!found) {
    number = format_var_by_name(name, element);
    std::string buffer(field_text_length, ' ');
    get_input_text(buffer.data(), static_cast<int32_t>(field_text_length));
    text = buffer;
  }
  if (from > 0 && from <= to) {
    auto a = static_cast<size_t>(std::min<int32_t>(from, field_text_length));
    auto b = static_cast<size_t>(std::min<int32_t>(to, field_text_length));
    text = padded(text.substr(a - 1, b - a + 1), field_text_length);
    number = false;
  }
  return true;
}

// The right-justified rule: where the text (its last non-blank character at n) ends once
// decimals have gone before leading digits: up to three characters go from the end while the text
// is too long and the character w places before the end is no blank, then a comma left at the end.
size_t right_justified_end(std::string_view text, size_t w) {
  size_t n = last_nonblank(text);
  for (int round = 0; round < 3 && n > w; ++round) {
    if (text[n - w - 1] == ' ') break;
    --n;
  }
  if (n > 0 && text[n - 1] == ',') --n;
  return n;
}

// True when a number's text (no blanks around it) cut after its first n characters loses nothing
// but its decimal separator and the digits after it.
bool only_decimals_after(std::string_view number, size_t n) {
  if (n >= number.size()) return true;
  const size_t separator = number.find_first_of(".,");
  if (separator == std::string_view::npos || n < separator) return false;
  return std::all_of(number.begin() + static_cast<std::ptrdiff_t>(separator) + 1, number.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// A number (no blanks around it) in `fit` places: whole when it fits, else shortened by the
// right-justified rule when that drops only decimals; false when it cannot be shown, since a
// number without a leading digit or its sign would be another number.
bool number_to_fit(std::string_view number, size_t fit, std::string& out) {
  size_t n = number.size();
  if (n > fit) {
    n = right_justified_end(number, fit);
    if (n > fit || !only_decimals_after(number, n)) return false;
  }
  out.assign(number.substr(0, n));
  return true;
}

// The text that takes a field's w places (kinds 1, 2, 3, 5, 7); `number` when it is a number's.
// A number that its field cannot show fills the field with asterisks.
std::string placed_text(int kind, const std::string& text, size_t w, bool number) {
  std::string out(w, ' ');
  std::string t = trim_right(trim_left(text));
  // Letter-spaced fields show 20 characters at most, one in every other place.
  const size_t fit = kind == 5 ? std::min<size_t>(20, (w + 1) / 2) : w;
  if (number && kind != 7 && !number_to_fit(std::string(t), fit, t)) return std::string(w, '*');
  switch (kind) {
    case 1:
      return padded(t, w);
    case 2: {
      if (number) return padded(std::string(w - std::min(w, t.size()), ' ') + t, w);
      // Decimals are dropped before leading digits; what still does not fit loses its front.
      const size_t n = right_justified_end(text, w);
      for (size_t k = 0; k < std::min(n, w); ++k) out[w - 1 - k] = text[n - 1 - k];
      return out;
    }
    case 3: {
      auto n = static_cast<int64_t>(t.size());
      int64_t start = (static_cast<int64_t>(w) - n) / 2 + 1;  // 1-based
      for (int64_t k = 0; k < n; ++k) {
        int64_t pos = start + k;
        if (pos >= 1 && pos <= static_cast<int64_t>(w)) out[static_cast<size_t>(pos - 1)] = t[static_cast<size_t>(k)];
      }
      return out;
    }
    case 5: {
      std::string spaced;
      for (char c : padded(t, 20)) {
        spaced += c;
        spaced += ' ';
      }
      return padded(spaced, w);
    }
    default: {
      // As delivered: a number keeps its place in the text, so its front must lie in the field.
      const size_t front = text.find_first_not_of(' ');
      if (!number || last_nonblank(text) <= w) return padded(text, w);
      std::string cut;
      if (front >= w || !number_to_fit(t, w - front, cut)) return std::string(w, '*');
      return padded(text.substr(0, front) + cut, w);
    }
  }
}

}  // namespace

void frm_format_line(std::string& line, bool flag, bool grows) {
  if (blank(line)) return;
  if (line.rfind("$FORM", 0) == 0) {
    define_format(line);
    return;
  }
  size_t i = line.find_first_not_of(' ');  // 0-based scan position
  while (i + 1 < last_nonblank(line)) {
    const char c = line[i];
    const size_t kind_at = start_chars.find(c);
    if (kind_at == std::string_view::npos) {
      ++i;
      continue;
    }
    const int kind = static_cast<int>(kind_at) + 1;
    if (line[i + 1] == c) {  // doubled: one literal start character
      remove_chars(line, i, 1);
      ++i;
      continue;
    }
    if (kind == 6) {  // "&" and two hex digits: one character
      char high = line[i + 1];
      char low = i + 2 < line.size() ? line[i + 2] : '0';
      line[i] = static_cast<char>(hex_value(high) * 16 + hex_value(low));
      remove_chars(line, i + 1, 2);
      ++i;
      continue;
    }
    // Field extent: the start character and the characters of its name and "#"s.
    size_t j = i + 1;
    bool hash_seen = false;
    while (j < line.size()) {
      const char ch = line[j];
      if (ch == ' ' || start_chars.find(ch) != std::string_view::npos) break;
      if (hash_seen ? ch != '#' : separators.find(ch) != std::string_view::npos) break;
      if (ch == '#') hash_seen = true;
      ++j;
    }
    const size_t w = j - i;
    std::string name = line.substr(i + 1, w - 1);
    name.resize(std::min(name.find('#'), name.size()));

    if (!flag) {
      std::fill_n(line.begin() + static_cast<std::ptrdiff_t>(i), w, '.');
      i += w;
      continue;
    }
    std::string text;
    bool number = false;
    if (!field_text(name, text, number)) {
      line = padded("$SKIP", line.size());
      return;
    }
    if (kind == 4) {
      if (blank(text)) {
        remove_chars(line, i, w + 1);
        continue;
      }
      std::string t = trim_right(trim_left(text));
      size_t length = line.size();
      line.replace(i, w, t);
      line.resize(grows ? std::max(length, last_nonblank(line)) : length, ' ');
      i += t.size();
      continue;
    }
    std::string placed = blank(text) ? std::string(w, ' ') : placed_text(kind, text, w, number);
    line.replace(i, w, placed);
    i += w;
  }
}
