#pragma once

// The reading now lives in foundation, where the device's script conversion reaches it too;
// this name stays until the remaining sequence sources include it from there.
#include "foundation/ArgumentReading.h"
