#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

// The names of everything in the directory, sorted, so a file left behind shows up.
inline std::vector<std::string> DirectoryEntries(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
