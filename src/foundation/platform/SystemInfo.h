#pragma once

#include <cstdint>
#include <string>

// What the log's header says about the machine. Each platform supplies its own implementation.
namespace SystemInfo {

// The processor's brand string as the processor reports it (leading blanks kept); empty when
// the machine does not tell.
std::wstring ProcessorBrand();

// The number of logical processors available to the program.
unsigned LogicalProcessorCount();

// Total physical memory in units of 1048576 bytes, truncated.
std::uint64_t PhysicalMemoryMegabytes();

// The operating system's name and version followed by " 64bit" or " 32bit" when the machine's
// architecture is known, e.g. "Linux 6.1.0-18-amd64 64bit".
std::wstring OperatingSystemText();

}  // namespace SystemInfo
