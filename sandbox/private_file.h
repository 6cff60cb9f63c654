// Files that only their owner may read and write: everything in the sandbox's data directory
// (password hashes in the store, the private key, and what lies beside them).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/unique_fd.h"

namespace vexa::sandbox {

inline constexpr std::filesystem::perms kPrivateFileMode =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
inline constexpr std::filesystem::perms kPrivateDirectoryMode = std::filesystem::perms::owner_all;

// Opens `file` with `flags` (O_CREAT among them to create it) with mode 0600, whatever the umask
// and also when it existed with wider permissions. Throws std::system_error when it cannot.
UniqueFd OpenPrivateFile(const std::filesystem::path& file, int flags);

// Replaces the file with `text` through a private temporary beside it and a rename, so a reader
// sees the old file or the new one, never half of it.
void WritePrivateFile(const std::filesystem::path& file, const std::string& text);

// The whole of `file` when it is a regular file that neither its group nor others may read or
// write; else nullopt, with what is wrong in `error`, where `what` names the contents ("its
// `passwords are` open to other users (mode 0644); chmod 600 FILE").
std::optional<std::string> ReadOwnerOnlyText(const std::string& file, const std::string& what,
                                             std::string& error);

}  // namespace vexa::sandbox
