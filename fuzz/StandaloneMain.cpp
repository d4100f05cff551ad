// Replays inputs through a fuzz target without libFuzzer, so that every build compiles the
// targets and runs their corpus and regression inputs as an ordinary test. Each argument is an
// input file or a directory whose regular files are all inputs (in name order, not recursive).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool CollectInputs(const fs::path& argument, std::vector<fs::path>& inputs) {
    std::error_code error;
    if (fs::is_regular_file(argument, error)) {
        inputs.push_back(argument);
        return true;
    }
    if (!fs::is_directory(argument, error)) {
        std::fprintf(stderr, "no such input file or directory: %s\n", argument.c_str());
        return false;
    }
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(argument, error)) {
        if (entry.is_regular_file(error)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    inputs.insert(inputs.end(), files.begin(), files.end());
    return !error;
}

bool RunInput(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                  std::istreambuf_iterator<char>()};
    // A copy of exactly the input's size, so AddressSanitizer sees a read beyond its end.
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    const std::uint8_t* data = input.empty() ? nullptr : input.data();
    LLVMFuzzerTestOneInput(data, input.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!CollectInputs(argv[i], inputs)) {
            return 2;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s INPUT-FILE-OR-DIRECTORY...; no inputs were found\n",
                     argv[0]);
        return 2;
    }
    for (const fs::path& input : inputs) {
        if (!RunInput(input)) {
            return 1;
        }
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
