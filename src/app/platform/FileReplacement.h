#pragma once

#include <filesystem>
#include <string>

// Replaces the whole content of a file in one step: the bytes go to a temporary file in the
// same directory, which is flushed to the disk and then renamed over the target. A crash, a
// full disk or a failed write therefore leaves the target with either its old or its new bytes,
// never with a part of them. An existing target keeps its permissions; a symbolic link keeps
// pointing at the file it named, which receives the bytes. No temporary is left behind.
// Returns false when the target could not be replaced.
bool ReplaceFileContent(const std::filesystem::path& target, const std::string& bytes);
