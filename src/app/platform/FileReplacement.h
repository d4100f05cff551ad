#pragma once

#include <filesystem>
#include <string>

class PrivateFolder;

// Replaces the whole content of a file, in one step wherever the file allows it: the bytes go
// to a temporary file in the same directory, which is flushed to the disk and then renamed over
// the target. A crash, a full disk or a failed write therefore leaves the target with either its
// old or its new bytes, never with a part of them. The temporary takes the target's mode, owner
// and group, and a symbolic link keeps pointing at the file it named, which receives the bytes;
// only the user's own links are followed, and a link another user made is refused. Temporaries
// of this naming that an interrupted save left behind are removed by the next save of the name.
//
// A target the user may not write is refused. The bytes are written into the file itself
// (not atomically) where a replacement would lose something: a file with other hard links, one
// whose owner or group the replacement could not keep, one in a directory the user may not
// write, and a target that is not a regular file (a device). No temporary is left behind.
// Returns false when the target could not be written.
bool ReplaceFileContent(const std::filesystem::path& target, const std::string& bytes);

// The same for the file `name` inside a private folder, through its handle: the temporary is
// made there as a new file and renamed over the name, so neither a link at the name nor a path
// swapped meanwhile can send the bytes elsewhere. A new file takes the umask's mode.
bool ReplaceFileContentIn(const PrivateFolder& folder, const std::string& name,
                          const std::string& bytes);
