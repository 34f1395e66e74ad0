// Text tokens of the program and the string space of its text variables.
#include <algorithm>

#include "runtime/core/core.h"
#include "runtime/core/program_image.h"

string_buffer_t STRING_BUFFER;

std::string_view string_buffer_t::view(int32_t start, int32_t length) const {
  const int32_t from = std::clamp(start, 1, size + 1);
  const int32_t to = std::clamp(start + std::max(length, 0) - 1, from - 1, size);
  return std::string_view(chars.data() + (from - 1), static_cast<size_t>(to - from + 1));
}

void string_buffer_t::write(int32_t start, int32_t length, std::string_view text) {
  for (int32_t k = 0; k < length; ++k) {
    const int64_t i = static_cast<int64_t>(start) + k;
    if (i > size) break;
    if (i >= 1) chars[static_cast<size_t>(i - 1)] = static_cast<size_t>(k) < text.size() ? text[static_cast<size_t>(k)] : ' ';
  }
}
