#include "zavik-sim/ConsoleMessageReceiver.h"

#include <iostream>

#include "foundation/TextConversion.h"

void ConsoleMessageReceiver::AddLogMessage(LogLevel, const std::wstring& message) {
    std::cerr << "zavik-sim: " << WideToNarrow(message) << std::endl;
}
