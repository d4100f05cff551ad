#include "support/LedInfo.h"

#include <gtest/gtest.h>

LEDRecord LedInfo(const MicroController& model, int index) {
    LEDRecord record;
    EXPECT_EQ(model.GetLEDInfo(index, record), 0) << "no LED at index " << index;
    return record;
}
