#pragma once

#include <filesystem>
#include <string>

// Replaces the whole content of a file, in one step wherever the file allows it: the bytes go
// to a temporary file in the same directory, which is flushed to the disk and then renamed over
// the target. A crash, a full disk or a failed write therefore leaves the target with either its
// old or its new bytes, never with a part of them. The temporary takes the target's mode, owner
// and group, and a symbolic link keeps pointing at the file it named, which receives the bytes.
//
// A target the user may not write is refused. The bytes are written into the file itself
// (not atomically) where a replacement would lose something: a file with other hard links, one
// whose owner or group the replacement could not keep, one in a directory the user may not
// write, and a target that is not a regular file (a device). No temporary is left behind.
// Returns false when the target could not be written.
bool ReplaceFileContent(const std::filesystem::path& target, const std::string& bytes);
