#include "other_user.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

bool drop_root_for_other_user() {
  return geteuid() != 0 || (setgroups(0, nullptr) == 0 && setgid(other_user) == 0 && setuid(other_user) == 0);
}

std::string unreachable_for_others(const fs::path& folder) {
  std::error_code ec;
  const fs::path whole = fs::absolute(folder, ec);
  if (ec) return folder.string() + ": " + ec.message();
  fs::path on_the_way;
  for (const fs::path& part : whole) {
    on_the_way /= part;
    struct stat st {};
    if (stat(on_the_way.c_str(), &st) != 0) return on_the_way.string() + ": " + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return on_the_way.string() + " is no folder";
    if ((st.st_mode & S_IXOTH) == 0) {
      std::ostringstream why;
      why << on_the_way.string() << " (mode " << std::oct << (st.st_mode & 07777)
          << ") may not be entered by other users";
      return why.str();
    }
  }
  return {};
}

fs::path make_folder_others_may_enter(const std::string& prefix, std::string& problem) {
  std::vector<fs::path> roots;
  if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir && *tmpdir) roots.emplace_back(tmpdir);
  for (const char* root : {"/tmp", "/var/tmp", "/dev/shm"}) roots.emplace_back(root);
  problem = "no folder that other users may enter could be made:";
  for (const fs::path& root : roots) {
    if (const std::string why = unreachable_for_others(root); !why.empty()) {
      problem += " " + why + ";";
      continue;
    }
    std::string pattern = (root / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
      problem += " " + root.string() + ": " + std::strerror(errno) + ";";
      continue;
    }
    if (chmod(pattern.c_str(), 0755) != 0) {
      problem += " " + pattern + ": " + std::strerror(errno) + ";";
      rmdir(pattern.c_str());
      continue;
    }
    problem.clear();
    return pattern;
  }
  return {};
}

fs::path copy_runtime_into(const fs::path& folder, const fs::path& exe, std::string& problem) {
  // The names of the files the build puts beside the executable, separated by "|".
  std::vector<std::string> names{exe.filename().string()};
  std::istringstream beside(WINKYR_FILES_BESIDE_EXE);
  for (std::string name; std::getline(beside, name, '|');)
    if (!name.empty()) names.push_back(name);
  for (const std::string& name : names) {
    std::error_code ec;
    const fs::path copy = folder / name;
    fs::copy_file(exe.parent_path() / name, copy, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
      const bool runs = name == names.front() || name.ends_with(".so");
      fs::permissions(copy, runs ? fs::perms(0755) : fs::perms(0644), fs::perm_options::replace, ec);
    }
    if (ec) {
      problem = "cannot copy " + (exe.parent_path() / name).string() + " into " + folder.string() + ": " + ec.message();
      return {};
    }
  }
  problem.clear();
  return folder / names.front();
}
