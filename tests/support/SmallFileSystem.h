#pragma once

#include <sys/mount.h>

#include <filesystem>
#include <string>

// A tmpfs of a few kilobytes mounted on a folder while the object lives, for the behaviour on a
// full disk. Mounting needs root (CAP_SYS_ADMIN); where it fails, Mounted() says so and the test
// skips.
class SmallFileSystem {
  public:
    SmallFileSystem(const std::filesystem::path& folder, std::size_t bytes) : folder_(folder) {
        std::filesystem::create_directories(folder);
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        mounted_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) {
            umount2(folder_.c_str(), MNT_DETACH);
        }
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return mounted_; }

  private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};
