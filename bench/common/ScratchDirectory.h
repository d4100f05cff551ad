#pragma once

#include <filesystem>
#include <string>

// A fresh directory under the system's temporary directory for the files one benchmark makes,
// removed with everything in it when the object goes away. Benchmarks have no test framework to
// report to, so a directory that cannot be made ends the program with a message.
class ScratchDirectory {
  public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // A path inside the directory, and the same as the wide text the core takes for file names.
    std::filesystem::path Entry(const std::string& name) const { return path_ / name; }
    std::wstring WideEntry(const std::string& name) const;

  private:
    std::filesystem::path path_;
};
