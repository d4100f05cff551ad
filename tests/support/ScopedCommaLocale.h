#pragma once

#include <clocale>
#include <locale>
#include <stdexcept>
#include <string>

// Switches the C and C++ global locales to German (decimal comma), as a front end adopting the
// operator's locale does, and back afterwards. IsSet() is false when the machine lacks it.
class ScopedCommaLocale {
  public:
    static constexpr const char* kName = "de_DE.UTF-8";

    ScopedCommaLocale() : previousC_(std::setlocale(LC_ALL, nullptr)) {
        try {
            previousCpp_ = std::locale::global(std::locale(kName));
            set_ = true;
        } catch (const std::runtime_error&) {  // the machine lacks it
        }
    }
    ~ScopedCommaLocale() {
        if (set_) {
            std::locale::global(previousCpp_);
            std::setlocale(LC_ALL, previousC_.c_str());
        }
    }
    ScopedCommaLocale(const ScopedCommaLocale&) = delete;
    ScopedCommaLocale& operator=(const ScopedCommaLocale&) = delete;

    bool IsSet() const { return set_; }

  private:
    std::string previousC_;
    std::locale previousCpp_;
    bool set_ = false;
};
