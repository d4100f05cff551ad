#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "foundation/TextConversion.h"

namespace {

class ScratchDirectoryOwner {
  public:
    ScratchDirectoryOwner() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "ostra-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::fprintf(stderr, "cannot create a scratch directory from %s\n", pattern.c_str());
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchDirectoryOwner() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectoryOwner(const ScratchDirectoryOwner&) = delete;
    ScratchDirectoryOwner& operator=(const ScratchDirectoryOwner&) = delete;

    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace

namespace FuzzSupport {

const std::filesystem::path& ScratchDirectory() {
    static const ScratchDirectoryOwner owner;
    return owner.Path();
}

std::wstring WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = ScratchDirectory() / name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    Check(file.good(), "the input could not be written to the scratch directory");
    return PathToWide(path);
}

void Check(bool condition, const char* message) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", message);
        std::abort();
    }
}

}  // namespace FuzzSupport
