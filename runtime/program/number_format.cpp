// Fixed-width number fields and the German-style number-to-text formatters (decimal comma).
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <span>
#include <string>

#include "runtime/program/number_text.h"

namespace {

struct number_format_state {
  bool blank_flag = false;  // negatives give five blanks in the fixed-width formatters
};
number_format_state nf_state;

std::string stars(int32_t width) { return std::string(static_cast<size_t>(std::max(width, 0)), '*'); }

// Right-aligns `body` in `width` places, or asterisks when it does not fit.
std::string right_align(const std::string& body, int32_t width) {
  if (width <= 0) return {};
  if (static_cast<int32_t>(body.size()) > width) return stars(width);
  return std::string(static_cast<size_t>(width) - body.size(), ' ') + body;
}

// Sets `decimals` decimals of the formatters: F of 0 or more, clamped to what fits a field.
int32_t clamp_decimals(int32_t decimals) { return std::clamp(decimals, 0, 60); }

}  // namespace

namespace {

// Writes a sign and `count` digits, with zeros before them up to `min_digits`, right-aligned
// into the field; asterisks when they do not fit.
void place_digits(std::span<char> field, bool negative, const char* digits, size_t count, int32_t min_digits) {
  const size_t wanted = static_cast<size_t>(std::clamp(min_digits, 0, 64));
  const size_t zeros = wanted > count ? wanted - count : 0;
  const size_t body = (negative ? 1 : 0) + zeros + count;
  const size_t width = field.size();
  if (body > width) {
    std::fill(field.begin(), field.end(), '*');
    return;
  }
  char* out = field.data();
  std::fill_n(out, width - body, ' ');
  out += width - body;
  if (negative) *out++ = '-';
  out = std::fill_n(out, zeros, '0');
  std::copy_n(digits, count, out);
}

}  // namespace

void write_i_field(std::span<char> field, int32_t value, int32_t min_digits) {
  char digits[16];
  const uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  const size_t count = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, magnitude).ptr - digits);
  place_digits(field, value < 0, digits, count, min_digits);
}

void write_whole_field(std::span<char> field, double value, int32_t min_digits) {
  if (!std::isfinite(value)) {
    std::fill(field.begin(), field.end(), '*');
    return;
  }
  const double whole = std::round(value);  // halves away from zero
  if (std::fabs(whole) < 2147483648.0) {
    write_i_field(field, static_cast<int32_t>(whole), min_digits);
    return;
  }
  // Beyond 32 bits the number is whole (a float there has no fraction); its exact digits (at
  // most 39 for a float).
  char digits[320];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, std::fabs(whole), std::chars_format::fixed, 0);
  if (ec != std::errc()) {
    std::fill(field.begin(), field.end(), '*');
    return;
  }
  place_digits(field, whole < 0.0, digits, static_cast<size_t>(end - digits), min_digits);
}

std::string write_i_field(int32_t value, int32_t width, int32_t min_digits) {
  if (width <= 0) return {};
  std::string field(static_cast<size_t>(width), ' ');
  write_i_field(std::span<char>(field), value, min_digits);
  return field;
}

std::string write_whole_field(double value, int32_t width, int32_t min_digits) {
  if (width <= 0) return {};
  std::string field(static_cast<size_t>(width), ' ');
  write_whole_field(std::span<char>(field), value, min_digits);
  return field;
}

namespace {

// Exact decimal expansion of |v| (a float widened to double is exact in 170 decimals):
// `digits` without the point, the first `point` of them before it.
struct decimal_digits {
  std::string digits;
  int32_t point = 0;
};

decimal_digits exact_decimal(double v) {
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::fixed, 170);
  decimal_digits r;
  if (ec != std::errc()) return r;
  for (char* c = buf; c != end; ++c) {
    if (*c == '.') r.point = static_cast<int32_t>(c - buf);
    else r.digits += *c;
  }
  return r;
}

// Keeps the first `keep` digits, rounding half away from zero (a carry may add a leading
// digit, which raises `point`). `keep` below 0 keeps nothing.
void round_digits(decimal_digits& x, int32_t keep) {
  if (keep < 0) {
    x.digits.assign(x.digits.size(), '0');
    return;
  }
  auto k = static_cast<size_t>(keep);
  if (k >= x.digits.size()) {
    x.digits.append(k - x.digits.size(), '0');
    return;
  }
  bool up = x.digits[k] >= '5';
  x.digits.resize(k);
  if (!up) return;
  size_t i = k;
  while (i > 0) {
    --i;
    if (x.digits[i] == '9') {
      x.digits[i] = '0';
    } else {
      ++x.digits[i];
      return;
    }
  }
  x.digits.insert(0, 1, '1');
  ++x.point;
}

}  // namespace

std::string write_f_field(double value, int32_t width, int32_t decimals) {
  if (!std::isfinite(value)) return stars(width);
  decimals = clamp_decimals(decimals);
  decimal_digits x = exact_decimal(value);
  round_digits(x, x.point + decimals);
  std::string int_part = x.digits.substr(0, static_cast<size_t>(x.point));
  std::string frac = x.digits.substr(static_cast<size_t>(x.point));
  size_t nz = int_part.find_first_not_of('0');
  int_part = nz == std::string::npos ? "0" : int_part.substr(nz);
  bool zero = (int_part + frac).find_first_not_of('0') == std::string::npos;
  // A value that rounds to zero is written without a minus sign.
  std::string body = std::string(value < 0 && !zero ? "-" : "") + int_part + "." + frac;
  // The zero before the point of a value below 1 is optional: dropped when it does not fit.
  if (static_cast<int32_t>(body.size()) > width && int_part == "0") body.erase(body.find("0."), 1);
  return right_align(body, width);
}

std::string write_e_field(double value, int32_t width, int32_t decimals) {
  if (!std::isfinite(value)) return stars(width);
  decimals = std::clamp(decimals, 1, 60);
  std::string mantissa;  // the digits after "0."
  int32_t exponent = 0;
  decimal_digits x = exact_decimal(value);
  size_t first = x.digits.find_first_not_of('0');
  if (value == 0.0f || first == std::string::npos) {
    mantissa.assign(static_cast<size_t>(decimals), '0');
  } else {
    x.digits.erase(0, first);
    x.point -= static_cast<int32_t>(first);
    round_digits(x, decimals);
    mantissa = x.digits.substr(0, static_cast<size_t>(decimals));
    exponent = x.point;
  }
  std::string exp_text;
  int32_t ax = std::abs(exponent);
  if (ax <= 99) exp_text = std::string("E") + (exponent < 0 ? '-' : '+') + (ax < 10 ? "0" : "") + std::to_string(ax);
  else if (ax <= 999) exp_text = std::string(exponent < 0 ? "-" : "+") + std::to_string(ax);
  else return stars(width);
  std::string body = std::string(value < 0 ? "-" : "") + "0." + mantissa + exp_text;
  if (static_cast<int32_t>(body.size()) > width) body.erase(body.find("0."), 1);
  return right_align(body, width);
}

std::string write_z_field(double value, int32_t width) {
  const double whole = std::round(value);  // halves away from zero
  // Outside the 32-bit word (or not finite): no pattern that is the number's own.
  if (!(whole >= -2147483648.0 && whole < 4294967296.0)) return stars(width);
  const auto bits = whole < 0.0 ? static_cast<uint32_t>(static_cast<int32_t>(whole)) : static_cast<uint32_t>(whole);
  return write_z_field(bits, width);
}

std::string write_z_field(uint32_t bits, int32_t width) {
  char buf[16];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, bits, 16);
  std::string body(buf, end);
  for (char& c : body) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return right_align(body, width);
}

// ---------------------------------------------------------------- num_to_text family

namespace {

// The separator step shared by the alignment routines: the first "," else the first ".",
// else the trimmed length plus one (1-based).
int32_t separator_column(const std::string& text, size_t width) {
  std::string_view view(text.data(), std::min(width, text.size()));
  size_t p = view.find(',');
  if (p == std::string_view::npos) p = view.find('.');
  if (p != std::string_view::npos) return static_cast<int32_t>(p) + 1;
  size_t last = view.find_last_not_of(' ');
  return last == std::string_view::npos ? 1 : static_cast<int32_t>(last) + 2;
}

// Alignment step over the first `width` characters of `text`.
void align_field(std::string& text, int32_t width, int32_t align) {
  if (width <= 0) return;
  auto w = static_cast<size_t>(width);
  std::string field = text.substr(0, w);
  if (align < 0) {
    size_t first = field.find_first_not_of(' ');
    field = first == std::string::npos ? std::string(w, ' ') : field.substr(first);
    field.resize(w, ' ');
  } else if (align > 0) {
    int32_t p = separator_column(field, w);
    if (p > align) {
      field = field.substr(static_cast<size_t>(p - align));
      field.resize(w, ' ');
    } else if (p < align) {
      auto shift = static_cast<size_t>(align - p);
      field = std::string(std::min(shift, w), ' ') + field;
      field.resize(w);
    }
  }
  text.replace(0, w, field);
}

// The number in 16 places: an integer when there are no decimals, otherwise with the decimal
// separator `sep` and a zero before it where the field writer left none.
std::string sixteen_places(float value, int32_t decimals, char sep) {
  float magnitude = std::fabs(value);
  int32_t d = std::min(std::abs(decimals), 6);
  if (decimals < 0) {
    for (float threshold : {0.9995f, 9.995f, 99.95f, 999.5f})
      if (magnitude >= threshold) --d;
  }
  if (d < 1) {
    return write_whole_field(value, 16);
  }
  std::string s = write_f_field(value, 16, d);
  size_t point = static_cast<size_t>(16 - d) - 1;  // 0-based
  if (s[point] == '.') {
    s[point] = sep;
    size_t before = point - 1;
    if (s[before] == ' ') s[before] = '0';
    else if (s[before] == '-') { s[before - 1] = '-'; s[before] = '0'; }
  }
  return s;
}

// The number as it goes into a field of `width` places: the 16-place text without its leading
// blanks, or, when that is wider than the field, the same without the zero before the
// separator of a value below 1 ("-0,5" becomes "-,5"). Empty when even that does not fit
// (or the number does not fit 16 places): cutting digits off would show another number.
std::string field_number(const std::string& sixteen, int32_t width, char sep) {
  if (sixteen.find('*') != std::string::npos) return {};
  std::string body = sixteen.substr(std::min(sixteen.find_first_not_of(' '), sixteen.size()));
  if (static_cast<int32_t>(body.size()) > width) {
    const size_t zero = body[0] == '-' ? 1 : 0;
    if (body.compare(zero, 2, std::string{'0', sep}) == 0) body.erase(zero, 1);
  }
  return static_cast<int32_t>(body.size()) > width ? std::string() : body;
}

void num_to_text_common(int32_t decimals, float value, std::string& text, int32_t width, int32_t align,
                        char sep, bool aligned) {
  if (width <= 0) return;
  if (static_cast<int32_t>(text.size()) < width) text.resize(static_cast<size_t>(width), ' ');
  std::fill_n(text.begin(), width, ' ');
  if (value > -9998.0f) {
    const std::string body = field_number(sixteen_places(value, decimals, sep), width, sep);
    if (body.empty()) {
      // Too wide for the field: asterisks, and no alignment step that would cut them.
      std::fill_n(text.begin(), width, '*');
      return;
    }
    text.replace(static_cast<size_t>(width) - body.size(), body.size(), body);
  }
  if (aligned) align_field(text, width, align);
}

}  // namespace

void num_to_text(int32_t decimals, float value, std::string& text, int32_t width, int32_t align) {
  num_to_text_common(decimals, value, text, width, align, ',', true);
}
void num_to_text_fixed(int32_t decimals, float value, std::string& text, int32_t width) {
  num_to_text_common(decimals, value, text, width, 0, ',', false);
}
void num_to_text_dot(int32_t decimals, float value, std::string& text, int32_t width, int32_t align) {
  num_to_text_common(decimals, value, text, width, align, '.', true);
}
void num_to_text_dot_fixed(int32_t decimals, float value, std::string& text, int32_t width) {
  num_to_text_common(decimals, value, text, width, 0, '.', false);
}
void align_num_text(std::string& text, int32_t align) {
  align_field(text, static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX)), align);
}
void align_num_text_dot(std::string& text, int32_t align) { align_num_text(text, align); }

// ---------------------------------------------------------------- fixed-width formatters

void fmt_blank_flag(int32_t flag) { nf_state.blank_flag = flag != 0; }
void number_format_reset() { nf_state = {}; }

namespace {

// Result codes of negative values; `fallback` for values without a code.
std::string negative_code(float value, const char* fallback) {
  if (value == -9999.0f || nf_state.blank_flag) return "     ";
  if (value == -1.0f) return "KG !!";
  if (value == -2.0f) return " W!  ";
  if (value == -3.0f) return "G1f ?";
  if (value == -4.0f) return " AK! ";
  if (value == -5.0f) return "PHI !";
  if (value == -6.0f) return "phi f";
  return fallback;
}

std::string comma9(float value, bool small_o) {
  if (!(value >= 0.0f)) {
    std::string code = negative_code(value, "uflow");
    code.resize(9, ' ');
    return code;
  }
  int32_t decimals = value < 1.0f ? 3 : value < 10.0f ? 2 : value < 100.0f ? 1 : 0;
  std::string work = write_f_field(value, 6, decimals) + "   ";
  size_t point = static_cast<size_t>(5 - decimals);  // 0-based position of the point
  if (work[point] == '.') work[point] = decimals == 0 ? ' ' : ',';
  if (decimals == 3) {
    if (small_o) {
      if (work[1] != '1') work[1] = 'o';
    } else if (work[1] == ' ') {
      work[1] = '0';
    }
  }
  return work;
}

}  // namespace

std::string fmt_comma9(float value) { return comma9(value, false); }
std::string fmt_comma9o(float value) { return comma9(value, true); }

std::string fmt_result5(float value) {
  if (!(value >= 0.0f)) return negative_code(value, "QF5 ?");
  std::string work = write_f_field(value, 9, 3);
  if (work[4] == ' ') work[4] = '0';
  if (work[5] == '.') work[5] = ',';
  size_t first = work.find_first_not_of(' ');
  if (first == std::string::npos) return "     ";
  std::string result = work.substr(first, 5);
  if (result.size() == 5 && result[4] == ',' && first > 0) result = work.substr(first - 1, 5);
  result.resize(5, ' ');
  return result;
}
