#pragma once

#include <filesystem>
#include <string>

class PrivateFolder;

// Replaces the whole content of a file, in one step wherever the file allows it: the bytes go
// to a temporary file in the same directory, which is flushed to the disk and then renamed over
// the target. A crash, a full disk or a failed write therefore leaves the target with either its
// old or its new bytes, never with a part of them. The temporary takes the target's mode, owner
// and group, and a symbolic link keeps pointing at the file it named, which receives the bytes;
// only the user's own links are followed, and a link another user made is refused. A folder on
// the way that is a link inside a shared sticky folder (as /tmp) is followed only when the user
// or root made it. The path is walked folder by folder through their handles, so nothing swapped
// meanwhile redirects the save. Temporaries of this naming that an interrupted save left behind
// are removed by the next save of the name.
//
// A target the user may not write, and anything but a regular file (a FIFO, a device), is
// refused without waiting. The bytes are written into the file itself where a replacement would
// lose something: a file with other hard links, one whose owner or group the replacement could
// not keep, and one in a directory the user may not write. The disk space of the new content is
// claimed first, so a full disk leaves the old content whole there too. No temporary is left
// behind. Returns false when the target could not be written.
bool ReplaceFileContent(const std::filesystem::path& target, const std::string& bytes);

// The same for the file `name` inside a private folder, through its handle: the temporary is
// made there as a new file and renamed over the name, so neither a link at the name nor a path
// swapped meanwhile can send the bytes elsewhere; a link at the name is refused. A new file takes
// the umask's mode, an existing one keeps its own.
bool ReplaceFileContentIn(const PrivateFolder& folder, const std::string& name,
                          const std::string& bytes);
