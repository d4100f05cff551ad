#pragma once

#include <filesystem>
#include <string>

// The whole content of a file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);

// Writes the bytes exactly as given (no newline translation), replacing any existing file.
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);
