#include "foundation/platform/SystemInfoLinux.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>
#include <thread>

#include "foundation/TextConversion.h"
#include "foundation/platform/SystemInfo.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

// The 48-byte brand string of the extended identification leaves, as far as the processor
// supports them; empty on processors without it.
std::string CpuidBrandString() {
#if defined(__x86_64__) || defined(__i386__)
    constexpr unsigned firstLeaf = 0x80000002;
    constexpr unsigned lastLeaf = 0x80000004;
    std::array<char, 3 * 16 + 1> brand{};
    for (unsigned leaf = firstLeaf; leaf <= lastLeaf; ++leaf) {
        std::array<unsigned, 4> registers{};
        if (__get_cpuid(leaf, &registers[0], &registers[1], &registers[2], &registers[3]) == 0) {
            break;
        }
        std::memcpy(brand.data() + 16 * (leaf - firstLeaf), registers.data(), 16);
    }
    return std::string(brand.data());
#else
    return {};
#endif
}

std::string ReadWholeFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

namespace SystemInfoLinux {

std::string ModelNameFromCpuInfo(const std::string& cpuInfo) {
    std::istringstream lines(cpuInfo);
    std::string line;
    while (std::getline(lines, line)) {
        if (!StartsWith(line, "model name")) {
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) {
            continue;
        }
        // The kernel writes "model name\t: value"; only the one blank after the colon is layout.
        std::size_t start = colon + 1;
        if (start < line.size() && line[start] == ' ') {
            ++start;
        }
        return line.substr(start);
    }
    return {};
}

std::string ArchitectureSuffix(const std::string& machine) {
    static constexpr std::string_view wide[] = {"x86_64",  "amd64",       "aarch64", "arm64",
                                                "ppc64",   "riscv64",     "s390x",   "mips64",
                                                "sparc64", "loongarch64", "ia64",    "alpha"};
    static constexpr std::string_view narrow[] = {"i386", "i486", "i586", "i686"};
    for (std::string_view name : wide) {
        if (StartsWith(machine, name)) {
            return " 64bit";
        }
    }
    for (std::string_view name : narrow) {
        if (machine == name) {
            return " 32bit";
        }
    }
    return StartsWith(machine, "arm") ? " 32bit" : "";
}

}  // namespace SystemInfoLinux

namespace SystemInfo {

std::wstring ProcessorBrand() {
    std::string brand = CpuidBrandString();
    if (brand.empty()) {
        brand = SystemInfoLinux::ModelNameFromCpuInfo(ReadWholeFile("/proc/cpuinfo"));
    }
    return NarrowToWide(brand);
}

unsigned LogicalProcessorCount() {
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    if (online > 0) {
        return static_cast<unsigned>(online);
    }
    return std::thread::hardware_concurrency();
}

std::uint64_t PhysicalMemoryMegabytes() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 1048576;
}

std::wstring OperatingSystemText() {
    utsname names{};
    if (uname(&names) != 0) {
        return {};
    }
    const std::string text = std::string(names.sysname) + " " + names.release +
                             SystemInfoLinux::ArchitectureSuffix(names.machine);
    return NarrowToWide(text);
}

}  // namespace SystemInfo
