// `keyrigctl check`: what in the program directory's files a user should know of.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace keyrig::ctl {

// One plain line per problem, file by file, in the order start-up reads them. Reads only.
std::vector<std::string> CheckProgramDirectory(const std::filesystem::path& directory);

}  // namespace keyrig::ctl
