// keyrigctl's commands that talk to the keyboard, on the backend in force.
#pragma once

#include <filesystem>

namespace keyrig::ctl {

int ListDevices(const std::filesystem::path& directory);
int ShowFirmware(const std::filesystem::path& directory);
int ApplyLighting(const std::filesystem::path& directory);

}  // namespace keyrig::ctl
