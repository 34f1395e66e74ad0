// The shared state words of the runtime and the conversions of numbers to program values.
#include "runtime/program/program.h"
#include "runtime/program/upper_services.h"

#include <cmath>
#include <limits>

run_flags_t run_flags;
int32_t io_status = 0;
uint32_t colour_table[257] = {};
screen_metrics_t screen_metrics;
colour_numbers_t colour_numbers;
handle_tables_t handle_tables;
upper_services_t upper_services;

namespace {
int32_t main_window_handle = 0;
}  // namespace

int32_t main_window() { return main_window_handle; }
void set_main_window(int32_t window) { main_window_handle = window; }

namespace {
// Clamps a float that is already whole to the int32 range; NaN gives 0.  The bounds are
// tested in float, where 2^31 is exact, so no conversion is ever out of range.
int32_t clamp_whole(float whole) {
  if (std::isnan(whole)) return 0;
  if (whole >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  if (whole < -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(whole);
}
}  // namespace

int32_t nint(float value) {
  // std::round takes halves away from zero and is exact for floats near .5 boundaries,
  // unlike adding 0.5 and truncating.
  return clamp_whole(std::round(value));
}

int32_t trunc_to_int(float value) { return clamp_whole(std::trunc(value)); }

int32_t nearest_int32(double value) {
  if (std::isnan(value)) return 0;
  const double r = std::round(value);  // halves away from zero
  if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

float float_in_range(double value) {
  constexpr double max = std::numeric_limits<float>::max();
  if (std::isnan(value)) return 0.0f;
  return static_cast<float>(value > max ? max : value < -max ? -max : value);
}
