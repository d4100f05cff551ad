#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The names of everything in the directory, sorted, so a file left behind shows up.
std::vector<std::string> DirectoryEntries(const std::filesystem::path& directory);
