#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The largest settings file the system allows, laid out as the system itself saves one: the
// device section for the LEDs Blue, Green and Red, then 255 sequences of 200 command sets each.
// The sequences come in chains of five, each calling the next twice (once inside a loop), so
// the first of a chain reaches the deepest nesting timing accepts; every sequence repeats
// blocks with -Loop and -EndLoop. The content depends on nothing but the numbers below, so
// every run reads the same bytes.
class LargeSettingsFile {
  public:
    static constexpr std::uint32_t kSequenceCount = 255;
    static constexpr std::uint32_t kCommandSetCount = 200;
    // The outermost sequence and the four it calls one inside the other.
    static constexpr std::uint32_t kChainLength = 5;

    // The command texts of one step, as the sequence model stores them.
    static std::vector<std::wstring> StepCommands(std::uint32_t number, std::uint32_t set);
    static std::wstring SequenceName(std::uint32_t number);

    // The two sections exactly as MicroController::GetSettingsSection and
    // SequenceContainer::GetSettingsText write them for this content.
    static std::wstring DeviceSection();
    static std::wstring SequenceSection();

    // Writes the file a sequence at a time, so that the writer itself stays small in memory.
    static bool Write(const std::filesystem::path& path);

  private:
    static std::wstring SequenceHeaderLines();
    static std::wstring SequenceCommandLines(std::uint32_t number);
};
