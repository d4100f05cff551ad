#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>

#include "foundation/platform/SystemInfo.h"
#include "foundation/platform/SystemInfoLinux.h"

namespace {

TEST(SystemInfoLinux, ModelNameIsTheValueOfTheFirstModelNameLine) {
    const std::pair<std::string, std::string> rows[] = {
        {"processor\t: 0\nvendor_id\t: AuthenticAMD\nmodel\t\t: 49\nmodel name\t: AMD EPYC 7B12\n"
         "stepping\t: 0\n\nprocessor\t: 1\nmodel name\t: Second Processor\n",
         "AMD EPYC 7B12"},
        {"model name\t:   Padded Brand  \n", "  Padded Brand  "},
        {"model name\nmodel name\t: After\n", "After"},
        {"", ""}};
    for (const auto& [cpuInfo, modelName] : rows)
        EXPECT_EQ(SystemInfoLinux::ModelNameFromCpuInfo(cpuInfo), modelName) << cpuInfo;
}

TEST(SystemInfoLinux, WordSizeFollowsTheMachineName) {
    const std::pair<std::string, std::string> rows[] = {{"x86_64", " 64bit"}, {"ppc64le", " 64bit"},
                                                        {"i686", " 32bit"},   {"armv7l", " 32bit"},
                                                        {"i786", ""},         {"", ""}};
    for (const auto& [machine, suffix] : rows)
        EXPECT_EQ(SystemInfoLinux::ArchitectureSuffix(machine), suffix) << machine;
}

// The kernel's own count of usable memory, in kB, on the first line of /proc/meminfo.
TEST(SystemInfo, PhysicalMemoryIsTheKernelsTotalInWholeMegabytes) {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    long long kilobytes = 0;
    ASSERT_TRUE(meminfo >> key >> kilobytes && key == "MemTotal:");
    EXPECT_EQ(SystemInfo::PhysicalMemoryMegabytes(), static_cast<std::uint64_t>(kilobytes / 1024));
}

}  // namespace
