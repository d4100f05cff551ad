#pragma once

#include <gtest/gtest.h>

#include "device/LEDRecord.h"
#include "device/MicroController.h"

// The record of the LED at the table index; the test fails when the model has none there.
inline LEDRecord LedInfo(const MicroController& model, int index) {
    LEDRecord record;
    EXPECT_EQ(model.GetLEDInfo(index, record), 0) << "no LED at index " << index;
    return record;
}
