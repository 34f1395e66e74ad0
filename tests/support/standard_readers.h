// The standard readers that tests hand files to (poppler's pdf tools, qpdf, Ghostscript, hp2xx,
// python3 with ezdxf, ImageMagick for GIF and BMP pictures), each with the Debian package that scripts/setup installs it from.  A
// reader that is missing fails the test and names its package: such a test is never skipped.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

inline constexpr std::array<std::pair<std::string_view, std::string_view>, 10> standard_readers{{
    {"pdftoppm", "poppler-utils"},
    {"pdftotext", "poppler-utils"},
    {"pdfinfo", "poppler-utils"},
    {"pdffonts", "poppler-utils"},
    {"qpdf", "qpdf"},
    {"gs", "ghostscript"},
    {"hp2xx", "hp2xx"},
    {"/usr/bin/python3", "python3-ezdxf"},
    {"python3", "python3-ezdxf"},
    {"convert", "imagemagick"},
}};

// True when the reader is on the PATH; otherwise a failure that names the package to install.
// Every reader a test runs must be listed above.
inline bool require_reader(std::string_view tool) {
  for (const auto& [name, package] : standard_readers) {
    if (name != tool) continue;
    if (std::system(("command -v '" + std::string(tool) + "' >/dev/null 2>&1").c_str()) == 0) return true;
    ADD_FAILURE() << tool << " is not installed: scripts/setup installs it from the Debian package " << package;
    return false;
  }
  ADD_FAILURE() << tool << " is no standard reader of the tests: add it and its package to standard_readers.h and scripts/setup";
  return false;
}

// Requires the first word of each command of a command line joined by "&&", "||", "|" or ";"
// (separators inside quotes belong to an argument).
inline bool require_readers_of(std::string_view command_line) {
  bool all = true;
  bool at_command = true;
  char quote = 0;
  for (size_t at = 0; at < command_line.size(); ++at) {
    const char c = command_line[at];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '&' || c == '|' || c == ';') {
      at_command = true;
    } else if (at_command && c != ' ' && c != '\t') {
      const size_t end = command_line.find_first_of(" \t&|;", at);
      all = require_reader(command_line.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at)) && all;
      at_command = false;
      if (end == std::string_view::npos) break;
      at = end - 1;
    }
  }
  return all;
}
