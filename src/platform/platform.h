// The operating system, as the rest of Keyrig sees it.
//
// Everything above this header is written against these declarations only, so the program runs
// unchanged on every backend: the real system calls of each platform live in one folder per
// backend beside this header, and nothing outside src/platform/ includes a system header.
#pragma once

#include <filesystem>
#include <string_view>

namespace keyrig::platform {

// --- Files -------------------------------------------------------------------------------------

// The folder that holds the running program. config.xml, the data files and the resource folder
// are looked up there, whatever the current directory is. Empty when the system cannot say.
std::filesystem::path ProgramDirectory();

// Replaces the whole content of `target` with `bytes`.
//
// The bytes go to a new file beside the target, reach the disk, and only then take the target's
// name, so a crash or a full disk leaves either the old file or the new one, never half of one.
// Returns false, with the old file untouched, when any step fails.
bool ReplaceFile(const std::filesystem::path& target, std::string_view bytes);

}  // namespace keyrig::platform
