// What a run leaves behind: the entries of a folder beside those it is meant to hold, and a
// temporary folder of the test's own for code that the test runs in its own process.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// The names of the folder's entries other than `meant`, sorted; a folder's name ends in "/".
inline std::vector<std::string> left_behind(const std::filesystem::path& folder,
                                            const std::set<std::string>& meant = {}) {
  std::set<std::string> left;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    std::string name = entry.path().filename().string();
    if (entry.is_directory(ec)) name += "/";
    if (!meant.contains(name)) left.insert(name);
  }
  return {left.begin(), left.end()};
}

// The folder (made here) is the temporary folder, TMPDIR, while this lives; then the one before
// is again.  A folder of its own elsewhere is the user's runtime folder, XDG_RUNTIME_DIR, the
// while: what the library and Qt keep for the user's session (the instance lock) would
// otherwise go into a folder they make in the temporary folder.
class private_temporary_folder {
 public:
  explicit private_temporary_folder(std::filesystem::path folder) : folder_(std::move(folder)) {
    std::filesystem::create_directories(folder_);
    std::string runtime = std::filesystem::temp_directory_path() / "winkyr-runtime-XXXXXX";
    if (::mkdtemp(runtime.data()) != nullptr) runtime_ = runtime;
    for (const char* name : {"TMPDIR", "XDG_RUNTIME_DIR"})
      if (const char* value = std::getenv(name)) before_.emplace_back(name, value);
      else before_.emplace_back(name, std::nullopt);
    ::setenv("TMPDIR", folder_.c_str(), 1);
    if (!runtime_.empty()) ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
  }
  ~private_temporary_folder() {
    for (const auto& [name, value] : before_)
      if (value) ::setenv(name.c_str(), value->c_str(), 1);
      else ::unsetenv(name.c_str());
    std::error_code ec;
    if (!runtime_.empty()) std::filesystem::remove_all(runtime_, ec);
  }
  private_temporary_folder(const private_temporary_folder&) = delete;
  private_temporary_folder& operator=(const private_temporary_folder&) = delete;

  const std::filesystem::path& path() const { return folder_; }

 private:
  std::filesystem::path folder_, runtime_;
  std::vector<std::pair<std::string, std::optional<std::string>>> before_;
};
