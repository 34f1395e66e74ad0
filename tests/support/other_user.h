// What a test needs to run something as another user (the unprivileged uid 65534): a folder that
// user may enter, and the runtime's executable with the files it loads from beside itself copied
// there.  The build tree and the temporary folder may lie in a folder that other users may not
// enter (a checkout under /root or in a folder that `mktemp -d` made, TMPDIR set to such a folder).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

inline constexpr uid_t other_user = 65534;

// In a child process about to do what an ordinary user may: under root, takes the rights of
// `other_user` (no groups, its group and user); nothing for any other user.  False when root's
// rights could not be given up.
bool drop_root_for_other_user();

// Why other users cannot reach `folder` (a folder on its way that they may not enter), or ""
// where they can.
std::string unreachable_for_others(const std::filesystem::path& folder);

// Makes a fresh folder (mode 0755) that other users may enter: under the temporary folder where
// they may reach it, else under /tmp, /var/tmp or /dev/shm.  Its path, or an empty path with the
// reason in `problem` where none of them will do.  The caller removes it.
std::filesystem::path make_folder_others_may_enter(const std::string& prefix, std::string& problem);

// Copies the runtime's executable `exe` and what it loads from beside itself (the print module,
// the plot templates, the character table, the icon library) into `folder`, readable by
// everybody.  The copy's path, or an empty path with the reason in `problem`.
std::filesystem::path copy_runtime_into(const std::filesystem::path& folder, const std::filesystem::path& exe,
                                        std::string& problem);
