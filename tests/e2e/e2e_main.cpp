// The main of every end-to-end test program: names each test for the driver (its scratch and
// screenshot folders) before the test starts.
#include "driver.h"

#include <gtest/gtest.h>

namespace {

class TestNamer : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo &test) override {
        e2e::BeginTest(std::string(test.test_suite_name()) + "." + test.name());
    }
};

} // namespace

int wmain(int argc, wchar_t **argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new TestNamer);
    return RUN_ALL_TESTS();
}
