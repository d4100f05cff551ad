#include <gtest/gtest.h>
#include <unistd.h>

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
                    CpuInfoCase{"LastLineWithoutNewline", "model name\t: Cortex", "Cortex"},
                    CpuInfoCase{"ExtraBlanksStay", "model name\t:   Padded Brand  \n",
                                "  Padded Brand  "},
                    CpuInfoCase{"EmptyValue", "model name\t:\n", ""},
                    CpuInfoCase{"NoColonIsSkipped", "model name\nmodel name\t: After\n", "After"},
                    CpuInfoCase{"OnlyOtherKeys", "processor\t: 0\nmodel\t\t: 49\n", ""},
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

INSTANTIATE_TEST_SUITE_P(
    Machines, Architecture,
    testing::Values(MachineCase{"x86_64", " 64bit"}, MachineCase{"aarch64", " 64bit"},
                    MachineCase{"arm64", " 64bit"}, MachineCase{"ppc64le", " 64bit"},
                    MachineCase{"riscv64", " 64bit"}, MachineCase{"s390x", " 64bit"},
                    MachineCase{"i386", " 32bit"}, MachineCase{"i686", " 32bit"},
                    MachineCase{"armv7l", " 32bit"}, MachineCase{"armv6l", " 32bit"},
                    MachineCase{"i786", ""}, MachineCase{"m68k", ""}, MachineCase{"", ""}));

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

TEST(SystemInfo, ProcessorCountIsTheOnlineCount) {
    EXPECT_EQ(SystemInfo::LogicalProcessorCount(),
              static_cast<unsigned>(sysconf(_SC_NPROCESSORS_ONLN)));
}

TEST(SystemInfo, ProcessorBrandIsPrintableText) {
    const std::wstring brand = SystemInfo::ProcessorBrand();
#if defined(__x86_64__) || defined(__i386__)
    EXPECT_FALSE(brand.empty());
    EXPECT_LE(brand.size(), 48u);
#endif
    for (wchar_t c : brand) {
        EXPECT_GE(c, L' ') << "control character in the brand string";
    }
}

}  // namespace
