#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "device/MicroController.h"
#include "support/EmulatedDriver.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

// The model with Blue (ID 0), Green (ID 2) and Red (ID 1) and bit 7 in its mask, on an emulated
// driver in a private port directory.
class ModelOnDriverFixture : public testing::Test {
  protected:
    static constexpr int kPortNumber = 47;

    void SetUp() override {
        ASSERT_EQ(driver_.Start(), 0);
        model_.SetOutputMaskBit7();
        model_.SetPortNumber(kPortNumber);
        for (const wchar_t* label : {L"Blue", L"Green", L"Red"})
            ASSERT_EQ(model_.AddLED(label, 0.0), 0);
    }

    void Connect() {
        ASSERT_EQ(model_.GetConnection().Connect(kPortNumber), 0);
        MarkSent();
    }

    // Received() and the log show only what follows.
    void MarkSent() {
        driver_.MarkHandled();
        log_.messages.clear();
    }

    std::vector<Bytes> Received() const { return driver_.Received(); }

    TempDir dir_;
    LogCapture log_{dir_.File("model")};
    EmulatedDriver driver_{dir_.Path(), kPortNumber};
    // Destroyed first: the port closes before the emulator goes.
    MicroController model_{&log_};
};

// The SetOutputs packet of a mask.
inline Bytes Outputs(std::uint16_t mask) {
    return CommandPacket(
        {0x0A, static_cast<std::uint8_t>(mask), static_cast<std::uint8_t>(mask >> 8)});
}
