#include "common/ScratchDirectory.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "foundation/TextConversion.h"

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostra-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("ostra benchmark: cannot create a temporary directory");
        std::exit(EXIT_FAILURE);
    }
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::wstring ScratchDirectory::WideEntry(const std::string& name) const {
    return PathToWide(Entry(name));
}
