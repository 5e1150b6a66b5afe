// Files written whole and swapped in by rename, so that a crash never leaves half a file and a
// link planted at the temporary name is never followed.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <sys/types.h>

namespace platform {

// Creates a new file at the path for writing, never following a link: whatever stands there (a
// crash's leftover, a planted link) is removed first, and the creation fails rather than open
// anything put back meanwhile. Returns the descriptor, or -1.
int CreateFreshFile(const std::filesystem::path& path, mode_t mode);

// Writes the bytes to a fresh temporary file beside the target (its name plus ".tmp"), flushes
// them to the disk and renames the file over the target; with syncFolder the rename is flushed
// too. False, with the target untouched and no temporary file left, when any step fails.
bool ReplaceFileWhole(const std::filesystem::path& target, std::string_view bytes, mode_t mode, bool syncFolder = false);
// The same with the file's bytes in several pieces, written one after the other.
bool ReplaceFileWhole(const std::filesystem::path& target, std::initializer_list<std::string_view> pieces, mode_t mode,
                      bool syncFolder = false);

// Writes every byte, retrying interrupted and short writes.
bool WriteAllBytes(int fd, const void* bytes, size_t size);

}  // namespace platform
