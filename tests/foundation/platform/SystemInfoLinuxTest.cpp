#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "foundation/platform/SystemInfo.h"
#include "foundation/platform/SystemInfoLinux.h"

namespace {

struct CpuInfoCase {
    std::string name;
    std::string cpuInfo;
    std::string modelName;
};

void PrintTo(const CpuInfoCase& c, std::ostream* os) {
    *os << c.name;
}

class ModelName : public testing::TestWithParam<CpuInfoCase> {};

TEST_P(ModelName, IsTheValueOfTheFirstModelNameLine) {
    EXPECT_EQ(SystemInfoLinux::ModelNameFromCpuInfo(GetParam().cpuInfo), GetParam().modelName);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ModelName,
    testing::Values(CpuInfoCase{"Typical",
                                "processor\t: 0\nvendor_id\t: AuthenticAMD\nmodel\t\t: 49\n"
                                "model name\t: AMD EPYC 7B12\nstepping\t: 0\n\n"
                                "processor\t: 1\nmodel name\t: Second Processor\n",
                                "AMD EPYC 7B12"},
                    CpuInfoCase{"ExtraBlanksStay", "model name\t:   Padded Brand  \n",
                                "  Padded Brand  "},
                    CpuInfoCase{"NoColonIsSkipped", "model name\nmodel name\t: After\n", "After"},
                    CpuInfoCase{"Empty", "", ""}),
    [](const testing::TestParamInfo<CpuInfoCase>& info) { return info.param.name; });

struct MachineCase {
    std::string machine;
    std::string suffix;
};

void PrintTo(const MachineCase& c, std::ostream* os) {
    *os << "machine [" << c.machine << ']';
}

class Architecture : public testing::TestWithParam<MachineCase> {};

TEST_P(Architecture, WordSizeFollowsTheMachineName) {
    EXPECT_EQ(SystemInfoLinux::ArchitectureSuffix(GetParam().machine), GetParam().suffix);
}

INSTANTIATE_TEST_SUITE_P(Machines, Architecture,
                         testing::Values(MachineCase{"x86_64", " 64bit"},
                                         MachineCase{"ppc64le", " 64bit"},
                                         MachineCase{"i686", " 32bit"},
                                         MachineCase{"armv7l", " 32bit"}, MachineCase{"i786", ""},
                                         MachineCase{"", ""}));

// The kernel's own count of usable memory, in kB.
long long MemTotalKilobytes() {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    long long value = 0;
    while (meminfo >> key >> value) {
        if (key == "MemTotal:") {
            return value;
        }
        meminfo.ignore(1000, '\n');
    }
    return -1;
}

TEST(SystemInfo, PhysicalMemoryIsTheKernelsTotalInWholeMegabytes) {
    const long long kilobytes = MemTotalKilobytes();
    ASSERT_GT(kilobytes, 0);
    EXPECT_EQ(SystemInfo::PhysicalMemoryMegabytes(), static_cast<std::uint64_t>(kilobytes / 1024));
}

}  // namespace
