#include "foundation/Notifier.h"

#include <cstdio>

#include "foundation/TextConversion.h"

void StderrNotifier::ShowMessageBox(const std::wstring& caption, const std::wstring& text) {
    const std::string line = WideToNarrow(caption + L": " + text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
