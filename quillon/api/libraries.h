// System libraries that the library and the runtime open when first needed instead of at the
// start of the process, so that a program that never uses them does not pay for loading them.
#pragma once

#include <string>

// A system library that is opened when first needed instead of at the start of the process:
// its handle, or nullptr with the loader's reason in `why`; and its entry point `name` put into
// `entry` (false when it has none).  The library stays loaded.
void* qn_open_library(const char* file, std::string* why = nullptr);
void* qn_library_entry(void* library, const char* name);
template <typename F>
bool qn_find_entry(void* library, const char* name, F& entry) {
  entry = reinterpret_cast<F>(qn_library_entry(library, name));
  return entry != nullptr;
}
