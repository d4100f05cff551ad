#pragma once

#include "device/LEDRecord.h"
#include "device/MicroController.h"

// The record of the LED at the table index; the test fails when the model has none there.
LEDRecord LedInfo(const MicroController& model, int index);
