#include <gtest/gtest.h>

#include "ostra-cli/Json.h"

namespace {

// Latin-1 text reads back as UTF-8 but is printed as ASCII escapes; a computed duration is
// rounded to the device's 0.1 ms step, a whole one printed as an integer.
TEST(JsonTest, PrintsTextAndDurationsAsScriptsRead) {
    const nlohmann::ordered_json json = {{"name", JsonText(L"Gr\u00fcn")},
                                         {"durationMs", JsonMilliseconds(5.1 + 0.1)},
                                         {"wholeMs", JsonMilliseconds(10.0)}};
    EXPECT_EQ(json["name"].get<std::string>(), "Gr\xc3\xbcn");
    EXPECT_EQ(JsonLine(json), R"({"name":"Gr\u00fcn","durationMs":5.2,"wholeMs":10})");
}

}  // namespace
