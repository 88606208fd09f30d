#pragma once

#include <filesystem>
#include <string>

namespace norvale::testing {

// Every byte of the file, or nothing when it cannot be read.
std::string FileBytes(const std::filesystem::path& path);

}  // namespace norvale::testing
