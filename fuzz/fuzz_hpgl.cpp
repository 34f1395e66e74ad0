// Feeds arbitrary bytes to the HP-GL import's parser and formats the records of its work file.
// The first byte chooses the pen to keep and the scale, so that rotation, large scales and
// the segment limit are reached too; no input may crash or read outside a store.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "runtime/output/plot/plot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  constexpr std::array<float, 4> scales = {1.0f, 0.025f, -3.5f, 1.0e9f};
  const int32_t pen = data[0] % 9;
  const float faktor = scales[(data[0] >> 4) % scales.size()];
  const hpgl_result result =
      hpgl_parse(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), faktor, pen);
  if (result.segments.size() > hpgl_max_segments) std::abort();
  const auto records = hpgl_output_records(result);
  if (records.size() != result.segments.size() + 1) std::abort();
  for (const auto& r : records)
    if (r.size() != 65u) std::abort();  // every field keeps its width, overflow shows as "*"
  return 0;
}
