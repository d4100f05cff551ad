#pragma once

#include <filesystem>
#include <string>

// A fresh temporary directory, removed with everything in it when the object goes away.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The path of a file inside the directory, as the wide text the core takes.
    std::wstring File(const std::string& name) const { return (path_ / name).wstring(); }

  private:
    std::filesystem::path path_;
};
