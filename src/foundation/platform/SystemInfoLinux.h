#pragma once

#include <string>

// The text-parsing steps of the Linux system information, apart from the calls into the system
// so that they can be checked on any input.
namespace SystemInfoLinux {

// The value of the first "model name" line of /proc/cpuinfo text; empty when there is none.
std::string ModelNameFromCpuInfo(const std::string& cpuInfo);

// " 64bit" or " 32bit" for a uname machine name such as "x86_64" or "i686"; empty when the
// word size of that architecture is not known.
std::string ArchitectureSuffix(const std::string& machine);

}  // namespace SystemInfoLinux
