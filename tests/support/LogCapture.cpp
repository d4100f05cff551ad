#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include "foundation/TextConversion.h"

LogCapture::LogCapture() {
    SetMessageReceiver(this);
}

LogCapture::LogCapture(const std::wstring& path) : LogCapture() {
    EXPECT_EQ(SetLogFilename(path), 0) << WideToNarrow(path);
}
